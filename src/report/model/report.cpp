#include "report/model/report.h"

#include "base/datetime.h"
#include "base/sametext.h"
#include "base/savefile.h"
#include "report/model/bands.h"
#include "report/model/objectmodel.h"
#include "report/model/dialogcomponent.h"
#include "report/model/pages.h"
#include "report/model/picture.h"
#include "report/model/viewsdataset.h"
#include "report/engine/drawtext.h"
#include "report/engine/engine.h"
#include "report/engine/expressioncache.h"
#include "report/engine/previewpages.h"
#include "report/engine/reportclasses.h"
#include "script/interpreter.h"
#include "report/xml/resources.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <mutex>

namespace tw {

namespace {

// Member-pointer shorthands for the option records.
template <class T>
struct Members {
    ClassBuilder<T> b;
    explicit Members(ClassInfo &info) : b(info) {}
    Members &flag(const char *name, bool T::*m, std::optional<bool> def)
    {
        b.boolean(QString::fromLatin1(name), [m](const T *t) { return t->*m; }, [m](T *t, bool v) { t->*m = v; }, def);
        return *this;
    }
    Members &integer(const char *name, int T::*m, std::optional<qint64> def)
    {
        b.integer(QString::fromLatin1(name), [m](const T *t) { return t->*m; }, [m](T *t, int v) { t->*m = v; }, def);
        return *this;
    }
    Members &text(const char *name, QString T::*m)
    {
        b.string(QString::fromLatin1(name), [m](const T *t) { return t->*m; }, [m](T *t, const QString &v) { t->*m = v; });
        return *this;
    }
    Members &floating(const char *name, double T::*m)
    {
        b.floating(QString::fromLatin1(name), [m](const T *t) { return t->*m; }, [m](T *t, double v) { t->*m = v; });
        return *this;
    }
    Members &lines(const char *name, QStringList T::*m)
    {
        b.stringList(QString::fromLatin1(name), [m](const T *t) { return frxLinesText(t->*m); },
                     [m](T *t, const QString &v) { t->*m = frxTextLines(v); });
        return *this;
    }
    template <class E>
    Members &enumeration(const char *name, const EnumInfo &type, E T::*m, qint64 def)
    {
        b.enumeration(QString::fromLatin1(name), type, [m](const T *t) { return int(t->*m); },
                      [m](T *t, int v) { t->*m = E(v); }, def);
        return *this;
    }
};

const EnumInfo &silentModeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxSilentMode"),
                            {QStringLiteral("simMessageBoxes"), QStringLiteral("simSilent"), QStringLiteral("simReThrow")}};
    return e;
}

const EnumInfo &previewButtonsEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxPreviewButton"),
                            {QStringLiteral("pbPrint"), QStringLiteral("pbLoad"), QStringLiteral("pbSave"),
                             QStringLiteral("pbExport"), QStringLiteral("pbZoom"), QStringLiteral("pbFind"),
                             QStringLiteral("pbOutline"), QStringLiteral("pbPageSetup"), QStringLiteral("pbTools"),
                             QStringLiteral("pbEdit"), QStringLiteral("pbNavigator"), QStringLiteral("pbExportQuick"),
                             QStringLiteral("pbNoClose"), QStringLiteral("pbNoFullScreen"), QStringLiteral("pbNoEmail")}};
    return e;
}

const EnumInfo &zoomModeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxZoomMode"),
                            {QStringLiteral("zmDefault"), QStringLiteral("zmWholePage"), QStringLiteral("zmPageWidth"),
                             QStringLiteral("zmManyPages")}};
    return e;
}

const EnumInfo &printModeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxPrintMode"),
                            {QStringLiteral("pmDefault"), QStringLiteral("pmSplit"), QStringLiteral("pmJoin"),
                             QStringLiteral("pmScale")}};
    return e;
}

const EnumInfo &printPagesEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxPrintPages"),
                            {QStringLiteral("ppAll"), QStringLiteral("ppOdd"), QStringLiteral("ppEven")}};
    return e;
}

QString shiftPassword(const QString &text, int delta)
{
    QString s = text;
    for (QChar &c : s)
        c = QChar(char16_t(c.unicode() + delta));
    return s;
}

// Recursive: a parent template loads inside the load of its child.
std::recursive_mutex &loadLock()
{
    static std::recursive_mutex m;
    return m;
}

QString &applicationDirValue()
{
    static QString dir;
    return dir;
}

