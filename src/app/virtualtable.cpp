#include "app/virtualtable.h"

#include "base/codepage.h"
#include "base/formatsettings.h"

namespace tw::app {

namespace {

constexpr int kDefaultStringSize = 20;

} // namespace

// --- VtField ---

bool VtField::isNull() const
{
    const auto *row = m_table->currentRow();
    return !row || m_index >= row->size() || !(*row)[m_index].has_value();
}

Variant VtField::asVariant() const
{
    if (isNull())
        return Variant::null();
    return Variant(*(*m_table->currentRow())[m_index]);
}

QString VtField::asString() const
{
    if (isNull())
        return {};
    return *(*m_table->currentRow())[m_index];
}

QByteArray VtField::asBytes() const
{
    return codepage::toAnsi(asString());
}

void VtField::setValue(const Variant &value)
{
    m_table->checkEditing();
    if (value.isEmptyOrNull()) {
        m_table->bufferValue(m_index).reset();
        return;
    }
    setAsString(value.toString(FormatSettings::current()));
}

void VtField::setAsString(const QString &text)
{
    m_table->checkEditing();
    m_table->bufferValue(m_index) = m_size > 0 ? text.left(m_size) : text;
}

// --- TVirtualTable ---

TVirtualTable::TVirtualTable()
{
    addFieldDef(QStringLiteral("id1"));
    open();
    append();
    fieldByName(QStringLiteral("id1")).setAsString(QStringLiteral("128698"));
    post();
}

void TVirtualTable::checkActive() const
{
    if (m_state == State::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TVirtualTable::checkEditing() const
{
    if (m_state != State::Insert && m_state != State::Edit)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
}

void TVirtualTable::clearFieldDefs()
{
    const QVector<VtFieldDef> old = m_defs;
    m_defs.clear();
    reopenKeepingRows(old);
}

void TVirtualTable::addFieldDef(const QString &name, db::FieldType type, int size)
{
    if (name.isEmpty())
        throw EDatabaseError(QStringLiteral("Field name missing"));
    for (const VtFieldDef &d : m_defs)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            throw EDatabaseError(QStringLiteral("Duplicate name '%1' in %2").arg(name, QStringLiteral("TFieldDefs")));
    if (type == db::ftUnknown) {
        type = db::ftString;
        size = kDefaultStringSize;
    }
    const QVector<VtFieldDef> old = m_defs;
    m_defs.append(VtFieldDef{name, type, size});
    reopenKeepingRows(old);
}

void TVirtualTable::reopenKeepingRows(const QVector<VtFieldDef> &oldDefs)
{
    if (m_state == State::Inactive)
        return;
    // Closing cancels a pending insert or edit, as for any dataset.
    const QVector<Row> oldRows = m_rows;
    close();
    m_rows.clear();
    for (const Row &old : oldRows) {
        Row row(m_defs.size());
        for (int i = 0; i < m_defs.size(); ++i) {
            for (int k = 0; k < oldDefs.size() && k < old.size(); ++k) {
                if (oldDefs[k].name.compare(m_defs[i].name, Qt::CaseInsensitive) == 0) {
                    if (old[k] && m_defs[i].size > 0)
                        row[i] = old[k]->left(m_defs[i].size);
                    else
                        row[i] = old[k];
                    break;
                }
            }
        }
        m_rows.append(row);
    }
    open();
}

void TVirtualTable::rebuildFields()
{
    m_fields.clear();
    for (int i = 0; i < m_defs.size(); ++i)
        m_fields.push_back(std::unique_ptr<VtField>(
            new VtField(this, i, m_defs[i].name, m_defs[i].dataType, m_defs[i].size)));
}

void TVirtualTable::open()
{
    if (m_state != State::Inactive)
        return;
    rebuildFields();
    m_state = State::Browse;
    setPosition(m_rows.isEmpty() ? -1 : 0);
    doAfterOpen();
}

void TVirtualTable::close()
{
    if (m_state == State::Inactive)
        return;
    doBeforeClose();
    cancel();
    m_state = State::Inactive;
    m_fields.clear();
    m_row = -1;
    m_bof = m_eof = true;
}

void TVirtualTable::clear()
{
    checkActive();
    cancel();
    m_rows.clear();
    setPosition(-1);
}

void TVirtualTable::insert()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    m_buffer = Row(m_defs.size());
    m_insertAt = m_row < 0 ? 0 : m_row;
    m_state = State::Insert;
}

void TVirtualTable::append()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    m_buffer = Row(m_defs.size());
    m_insertAt = int(m_rows.size());
    m_state = State::Insert;
}

void TVirtualTable::edit()
{
    checkActive();
    if (m_state == State::Insert || m_state == State::Edit)
        return;
    if (m_rows.isEmpty()) {
        insert();
        return;
    }
    m_buffer = m_rows[m_row];
    m_state = State::Edit;
}

void TVirtualTable::post()
{
    checkActive();
    if (m_state == State::Insert) {
        m_rows.insert(m_insertAt, m_buffer);
        m_state = State::Browse;
        setPosition(m_insertAt);
    } else if (m_state == State::Edit) {
        m_rows[m_row] = m_buffer;
        m_state = State::Browse;
    }
    m_buffer.clear();
}

void TVirtualTable::cancel()
{
    if (m_state == State::Insert || m_state == State::Edit)
        m_state = State::Browse;
    m_buffer.clear();
}

const TVirtualTable::Row *TVirtualTable::currentRow() const
{
    if (m_state == State::Insert || m_state == State::Edit)
        return &m_buffer;
    if (m_state == State::Inactive || m_row < 0 || m_row >= m_rows.size())
        return nullptr;
    return &m_rows[m_row];
}

std::optional<QString> &TVirtualTable::bufferValue(int index)
{
    if (index >= m_buffer.size())
        m_buffer.resize(index + 1);
    return m_buffer[index];
}

VtField &TVirtualTable::field(int index)
{
    checkActive();
    if (index < 0 || index >= fieldCount())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *m_fields[size_t(index)];
}

const VtField &TVirtualTable::field(int index) const
{
    return const_cast<TVirtualTable *>(this)->field(index);
}

VtField *TVirtualTable::findField(const QString &name)
{
    for (auto &f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

const VtField *TVirtualTable::findField(const QString &name) const
{
    return const_cast<TVirtualTable *>(this)->findField(name);
}

VtField &TVirtualTable::fieldByName(const QString &name)
{
    if (VtField *f = findField(name))
        return *f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

std::optional<db::FieldDef> TVirtualTable::findFieldDef(const QString &name) const
{
    for (const db::FieldDef &d : m_defs)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            return d;
    return std::nullopt;
}

QStringList TVirtualTable::fieldNames() const
{
    QStringList names;
    for (const auto &f : m_fields)
        names.append(f->fieldName());
    return names;
}

int TVirtualTable::recordCount() const
{
    return isActive() ? int(m_rows.size()) : 0;
}

void TVirtualTable::setPosition(int row)
{
    m_row = row;
    m_bof = m_eof = m_rows.isEmpty();
}

void TVirtualTable::first()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    setPosition(m_rows.isEmpty() ? -1 : 0);
    m_bof = true;
}

void TVirtualTable::next()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    m_bof = false;
    if (m_row + 1 < m_rows.size())
        ++m_row;
    else
        m_eof = true;
}

void TVirtualTable::prior()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    m_eof = false;
    if (m_row > 0)
        --m_row;
    else
        m_bof = true;
}

void TVirtualTable::last()
{
    checkActive();
    if (m_state != State::Browse)
        post();
    setPosition(m_rows.isEmpty() ? -1 : int(m_rows.size()) - 1);
    m_eof = true;
}

int TVirtualTable::recNo() const
{
    return isActive() && m_row >= 0 ? m_row + 1 : 0;
}

db::Bookmark TVirtualTable::bookmark() const
{
    if (!isActive() || m_row < 0)
        return {};
    return {1, m_row};
}

bool TVirtualTable::bookmarkValid(const db::Bookmark &b) const
{
    return isActive() && !b.isNull() && b.row >= 0 && b.row < m_rows.size();
}

void TVirtualTable::gotoBookmark(const db::Bookmark &b)
{
    if (!bookmarkValid(b))
        throw EDatabaseError(QStringLiteral("Record not found"));
    if (m_state != State::Browse)
        post();
    m_row = b.row;
    m_bof = m_eof = false;
}

void fillDocumentRow(TVirtualTable &vt, const DocumentParameters &parameters)
{
    vt.clearFieldDefs();
    if (!parameters.isEmpty())
        vt.addFieldDef(parameters.first().first);
    vt.clear();
    vt.insert();
    if (!parameters.isEmpty())
        vt.fieldByName(parameters.first().first).setValue(parameters.first().second);
    vt.post();
    for (qsizetype i = 1; i < parameters.size(); ++i) {
        vt.addFieldDef(parameters[i].first);
        vt.edit();
        vt.fieldByName(parameters[i].first).setValue(parameters[i].second);
        vt.post();
    }
}

} // namespace tw::app
