#pragma once

#include "db/dataset.h"
#include "report/engine/datasets.h"
#include "report/xml/component.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace tw {

class TField;
class TStrings;
class TDataSet;

// The platform's field types under the names templates store ("ftInteger" ...).
const EnumInfo &dbFieldTypeEnum();

// One parameter of a report query: the value sent for the markers of that name.
class TfrxParamItem : public Object {
    TW_OBJECT(TfrxParamItem)
    QString Name;
    db::FieldType DataType = db::ftUnknown;
    QString Expression; // evaluated each time the query opens; empty sends Value
    Variant Value = Variant::null();
};

// A query's parameter list, derived from the markers of its SQL.
class TfrxParams : public Object, public TfrxCollection {
    TW_OBJECT(TfrxParams)
    bool IgnoreDuplicates = false;

    TfrxParamItem *Add();
    void Clear() { m_items.clear(); }
    TfrxParamItem *Items(int index) const { return m_items.at(size_t(index)).get(); }
    // The first item of that name (ignoring case), or nullptr.
    TfrxParamItem *Find(const QString &name) const;
    int IndexOf(const QString &name) const;
    // A new list with one item per marker of the text in order (a name seen before is
    // skipped with IgnoreDuplicates); an item takes the type, value and expression of the
    // old item of its name.
    void UpdateParams(const QString &sql);
    // The same from the marker names themselves.
    void UpdateParams(const QStringList &markerNames);

    int Count() const override { return int(m_items.size()); }
    Object *Item(int index) const override { return Items(index); }
    Object *AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

private:
    std::vector<std::unique_ptr<TfrxParamItem>> m_items;
};

// A report dataset that owns its platform dataset and may follow a master dataset.
// Query objects and tables close their data at the end of every run.
class TfrxCustomDataset : public TfrxDBDataset {
    TW_OBJECT(TfrxCustomDataset)
    explicit TfrxCustomDataset(Component *owner = nullptr);
    ~TfrxCustomDataset() override;

    TfrxDBDataset *Master() const { return m_master.get(); }
    void SetMaster(TfrxDBDataset *v);
    // "field=param;field=param"; master field names given as aliases are converted.
    const QString &MasterFields() const { return m_masterFields; }
    void SetMasterFields(const QString &v);
    // The pairs with real master field names, as the last SetMasterFields left them.
    const QStringList &MasterFieldPairs() const { return m_masterPairs; }

    QString Filter;
    bool Filtered = false;

    bool Active();
    void SetActive(bool v);
    // The underlying field of that name (ignoring case); "Field 'name' not found" otherwise.
    TField *FieldByName(const QString &name);
    // The field objects scripts see, made on demand and kept while the dataset lives.
    TField *FieldObject(const QString &name);
    TDataSet *DataSetObject();
    void Last();

protected:
    // The underlying dataset follows the master's dataset (null: no master).
    virtual void SetMasterSource(db::DataSet *masterData) { (void)masterData; }
    // Tables take the converted pairs as their master fields; queries ignore them.
    virtual void ApplyMasterFields(const QStringList &pairs) { (void)pairs; }

private:
    TfrxRef<TfrxDBDataset> m_master;
    QString m_masterFields;
    QStringList m_masterPairs;
    std::vector<std::unique_ptr<TField>> m_fieldObjects;
    std::unique_ptr<TDataSet> m_dataSetObject;
};

// A dataset over an SQL text with parameters computed from expressions.
class TfrxCustomQuery : public TfrxCustomDataset {
    TW_OBJECT(TfrxCustomQuery)
    explicit TfrxCustomQuery(Component *owner = nullptr);
    ~TfrxCustomQuery() override;

    // The report-side lines; setting them runs SQLChanged.
    const QStringList &SQL() const { return m_sql; }
    void SetSQL(const QStringList &lines);
    QString SQLSchema;
    TfrxParams &Params() { return m_params; }
    const TfrxParams &Params() const { return m_params; }
    bool IgnoreDupParams() const { return m_params.IgnoreDuplicates; }
    void SetIgnoreDupParams(bool v) { m_params.IgnoreDuplicates = v; }
    // The lines as the TStrings scripts change; every change runs the change rule.
    TStrings *SQLLines();
    // Raises "Parameter "name" not found".
    TfrxParamItem *ParamByName(const QString &name);
    // Parameters are also stored as "Parameters" in the list form; the list read is
    // re-derived from the SQL at once.
    void DefineProperties(TfrxFiler &filer) override;

protected:
    // The change rule: subclasses hand the lines to their platform query and re-derive
    // the parameters.
    virtual void SQLChanged() { m_params.UpdateParams(m_sql.join(QStringLiteral("\r\n"))); }
    QStringList m_sql;
    TfrxParams m_params;

private:
    std::unique_ptr<TStrings> m_sqlLines;
};

// A dataset over one table of the database.
class TfrxCustomTable : public TfrxCustomDataset {
    TW_OBJECT(TfrxCustomTable)
    explicit TfrxCustomTable(Component *owner = nullptr);

    virtual QString TableName() const { return m_tableName; }
    virtual void SetTableName(const QString &v) { m_tableName = v; }
    QString IndexName;
    QString IndexFieldNames;

protected:
    QString m_tableName;
};

// The base of connection objects inside templates.
class TfrxCustomDatabase : public TfrxDialogComponent {
    TW_OBJECT(TfrxCustomDatabase)
    explicit TfrxCustomDatabase(Component *owner = nullptr) : TfrxDialogComponent(owner) {}
    virtual bool Connected() const { return false; }
    virtual void SetConnected(bool) {}
    QString DatabaseName;
    bool LoginPrompt = false;
};

// Registers the query classes by name; idempotent.
void frxRegisterQueryClasses();

} // namespace tw
