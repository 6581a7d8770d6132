#pragma once

#include "base/variant.h"
#include "report/model/component.h"
#include "report/model/styles.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace tw {

class TfrxCustomEngine;
class TfrxCustomPreviewPages;
class TfrxDrawText;
enum class TfrxPreviewProgress;
class TfrxDataSet;
class TfrxDataPage;
class TfrxExpressionCache;
class TfsScript;
class TfrxPicture;
class TfrxReport;

enum TfrxSilentMode { simMessageBoxes, simSilent, simReThrow };

// The engine options (nested record EngineOptions).
class TfrxEngineOptions : public Object {
    TW_OBJECT(TfrxEngineOptions)
    bool ConvertNulls = true;
    bool DoublePass = false;
    int MaxMemSize = 10;
    bool PrintIfEmpty = true;
    TfrxSilentMode NewSilentMode = simMessageBoxes;
    QString TempDir;
    bool UseFileCache = false;
    bool IgnoreDevByZero = false;
    // Not stored.
    bool EnableThreadSafe = false;
    bool UseGlobalDataSetList = true;
    bool DestroyForms = true;

    // A view of NewSilentMode: true exactly for simSilent.
    bool SilentMode() const { return NewSilentMode == simSilent; }
    void SetSilentMode(bool v) { NewSilentMode = v ? simSilent : simMessageBoxes; }
    void Assign(const TfrxEngineOptions &o);
    void Clear();
};

enum TfrxPreviewButton {
    pbPrint = 1, pbLoad = 2, pbSave = 4, pbExport = 8, pbZoom = 16, pbFind = 32, pbOutline = 64,
    pbPageSetup = 128, pbTools = 256, pbEdit = 512, pbNavigator = 1024, pbExportQuick = 2048,
    pbNoClose = 4096, pbNoFullScreen = 8192, pbNoEmail = 16384
};
enum TfrxZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };

class TfrxPreviewOptions : public Object {
    TW_OBJECT(TfrxPreviewOptions)
    bool AllowEdit = true;
    int Buttons = 4095;
    bool DoubleBuffered = true;
    bool Maximized = true;
    bool Modal = true;
    bool OutlineExpand = true;
    bool MDIChild = false;
    bool OutlineVisible = false;
    bool ThumbnailVisible = false;
    bool ShowCaptions = false;
    bool PictureCacheInFile = false;
    int OutlineWidth = 120;
    int PagesInCache = 50;
    double Zoom = 1;
    TfrxZoomMode ZoomMode = zmDefault;

    void Assign(const TfrxPreviewOptions &o);
    void Clear();
};

enum TfrxPrintMode { pmDefault, pmSplit, pmJoin, pmScale };
enum TfrxPrintPages { ppAll, ppOdd, ppEven };

class TfrxPrintOptions : public Object {
    TW_OBJECT(TfrxPrintOptions)
    TfrxPrintOptions();
    int Copies = 1;
    bool Collate = true;
    QString PageNumbers;
    QString Printer;
    TfrxPrintMode PrintMode = pmDefault;
    int PrintOnSheet = 0;
    TfrxPrintPages PrintPages = ppAll;
    bool Reverse = false;
    bool ShowDialog = true;
    bool SwapPageSize = false;

    void Clear();
};

class TfrxReportOptions : public Object {
    TW_OBJECT(TfrxReportOptions)
    TfrxReportOptions();
    ~TfrxReportOptions() override;
    QString Author;
    bool Compressed = false;
    QString ConnectionName;
    double CreateDate = 0; // days since 1899-12-30
    QStringList Description;
    QString InitString;
    QString Name;
    double LastChange = 0;
    QString Password;
    QString VersionBuild, VersionMajor, VersionMinor, VersionRelease;
    TfrxPicture *Picture() const { return m_picture.get(); }
    // Not stored.
    bool Info = false;         // a load reads only the descriptive options
    QString PrevPassword;      // last accepted or saved
    QString HiddenPassword;    // supplied by the host in advance; survives Clear

    // With Info set, author, dates, description, picture and version texts are kept.
    void Clear();

private:
    std::unique_ptr<TfrxPicture> m_picture;
};

// One entry of the report's DataSets.
class TfrxDataSetItem : public Object {
    TW_OBJECT(TfrxDataSetItem)
    explicit TfrxDataSetItem(TfrxReport *report = nullptr) : m_report(report) {}
    TfrxDataSet *DataSet() const;
    void SetDataSet(TfrxDataSet *v); // also sets DataSetName to its user name
    QString DataSetName() const;      // the dataset's current user name when there is one
    void SetDataSetName(const QString &v);

private:
    TfrxReport *m_report;
    TfrxRef<TfrxDataSet> m_dataSet;
    QString m_dataSetName;
};

