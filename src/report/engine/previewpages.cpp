#include "report/engine/previewpages.h"

#include "base/fastcast.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"
#include "base/sametext.h"
#include "base/savefile.h"
#include "report/engine/differences.h"
#include "report/engine/engine.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/picture.h"
#include "report/model/report.h"
#include "report/xml/xmlserializer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>

namespace tw {

namespace {

const QString kPreviewPages = QStringLiteral("previewpages");
const QString kLogical = QStringLiteral("logicalpagenumbers");
const QString kAnchors = QStringLiteral("anchors");
const QString kCutted = QStringLiteral("cutted");
const QString kReportPage = QStringLiteral("TfrxReportPage");
const QString kDMPPage = QStringLiteral("TfrxDMPPage");

// Source pages and class-named elements keep a point whatever the locale: other programs
// read them, and difference texts are the only place the regional separator goes.
FormatSettings sourceFormat()
{
    FormatSettings fs = FormatSettings::current();
    fs.decimalSeparator = QLatin1Char('.');
    return fs;
}

void setupSerializer(TfrxXMLSerializer &s, Component *owner)
{
    s.SetOwner(owner);
    s.SetFormatSettings(sourceFormat());
}

// An attribute as a number; either separator, and 0 when absent or unreadable.
double floatProp(const TfrxXMLItem *item, const QString &name, bool *present = nullptr)
{
    QString v = item->GetProp(name);
    if (present)
        *present = item->PropExists(name);
    v.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0;
}

int intProp(const TfrxXMLItem *item, const QString &name)
{
    return int(std::lround(floatProp(item, name)));
}

bool isPageClassName(const QString &name)
{
    return name.compare(kReportPage, Qt::CaseInsensitive) == 0 || name.compare(kDMPPage, Qt::CaseInsensitive) == 0;
}

bool isPreviewVisible(const TfrxComponent *c)
{
    return (c->frComponentStyle() & csPreviewVisible) != 0;
}

bool hasDefaultDiff(const TfrxComponent *c)
{
    return (c->frComponentStyle() & csDefaultDiff) || (c->classInfo()->style & csDefaultDiff);
}

// What a source object is rebuilt from: its element text, or only its class name when the
// class writes its differences in full.
QString serializedSource(TfrxComponent *c)
{
    if (hasDefaultDiff(c))
        return c->classInfo()->name;
    TfrxXMLSerializer s;
    setupSerializer(s, c);
    return s.WriteComponentStr(c);
}

// A new component of the same class as `like`, inside `parent` (none for a page).
TfrxComponent *createLike(const ClassInfo *ci, TfrxComponent *parent)
{
    Object *o = ci && ci->factory ? ci->create(nullptr, parent) : nullptr;
    auto *c = fastCast<TfrxComponent *>(o);
    if (!c)
        delete o;
    return c;
}

// Published properties of `source` onto `target` (children not), references resolved in
// the design report so the copy points where the design object does.
void copyProperties(TfrxComponent *target, TfrxComponent *source, QList<TfrxResolvedReference> *refs = nullptr)
{
    TfrxReport *report = source->Report();
    TfrxXMLSerializer s;
    s.SetReferenceLog(refs);
    if (!report) {
        // Without a report the written references would be read against another owner.
        TfrxXMLItem item;
        s.SetSerializeDefaultValues(true);
        s.SetFormatSettings(sourceFormat());
        s.WriteRootComponent(source, false, false, &item);
        setupSerializer(s, target);
        s.ReadRootComponent(target, &item);
        return;
    }
    setupSerializer(s, report);
    s.CopyRootComponent(target, source);
}

// A page written as a root element, with its name in front as its children carry theirs.
void writePage(TfrxPage *page, TfrxXMLItem *item)
{
    TfrxXMLSerializer s;
    setupSerializer(s, page);
    s.WriteRootComponent(page, true, false, item);
    item->SetText(QLatin1String("Name=\"") + EncodeXMLValue(page->Name()) + QLatin1Char('"') + item->Text());
}

void setNameQuietly(TfrxComponent *c, const QString &name)
{
    try {
        c->SetName(name);
    } catch (const Error &) {
        // A name the rules refuse (a damaged file) leaves the object nameless.
    }
}

} // namespace

// ---------------------------------------------------------------------------------------

TfrxCustomPreviewPages::TfrxCustomPreviewPages(TfrxReport *report) : m_report(report) {}

TfrxCustomPreviewPages::~TfrxCustomPreviewPages() = default;

TfrxCustomEngine *TfrxCustomPreviewPages::Engine() const
{
    if (m_engine)
        return m_engine;
    return m_report ? m_report->Engine() : nullptr;
}

// ---------------------------------------------------------------------------------------

TfrxPreviewPages::TfrxPreviewPages(TfrxReport *report) : TfrxCustomPreviewPages(report)
{
    m_doc.Root()->SetName(QStringLiteral("preparedreport"));
    m_outline = std::make_unique<TfrxOutline>(this, &m_doc);
}

TfrxPreviewPages::~TfrxPreviewPages()
{
    clearPageCache();
}

void TfrxPreviewPages::addError(const QString &message)
{
    if (!m_errors.contains(message))
        m_errors.append(message);
}

TfrxXMLItem *TfrxPreviewPages::pagesItem() const
{
    const int i = root()->Find(kPreviewPages);
    return i < 0 ? nullptr : root()->Items(i);
}

TfrxXMLItem *TfrxPreviewPages::pageItem(int index)
{
    TfrxXMLItem *pages = pagesItem();
    if (!pages || index < 0 || index >= pages->Count())
        return nullptr;
    TfrxXMLItem *item = pages->Items(index);
    // A page moved out of memory comes back before anyone looks at it.
    if (!item->Loaded())
        m_doc.LoadItem(item);
    return item;
}

TfrxXMLItem *TfrxPreviewPages::curPageItem()
{
    return pageItem(CurPage);
}

TfrxXMLItem *TfrxPreviewPages::logicalItem()
{
    return root()->FindItem(kLogical);
}

bool TfrxPreviewPages::firstPassOfTwo() const
{
    const TfrxCustomEngine *e = Engine();
    return e && e->DoublePass && !e->FinalPass;
}

bool TfrxPreviewPages::finalPassOfTwo() const
{
    const TfrxCustomEngine *e = Engine();
    return e && e->DoublePass && e->FinalPass;
}

int TfrxPreviewPages::Count() const
{
    const TfrxXMLItem *pages = pagesItem();
    return pages ? pages->Count() : 0;
}

TfrxPage *TfrxPreviewPages::SourcePage(int index) const
{
    return index >= 0 && index < int(m_sourcePages.size()) ? m_sourcePages[size_t(index)].get() : nullptr;
}

TfrxComponent *TfrxPreviewPages::SourceObject(const TfrxComponent *obj) const
{
    const auto it = m_designLinks.constFind(obj);
    if (it == m_designLinks.constEnd() || !it->cell || *it->cell != obj)
        return nullptr;
    return it->copy;
}

QString TfrxPreviewPages::AliasName(const TfrxComponent *obj) const
{
    if (const auto it = m_copies.constFind(obj); it != m_copies.constEnd())
        return it->alias;
    if (TfrxComponent *copy = SourceObject(obj))
        return m_copies.value(copy).alias;
    return QString();
}

TfrxComponent *TfrxPreviewPages::OriginalComponent(const TfrxComponent *copy) const
{
    const auto it = m_copies.constFind(copy);
    return it == m_copies.constEnd() ? nullptr : it->original.get();
}

QString TfrxPreviewPages::SourceBaseName(const TfrxComponent *copy) const
{
    const auto it = m_copies.constFind(copy);
    if (it == m_copies.constEnd())
        return QString();
    if (!it->baseName)
        it->baseName = serializedSource(const_cast<TfrxComponent *>(copy));
    return *it->baseName;
}

int TfrxPreviewPages::sourcePageIndexOf(const TfrxPage *design) const
{
    for (size_t i = 0; i < m_sourcePageDesign.size(); ++i)
        if (design && m_sourcePageDesign[i].get() == design)
            return int(i);
    return -1;
}

// ---------------------------------------------------------------------------------------
// Run set-up

void TfrxPreviewPages::Clear()
{
    clearPageCache();
    m_designLinks.clear();
    m_copies.clear();
    // Copies made or taken from the kept ones and left as made go back; others are not
    // what their print says any more.
    for (size_t i = 0; i < m_sourcePages.size() && i < m_keptSources.size(); ++i) {
        if (m_keepSources && m_sourceKept[i])
            m_keptSources[i].copy = std::move(m_sourcePages[i]);
        else
            m_keptSources[i] = KeptSource();
    }
    m_sourcePages.clear();
    m_sourceKept.clear();
    m_sourcePageDesign.clear();
    m_doc.Clear();
    m_doc.Root()->SetName(QStringLiteral("preparedreport"));
    m_doc.Root()->SetText(QString());
    m_outline->Reset();
    m_dictionary.Clear();
    m_pictureCache.Clear();
    m_errors.clear();
    CurPage = -1;
    m_firstPageIndex = -1;
    m_firstObjectIndex = 0;
    m_firstOutlineIndex = 0;
    m_logicalPageN = 0;
    m_xmlSize = 0;
    m_lastY = 0;
}

void TfrxPreviewPages::Initialize()
{
    if (TfrxReport *r = Report()) {
        m_pictureCache.SetOptions(r->PreviewOptions()->PictureCacheInFile, r->EngineOptions()->TempDir);
        m_doc.SetTempDir(r->EngineOptions()->TempDir);
    }
    progress(TfrxPreviewProgress::Start);
}

void TfrxPreviewPages::link(TfrxComponent *design, TfrxComponent *copy, const QString &alias)
{
    m_designLinks.insert(design, DesignLink{design->selfCell(), copy});
    CopyInfo &info = m_copies[copy];
    info.alias = alias;
    info.original = design;
}

void TfrxPreviewPages::addCopy(TfrxComponent *design, TfrxComponent *copy, int pageIndex)
{
    const QString base = fastCast<TfrxBand *>(copy) ? QStringLiteral("b") : copy->BaseName().left(1).toLower();
    const QString sourceName = QLatin1String("Page") + QString::number(pageIndex) + QLatin1Char('.') + copy->Name();
    const QString alias = m_dictionary.AddUnique(base, sourceName, copy);
    link(design, copy, alias);
    if (auto *memo = fastCast<TfrxCustomMemoView *>(copy)) {
        memo->SetDataSet(nullptr);
        memo->SetDataField(QString());
    }
    m_copies[copy].baseName.reset();
}

namespace {
// Copies the children of `design` into `copy`, depth first, parents before children, and
// records every walked component with its copy; a component that is not copied takes
// nothing below it along.
void copyChildren(TfrxComponent *design, TfrxComponent *copy, QList<std::pair<TfrxComponent *, TfrxComponent *>> &walked,
                  QList<TfrxResolvedReference> *refs)
{
    for (TfrxComponent *child : design->Objects()) {
        TfrxComponent *childCopy = isPreviewVisible(child) ? createLike(child->classInfo(), copy) : nullptr;
        walked.append(std::make_pair(child, childCopy));
        if (!childCopy)
            continue;
        copyProperties(childCopy, child, refs);
        if (auto *pv = fastCast<TfrxPictureView *>(childCopy)) {
            // The graphic lives in the picture cache, not in the source page.
            pv->Picture()->Clear();
            pv->SetPictureChanged(false);
        }
        setNameQuietly(childCopy, child->Name());
        copyChildren(child, childCopy, walked, refs);
    }
}

// The design objects walked as copyChildren walks them, paired with the copies made then.
void pairCopies(TfrxComponent *design, const QList<TfrxComponent *> &copies, qsizetype &next,
                QList<std::pair<TfrxComponent *, TfrxComponent *>> &walked)
{
    for (TfrxComponent *child : design->Objects()) {
        TfrxComponent *copy = copies.value(next++);
        walked.append(std::make_pair(child, copy));
        if (copy)
            pairCopies(child, copies, next, walked);
    }
}

// What copying reads of a design page, recorded or compared with a record as it is read.
class SourcePrint {
public:
    SourcePrint(TfrxReport *report, QVector<Variant> &values, bool compare)
        : m_values(values), m_compare(compare)
    {
        setupSerializer(m_serializer, report);
    }
    // Compare: whether the page read as recorded.
    bool same() const { return m_same && m_at == m_values.size(); }

