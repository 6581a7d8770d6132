#include "db/query.h"

#include "base/datetime.h"
#include "base/error.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"
#include "base/sametext.h"
#include "db/sqlerror.h"
#include "db/sqltext.h"

#include <QDate>
#include <QElapsedTimer>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <algorithm>
#include <limits>

namespace tw::db {

namespace {

StatementObserver g_statementObserver;

// Times one statement for the observer, when there is one.
class StatementTimer {
public:
    StatementTimer()
    {
        if (g_statementObserver)
            m_timer.start();
    }
    void done(const QString &sql, const Params &params) const
    {
        if (m_timer.isValid())
            g_statementObserver(sql, params, m_timer.nsecsElapsed());
    }

private:
    QElapsedTimer m_timer;
};

// ODBC SQL type codes reported by the ODBC driver as the field's type id.
enum : int {
    kSqlChar = 1, kSqlNumeric = 2, kSqlDecimal = 3, kSqlLongVarChar = -1, kSqlBinary = -2,
    kSqlVarBinary = -3, kSqlWChar = -8, kSqlWVarChar = -9, kSqlWLongVarChar = -10
};

FieldType typeOfField(const QSqlField &f, bool odbc)
{
    switch (f.metaType().id()) {
    case QMetaType::Bool:
        return ftBoolean;
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char:
    case QMetaType::SChar: case QMetaType::UChar:
        return ftSmallint;
    case QMetaType::Int:
        return ftInteger;
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        return ftLargeint;
    case QMetaType::Double: case QMetaType::Float:
        if (odbc && (f.typeID() == kSqlNumeric || f.typeID() == kSqlDecimal))
            return ftBCD;
        return ftFloat;
    case QMetaType::QDate:
        return ftDate;
    case QMetaType::QTime:
        return ftTime;
    case QMetaType::QDateTime:
        return ftDateTime;
    case QMetaType::QString:
        if (!odbc)
            return ftWideString;
        switch (f.typeID()) {
        case kSqlWLongVarChar: return ftWideMemo;
        case kSqlLongVarChar: return ftMemo;
        case kSqlWChar: return ftFixedWideChar;
        case kSqlWVarChar: return ftWideString;
        case kSqlChar: return ftFixedChar;
        default: return ftString;
        }
    case QMetaType::QByteArray:
        // Binary columns without a bound size (SQLite's blob) are blobs all the same.
        if (odbc && f.length() > 0 && f.length() <= 8000) {
            if (f.typeID() == kSqlBinary)
                return ftBytes;
            if (f.typeID() == kSqlVarBinary)
                return ftVarBytes;
        }
        return ftBlob;
    case QMetaType::QUuid:
        return ftGuid;
    default:
        return ftUnknown;
    }
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// An engine with typeless columns (SQLite) reports text for expressions and undeclared
// types; the values themselves tell what the column holds.
FieldType typeFromValues(const std::vector<QVector<QVariant>> &rows, int col, FieldType declared)
{
    bool any = false, allInt = true, allNumber = true, allText = true, allBytes = true;
    bool fitsInt32 = true;
    for (const QVector<QVariant> &row : rows) {
        const QVariant &v = row[col];
        if (!v.isValid())
            continue;
        any = true;
        const int id = v.metaType().id();
        const bool integral = isIntegral(v);
        allInt = allInt && integral;
        allNumber = allNumber && (integral || id == QMetaType::Double || id == QMetaType::Float);
        allText = allText && id == QMetaType::QString;
        allBytes = allBytes && id == QMetaType::QByteArray;
        if (integral) {
            const qlonglong x = v.toLongLong();
            if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max())
                fitsInt32 = false;
        }
    }
    if (!any)
        return declared == ftUnknown ? ftWideString : declared;
    if (allInt && (declared == ftUnknown || declared == ftWideString || declared == ftInteger))
        return fitsInt32 && declared != ftLargeint ? ftInteger : ftLargeint;
    if (allNumber && (declared == ftUnknown || declared == ftWideString))
        return ftFloat;
    if (allText && declared == ftUnknown)
        return ftWideString;
    if (allBytes && (declared == ftUnknown || declared == ftWideString))
        return ftBlob;
    return declared == ftUnknown ? ftWideString : declared;
}

QString latin1Text(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

Variant fromQVariant(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return Variant::null();
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return Variant(v.toBool());
    case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char:
    case QMetaType::SChar: case QMetaType::UChar:
        return Variant(v.toInt());
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: {
        const qlonglong x = v.toLongLong();
        if (x >= std::numeric_limits<int>::min() && x <= std::numeric_limits<int>::max())
            return Variant(int(x));
        return Variant(qint64(x));
    }
    case QMetaType::Double: case QMetaType::Float:
        return Variant(v.toDouble());
    case QMetaType::QDate:
        return Variant(fromQDate(v.toDate()));
    case QMetaType::QDateTime:
        return Variant(fromQDateTime(v.toDateTime()));
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        return Variant(t.msecsSinceStartOfDay() / 86400000.0);
    }
    case QMetaType::QByteArray:
        return Variant(latin1Text(v.toByteArray()));
    default:
        return Variant(v.toString());
    }
}

// A date or time given as text (an engine without a date type stores ISO text).
bool dateFromText(const QString &s, double &out)
{
    QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (dt.isValid()) {
        out = fromQDateTime(dt);
        return true;
    }
    const QDate d = QDate::fromString(s, Qt::ISODate);
    if (d.isValid()) {
        out = fromQDate(d);
        return true;
    }
    return false;
}

QMetaType metaTypeFor(FieldType t)
{
    if (isIntegerType(t))
        return QMetaType(t == ftLargeint || t == ftLongWord ? QMetaType::LongLong : QMetaType::Int);
    if (isFloatType(t))
        return QMetaType(QMetaType::Double);
    switch (t) {
    case ftBoolean: return QMetaType(QMetaType::Bool);
    case ftDate: return QMetaType(QMetaType::QDate);
    case ftTime: return QMetaType(QMetaType::QTime);
    case ftDateTime: case ftTimeStamp: case ftOraTimeStamp: case ftTimeStampOffset:
        return QMetaType(QMetaType::QDateTime);
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftTypedBinary: case ftOraBlob:
        return QMetaType(QMetaType::QByteArray);
    default:
        return QMetaType(QMetaType::QString);
    }
}

QVariant bindValue(const Param &p)
{
    const Variant &v = p.value;
    const FieldType t = p.dataType;
    if (v.isEmptyOrNull())
        return QVariant(metaTypeFor(t)); // a typed SQL NULL
    if (t == ftUnknown || t == ftVariant) {
        switch (v.kind()) {
        case Variant::Kind::Boolean: return QVariant(v.toBool());
        case Variant::Kind::Int32: return QVariant(v.toInt());
        case Variant::Kind::Int64: return QVariant(qlonglong(v.toInt64()));
        case Variant::Kind::Double: return QVariant(v.toDouble());
        default: return QVariant(v.toString());
        }
    }
    if (isIntegerType(t)) {
        if (t == ftLargeint || t == ftLongWord)
            return QVariant(qlonglong(v.toInt64()));
        return QVariant(v.toInt());
    }
    if (isFloatType(t))
        return QVariant(v.toDouble());
    if (isDateTimeType(t)) {
        // Text goes as it stands: the server reads it in its own date format.
        if (v.isString())
            return QVariant(v.toString());
        const QDateTime dt = toQDateTime(v.toDouble());
        if (t == ftDate)
            return QVariant(dt.date());
        if (t == ftTime)
            return QVariant(dt.time());
        return QVariant(dt);
    }
    switch (t) {
    case ftBoolean:
        return QVariant(v.toBool());
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftTypedBinary: case ftOraBlob:
        return QVariant(v.toString().toLatin1());
    default:
        return QVariant(v.toString());
    }
}

bool sameValue(const Variant &a, const Variant &b)
{
    if (a.isEmptyOrNull() || b.isEmptyOrNull())
        return a.isEmptyOrNull() && b.isEmptyOrNull();
    if (a.isOrdinal() && b.isOrdinal())
        return a.toInt64() == b.toInt64();
    if (a.isNumeric() && b.isNumeric())
        return a.toDouble() == b.toDouble();
    if (a.isString() && b.isString())
        return a.toString() == b.toString();
    if (a.kind() == b.kind())
        return a.sameAs(b);
    return a.toText() == b.toText();
}

} // namespace

