// The report's script, expressions and value lookup.
#include "report/engine/engine.h"
#include "report/engine/expressioncache.h"
#include "report/model/objectmodel.h"
#include "script/interpreter.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

// Rows the test controls: field "n" (numeric), "s" (text), "b" (Boolean).
class RowsDataSet : public TfrxDataSet {
    TW_OBJECT(RowsDataSet)
    using TfrxDataSet::TfrxDataSet;
    QHash<QString, Variant> row;
    Variant GetValue(const QString &field) override { return row.value(field.toLower(), Variant::null()); }
    TfrxFieldType GetFieldType(const QString &field) override
    {
        const QString f = field.toLower();
        return f == QLatin1String("s") ? fftString : f == QLatin1String("b") ? fftBoolean : fftNumeric;
    }
};

} // namespace

TW_DEFINE_CLASS(RowsDataSet, &TfrxDataSet::staticClassInfo()) {}

namespace {

class ReportScript : public ::testing::Test {
protected:
    ReportScript()
    {
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        band = new TfrxMasterData(page);
        band->SetName(QStringLiteral("MasterData1"));
        memo = new TfrxMemoView(band);
        memo->SetName(QStringLiteral("Memo1"));
        memo->SetText(QStringLiteral("hello"));
        rows = new RowsDataSet(&report);
        rows->SetName(QStringLiteral("Rows"));
        rows->SetUserName(QStringLiteral("CUST"));
        report.DataSets().Add(rows);
    }

    void script(const QString &text) { report.ScriptText = text.split(QLatin1Char('\n')); }
    QString errors() const { return report.Errors().join(QLatin1Char('|')); }