    void tree(TfrxComponent *design)
    {
        add(Variant(qint64(quintptr(design->classInfo()))));
        add(Variant(design->Name()));
        object(design);
        for (TfrxComponent *child : design->Objects()) {
            if (!m_same)
                return;
            const bool copied = isPreviewVisible(child) && child->classInfo() && child->classInfo()->factory;
            add(Variant(copied));
            if (copied)
                tree(child);
            else
                add(Variant(qint64(quintptr(child->classInfo()))));
        }
        add(Variant(qint64(design->Objects().size())));
    }

private:
    // Every stored value (a reference by the name it is found by), memo text and defined
    // data: what copying an object reads of it.
    void object(Object *obj)
    {
        const bool component = obj->asComponent() != nullptr;
        for (const PropInfo *p : obj->classInfo()->properties()) {
            if (!m_same)
                return;
            if (p->kind == PropKind::Event || p->kind == PropKind::WideStringList
                || (component && sameText(p->name, QLatin1String("Name"))))
                continue;
            if (p->stored != StoredRule::Always) {
                const bool stored = p->isStored(obj);
                add(Variant(stored));
                if (!stored)
                    continue;
            }
            if (p->kind == PropKind::Nested) {
                Object *nested = p->object(obj);
                add(Variant(nested && nested->classInfo()));
                if (nested && nested->classInfo())
                    object(nested);
            } else if (p->kind == PropKind::ObjectRef) {
                Object *ref = p->object(obj);
                add(Variant(m_serializer.ReferenceName(ref ? ref->asComponent() : nullptr)));
            } else {
                add(p->get(obj));
            }
        }
        if (auto *c = obj->asComponent(); c && c->hasMemoText())
            add(Variant(c->memoText()));
        const QByteArray data = m_serializer.propData(obj);
        add(data.isEmpty() ? Variant() : Variant(QString::fromLatin1(data.toHex())));
    }

