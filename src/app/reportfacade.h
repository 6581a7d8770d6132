#pragma once

#include "base/error.h"
#include "report/model/component.h" // EComponentError, shared with the report's own names

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace tw {
class TfrxDBDataset;
}

namespace tw::app {

// A report object as the package loop uses it. The report engine provides the real one;
// everything else the loop needs from a report goes through these calls.
class ReportFacade {
public:
    virtual ~ReportFacade() = default;
    // Clears the report; opens and loads the template. Raises when the file cannot be
    // opened; answers whether it existed.
    virtual bool LoadFromFile(const QString &FileName, bool ExceptionIfNotFound) = 0;
    // EngineOptions.NewSilentMode := simReThrow: collected preparation errors raise.
    virtual void setSilentModeReThrow() = 0;
    // Empties the prepared pages first when asked; raises in re-throw mode.
    virtual bool PrepareReport(bool ClearLastReport) = 0;
    // PreviewPages.SaveToFile: the prepared report, replacing the file.
    virtual void savePreparedToFile(const QString &FileName) = 0;
    // The same file as a scratch copy, not waited for on the disk, and its bytes: the export
    // writes 1.fp3 for every report and reads it back at once. By default saved with
    // savePreparedToFile and read back.
    virtual QByteArray writePreparedScratch(const QString &FileName);
    // Terminated := true and the script stopped: a preparation in progress ends its loops,
    // the script's too, at the next check.
    virtual void Terminate() {}
    // The window owns the report: the report object becomes a component of the window's
    // container, so a template's references reach the window's datasets (CUST) by name.
    virtual void setOwner(::tw::Component *) {}
};

// Makes new, empty reports.
class ReportFactory {
public:
    virtual ~ReportFactory() = default;
    virtual std::unique_ptr<ReportFacade> createReport() = 0;
};

// Whether a text is a valid component name: letters (of any script), digits and "_", not
// starting with a digit.
bool isValidComponentName(const QString &name);

// The components of the main window: the controls and parts it is made of (by name
// only), the report dataset CUST and the reports it owns. Names are unique without regard
// to case.
class WindowComponents {
public:
    struct Component {
        QString name;
        std::unique_ptr<ReportFacade> report; // null: not a report
    };

    // The main window's own parts, the dataset CUST and its stored report frxReport1
    // (made by the factory).
    explicit WindowComponents(ReportFactory &factory);
    ~WindowComponents();
    WindowComponents(const WindowComponents &) = delete;
    WindowComponents &operator=(const WindowComponents &) = delete;

    // The window as a component container ("Form1"): it owns CUST and, as their owner for
    // name lookups, the report objects of the reports made here.
    ::tw::Component *host() const { return m_host.get(); }
    // The report dataset "CUST" (UserName CUST, CloseDataSource and BCDToCurrency false);
    // its DataSet is the parameter table, set by whoever holds the table.
    TfrxDBDataset &CUST() const { return *m_cust; }

    // Creates a report owned by the window and names it. An empty name is allowed (as
    // for any component); otherwise EComponentError "''%s'' is not a valid component
    // name" or "A component named %s already exists", and no report is left behind.
    ReportFacade &createReport(const QString &name);
    // Adds a part that is not a report (same name rules).
    void addComponent(const QString &name);

    // FindComponent: the component of that name ignoring case, or null; an empty name
    // finds nothing.
    Component *FindComponent(const QString &name);
    // Destroys the report and removes it from the components.
    void freeReport(ReportFacade *report);

    int componentCount() const { return int(m_components.size()); }
    QStringList componentNames() const;
    ReportFactory &factory() { return m_factory; }

private:
    void checkName(const QString &name) const;

    ReportFactory &m_factory;
    std::unique_ptr<::tw::Component> m_host; // destroyed after the reports
    TfrxDBDataset *m_cust = nullptr;         // owned by m_host
    std::vector<Component> m_components;
};

} // namespace tw::app
