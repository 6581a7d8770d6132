// Report datasets: the cursor rules, the database dataset over a platform
// dataset, field aliases, errors, the lookup by name and the band's counting dataset.
// The database cases run on SQLite and on PostgreSQL through ODBC (TARNWELL_TEST_PG).
#include "db/database.h"
#include "db/query.h"
#include "report/engine/datasetclasses.h"
#include "report/engine/datasets.h"
#include "report/model/objectmodel.h"
#include "script/classregistry.h"
#include "script/interpreter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tw;

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// ---- An in-memory platform dataset with typed columns ----

class MemTable;

class MemField : public db::DataField {
public:
    MemField(MemTable *t, int index, QString name, db::FieldType type, int size)
        : m_table(t), m_index(index), m_name(std::move(name)), m_type(type), m_size(size) {}
    const QString &fieldName() const override { return m_name; }
    db::FieldType dataType() const override { return m_type; }
    int size() const override { return m_size; }
    int displayWidth() const override { return m_size ? m_size : 7; }
    bool isBlob() const override { return db::isBlobType(m_type); }
    bool isNull() const override { return asVariant().isEmptyOrNull(); }
    Variant asVariant() const override;
    QString asString() const override { return asVariant().toText(); }
    // Distinguishable from the value in the tests.
    QString displayText() const override { return QStringLiteral("<") + asString() + QStringLiteral(">"); }
    QByteArray asBytes() const override { return asString().toLatin1(); }

private:
    MemTable *m_table;
    int m_index;
    QString m_name;
    db::FieldType m_type;
    int m_size;
};

class MemTable : public db::DataSet {
public:
    struct Col {
        QString name;
        db::FieldType type;
        int size;
    };
    QVector<Col> cols;
    QVector<QVector<Variant>> rows;
    int opens = 0, closes = 0;

    void open() override
    {
        if (m_active)
            return;
        m_fields.clear();
        for (int i = 0; i < cols.size(); ++i)
            m_fields.push_back(std::make_unique<MemField>(this, i, cols[i].name, cols[i].type, cols[i].size));
        m_active = true;
        m_row = rows.isEmpty() ? -1 : 0;
        m_eof = rows.isEmpty();
        ++opens;
        doAfterOpen();
    }
    void close() override
    {
        if (!m_active)
            return;
        doBeforeClose();
        m_active = false;
        m_fields.clear();
        ++closes;
    }
    bool isActive() const override { return m_active; }
    void first() override
    {
        m_row = rows.isEmpty() ? -1 : 0;
        m_eof = rows.isEmpty();
    }
    void next() override
    {
        if (m_row + 1 < rows.size())
            ++m_row;
        else
            m_eof = true;
    }
    void prior() override
    {
        m_eof = false;
        if (m_row > 0)
            --m_row;
    }
    bool eof() const override { return !m_active || m_eof; }
    int recordCount() const override { return m_active ? int(rows.size()) : 0; }
    db::Bookmark bookmark() const override { return m_active && m_row >= 0 ? db::Bookmark{1, m_row} : db::Bookmark(); }
    bool bookmarkValid(const db::Bookmark &b) const override { return m_active && !b.isNull() && b.row < rows.size(); }
    void gotoBookmark(const db::Bookmark &b) override
    {
        if (!bookmarkValid(b))
            throw Error(QStringLiteral("Record not found"));
        m_row = b.row;
        m_eof = false;
    }
    int fieldCount() const override { return int(m_fields.size()); }
    db::DataField *findField(const QString &name) override
    {
        for (auto &f : m_fields)
            if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
                return f.get();
        return nullptr;
    }
    QStringList fieldNames() const override
    {
        QStringList n;
        for (const Col &c : cols)
            n << c.name;
        return n;
    }
    std::optional<db::FieldDef> findFieldDef(const QString &name) const override
    {
        for (const Col &c : cols)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return db::FieldDef{c.name, c.type, c.size};
        return std::nullopt;
    }
    int row() const { return m_row; }
    Variant value(int col) const { return m_active && m_row >= 0 ? rows[m_row][col] : Variant::null(); }

private:
    bool m_active = false;
    int m_row = -1;
    bool m_eof = true;
    std::vector<std::unique_ptr<MemField>> m_fields;
};

Variant MemField::asVariant() const
{
    return m_table->value(m_index);
}