// ---- Params ----

Param &Params::add(const QString &name, FieldType type, const Variant &value)
{
    Param p;
    p.name = name;
    p.dataType = type;
    p.value = value;
    m_items.append(p);
    return m_items.last();
}

Param *Params::find(const QString &name)
{
    for (Param &p : m_items)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const Param *Params::find(const QString &name) const
{
    return const_cast<Params *>(this)->find(name);
}

Param &Params::byName(const QString &name)
{
    if (Param *p = find(name))
        return *p;
    throw Error(QStringLiteral("Parameter '%1' not found").arg(name));
}

// ---- Field ----

const QVariant &Field::raw() const
{
    static const QVariant none;
    m_query->checkActive();
    if (m_query->m_row < 0 || m_query->m_row >= int(m_query->m_rows.size()))
        return none;
    return m_query->m_rows[m_query->m_row][m_index];
}

bool Field::isNull() const
{
    return !raw().isValid();
}

Variant Field::asVariant() const
{
    const QVariant &v = raw();
    if (!v.isValid())
        return Variant::null();
    bool ok = false;
    if (m_type == ftBoolean && v.canConvert<bool>())
        return Variant(v.toBool());
    if (isIntegerType(m_type)) {
        const qlonglong x = v.toLongLong(&ok);
        if (ok) {
            if (m_type != ftLargeint && x >= std::numeric_limits<int>::min()
                && x <= std::numeric_limits<int>::max())
                return Variant(int(x));
            return Variant(qint64(x));
        }
    } else if (isFloatType(m_type)) {
        const double x = v.toDouble(&ok);
        if (ok)
            return Variant(x);
    } else if (isDateTimeType(m_type) && v.metaType().id() == QMetaType::QString) {
        double d = 0;
        if (dateFromText(v.toString(), d))
            return Variant(d);
    } else if (isStringType(m_type) || m_type == ftMemo || m_type == ftWideMemo
               || m_type == ftFmtMemo) {
        if (v.metaType().id() == QMetaType::QByteArray)
            return Variant(QString::fromUtf8(v.toByteArray()));
        if (v.metaType().id() == QMetaType::QString)
            return Variant(v.toString());
    }
    return fromQVariant(v);
}

QString Field::asString() const
{
    const Variant v = asVariant();
    const FormatSettings &fs = FormatSettings::current();
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return {};
    case Variant::Kind::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Variant::Kind::Int32:
        return QString::number(v.toInt());
    case Variant::Kind::Int64:
        return QString::number(v.toInt64());
    case Variant::Kind::Double: {
        const double d = v.toDouble();
        if (m_type == ftDate)
            return dateToStr(d, fs);
        if (m_type == ftTime)
            return timeToStr(d, fs);
        if (isDateTimeType(m_type))
            return dateTimeToStr(d, fs);
        return floatToStr(d, fs);
    }
    case Variant::Kind::String:
        return v.toString();
    default:
        return v.toText();
    }
}

