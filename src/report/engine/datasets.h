#pragma once

#include "base/variant.h"
#include "db/dataset.h"
#include "report/model/dialogcomponent.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

namespace tw {

class TfrxReport;

enum TfrxRangeBegin { rbFirst, rbCurrent };
enum TfrxRangeEnd { reLast, reCurrent, reCount };
enum TfrxFieldType { fftNumeric, fftString, fftBoolean };

const EnumInfo &rangeBeginEnum(); // TfrxRangeBegin
const EnumInfo &rangeEndEnum();   // TfrxRangeEnd
const EnumInfo &fieldTypeEnum();  // TfrxFieldType

// Base of every source of rows a report reads: a cursor, values by field name and display
// texts. Every dataset is on the process-wide list from construction to destruction.
class TfrxDataSet : public TfrxDialogComponent {
    TW_OBJECT(TfrxDataSet)
    explicit TfrxDataSet(Component *owner = nullptr);
    ~TfrxDataSet() override;

    // Never empty: the component name until set. A blank name raises "Invalid property value".
    virtual QString UserName() const;
    virtual void SetUserName(const QString &v);
    // A user name that followed the component name (or none yet) follows the new name.
    void SetName(const QString &name) override;

    bool Enabled = true;
    bool OpenDataSource = true;
    bool CloseDataSource = false;
    TfrxRangeBegin RangeBegin = rbFirst;
    TfrxRangeEnd RangeEnd = reLast;
    int RangeEndCount = 0;
    int RecNo = 0;
    TfrxReport *ReportRef = nullptr;

    // Host callbacks (unused by the export itself).
    std::function<void(TfrxDataSet *)> OnFirst, OnNext, OnPrior, OnOpen, OnClose;
    std::function<void(TfrxDataSet *, bool &eof)> OnCheckEOF;

    // Base behaviour: Null, "", width 10, fftNumeric, no fields, no blobs.
    virtual QString GetDisplayText(const QString &fieldName);
    virtual int GetDisplayWidth(const QString &fieldName);
    virtual TfrxFieldType GetFieldType(const QString &fieldName);
    virtual Variant GetValue(const QString &fieldName);
    virtual void Initialize();
    virtual void Finalize();
    virtual void Open();
    virtual void Close();
    // The cursor rules of the ranges (RecNo, reCount and the own end flag).
    virtual void First();
    virtual void Next();
    virtual void Prior();
    virtual bool Eof();
    virtual int FieldsCount();
    virtual bool IsBlobField(const QString &fieldName);
    // RangeEndCount for rbFirst with reCount, else 0.
    virtual int RecordCount();
    // Copies a blob into a TStrings (memo lines) or a TStream; see the implementation.
    virtual void AssignBlobTo(const QString &fieldName, Object *target);
    virtual void GetFieldList(QStringList &list);
    bool HasField(const QString &fieldName);

protected:
    // Where "Field not found" lines go: ReportRef, else the report the dataset lives in.
    TfrxReport *errorReport() const;
    bool m_eof = false; // a reCount range is exhausted

private:
    QString m_userName;
};

// A dataset whose values come from host callbacks. Every data band owns one (with
// RangeEnd reCount) as its counting dataset when it has RowCount but no dataset.
class TfrxUserDataSet : public TfrxDataSet {
    TW_OBJECT(TfrxUserDataSet)
    explicit TfrxUserDataSet(Component *owner = nullptr);

    QStringList Fields;
    std::function<void(const QString &varName, Variant &value)> OnGetValue;
    std::function<void(TfrxDataSet *sender, const QString &varName, Variant &value)> OnNewGetValue;

    // Null, then OnGetValue, then OnNewGetValue.
    Variant GetValue(const QString &fieldName) override;
    QString GetDisplayText(const QString &fieldName) override;
    int FieldsCount() override { return int(Fields.size()); }
    void GetFieldList(QStringList &list) override { list = Fields; }
};

// A dataset over database fields: the visible field names (sorted, without regard to
// case) and field aliases.
class TfrxCustomDBDataSet : public TfrxDataSet {
    TW_OBJECT(TfrxCustomDBDataSet)
    explicit TfrxCustomDBDataSet(Component *owner = nullptr);