TfrxMessageBoxHandler &messageBoxHandler()
{
    static TfrxMessageBoxHandler h;
    return h;
}

// Restores a member on every way out.
template <class T>
class Restore {
public:
    Restore(T &ref, T value) : m_ref(ref), m_old(std::move(ref)) { m_ref = std::move(value); }
    ~Restore() { m_ref = std::move(m_old); }
    Restore(const Restore &) = delete;
    Restore &operator=(const Restore &) = delete;

private:
    T &m_ref;
    T m_old;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Option records

TW_DEFINE_CLASS(TfrxEngineOptions, nullptr)
{
    using E = TfrxEngineOptions;
    Members<E>(info)
        .flag("ConvertNulls", &E::ConvertNulls, true)
        .flag("DoublePass", &E::DoublePass, false)
        .integer("MaxMemSize", &E::MaxMemSize, 10)
        .flag("PrintIfEmpty", &E::PrintIfEmpty, true);
    ClassBuilder<E>(info).boolean(QStringLiteral("SilentMode"), &E::SilentMode, &E::SetSilentMode, false);
    Members<E>(info)
        .enumeration("NewSilentMode", silentModeEnum(), &E::NewSilentMode, simMessageBoxes)
        .text("TempDir", &E::TempDir)
        .flag("UseFileCache", &E::UseFileCache, false)
        .flag("IgnoreDevByZero", &E::IgnoreDevByZero, false);
}

void TfrxEngineOptions::Assign(const TfrxEngineOptions &o)
{
    ConvertNulls = o.ConvertNulls;
    DoublePass = o.DoublePass;
    MaxMemSize = o.MaxMemSize;
    PrintIfEmpty = o.PrintIfEmpty;
    NewSilentMode = o.NewSilentMode;
    TempDir = o.TempDir;
    UseFileCache = o.UseFileCache;
    IgnoreDevByZero = o.IgnoreDevByZero;
    EnableThreadSafe = o.EnableThreadSafe;
    UseGlobalDataSetList = o.UseGlobalDataSetList;
    DestroyForms = o.DestroyForms;
}

void TfrxEngineOptions::Clear()
{
    ConvertNulls = true;
    DoublePass = false;
    MaxMemSize = 10;
    PrintIfEmpty = true;
    NewSilentMode = simMessageBoxes;
    TempDir.clear();
    UseFileCache = false;
    IgnoreDevByZero = false;
}

TW_DEFINE_CLASS(TfrxPreviewOptions, nullptr)
{
    using P = TfrxPreviewOptions;
    Members<P> m(info);
    m.flag("AllowEdit", &P::AllowEdit, true);
    ClassBuilder<P>(info).set(
        QStringLiteral("Buttons"), QStringLiteral("TfrxPreviewButtons"), previewButtonsEnum(),
        [](const P *p) { return p->Buttons; }, [](P *p, int v) { p->Buttons = v; });
    m.flag("DoubleBuffered", &P::DoubleBuffered, true)
        .flag("Maximized", &P::Maximized, true)
        .flag("Modal", &P::Modal, true)
        .flag("OutlineExpand", &P::OutlineExpand, true)
        .flag("MDIChild", &P::MDIChild, false)
        .flag("OutlineVisible", &P::OutlineVisible, false)
        .flag("ThumbnailVisible", &P::ThumbnailVisible, false)
        .flag("ShowCaptions", &P::ShowCaptions, false)
        .flag("PictureCacheInFile", &P::PictureCacheInFile, false)
        .integer("OutlineWidth", &P::OutlineWidth, 120)
        .integer("PagesInCache", &P::PagesInCache, 50)
        .floating("Zoom", &P::Zoom)
        .enumeration("ZoomMode", zoomModeEnum(), &P::ZoomMode, zmDefault);
}

void TfrxPreviewOptions::Assign(const TfrxPreviewOptions &o)
{
    *this = o;
}

void TfrxPreviewOptions::Clear()
{
    *this = TfrxPreviewOptions();
}

TW_DEFINE_CLASS(TfrxPrintOptions, nullptr)
{
    using P = TfrxPrintOptions;
    Members<P>(info)
        .integer("Copies", &P::Copies, 1)
        .flag("Collate", &P::Collate, true)
        .text("PageNumbers", &P::PageNumbers)
        .text("Printer", &P::Printer)
        .enumeration("PrintMode", printModeEnum(), &P::PrintMode, pmDefault)
        .integer("PrintOnSheet", &P::PrintOnSheet, std::nullopt)
        .enumeration("PrintPages", printPagesEnum(), &P::PrintPages, ppAll)
        .flag("Reverse", &P::Reverse, false)
        .flag("ShowDialog", &P::ShowDialog, true)
        .flag("SwapPageSize", &P::SwapPageSize, false);
    info.ownProperties.last().stored = StoredRule::Never;
}

TfrxPrintOptions::TfrxPrintOptions()
{
    Clear();
}

void TfrxPrintOptions::Clear()
{
    Copies = 1;
    Collate = true;
    PageNumbers.clear();
    Printer = frxResources().Get(QStringLiteral("prDefault"));
    PrintMode = pmDefault;
    PrintOnSheet = 0;
    PrintPages = ppAll;
    Reverse = false;
    ShowDialog = true;
    SwapPageSize = false;
}

TW_DEFINE_CLASS(TfrxReportOptions, nullptr)
{
    using R = TfrxReportOptions;
    Members<R>(info)
        .text("Author", &R::Author)
        .flag("Compressed", &R::Compressed, false)
        .text("ConnectionName", &R::ConnectionName)
        .floating("CreateDate", &R::CreateDate)
        .lines("Description", &R::Description)
        .text("InitString", &R::InitString)
        .text("Name", &R::Name)
        .floating("LastChange", &R::LastChange)
        .text("Password", &R::Password);
    ClassBuilder<R>(info).nested(QStringLiteral("Picture"), TfrxPicture::staticClassInfo(), &R::Picture);
    Members<R>(info)
        .text("VersionBuild", &R::VersionBuild)
        .text("VersionMajor", &R::VersionMajor)
        .text("VersionMinor", &R::VersionMinor)
        .text("VersionRelease", &R::VersionRelease);
}

TfrxReportOptions::TfrxReportOptions() : m_picture(std::make_unique<TfrxPicture>())
{
    Clear();
}

TfrxReportOptions::~TfrxReportOptions() = default;

void TfrxReportOptions::Clear()
{
    if (!Info) {
        Author.clear();
        CreateDate = nowDateTime();
        Description.clear();
        LastChange = nowDateTime();
        m_picture->Clear();
        VersionBuild.clear();
        VersionMajor.clear();
        VersionMinor.clear();
        VersionRelease.clear();
    }
    Compressed = false;
    ConnectionName.clear();
    InitString.clear();
    Name.clear();
    Password.clear();
    PrevPassword.clear();
}

// ---------------------------------------------------------------------------------------
// Datasets and variables

TW_DEFINE_CLASS(TfrxDataSetItem, nullptr)
{
    using D = TfrxDataSetItem;
    ClassBuilder<D>(info)
        .reference<TfrxDataSet>(QStringLiteral("DataSet"), TfrxDataSet::staticClassInfo(), &D::DataSet, &D::SetDataSet)
        .string(QStringLiteral("DataSetName"), &D::DataSetName, &D::SetDataSetName);
}

TfrxDataSet *TfrxDataSetItem::DataSet() const
{
    return m_dataSet.get();
}

void TfrxDataSetItem::SetDataSet(TfrxDataSet *v)
{
    m_dataSet = v;
    m_dataSetName = v ? v->UserName() : QString();
}

QString TfrxDataSetItem::DataSetName() const
{
    if (TfrxDataSet *ds = m_dataSet.get())
        return ds->UserName();
    return m_dataSetName;
}

void TfrxDataSetItem::SetDataSetName(const QString &v)
{
    m_dataSetName = v;
    if (v.isEmpty())
        m_dataSet.reset();
    else if (m_report)
        m_dataSet = frxFindDataSet(m_report, v, m_dataSet.get());
}

TfrxDataSetItem *TfrxReportDataSets::Add(TfrxDataSet *ds)
{
    m_items.push_back(std::make_unique<TfrxDataSetItem>(m_report));
    if (ds)
        m_items.back()->SetDataSet(ds);
    return m_items.back().get();
}

void TfrxReportDataSets::ClearItems()
{
    for (auto &item : m_items)
        m_retired.push_back(std::move(item));
    m_items.clear();
}

TfrxDataSetItem *TfrxReportDataSets::Find(TfrxDataSet *ds) const
{
    for (const auto &item : m_items)
        if (ds && item->DataSet() == ds)
            return item.get();
    return nullptr;
}

TfrxDataSetItem *TfrxReportDataSets::Find(const QString &name) const
{
    for (const auto &item : m_items)
        if (TfrxDataSet *ds = item->DataSet())
            if (ds->UserName().compare(name, Qt::CaseInsensitive) == 0)
                return item.get();
    return nullptr;
}

TW_DEFINE_CLASS(TfrxVariables, nullptr) {}

TW_DEFINE_CLASS(TfrxVariable, nullptr)
{
    using V = TfrxVariable;
    ClassBuilder<V>(info)
        .string(QStringLiteral("Name"), [](const V *v) { return v->Name; }, [](V *v, const QString &s) { v->Name = s; })
        .variant(QStringLiteral("Value"), [](const V *v) { return v->Value; }, [](V *v, const Variant &x) { v->Value = x; });
}

TfrxVariable *TfrxVariables::Add()
{
    m_items.push_back(std::make_unique<TfrxVariable>());
    return m_items.back().get();
}

int TfrxVariables::IndexOf(const QString &name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (sameText(m_items[i]->Name, name))
            return int(i);
    return -1;
}

Variant TfrxVariables::Get(const QString &name) const
{
    const int i = IndexOf(name);
    return i < 0 ? Variant::null() : m_items[size_t(i)]->Value;
}

void TfrxVariables::Set(const QString &name, const Variant &value)
{
    const int i = IndexOf(name);
    TfrxVariable *v = i < 0 ? Add() : Items(i);
    if (i < 0)
        v->Name = name;
    v->Value = value;
}

void TfrxVariables::Assign(const TfrxVariables &other)
{
    Clear();
    for (const auto &v : other.m_items) {
        TfrxVariable *n = Add();
        n->Name = v->Name;
        n->Value = v->Value;
    }
}

namespace {
bool isHeading(const TfrxVariable *v)
{
    return v->Name.startsWith(QLatin1Char(' '));
}
} // namespace

void TfrxVariables::AddVariable(const QString &category, const QString &name, const Variant &value)
{
    const int existing = IndexOf(name);
    if (existing >= 0) {
        Items(existing)->Value = value;
        return;
    }
    int heading = IndexOf(QLatin1Char(' ') + category);
    if (heading < 0) {
        Add()->Name = QLatin1Char(' ') + category;
        heading = Count() - 1;
    }
    size_t at = size_t(heading) + 1;
    while (at < m_items.size() && !isHeading(m_items[at].get()))
        ++at;
    auto v = std::make_unique<TfrxVariable>();
    v->Name = name;
    v->Value = value;
    m_items.insert(m_items.begin() + qsizetype(at), std::move(v));
}

void TfrxVariables::DeleteVariable(const QString &name)
{
    const int i = IndexOf(name);
    if (i >= 0)
        Delete(i);
}

void TfrxVariables::DeleteCategory(const QString &category)
{
    const int heading = IndexOf(QLatin1Char(' ') + category);
    if (heading < 0)
        return;
    size_t end = size_t(heading) + 1;
    while (end < m_items.size() && !isHeading(m_items[end].get()))
        ++end;
    m_items.erase(m_items.begin() + heading, m_items.begin() + qsizetype(end));
}

QStringList TfrxVariables::GetCategoriesList() const
{
    QStringList list;
    for (const auto &v : m_items)
        if (isHeading(v.get()))
            list.append(v->Name.mid(1));
    return list;
}

QStringList TfrxVariables::GetVariablesList(const QString &category) const
{
    QStringList list;
    bool inside = false;
    for (const auto &v : m_items) {
        if (isHeading(v.get()))
            inside = v->Name.mid(1).compare(category, Qt::CaseInsensitive) == 0;
        else if (inside)
            list.append(v->Name);
    }
    return list;
}

void TfrxVariables::SaveToFile(const QString &fileName) const
{
    TfrxXMLDocument doc;
    doc.SetAutoIndent(true);
    doc.Root()->SetName(QStringLiteral("variables"));
    TfrxXMLSerializer().WriteCollectionElement(doc.Root(), *this);
    doc.SaveToFile(fileName);
}

void TfrxVariables::LoadFromFile(const QString &fileName)
{
    TfrxXMLDocument doc;
    doc.LoadFromFile(fileName);
    // Other elements are passed over: the reader's messages stay with it.
    TfrxXMLSerializer().ReadCollectionElement(doc.Root(), *this);
}

TfrxVariables &frxGlobalVariables()
{
    static TfrxVariables vars;
    return vars;
}

// ---------------------------------------------------------------------------------------
// Message boxes

void frxSetMessageBoxHandler(TfrxMessageBoxHandler handler)
{
    messageBoxHandler() = std::move(handler);
}

void frxShowErrorBox(const QString &text)
{
    const QString caption = frxResources().Get(QStringLiteral("mbError"));
    if (messageBoxHandler()) {
        messageBoxHandler()(caption, text);
        return;
    }
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    std::fprintf(stderr, "%s\n", (caption + QLatin1String(": ") + line.trimmed()).toLocal8Bit().constData());
}

// ---------------------------------------------------------------------------------------
// The report

TW_DEFINE_CLASS(TfrxReport, &TfrxComponent::staticClassInfo())
{
    using R = TfrxReport;
    ClassBuilder<R>(info)
        .factory(frxFactory<R>())
        .string(QStringLiteral("Version"), &R::Version, &R::SetVersion)
        .string(QStringLiteral("ParentReport"), &R::ParentReport, &R::SetParentReport)
        .reference<TfrxDataSet>(QStringLiteral("DataSet"), TfrxDataSet::staticClassInfo(), &R::DataSet, &R::SetDataSet)
        .string(QStringLiteral("DataSetName"), &R::DataSetName, &R::SetDataSetName);
    Members<R>(info).flag("DotMatrixReport", &R::DotMatrixReport, std::nullopt);
    ClassBuilder<R>(info).nested(QStringLiteral("EngineOptions"), TfrxEngineOptions::staticClassInfo(), &R::EngineOptions);
    Members<R>(info).text("IniFile", &R::IniFile).flag("OldStyleProgress", &R::OldStyleProgress, false);
    ClassBuilder<R>(info)
        .reference<Component>(QStringLiteral("Preview"), Component::staticClassInfo(), &R::Preview, &R::SetPreview)
        .nested(QStringLiteral("PreviewOptions"), TfrxPreviewOptions::staticClassInfo(), &R::PreviewOptions)
        .nested(QStringLiteral("PrintOptions"), TfrxPrintOptions::staticClassInfo(), &R::PrintOptions)
        .nested(QStringLiteral("ReportOptions"), TfrxReportOptions::staticClassInfo(), &R::ReportOptions);
    Members<R>(info)
        .text("ScriptLanguage", &R::ScriptLanguage)
        .lines("ScriptText", &R::ScriptText)
        .flag("ShowProgress", &R::ShowProgress, true)
        .flag("StoreInDFM", &R::StoreInDFM, true)
        .text("OnRunDialogs", &R::OnRunDialogs)
        .text("OnStartReport", &R::OnStartReport)
        .text("OnStopReport", &R::OnStopReport)
        .text("OnReportPrint", &R::OnReportPrint);
}

TfrxReport::TfrxReport(Component *owner) : TfrxComponent(owner)
{
    // Loading creates objects by class name: every report can load without set-up.
    frxRegisterClasses();
    frxRegisterReportRTTI();
    frxInstallScriptMessages();
    m_script = std::make_unique<TfsScript>();
    m_script->ExtendedCharset = true;
    m_script->AddRTTI();
    m_engine = std::make_unique<TfrxEngine>(this);
    m_previewPages = std::make_unique<TfrxPreviewPages>(this);
    // The store's progress points are the run's: the host hears of them and the window
    // gets to process its messages, unless the run is to stay off the window.
    m_previewPages->OnProgress = [this](TfrxPreviewProgress kind, int page) {
        if (m_engineOptions.EnableThreadSafe)
            return;
        if (OnProgress)
            OnProgress(this, kind, page);
        frxProcessMessages();
    };
    m_expressionCache = std::make_unique<TfrxExpressionCache>(m_script.get());
    m_drawText = std::make_unique<TfrxDrawText>();
    IniFile = QStringLiteral("\\Software\\Tarnwell\\Report");
    Clear();
}

TfrxReport::~TfrxReport()
{
    TfrxComponent::Clear();
    m_previewPages.reset();
    // The cache's script has the report's script as parent: it goes first.
    m_expressionCache.reset();
}

bool TfrxReport::isInherited() const
{
    return IsAncestor() || !m_parentReport.isEmpty();
}

void TfrxReport::DefineProperties(TfrxFiler &filer)
{
    TfrxComponent::DefineProperties(filer);
    TfrxXMLSerializer *s = filer.Serializer();
    filer.DefineProperty(
        QStringLiteral("Datasets"), [this, s](TfrxComponentReader &r) { s->ReadCollection(r, m_dataSets); },
        [this, s](TfrxComponentWriter &w) { s->WriteCollection(w, m_dataSets); }, true);
    filer.DefineProperty(
        QStringLiteral("Variables"), [this, s](TfrxComponentReader &r) { s->ReadCollection(r, m_variables); },
        [this, s](TfrxComponentWriter &w) { s->WriteCollection(w, m_variables); }, true);
    filer.DefineProperty(
        QStringLiteral("Style"), [this, s](TfrxComponentReader &r) { s->ReadCollection(r, m_styles); },
        [this, s](TfrxComponentWriter &w) { s->WriteCollection(w, m_styles); }, true);
}

TfrxCollection *TfrxReport::elementCollection(const QString &elementName)
{
    const auto is = [&](const char *name) { return elementName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("Datasets"))
        return &m_dataSets;
    if (is("Variables"))
        return &m_variables;
    if (is("Styles"))
        return &m_styles;
    return nullptr;
}

TfrxDataSet *TfrxReport::DataSet() const
{
    return m_dataSet.get();
}

void TfrxReport::SetDataSet(TfrxDataSet *v)
{
    m_dataSet = v;
    m_dataSetName = v ? v->UserName() : QString();
}

QString TfrxReport::DataSetName() const
{
    if (TfrxDataSet *ds = m_dataSet.get())
        return ds->UserName();
    return m_dataSetName;
}

void TfrxReport::SetDataSetName(const QString &v)
{
    m_dataSetName = v;
    m_dataSet = frxFindDataSet(this, v, m_dataSet.get());
}

TfrxDataSet *TfrxReport::GetDataset(QStringView alias) const
{
    for (int i = 0; i < m_dataSets.Count(); ++i)
        if (TfrxDataSet *ds = m_dataSets.Items(i)->DataSet())
            if (sameText(ds->UserName(), alias))
                return ds;
    return nullptr;
}

void TfrxReport::AddError(const QString &message)
{
    const auto less = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    const auto it = std::lower_bound(m_errors.begin(), m_errors.end(), message, less);
    if (it != m_errors.end() && it->compare(message, Qt::CaseInsensitive) == 0)
        return;
    m_errors.insert(it, message);
}

QString TfrxReport::ErrorsText() const
{
    QString text = frxResources().Get(QStringLiteral("clErrors")) + QLatin1String("\r\n");
    for (const QString &e : m_errors)
        text += e + QLatin1String("\r\n");
    return text;
}

void TfrxReport::ReportErrors()
{
    switch (m_engineOptions.NewSilentMode) {
    case simMessageBoxes: frxShowErrorBox(ErrorsText()); break;
    case simSilent: break;
    case simReThrow: throw Error(ErrorsText());
    }
}

void TfrxReport::fillSysVariables()
{
    m_sysVariables = {QStringLiteral("Date"),        QStringLiteral("Time"),       QStringLiteral("Page"),
                      QStringLiteral("Page#"),       QStringLiteral("TotalPages"), QStringLiteral("TotalPages#"),
                      QStringLiteral("Line"),        QStringLiteral("Line#"),      QStringLiteral("CopyName#")};
}

void TfrxReport::Clear()
{
    if (!Reloading) {
        m_keptState.reset();
        m_keptScript.reset();
    }
    TfrxComponent::Clear();
    m_dataSets.Clear();
    m_variables.Clear();
    m_styles.Clear();
    m_engineOptions.Clear();
    m_previewOptions.Clear();
    m_printOptions.Clear();
    m_reportOptions.Clear();
    m_dataSet.reset();
    m_dataSetName.clear();
    DotMatrixReport = false;
    m_parentReport.clear();
    m_parentReportObject.reset();
    ScriptLanguage = QStringLiteral("RavidiReduva");
    ScriptText = {QStringLiteral("begin"), QString(), QStringLiteral("end.")};
    OnRunDialogs.clear();
    OnStartReport.clear();
    OnStopReport.clear();
    OnReportPrint.clear();
    fillSysVariables();
}

void TfrxReport::SetApplicationDir(const QString &dir)
{
    applicationDirValue() = dir;
}

QString TfrxReport::ApplicationDir()
{
    if (!applicationDirValue().isEmpty())
        return applicationDirValue();
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

// ---------------------------------------------------------------------------------------
// Files

bool TfrxReport::LoadFromFile(const QString &fileName, bool exceptionIfNotFound)
{
    // The host's engine and preview options outlive the clearing, as they outlive the load.
    TfrxEngineOptions engine;
    engine.Assign(m_engineOptions);
    const TfrxPreviewOptions preview = m_previewOptions;
    Clear();
    m_engineOptions.Assign(engine);
    m_previewOptions = preview;
    m_fileName.clear();
    const bool exists = QFileInfo(fileName).isFile();
    if (!exists && !exceptionIfNotFound)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    m_fileName = fileName;
    LoadFromStream(&file);
    return exists;
}

void TfrxReport::ensureDataPage()
{
    TfrxDataPage *dataPage = nullptr;
    for (TfrxComponent *c : Objects())
        if ((dataPage = dynamic_cast<TfrxDataPage *>(c)))
            break;
    if (dataPage)
        return;
    dataPage = new TfrxDataPage(this);
    moveObject(dataPage, 0);
    try {
        dataPage->SetName(QStringLiteral("Data"));
    } catch (const Error &) {
        dataPage->CreateUniqueName();
    }
    int k = 0;
    for (TfrxComponent *c : AllObjects()) {
        auto *dc = dynamic_cast<TfrxDialogComponent *>(c);
        if (!dc)
            continue;
        dc->SetParent(dataPage);
        dc->SetLeft(60 + 64 * k);
        dc->SetTop(20);
        ++k;
    }
}

void TfrxReport::LoadFromStream(QIODevice *stream)
{
    load(stream, nullptr, nullptr);
}

void TfrxReport::LoadFromDocument(TfrxXMLDocument &doc, TfrxReadPlans *plans)
{
    load(nullptr, &doc, plans);
}

void TfrxReport::load(QIODevice *stream, TfrxXMLDocument *doc, TfrxReadPlans *plans)
{
    if (!Reloading)
        m_keptState.reset();
    m_errors.clear();
    m_reportOptions.Password = m_reportOptions.HiddenPassword;

    TfrxEngineOptions savedEngine;
    savedEngine.Assign(m_engineOptions);
    const TfrxPreviewOptions savedPreview = m_previewOptions;
    const QString savedIniFile = IniFile;
    Component *savedPreviewComp = m_preview;
    const bool savedOldStyle = OldStyleProgress, savedShowProgress = ShowProgress, savedStoreInDFM = StoreInDFM;

    {
        std::unique_lock<std::recursive_mutex> lock(loadLock(), std::defer_lock);
        if (m_engineOptions.EnableThreadSafe)
            lock.lock();
        TfrxXMLSerializer s(stream);
        s.SetOwner(this);
        s.SetReadPlans(plans);
        Restore<TfrxXMLSerializer *> active(m_xmlSerializer, &s);
        try {
            Clear();
            if (doc) {
                s.SetOldFormat(doc->OldVersion());
                s.ReadRootComponent(this, doc->Root());
            } else {
                s.ReadRootComponent(this);
            }
        } catch (const Error &e) {
            AddError(e.message());
        } catch (const std::exception &e) {
            AddError(QString::fromUtf8(e.what()));
        }
        for (const QString &e : s.Errors())
            AddError(e);
    }
    m_dataSets.DropRetired();

    ensureDataPage();

    const bool convertNulls = m_engineOptions.ConvertNulls, ignoreDevByZero = m_engineOptions.IgnoreDevByZero,
               doublePass = m_engineOptions.DoublePass;
    m_engineOptions.Assign(savedEngine);
    m_engineOptions.ConvertNulls = convertNulls;
    m_engineOptions.IgnoreDevByZero = ignoreDevByZero;
    m_engineOptions.DoublePass = doublePass;

    TfrxPreviewOptions preview = savedPreview;
    preview.OutlineVisible = m_previewOptions.OutlineVisible;
    preview.OutlineWidth = m_previewOptions.OutlineWidth;
    preview.OutlineExpand = m_previewOptions.OutlineExpand;
    preview.PagesInCache = m_previewOptions.PagesInCache;
    preview.ThumbnailVisible = m_previewOptions.ThumbnailVisible;
    m_previewOptions = preview;
    IniFile = savedIniFile;
    m_preview = savedPreviewComp;
    OldStyleProgress = savedOldStyle;
    ShowProgress = savedShowProgress;
    StoreInDFM = savedStoreInDFM;

    // Stored lowered by 10 per code unit.
    m_reportOptions.Password = shiftPassword(m_reportOptions.Password, 10);

    if (m_reportOptions.Info) {
        Clear();
        return;
    }
    bool passed = false;
    try {
        passed = Reloading || m_engineOptions.EnableThreadSafe || checkPassword();
    } catch (...) {
        Clear();
        throw;
    }
    if (passed) {
        if (!m_errors.isEmpty())
            ReportErrors();
    } else {
        Clear();
    }
}

bool TfrxReport::checkPassword()
{
    const QString &password = m_reportOptions.Password;
    if (password.isEmpty() || password == m_reportOptions.PrevPassword || password == m_reportOptions.HiddenPassword)
        return true;
    QString answer;
    if (OnGetPassword && OnGetPassword(this, answer) && answer == password) {
        m_reportOptions.PrevPassword = answer;
        return true;
    }
    AddError(QStringLiteral("Invalid password"));
    ReportErrors();
    return false;
}

void TfrxReport::SetParentReport(const QString &v)
{
    m_parentReport = v;
    m_parentReportObject.reset();
    if (v.isEmpty()) {
        for (TfrxComponent *c : AllObjects())
            c->SetIsAncestor(false);
        SetIsAncestor(false);
        return;
    }
    const QString savedFileName = m_fileName;
    TfrxXMLSerializer *savedSerializer = m_xmlSerializer;
    if (OnLoadTemplate) {
        OnLoadTemplate(this, v);
    } else {
        QString path = v;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const bool relative = !(v.size() > 1 && v[1] == QLatin1Char(':')) && !v.startsWith(QLatin1String("\\\\"))
            && !path.startsWith(QLatin1Char('/'));
        if (relative) {
            const QString beside = QFileInfo(savedFileName).absoluteDir().filePath(path);
            path = !savedFileName.isEmpty() && QFileInfo(beside).isFile() ? beside
                                                                          : QDir(ApplicationDir()).filePath(path);
        }
        // Guard against a template that names itself, directly or through its parents.
        static thread_local int depth = 0;
        if (depth > 32)
            throw Error(frxResources().Get(QStringLiteral("clCirRefNotAllow")));
        ++depth;
        try {
            LoadFromFile(path);
        } catch (...) {
            --depth;
            m_fileName = savedFileName;
            m_parentReport = v;
            m_xmlSerializer = savedSerializer;
            throw;
        }
        --depth;
    }

    // A private copy of the ancestor, for writing back only what differs from it.
    auto copy = std::make_unique<TfrxReport>();
    {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        TfrxComponent::SaveToStream(&buffer, true, true, true);
        buffer.seek(0);
        TfrxXMLSerializer s(&buffer);
        s.SetOwner(copy.get());
        copy->TfrxComponent::Clear();
        s.ReadRootComponent(copy.get());
    }
    for (TfrxComponent *c : copy->AllObjects())
        if (auto *page = dynamic_cast<TfrxReportPage *>(c))
            page->SetPaperSize(DMPAPER_USER);
    m_parentReportObject = std::move(copy);
    m_fileName = savedFileName;
    for (TfrxComponent *c : AllObjects())
        c->SetIsAncestor(true);
    m_parentReport = v;
    m_xmlSerializer = savedSerializer;
}

void TfrxReport::SaveToStream(QIODevice *stream, bool saveChildren, bool saveDefaultValues, bool)
{
    m_reportOptions.PrevPassword = m_reportOptions.Password;
    Restore<QString> password(m_reportOptions.Password, shiftPassword(m_reportOptions.Password, -10));
    Restore<Component *> preview(m_preview, nullptr);
    TfrxXMLSerializer s(stream);
    s.SetOwner(this);
    s.SetSerializeDefaultValues(saveDefaultValues);
    if (TfrxReport *ancestor = m_parentReportObject.get()) {
        s.OnGetAncestor = [this, ancestor](const QString &name) -> Object * {
            if (name.compare(Name(), Qt::CaseInsensitive) == 0)
                return ancestor;
            return ancestor->FindObject(name);
        };
    }
    s.WriteRootComponent(this, saveChildren, false);
}

void TfrxReport::SaveToFile(const QString &fileName)
{
    const QString &pr = m_parentReport;
    if (pr.size() > 1 && (pr[1] == QLatin1Char(':') || pr[0] == QLatin1Char('/'))) {
        const QString dir = QFileInfo(fileName).absolutePath();
        m_parentReport = QDir(dir).relativeFilePath(pr);
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    SaveToStream(&file, true, false);
    QString reason;
    if (!commitWhole(file, &reason))
        throw EInOutError(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason));
}

} // namespace tw
