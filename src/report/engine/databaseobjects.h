#pragma once

#include "db/database.h"
#include "db/query.h"
#include "report/engine/queries.h"

#include <QString>
#include <memory>

namespace tw {

class TfrxADODatabase;

enum TADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };
const EnumInfo &adoLockTypeEnum();

// The holder of the connection template queries run on when they name no database of
// their own. The newest holder alive is the current one; destroying it brings back the
// one before.
class TfrxADOComponents : public Component {
    TW_OBJECT(TfrxADOComponents)
    explicit TfrxADOComponents(Component *owner = nullptr);
    ~TfrxADOComponents() override;

    db::Connection *DefaultDatabase() const { return m_default; }
    // The holder forgets the connection when it is destroyed.
    void SetDefaultDatabase(db::Connection *c);

    // The current holder, or nullptr.
    static TfrxADOComponents *Current();

private:
    db::Connection *m_default = nullptr;
    TfrxADOComponents *m_previous = nullptr;
};

// A connection of the template's own, opened from its connection string.
class TfrxADODatabase : public TfrxCustomDatabase {
    TW_OBJECT(TfrxADODatabase)
    explicit TfrxADODatabase(Component *owner = nullptr);
    ~TfrxADODatabase() override;

    bool Connected() const override { return m_connection.isOpen(); }
    // Opening translates the string as start-up does; no login is asked for, so the
    // string (or SetLogin) carries the credentials.
    void SetConnected(bool v) override;
    // Replaces (or appends) the "User ID=" and "Password=" parts of DatabaseName.
    void SetLogin(const QString &login, const QString &password);
    // The connection, opened on first use.
    db::Connection *Database();
    db::Connection &connection() { return m_connection; }

    void Loaded() override;

private:
    db::Connection m_connection;
    bool m_connectAfterLoad = false;
};

// A report query over the platform query object, run on its Database's connection or
// the current holder's default connection.
class TfrxADOQuery : public TfrxCustomQuery {
    TW_OBJECT(TfrxADOQuery)
    explicit TfrxADOQuery(Component *owner = nullptr);
    ~TfrxADOQuery() override;

    TfrxADODatabase *Database() const { return m_database.get(); }
    void SetDatabase(TfrxADODatabase *v);
    int CommandTimeout = 30;
    TADOLockType LockType = ltReadOnly;

    db::Query &Query() { return m_query; }
    // Runs the text as a statement without result; returns the rows affected.
    int ExecSQL();
    // Every run starts with the connection taken again and the query closed.
    void BeforeStartReport() override;

protected:
    void SQLChanged() override;
    void SetMasterSource(db::DataSet *masterData) override;

private:
    void takeConnection();
    void beforeOpen(db::Query &q);

    db::Query m_query;
    TfrxRef<TfrxADODatabase> m_database;
};

// A report dataset over a whole table ("select * from" it, ordered by IndexFieldNames).
class TfrxADOTable : public TfrxCustomTable {
    TW_OBJECT(TfrxADOTable)
    explicit TfrxADOTable(Component *owner = nullptr);
    ~TfrxADOTable() override;

    void SetTableName(const QString &v) override;
    TfrxADODatabase *Database() const { return m_database.get(); }
    void SetDatabase(TfrxADODatabase *v) { m_database = v; }
    db::Query &Table() { return m_table; }
    void BeforeStartReport() override;

private:
    void updateText();

    db::Query m_table;
    TfrxRef<TfrxADODatabase> m_database;
};

// Registers the database classes by name; idempotent.
void frxRegisterDatabaseClasses();

} // namespace tw
