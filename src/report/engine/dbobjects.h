#pragma once

#include "script/classregistry.h"

#include <memory>

namespace tw {

class TfrxCustomDataset;
namespace db {
class DataSet;
class DataField;
} // namespace db

// A field of a report query as scripts see it. It names the field rather than holding it,
// so it stays valid when the query is fetched again; the data is read-only.
class TField : public TObject {
    TW_OBJECT(TField)
    TField(TfrxCustomDataset *owner, const QString &fieldName);
    void ScriptFree() override {} // owned by its dataset

    const QString &FieldName() const { return m_name; }
    // The field at the current row; "Field 'name' not found" when the data has no such
    // field (or is closed).
    db::DataField &field() const;

    Variant AsVariant() const;
    QString AsString() const;
    qint64 AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    bool IsNull() const;

private:
    TfrxCustomDataset *m_owner;
    QString m_name;
};

class TDataSet;

// The field list of a query, by position.
class TFields : public TObject {
    TW_OBJECT(TFields)
    explicit TFields(TfrxCustomDataset *owner) : m_owner(owner) {}
    void ScriptFree() override {}
    int Count() const;
    TField *Field(int index) const; // "List index out of bounds (n)" outside the list

private:
    TfrxCustomDataset *m_owner;
};

// The platform dataset under a report query, as scripts see it.
class TDataSet : public TObject {
    TW_OBJECT(TDataSet)
    explicit TDataSet(TfrxCustomDataset *owner);
    ~TDataSet() override;
    void ScriptFree() override {}
    TfrxCustomDataset *owner() const { return m_owner; }
    TFields *Fields() const { return m_fields.get(); }

private:
    TfrxCustomDataset *m_owner;
    std::unique_ptr<TFields> m_fields;
};

// The script classes TDataSet, TFields and TField with their members, and TLocateOptions.
void fsRegisterDBClasses(TfsScript *script);

} // namespace tw