QByteArray Field::asBytes() const
{
    const QVariant &v = raw();
    if (!v.isValid())
        return {};
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray();
    return v.toString().toUtf8();
}

qint64 Field::asInteger() const
{
    const Variant v = asVariant();
    return v.isEmptyOrNull() ? 0 : v.toInt64();
}

double Field::asFloat() const
{
    const Variant v = asVariant();
    return v.isEmptyOrNull() ? 0.0 : v.toDouble();
}

int Field::displayWidth() const
{
    if (isStringType(m_type))
        return m_size > 0 ? m_size : 20;
    switch (m_type) {
    case ftBoolean: return 5;
    case ftSmallint: case ftShortint: case ftByte: case ftWord: return 6;
    case ftInteger: case ftAutoInc: case ftLongWord: return 11;
    case ftLargeint: return 15;
    case ftDate: case ftTime: return 10;
    case ftDateTime: case ftTimeStamp: return 20;
    default: return 10;
    }
}

// ---- Query ----

Query::Query(Connection *connection)
{
    setConnection(connection);
}

Query::~Query()
{
    if (m_master)
        std::erase(m_master->m_details, this);
    for (Query *detail : m_details) {
        detail->m_master = nullptr;
        detail->m_links.clear();
    }
    if (m_connection)
        m_connection->removeDestroyListener(this);
}