// The datasets the report may use (PropData entry "Datasets").
class TfrxReportDataSets : public TfrxCollection {
public:
    explicit TfrxReportDataSets(TfrxReport *report = nullptr) : m_report(report) {}
    TfrxDataSetItem *Add(TfrxDataSet *ds = nullptr);
    void Clear() { m_items.clear(); }
    void Delete(int index) { m_items.erase(m_items.begin() + index); }
    TfrxDataSetItem *Find(TfrxDataSet *ds) const;
    // By the user name of each item's dataset, ignoring case; items without one skipped.
    TfrxDataSetItem *Find(const QString &name) const;
    TfrxDataSetItem *Items(int index) const { return m_items.at(size_t(index)).get(); }
    // At the start and end of a run: every item's dataset gets ReportRef and Initialize,
    // respectively Finalize, in list order.
    void Initialize();
    void Finalize();

    int Count() const override { return int(m_items.size()); }
    Object *Item(int index) const override { return Items(index); }
    Object *AddItem() override { return Add(); }
    // Items replaced while reading stay alive until DropRetired: references recorded
    // for them are resolved only at the end of the load.
    void ClearItems() override;
    void DropRetired() { m_retired.clear(); }

private:
    TfrxReport *m_report;
    std::vector<std::unique_ptr<TfrxDataSetItem>> m_items;
    std::vector<std::unique_ptr<TfrxDataSetItem>> m_retired;
};

// One report variable; a name beginning with a space is a category heading.
class TfrxVariable : public Object {
    TW_OBJECT(TfrxVariable)
    QString Name;
    Variant Value = Variant::null();
};

// The report variables (PropData entry "Variables"); scripts reach them as an object.
class TfrxVariables : public Object, public TfrxCollection {
    TW_OBJECT(TfrxVariables)
    TfrxVariable *Add();
    void Clear() { m_items.clear(); }
    void Delete(int index) { m_items.erase(m_items.begin() + index); }
    // Ignoring case; -1 when absent.
    int IndexOf(const QString &name) const;
    TfrxVariable *Items(int index) const { return m_items.at(size_t(index)).get(); }
    // Null when absent; setting appends when absent.
    Variant Get(const QString &name) const;
    void Set(const QString &name, const Variant &value);
    void Assign(const TfrxVariables &other);
    // At the end of the category (its heading appended when missing); an existing name
    // only takes the value.
    void AddVariable(const QString &category, const QString &name, const Variant &value);
    void DeleteVariable(const QString &name);
    // The heading and its variables.
    void DeleteCategory(const QString &category);
    QStringList GetCategoriesList() const;
    QStringList GetVariablesList(const QString &category) const;
    // A file with the root "variables" and one "item" (Name, Value) per variable.
    void SaveToFile(const QString &fileName) const;
    void LoadFromFile(const QString &fileName);

    int Count() const override { return int(m_items.size()); }
    Object *Item(int index) const override { return Items(index); }
    Object *AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

private:
    std::vector<std::unique_ptr<TfrxVariable>> m_items;
};

// The process-wide variables (CopyName0, CopyName1 ... of printed copies).
TfrxVariables &frxGlobalVariables();

// Finds a dataset for a component that names it (DataSetName of a band, page, view or
// DataSets item). The asker outside any report keeps `current`; an empty name gives none.
// With UseGlobalDataSetList the global dataset list is searched in creation order, skipping
// datasets of other reports; otherwise the report's DataSets. No match keeps `current`.
TfrxDataSet *frxFindDataSet(const TfrxComponent *asker, const QString &name, TfrxDataSet *current);

// Shows an error box of simMessageBoxes; headless by default: one line on stderr.
using TfrxMessageBoxHandler = std::function<void(const QString &caption, const QString &text)>;
void frxSetMessageBoxHandler(TfrxMessageBoxHandler handler);
void frxShowErrorBox(const QString &text);

// The root of a template: pages, options, datasets, variables, styles and the script.
class TfrxSavedRunState;
class TfrxKeptScript;
class TfrxXMLDocument;
class TfrxReadPlans;

class TfrxReport : public TfrxComponent {
    TW_OBJECT(TfrxReport)
    explicit TfrxReport(Component *owner = nullptr);
    ~TfrxReport() override;

