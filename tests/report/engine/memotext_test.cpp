#include "base/datetime.h"
#include "base/formatsettings.h"
#include "report/engine/datasets.h"
#include "report/engine/memotext.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "support/testsupport.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace tw;
using tw::test::SettingsScope;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

// A dataset of one row whose values and display texts the test sets.
class RowDataSet : public TfrxDataSet {
public:
    using TfrxDataSet::TfrxDataSet;
    QHash<QString, Variant> values;
    QHash<QString, QString> texts;
    QHash<QString, QString> blobs;
    Variant GetValue(const QString &field) override { return values.value(field, Variant::null()); }
    QString GetDisplayText(const QString &field) override { return texts.value(field); }
    bool IsBlobField(const QString &field) override { return blobs.contains(field); }
    void AssignBlobTo(const QString &field, Object *target) override
    {
        if (auto *memo = dynamic_cast<TfrxCustomMemoView *>(target); memo && !blobs.value(field).isNull())
            memo->SetText(blobs.value(field));
    }
};

} // namespace

// ---------------------------------------------------------------------------------------
// Finding and expanding brackets

TEST(MemoText, FindBracketHonoursNestingQuotesAndCustomDelimiters)
{
    struct Case {
        const char *text;
        qsizetype pos;
        const char *open, *close;
        bool found;
        const char *expression;
        qsizetype end;
    } cases[] = {
        {"[a[b]c]x", 0, "[", "]", true, "a[b]c", 6},
        {"['a]']x", 0, "[", "]", true, "'a]'", 5},
        {"[\"a]\"]", 0, "[", "]", true, "\"a]\"", 5},
        {"[\"it's\"]", 0, "[", "]", true, "\"it's\"", 7},
        {"x[a]", 0, "[", "]", false, "", 0},
        {"x[a]", 1, "[", "]", true, "a", 3},
        {"[abc\r\n", 0, "[", "]", true, "abc\r\n", 5}, // no close: the rest of the text
        {"<%a%>b", 0, "<%", "%>", true, "a", 4},
        {"<%a<%b%>%>", 0, "<%", "%>", true, "a<%b%>", 9},
        {"%>\r\n", 0, "<%", "%>", false, "", 0},
        {"[]", 0, "[", "]", true, "", 1},
        {"[a]", 3, "[", "]", false, "", 3},
    };
    for (const Case &c : cases) {
        QString expression;
        qsizetype end = -1;
        const bool found = findBracket(QString::fromUtf8(c.text), c.pos, QString::fromUtf8(c.open),
                                       QString::fromUtf8(c.close), expression, end);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(found, c.found);
        if (c.found) {
            EXPECT_EQ(u8(expression), c.expression);
            EXPECT_EQ(end, c.end);
        }
    }
}

TEST(MemoText, ExpandReplacesEachBracketOnceAndNeverRescansResults)
{
    QStringList seen;
    const auto eval = [&seen](const QString &e) {
        seen << e;
        return e == QLatin1String("x") ? QStringLiteral("[y]") : e.toUpper();
    };
    EXPECT_EQ(u8(expandBrackets(QStringLiteral("A[x]B[b]C\r\n"), "[", "]", eval)), "A[y]BBC\r\n");
    EXPECT_EQ(seen, (QStringList{"x", "b"}));

    // Nothing to do without an open delimiter.
    seen.clear();
    EXPECT_EQ(u8(expandBrackets(QStringLiteral("plain ]text"), "[", "]", eval)), "plain ]text");
    EXPECT_TRUE(seen.isEmpty());

    // An unclosed bracket swallows the rest, line break included.
    EXPECT_EQ(u8(expandBrackets(QStringLiteral("Sum: [abc\r\n"), "[", "]", eval)), "Sum: ABC\r\n");
}

TEST(MemoText, MultiCharacterDelimitersLeaveTheTextAfterTheLastBracketAlone)
{
    QStringList seen;
    const auto eval = [&seen](const QString &e) {
        seen << e;
        return QStringLiteral("<%1>").arg(e);
    };
    EXPECT_EQ(u8(expandBrackets(QStringLiteral("{{a}} and {{b}}tail\r\n"), "{{", "}}", eval)), "<a> and <b>tail\r\n");
    EXPECT_EQ(seen, (QStringList{"a", "b"}));
}

// ---------------------------------------------------------------------------------------
// One-off formats

