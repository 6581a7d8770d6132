#include "app/reportfacade.h"

#include "report/engine/datasets.h"
#include "report/model/objectmodel.h"

#include <QFile>

namespace tw::app {

QByteArray ReportFacade::writePreparedScratch(const QString &FileName)
{
    savePreparedToFile(FileName);
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(FileName, file.errorString()));
    return file.readAll();
}

bool isValidComponentName(const QString &name)
{
    // The same rule as the report's own component names.
    return isValidIdent(name);
}

namespace {

// The main window as the container of the components templates may name.
class WindowHost : public ::tw::Component {
public:
    WindowHost() { SetName(QStringLiteral("Form1")); }
    ContainerKind containerKind() const override { return ContainerKind::Host; }
};

} // namespace

WindowComponents::WindowComponents(ReportFactory &factory) : m_factory(factory), m_host(std::make_unique<WindowHost>())
{
    frxRegisterClasses();
    m_cust = new TfrxDBDataset(m_host.get());
    m_cust->SetName(QStringLiteral("CUST"));
    m_cust->SetUserName(QStringLiteral("CUST"));
    m_cust->CloseDataSource = false;
    m_cust->BCDToCurrency = false;
    static const char *const parts[] = {
        "Label3", "cb_tip", "Label4", "Date1", "Label7", "Date2", "Button2", "ProgressBar1",
        "Label1", "Memo1", "good_log", "err_log", "vt", "CUST", "ADOCommand1",
        "frxADOComponents1", "Ac_sqlfile", "Ac_sqltext", "Ac_sqlrep",
    };
    for (const char *p : parts)
        addComponent(QString::fromLatin1(p));
    createReport(QStringLiteral("frxReport1"));
}

WindowComponents::~WindowComponents()
{
    // The reports first: their report objects leave the window's container as they go.
    m_components.clear();
}

void WindowComponents::checkName(const QString &name) const
{
    if (name.isEmpty())
        return;
    if (!isValidComponentName(name))
        throw EComponentError(QStringLiteral("''%1'' is not a valid component name").arg(name));
    for (const Component &c : m_components)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            throw EComponentError(QStringLiteral("A component named %1 already exists").arg(name));
}

ReportFacade &WindowComponents::createReport(const QString &name)
{
    checkName(name);
    Component c{name, m_factory.createReport()};
    if (!c.report)
        throw Error(QStringLiteral("the report factory made no report"));
    c.report->setOwner(m_host.get());
    m_components.push_back(std::move(c));
    return *m_components.back().report;
}

void WindowComponents::addComponent(const QString &name)
{
    checkName(name);
    m_components.push_back(Component{name, nullptr});
}

WindowComponents::Component *WindowComponents::FindComponent(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (Component &c : m_components)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

void WindowComponents::freeReport(ReportFacade *report)
{
    for (auto it = m_components.begin(); it != m_components.end(); ++it) {
        if (it->report.get() == report) {
            m_components.erase(it);
            return;
        }
    }
}

QStringList WindowComponents::componentNames() const
{
    QStringList names;
    for (const Component &c : m_components)
        names.append(c.name);
    return names;
}

} // namespace tw::app