    void add(Variant v)
    {
        if (!m_compare) {
            m_values.append(std::move(v));
            return;
        }
        if (m_same && (m_at >= m_values.size() || !m_values.at(m_at).sameAs(v)))
            m_same = false;
        ++m_at;
    }

    TfrxXMLSerializer m_serializer;
    QVector<Variant> &m_values;
    bool m_compare;
    bool m_same = true;
    qsizetype m_at = 0;
};

void copyItem(const TfrxXMLItem &from, TfrxXMLItem &to)
{
    to.SetName(from.Name());
    to.SetText(from.Text());
    to.SetValue(from.Value());
    for (int i = 0; i < from.Count(); ++i)
        copyItem(*from.Items(i), *to.Add());
}
} // namespace

void TfrxPreviewPages::SetKeepSourcePages(bool keep)
{
    m_keepSources = keep;
    if (!keep)
        m_keptSources.clear();
}

// The kept copy serves when the design page reads as it did and its references find
// what they found: set again, they point to this run's objects.
bool TfrxPreviewPages::reuseSourcePage(TfrxPage *page, KeptSource &kept)
{
    TfrxReport *report = page->Report();
    TfrxXMLSerializer s;
    setupSerializer(s, report);
    for (const TfrxResolvedReference &r : std::as_const(kept.refs))
        if ((s.FindReferenced(r.fixup.Value) != nullptr) != r.found)
            return false;
    for (const TfrxResolvedReference &r : std::as_const(kept.refs)) {
        if (!r.found || !r.fixup.PropInfo || !r.fixup.PropInfo->hasSetter())
            continue;
        try {
            r.fixup.PropInfo->set(r.fixup.Obj, Variant::fromObject(s.FindReferenced(r.fixup.Value)));
        } catch (const Error &) {
            return false;
        }
    }
    return true;
}

void TfrxPreviewPages::AddSourcePage(TfrxPage *page)
{
    if (!page)
        return;
    const int index = int(m_sourcePages.size());
    const bool keep = m_keepSources && page->Report();
    QList<std::pair<TfrxComponent *, TfrxComponent *>> walked;
    TfrxPage *copyPage = nullptr;
    if (keep && size_t(index) < m_keptSources.size()) {
        KeptSource &kept = m_keptSources[size_t(index)];
        if (kept.copy) {
            SourcePrint print(page->Report(), kept.print, true);
            print.tree(page);
            if (print.same() && reuseSourcePage(page, kept)) {
                copyPage = kept.copy.release();
                qsizetype next = 0;
                pairCopies(page, kept.copies, next, walked);
            }
        }
    }
    if (!copyPage) {
        KeptSource fresh;
        if (keep)
            SourcePrint(page->Report(), fresh.print, false).tree(page);
        copyPage = static_cast<TfrxPage *>(createLike(page->classInfo(), nullptr));
        if (!copyPage)
            return;
        copyProperties(copyPage, page, keep ? &fresh.refs : nullptr);
        setNameQuietly(copyPage, page->Name());
        copyChildren(page, copyPage, walked, keep ? &fresh.refs : nullptr);
        if (keep) {
            for (const auto &[design, copy] : std::as_const(walked))
                fresh.copies.append(copy);
            if (m_keptSources.size() <= size_t(index))
                m_keptSources.resize(size_t(index) + 1);
            m_keptSources[size_t(index)] = std::move(fresh);
        }
    }

    m_sourcePages.emplace_back(copyPage);
    m_sourceKept.push_back(keep);
    m_sourcePageDesign.emplace_back(page);
    m_copies[copyPage].original = page;
    for (auto [design, copy] : walked)
        if (copy)
            addCopy(design, copy, index);
}

void TfrxPreviewPages::AddToSourcePage(TfrxComponent *obj)
{
    if (!obj || m_sourcePages.empty())
        return;
    TfrxPage *page = m_sourcePages.back().get();
    m_sourceKept.back() = false;
    TfrxComponent *copy = createLike(obj->classInfo(), page);
    if (!copy)
        return;
    copyProperties(copy, obj);
    copy->CreateUniqueName();
    addCopy(obj, copy, int(m_sourcePages.size()) - 1);
}

void TfrxPreviewPages::Finish()
{
    clearPageCache();
    m_designLinks.clear();
    for (auto &info : m_copies)
        info.original = nullptr;
    for (auto &d : m_sourcePageDesign)
        d = nullptr;
    progress(TfrxPreviewProgress::Stop);
}

// ---------------------------------------------------------------------------------------
// Passes and pages

void TfrxPreviewPages::BeginPass()
{
    root()->FindItem(kPreviewPages);
    logicalItem();
    m_firstPageIndex = Count() - 1;
    if (m_firstPageIndex >= 0) {
        TfrxXMLItem *last = pageItem(m_firstPageIndex);
        m_firstObjectIndex = last ? last->Count() : 0;
        const int o = root()->Find(QStringLiteral("outline"));
        m_firstOutlineIndex = o < 0 ? 0 : root()->Items(o)->Count();
    }
    ResetLogicalPageNumber();
}

void TfrxPreviewPages::ClearFirstPassPages()
{
    clearPageCache();
    if (m_firstPageIndex == -1) {
        for (int i = 0; i < root()->Count(); ++i) {
            TfrxXMLItem *item = root()->Items(i);
            if (item->Name().compare(kAnchors, Qt::CaseInsensitive) != 0
                && item->Name().compare(kLogical, Qt::CaseInsensitive) != 0)
                item->Clear();
        }
    } else {
        if (TfrxXMLItem *first = pageItem(m_firstPageIndex))
            while (first->Count() > m_firstObjectIndex)
                delete first->Items(first->Count() - 1);
        if (TfrxXMLItem *pages = pagesItem())
            while (pages->Count() > m_firstPageIndex + 1)
                delete pages->Items(pages->Count() - 1);
        const int o = root()->Find(QStringLiteral("outline"));
        if (o >= 0) {
            TfrxXMLItem *outline = root()->Items(o);
            while (outline->Count() > m_firstOutlineIndex)
                delete outline->Items(outline->Count() - 1);
        }
    }
    m_outline->Reset();
    ResetLogicalPageNumber();
    CurPage = m_firstPageIndex;
    m_xmlSize = 0;
}

void TfrxPreviewPages::applyMemoryBound()
{
    TfrxReport *r = Report();
    if (!r || !r->EngineOptions()->UseFileCache)
        return;
    if (m_xmlSize <= qint64(r->EngineOptions()->MaxMemSize) * 1048576)
        return;
    if (TfrxXMLItem *pages = pagesItem()) {
        for (int i = pages->Count() - 2; i >= 0; --i) {
            TfrxXMLItem *item = pages->Items(i);
            if (!item->Unloadable())
                continue;
            if (!item->Loaded())
                break;
            m_doc.UnloadItem(item);
        }
    }
    m_xmlSize = 0;
}

void TfrxPreviewPages::AddPage(TfrxPage *page)
{
    TfrxXMLItem *pages = root()->FindItem(kPreviewPages);
    applyMemoryBound();
    ++CurPage;
    if (CurPage < Count() && AddPageAction != apAdd)
        return; // back on a page that exists (columns): objects go onto it
    TfrxXMLItem *item = pages->Add(QStringLiteral("page") + QString::number(sourcePageIndexOf(page)));
    if (pages->Count() > 2)
        item->SetUnloadable(true);
    progress(TfrxPreviewProgress::Page, CurPage + 1);
    AddPageAction = apWriteOver;
    CurPage = Count() - 1;
    IncLogicalPageNumber();
}

void TfrxPreviewPages::AddEmptyPage(int index)
{
    TfrxXMLItem *pages = pagesItem();
    if (!pages || index < 0 || index >= pages->Count())
        return;
    const TfrxXMLItem *like = pages->Items(index);
    auto *item = new TfrxXMLItem(like->Name());
    item->SetText(like->Text());
    item->SetUnloadable(like->Unloadable());
    pages->InsertItem(index, item);
    clearPageCache();
}

void TfrxPreviewPages::DeletePage(int index)
{
    TfrxXMLItem *pages = pagesItem();
    if (!pages || pages->Count() < 2 || index < 0 || index >= pages->Count())
        return;
    delete pages->Items(index);
    clearPageCache();
}

void TfrxPreviewPages::ModifyPage(int index, TfrxPage *page)
{
    TfrxXMLItem *item = pageItem(index);
    if (!item || !page)
        return;
    item->Clear();
    writePage(page, item);
    item->SetUnloadable(false);
    item->SetLoaded(true);
    dropCachedPage(index, page);
}

void TfrxPreviewPages::UpdatePageDimensions(TfrxPage *page, double width, double height)
{
    const int i = sourcePageIndexOf(page);
    auto *source = fastCast<TfrxReportPage *>(SourcePage(i));
    if (!source)
        return;
    m_sourceKept[size_t(i)] = false;
    // Paper sizes are kept to two decimals.
    const auto mm = [](double px) { return std::round(px / fr01cm * 100) / 100; };
    source->SetPaperSize(DMPAPER_USER);
    source->SetPaperWidth(mm(width));
    source->SetPaperHeight(mm(height));
}

// ---------------------------------------------------------------------------------------
// Objects

void TfrxPreviewPages::writeObject(TfrxComponent *c, TfrxXMLItem *parent, bool replacedPage)
{
    if (!c->Visible() || !isPreviewVisible(c))
        return;
    TfrxComponent *source = replacedPage ? nullptr : SourceObject(c);
    TfrxXMLItem *item = parent->Add();
    if (!source) {
        TfrxXMLSerializer s;
        setupSerializer(s, c->Report());
        item->SetName(c->classInfo()->name);
        item->SetText(frxAllDiff(c, nullptr, s, FormatSettings::current()));
    } else {
        item->SetName(m_copies.value(source).alias);
        const FormatSettings &fs = FormatSettings::current();
        if (firstPassOfTwo()) {
            item->SetText(frxBaseDiff(c, source, fs));
        } else if (hasDefaultDiff(c)) {
            TfrxXMLSerializer s;
            setupSerializer(s, c->Report());
            item->SetText(frxAllDiff(c, source, s, fs));
        } else {
            item->SetText(frxDiff(c, source, &m_pictureCache, fs));
        }
    }
    m_xmlSize += item->Name().size() + item->Text().size() + qint64(sizeof(TfrxXMLItem)) + 16;
    for (TfrxComponent *child : c->Objects())
        writeObject(child, item, replacedPage);
}

void TfrxPreviewPages::AddObject(TfrxComponent *obj)
{
    TfrxXMLItem *page = curPageItem();
    if (!page || !obj)
        return;
    writeObject(obj, page, isPageClassName(page->Name()));
}

void TfrxPreviewPages::AddPicture(TfrxPictureView *picture)
{
    if (!picture)
        return;
    picture->SetImageIndex(m_pictureCache.AddPicture(*picture->Picture()));
}

int TfrxPreviewPages::GetCurPosition()
{
    TfrxXMLItem *page = curPageItem();
    return page ? page->Count() : 0;
}

void TfrxPreviewPages::CutObjects(int position)
{
    TfrxXMLItem *page = curPageItem();
    if (!page)
        return;
    TfrxXMLItem *cutted = root()->FindItem(kCutted);
    position = qMax(position, 0);
    while (page->Count() > position)
        cutted->AddItem(page->Items(position));
}

void TfrxPreviewPages::PasteObjects(double x, double y)
{
    const int c = root()->Find(kCutted);
    if (c < 0)
        return;
    TfrxXMLItem *cutted = root()->Items(c);
    TfrxXMLItem *page = curPageItem();
    if (page && cutted->Count() > 0) {
        const QString l = QStringLiteral("l"), t = QStringLiteral("t");
        const double originLeft = floatProp(cutted->Items(0), l);
        const double originTop = floatProp(cutted->Items(0), t);
        const FormatSettings &fs = FormatSettings::current();
        while (cutted->Count() > 0) {
            TfrxXMLItem *item = cutted->Items(0);
            // Offset within the block first: the first element lands exactly on (x, y).
            item->SetProp(l, floatToStr((floatProp(item, l) - originLeft) + x, fs));
            item->SetProp(t, floatToStr((floatProp(item, t) - originTop) + y, fs));
            page->AddItem(item);
        }
    }
    delete cutted;
}

int TfrxPreviewPages::GetAnchorCurPosition()
{
    return root()->FindItem(kAnchors)->Count() - 1;
}

void TfrxPreviewPages::AddAnchor(const QString &text)
{
    const TfrxCustomEngine *e = Engine();
    TfrxXMLItem *item = root()->FindItem(kAnchors)->Add(QStringLiteral("item"));
    item->SetText(QStringLiteral("text=\"%1\" page=\"%2\" top=\"%3\"")
                      .arg(EncodeXMLValue(text), QString::number(CurPage),
                           QString::number(e ? std::lround(e->CurY) : 0)));
}

int TfrxPreviewPages::GetAnchorPage(const QString &text) const
{
    const int a = root()->Find(kAnchors);
    if (a < 0)
        return -1;
    const TfrxXMLItem *anchors = root()->Items(a);
    for (int i = 0; i < anchors->Count(); ++i)
        if (DecodeXMLValue(anchors->Items(i)->GetProp(QStringLiteral("text"))) == text)
            return intProp(anchors->Items(i), QStringLiteral("page"));
    return -1;
}

void TfrxPreviewPages::ShiftAnchors(int from, int newTop)
{
    const int a = root()->Find(kAnchors);
    if (a < 0)
        return;
    TfrxXMLItem *anchors = root()->Items(a);
    const int first = qMax(from + 1, 0);
    if (first >= anchors->Count())
        return;
    const QString page = QStringLiteral("page"), top = QStringLiteral("top");
    const int dy = newTop - intProp(anchors->Items(first), top);
    for (int i = first; i < anchors->Count(); ++i) {
        TfrxXMLItem *item = anchors->Items(i);
        item->SetProp(page, QString::number(intProp(item, page) + 1));
        item->SetProp(top, QString::number(intProp(item, top) + dy));
    }
}

double TfrxPreviewPages::GetLastY(double columnPosition)
{
    double result = 0;
    if (TfrxXMLItem *page = curPageItem()) {
        const QString l = QStringLiteral("l"), t = QStringLiteral("t"), h = QStringLiteral("h");
        for (int i = 0; i < page->Count(); ++i) {
            const TfrxXMLItem *item = page->Items(i);
            auto *band = fastCast<TfrxBand *>(m_dictionary.GetObject(item->Name()));
            if (!band || fastCast<TfrxPageFooter *>(band) || fastCast<TfrxOverlay *>(band))
                continue;
            bool has = false;
            double left = floatProp(item, l, &has);
            if (!has)
                left = band->Left();
            if (columnPosition != 0 && std::fabs(left - columnPosition) >= 0.001 && !fastCast<TfrxPageHeader *>(band)
                && !fastCast<TfrxReportTitle *>(band))
                continue;
            double top = floatProp(item, t, &has);
            if (!has)
                top = band->Top();
            double height = floatProp(item, h, &has);
            if (!has)
                height = band->Height();
            result = qMax(result, top + height);
        }
    }
    if (result == 0 && m_lastY > 0)
        result = m_lastY;
    return result;
}

bool TfrxPreviewPages::BandExists(TfrxBand *band)
{
    TfrxXMLItem *page = curPageItem();
    if (!page || !band)
        return false;
    const TfrxComponent *source = SourceObject(band);
    const bool pageFooter = fastCast<TfrxPageFooter *>(band) != nullptr;
    const bool columnFooter = fastCast<TfrxColumnFooter *>(band) != nullptr;
    for (int i = 0; i < page->Count(); ++i) {
        const TfrxComponent *obj = m_dictionary.GetObject(page->Items(i)->Name());
        if (!obj)
            continue;
        if ((source && obj == source) || (pageFooter && fastCast<const TfrxPageFooter *>(obj))
            || (columnFooter && fastCast<const TfrxColumnFooter *>(obj)))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Logical page numbers

void TfrxPreviewPages::IncLogicalPageNumber()
{
    if (finalPassOfTwo())
        return;
    ++m_logicalPageN;
    logicalItem()->Add(QStringLiteral("page"))->SetText(QStringLiteral("n=\"%1\"").arg(m_logicalPageN));
}

void TfrxPreviewPages::ResetLogicalPageNumber()
{
    if (finalPassOfTwo())
        return;
    TfrxXMLItem *numbers = logicalItem();
    const QString n = QStringLiteral("n"), t = QStringLiteral("t");
    for (int i = CurPage; i > m_firstPageIndex; --i) {
        if (i >= numbers->Count())
            continue;
        TfrxXMLItem *item = numbers->Items(i);
        item->SetProp(t, QString::number(m_logicalPageN));
        if (item->GetProp(n) == QLatin1String("1"))
            break;
    }
    m_logicalPageN = 0;
}

int TfrxPreviewPages::GetLogicalPageNo()
{
    TfrxXMLItem *numbers = logicalItem();
    if (CurPage >= 0 && CurPage < numbers->Count())
        return intProp(numbers->Items(CurPage), QStringLiteral("n"));
    return CurPage - FirstPage + 1;
}

int TfrxPreviewPages::GetLogicalTotalPages()
{
    TfrxXMLItem *numbers = logicalItem();
    if (CurPage >= 0 && CurPage < numbers->Count())
        return intProp(numbers->Items(CurPage), QStringLiteral("t"));
    const TfrxCustomEngine *e = Engine();
    return (e ? e->TotalPages : 0) - FirstPage;
}

// ---------------------------------------------------------------------------------------
// Rebuilding pages

void TfrxPreviewPages::clearPageCache()
{
    m_pageCache.clear();
}

void TfrxPreviewPages::dropCachedPage(int index, const TfrxPage *keep)
{
    for (auto it = m_pageCache.begin(); it != m_pageCache.end(); ++it) {
        if (it->index != index)
            continue;
        if (it->page.get() == keep)
            return;
        m_pageCache.erase(it);
        return;
    }
}

void TfrxPreviewPages::buildObjects(TfrxXMLItem *item, TfrxComponent *parent, TfrxXMLSerializer &s)
{
    for (int i = 0; i < item->Count(); ++i) {
        TfrxXMLItem *el = item->Items(i);
        TfrxComponent *source = m_dictionary.GetObject(el->Name());
        // The source's element with the differences after it: later attributes win.
        const QString head = source ? SourceBaseName(source) : el->Name();
        const qsizetype sp = head.indexOf(QLatin1Char(' '));
        const QString className = sp < 0 ? head : head.left(sp);
        const ClassInfo *ci = findClass(className);
        TfrxComponent *c = ci && ci->inheritsFrom(&TfrxComponent::staticClassInfo()) ? createLike(ci, parent) : nullptr;
        if (!c) {
            addError(QStringLiteral("Class %1 not found").arg(className));
            continue;
        }
        const QString attrs = sp < 0 ? QString() : head.mid(sp + 1);
        s.XMLToObj(attrs + QLatin1Char(' ') + el->Text(), c);
        if (source)
            setNameQuietly(c, source->Name());
        if (auto *pv = fastCast<TfrxPictureView *>(c); pv && pv->Picture()->isEmpty() && pv->ImageIndex() > 0) {
            m_pictureCache.GetPicture(pv->ImageIndex(), *pv->Picture());
            pv->SetPictureChanged(false);
        }
        buildObjects(el, c, s);
    }
}

TfrxPage *TfrxPreviewPages::buildPage(TfrxXMLItem *item)
{
    TfrxXMLSerializer s;
    if (isPageClassName(item->Name())) {
        const ClassInfo *ci = findClass(item->Name());
        auto *page = fastCast<TfrxPage *>(createLike(ci ? ci : &TfrxReportPage::staticClassInfo(), nullptr));
        if (!page)
            page = new TfrxReportPage(nullptr);
        setupSerializer(s, page);
        s.ReadRootComponent(page, item);
        for (const QString &e : s.Errors())
            addError(e);
        return page;
    }
    int n = -1;
    if (item->Name().startsWith(QLatin1String("page"), Qt::CaseInsensitive)) {
        bool ok = false;
        n = item->Name().mid(4).toInt(&ok);
        if (!ok)
            n = -1;
    }
    TfrxPage *source = SourcePage(n);
    TfrxPage *page = source ? static_cast<TfrxPage *>(createLike(source->classInfo(), nullptr)) : nullptr;
    if (!page)
        page = new TfrxReportPage(nullptr);
    if (source) {
        copyProperties(page, source);
        setNameQuietly(page, source->Name());
    }
    setupSerializer(s, page);
    buildObjects(item, page, s);
    s.ResolveReferences();
    for (const QString &e : s.Errors())
        addError(e);
    page->AlignChildren();
    return page;
}

TfrxPage *TfrxPreviewPages::GetPage(int index)
{
    if (index < 0 || index >= Count())
        return nullptr;
    const TfrxCustomEngine *e = Engine();
    const bool running = e && e->Running;
    for (size_t i = 0; i < m_pageCache.size(); ++i) {
        if (m_pageCache[i].index != index)
            continue;
        if (!running) {
            std::swap(m_pageCache[i], m_pageCache[0]);
            return m_pageCache[0].page.get();
        }
        // A page being filled is rebuilt: the cached one is out of date.
        m_pageCache.erase(m_pageCache.begin() + qsizetype(i));
        break;
    }
    TfrxXMLItem *item = pageItem(index);
    if (!item)
        return nullptr;
    std::unique_ptr<TfrxPage> page(buildPage(item));
    TfrxPage *result = page.get();
    m_pageCache.insert(m_pageCache.begin(), CachedPage{index, std::move(page)});
    const TfrxReport *r = Report();
    const int keep = r ? r->PreviewOptions()->PagesInCache : 50;
    if (m_pageCache.size() > 1 && int(m_pageCache.size()) > keep) {
        const int dropped = m_pageCache.back().index;
        m_pageCache.pop_back();
        if (r && r->EngineOptions()->UseFileCache)
            if (TfrxXMLItem *pages = pagesItem(); pages && dropped < pages->Count())
                m_doc.UnloadItem(pages->Items(dropped)); // only unloadable items move out
    }
    return result;
}

QSize TfrxPreviewPages::GetPageSize(int index)
{
    TfrxXMLItem *pages = pagesItem();
    if (!pages || index < 0 || index >= pages->Count())
        return QSize(0, 0);
    const QString name = pages->Items(index)->Name();
    TfrxPage *page = nullptr;
    if (name.startsWith(QLatin1String("page"), Qt::CaseInsensitive)) {
        bool ok = false;
        page = SourcePage(name.mid(4).toInt(&ok));
    }
    if (!page)
        page = GetPage(index);
    if (!page)
        return QSize(0, 0);
    return QSize(int(std::lround(page->Width())), int(std::lround(page->Height())));
}

// ---------------------------------------------------------------------------------------
// Saving and loading

void TfrxPreviewPages::SaveToStream(QIODevice *stream)
{
    TfrxReport *r = Report();
    TfrxXMLItem *report = root()->FindItem(QStringLiteral("report"));
    report->Clear();
    {
        TfrxXMLItem *item = report->Add(r ? r->classInfo()->name : QStringLiteral("TfrxReport"));
        const bool dotMatrix = r && r->DotMatrixReport;
        const bool outlineVisible = r && r->PreviewOptions()->OutlineVisible;
        const int outlineWidth = r ? r->PreviewOptions()->OutlineWidth : 120;
        const QString name = r ? r->ReportOptions()->Name : QString();
        item->SetText(QStringLiteral("DotMatrixReport=\"%1\" PreviewOptions.OutlineVisible=\"%2\" "
                                     "PreviewOptions.OutlineWidth=\"%3\" ReportOptions.Name=\"%4\"")
                          .arg(dotMatrix ? 1 : 0)
                          .arg(outlineVisible ? 1 : 0)
                          .arg(outlineWidth)
                          .arg(EncodeXMLValue(name)));
    }

    TfrxXMLItem *sources = root()->FindItem(QStringLiteral("sourcepages"));
    sources->Clear();
    for (size_t i = 0; i < m_sourcePages.size(); ++i) {
        TfrxXMLItem *item = sources->Add();
        // A kept copy is written as it was last time while its references are as they
        // were then: none left, the design objects they named gone with their run.
        KeptSource *kept = m_keepSources && m_sourceKept[i] && i < m_keptSources.size() ? &m_keptSources[i] : nullptr;
        if (kept)
            for (const TfrxResolvedReference &r : std::as_const(kept->refs))
                if (r.fixup.PropInfo && r.fixup.PropInfo->object(r.fixup.Obj)) {
                    kept = nullptr;
                    break;
                }
        if (kept && kept->written) {
            copyItem(*kept->written, *item);
            continue;
        }
        writePage(m_sourcePages[i].get(), item);
        if (kept) {
            kept->written = std::make_unique<TfrxXMLItem>();
            copyItem(*item, *kept->written);
        }
    }

    TfrxXMLItem *dictionary = root()->FindItem(QStringLiteral("dictionary"));
    dictionary->Clear();
    for (int i = 0; i < m_dictionary.Count(); ++i)
        dictionary->Add(m_dictionary.Name(i))
            ->SetText(QLatin1String("name=\"") + m_dictionary.SourceNameAt(i) + QLatin1Char('"'));

    TfrxXMLItem *pictures = root()->FindItem(QStringLiteral("picturecache"));
    pictures->Clear();
    for (int i = 1; i <= m_pictureCache.Count(); ++i)
        pictures->Add(QStringLiteral("item"))
            ->SetText(QLatin1String("stream=\"") + BytesToHex(m_pictureCache.Bytes(i)) + QLatin1Char('"'));

    m_doc.SetAutoIndent(false);
    m_doc.SaveToStream(stream);
}

void TfrxPreviewPages::SaveToFile(const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    SaveToStream(&file); // on an exception the half-written file is discarded
    QString reason;
    if (!commitWhole(file, &reason))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason));
}

void TfrxPreviewPages::LoadFromStream(QIODevice *stream, bool allowPartialLoading)
{
    Clear();
    try {
        m_doc.LoadFromStream(stream, allowPartialLoading);
    } catch (...) {
        Clear();
        throw;
    }
    if (root()->Name().compare(QLatin1String("preparedreport"), Qt::CaseInsensitive) != 0) {
        Clear();
        throw TfrxInvalidXMLException(QStringLiteral("Invalid file format"));
    }

    // The report's four attributes, and nothing else a file might carry.
    const int rep = root()->Find(QStringLiteral("report"));
    if (TfrxReport *r = Report(); r && rep >= 0 && root()->Items(rep)->Count() > 0) {
        const TfrxXMLItem *item = root()->Items(rep)->Items(0);
        QString text;
        for (const char *name : {"DotMatrixReport", "PreviewOptions.OutlineVisible", "PreviewOptions.OutlineWidth",
                                 "ReportOptions.Name"}) {
            const QString n = QLatin1String(name);
            if (item->PropExists(n))
                text += QLatin1Char(' ') + n + QLatin1String("=\"") + EncodeXMLValue(item->GetProp(n)) + QLatin1Char('"');
        }
        TfrxXMLSerializer s;
        s.SetOwner(r);
        s.XMLToObj(text, r);
    }

    const int src = root()->Find(QStringLiteral("sourcepages"));
    if (src >= 0) {
        TfrxXMLItem *sources = root()->Items(src);
        for (int i = 0; i < sources->Count(); ++i) {
            TfrxXMLItem *item = sources->Items(i);
            const ClassInfo *ci = item->Name().compare(kDMPPage, Qt::CaseInsensitive) == 0 ? findClass(kDMPPage) : nullptr;
            auto *page = fastCast<TfrxPage *>(createLike(ci ? ci : &TfrxReportPage::staticClassInfo(), nullptr));
            if (!page)
                page = new TfrxReportPage(nullptr);
            m_sourcePages.emplace_back(page);
            m_sourceKept.push_back(false);
            m_sourcePageDesign.emplace_back();
            TfrxXMLSerializer s;
            setupSerializer(s, page);
            s.ReadRootComponent(page, item);
            for (const QString &e : s.Errors())
                addError(e);
            for (TfrxComponent *c : page->AllObjects())
                m_copies[c].baseName.reset();
        }
        sources->Clear();
    }

    const int dict = root()->Find(QStringLiteral("dictionary"));
    if (dict >= 0) {
        const TfrxXMLItem *items = root()->Items(dict);
        for (int i = 0; i < items->Count(); ++i) {
            const TfrxXMLItem *item = items->Items(i);
            const QString sourceName = item->GetProp(QStringLiteral("name"));
            const qsizetype dot = sourceName.indexOf(QLatin1Char('.'));
            bool ok = false;
            const int pageIndex = dot > 4 ? sourceName.mid(4, dot - 4).toInt(&ok) : -1;
            TfrxPage *page = ok && sourceName.startsWith(QLatin1String("Page"), Qt::CaseInsensitive) ? SourcePage(pageIndex)
                                                                                                  : nullptr;
            TfrxComponent *obj = page ? page->FindObject(sourceName.mid(dot + 1)) : nullptr;
            // An entry naming nothing in the source pages is of no use to a reader.
            if (!obj)
                continue;
            m_dictionary.Add(item->Name(), sourceName, obj);
            m_copies[obj].alias = item->Name();
        }
    }

    const int pics = root()->Find(QStringLiteral("picturecache"));
    if (pics >= 0) {
        const TfrxXMLItem *items = root()->Items(pics);
        for (int i = 0; i < items->Count(); ++i) {
            QByteArray bytes;
            if (!HexToBytes(items->Items(i)->GetProp(QStringLiteral("stream")), bytes))
                bytes.clear();
            m_pictureCache.AddBytes(bytes); // keeps the indices of the following pictures
        }
    }

    // Pages from the third on stay movable out of memory, as when they were made.
    if (TfrxXMLItem *pages = pagesItem()) {
        for (int i = 0; i < pages->Count(); ++i) {
            TfrxXMLItem *item = pages->Items(i);
            if (i >= 2 && !isPageClassName(item->Name()))
                item->SetUnloadable(true);
        }
    }
}

bool TfrxPreviewPages::LoadFromFile(const QString &fileName, bool exceptionIfNotFound)
{
    const bool exists = QFileInfo::exists(fileName);
    if (!exists && !exceptionIfNotFound)
        return false;
    auto *file = new QFile(fileName);
    if (!file->open(QIODevice::ReadOnly)) {
        const QString msg = QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), file->errorString());
        delete file;
        throw EFOpenError(msg);
    }
    LoadFromStream(file, true);
    return exists;
}

} // namespace tw