TEST(MemoText, OneOffFormatsFollowTheKindLetter)
{
    struct Case {
        const char *text;
        bool hasFormat;
        const char *expression;
        TfrxFormatKind kind;
        const char *formatStr;
        const char *decimal;
    } cases[] = {
        {"<x> #n%2,2f", true, "<x>", TfrxFormatKind::fkNumeric, "%2.2f", ","},
        {"<x> #N%2-2f", true, "<x>", TfrxFormatKind::fkNumeric, "%2.2f", "-"},
        {"akt_date.\"aktdata\" #D dd.mm.yyyy", true, "akt_date.\"aktdata\"", TfrxFormatKind::fkDateTime, " dd.mm.yyyy", ""},
        {"<t> #thh:nn", true, "<t>", TfrxFormatKind::fkDateTime, "hh:nn", ""},
        {"<b> #bНет,Да", true, "<b>", TfrxFormatKind::fkBoolean, "Нет,Да", ""},
        {"<s> #Xabc", true, "<s>", TfrxFormatKind::fkText, "abc", ""},
        {"IIF(<a>, ' #n', 'b')", false, "IIF(<a>, ' #n', 'b')", TfrxFormatKind::fkText, "", ""},
        {"<x>#n%2,2f", false, "<x>#n%2,2f", TfrxFormatKind::fkText, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QString expression;
        TfrxFormat format;
        EXPECT_EQ(splitBracketFormat(QString::fromUtf8(c.text), expression, format), c.hasFormat);
        EXPECT_EQ(u8(expression), c.expression);
        if (!c.hasFormat)
            continue;
        EXPECT_EQ(format.Kind(), c.kind);
        EXPECT_EQ(u8(format.FormatStr()), c.formatStr);
        EXPECT_EQ(u8(format.DecimalSeparator()), c.decimal);
    }
}

// ---------------------------------------------------------------------------------------
// Display formats

TEST(MemoText, FormatValueByKind)
{
    struct Case {
        const char *name;
        bool russian;
        TfrxFormatKind kind;
        const char *formatStr, *decimal, *thousand;
        Variant value;
        const char *expected;
    } cases[] = {
        {"bool true", false, TfrxFormatKind::fkBoolean, "Нет,Да", "", "", Variant(true), "Да"},
        {"bool false", false, TfrxFormatKind::fkBoolean, "Нет,Да", "", "", Variant(false), "Нет"},
        {"bool null", false, TfrxFormatKind::fkBoolean, "Нет,Да", "", "", Variant::null(), ""},
        {"printf float", false, TfrxFormatKind::fkNumeric, "%2.2f", ",", "", Variant(3.5), "3,50"},
        {"pattern", false, TfrxFormatKind::fkNumeric, "#,##0.00", ",", " ", Variant(1234.5), "1 234,50"},
        {"pattern, separators swapped", true, TfrxFormatKind::fkNumeric, "#,##0.00", ".", ",", Variant(1234.5),
         "1,234.50"},
        {"same separators", false, TfrxFormatKind::fkNumeric, "%2.2n", ".", ",", Variant(1234.5), "1,234.50"},
        {"integer", false, TfrxFormatKind::fkNumeric, "%d", "", "", Variant(41.6), "42"},
        {"integer of text", false, TfrxFormatKind::fkNumeric, "%d", "", "", Variant("7"), "7"},
        {"number text", false, TfrxFormatKind::fkNumeric, "%2.2f", "", "", Variant("3.5"), "3.50"},
        {"not a number", false, TfrxFormatKind::fkNumeric, "%2.2f", ",", "", Variant("abc"), "abc"},
        {"bad pattern", false, TfrxFormatKind::fkNumeric, "%s %s", "", "", Variant(2), "2"},
        {"date", false, TfrxFormatKind::fkDateTime, "dd.mm.yyyy", "", "", Variant(encodeDate(2020, 2, 1)), "01.02.2020"},
        {"date with blank", false, TfrxFormatKind::fkDateTime, " dd.mm.yyyy", "", "", Variant(encodeDate(2021, 12, 31)),
         " 31.12.2021"},
        {"date not a date", false, TfrxFormatKind::fkDateTime, "dd.mm.yyyy", "", "", Variant("soon"), "soon"},
        {"text", false, TfrxFormatKind::fkText, "", "", "", Variant(3.5), "3.5"},
        {"text russian", true, TfrxFormatKind::fkText, "", "", "", Variant(3.5), "3,5"},
        {"text null", false, TfrxFormatKind::fkText, "", "", "", Variant::null(), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsScope scope(c.russian ? FormatSettings::russian() : FormatSettings::usEnglish());
        TfrxFormat format;
        format.SetKind(c.kind);
        format.SetFormatStr(QString::fromUtf8(c.formatStr));
        format.SetDecimalSeparator(QString::fromUtf8(c.decimal));
        format.SetThousandSeparator(QString::fromUtf8(c.thousand));
        QString got = formatValue(c.value, format);
        // The Russian grouping character may be a no-break space.
        got.replace(QChar(0xA0), QLatin1Char(' '));
        EXPECT_EQ(u8(got), c.expected);
    }
}

TEST(MemoText, CharsetRoundTripKeepsWhatTheCodePageHolds)
{
    const QString text = QStringLiteral("Итого: <x>");
    EXPECT_EQ(u8(roundTripCharset(text, 204)), u8(text)); // Russian
    EXPECT_EQ(u8(roundTripCharset(text, DEFAULT_CHARSET)), u8(text));
    EXPECT_EQ(u8(roundTripCharset(text, 0)), "?????: <x>"); // Western: no Cyrillic
}

// ---------------------------------------------------------------------------------------
// Memo GetData

namespace {

class MemoData : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        band = new TfrxMasterData(page);
        band->SetName(QStringLiteral("MasterData1"));
        memo = new TfrxMemoView(band);
        memo->SetName(QStringLiteral("Memo1"));
        ds.SetName(QStringLiteral("T"));
    }
    QString shown()
    {
        memo->BeforePrint();
        memo->GetData();
        const QString text = memo->Text();
        memo->AfterPrint();
        return text;
    }

    SettingsScope settings{FormatSettings::usEnglish()};
    TfrxReport report;
    TfrxReportPage *page = nullptr;
    TfrxMasterData *band = nullptr;
    TfrxMemoView *memo = nullptr;
    RowDataSet ds;
};

} // namespace

