#include "report/engine/datasets.h"

#include "base/codepage.h"
#include "base/sametext.h"
#include "report/engine/databaseobjects.h"
#include "report/model/bands.h"
#include "report/model/report.h"
#include "report/xml/resources.h"
#include "script/classregistry.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace tw {

// ---------------------------------------------------------------------------------------
// The process-wide list of report datasets

namespace {

struct DataSetList {
    std::mutex mutex;
    std::vector<TfrxDataSet *> items; // creation order
};

DataSetList &dataSetList()
{
    // Never destroyed: datasets may outlive static destruction order.
    static DataSetList *list = new DataSetList;
    return *list;
}

// User names compare ignoring case, by the locale's rules.
bool sameTextLocale(const QString &a, const QString &b)
{
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    return QString::localeAwareCompare(a.toUpper(), b.toUpper()) == 0;
}

} // namespace

TfrxDataSet *frxFindDataSet(const TfrxComponent *asker, const QString &name, TfrxDataSet *current)
{
    TfrxReport *report = asker ? asker->Report() : nullptr;
    if (!report)
        return current;
    if (name.isEmpty())
        return nullptr;
    if (!report->EngineOptions()->UseGlobalDataSetList) {
        if (TfrxDataSetItem *item = report->DataSets().Find(name))
            return item->DataSet();
        return current;
    }
    TfrxDataSet *found = current;
    frxForEachDataSet([&](TfrxDataSet *ds) {
        Component *owner = ds->Owner();
        if (owner && owner->isReport() && owner != report)
            return true; // a dataset of another report
        if (!sameTextLocale(ds->UserName(), name))
            return true;
        found = ds;
        return false;
    });
    return found;
}

namespace {

// The name and alias parts of a FieldAliases line ("name=alias"); a line without '='
// names a field under its own name.
void splitAlias(const QString &line, QString &name, QString &alias)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
        name = alias = line;
        return;
    }
    name = line.left(eq);
    alias = line.mid(eq + 1);
}

bool isWideBlob(db::FieldType t)
{
    return t == db::ftWideMemo;
}

bool isTextBlob(db::FieldType t)
{
    return t == db::ftMemo || t == db::ftFmtMemo || t == db::ftOraClob || t == db::ftWideMemo;
}

bool isBcdType(db::FieldType t)
{
    return t == db::ftFMTBcd;
}

QString quotedField(const QString &userName, const QString &fieldName)
{
    return userName + QStringLiteral(".\"") + fieldName + QLatin1Char('"');
}

} // namespace

void frxForEachDataSet(const std::function<bool(TfrxDataSet *)> &visit)
{
    DataSetList &l = dataSetList();
    std::lock_guard<std::mutex> lock(l.mutex);
    for (TfrxDataSet *ds : l.items)
        if (!visit(ds))
            break;
}

// ---------------------------------------------------------------------------------------
// Enumerations

const EnumInfo &rangeBeginEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxRangeBegin"), enumNames({"rbFirst", "rbCurrent"})};
    return e;
}

const EnumInfo &rangeEndEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxRangeEnd"), enumNames({"reLast", "reCurrent", "reCount"})};
    return e;
}

const EnumInfo &fieldTypeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxFieldType"), enumNames({"fftNumeric", "fftString", "fftBoolean"})};
    return e;
}

// ---------------------------------------------------------------------------------------
// TfrxDataSet

TW_DEFINE_CLASS(TfrxDataSet, &TfrxDialogComponent::staticClassInfo())
{
    using D = TfrxDataSet;
    ClassBuilder<D>(info)
        .boolean(QStringLiteral("CloseDataSource"), [](const D *d) { return d->CloseDataSource; },
                 [](D *d, bool v) { d->CloseDataSource = v; }, false)
        .boolean(QStringLiteral("Enabled"), [](const D *d) { return d->Enabled; }, [](D *d, bool v) { d->Enabled = v; }, true)
        .boolean(QStringLiteral("OpenDataSource"), [](const D *d) { return d->OpenDataSource; },
                 [](D *d, bool v) { d->OpenDataSource = v; }, true)
        .enumeration(QStringLiteral("RangeBegin"), rangeBeginEnum(), [](const D *d) { return d->RangeBegin; },
                     [](D *d, TfrxRangeBegin v) { d->RangeBegin = v; }, rbFirst)
        .enumeration(QStringLiteral("RangeEnd"), rangeEndEnum(), [](const D *d) { return d->RangeEnd; },
                     [](D *d, TfrxRangeEnd v) { d->RangeEnd = v; }, reLast)
        .integer(QStringLiteral("RangeEndCount"), [](const D *d) { return d->RangeEndCount; },
                 [](D *d, int v) { d->RangeEndCount = v; }, 0)
        .string(QStringLiteral("UserName"), &D::UserName, &D::SetUserName);
}