// Ten rows: id 1..10, name "n1".."n10", note "x".
void fillTen(MemTable &t)
{
    t.cols = {{QStringLiteral("id"), db::ftInteger, 0},
              {QStringLiteral("name"), db::ftWideString, 20},
              {QStringLiteral("note"), db::ftString, 20}};
    for (int i = 1; i <= 10; ++i)
        t.rows.append({Variant(i), Variant(QStringLiteral("n%1").arg(i)), Variant(QStringLiteral("x"))});
}

QList<int> visitIds(TfrxDataSet &ds, const QString &field = QStringLiteral("id"))
{
    QList<int> ids;
    ds.First();
    while (!ds.Eof() && ids.size() < 100) {
        ids << ds.GetValue(field).toInt();
        ds.Next();
    }
    return ids;
}

class DataSets : public ::testing::Test {
protected:
    void SetUp() override { frxRegisterClasses(); }
};

// ---- Base rules ----

TEST_F(DataSets, UserNameFollowsTheNameAndIsNeverBlank)
{
    TfrxUserDataSet ds;
    ds.SetName(QStringLiteral("Orders"));
    EXPECT_EQ(ds.UserName(), QStringLiteral("Orders"));
    ds.SetName(QStringLiteral("Orders2"));
    EXPECT_EQ(ds.UserName(), QStringLiteral("Orders2"));
    ds.SetUserName(QStringLiteral("Bills"));
    ds.SetName(QStringLiteral("Orders3"));
    EXPECT_EQ(ds.UserName(), QStringLiteral("Bills"));
    try {
        ds.SetUserName(QStringLiteral("  "));
        FAIL() << "a blank user name was accepted";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid property value"));
    }
    EXPECT_EQ(ds.UserName(), QStringLiteral("Bills"));
}

TEST_F(DataSets, UserDataSetCountsWithReCount)
{
    TfrxUserDataSet ds;
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 3;
    ds.OnGetValue = [&](const QString &name, Variant &v) { v = Variant(name + QString::number(ds.RecNo)); };
    EXPECT_EQ(ds.RecordCount(), 3);
    QStringList seen;
    ds.First();
    while (!ds.Eof()) {
        seen << ds.GetDisplayText(QStringLiteral("f"));
        ds.Next();
    }
    EXPECT_EQ(seen, QStringList({QStringLiteral("f0"), QStringLiteral("f1"), QStringLiteral("f2")}));
    EXPECT_EQ(ds.RecNo, 2); // stays on the last row
    ds.RangeEnd = reLast;
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_FALSE(ds.Eof());
    EXPECT_TRUE(ds.GetValue(QStringLiteral("x")).sameAs(Variant(QStringLiteral("x2"))));
}

TEST_F(DataSets, BandWithRowCountThreeVisitsRecNoZeroOneTwo)
{
    TfrxReport report;
    auto *page = new TfrxReportPage(&report);
    auto *band = new TfrxMasterData(page);
    band->SetRowCount(3);
    TfrxDataSet *ds = band->VirtualDataSet();
    ASSERT_NE(ds, nullptr);
    EXPECT_NE(dynamic_cast<TfrxUserDataSet *>(ds), nullptr);
    EXPECT_EQ(ds->Owner(), nullptr);
    EXPECT_EQ(ds->RangeEnd, reCount);
    QList<int> recNos;
    ds->First();
    while (!ds->Eof() && recNos.size() < 10) {
        recNos << ds->RecNo;
        ds->Next();
    }
    EXPECT_EQ(recNos, QList<int>({0, 1, 2}));
    band->SetRowCount(0);
    ds->First();
    EXPECT_TRUE(ds->Eof());
}

// ---- The database dataset over an in-memory platform dataset ----

TEST_F(DataSets, ReCountLimitsTenRowsToTwo)
{
    MemTable t;
    fillTen(t);
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("T"));
    ds.SetDataSet(&t);
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 2;
    ds.Initialize();
    EXPECT_EQ(visitIds(ds), QList<int>({1, 2}));
    ds.Finalize();
}