TEST_F(MemoData, PageTotalsAndCopyNamesStayForDrawingTime)
{
    memo->SetText(QStringLiteral("Page of [TotalPages#], [copyname#]"));
    EXPECT_EQ(u8(shown()), "Page of [TotalPages#], [CopyName#]\r\n");
    // The design text comes back after the output.
    EXPECT_EQ(u8(memo->Text()), "Page of [TotalPages#], [copyname#]\r\n");
}

TEST_F(MemoData, ExpressionsOffKeepTheTextAsWritten)
{
    memo->SetAllowExpressions(false);
    memo->SetText(QStringLiteral("[x]"));
    EXPECT_EQ(u8(shown()), "[x]\r\n");
}

TEST_F(MemoData, DataFieldUsesDisplayTextOrTheFormatAndHidesZeros)
{
    memo->SetDataSet(&ds);
    memo->SetDataField(QStringLiteral("sum"));
    memo->SetText(QStringLiteral("[T.\"sum\"]"));
    ds.values[QStringLiteral("sum")] = Variant(3.5);
    ds.texts[QStringLiteral("sum")] = QStringLiteral("3.5000");
    EXPECT_EQ(u8(shown()), "3.5000\r\n");
    EXPECT_TRUE(memo->Value().sameAs(Variant(3.5)));

    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2f"));
    memo->DisplayFormat()->SetDecimalSeparator(QStringLiteral(","));
    EXPECT_EQ(u8(shown()), "3,50\r\n");

    memo->SetHideZeros(true);
    ds.values[QStringLiteral("sum")] = Variant(0);
    EXPECT_EQ(u8(shown()), "");
    // A text "0" is not a zero.
    ds.values[QStringLiteral("sum")] = Variant("0");
    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkText);
    ds.texts[QStringLiteral("sum")] = QStringLiteral("0");
    EXPECT_EQ(u8(shown()), "0\r\n");
    // Null shows nothing.
    ds.values[QStringLiteral("sum")] = Variant::null();
    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    EXPECT_EQ(u8(shown()), "");
}

TEST_F(MemoData, BlobFieldFillsTheLinesAndANullBlobLeavesNone)
{
    memo->SetDataSet(&ds);
    memo->SetDataField(QStringLiteral("note"));
    memo->SetText(QStringLiteral("[T.\"note\"]"));
    ds.blobs[QStringLiteral("note")] = QStringLiteral("one\r\ntwo");
    EXPECT_EQ(u8(shown()), "one\r\ntwo\r\n");
    ds.blobs[QStringLiteral("note")] = QString();
    EXPECT_EQ(u8(shown()), "");
}

TEST_F(MemoData, SuppressRepeatedBlanksARepeatUntilTheBandForgets)
{
    memo->SetDataSet(&ds);
    memo->SetDataField(QStringLiteral("k"));
    memo->SetSuppressRepeated(true);
    ds.texts[QStringLiteral("k")] = QStringLiteral("A");
    EXPECT_EQ(u8(shown()), "A\r\n");
    EXPECT_EQ(u8(shown()), "");
    ds.texts[QStringLiteral("k")] = QStringLiteral("B");
    EXPECT_EQ(u8(shown()), "B\r\n");
    EXPECT_TRUE(resetSuppressRepeated(band));
    EXPECT_FALSE(resetSuppressRepeated(band)); // nothing left to forget
    EXPECT_EQ(u8(shown()), "B\r\n");
}

