#pragma once

#include "base/variant.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/fieldtype.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace tw::db {

class Query;

// A query parameter. Parameters bind by position: the n-th item of the list gives the
// value of the n-th ":name" marker of the text, whatever the names.
struct Param {
    QString name;
    FieldType dataType = ftUnknown;
    Variant value;          // Empty or Null sends SQL NULL
    bool nullable = true;
};

class Params {
public:
    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }
    Param &operator[](int i) { return m_items[i]; }
    const Param &operator[](int i) const { return m_items[i]; }
    Param &add(const QString &name = {}, FieldType type = ftUnknown, const Variant &value = {});
    void clear() { m_items.clear(); }
    // First parameter of that name, compared without regard to case; null when none.
    Param *find(const QString &name);
    const Param *find(const QString &name) const;
    // Raises tw::Error "Parameter 'name' not found".
    Param &byName(const QString &name);

    QVector<Param>::iterator begin() { return m_items.begin(); }
    QVector<Param>::iterator end() { return m_items.end(); }
    QVector<Param>::const_iterator begin() const { return m_items.begin(); }
    QVector<Param>::const_iterator end() const { return m_items.end(); }

private:
    QVector<Param> m_items;
};

// Told of every statement a query has run (open, re-execution, execSQL): the text as
// written, the parameters as sent and the nanoseconds spent on the server and fetching.
// For measuring the database's share of a run; none is installed by default. Not thread-safe:
// install it before the queries run.
using StatementObserver = std::function<void(const QString &sql, const Params &params, qint64 nanoseconds)>;
void setStatementObserver(StatementObserver observer);

// A column of the open result, read at the query's current row. The object lives until
// the query is opened again or destroyed.
class Field : public DataField {
public:
    const QString &fieldName() const override { return m_name; }
    FieldType dataType() const override { return m_type; }
    int size() const override { return m_size; } // characters of string types, else 0
    int index() const { return m_index; }
    bool isBlob() const override { return isBlobType(m_type); }
    int displayWidth() const override;

    bool isNull() const override;
    // Null for SQL NULL (and when there is no current row); integers Int32 or Int64,
    // floating point Double, dates Double days since 1899-12-30, text String, binary
    // data a String of one character per byte.
    Variant asVariant() const override;
    // "" for NULL; numbers and dates in the format of FormatSettings::current().
    QString asString() const override;
    QString displayText() const override { return asString(); }
    QByteArray asBytes() const override; // blob content (text as UTF-8)
    qint64 asInteger() const;     // Null gives 0
    double asFloat() const;       // Null gives 0

private:
    friend class Query;
    Field(const Query *q, int index, QString name, FieldType type, int size)
        : m_query(q), m_index(index), m_name(std::move(name)), m_type(type), m_size(size) {}
    const QVariant &raw() const;

    const Query *m_query;
    int m_index;
    QString m_name;
    FieldType m_type;
    int m_size;
};

// A query run on a connection. Its text may carry ":name" markers, sent as "?" and
// bound by position. open() fetches the whole result to the client (static cursor):
// the row count is known at once and the cursor moves freely.
class Query : public DataSet {
public:
    using Hook = std::function<void(Query &)>;

    explicit Query(Connection *connection = nullptr);
    ~Query() override;
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    void setConnection(Connection *connection);
    Connection *connection() const { return m_connection; }

    // Closes the query and re-creates the parameter list from the markers, in order
    // (a name used twice gives two items). An item keeps the type and value of the old
    // item of the same name.
    void setSql(const QString &sql);
    const QString &sql() const { return m_sql; }
    // The marker names of the text, in order.
    const QStringList &markerNames() const { return m_markers; }
    Params &params() { return m_params; }
    const Params &params() const { return m_params; }

    // Runs the text (before-open hook first) and fetches every row; the cursor is on the
    // first row. Raises tw::Error with the server's text; the query stays closed then.
    void open() override;
    void close() override;
    bool isActive() const override { return m_active; }
    // Runs the text again with the current parameter values (no before-open hook) and
    // goes to the first row. Opens the query when closed.
    void requery();
    // For statements without a result; returns the rows affected (-1 when unknown).
    int execSQL();

    int recordCount() const override;
    void first() override;
    void next() override;
    void prior() override;
    void last();
    bool eof() const override;
    bool bof() const;
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const; // 1 for the first row; 0 when there is none

    Bookmark bookmark() const override;
    bool bookmarkValid(const Bookmark &b) const override;
    void gotoBookmark(const Bookmark &b) override; // tw::Error "Record not found" when not valid
    // compareBookmarks (DataSet): -1, 0, 1 by row order; a null bookmark sorts first.

    int fieldCount() const override { return int(m_fields.size()); }
    Field &field(int index);
    const Field &field(int index) const;
    // Without regard to case; null when absent. The fields of the last result stay
    // readable as definitions after close.
    Field *findField(const QString &name) override;
    const Field *findField(const QString &name) const;
    Field &fieldByName(const QString &name); // tw::Error "Field 'name' not found"
    QStringList fieldNames() const override;
    std::optional<FieldDef> findFieldDef(const QString &name) const override;

    // Hooks; a caller that installs its own keeps the previous one and calls it. The
    // after-open and before-close hooks are the DataSet's (afterOpen, setBeforeClose ...).
    void setBeforeOpen(Hook h) { m_beforeOpen = std::move(h); }
    const Hook &beforeOpen() const { return m_beforeOpen; }
    // After every change of the current row (open, moves, re-execution).
    void setAfterScroll(Hook h) { m_afterScroll = std::move(h); }
    const Hook &afterScroll() const { return m_afterScroll; }

    // Master/detail: on opening, every parameter whose name is a field of the open master
    // is linked to it and takes its value; while this query is open, a master row change
    // that alters a linked value re-executes it. Closing the master leaves it alone.
    void setMaster(Query *master);
    Query *master() const { return m_master; }
    // The linked parameter names, joined with ";".
    QString masterLinks() const { return m_links.join(QLatin1Char(';')); }

private:
    friend class Field;
    struct Result;

    void checkActive() const;
    void fetch();              // runs the text with the current parameters
    QSqlDatabase database() const;   // the open connection's, or an error
    // The sent text with the parameters bound by position; `prepared`: q holds that text
    // prepared already.
    void execute(QSqlQuery &q, bool prepared) const;
    void linkMaster();
    void masterChanged();
    void scrolled();
    QVariant currentRaw(int column) const;

    Connection *m_connection = nullptr;
    QString m_sql;
    QStringList m_markers;
    QString m_sentText;
    Params m_params;

    bool m_active = false;
    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<QVector<QVariant>> m_rows;
    int m_row = -1;
    bool m_bof = true;
    bool m_eof = true;
    quint64 m_fetch = 0;

    Hook m_beforeOpen, m_afterScroll;

    Query *m_master = nullptr;
    std::vector<Query *> m_details;
    QStringList m_links;
};

// A command text run once on the connection; any result is discarded. Scripts of several
// statements run as one batch on servers; on engines that take one statement per call
// they are split at ";" outside literals and comments.
class Command {
public:
    explicit Command(Connection *connection = nullptr);
    ~Command();
    Command(const Command &) = delete;
    Command &operator=(const Command &) = delete;
    void setConnection(Connection *connection);
    Connection *connection() const { return m_connection; }
    void setCommandText(const QString &text) { m_text = text; }
    const QString &commandText() const { return m_text; }
    void execute();

private:
    Connection *m_connection = nullptr;
    QString m_text;
};

} // namespace tw::db