void Query::setConnection(Connection *connection)
{
    if (m_connection == connection)
        return;
    if (m_connection)
        m_connection->removeDestroyListener(this);
    m_connection = connection;
    if (m_connection)
        m_connection->addDestroyListener(this, [this] { m_connection = nullptr; });
}

void Query::setSql(const QString &sql)
{
    close();
    m_sql = sql;
    const ParsedSql parsed = parseSqlParams(sql);
    m_markers = parsed.names;
    m_sentText = parsed.text;
    Params fresh;
    for (const QString &name : m_markers) {
        Param &p = fresh.add(name);
        if (const Param *old = m_params.find(name)) {
            p.dataType = old->dataType;
            p.value = old->value;
            p.nullable = old->nullable;
        }
    }
    m_params = fresh;
}

void Query::checkActive() const
{
    if (!m_active)
        throw Error(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

QSqlDatabase Query::database() const
{
    if (!m_connection)
        throw Error(QStringLiteral("The query has no connection"));
    if (!m_connection->isOpen())
        throw Error(QStringLiteral("The connection is not open"));
    return QSqlDatabase::database(m_connection->qtConnectionName(), false);
}

void Query::execute(QSqlQuery &q, bool prepared) const
{
    bool ok;
    if (m_markers.isEmpty()) {
        ok = q.exec(m_sentText);
    } else {
        if (m_params.count() < m_markers.size())
            throw Error(QStringLiteral("No value given for parameter '%1'")
                            .arg(m_markers.at(m_params.count())));
        if (!prepared && !q.prepare(m_sentText))
            throw Error(sqlErrorText(q.lastError()));
        // Positional: the n-th parameter serves the n-th marker; extra ones are not sent.
        for (int i = 0; i < m_markers.size(); ++i)
            q.bindValue(i, bindValue(m_params[i]));
        ok = q.exec();
    }
    if (!ok)
        throw Error(sqlErrorText(q.lastError()));
}

void Query::fetch()
{
    QSqlDatabase db = database();
    if (m_sentText.trimmed().isEmpty())
        throw Error(QStringLiteral("The query has no text"));

    const bool odbc = db.driverName() == QLatin1String("QODBC");
    const StatementTimer timer;
    // A text with parameters runs again for every package: its statement is prepared once
    // and kept by the connection between runs.
    const bool keep = !m_markers.isEmpty();
    std::unique_ptr<QSqlQuery> statement = keep ? m_connection->takeStatement(m_sentText) : nullptr;
    const bool prepared = statement != nullptr;
    if (!statement) {
        statement = std::make_unique<QSqlQuery>(db);
        statement->setForwardOnly(true);
        statement->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    }
    QSqlQuery &q = *statement;
    execute(q, prepared);
    // A batch may report row counts before its first result set.
    while (!q.isSelect()) {
        if (!q.nextResult()) {
            if (q.lastError().isValid())
                throw Error(sqlErrorText(q.lastError()));
            throw Error(QStringLiteral("The query returned no result set"));
        }
    }

    const QSqlRecord rec = q.record();
    const int n = rec.count();
    std::vector<QVector<QVariant>> rows;
    while (q.next()) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i)
            if (!q.isNull(i))
                row[i] = q.value(i);
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid())
        throw Error(sqlErrorText(q.lastError()));
    q.finish();
    timer.done(m_sql, m_params);
    if (keep)
        m_connection->keepStatement(m_sentText, std::move(statement));

    struct Column { QString name; FieldType type; int size; };
    std::vector<Column> cols;
    for (int i = 0; i < n; ++i) {
        const QSqlField f = rec.field(i);
        FieldType type = typeOfField(f, odbc);
        if (!odbc)
            type = typeFromValues(rows, i, type);
        const int size = isStringType(type) && f.length() > 0 ? f.length() : 0;
        cols.push_back({f.name(), type, size});
    }

    // Field objects survive a new fetch of the same columns, so holders of them stay valid.
    bool same = int(m_fields.size()) == n;
    for (int i = 0; same && i < n; ++i)
        same = m_fields[i]->m_name == cols[i].name;
    if (same) {
        for (int i = 0; i < n; ++i) {
            m_fields[i]->m_type = cols[i].type;
            m_fields[i]->m_size = cols[i].size;
        }
    } else {
        m_fields.clear();
        for (int i = 0; i < n; ++i)
            m_fields.push_back(std::unique_ptr<Field>(
                new Field(this, i, cols[i].name, cols[i].type, cols[i].size)));
    }

    m_rows = std::move(rows);
    ++m_fetch;
    m_row = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
}

