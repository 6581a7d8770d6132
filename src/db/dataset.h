#pragma once

#include "base/variant.h"
#include "db/fieldtype.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace tw::db {

// A platform dataset as the report's datasets read it: a cursor over rows with fields.
// The database query and the application's parameter table implement it; a report
// dataset wraps one without owning it.

// Identifies a row of one fetched result; it loses its meaning when the data is fetched
// again. fetch 0: no bookmark.
struct Bookmark {
    quint64 fetch = 0;
    int row = -1;
    bool isNull() const { return fetch == 0; }
};

// A field definition: name, data type and size (characters of string types, else 0).
struct FieldDef {
    QString name;
    FieldType dataType = ftUnknown;
    int size = 0;
};

// A column read at the dataset's current row.
class DataField {
public:
    virtual ~DataField() = default;
    virtual const QString &fieldName() const = 0;
    virtual FieldType dataType() const = 0;
    virtual int size() const = 0;
    virtual int displayWidth() const = 0;
    virtual bool isBlob() const = 0;

    virtual bool isNull() const = 0;
    // Null for a null field.
    virtual Variant asVariant() const = 0;
    // "" for a null field; numbers and dates in the user's format.
    virtual QString asString() const = 0;
    virtual QString displayText() const = 0;
    // Blob content: binary data as it is, text as UTF-8; empty for a null field.
    virtual QByteArray asBytes() const = 0;
};

class DataSet {
public:
    using Notify = std::function<void(DataSet &)>;

    DataSet() = default;
    DataSet(const DataSet &) = delete;
    DataSet &operator=(const DataSet &) = delete;
    virtual ~DataSet() = default;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isActive() const = 0;

    virtual void first() = 0;
    virtual void next() = 0;
    virtual void prior() = 0;
    virtual bool eof() const = 0;
    virtual int recordCount() const = 0;

    // The current row; a null bookmark when closed or without rows.
    virtual Bookmark bookmark() const = 0;
    virtual bool bookmarkValid(const Bookmark &b) const = 0;
    // Raises "Record not found" for a bookmark that is not valid.
    virtual void gotoBookmark(const Bookmark &b) = 0;
    // -1, 0, 1 by row order; a null bookmark sorts first.
    virtual int compareBookmarks(const Bookmark &a, const Bookmark &b) const;
    virtual void freeBookmark(Bookmark &b) const { b = Bookmark(); }

    virtual int fieldCount() const = 0;
    // Without regard to case; null when absent (or, for some datasets, while closed).
    virtual DataField *findField(const QString &name) = 0;
    virtual QStringList fieldNames() const = 0;
    // The definition of that name (without regard to case), also while closed.
    virtual std::optional<FieldDef> findFieldDef(const QString &name) const = 0;

    // Called after every open and before every close. A caller installing its own keeps
    // the previous hook, calls it, and puts it back when done.
    const Notify &afterOpen() const { return m_afterOpen; }
    void setAfterOpen(Notify h) { m_afterOpen = std::move(h); }
    const Notify &beforeClose() const { return m_beforeClose; }
    void setBeforeClose(Notify h) { m_beforeClose = std::move(h); }

    // A token that expires when the dataset is destroyed, for holders that may outlive it.
    std::weak_ptr<const int> life() const { return m_life; }

protected:
    // For implementations: run the hooks (a hook may replace itself while it runs).
    void doAfterOpen();
    void doBeforeClose();

private:
    Notify m_afterOpen, m_beforeClose;
    std::shared_ptr<const int> m_life = std::make_shared<const int>(0);
};

// What a data-aware component points at to reach a dataset (a form's data source).
struct DataSource {
    DataSet *dataSet = nullptr;
};

} // namespace tw::db