TfrxDataSet::TfrxDataSet(Component *owner) : TfrxDialogComponent(owner)
{
    DataSetList &l = dataSetList();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.items.push_back(this);
}

TfrxDataSet::~TfrxDataSet()
{
    DataSetList &l = dataSetList();
    std::lock_guard<std::mutex> lock(l.mutex);
    std::erase(l.items, this);
}

QString TfrxDataSet::UserName() const
{
    return m_userName.isEmpty() ? Name() : m_userName;
}

void TfrxDataSet::SetUserName(const QString &v)
{
    if (v.trimmed().isEmpty())
        throw Error(frxResources().Get(QStringLiteral("prInvProp")));
    m_userName = v;
}

void TfrxDataSet::SetName(const QString &name)
{
    const QString old = Name();
    TfrxDialogComponent::SetName(name);
    if (!name.isEmpty() && (m_userName.isEmpty() || m_userName == old))
        m_userName = Name();
}

TfrxReport *TfrxDataSet::errorReport() const
{
    return ReportRef ? ReportRef : Report();
}

QString TfrxDataSet::GetDisplayText(const QString &)
{
    return QString();
}

int TfrxDataSet::GetDisplayWidth(const QString &)
{
    return 10;
}

TfrxFieldType TfrxDataSet::GetFieldType(const QString &)
{
    return fftNumeric;
}

Variant TfrxDataSet::GetValue(const QString &)
{
    return Variant::null();
}

void TfrxDataSet::Initialize() {}

void TfrxDataSet::Finalize() {}

void TfrxDataSet::Open()
{
    if (OnOpen)
        OnOpen(this);
}

void TfrxDataSet::Close()
{
    if (OnClose)
        OnClose(this);
}

void TfrxDataSet::First()
{
    RecNo = 0;
    m_eof = false;
    if (OnFirst)
        OnFirst(this);
}

void TfrxDataSet::Next()
{
    m_eof = false;
    ++RecNo;
    if (RangeEnd == reCount && RecNo >= RangeEndCount) {
        RecNo = RangeEndCount - 1;
        m_eof = true;
        return;
    }
    if (OnNext)
        OnNext(this);
}

void TfrxDataSet::Prior()
{
    --RecNo;
    if (OnPrior)
        OnPrior(this);
}

bool TfrxDataSet::Eof()
{
    bool result = RangeEnd == reCount && (RecNo >= RangeEndCount || m_eof);
    if (OnCheckEOF)
        OnCheckEOF(this, result);
    return result;
}

int TfrxDataSet::FieldsCount()
{
    return 0;
}

bool TfrxDataSet::IsBlobField(const QString &)
{
    return false;
}

int TfrxDataSet::RecordCount()
{
    return RangeBegin == rbFirst && RangeEnd == reCount ? RangeEndCount : 0;
}

void TfrxDataSet::AssignBlobTo(const QString &, Object *) {}

void TfrxDataSet::GetFieldList(QStringList &list)
{
    list.clear();
}

bool TfrxDataSet::HasField(const QString &fieldName)
{
    QStringList list;
    GetFieldList(list);
    return list.contains(fieldName, Qt::CaseInsensitive);
}

// ---------------------------------------------------------------------------------------
// TfrxUserDataSet

TW_DEFINE_CLASS(TfrxUserDataSet, &TfrxDataSet::staticClassInfo())
{
    using D = TfrxUserDataSet;
    ClassBuilder<D>(info)
        .factory(frxFactory<D>())
        .stringList(QStringLiteral("Fields"), [](const D *d) { return frxLinesText(d->Fields); },
                    [](D *d, const QString &v) { d->Fields = frxTextLines(v); });
}

TfrxUserDataSet::TfrxUserDataSet(Component *owner) : TfrxDataSet(owner) {}

Variant TfrxUserDataSet::GetValue(const QString &fieldName)
{
    Variant v = Variant::null();
    if (OnGetValue)
        OnGetValue(fieldName, v);
    if (OnNewGetValue)
        OnNewGetValue(this, fieldName, v);
    return v;
}

QString TfrxUserDataSet::GetDisplayText(const QString &fieldName)
{
    return GetValue(fieldName).toText();
}

