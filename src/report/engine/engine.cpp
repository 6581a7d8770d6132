#include "report/engine/engine.h"

#include "report/engine/aggregates.h"
#include "report/engine/previewpages.h"
#include "report/model/report.h"
#include "script/interpreter.h"


namespace tw {

namespace {

std::function<void()> &processMessagesHandler()
{
    static std::function<void()> handler;
    return handler;
}

} // namespace

void frxSetProcessMessages(std::function<void()> handler)
{
    // A script that loops inside an event never reaches the engine's progress points:
    // it gets the same chance to see a stop from its loops.
    if (handler)
        fsSetRunCheck([] { frxProcessMessages(); });
    else
        fsSetRunCheck({});
    processMessagesHandler() = std::move(handler);
}

void frxProcessMessages()
{
    if (const auto &h = processMessagesHandler())
        h();
}

TW_DEFINE_CLASS(TfrxCustomEngine, nullptr)
{
    using E = TfrxCustomEngine;
    ClassBuilder<E>(info)
        .integer(QStringLiteral("CurColumn"), [](const E *e) { return e->CurColumn; }, [](E *e, int v) { e->CurColumn = v; })
        .integer(QStringLiteral("CurVColumn"), [](const E *e) { return e->CurVColumn; }, [](E *e, int v) { e->CurVColumn = v; })
        .floating(QStringLiteral("CurX"), [](const E *e) { return e->CurX; }, [](E *e, double v) { e->CurX = v; })
        .floating(QStringLiteral("CurY"), [](const E *e) { return e->CurY; }, [](E *e, double v) { e->CurY = v; })
        .boolean(QStringLiteral("DoublePass"), [](const E *e) { return e->DoublePass; }, [](E *e, bool v) { e->DoublePass = v; })
        .boolean(QStringLiteral("FinalPass"), [](const E *e) { return e->FinalPass; }, [](E *e, bool v) { e->FinalPass = v; })
        .floating(QStringLiteral("PageHeight"), [](const E *e) { return e->PageHeight; }, [](E *e, double v) { e->PageHeight = v; })
        .floating(QStringLiteral("PageWidth"), [](const E *e) { return e->PageWidth; }, [](E *e, double v) { e->PageWidth = v; })
        .floating(QStringLiteral("StartDate"), [](const E *e) { return e->StartDate; }, [](E *e, double v) { e->StartDate = v; })
        .floating(QStringLiteral("StartTime"), [](const E *e) { return e->StartTime; }, [](E *e, double v) { e->StartTime = v; })
        .integer(QStringLiteral("TotalPages"), [](const E *e) { return e->TotalPages; }, [](E *e, int v) { e->TotalPages = v; })
        .boolean(QStringLiteral("SecondScriptCall"), [](const E *e) { return e->SecondScriptCall; },
                 [](E *e, bool v) { e->SecondScriptCall = v; });
    // Published types of the script's view: dates are TDateTime values.
    for (PropInfo &p : info.ownProperties)
        if (p.name == QLatin1String("StartDate") || p.name == QLatin1String("StartTime"))
            p.typeName = QStringLiteral("TDateTime");
}

TW_DEFINE_CLASS(TfrxEngine, &TfrxCustomEngine::staticClassInfo()) {}

TfrxCustomEngine::TfrxCustomEngine(TfrxReport *report)
    : m_report(report), m_aggregates(std::make_unique<TfrxAggregateList>(report))
{
}

TfrxCustomEngine::~TfrxCustomEngine() = default;

void TfrxCustomEngine::SetCurBand(TfrxBand *band)
{
    m_curBand = band;
}

Variant TfrxCustomEngine::GetAggregateValue(const QString &name, const QString &expression, TfrxBand *band, int flags)
{
    return m_aggregates->GetValue(CurBand(), CurVColumn, name, expression, band, flags);
}

TfrxCustomPreviewPages *TfrxCustomEngine::PreviewPages() const
{
    return m_report ? m_report->PreviewPages() : nullptr;
}

int TfrxCustomEngine::LogicalPageNumber()
{
    TfrxCustomPreviewPages *p = PreviewPages();
    return p && p->CurPage >= 0 && p->Count() > 0 ? p->GetLogicalPageNo() : 1;
}

int TfrxCustomEngine::LogicalTotalPages()
{
    TfrxCustomPreviewPages *p = PreviewPages();
    return p && p->CurPage >= 0 && p->Count() > 0 ? p->GetLogicalTotalPages() : 0;
}

int TfrxCustomEngine::PreparedPageNumber()
{
    TfrxCustomPreviewPages *p = PreviewPages();
    return p && p->CurPage >= 0 && p->Count() > 0 ? p->CurPage + 1 : 1;
}

void TfrxCustomEngine::ShowBandByName(const QString &name)
{
    if (m_report)
        ShowBand(dynamic_cast<TfrxBand *>(m_report->FindObject(name)));
}

void TfrxCustomEngine::StopReport()
{
    if (!m_report)
        return;
    m_report->Terminated = true;
    if (TfsScript *s = m_report->Script())
        s->Terminate();
}

void TfrxCustomEngine::AddAnchor(const QString &text)
{
    if (auto *p = dynamic_cast<TfrxPreviewPages *>(PreviewPages()))
        p->AddAnchor(text);
}

int TfrxCustomEngine::GetAnchorPage(const QString &text)
{
    auto *p = dynamic_cast<TfrxPreviewPages *>(PreviewPages());
    return p ? p->GetAnchorPage(text) : -1;
}

} // namespace tw