void Query::open()
{
    if (m_active)
        return;
    if (m_beforeOpen)
        m_beforeOpen(*this);
    linkMaster();
    fetch();
    m_active = true;
    doAfterOpen();
    scrolled();
}

void Query::close()
{
    if (!m_active)
        return;
    doBeforeClose();
    m_active = false;
    m_rows.clear();
    m_row = -1;
    m_bof = m_eof = true;
}

void Query::requery()
{
    if (!m_active) {
        open();
        return;
    }
    try {
        fetch();
    } catch (...) {
        m_active = false;
        m_rows.clear();
        m_row = -1;
        m_bof = m_eof = true;
        throw;
    }
    scrolled();
}

int Query::execSQL()
{
    QSqlDatabase db = database();
    const StatementTimer timer;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    execute(q, false);
    const int affected = q.numRowsAffected();
    q.finish();
    timer.done(m_sql, m_params);
    return affected;
}

void setStatementObserver(StatementObserver observer)
{
    g_statementObserver = std::move(observer);
}

int Query::recordCount() const
{
    return m_active ? int(m_rows.size()) : 0;
}

void Query::first()
{
    checkActive();
    m_row = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    scrolled();
}

void Query::next()
{
    checkActive();
    if (m_row + 1 < int(m_rows.size())) {
        ++m_row;
        m_bof = m_eof = false;
        scrolled();
    } else {
        m_eof = true;
    }
}

void Query::prior()
{
    checkActive();
    if (m_row > 0) {
        --m_row;
        m_bof = m_eof = false;
        scrolled();
    } else {
        m_bof = true;
    }
}

void Query::last()
{
    checkActive();
    m_row = int(m_rows.size()) - 1;
    m_eof = true;
    m_bof = m_rows.empty();
    scrolled();
}

bool Query::eof() const
{
    return !m_active || m_eof;
}

bool Query::bof() const
{
    return !m_active || m_bof;
}

int Query::recNo() const
{
    return m_active && m_row >= 0 ? m_row + 1 : 0;
}

Bookmark Query::bookmark() const
{
    if (!m_active || m_row < 0)
        return {};
    return {m_fetch, m_row};
}

bool Query::bookmarkValid(const Bookmark &b) const
{
    return m_active && !b.isNull() && b.fetch == m_fetch && b.row >= 0
        && b.row < int(m_rows.size());
}

void Query::gotoBookmark(const Bookmark &b)
{
    checkActive();
    if (!bookmarkValid(b))
        throw Error(QStringLiteral("Record not found"));
    m_row = b.row;
    m_bof = m_eof = false;
    scrolled();
}

Field &Query::field(int index)
{
    if (index < 0 || index >= int(m_fields.size()))
        throw Error(QStringLiteral("Field index out of range: %1").arg(index));
    return *m_fields[index];
}

const Field &Query::field(int index) const
{
    return const_cast<Query *>(this)->field(index);
}

Field *Query::findField(const QString &name)
{
    for (auto &f : m_fields)
        if (sameText(f->m_name, name))
            return f.get();
    return nullptr;
}

const Field *Query::findField(const QString &name) const
{
    return const_cast<Query *>(this)->findField(name);
}

Field &Query::fieldByName(const QString &name)
{
    if (Field *f = findField(name))
        return *f;
    throw Error(QStringLiteral("Field '%1' not found").arg(name));
}