TEST_F(DataSets, RangeCurrentStartsAndStopsAtTheCurrentRow)
{
    MemTable t;
    fillTen(t);
    t.open();
    t.next();
    t.next(); // id 3
    TfrxDBDataset ds;
    ds.SetDataSet(&t);
    ds.RangeBegin = rbCurrent;
    ds.Initialize();
    EXPECT_EQ(visitIds(ds), QList<int>({3, 4, 5, 6, 7, 8, 9, 10}));
    ds.Finalize();
    EXPECT_EQ(t.row(), 2);

    TfrxDBDataset one;
    one.SetDataSet(&t);
    one.RangeEnd = reCurrent;
    one.Initialize();
    EXPECT_EQ(visitIds(one), QList<int>({1, 2, 3}));
    one.Finalize();
}

TEST_F(DataSets, FinalizeLeavesTheDataOpenWhereItBeganAndPutsTheHooksBack)
{
    MemTable t;
    fillTen(t);
    int afterOpen = 0, beforeClose = 0;
    t.setAfterOpen([&](db::DataSet &) { ++afterOpen; });
    t.setBeforeClose([&](db::DataSet &) { ++beforeClose; });
    t.open();
    t.next();
    t.next();
    t.next(); // id 4
    ASSERT_EQ(afterOpen, 1);

    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("T"));
    ds.SetDataSet(&t);
    ds.RangeBegin = rbCurrent;
    ds.CloseDataSource = false;
    ds.Initialize();
    visitIds(ds);
    EXPECT_TRUE(t.eof());
    ds.Finalize();
    EXPECT_TRUE(t.isActive());
    EXPECT_EQ(t.row(), 3);
    EXPECT_EQ(t.closes, 0);

    // The previous hooks are back and were called through the dataset's own meanwhile.
    t.close();
    EXPECT_EQ(beforeClose, 1);
    t.open();
    EXPECT_EQ(afterOpen, 2);

    // CloseDataSource true closes it at the end.
    ds.CloseDataSource = true;
    ds.RangeBegin = rbFirst;
    ds.Initialize();
    EXPECT_EQ(visitIds(ds).size(), 10);
    ds.Finalize();
    EXPECT_FALSE(t.isActive());
    EXPECT_EQ(beforeClose, 2);
}

TEST_F(DataSets, ReopeningTheDataDuringARunRebuildsTheFields)
{
    MemTable t;
    fillTen(t);
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("T"));
    ds.SetDataSet(&t);
    ds.Initialize();
    ds.First();
    EXPECT_EQ(ds.FieldsCount(), 3);
    EXPECT_TRUE(ds.Initialized());
    t.close(); // before-close: uninitialized
    EXPECT_FALSE(ds.Initialized());
    t.cols.append({QStringLiteral("extra"), db::ftInteger, 0});
    for (auto &r : t.rows)
        r.append(Variant(7));
    t.open(); // after-open: fields again
    EXPECT_EQ(ds.FieldsCount(), 4);
    EXPECT_EQ(ds.GetValue(QStringLiteral("EXTRA")).toInt(), 7);
    ds.Finalize();
}

TEST_F(DataSets, AliasesRenameAndHideFields)
{
    MemTable t;
    t.cols = {{QStringLiteral("id"), db::ftInteger, 0}, {QStringLiteral("note"), db::ftString, 20},
              {QStringLiteral("name"), db::ftString, 20}};
    t.rows.append({Variant(42), Variant(QStringLiteral("secret")), Variant(QStringLiteral("Ann"))});
    TfrxReport report;
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("Q"));
    ds.SetDataSet(&t);
    ds.FieldAliases = {QStringLiteral("id=Number"), QStringLiteral("-note=note"), QStringLiteral("name=name")};
    ds.ReportRef = &report;
    ds.Initialize();
    ds.First();
    QStringList list;
    ds.GetFieldList(list);
    EXPECT_EQ(list, QStringList({QStringLiteral("Number"), QStringLiteral("name")}));
    EXPECT_EQ(ds.Fields(), QStringList({QStringLiteral("name"), QStringLiteral("Number")})); // sorted
    EXPECT_EQ(ds.GetValue(QStringLiteral("number")).toInt(), 42);
    EXPECT_TRUE(ds.HasField(QStringLiteral("Number")));
    EXPECT_FALSE(ds.HasField(QStringLiteral("id")));
    EXPECT_FALSE(ds.HasField(QStringLiteral("note")));
    EXPECT_EQ(ds.ConvertAlias(QStringLiteral("NUMBER")), QStringLiteral("id"));
    EXPECT_EQ(ds.GetAlias(QStringLiteral("id")), QStringLiteral("Number"));
    EXPECT_EQ(report.Errors().size(), 0);
    EXPECT_TRUE(ds.GetValue(QStringLiteral("id")).isNull());
    EXPECT_TRUE(ds.GetValue(QStringLiteral("note")).isNull());
    EXPECT_EQ(report.Errors().size(), 2);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("Number")), fftNumeric);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("name")), fftString);
    ds.Finalize();
}