    TfrxReport report;
    TfrxReportPage *page;
    TfrxMasterData *band;
    TfrxMemoView *memo;
    RowsDataSet *rows;
};

TEST_F(ReportScript, FieldReferenceIsAnsweredWithoutCompilingAndAngleFormCompilesOneFunction)
{
    rows->row.insert(QStringLiteral("id1"), Variant(128698));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    EXPECT_EQ(report.Calc(QStringLiteral("cust.\"ID1\"")).toInt(), 128698);
    EXPECT_EQ(report.ExpressionCache()->Count(), 0);

    EXPECT_EQ(report.Calc(QStringLiteral("<CUST.\"id1\"> + 1")).toInt(), 128699);
    EXPECT_EQ(report.ExpressionCache()->Count(), 1);
    EXPECT_NE(report.ExpressionCache()->Script()->FindLocal(QStringLiteral("fr3f0")), nullptr);
    // The same text (and, expressions not being case-sensitive, another case) reuses it.
    report.Calc(QStringLiteral("<CUST.\"id1\"> + 1"));
    report.Calc(QStringLiteral("<cust.\"id1\"> + 1"));
    EXPECT_EQ(report.ExpressionCache()->Count(), 1);
    EXPECT_TRUE(report.Errors().isEmpty()) << errors().toStdString();
}

TEST_F(ReportScript, CaseSensitiveExpressionsGetTheirOwnFunctions)
{
    report.CaseSensitiveExpressions = true;
    ASSERT_TRUE(report.PrepareScript());
    report.Calc(QStringLiteral("Trim(' a ')"));
    report.Calc(QStringLiteral("trim(' a ')"));
    EXPECT_EQ(report.ExpressionCache()->Count(), 2);
}

TEST_F(ReportScript, ConvertNullsTurnsNullFieldsIntoTheFieldKindsEmptyValue)
{
    ASSERT_TRUE(report.PrepareScript());
    EXPECT_EQ(report.Calc(QStringLiteral("CUST.\"n\"")).kind(), Variant::Kind::Int32);
    EXPECT_EQ(report.Calc(QStringLiteral("CUST.\"n\"")).toInt(), 0);
    EXPECT_EQ(report.Calc(QStringLiteral("CUST.\"s\"")).toText(), QString());
    EXPECT_TRUE(report.Calc(QStringLiteral("CUST.\"s\"")).isString());
    EXPECT_EQ(report.Calc(QStringLiteral("CUST.\"b\"")).kind(), Variant::Kind::Boolean);
    report.EngineOptions()->ConvertNulls = false;
    EXPECT_TRUE(report.Calc(QStringLiteral("CUST.\"n\"")).isNull());
    EXPECT_TRUE(report.Calc(QStringLiteral("CUST.\"s\"")).isNull());
}

TEST_F(ReportScript, ReportVariablesHoldExpressions)
{
    script(QStringLiteral("begin\n  Set('x', '''abc''');\n  Set('strloss', '''' + '' + '''');\nend."));
    ASSERT_TRUE(report.PrepareScript());
    report.Script()->Execute();
    EXPECT_EQ(report.Calc(QStringLiteral("<x>")).toText(), QStringLiteral("abc"));
    EXPECT_EQ(report.Variables().Get(QStringLiteral("strloss")).toText(), QStringLiteral("''"));
    EXPECT_EQ(report.Calc(QStringLiteral("<strloss> <> ''")).toBool(), false);
    // A text with a line break is not an expression.
    report.Variables().Set(QStringLiteral("multi"), Variant(QStringLiteral("a\r\nb")));
    EXPECT_EQ(report.Calc(QStringLiteral("multi")).toText(), QStringLiteral("a\r\nb"));
    EXPECT_TRUE(report.Errors().isEmpty()) << errors().toStdString();
}

TEST_F(ReportScript, LookupOrderFieldsSystemReportGlobalThenScriptVariables)
{
    script(QStringLiteral("var total: Integer;\nbegin\n  total := 7;\nend."));
    ASSERT_TRUE(report.PrepareScript());
    report.Script()->Execute();
    report.Engine()->CurLine = 3;
    report.Engine()->CurLineThrough = 12;
    Variant v;
    ASSERT_TRUE(report.LookupValue(QStringLiteral("line"), v));
    EXPECT_EQ(v.toInt(), 3);
    ASSERT_TRUE(report.LookupValue(QStringLiteral("Line#"), v));
    EXPECT_EQ(v.toInt(), 12);
    ASSERT_TRUE(report.LookupValue(QStringLiteral("total"), v));
    EXPECT_EQ(v.toInt(), 7);
    // A report variable of the same name hides the script variable.
    report.Variables().Set(QStringLiteral("total"), Variant(QStringLiteral("1 + 1")));
    ASSERT_TRUE(report.LookupValue(QStringLiteral("total"), v));
    EXPECT_EQ(v.toInt(), 2);
    frxGlobalVariables().Set(QStringLiteral("CopyName0"), Variant(QStringLiteral("1 + 1")));
    ASSERT_TRUE(report.LookupValue(QStringLiteral("CopyName#"), v));
    EXPECT_EQ(v.toText(), QStringLiteral("1 + 1")); // global values are not evaluated
    frxGlobalVariables().Clear();
    // Procedures are not values.
    EXPECT_FALSE(report.LookupValue(QStringLiteral("Trim"), v));
}

TEST_F(ReportScript, UnknownReferenceIsNullWithOneErrorLine)
{
    ASSERT_TRUE(report.PrepareScript());
    EXPECT_TRUE(report.Calc(QStringLiteral("<nothing> ")).isNull());
    EXPECT_EQ(errors(), QStringLiteral("Unknown variable or datafield: nothing"));
}

TEST_F(ReportScript, ExpressionErrorsNameTheObjectAndRaise)
{
    ASSERT_TRUE(report.PrepareScript());
    report.CurObject = QStringLiteral("Memo1");
    try {
        report.Calc(QStringLiteral("1 +"));
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Memo1: Error in expression '1 +': "))) << e.message().toStdString();
        EXPECT_EQ(report.Errors(), QStringList{e.message()});
    }
    // The failed function's name is taken by the next expression.
    EXPECT_EQ(report.Calc(QStringLiteral("2 * 3")).toInt(), 6);
    EXPECT_NE(report.ExpressionCache()->Script()->FindLocal(QStringLiteral("fr3f0")), nullptr);
}

TEST_F(ReportScript, ToolCallsGetTheToolPrefixAndLeaveTheErrorListAlone)
{
    ASSERT_TRUE(report.PrepareScript());
    report.CurObject = QStringLiteral("Memo1");
    try {
        report.Calc(QStringLiteral("1 +"), nullptr, true);
        FAIL() << "no error";
    } catch (const Error &e) {
        // The tool's prefix key has no text in the table, so the key itself leads.
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("clErrorInExpError in expression '1 +': ")))
            << e.message().toStdString();
    }
    EXPECT_TRUE(report.Errors().isEmpty());
}