    // Lines FieldName=Alias; a name part beginning with '-' hides that field.
    QStringList FieldAliases;
    bool BCDToCurrency = false;

    // The visible names, sorted without regard to case (rebuilt when the data opens).
    QStringList Fields() const;
    int FieldsCount() override { return int(m_fields.size()); }
    // The field name of an alias: the first alias line whose alias equals it (ignoring
    // case) gives its name part; no such line: the text itself.
    QString ConvertAlias(const QString &alias) const;
    // The alias of a field name: the first line whose name part equals it; else the name.
    QString GetAlias(const QString &fieldName) const;
    // The aliases of the visible FieldAliases lines in line order; without aliases the
    // underlying dataset's field names (errors while listing ignored).
    void GetFieldList(QStringList &list) override;
    // The platform dataset read; none here.
    virtual db::DataSet *GetDataSet() const { return nullptr; }

protected:
    struct FieldEntry {
        QString name;      // as listed (the alias)
        QString fieldName; // the database field it reads; empty when there is none
    };
    // Fills Fields from GetFieldList, each entry linked to its database field.
    void rebuildFields(db::DataSet *ds);
    // The entry of that name (without regard to case), or nullptr.
    const FieldEntry *findEntry(const QString &name) const;

    std::vector<FieldEntry> m_fields; // sorted
    QHash<QString, int> m_exact;      // name as listed -> its entry: most lookups spell it so
};

// A report dataset over a platform dataset (the database query, the parameter table):
// DataSet, or the dataset of DataSource. It does not own what it wraps.
class TfrxDBDataset : public TfrxCustomDBDataSet {
    TW_OBJECT(TfrxDBDataset)
    explicit TfrxDBDataset(Component *owner = nullptr);
    ~TfrxDBDataset() override;

    db::DataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(db::DataSet *v);       // clears DataSource
    db::DataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(db::DataSource *v); // clears DataSet
    // DataSet, else the DataSource's dataset, else nullptr (also once DataSet is destroyed).
    db::DataSet *GetDataSet() const override;

    QString GetDisplayText(const QString &fieldName) override;
    int GetDisplayWidth(const QString &fieldName) override;
    TfrxFieldType GetFieldType(const QString &fieldName) override;
    Variant GetValue(const QString &fieldName) override;
    // Raises "DataSet %s is not connected to data" without an underlying dataset; watches
    // its opening and closing until Finalize.
    void Initialize() override;
    // Back to the saved row; closes the data when CloseDataSource; stops watching.
    void Finalize() override;
    void Open() override;
    void Close() override;
    void First() override;
    void Next() override;
    void Prior() override;
    bool Eof() override;
    bool IsBlobField(const QString &fieldName) override;
    int RecordCount() override;
    void AssignBlobTo(const QString &fieldName, Object *target) override;

    // Script helpers: the first row (from the first) whose key fields (separated by ';')
    // equal the values; options: 1 case-insensitive, 2 partial key. Not found: the row
    // stays.
    bool Locate(const QString &keyFields, const Variant &keyValues, int options);
    bool IsEmpty();
    bool Initialized() const { return m_initialized; }

private:
    db::DataSet *ds(); // GetDataSet, or the "not connected" error
    db::DataField *fieldOf(const QString &name);
    void notFound(const QString &fieldName, QString *text = nullptr);
    void unhook();
    void releaseBookmark();

    db::DataSet *m_dataSet = nullptr;
    std::weak_ptr<const int> m_dataSetLife;
    db::DataSource *m_dataSource = nullptr;
    bool m_initialized = false;
    bool m_dbEof = false;
    db::Bookmark m_bookmark;
    db::DataSet *m_hooked = nullptr; // the dataset whose hooks are ours until Finalize
    std::weak_ptr<const int> m_hookedLife;
    db::DataSet::Notify m_savedAfterOpen, m_savedBeforeClose;
};

// Every report dataset alive, in creation order. Guarded by a lock; the callback runs
// with the lock held and may stop the walk by returning false.
void frxForEachDataSet(const std::function<bool(TfrxDataSet *)> &visit);

// Registers the dataset classes by name and installs the data bands' counting datasets;
// idempotent, called by frxRegisterClasses.
void frxRegisterDataSets();

} // namespace tw