// ---------------------------------------------------------------------------------------
// TfrxCustomDBDataSet

TW_DEFINE_CLASS(TfrxCustomDBDataSet, &TfrxDataSet::staticClassInfo())
{
    using D = TfrxCustomDBDataSet;
    ClassBuilder<D>(info)
        .boolean(QStringLiteral("BCDToCurrency"), [](const D *d) { return d->BCDToCurrency; },
                 [](D *d, bool v) { d->BCDToCurrency = v; })
        .stringList(QStringLiteral("FieldAliases"), [](const D *d) { return frxLinesText(d->FieldAliases); },
                    [](D *d, const QString &v) { d->FieldAliases = frxTextLines(v); });
}

TfrxCustomDBDataSet::TfrxCustomDBDataSet(Component *owner) : TfrxDataSet(owner) {}

QStringList TfrxCustomDBDataSet::Fields() const
{
    QStringList names;
    for (const FieldEntry &e : m_fields)
        names.append(e.name);
    return names;
}

QString TfrxCustomDBDataSet::ConvertAlias(const QString &alias) const
{
    for (const QString &line : FieldAliases) {
        QString name, a;
        splitAlias(line, name, a);
        if (sameTextLocale(a, alias))
            return name;
    }
    return alias;
}

QString TfrxCustomDBDataSet::GetAlias(const QString &fieldName) const
{
    for (const QString &line : FieldAliases) {
        QString name, a;
        splitAlias(line, name, a);
        if (sameTextLocale(name, fieldName))
            return a;
    }
    return fieldName;
}

void TfrxCustomDBDataSet::GetFieldList(QStringList &list)
{
    list.clear();
    if (FieldAliases.isEmpty()) {
        try {
            if (db::DataSet *ds = GetDataSet())
                list = ds->fieldNames();
        } catch (const std::exception &) {
            // errors while listing are ignored
        }
        return;
    }
    for (const QString &line : FieldAliases) {
        QString name, alias;
        splitAlias(line, name, alias);
        if (!name.startsWith(QLatin1Char('-')))
            list.append(alias);
    }
}

void TfrxCustomDBDataSet::rebuildFields(db::DataSet *ds)
{
    QStringList list;
    GetFieldList(list);
    m_fields.clear();
    const auto less = [](const FieldEntry &e, const QString &n) { return e.name.compare(n, Qt::CaseInsensitive) < 0; };
    for (const QString &name : list) {
        auto it = std::lower_bound(m_fields.begin(), m_fields.end(), name, less);
        if (it != m_fields.end() && sameText(it->name, name))
            continue; // duplicates ignored
        FieldEntry e{name, QString()};
        if (ds)
            if (db::DataField *f = ds->findField(ConvertAlias(name)))
                e.fieldName = f->fieldName();
        m_fields.insert(it, e);
    }
    m_exact.clear();
    for (int i = 0; i < int(m_fields.size()); ++i)
        m_exact.insert(m_fields[size_t(i)].name, i);
}