TEST_F(ReportScript, GetEvaluatesAggregateCallsInsteadOfReportingThem)
{
    ASSERT_TRUE(report.PrepareScript());
    // No item was found for it, so the aggregate has no value, but it is not unknown.
    EXPECT_TRUE(report.GetScriptValue(QStringLiteral(" sum (<CUST.\"n\">)")).isNull());
    EXPECT_TRUE(report.Errors().isEmpty()) << errors().toStdString();
    EXPECT_TRUE(report.GetScriptValue(QStringLiteral("Nothing(1)")).isNull());
    EXPECT_EQ(errors(), QStringLiteral("Unknown variable or datafield: Nothing(1)"));
}

TEST_F(ReportScript, DivisionByZeroIsNullWhenIgnored)
{
    report.Variables().Set(QStringLiteral("z"), Variant(0));
    ASSERT_TRUE(report.PrepareScript());
    EXPECT_THROW(report.Calc(QStringLiteral("1 / <z>")), Error);
    report.ClearErrors();
    report.EngineOptions()->IgnoreDevByZero = true;
    EXPECT_TRUE(report.Calc(QStringLiteral("1 / <z>")).isNull());
    EXPECT_TRUE(report.Errors().isEmpty());
}

TEST_F(ReportScript, IifEvaluatesOnlyTheBranchItTakes)
{
    report.Variables().Set(QStringLiteral("x"), Variant(0));
    ASSERT_TRUE(report.PrepareScript());
    EXPECT_EQ(report.Calc(QStringLiteral("IIF(<x> > 0, 1 / <x>, 5)")).toInt(), 5);
    report.Variables().Set(QStringLiteral("x"), Variant(4));
    EXPECT_DOUBLE_EQ(report.Calc(QStringLiteral("IIF(<x> > 0, 1 / <x>, 5)")).toDouble(), 0.25);
    EXPECT_TRUE(report.Errors().isEmpty()) << errors().toStdString();
}

TEST_F(ReportScript, IifSeesTheLocalsOfTheCallingProcedure)
{
    script(QStringLiteral("var r: Variant;\nprocedure P;\nvar loc: Integer;\nbegin\n  loc := 3;\n"
                          "  r := IIF(loc > 2, loc * 10, 0);\nend;\nbegin\n  P;\nend."));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    report.Script()->Execute();
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("r")).toInt(), 30);
}

TEST_F(ReportScript, ExpressionsCompileInEveryLanguage)
{
    const std::pair<const char *, const char *> languages[] = {
        {"RavidiReduva", "begin end."}, {"R++Ivezud", "{}"}, {"VozurOvuzur", "dim v"}, {"JScript", "var v;"}};
    for (auto [lang, empty] : languages) {
        TfrxReport r;
        r.ScriptLanguage = QString::fromLatin1(lang);
        r.ScriptText = QStringList{QString::fromLatin1(empty)};
        ASSERT_TRUE(r.PrepareScript()) << lang << ": " << r.Errors().join(QLatin1Char('|')).toStdString();
        r.Variables().Set(QStringLiteral("a"), Variant(20));
        EXPECT_EQ(r.Calc(QStringLiteral("<a> + 22")).toInt(), 42) << lang;
        EXPECT_NE(r.ExpressionCache()->Script()->FindLocal(QStringLiteral("fr3f0")), nullptr) << lang;
    }
}