TEST_F(DataSets, ValuesTypesWidthsAndDisplayTexts)
{
    MemTable t;
    t.cols = {{QStringLiteral("w"), db::ftWideString, 30},   {QStringLiteral("s"), db::ftString, 12},
              {QStringLiteral("b"), db::ftBoolean, 0},       {QStringLiteral("big"), db::ftLargeint, 0},
              {QStringLiteral("bcd"), db::ftFMTBcd, 0},      {QStringLiteral("memo"), db::ftMemo, 0},
              {QStringLiteral("bin"), db::ftBlob, 0},        {QStringLiteral("wm"), db::ftWideMemo, 0},
              {QStringLiteral("nul"), db::ftLargeint, 0}};
    t.rows.append({Variant(QStringLiteral("wide")), Variant(QStringLiteral("narrow")), Variant(true),
                   Variant(qint64(5000000000)), Variant(1.234567), Variant(QStringLiteral("line1\r\nline2")),
                   Variant(QStringLiteral("\x01\x02")), Variant(QStringLiteral("Жук")), Variant::null()});
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("V"));
    ds.SetDataSet(&t);
    ds.Initialize();
    ds.First();
    EXPECT_TRUE(ds.GetValue(QStringLiteral("big")).sameAs(Variant(qint64(5000000000))));
    EXPECT_TRUE(ds.GetValue(QStringLiteral("nul")).isNull());
    EXPECT_DOUBLE_EQ(ds.GetValue(QStringLiteral("bcd")).toDouble(), 1.234567);
    ds.BCDToCurrency = true;
    EXPECT_DOUBLE_EQ(ds.GetValue(QStringLiteral("bcd")).toDouble(), 1.2346);
    EXPECT_TRUE(ds.GetValue(QStringLiteral("memo")).sameAs(Variant(QStringLiteral("line1\r\nline2"))));
    EXPECT_TRUE(ds.GetValue(QStringLiteral("wm")).sameAs(Variant(QStringLiteral("Жук"))));
    // Display texts: the value for wide strings, the field's display text for the rest.
    EXPECT_EQ(ds.GetDisplayText(QStringLiteral("w")), QStringLiteral("wide"));
    EXPECT_EQ(ds.GetDisplayText(QStringLiteral("s")), QStringLiteral("<narrow>"));
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("w")), fftString);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("memo")), fftString);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("b")), fftBoolean);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("big")), fftNumeric);
    EXPECT_EQ(ds.GetFieldType(QStringLiteral("unknown")), fftNumeric);
    EXPECT_EQ(ds.GetDisplayWidth(QStringLiteral("s")), 12);
    EXPECT_EQ(ds.GetDisplayWidth(QStringLiteral("unknown")), 10);
    EXPECT_TRUE(ds.IsBlobField(QStringLiteral("memo")));
    EXPECT_TRUE(ds.IsBlobField(QStringLiteral("bin")));
    EXPECT_FALSE(ds.IsBlobField(QStringLiteral("s")));
    EXPECT_EQ(ds.RecordCount(), 1);

    TStringList lines;
    ds.AssignBlobTo(QStringLiteral("memo"), &lines);
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.Get(1), QStringLiteral("line2"));
    TMemoryStream bin;
    ds.AssignBlobTo(QStringLiteral("bin"), &bin);
    EXPECT_EQ(bin.Position(), 0);
    EXPECT_EQ(bin.Bytes(), QByteArray("\x01\x02", 2));
    TMemoryStream wide;
    ds.AssignBlobTo(QStringLiteral("wm"), &wide);
    EXPECT_EQ(wide.Bytes().size(), 6); // three UTF-16 units
    EXPECT_EQ(wide.Position(), 0);
    ds.Finalize();

    // Definitions answer the width while there is no field object.
    t.close();
    EXPECT_EQ(ds.GetDisplayWidth(QStringLiteral("W")), 30);
    EXPECT_EQ(ds.GetDisplayWidth(QStringLiteral("big")), 15);
    EXPECT_EQ(ds.GetDisplayText(QStringLiteral("w")).isEmpty(), false);
}

