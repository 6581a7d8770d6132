// One run of a report: PrepareReport around the engine, the engine's start and end, and
// the walk over the report pages.
#include "base/datetime.h"
#include "base/formatsettings.h"
#include "base/textformat.h"
#include "report/engine/aggregates.h"
#include "report/engine/datasets.h"
#include "report/engine/engine.h"
#include "report/engine/previewpages.h"
#include "report/model/dialogcontrols.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "report/xml/resources.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"
#include "script/interpreter.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryFile>
#include <cmath>

namespace tw {

// The report as it was before a run, to be put back afterwards: a script or the run may
// change any property.
class TfrxSavedRunState {
public:
    explicit TfrxSavedRunState(TfrxReport *report) : m_report(report)
    {
        TfrxEngineOptions *eo = report->EngineOptions();
        if (eo->UseFileCache) {
            const QString dir = eo->TempDir.isEmpty() ? QDir::tempPath() : eo->TempDir;
            auto file = std::make_unique<QTemporaryFile>(QDir(dir).filePath(QStringLiteral("tarnwell-XXXXXX.fr3")));
            if (file->open()) {
                m_stream = std::move(file);
                m_inFile = true;
            }
        }
        if (!m_stream) {
            auto buffer = std::make_unique<QBuffer>();
            buffer->open(QIODevice::ReadWrite);
            m_stream = std::move(buffer);
        }
        m_password = report->ReportOptions()->Password;
        report->ReportOptions()->Password.clear();
        try {
            report->SaveToStream(m_stream.get(), true, false);
        } catch (...) {
            report->ReportOptions()->Password = m_password;
            throw;
        }
        report->ReportOptions()->Password = m_password;
    }

    // Reloads the saved state; the error list of the run survives the reload.
    void restore()
    {
        const QStringList errors = m_report->Errors();
        TfrxEngineOptions *eo = m_report->EngineOptions();
        const TfrxSilentMode mode = eo->NewSilentMode;
        const bool reloading = m_report->Reloading;
        eo->NewSilentMode = simSilent; // the load's own complaints were reported when it was loaded
        m_report->Reloading = true;
        try {
            if (TfrxXMLDocument *doc = document()) {
                m_report->LoadFromDocument(*doc, &m_plans);
            } else {
                m_stream->seek(0);
                m_report->LoadFromStream(m_stream.get());
            }
        } catch (...) {
            eo->NewSilentMode = mode;
            m_report->Reloading = reloading;
            throw;
        }
        eo->NewSilentMode = mode;
        m_report->Reloading = reloading;
        m_report->ReportOptions()->Password = m_password;
        m_report->ClearErrors();
        for (const QString &e : errors)
            m_report->AddError(e);
    }

private:
    // The saved state read once, when it is put back more than once and kept in memory
    // anyway; nullptr: read the stream.
    TfrxXMLDocument *document()
    {
        if (m_doc || m_inFile || !m_report->KeepStateBetweenRuns())
            return m_doc.get();
        auto doc = std::make_unique<TfrxXMLDocument>();
        try {
            m_stream->seek(0);
            doc->LoadFromStream(m_stream.get());
        } catch (...) {
            return nullptr; // the load from the stream reports it
        }
        m_doc = std::move(doc);
        return m_doc.get();
    }