TEST_F(ReportScript, ComponentsBecomeVariablesUnlessTheNameIsTaken)
{
    auto *dateMemo = new TfrxMemoView(band);
    dateMemo->SetName(QStringLiteral("Date"));
    auto *reportMemo = new TfrxMemoView(band);
    reportMemo->SetName(QStringLiteral("Report"));
    script(QStringLiteral("var d: Variant; t: String; r: String;\nbegin\n  d := Date;\n  t := Memo1.Text;\n"
                          "  r := Report.Text;\nend."));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    report.Script()->Execute();
    EXPECT_TRUE(report.Script()->Variables(QStringLiteral("d")).isNumeric()); // still the function
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("t")).toText(), QStringLiteral("hello\r\n"));
    // A component named Report takes the name before the report does.
    reportMemo->SetText(QStringLiteral("mine"));
    report.Script()->Execute();
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("r")).toText(), QStringLiteral("mine\r\n"));
}

TEST_F(ReportScript, EventsCallTheProcedureWithTheSender)
{
    script(QStringLiteral("var seen: String;\nprocedure Memo1OnBeforePrint(Sender: TfrxComponent);\nbegin\n"
                          "  seen := TfrxMemoView(Sender).Text;\nend;\nprocedure NoArgs;\nbegin\nend;\nbegin\nend."));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    // Outside a run only events that run always are called.
    report.DoNotifyEvent(memo, QStringLiteral("Memo1OnBeforePrint"));
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("seen")).toText(), QString());
    report.Engine()->Running = true;
    report.DoNotifyEvent(memo, QStringLiteral("Memo1OnBeforePrint"));
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("seen")).toText(), QStringLiteral("hello\r\n"));
    // A name that is no procedure does nothing; a procedure without Sender fails.
    EXPECT_NO_THROW(report.DoNotifyEvent(memo, QStringLiteral("Missing")));
    try {
        report.DoNotifyEvent(memo, QStringLiteral("NoArgs"));
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds (0)"));
    }
}

TEST_F(ReportScript, ParamEventsWriteVarParametersBack)
{
    script(QStringLiteral("procedure RunDialogs(var Result: Boolean);\nbegin\n  Result := False;\nend;\nbegin\nend."));
    ASSERT_TRUE(report.PrepareScript());
    Variant params = Variant::arrayOf({Variant(true)});
    report.DoParamEvent(QStringLiteral("RunDialogs"), params, true);
    EXPECT_FALSE(params.elements().at(0).toBool());
}

TEST_F(ReportScript, CompileErrorsUseTheReportMessageTable)
{
    struct Case {
        const char *text;
        const char *error;
    } cases[] = {
        {"begin\n\n  x := 1;\nend.", "Script error at 3:4: Undeclared identifier: 'x'"},
        {"var s: String;\nbegin\n  s.Foo;\nend.", "Strings do not have properties or methods"},
        {"var n: nosuchtype;\nbegin\nend.", "Script error at 1:18: Unknown type: 'nosuchtype'"},
    };
    for (const Case &c : cases) {
        TfrxReport r;
        r.ScriptText = QString::fromUtf8(c.text).split(QLatin1Char('\n'));
        EXPECT_FALSE(r.PrepareScript()) << c.text;
        ASSERT_EQ(r.Errors().size(), 1) << c.text;
        EXPECT_TRUE(r.Errors().first().contains(QString::fromUtf8(c.error))) << r.Errors().first().toStdString();
    }
}

TEST_F(ReportScript, IntDeclaresIntegerVariables)
{
    script(QStringLiteral("var i: int;\nbegin\n  i := i + 2;\nend."));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    report.Script()->Execute();
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("i")).kind(), Variant::Kind::Int32);
    EXPECT_EQ(report.Script()->Variables(QStringLiteral("i")).toInt(), 2);
}

TEST_F(ReportScript, PreparingAgainReplacesTheReportsItems)
{
    ASSERT_TRUE(report.PrepareScript());
    report.Calc(QStringLiteral("1 + 1"));
    memo->SetName(QStringLiteral("Renamed"));
    script(QStringLiteral("var t: String;\nbegin\n  t := Renamed.Text;\nend."));
    ASSERT_TRUE(report.PrepareScript()) << errors().toStdString();
    EXPECT_EQ(report.ExpressionCache()->Count(), 0);
    EXPECT_EQ(report.Script()->Find(QStringLiteral("Memo1")), nullptr);
}

} // namespace