TEST_F(DataSets, DisplayTextOfAClosedSourceNamesTheField)
{
    MemTable t;
    fillTen(t);
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("T"));
    ds.SetDataSet(&t);
    ds.Initialize();
    ds.First();
    ds.Finalize();
    // Opening by an unrelated close: the dataset opens it again when read.
    EXPECT_EQ(ds.GetDisplayText(QStringLiteral("name")), QStringLiteral("n1"));
}

TEST_F(DataSets, UnknownFieldGivesNullAndOneErrorLine)
{
    MemTable t;
    fillTen(t);
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    auto *ds = new TfrxDBDataset(data);
    ds->SetName(QStringLiteral("CUST"));
    ds->SetDataSet(&t);
    report.DataSets().Add(ds);
    report.DataSets().Initialize();
    EXPECT_EQ(ds->ReportRef, &report);
    report.CurObject = QStringLiteral("Memo1");
    EXPECT_TRUE(ds->GetValue(QStringLiteral("nope")).isNull());
    ASSERT_EQ(report.Errors().size(), 1);
    EXPECT_EQ(report.Errors().at(0), QStringLiteral("Memo1: Field not found: CUST.\"nope\""));
    EXPECT_EQ(ds->GetDisplayText(QStringLiteral("nope")), QStringLiteral("Field not found: CUST.\"nope\""));
    EXPECT_EQ(report.Errors().size(), 1); // the same line is kept once
    report.DataSets().Finalize();
}

TEST_F(DataSets, NotConnectedDataSetFailsToInitialize)
{
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("frxDBDataset1"));
    try {
        ds.Initialize();
        FAIL() << "Initialize without a dataset";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("DataSet frxDBDataset1 is not connected to data"));
    }
    // A dataset that went away is no dataset.
    auto t = std::make_unique<MemTable>();
    ds.SetDataSet(t.get());
    ds.Initialize();
    t.reset();
    EXPECT_EQ(ds.GetDataSet(), nullptr);
    EXPECT_THROW(ds.First(), Error);
    ds.Finalize();
}

TEST_F(DataSets, DataSourceAndDataSetClearEachOther)
{
    MemTable a, b;
    db::DataSource src{&b};
    TfrxDBDataset ds;
    ds.SetDataSet(&a);
    EXPECT_EQ(ds.GetDataSet(), &a);
    ds.SetDataSource(&src);
    EXPECT_EQ(ds.DataSet(), nullptr);
    EXPECT_EQ(ds.GetDataSet(), &b);
    ds.SetDataSet(&a);
    EXPECT_EQ(ds.DataSource(), nullptr);
}

// ---- Names: the report's DataSets and the global list ----

TEST_F(DataSets, DatasetAndFieldResolveWhateverTheCase)
{
    MemTable t;
    t.cols = {{QStringLiteral("id1"), db::ftString, 20}};
    t.rows.append({Variant(QStringLiteral("128698"))});
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    auto *cust = new TfrxDBDataset(data);
    cust->SetName(QStringLiteral("CUST"));
    cust->SetDataSet(&t);
    report.DataSets().Add(cust);
    report.DataSets().Initialize();

    for (const char *name : {"CUST.\"id1\"", "cust.\"ID1\"", "Cust.\"Id1\""}) {
        TfrxDataSet *ds = nullptr;
        QString field;
        report.GetDatasetAndField(QString::fromLatin1(name), ds, field);
        ASSERT_EQ(ds, cust) << name;
        EXPECT_EQ(ds->GetValue(field).toText(), QStringLiteral("128698")) << name;
    }
    TfrxDataSet *ds = cust;
    QString field = QStringLiteral("x");
    report.GetDatasetAndField(QStringLiteral("CUST.id1"), ds, field);
    EXPECT_EQ(ds, nullptr);
    EXPECT_TRUE(field.isEmpty());
    report.GetDatasetAndField(QStringLiteral("Other.\"f\""), ds, field);
    EXPECT_EQ(ds, nullptr);
    EXPECT_EQ(field, QStringLiteral("f"));
    EXPECT_TRUE(report.Errors().isEmpty());
    report.DataSets().Finalize();

    EXPECT_EQ(report.GetAlias(cust), QStringLiteral("CUST"));
    TfrxUserDataSet outside;
    outside.SetName(QStringLiteral("Outside"));
    EXPECT_EQ(report.GetAlias(&outside), QStringLiteral("(dataset is not included in Report.DataSets)"));
    EXPECT_TRUE(report.GetAlias(nullptr).isEmpty());
}