    bool isReport() const override { return true; }
    bool isInherited() const override;
    void DefineProperties(TfrxFiler &filer) override;
    // Datasets, Variables and Styles child elements fill the collections as PropData does;
    // saving writes only the PropData form.
    TfrxCollection *elementCollection(const QString &elementName) override;

    // Published
    QString Version() const { return QStringLiteral("4.14"); }
    void SetVersion(const QString &) {} // always 4.14
    const QString &ParentReport() const { return m_parentReport; }
    // Loads the named parent template into this report first (see the file layer).
    void SetParentReport(const QString &v);
    TfrxDataSet *DataSet() const;
    void SetDataSet(TfrxDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    bool DotMatrixReport = false;
    TfrxEngineOptions *EngineOptions() const { return const_cast<TfrxEngineOptions *>(&m_engineOptions); }
    QString IniFile;
    bool OldStyleProgress = false;
    Component *Preview() const { return m_preview; }
    void SetPreview(Component *v) { m_preview = v; }
    TfrxPreviewOptions *PreviewOptions() const { return const_cast<TfrxPreviewOptions *>(&m_previewOptions); }
    TfrxPrintOptions *PrintOptions() const { return const_cast<TfrxPrintOptions *>(&m_printOptions); }
    TfrxReportOptions *ReportOptions() const { return const_cast<TfrxReportOptions *>(&m_reportOptions); }
    QString ScriptLanguage;
    QStringList ScriptText;
    bool ShowProgress = true;
    bool StoreInDFM = true;
    QString OnRunDialogs, OnStartReport, OnStopReport, OnReportPrint;

    // Not published
    TfrxReportDataSets &DataSets() { return m_dataSets; }
    const TfrxReportDataSets &DataSets() const { return m_dataSets; }
    TfrxVariables &Variables() { return m_variables; }
    const TfrxVariables &Variables() const { return m_variables; }
    TfrxStyles &Styles() { return m_styles; }
    const TfrxStyles &Styles() const { return m_styles; }
    // Date, Time, Page, Page#, TotalPages, TotalPages#, Line, Line#, CopyName#.
    const QStringList &SysVariables() const { return m_sysVariables; }
    // The dataset of the first DataSets item whose user name is the alias (ASCII case).
    TfrxDataSet *GetDataset(QStringView alias) const;

    // Problems of the last load or run: sorted, each once.
    const QStringList &Errors() const { return m_errors; }
    void AddError(const QString &message);
    void ClearErrors() { m_errors.clear(); }
    // "The following error(s) have occured:" and the lines; shown, dropped or raised
    // according to EngineOptions.NewSilentMode.
    QString ErrorsText() const;
    void ReportErrors();

    const QString &FileName() const { return m_fileName; }
    void SetFileName(const QString &v) { m_fileName = v; }
    bool Modified = false;
    bool Reloading = false;
    bool CaseSensitiveExpressions = false;
    bool Terminated = false;
    // The serializer of a load in progress, else nullptr.
    TfrxXMLSerializer *XMLSerializer() const { return m_xmlSerializer; }
    // The loaded ancestor of an inherited template, else nullptr.
    TfrxReport *ParentReportObject() const { return m_parentReportObject.get(); }

    // Destroys the tree and resets options, datasets, variables, styles and the script.
    void Clear() override;

    // Template files. LoadFromFile returns whether the file exists; a file that cannot be
    // opened raises EFOpenError ("Cannot open file "%s". %s") when it exists or when
    // exceptionIfNotFound is set.
    bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false);
    void LoadFromStream(QIODevice *stream) override;
    // The same load from a template already read into a document, which it leaves as it is.
    // Reading the same document again and again: with plans, its attribute strings are
    // parsed once.
    void LoadFromDocument(TfrxXMLDocument &doc, TfrxReadPlans *plans = nullptr);
    void SaveToFile(const QString &fileName);
    void SaveToStream(QIODevice *stream, bool saveChildren = true, bool saveDefaultValues = false,
                      bool useGetAncestor = false) override;

    // Host callbacks. OnLoadTemplate loads a parent template into the report instead of
    // the file lookup; OnGetPassword replaces the password prompt (false: refused).
    std::function<void(TfrxReport *, const QString &templateName)> OnLoadTemplate;
    std::function<bool(TfrxReport *, QString &password)> OnGetPassword;

