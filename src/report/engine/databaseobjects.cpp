#include "report/engine/databaseobjects.h"

#include "db/connectionstring.h"
#include "report/model/report.h"

#include <mutex>

namespace tw {

const EnumInfo &adoLockTypeEnum()
{
    static const EnumInfo e{QStringLiteral("TADOLockType"),
                            enumNames({"ltUnspecified", "ltReadOnly", "ltPessimistic", "ltOptimistic", "ltBatchOptimistic"})};
    return e;
}

// ---------------------------------------------------------------------------------------
// TfrxADOComponents

namespace {

// Only the thread that runs the exports creates holders, but the pointer is read from
// wherever a query starts a run.
std::mutex &holderMutex()
{
    static std::mutex m;
    return m;
}

TfrxADOComponents *&currentHolder()
{
    static TfrxADOComponents *current = nullptr;
    return current;
}

} // namespace

TW_DEFINE_CLASS(TfrxADOComponents, &Component::staticClassInfo())
{
    (void)info;
}

TfrxADOComponents::TfrxADOComponents(Component *owner) : Component(owner)
{
    std::lock_guard<std::mutex> lock(holderMutex());
    m_previous = currentHolder();
    currentHolder() = this;
}

TfrxADOComponents::~TfrxADOComponents()
{
    SetDefaultDatabase(nullptr);
    std::lock_guard<std::mutex> lock(holderMutex());
    if (currentHolder() == this)
        currentHolder() = m_previous;
}

TfrxADOComponents *TfrxADOComponents::Current()
{
    std::lock_guard<std::mutex> lock(holderMutex());
    return currentHolder();
}

void TfrxADOComponents::SetDefaultDatabase(db::Connection *c)
{
    if (c == m_default)
        return;
    if (m_default)
        m_default->removeDestroyListener(this);
    m_default = c;
    if (c)
        c->addDestroyListener(this, [this] { m_default = nullptr; });
}

// ---------------------------------------------------------------------------------------
// TfrxADODatabase

TW_DEFINE_CLASS(TfrxADODatabase, &TfrxCustomDatabase::staticClassInfo())
{
    ClassBuilder<TfrxADODatabase>(info).factory(frxFactory<TfrxADODatabase>());
}

TfrxADODatabase::TfrxADODatabase(Component *owner) : TfrxCustomDatabase(owner) {}

TfrxADODatabase::~TfrxADODatabase() = default;

void TfrxADODatabase::SetConnected(bool v)
{
    if (IsLoading()) {
        // The string may come after the flag; connect once the whole object is read.
        m_connectAfterLoad = v;
        return;
    }
    if (v == m_connection.isOpen())
        return;
    if (!v) {
        m_connection.close();
        return;
    }
    m_connection.setConnectionString(DatabaseName);
    m_connection.open(nullptr);
}

void TfrxADODatabase::Loaded()
{
    TfrxCustomDatabase::Loaded();
    if (m_connectAfterLoad && !IsDesigning()) {
        m_connectAfterLoad = false;
        SetConnected(true);
    }
}

void TfrxADODatabase::SetLogin(const QString &login, const QString &password)
{
    DatabaseName = db::connectionStringWithLogin(DatabaseName, login, password);
}

db::Connection *TfrxADODatabase::Database()
{
    if (!m_connection.isOpen())
        SetConnected(true);
    return &m_connection;
}

// ---------------------------------------------------------------------------------------
// TfrxADOQuery

TW_DEFINE_CLASS(TfrxADOQuery, &TfrxCustomQuery::staticClassInfo())
{
    using Q = TfrxADOQuery;
    ClassBuilder<Q>(info)
        .factory(frxFactory<Q>())
        .integer(QStringLiteral("CommandTimeout"), [](const Q *q) { return q->CommandTimeout; },
                 [](Q *q, int v) { q->CommandTimeout = v; }, 30)
        .reference<TfrxADODatabase>(QStringLiteral("Database"), TfrxADODatabase::staticClassInfo(), &Q::Database, &Q::SetDatabase)
        .enumeration(QStringLiteral("LockType"), adoLockTypeEnum(), [](const Q *q) { return int(q->LockType); },
                     [](Q *q, int v) { q->LockType = TADOLockType(v); }, ltReadOnly);
}

TfrxADOQuery::TfrxADOQuery(Component *owner) : TfrxCustomQuery(owner)
{
    SetDataSet(&m_query);
    m_query.setBeforeOpen([this](db::Query &q) { beforeOpen(q); });
}

TfrxADOQuery::~TfrxADOQuery()
{
    // The report dataset's hooks on the query go first, while the query still exists.
    SetDataSet(nullptr);
}

void TfrxADOQuery::SQLChanged()
{
    // Setting the text closes the platform query and re-creates its parameters, even
    // when the text is the same.
    m_query.setSql(m_sql.join(QStringLiteral("\r\n")));
    m_params.UpdateParams(m_query.markerNames());
    for (int i = 0; i < m_params.Count(); ++i) {
        TfrxParamItem *item = m_params.Items(i);
        if (item->DataType == db::ftUnknown)
            if (const db::Param *p = m_query.params().find(item->Name))
                item->DataType = p->dataType;
    }
}

void TfrxADOQuery::SetDatabase(TfrxADODatabase *v)
{
    m_database = v;
}

void TfrxADOQuery::SetMasterSource(db::DataSet *masterData)
{
    // Only another query can drive the linkage of parameters to master fields.
    m_query.setMaster(dynamic_cast<db::Query *>(masterData));
}

namespace {

// The object's own database when it names one (opened when the data opens, so a bad
// string fails the run at that point), else the current holder's default one.
db::Connection *connectionFor(TfrxADODatabase *own)
{
    if (own)
        return &own->connection();
    if (TfrxADOComponents *holder = TfrxADOComponents::Current())
        return holder->DefaultDatabase();
    return nullptr;
}

// Before the data opens: the object's own database connects when the data runs on it.
void connectOwn(TfrxADODatabase *own, const db::Query &q)
{
    if (own && &own->connection() == q.connection())
        own->Database();
}

} // namespace

void TfrxADOQuery::takeConnection()
{
    m_query.setConnection(connectionFor(m_database.get()));
}

void TfrxADOQuery::BeforeStartReport()
{
    takeConnection();
    SetSQL(SQL());
}

void TfrxADOQuery::beforeOpen(db::Query &q)
{
    if (!q.connection())
        throw Error(QStringLiteral("%1: the query has no database connection").arg(Name()));
    connectOwn(m_database.get(), q);
    TfrxReport *report = Report();
    const bool evaluate = report && !report->IsLoading() && !IsDesigning();
    for (db::Param &p : q.params()) {
        TfrxParamItem *item = m_params.Find(p.name);
        if (!item)
            continue;
        p.dataType = item->DataType;
        p.nullable = true;
        if (evaluate && !item->Expression.trimmed().isEmpty()) {
            report->CurObject = Name();
            item->Value = report->Calc(item->Expression);
        }
        p.value = item->Value;
    }
}

int TfrxADOQuery::ExecSQL()
{
    takeConnection();
    beforeOpen(m_query);
    return m_query.execSQL();
}

// ---------------------------------------------------------------------------------------
// TfrxADOTable

TW_DEFINE_CLASS(TfrxADOTable, &TfrxCustomTable::staticClassInfo())
{
    using T = TfrxADOTable;
    ClassBuilder<T>(info)
        .factory(frxFactory<T>())
        .reference<TfrxADODatabase>(QStringLiteral("Database"), TfrxADODatabase::staticClassInfo(), &T::Database, &T::SetDatabase);
}

TfrxADOTable::TfrxADOTable(Component *owner) : TfrxCustomTable(owner)
{
    SetDataSet(&m_table);
    m_table.setBeforeOpen([this](db::Query &q) { connectOwn(m_database.get(), q); });
}

TfrxADOTable::~TfrxADOTable()
{
    SetDataSet(nullptr);
}

void TfrxADOTable::SetTableName(const QString &v)
{
    TfrxCustomTable::SetTableName(v);
    updateText();
}

void TfrxADOTable::updateText()
{
    QString text;
    if (!m_tableName.trimmed().isEmpty()) {
        text = QStringLiteral("select * from ") + m_tableName;
        if (!IndexFieldNames.trimmed().isEmpty())
            text += QStringLiteral(" order by ") + QString(IndexFieldNames).replace(QLatin1Char(';'), QLatin1Char(','));
    }
    m_table.setSql(text);
}

void TfrxADOTable::BeforeStartReport()
{
    m_table.setConnection(connectionFor(m_database.get()));
    updateText(); // closes the table, so every run starts from the first row
}

void frxRegisterDatabaseClasses()
{
    frxRegisterQueryClasses();
    static std::once_flag once;
    std::call_once(once, [] {
        registerClass(&TfrxADOComponents::staticClassInfo());
        registerClass(&TfrxADODatabase::staticClassInfo());
        registerClass(&TfrxADOQuery::staticClassInfo());
        registerClass(&TfrxADOTable::staticClassInfo());
    });
}

} // namespace tw