TEST_F(DataSets, TemplateListingCustFindsTheProgramsCustThroughTheGlobalList)
{
    MemTable t;
    t.cols = {{QStringLiteral("id1"), db::ftString, 20}};
    t.rows.append({Variant(QStringLiteral("777"))});

    // A template written by a report that listed a dataset named CUST.
    QByteArray bytes;
    {
        TfrxReport author;
        auto *data = new TfrxDataPage(&author);
        data->SetName(QStringLiteral("Data"));
        TfrxUserDataSet tmp; // outside the template, like the program's
        tmp.SetName(QStringLiteral("CUST"));
        author.DataSets().Add(&tmp);
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        author.SaveToStream(&buf);
    }

    // The program's CUST lives on a form (a plain container), not in any report.
    Component form;
    form.SetName(QStringLiteral("Form1"));
    auto *cust = new TfrxDBDataset(&form);
    cust->SetName(QStringLiteral("CUST"));
    cust->SetDataSet(&t);

    TfrxReport report; // no owner: only the global list can find CUST
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    report.LoadFromStream(&in);
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), cust);
    EXPECT_EQ(report.GetDataset(QStringLiteral("cust")), cust);
    TfrxDataSet *ds = nullptr;
    QString field;
    report.GetDatasetAndField(QStringLiteral("CUST.\"ID1\""), ds, field);
    ASSERT_EQ(ds, cust);
    report.DataSets().Initialize();
    EXPECT_EQ(ds->GetValue(field).toText(), QStringLiteral("777"));
    report.DataSets().Finalize();
}

TEST_F(DataSets, DatasetOwnedByAnotherReportIsNotFound)
{
    TfrxReport other;
    auto *otherData = new TfrxDataPage(&other);
    auto *foreign = new TfrxUserDataSet(otherData);
    foreign->SetName(QStringLiteral("Q1"));
    ASSERT_EQ(foreign->Owner(), &other);

    TfrxReport report;
    auto *page = new TfrxReportPage(&report);
    auto *band = new TfrxMasterData(page);
    band->SetDataSetName(QStringLiteral("q1"));
    EXPECT_EQ(band->DataSet(), nullptr);

    auto *data = new TfrxDataPage(&report);
    auto *own = new TfrxUserDataSet(data);
    own->SetName(QStringLiteral("Q1"));
    band->SetDataSetName(QStringLiteral("q1"));
    EXPECT_EQ(band->DataSet(), own);
    // No match keeps the previous reference; an empty name gives none.
    band->SetDataSetName(QStringLiteral("nothing"));
    EXPECT_EQ(band->DataSet(), own);
    band->SetDataSetName(QString());
    EXPECT_EQ(band->DataSet(), nullptr);

    // A dataset of no report at all is found from any report.
    TfrxUserDataSet free;
    free.SetUserName(QStringLiteral("Free"));
    band->SetDataSetName(QStringLiteral("FREE"));
    EXPECT_EQ(band->DataSet(), &free);

    // Without the global list only the report's DataSets count.
    report.EngineOptions()->UseGlobalDataSetList = false;
    band->SetDataSetName(QString());
    band->SetDataSetName(QStringLiteral("free"));
    EXPECT_EQ(band->DataSet(), nullptr);
    report.DataSets().Add(&free);
    band->SetDataSetName(QStringLiteral("free"));
    EXPECT_EQ(band->DataSet(), &free);
}

TEST_F(DataSets, GlobalListIsInCreationOrder)
{
    QList<TfrxDataSet *> seen;
    TfrxUserDataSet a, b;
    frxForEachDataSet([&](TfrxDataSet *ds) {
        if (ds == &a || ds == &b)
            seen << ds;
        return true;
    });
    EXPECT_EQ(seen, QList<TfrxDataSet *>({&a, &b}));
    {
        TfrxUserDataSet c;
        c.SetUserName(QStringLiteral("Same"));
        a.SetUserName(QStringLiteral("Same"));
        TfrxReport report;
        auto *band = new TfrxMasterData(new TfrxReportPage(&report));
        band->SetDataSetName(QStringLiteral("same"));
        EXPECT_EQ(band->DataSet(), &a); // the first created
    }
    int count = 0;
    frxForEachDataSet([&](TfrxDataSet *) { return ++count < 1; });
    EXPECT_EQ(count, 1); // the walk stops on false
}