    // Run time: the script, the engine state, expressions and events (the engine files).
    TfsScript *Script() const { return m_script.get(); }
    TfrxCustomEngine *Engine() const { return m_engine.get(); }
    // The prepared pages of the last run.
    TfrxCustomPreviewPages *PreviewPages() const { return m_previewPages.get(); }
    // Runs the report: script, engine, error list. False (and the errors reported by
    // NewSilentMode) when anything went wrong; the report is then as it was loaded.
    bool PrepareReport(bool ClearLastReport = true);
    // A caller that changes nothing in the report between its runs lets each run put back
    // the state saved by the first one instead of saving it again. Loading a template
    // drops the kept state; so does turning this off.
    void SetKeepStateBetweenRuns(bool keep);
    bool KeepStateBetweenRuns() const { return m_keepStateBetweenRuns; }
    // The host's progress callback: start, each new page (from 1), stop.
    std::function<void(TfrxReport *, TfrxPreviewProgress kind, int page)> OnProgress;
    TfrxExpressionCache *ExpressionCache() const { return m_expressionCache.get(); }
    // The text layout every memo of the report measures with (under frxDrawTextLock).
    TfrxDrawText *DrawText() const { return m_drawText.get(); }
    // The name of the object being processed; error lines start with it.
    QString CurObject;
    // Compiles ScriptText with the report's objects, Report, Engine, Outline, Value, Self,
    // Get, Set, IIF and the aggregates; false (and an error line) when it does not compile.
    bool PrepareScript();
    // The script compiled for the last run, made ready for this one; false when it cannot
    // serve (another text, other objects) and the script has to be compiled.
    bool reuseKeptScript(const QList<TfrxComponent *> &objects);
    // Evaluates an expression: a bare name through LookupValue, else a compiled function
    // of the expression cache. An error is added to Errors and raised. script: nullptr the
    // report's; toolCall marks a call from an expression-editing tool.
    Variant Calc(const QString &expr, TfsScript *script = nullptr, bool toolCall = false);
    // Dataset fields, system variables, report variables (evaluated), global variables,
    // script variables; false when the name is none of them.
    bool LookupValue(const QString &name, Variant &value);
    // What the script's Get answers: LookupValue, an aggregate call, or Null and an
    // "Unknown variable or datafield:" line.
    Variant GetScriptValue(const QString &name);
    // Calls the script procedure named by an event property with the object as Sender.
    void DoNotifyEvent(Object *obj, const QString &eventName, bool runAlways = false);
    // Same with a prepared argument array whose var elements flow back.
    void DoParamEvent(const QString &eventName, Variant &params, bool runAlways = false);
    // CUST."id1" -> (CUST, id1); nothing without a quoted field.
    void GetDatasetAndField(const QString &complexName, TfrxDataSet *&dataSet, QString &field) const;
    // The user name, "(dataset is not included in Report.DataSets)", or empty for none.
    QString GetAlias(TfrxDataSet *dataSet) const;

    // Where relative parent templates are looked up after the template's own directory.
    static void SetApplicationDir(const QString &dir);
    static QString ApplicationDir();

private:
    bool checkPassword();
    void load(QIODevice *stream, TfrxXMLDocument *doc, TfrxReadPlans *plans);
    void ensureDataPage();
    void fillSysVariables();

    QStringList m_errors;
    QString m_parentReport;
    TfrxRef<TfrxDataSet> m_dataSet;
    QString m_dataSetName;
    TfrxEngineOptions m_engineOptions;
    Component *m_preview = nullptr;
    TfrxPreviewOptions m_previewOptions;
    TfrxPrintOptions m_printOptions;
    TfrxReportOptions m_reportOptions;
    TfrxReportDataSets m_dataSets{this};
    TfrxVariables m_variables;
    TfrxStyles m_styles{this};
    QStringList m_sysVariables;
    QString m_fileName;
    TfrxXMLSerializer *m_xmlSerializer = nullptr;
    std::unique_ptr<TfrxReport> m_parentReportObject;
    std::unique_ptr<TfsScript> m_script;
    std::unique_ptr<TfrxCustomEngine> m_engine;
    std::unique_ptr<TfrxCustomPreviewPages> m_previewPages;
    std::unique_ptr<TfrxExpressionCache> m_expressionCache;
    std::unique_ptr<TfrxDrawText> m_drawText;
    bool m_keepStateBetweenRuns = false;
    std::shared_ptr<TfrxSavedRunState> m_keptState;
    std::shared_ptr<TfrxKeptScript> m_keptScript;
};

// A file that cannot be opened or created.
TW_DECLARE_ERROR(EFOpenError, EInOutError)
TW_DECLARE_ERROR(EFCreateError, EInOutError)

} // namespace tw