QStringList Query::fieldNames() const
{
    QStringList out;
    for (const auto &f : m_fields)
        out << f->m_name;
    return out;
}

std::optional<FieldDef> Query::findFieldDef(const QString &name) const
{
    if (const Field *f = findField(name))
        return FieldDef{f->m_name, f->m_type, f->m_size};
    return std::nullopt;
}

void Query::setMaster(Query *master)
{
    if (master == this)
        throw Error(QStringLiteral("A query cannot be its own master"));
    for (Query *m = master; m; m = m->m_master)
        if (m == this)
            throw Error(QStringLiteral("Circular master link"));
    if (m_master == master)
        return;
    if (m_master)
        std::erase(m_master->m_details, this);
    m_master = master;
    m_links.clear();
    if (m_master) {
        m_master->m_details.push_back(this);
        if (m_active && m_master->isActive()) {
            // A new link while open: re-read the linked values now.
            QStringList links;
            for (const Param &p : m_params)
                if (m_master->findField(p.name) && !links.contains(p.name, Qt::CaseInsensitive))
                    links << p.name;
            m_links = links;
            masterChanged();
        }
    }
}

void Query::linkMaster()
{
    m_links.clear();
    if (!m_master || !m_master->isActive())
        return;
    for (Param &p : m_params) {
        const Field *f = m_master->findField(p.name);
        if (!f)
            continue;
        if (!m_links.contains(p.name, Qt::CaseInsensitive))
            m_links << p.name;
        p.value = f->asVariant();
    }
}

void Query::masterChanged()
{
    if (!m_active || m_links.isEmpty() || !m_master || !m_master->isActive() || m_params.isEmpty())
        return;
    bool differs = false;
    for (const Param &p : m_params) {
        if (!m_links.contains(p.name, Qt::CaseInsensitive))
            continue;
        const Field *f = m_master->findField(p.name);
        if (!f)
            continue;
        const bool decimal = f->dataType() == ftBCD || f->dataType() == ftFMTBcd;
        if (decimal ? p.value.toText() != f->asString() : !sameValue(p.value, f->asVariant())) {
            differs = true;
            break;
        }
    }
    if (!differs)
        return;
    for (Param &p : m_params) {
        if (!m_links.contains(p.name, Qt::CaseInsensitive))
            continue;
        if (const Field *f = m_master->findField(p.name))
            p.value = f->asVariant();
    }
    requery();
}

void Query::scrolled()
{
    if (m_afterScroll)
        m_afterScroll(*this);
    // A detail may be destroyed or re-linked by the hooks it runs; work on a copy.
    const std::vector<Query *> details = m_details;
    for (Query *detail : details)
        if (std::find(m_details.begin(), m_details.end(), detail) != m_details.end())
            detail->masterChanged();
}

// ---- Command ----

Command::Command(Connection *connection)
{
    setConnection(connection);
}

Command::~Command()
{
    if (m_connection)
        m_connection->removeDestroyListener(this);
}

void Command::setConnection(Connection *connection)
{
    if (m_connection == connection)
        return;
    if (m_connection)
        m_connection->removeDestroyListener(this);
    m_connection = connection;
    if (m_connection)
        m_connection->addDestroyListener(this, [this] { m_connection = nullptr; });
}

void Command::execute()
{
    if (!m_connection)
        throw Error(QStringLiteral("The command has no connection"));
    if (!m_connection->isOpen())
        throw Error(QStringLiteral("The connection is not open"));
    QSqlDatabase db = QSqlDatabase::database(m_connection->qtConnectionName(), false);
    const QStringList statements = m_connection->runsOneStatementPerCall()
        ? splitSqlStatements(m_text)
        : QStringList{m_text};
    for (const QString &statement : statements) {
        if (statement.trimmed().isEmpty())
            continue;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(statement))
            throw Error(sqlErrorText(q.lastError()));
        // Results of a batch are read to the end so that a later error is not missed.
        while (q.nextResult()) {
        }
        if (q.lastError().isValid())
            throw Error(sqlErrorText(q.lastError()));
        q.finish();
    }
}

} // namespace tw::db