    TfrxReport *m_report;
    std::unique_ptr<QIODevice> m_stream; // a temporary file is deleted with it
    bool m_inFile = false;
    std::unique_ptr<TfrxXMLDocument> m_doc;
    TfrxReadPlans m_plans; // of m_doc
    QString m_password;
};

void TfrxReport::SetKeepStateBetweenRuns(bool keep)
{
    m_keepStateBetweenRuns = keep;
    if (!keep) {
        m_keptState.reset();
        m_keptScript.reset();
    }
}

bool TfrxReport::PrepareReport(bool clearLastReport)
{
    // Source page copies can outlast a run only while the design objects they were made
    // from are put back after it.
    if (auto *pages = dynamic_cast<TfrxPreviewPages *>(m_previewPages.get()))
        pages->SetKeepSourcePages(m_keepStateBetweenRuns && m_engineOptions.DestroyForms);
    if (clearLastReport)
        m_previewPages->Clear();
    m_errors.clear();
    Terminated = false;
    bool result = false;

    for (int i = 0; i < m_dataSets.Count(); ++i) {
        TfrxDataSetItem *item = m_dataSets.Items(i);
        if (!item->DataSet())
            AddError(format(frxResources().Get(QStringLiteral("clDSNotExist")), {Variant(item->DataSetName())},
                            FormatSettings::current()));
    }

    if (m_errors.isEmpty()) {
        // The state put back after a run is that of the first run while it is kept: the
        // restore made this report equal to it, and nothing has changed it since.
        std::shared_ptr<TfrxSavedRunState> saved;
        if (m_engineOptions.DestroyForms)
            saved = m_keepStateBetweenRuns && m_keptState ? m_keptState : std::make_shared<TfrxSavedRunState>(this);
        try {
            if (PrepareScript()) {
                m_script->Execute();
                if (!Terminated)
                    result = m_engine->Run();
            }
        } catch (const Error &e) {
            AddError(e.message());
        } catch (const std::exception &e) {
            AddError(QString::fromLocal8Bit(e.what()));
        }
        if (saved) {
            m_keptState.reset();
            saved->restore();
            if (m_keepStateBetweenRuns)
                m_keptState = saved;
        }
    }

    if (!m_errors.isEmpty()) {
        result = false;
        ReportErrors();
    }
    return result;
}

// ---------------------------------------------------------------------------------------
// The engine's run

TfrxEngine::TfrxEngine(TfrxReport *report) : TfrxCustomEngine(report) {}

TfrxEngine::~TfrxEngine() = default;

bool TfrxEngine::Run()
{
    TfrxReport *report = Report();
    if (!initialize()) {
        finalize();
        return false;
    }
    bool result = false;
    bool stopCalled = false;
    try {
        report->DataSets().Initialize();
        report->DoNotifyEvent(report, report->OnStartReport);

        bool go = true;
        if (!report->OnRunDialogs.isEmpty()) {
            Variant params = Variant::arrayOf({Variant(true)});
            report->DoParamEvent(report->OnRunDialogs, params);
            go = params.isArray() && params.elementCount() > 0 && params.elements().first().toBool();
        }
        // Dialog forms are not shown by this program: a dialog page only takes part
        // through the script's OnRunDialogs.

        if (go) {
            TfrxCustomPreviewPages *pages = PreviewPages();
            for (TfrxComponent *c : report->Objects())
                if (auto *page = dynamic_cast<TfrxReportPage *>(c)) {
                    pages->AddSourcePage(page);
                    Aggregates().AddItems(page);
                }

            FinalPass = !DoublePass;
            TotalPages = 0;
            pages->BeginPass();
            runReportPages();

            if (DoublePass && !report->Terminated) {
                TotalPages = pages->Count();
                pages->CurPage = pages->Count() - 1;
                pages->ClearFirstPassPages();
                Aggregates().ClearValues();
                FinalPass = true;
                m_bandState.clear();
                runReportPages();
            }
            result = true;
        }
        stopCalled = true;
        report->DoNotifyEvent(report, report->OnStopReport);
    } catch (...) {
        try {
            if (!stopCalled)
                report->DoNotifyEvent(report, report->OnStopReport);
        } catch (...) {
            // The first error is the one reported.
        }
        finalize();
        throw;
    }
    finalize();
    return result;
}

bool TfrxEngine::initialize()
{
    TfrxReport *report = Report();
    TfrxCustomPreviewPages *pages = PreviewPages();
    pages->Initialize();
    pages->AddPageAction = apAdd;
    const TDateTime now = nowDateTime();
    StartDate = std::floor(now);
    StartTime = now - std::floor(now);
    Running = true;
    DoublePass = report->EngineOptions()->DoublePass;
    m_keeping = false;
    m_keepBand = nullptr;
    m_keepHeader = m_keepFooter = false;
    CurVColumn = 0;
    m_outputTo = nullptr;
    m_titlePrinted = false;
    m_isFirstBand = true;
    m_headerList.clear();
    m_bandState.clear();
    m_shiftTrees.clear();
    m_trees.clear();
    Aggregates().Clear();

    QList<TfrxReportPage *> reportPages;
    for (TfrxComponent *c : report->Objects())
        if (auto *page = dynamic_cast<TfrxReportPage *>(c))
            reportPages.append(page);
    for (TfrxReportPage *page : reportPages) {
        preparePage(page, false);
        preparePage(page, true);
    }

    TfrxDataSet *reportDs = report->DataSet();
    for (TfrxReportPage *page : reportPages) {
        TfrxDataSet *pageDs = page->DataSet();
        if (reportDs && reportDs == pageDs) {
            report->AddError(QStringLiteral("Cannot use the same dataset for Report.DataSet and Page.DataSet"));
            break;
        }
        for (TfrxComponent *c : page->Objects()) {
            auto *band = dynamic_cast<TfrxDataBand *>(c);
            if (!band || !band->DataSet())
                continue;
            if (reportDs && band->DataSet() == reportDs)
                report->AddError(QStringLiteral("Cannot use the same dataset for Report.DataSet and Band.DataSet"));
            if (pageDs && band->DataSet() == pageDs)
                report->AddError(QStringLiteral("Cannot use the same dataset for Page.DataSet and Band.DataSet"));
        }
    }
    return report->Errors().isEmpty();
}

void TfrxEngine::finalize()
{
    TfrxReport *report = Report();
    struct Finish {
        TfrxEngine *e;
        ~Finish()
        {
            e->PreviewPages()->Finish();
            e->Running = false;
            e->m_nullBand.reset();
            e->SetCurBand(nullptr);
            // The report may be reloaded after the run: nothing may point into its old objects.
            e->Aggregates().Clear();
            e->m_trees.clear();
            e->m_bandState.clear();
            e->m_shiftTrees.clear();
            for (const auto &added : std::as_const(e->m_addedObjects))
                qDeleteAll(added);
            e->m_addedObjects.clear();
            e->m_headerList.clear();
            e->m_page = nullptr;
            e->m_keepBand = nullptr;
            e->m_lastBandOnPage = nullptr;
            e->m_startNewPageBand = nullptr;
        }
    } finish{this};
    report->DataSets().Finalize();
}

void TfrxEngine::preparePage(TfrxReportPage *page, bool vertical)
{
    if (!vertical) // once per page: the vertical pass follows on the same alignment
        page->AlignChildren();
    for (TfrxComponent *c : page->Objects()) {
        auto *b = dynamic_cast<TfrxBand *>(c);
        if (!b || b->Vertical() != vertical)
            continue;
        buildShiftTree(b);
        auto *band = dynamic_cast<TfrxDataBand *>(b);
        if (band && !band->DataSet() && band->RowCount() > 0 && band->VirtualDataSet())
            band->VirtualDataSet()->Initialize();
    }
    TfrxBandTree tree = buildBandTree(page, vertical);
    for (const QString &e : tree.Errors)
        Report()->AddError(e);
    if (!vertical)
        m_trees.insert(page, std::move(tree));
}

TfrxDataSet *TfrxEngine::bandDataSet(TfrxDataBand *band) const
{
    if (!band)
        return nullptr;
    if (TfrxDataSet *ds = band->DataSet())
        return ds;
    return band->RowCount() > 0 ? band->VirtualDataSet() : nullptr;
}

void TfrxEngine::runReportPages()
{
    TfrxReport *report = Report();
    m_firstReportPage = true;
    auto runAll = [&] {
        for (TfrxComponent *c : report->Objects()) {
            auto *page = dynamic_cast<TfrxReportPage *>(c);
            if (!page || page->SubReport() || !page->Visible())
                continue;
            runPage(page);
            if (report->Terminated)
                break;
            m_firstReportPage = false;
        }
    };
    if (TfrxDataSet *ds = report->DataSet()) {
        ds->First();
        while (!ds->Eof() && !report->Terminated) {
            runAll();
            ds->Next();
        }
    } else {
        runAll();
    }
}

void TfrxEngine::runPage(TfrxReportPage *page)
{
    TfrxReport *report = Report();
    m_page = page;
    m_isFirstBand = true;
    callEvent(page, page->OnBeforePrint);
    if (TfrxDataSet *ds = page->DataSet()) {
        ds->First();
        while (!ds->Eof() && !report->Terminated) {
            runPageOnce(page);
            ds->Next();
        }
    } else {
        for (int i = 0; i < page->PageCount() && !report->Terminated; ++i)
            runPageOnce(page);
    }
    m_page = page;
    callEvent(page, page->OnAfterPrint);
}

void TfrxEngine::runPageOnce(TfrxReportPage *page)
{
    TfrxReport *report = Report();
    const TfrxBandTree &tree = m_trees[page];
    if (!report->EngineOptions()->PrintIfEmpty && !hasData(page, tree.SubBands, false))
        return;
    m_page = page;
    startPage(page);
    showPageObjects(page);
    if (!page->OnManualBuild.isEmpty())
        callEvent(page, page->OnManualBuild);
    else
        runDataBands(tree.SubBands);
    m_page = page;
    m_isLastPage = true;
    finishEndlessPage();
    EndPage();
    m_isLastPage = false;
}

// Objects lying on the page itself go out once, in a band that covers the page and does
// not move the current position.
void TfrxEngine::showPageObjects(TfrxReportPage *page)
{
    QList<TfrxComponent *> loose;
    for (TfrxComponent *c : page->Objects())
        if (!dynamic_cast<TfrxBand *>(c) && dynamic_cast<TfrxView *>(c))
            loose.append(c);
    if (loose.isEmpty())
        return;
    if (!m_nullBand)
        m_nullBand = std::make_unique<TfrxNullBand>();
    TfrxNullBand *band = m_nullBand.get();
    band->SetBounds(0, 0, PageWidth, PageHeight);
    struct PutBack {
        TfrxReportPage *page;
        QList<TfrxComponent *> &loose;
        ~PutBack()
        {
            for (TfrxComponent *c : loose)
                c->SetParent(page);
        }
    } putBack{page, loose};
    for (TfrxComponent *c : loose)
        c->SetParent(band);
    ShowBand(band);
}

bool TfrxEngine::hasData(TfrxComponent *c, const QList<TfrxDataBand *> &subBands, bool printIfDetailEmpty)
{
    if (printIfDetailEmpty)
        return true;
    bool result = dynamic_cast<TfrxDataBand *>(c) && subBands.isEmpty();
    for (TfrxDataBand *sub : subBands) {
        TfrxDataSet *ds = bandDataSet(sub);
        if (!ds)
            continue;
        callEvent(sub, sub->OnMasterDetail);
        ds->First();
        while (!ds->Eof()) {
            if (hasData(sub, subBandsOf(sub), sub->PrintIfDetailEmpty()))
                return true;
            ds->Next();
        }
    }
    return result;
}

} // namespace tw