TEST_F(DataSets, ClassesAreRegisteredAndPublished)
{
    EXPECT_NE(findClass(QStringLiteral("TfrxDBDataset")), nullptr);
    EXPECT_NE(findClass(QStringLiteral("TfrxUserDataSet")), nullptr);
    const ClassInfo &ci = TfrxDBDataset::staticClassInfo();
    for (const char *p : {"UserName", "CloseDataSource", "OpenDataSource", "RangeBegin", "RangeEnd",
                          "RangeEndCount", "Enabled", "FieldAliases", "BCDToCurrency"})
        EXPECT_NE(ci.findProperty(QString::fromLatin1(p)), nullptr) << p;

    // A template data page with a user dataset loads it back.
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    data->SetName(QStringLiteral("Data"));
    auto *ds = new TfrxDBDataset(data);
    ds->SetName(QStringLiteral("Q1"));
    ds->SetUserName(QStringLiteral("Bill"));
    ds->RangeEnd = reCount;
    ds->RangeEndCount = 4;
    ds->FieldAliases = {QStringLiteral("id=Number"), QStringLiteral("-note=note")};
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    report.SaveToStream(&out);
    TfrxReport loaded;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    loaded.LoadFromStream(&in);
    auto *back = dynamic_cast<TfrxDBDataset *>(loaded.FindObject(QStringLiteral("Q1")));
    ASSERT_NE(back, nullptr) << bytes.toStdString();
    EXPECT_EQ(back->UserName(), QStringLiteral("Bill"));
    EXPECT_EQ(back->RangeEnd, reCount);
    EXPECT_EQ(back->RangeEndCount, 4);
    EXPECT_EQ(back->FieldAliases, ds->FieldAliases);
}

TEST_F(DataSets, ScriptsReachTheDatasetMembers)
{
    fsRegisterClassesRTTI();
    MemTable t;
    fillTen(t);
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("T"));
    ds.SetDataSet(&t);
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 3;

    TfsScript s;
    s.AddRTTI();
    frxRegisterDataSetClasses(&s);
    s.AddObject(QStringLiteral("T"), &ds);
    s.AddVariable(QStringLiteral("Res"), QStringLiteral("String"), Variant(QString()));
    s.Lines = QStringList{
        QStringLiteral("begin"),
        QStringLiteral("  T.First;"),
        QStringLiteral("  while not T.Eof do"),
        QStringLiteral("  begin"),
        QStringLiteral("    Res := Res + IntToStr(T.RecNo) + '=' + T.Value['name'] + T.DisplayText['NOTE'] + ';';"),
        QStringLiteral("    T.Next;"),
        QStringLiteral("  end;"),
        QStringLiteral("  if T.HasField('id') and (T.FieldType['name'] = fftString) and (T.RecordCount = 10) then"),
        QStringLiteral("    Res := Res + 'ok';"),
        QStringLiteral("  if T.Locate('name', 'N7', [loCaseInsensitive]) then Res := Res + IntToStr(T.Value['id']);"),
        QStringLiteral("end."),
    };
    ASSERT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << ": " << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(s.Variables(QStringLiteral("Res")).toText(), QStringLiteral("0=n1<x>;1=n2<x>;2=n3<x>;ok7"));
}

// ---- On real databases: SQLite and PostgreSQL through ODBC ----

class DbDataSets : public ::testing::TestWithParam<test::TestDb> {
protected:
    void SetUp() override
    {
        frxRegisterClasses();
        ASSERT_TRUE(m_dir.isValid());
        QString cs;
        test::requireTestDb(GetParam(), m_dir.path(), &cs);
        if (cs.isEmpty())
            return;
        m_conn.setConnectionString(cs);
        ASSERT_NO_THROW(m_conn.open(nullptr));
        QString script = QStringLiteral("create temporary table nums (id integer, name varchar(20), note varchar(20));\n");
        for (int i = 1; i <= 10; ++i)
            script += QStringLiteral("insert into nums values (%1, 'n%1', %2);\n")
                          .arg(i)
                          .arg(i == 2 ? QStringLiteral("null") : QStringLiteral("'x'"));
        db::Command c(&m_conn);
        c.setCommandText(script);
        ASSERT_NO_THROW(c.execute());
        m_query = std::make_unique<db::Query>(&m_conn);
        m_query->setSql(QStringLiteral("select id, name, note from nums order by id"));
    }

