#pragma once

#include "base/error.h"
#include "base/variant.h"
#include "db/dataset.h"
#include "db/fieldtype.h"

#include <QPair>
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
class VtField : public db::DataField {
public:
    const QString &fieldName() const override { return m_name; }
    db::FieldType dataType() const override { return m_type; }
    int size() const override { return m_size; }
    int index() const { return m_index; }
    int displayWidth() const override { return m_size; }
    bool isBlob() const override { return false; }

    bool isNull() const override;
    // String or Null.
    Variant asVariant() const override;
    // "" for an empty field.
    QString asString() const override;
    QString displayText() const override { return asString(); }
    // The text in the system's 8-bit code page.
    QByteArray asBytes() const override;

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

using VtFieldDef = db::FieldDef;

// The one-row parameter table of a document: an in-memory table whose fields are the
// document's parameters. Definitions added without a type become strings of 20 characters.
class TVirtualTable : public db::DataSet {
public:
    enum class State { Inactive, Browse, Insert, Edit };

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

    void open() override;
    void close() override;
    bool isActive() const override { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Cancels a pending insert or edit and removes every row; the table stays open.
    void clear();
    void insert();
    void append();
    void edit();
    void post();
    void cancel();

    int fieldCount() const override { return int(m_fields.size()); }
    VtField &field(int index);
    const VtField &field(int index) const;
    // Fields exist while the table is open; definitions always.
    VtField *findField(const QString &name) override;
    const VtField *findField(const QString &name) const;
    // EDatabaseError "Field 'name' not found".
    VtField &fieldByName(const QString &name);
    QStringList fieldNames() const override;
    std::optional<db::FieldDef> findFieldDef(const QString &name) const override;

    // Cursor over the stored rows.
    int recordCount() const override;
    void first() override;
    void next() override;
    void prior() override;
    void last();
    bool eof() const override { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const; // 1 for the first row; 0 when there is none

    // A row index of the open table (fetch is 1 for every bookmark of the table).
    db::Bookmark bookmark() const override;
    bool bookmarkValid(const db::Bookmark &b) const override;
    void gotoBookmark(const db::Bookmark &b) override; // EDatabaseError "Record not found"

    // The after-open and before-close hooks a report dataset watches the table with are
    // the DataSet's (setAfterOpen, setBeforeClose).

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
};

// A document's parameters in column order: name and value.
using DocumentParameters = QVector<QPair<QString, Variant>>;

// The sequence for one document: clear the definitions; define the first
// parameter; clear; insert; assign; post; then for each further parameter define it, edit,
// assign, post. The table is left with one row holding exactly these parameters. Without
// any parameter the row has no field. Definition errors are raised as they come.
void fillDocumentRow(TVirtualTable &vt, const DocumentParameters &parameters);

} // namespace tw::app
