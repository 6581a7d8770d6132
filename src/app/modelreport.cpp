#include "app/modelreport.h"

#include "base/savefile.h"
#include "report/engine/engine.h"
#include "report/engine/previewpages.h"
#include "report/model/objectmodel.h"
#include "report/model/report.h"

#include <QBuffer>
#include <QDir>

namespace tw::app {

TemplateModelReport::TemplateModelReport()
{
    frxRegisterClasses();
    m_report = std::make_unique<TfrxReport>();
    // Through this facade a report is only loaded, prepared and saved: between two runs
    // nothing changes it.
    m_report->SetKeepStateBetweenRuns(true);
}

TemplateModelReport::~TemplateModelReport() = default;

bool TemplateModelReport::LoadFromFile(const QString &FileName, bool ExceptionIfNotFound)
{
    return m_report->LoadFromFile(FileName, ExceptionIfNotFound);
}

void TemplateModelReport::setSilentModeReThrow()
{
    m_report->EngineOptions()->NewSilentMode = simReThrow;
}

bool TemplateModelReport::PrepareReport(bool ClearLastReport)
{
    return m_report->PrepareReport(ClearLastReport);
}

void TemplateModelReport::savePreparedToFile(const QString &FileName)
{
    m_report->PreviewPages()->SaveToFile(FileName);
}

QByteArray TemplateModelReport::writePreparedScratch(const QString &FileName)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    m_report->PreviewPages()->SaveToStream(&buffer);
    QString reason;
    if (!replaceFileUnsynced(FileName, buffer.data(), &reason))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(FileName), reason));
    return buffer.data();
}

void TemplateModelReport::Terminate()
{
    // The script too: a loop in the template's code ends only through its own flag.
    m_report->Engine()->StopReport();
}

void TemplateModelReport::setOwner(::tw::Component *owner)
{
    if (owner)
        owner->InsertComponent(m_report.get());
    else if (Component *old = m_report->Owner())
        old->RemoveComponent(m_report.get());
}

std::unique_ptr<ReportFacade> TemplateModelReportFactory::createReport()
{
    return std::make_unique<TemplateModelReport>();
}

} // namespace tw::app
