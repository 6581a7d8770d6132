#pragma once
// The program's setting for a report: the engine's classes registered, a window-like host
// holding CUST and the report, errors collected instead of shown, and nothing read from
// disk or asked of a user while a fuzz input loads.
#include "report/engine/datasets.h"
#include "report/model/objectmodel.h"
#include "report/model/report.h"

namespace tw::fuzz {

class WindowHost : public ::tw::Component {
public:
    WindowHost() { SetName(QStringLiteral("Form1")); }
    ContainerKind containerKind() const override { return ContainerKind::Host; }
};

struct ReportHost {
    ReportHost()
    {
        static const bool registered = [] {
            frxRegisterClasses();
            frxSetMessageBoxHandler([](const QString &, const QString &) {});
            return true;
        }();
        (void)registered;
        auto *cust = new TfrxDBDataset(&host);
        cust->SetName(QStringLiteral("CUST"));
        cust->SetUserName(QStringLiteral("CUST"));
        report = new TfrxReport(&host);
        report->SetName(QStringLiteral("frxReport1"));
        report->EngineOptions()->NewSilentMode = simSilent;
        report->OnLoadTemplate = [](TfrxReport *, const QString &) {};
        report->OnGetPassword = [](TfrxReport *, QString &) { return false; };
    }

    WindowHost host;
    TfrxReport *report = nullptr; // owned by the host
};

} // namespace tw::fuzz