const TfrxCustomDBDataSet::FieldEntry *TfrxCustomDBDataSet::findEntry(const QString &name) const
{
    if (const auto exact = m_exact.constFind(name); exact != m_exact.constEnd())
        return &m_fields[size_t(*exact)];
    const auto less = [](const FieldEntry &e, const QString &n) { return e.name.compare(n, Qt::CaseInsensitive) < 0; };
    auto it = std::lower_bound(m_fields.begin(), m_fields.end(), name, less);
    if (it != m_fields.end() && sameText(it->name, name))
        return &*it;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// TfrxDBDataset

TW_DEFINE_CLASS(TfrxDBDataset, &TfrxCustomDBDataSet::staticClassInfo())
{
    ClassBuilder<TfrxDBDataset>(info).factory(frxFactory<TfrxDBDataset>());
}

TfrxDBDataset::TfrxDBDataset(Component *owner) : TfrxCustomDBDataSet(owner) {}

TfrxDBDataset::~TfrxDBDataset()
{
    unhook();
}

void TfrxDBDataset::SetDataSet(db::DataSet *v)
{
    if (v != m_dataSet)
        unhook();
    m_dataSet = v;
    m_dataSetLife = v ? v->life() : std::weak_ptr<const int>();
    if (v)
        m_dataSource = nullptr;
}

void TfrxDBDataset::SetDataSource(db::DataSource *v)
{
    unhook();
    m_dataSource = v;
    if (v) {
        m_dataSet = nullptr;
        m_dataSetLife.reset();
    }
}

db::DataSet *TfrxDBDataset::GetDataSet() const
{
    if (m_dataSet)
        return m_dataSetLife.expired() ? nullptr : m_dataSet;
    if (m_dataSource)
        return m_dataSource->dataSet;
    return nullptr;
}

db::DataSet *TfrxDBDataset::ds()
{
    if (db::DataSet *d = GetDataSet())
        return d;
    QString text = frxResources().Get(QStringLiteral("dbNotConn"));
    text.replace(QStringLiteral("%s"), Name());
    throw Error(text);
}

void TfrxDBDataset::unhook()
{
    if (m_hooked && !m_hookedLife.expired()) {
        m_hooked->setAfterOpen(m_savedAfterOpen);
        m_hooked->setBeforeClose(m_savedBeforeClose);
    }
    m_hooked = nullptr;
    m_hookedLife.reset();
    m_savedAfterOpen = nullptr;
    m_savedBeforeClose = nullptr;
}

void TfrxDBDataset::releaseBookmark()
{
    if (m_bookmark.isNull())
        return;
    if (db::DataSet *d = GetDataSet())
        d->freeBookmark(m_bookmark);
    m_bookmark = db::Bookmark();
}

void TfrxDBDataset::Initialize()
{
    db::DataSet *d = ds();
    unhook();
    m_savedAfterOpen = d->afterOpen();
    m_savedBeforeClose = d->beforeClose();
    d->setAfterOpen([this](db::DataSet &x) {
        rebuildFields(&x);
        if (m_savedAfterOpen) {
            const db::DataSet::Notify saved = m_savedAfterOpen;
            saved(x);
        }
    });
    d->setBeforeClose([this](db::DataSet &x) {
        if (m_savedBeforeClose) {
            const db::DataSet::Notify saved = m_savedBeforeClose;
            saved(x);
        }
        releaseBookmark();
        m_initialized = false;
    });
    m_hooked = d;
    m_hookedLife = d->life();
    m_dbEof = false;
    m_initialized = false;
}

void TfrxDBDataset::Finalize()
{
    db::DataSet *d = GetDataSet();
    if (!d) {
        unhook();
        m_initialized = false;
        return;
    }
    if (!m_bookmark.isNull()) {
        if (d->bookmarkValid(m_bookmark))
            d->gotoBookmark(m_bookmark);
        releaseBookmark();
    }
    if (CloseDataSource)
        Close();
    unhook();
    m_initialized = false;
}

void TfrxDBDataset::Open()
{
    if (m_initialized)
        return;
    db::DataSet *d = ds();
    m_initialized = true;
    try {
        d->open();
    } catch (...) {
        m_initialized = false;
        throw;
    }
    rebuildFields(d);
    releaseBookmark();
    if (RangeBegin == rbCurrent || RangeEnd == reCurrent)
        m_bookmark = d->bookmark();
    TfrxDataSet::Open();
}

void TfrxDBDataset::Close()
{
    TfrxDataSet::Close();
    releaseBookmark();
    m_initialized = false;
    if (db::DataSet *d = GetDataSet())
        d->close();
}

void TfrxDBDataset::First()
{
    if (!m_initialized)
        Open();
    db::DataSet *d = ds();
    if (RangeBegin == rbCurrent && d->bookmarkValid(m_bookmark))
        d->gotoBookmark(m_bookmark);
    else
        d->first();
    m_dbEof = false;
    TfrxDataSet::First();
}

void TfrxDBDataset::Next()
{
    if (!m_initialized)
        Open();
    db::DataSet *d = ds();
    m_dbEof = false;
    if (RangeEnd == reCurrent) {
        db::Bookmark b = d->bookmark();
        m_dbEof = d->compareBookmarks(b, m_bookmark) == 0;
        d->freeBookmark(b);
        if (m_dbEof)
            return;
    }
    d->next();
    TfrxDataSet::Next();
}

void TfrxDBDataset::Prior()
{
    if (!m_initialized)
        Open();
    ds()->prior();
    TfrxDataSet::Prior();
}

bool TfrxDBDataset::Eof()
{
    if (!m_initialized)
        Open();
    const bool base = TfrxDataSet::Eof();
    return base || ds()->eof() || m_dbEof;
}

db::DataField *TfrxDBDataset::fieldOf(const QString &name)
{
    const FieldEntry *e = findEntry(name);
    if (!e || e->fieldName.isEmpty())
        return nullptr;
    return ds()->findField(e->fieldName);
}

void TfrxDBDataset::notFound(const QString &fieldName, QString *text)
{
    const QString t = frxResources().Get(QStringLiteral("dbFldNotFound")) + QLatin1Char(' ')
        + quotedField(UserName(), fieldName);
    if (text)
        *text = t;
    if (TfrxReport *r = errorReport())
        r->AddError(r->CurObject + QStringLiteral(": ") + t);
}

Variant TfrxDBDataset::GetValue(const QString &fieldName)
{
    if (!m_initialized)
        Open();
    db::DataField *f = fieldOf(fieldName);
    if (!f) {
        notFound(fieldName);
        return Variant::null();
    }
    const db::FieldType t = f->dataType();
    if (isBcdType(t)) {
        if (f->isNull())
            return Variant::null();
        const double x = f->asVariant().toDouble();
        if (BCDToCurrency)
            return Variant(std::round(x * 10000.0) / 10000.0); // currency: four decimals
        return Variant(x);
    }
    if (t == db::ftLargeint)
        return f->isNull() ? Variant::null() : Variant(qint64(f->asVariant().toInt64()));
    if (t == db::ftTimeStamp)
        return f->isNull() ? Variant::null() : Variant(f->asVariant().toDouble());
    if (f->isBlob()) {
        if (isTextBlob(t))
            return Variant(f->asString());
        return Variant(QString::fromLatin1(f->asBytes())); // one character per byte
    }
    return f->asVariant();
}

QString TfrxDBDataset::GetDisplayText(const QString &fieldName)
{
    if (!m_initialized)
        Open();
    db::DataSet *d = ds();
    if (!d->isActive())
        return quotedField(UserName(), fieldName);
    if (m_fields.empty()) {
        db::DataField *f = d->findField(fieldName);
        if (!f)
            throw Error(QStringLiteral("Field '%1' not found").arg(fieldName));
        return f->displayText();
    }
    if (findEntry(fieldName)) {
        db::DataField *f = fieldOf(fieldName);
        if (f) {
            if (f->dataType() == db::ftWideString)
                return f->asVariant().toText();
            return f->displayText();
        }
    }
    QString text;
    notFound(fieldName, &text);
    return text;
}

TfrxFieldType TfrxDBDataset::GetFieldType(const QString &fieldName)
{
    db::DataSet *d = GetDataSet();
    db::DataField *f = d ? d->findField(ConvertAlias(fieldName)) : nullptr;
    if (!f)
        return fftNumeric;
    const db::FieldType t = f->dataType();
    if (db::isStringType(t) || t == db::ftMemo || t == db::ftFmtMemo || t == db::ftWideMemo)
        return fftString;
    if (t == db::ftBoolean)
        return fftBoolean;
    return fftNumeric;
}

int TfrxDBDataset::GetDisplayWidth(const QString &fieldName)
{
    db::DataSet *d = GetDataSet();
    if (!d)
        return 10;
    const QString name = ConvertAlias(fieldName);
    if (db::DataField *f = d->findField(name))
        return f->displayWidth();
    const std::optional<db::FieldDef> def = d->findFieldDef(name);
    if (!def)
        return 10;
    if (db::isStringType(def->dataType))
        return def->size;
    if (def->dataType == db::ftDateTime)
        return 20;
    if (def->dataType == db::ftLargeint)
        return 15;
    return 10;
}

bool TfrxDBDataset::IsBlobField(const QString &fieldName)
{
    if (!m_initialized)
        Open();
    db::DataField *f = ds()->findField(ConvertAlias(fieldName));
    return f && f->isBlob();
}

int TfrxDBDataset::RecordCount()
{
    if (!m_initialized)
        Open();
    return ds()->recordCount();
}

void TfrxDBDataset::AssignBlobTo(const QString &fieldName, Object *target)
{
    if (!m_initialized)
        Open();
    db::DataField *f = ds()->findField(ConvertAlias(fieldName));
    if (!f || !f->isBlob() || f->isNull() || !target)
        return;
    const db::FieldType t = f->dataType();
    if (auto *lines = dynamic_cast<TStrings *>(target)) {
        // A wide memo as UTF-16 text; other blobs as lines of single-byte text.
        if (isTextBlob(t))
            lines->SetText(f->asString());
        else
            lines->SetText(codepage::fromAnsi(f->asBytes()));
    } else if (auto *stream = dynamic_cast<TStream *>(target)) {
        QByteArray bytes;
        if (isWideBlob(t)) {
            const QString s = f->asString();
            bytes.resize(s.size() * 2);
            qToLittleEndian<quint16>(s.utf16(), s.size(), bytes.data());
        } else {
            bytes = f->asBytes();
        }
        stream->WriteBytes(bytes);
        stream->SetPosition(0);
    }
}

bool TfrxDBDataset::IsEmpty()
{
    if (!m_initialized)
        Open();
    return ds()->recordCount() == 0;
}

bool TfrxDBDataset::Locate(const QString &keyFields, const Variant &keyValues, int options)
{
    if (!m_initialized)
        Open();
    db::DataSet *d = ds();
    QStringList keys;
    for (const QString &k : keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        keys.append(k.trimmed());
    if (keys.isEmpty())
        return false;
    QVector<Variant> values;
    if (keys.size() == 1 && !keyValues.isArray())
        values.append(keyValues);
    else if (keyValues.isArray())
        values = keyValues.elements();
    if (values.size() < keys.size())
        throw Error(QStringLiteral("Invalid variant type conversion"));
    QVector<db::DataField *> fields;
    for (const QString &k : keys) {
        db::DataField *f = d->findField(ConvertAlias(k));
        if (!f)
            throw Error(QStringLiteral("Field '%1' not found").arg(k));
        fields.append(f);
    }
    const bool caseless = options & 1;
    const bool partial = options & 2;
    auto matches = [&](int i) {
        const Variant &want = values[i];
        db::DataField *f = fields[i];
        if (want.isEmptyOrNull())
            return f->isNull();
        if (f->isNull())
            return false;
        const Variant have = f->asVariant();
        if (have.isNumeric() && want.isNumeric() && !partial)
            return have.toDouble() == want.toDouble();
        const QString a = have.toText(), b = want.toText();
        const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return partial ? a.startsWith(b, cs) : a.compare(b, cs) == 0;
    };
    db::Bookmark start = d->bookmark();
    d->first();
    while (!d->eof()) {
        bool all = true;
        for (int i = 0; all && i < fields.size(); ++i)
            all = matches(i);
        if (all) {
            d->freeBookmark(start);
            return true;
        }
        d->next();
    }
    if (d->bookmarkValid(start))
        d->gotoBookmark(start);
    d->freeBookmark(start);
    return false;
}

// ---------------------------------------------------------------------------------------
// The report's side

void TfrxReportDataSets::Initialize()
{
    for (const auto &item : m_items)
        if (TfrxDataSet *ds = item->DataSet()) {
            ds->ReportRef = m_report;
            ds->Initialize();
        }
}

void TfrxReportDataSets::Finalize()
{
    for (const auto &item : m_items)
        if (TfrxDataSet *ds = item->DataSet())
            ds->Finalize();
}

void TfrxReport::GetDatasetAndField(const QString &complexName, TfrxDataSet *&dataSet, QString &field) const
{
    dataSet = nullptr;
    field.clear();
    const qsizetype p = complexName.indexOf(QStringLiteral(".\""));
    if (p < 0)
        return;
    dataSet = GetDataset(QStringView(complexName).left(p));
    const qsizetype len = complexName.size() - p - 3;
    if (len > 0)
        field = complexName.mid(p + 2, len);
}

QString TfrxReport::GetAlias(TfrxDataSet *dataSet) const
{
    if (!dataSet)
        return QString();
    if (DataSets().Find(dataSet))
        return dataSet->UserName();
    return frxResources().Get(QStringLiteral("clDSNotIncl"));
}

// ---------------------------------------------------------------------------------------
// Registration

void frxRegisterDataSets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerClass(&TfrxDataSet::staticClassInfo());
        registerClass(&TfrxUserDataSet::staticClassInfo());
        registerClass(&TfrxCustomDBDataSet::staticClassInfo());
        registerClass(&TfrxDBDataset::staticClassInfo());
    });
    frxRegisterDatabaseClasses();
    // The data bands' counting datasets (left alone when a host installed its own).
    if (!TfrxDataBand::CreateVirtualDataSet)
        TfrxDataBand::CreateVirtualDataSet = [](TfrxDataBand *band) -> TfrxDataSet * {
            auto *ds = new TfrxUserDataSet;
            ds->RangeEnd = reCount;
            ds->RangeEndCount = band ? band->RowCount() : 0;
            return ds;
        };
    if (!TfrxDataBand::SetVirtualRecordCount)
        TfrxDataBand::SetVirtualRecordCount = [](TfrxDataSet *ds, int count) {
            if (ds)
                ds->RangeEndCount = count;
        };
}

} // namespace tw
