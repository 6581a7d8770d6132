#pragma once

#include "base/error.h"
#include "base/variant.h"
#include "db/fieldtype.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tw::app {

// Errors of the table's field definitions and data operations.
TW_DECLARE_ERROR(EDatabaseError, Error)

class TVirtualTable;

// A field of the open table, read and written at its current row.
class VtField {
public:
    const QString &fieldName() const { return m_name; }
    db::FieldType dataType() const { return m_type; }
    int size() const { return m_size; }
    int index() const { return m_index; }
    int displayWidth() const { return m_size; }
    bool isBlob() const { return false; }

    bool isNull() const;
    // String or Null.
    Variant asVariant() const;
    // "" for an empty field.
    QString asString() const;
    QString displayText() const { return asString(); }

    // Only in insert or edit state. Null and Empty empty the field; other values are stored
    // as their text in the current regional settings, cut to the field size.
    void setValue(const Variant &value);
    void setAsString(const QString &text);
    void clear() { setValue(Variant::null()); }

private:
    friend class TVirtualTable;
    VtField(TVirtualTable *t, int index, QString name, db::FieldType type, int size)
        : m_table(t), m_index(index), m_name(std::move(name)), m_type(type), m_size(size) {}

    TVirtualTable *m_table;
    int m_index;
    QString m_name;
    db::FieldType m_type;
    int m_size;
};

struct VtFieldDef {
    QString name;
    db::FieldType dataType = db::ftUnknown;
    int size = 0;
};

// The one-row parameter table of a document: an in-memory table whose fields are the
// document's parameters. Definitions added without a type become strings of 20 characters.
class TVirtualTable {
public:
    enum class State { Inactive, Browse, Insert, Edit };
    using Hook = std::function<void(TVirtualTable &)>;

    // As stored with the main window: open, one field "id1", one row "128698".
    TVirtualTable();
    TVirtualTable(const TVirtualTable &) = delete;
    TVirtualTable &operator=(const TVirtualTable &) = delete;

    // Field definitions. Any change while open reopens the table with the rows kept,
    // their values matched to the new fields by name.
    void clearFieldDefs();
    // EDatabaseError "Field name missing" / "Duplicate name '%s' in TFieldDefs".
    void addFieldDef(const QString &name, db::FieldType type = db::ftUnknown, int size = 0);
    const QVector<VtFieldDef> &fieldDefs() const { return m_defs; }

    void open();
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Cancels a pending insert or edit and removes every row; the table stays open.
    void clear();
    void insert();
    void append();
    void edit();
    void post();
    void cancel();

    int fieldCount() const { return int(m_fields.size()); }
    VtField &field(int index);
    const VtField &field(int index) const;
    VtField *findField(const QString &name);
    const VtField *findField(const QString &name) const;
    // EDatabaseError "Field 'name' not found".
    VtField &fieldByName(const QString &name);
    QStringList fieldNames() const;

    // Cursor over the stored rows.
    int recordCount() const;
    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const; // 1 for the first row; 0 when there is none

    // A row index; -1 is no bookmark.
    using Bookmark = int;
    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark b) const;
    void gotoBookmark(Bookmark b); // EDatabaseError "Record not found"
    static int compareBookmarks(Bookmark a, Bookmark b);

    // For a report dataset that watches the table; a caller installing its own hook keeps
    // the previous one and calls it.
    void setAfterOpen(Hook h) { m_afterOpen = std::move(h); }
    const Hook &afterOpen() const { return m_afterOpen; }
    void setBeforeClose(Hook h) { m_beforeClose = std::move(h); }
    const Hook &beforeClose() const { return m_beforeClose; }

private:
    friend class VtField;
    using Row = QVector<std::optional<QString>>;

    void checkActive() const;
    void checkEditing() const;
    void rebuildFields();
    void reopenKeepingRows(const QVector<VtFieldDef> &oldDefs);
    const Row *currentRow() const;
    std::optional<QString> &bufferValue(int index);
    void setPosition(int row);

    QVector<VtFieldDef> m_defs;
    std::vector<std::unique_ptr<VtField>> m_fields;
    QVector<Row> m_rows;
    State m_state = State::Inactive;
    int m_row = -1;
    bool m_bof = true;
    bool m_eof = true;
    Row m_buffer;       // the row being inserted or edited
    int m_insertAt = -1;
    Hook m_afterOpen, m_beforeClose;
};

// The report dataset over the parameter table, as the main window holds it; the report
// engine wraps it when a template reads "CUST".
struct ParameterDataset {
    QString UserName = QStringLiteral("CUST");
    TVirtualTable *DataSet = nullptr;
    bool CloseDataSource = false;
    bool BCDToCurrency = false;
};

} // namespace tw::app
