#pragma once

#include "app/reportfacade.h"

#include <memory>

namespace tw {
class TfrxReport;
}

namespace tw::app {

// A report over the component tree: templates load for real (problems inside a template
// are reported by the report's silent mode, as for any load), but preparing needs the
// report engine, which this build does not have yet.
class TemplateModelReport : public ReportFacade {
public:
    TemplateModelReport();
    ~TemplateModelReport() override;

    bool LoadFromFile(const QString &FileName, bool ExceptionIfNotFound) override;
    void setSilentModeReThrow() override;
    bool PrepareReport(bool ClearLastReport) override;         // always raises
    void savePreparedToFile(const QString &FileName) override; // raises: nothing prepared
    void setOwner(::tw::Component *owner) override;
    TfrxReport &report() { return *m_report; }

private:
    std::unique_ptr<TfrxReport> m_report;
};

class TemplateModelReportFactory : public ReportFactory {
public:
    std::unique_ptr<ReportFacade> createReport() override;
};

} // namespace tw::app