    QTemporaryDir m_dir;
    db::Connection m_conn;
    std::unique_ptr<db::Query> m_query;
};

TEST_P(DbDataSets, QueryRowsThroughTheReportDataset)
{
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    auto *ds = new TfrxDBDataset(data);
    ds->SetName(QStringLiteral("Bill"));
    ds->SetDataSet(m_query.get());
    ds->CloseDataSource = true;
    report.DataSets().Add(ds);
    report.DataSets().Initialize();
    EXPECT_FALSE(m_query->isActive());
    EXPECT_EQ(ds->RecordCount(), 10); // opens it
    EXPECT_TRUE(m_query->isActive());
    EXPECT_EQ(visitIds(*ds, QStringLiteral("ID")).size(), 10);
    ds->First();
    ds->Next();
    EXPECT_TRUE(ds->GetValue(QStringLiteral("note")).isNull());
    EXPECT_EQ(ds->GetValue(QStringLiteral("Name")).toText(), QStringLiteral("n2"));
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("name")), fftString);
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("id")), fftNumeric);
    EXPECT_EQ(ds->GetDisplayText(QStringLiteral("id")), QStringLiteral("2"));
    EXPECT_EQ(ds->FieldsCount(), 3);

    TfrxDataSet *found = nullptr;
    QString field;
    report.GetDatasetAndField(QStringLiteral("bill.\"NAME\""), found, field);
    EXPECT_EQ(found, ds);
    EXPECT_EQ(found->GetValue(field).toText(), QStringLiteral("n2"));

    report.CurObject = QStringLiteral("Memo7");
    EXPECT_TRUE(ds->GetValue(QStringLiteral("missing")).isNull());
    EXPECT_EQ(report.Errors(), QStringList{QStringLiteral("Memo7: Field not found: Bill.\"missing\"")});

    report.DataSets().Finalize();
    EXPECT_FALSE(m_query->isActive()); // CloseDataSource
    EXPECT_FALSE(m_query->afterOpen());
    EXPECT_FALSE(m_query->beforeClose());
}

TEST_P(DbDataSets, ReCountVisitsTwoOfTenRows)
{
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("Q"));
    ds.SetDataSet(m_query.get());
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 2;
    ds.Initialize();
    EXPECT_EQ(visitIds(ds), QList<int>({1, 2}));
    ds.Finalize();
    EXPECT_TRUE(m_query->isActive()); // CloseDataSource false
}

TEST_P(DbDataSets, FinalizeWithoutCloseKeepsTheQueryWhereItWas)
{
    m_query->open();
    m_query->next();
    m_query->next(); // id 3
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("Q"));
    ds.SetDataSet(m_query.get());
    ds.RangeBegin = rbCurrent;
    ds.Initialize();
    EXPECT_EQ(visitIds(ds).first(), 3);
    EXPECT_TRUE(m_query->eof());
    ds.Finalize();
    EXPECT_TRUE(m_query->isActive());
    EXPECT_EQ(m_query->field(0).asVariant().toInt(), 3);
}

TEST_P(DbDataSets, AliasesOverAQuery)
{
    TfrxReport report;
    TfrxDBDataset ds;
    ds.SetName(QStringLiteral("Q"));
    ds.SetDataSet(m_query.get());
    ds.ReportRef = &report;
    ds.FieldAliases = {QStringLiteral("id=Number"), QStringLiteral("-note=note"), QStringLiteral("name=name")};
    ds.Initialize();
    ds.First();
    EXPECT_EQ(ds.GetValue(QStringLiteral("NUMBER")).toInt(), 1);
    EXPECT_TRUE(ds.GetValue(QStringLiteral("note")).isNull());
    EXPECT_EQ(report.Errors().size(), 1);
    ds.Finalize();
}

const test::TestDb kBackends[] = {test::TestDb::Sqlite, test::TestDb::PostgresOdbc};
INSTANTIATE_TEST_SUITE_P(All, DbDataSets, ::testing::ValuesIn(kBackends), test::testDbParamName);

} // namespace
