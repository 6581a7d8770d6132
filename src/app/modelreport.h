#pragma once

#include "app/reportfacade.h"

#include <memory>

namespace tw {
class TfrxReport;
}

namespace tw::app {

// The real report: templates load and prepare through the report engine; problems are
// reported by the report's silent mode.
class TemplateModelReport : public ReportFacade {
public:
    TemplateModelReport();
    ~TemplateModelReport() override;

    bool LoadFromFile(const QString &FileName, bool ExceptionIfNotFound) override;
    void setSilentModeReThrow() override;
    bool PrepareReport(bool ClearLastReport) override;
    void savePreparedToFile(const QString &FileName) override;
    QByteArray writePreparedScratch(const QString &FileName) override;
    void Terminate() override;
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