TEST_F(MemoData, ExpressionsTakeOneOffFormatsAndTheDisplayFormat)
{
    report.Variables().Set(QStringLiteral("x"), Variant(3.5));
    report.Variables().Set(QStringLiteral("d"), Variant(encodeDate(2024, 3, 9)));
    report.Variables().Set(QStringLiteral("z"), Variant(0));
    memo->SetText(QStringLiteral("x=[x #n%2,2f]\r\nd=[d #D dd.mm.yyyy]"));
    EXPECT_EQ(u8(shown()), "x=3,50\r\nd= 09.03.2024\r\n");
    EXPECT_TRUE(memo->Value().sameAs(Variant(encodeDate(2024, 3, 9))));

    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.1f"));
    memo->SetText(QStringLiteral("[x]|[z]"));
    EXPECT_EQ(u8(shown()), "3.5|0.0\r\n");
    memo->SetHideZeros(true);
    EXPECT_EQ(u8(shown()), "3.5|\r\n");
}

TEST_F(MemoData, FormatsListGivesEachBracketItsFormatInOrder)
{
    report.Variables().Set(QStringLiteral("a"), Variant(1.5));
    report.Variables().Set(QStringLiteral("b"), Variant(2.5));
    report.Variables().Set(QStringLiteral("c"), Variant(3));
    report.Variables().Set(QStringLiteral("n[1]"), Variant(4.0));
    report.Variables().Set(QStringLiteral("t"), Variant(true));
    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.1f"));
    const auto add = [this](TfrxFormatKind kind, const char *formatStr, const char *decimal = "") {
        TfrxFormat *f = memo->Formats().Add();
        f->SetKind(kind);
        f->SetFormatStr(QString::fromUtf8(formatStr));
        f->SetDecimalSeparator(QString::fromUtf8(decimal));
    };
    add(TfrxFormatKind::fkText, "");                 // empty: the memo's own format
    add(TfrxFormatKind::fkNumeric, "%2.2f", ",");
    add(TfrxFormatKind::fkNumeric, "%d");            // the bracket's own format wins
    add(TfrxFormatKind::fkNumeric, "%d");            // page totals take their place too
    add(TfrxFormatKind::fkNumeric, "%2.3f");         // a nested bracket is one bracket
    add(TfrxFormatKind::fkBoolean, "no,yes");
    // The sixth bracket has no entry of its own: the memo's format.
    memo->SetText(QStringLiteral("[a]|[b]|[c #n%2.3f]|[TotalPages#]|[n[1]]|[t]\r\n[b]"));
    EXPECT_EQ(u8(shown()), "1.5|2,50|3.000|[TotalPages#]|4.000|yes\r\n2.5\r\n");

    // HideZeros still comes first.
    report.Variables().Set(QStringLiteral("b"), Variant(0));
    memo->SetHideZeros(true);
    memo->SetText(QStringLiteral("[a]|[b]"));
    EXPECT_EQ(u8(shown()), "1.5|\r\n");
}

TEST_F(MemoData, HighlightFollowsItsCondition)
{
    report.Variables().Set(QStringLiteral("flag"), Variant(true));
    memo->SetText(QStringLiteral("x"));
    memo->Highlight()->SetCondition(QStringLiteral("flag"));
    shown();
    EXPECT_TRUE(memo->Highlight()->Active());
    report.Variables().Set(QStringLiteral("flag"), Variant::null());
    shown();
    EXPECT_FALSE(memo->Highlight()->Active());
    memo->Highlight()->SetCondition(QString());
    report.Variables().Set(QStringLiteral("flag"), Variant(true));
    shown();
    EXPECT_FALSE(memo->Highlight()->Active());
}

TEST_F(MemoData, TagAndUrlExpandWithoutAFormat)
{
    report.Variables().Set(QStringLiteral("id"), Variant(3.5));
    memo->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    memo->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2f"));
    memo->SetTagStr(QStringLiteral("tag [id]"));
    memo->SetURL(QStringLiteral("http://h/?id=[id]"));
    memo->BeforePrint();
    memo->GetData();
    EXPECT_EQ(u8(memo->TagStr()), "tag 3.5");
    EXPECT_EQ(u8(memo->URL()), "http://h/?id=3.5");
    memo->AfterPrint();
    EXPECT_EQ(u8(memo->TagStr()), "tag [id]");
}
