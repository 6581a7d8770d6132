#include "base/datetime.h"
#include "base/formatsettings.h"
#include "script/classregistry.h"
#include "script/interpreter.h"
#include "script/library.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

// Runs scripts with the real module list under fixed regional settings.
class Library : public ::testing::Test {
protected:
    void SetUp() override
    {
        fsRegisterClassesRTTI();
        m_saved = FormatSettings::current();
    }
    void TearDown() override { FormatSettings::setCurrent(m_saved); }

    // Compiles and runs `program`; the compile error ("pos: message") or the run-time
    // error message goes to `error`.
    static bool run(TfsScript &s, const QString &program, QString *error)
    {
        s.AddRTTI();
        s.Lines = program.split(QLatin1Char('\n'));
        if (!s.Compile()) {
            *error = s.ErrorPos + QStringLiteral(": ") + s.ErrorMsg;
            return false;
        }
        try {
            s.Execute();
        } catch (const Error &e) {
            *error = e.message();
            return false;
        }
        error->clear();
        return true;
    }

    // The value of one expression, or the error text.
    static Variant eval(const QString &expr, QString *error = nullptr)
    {
        TfsScript s;
        QString err;
        const bool ok = run(s, QStringLiteral("var v: Variant;\nbegin\n  v := %1;\nend.").arg(expr), &err);
        if (error)
            *error = err;
        return ok ? s.Variables(QStringLiteral("v")) : Variant(QStringLiteral("error: ") + err);
    }

    static std::string text(const Variant &v) { return v.debugText().toStdString(); }

    FormatSettings m_saved;
};

struct Case {
    const char *expr;
    Variant us;
    Variant ru;
};

// Every expression under both regional settings.
void checkCases(const std::vector<Case> &cases)
{
    const struct {
        const char *name;
        FormatSettings fs;
    } locales[] = {{"us", FormatSettings::usEnglish()}, {"ru", FormatSettings::russian()}};
    for (const auto &loc : locales) {
        FormatSettings::setCurrent(loc.fs);
        for (const Case &c : cases) {
            TfsScript s;
            s.AddRTTI();
            s.Lines = QStringLiteral("var v: Variant;\nbegin\n  v := %1;\nend.").arg(QString::fromUtf8(c.expr)).split(QLatin1Char('\n'));
            ASSERT_TRUE(s.Compile()) << c.expr << ": " << s.ErrorPos.toStdString() << " " << s.ErrorMsg.toStdString();
            try {
                s.Execute();
            } catch (const Error &e) {
                ADD_FAILURE() << loc.name << " " << c.expr << " raised " << e.message().toStdString();
                continue;
            }
            const Variant &expected = QLatin1String(loc.name) == QLatin1String("us") ? c.us : c.ru;
            const Variant got = s.Variables(QStringLiteral("v"));
            EXPECT_TRUE(got.sameAs(expected))
                << loc.name << " " << c.expr << " gave " << got.debugText().toStdString() << ", expected "
                << expected.debugText().toStdString();
        }
    }
}

Variant str(const char *utf8) { return Variant(QString::fromUtf8(utf8)); }

} // namespace

TEST_F(Library, ConversionsUnderBothLocales)
{
    checkCases({
        {"IntToStr(42)", str("42"), str("42")},
        {"IntToStr(-2147483647 - 1)", str("-2147483648"), str("-2147483648")},
        {"FloatToStr(1.5)", str("1.5"), str("1,5")},
        {"FloatToStr(1 / 3)", str("0.333333333333333"), str("0,333333333333333")},
        {"FloatToStr(1234567.125)", str("1234567.125"), str("1234567,125")},
        {"FloatToStr(100)", str("100"), str("100")},
        {"BoolToStr(True)", str("-1"), str("-1")},
        {"BoolToStr(False)", str("0"), str("0")},
        {"BoolToStr(1 > 2)", str("0"), str("0")},
        {"VarToStr(Null)", str(""), str("")},
        {"VarToStr(12)", str("12"), str("12")},
        {"VarToStr(1.5)", str("1.5"), str("1,5")},
        {"VarToStr(True)", str("True"), str("True")},
        {"StrToInt(' 12 ')", Variant(12), Variant(12)},
        {"StrToInt64('9000000000')", Variant(qint64(9000000000)), Variant(qint64(9000000000))},
        {"StrToFloat('2.5')", Variant(2.5), Variant(2.5)},
        {"StrToBool('true')", Variant(true), Variant(true)},
        {"StrToBool('0')", Variant(false), Variant(false)},
        {"DateToStr(EncodeDate(2024, 12, 25))", str("12/25/2024"), str("25.12.2024")},
        {"TimeToStr(EncodeTime(14, 5, 9, 0))", str("2:05:09 PM"), str("14:05:09")},
        {"DateTimeToStr(EncodeDate(2024, 1, 2))", str("1/2/2024"), str("02.01.2024")},
        {"DateTimeToStr(EncodeDate(2024, 1, 2) + EncodeTime(8, 30, 0, 0))", str("1/2/2024 8:30:00 AM"),
         str("02.01.2024 8:30:00")},
    });
    FormatSettings::setCurrent(FormatSettings::russian());
    EXPECT_TRUE(eval(QStringLiteral("StrToFloat('1,5')")).sameAs(Variant(1.5)));
    EXPECT_TRUE(eval(QStringLiteral("StrToDate('25.12.2024')")).sameAs(Variant(encodeDate(2024, 12, 25))));
    FormatSettings::setCurrent(FormatSettings::usEnglish());
    EXPECT_TRUE(eval(QStringLiteral("StrToDate('12/25/2024')")).sameAs(Variant(encodeDate(2024, 12, 25))));
}

TEST_F(Library, ConversionsThatFailRaise)
{
    FormatSettings::setCurrent(FormatSettings::usEnglish());
    const struct {
        const char *expr;
        const char *message;
    } cases[] = {
        {"StrToInt('12x')", "'12x' is not a valid integer value"},
        {"StrToFloat('abc')", "'abc' is not a valid floating point value"},
        {"StrToBool('maybe')", "'maybe' is not a valid boolean value"},
        {"StrToDate('31/31/2024')", "'31/31/2024' is not a valid date"},
        {"EncodeDate(2023, 2, 29)", nullptr},
        {"DaysInMonth(2024, 13)", nullptr},
        {"Sqrt(-1)", "Invalid floating point operation"},
        {"Ln(0)", "Floating point division by zero"},
        {"Round(1E300)", "Invalid floating point operation"},
    };
    for (const auto &c : cases) {
        QString err;
        eval(QString::fromLatin1(c.expr), &err);
        EXPECT_FALSE(err.isEmpty()) << c.expr;
        if (c.message) {
            EXPECT_EQ(err.toStdString(), c.message) << c.expr;
        }
    }
}

TEST_F(Library, FormatFloatPatterns)
{
    checkCases({
        {"FormatFloat('0.00', 1234.5)", str("1234.50"), str("1234,50")},
        {"FormatFloat(',0.00', 1234567.891)", str("1,234,567.89"), str("1\u00a0234\u00a0567,89")},
        {"FormatFloat('#,##0', 999)", str("999"), str("999")},
        {"FormatFloat('0.00', 2.675)", str("2.68"), str("2,68")},
        {"FormatFloat('0', 2.5)", str("3"), str("3")},
        {"FormatFloat('#.##', 0.5)", str(".5"), str(",5")},
        {"FormatFloat('0.00;(0.00);zero', -5)", str("(5.00)"), str("(5,00)")},
        {"FormatFloat('0.00;(0.00);zero', 0)", str("zero"), str("zero")},
        {"FormatFloat('0.00E+00', 12345)", str("1.23E+04"), str("1,23E+04")},
        {"FormatFloat('0.0e-0', 0.00125)", str("1.3e-3"), str("1,3e-3")},
        {"FormatFloat('\"Итого: \"0', 7)", str("Итого: 7"), str("Итого: 7")},
        {"FormatFloat('', 1.5)", str("1.5"), str("1,5")},
    });
}

TEST_F(Library, FormatDateTimeUsesLocaleNames)
{
    checkCases({
        {"FormatDateTime('dd.mm.yyyy', EncodeDate(2024, 3, 5))", str("05.03.2024"), str("05.03.2024")},
        {"FormatDateTime('d/m/yy', EncodeDate(2024, 3, 5))", str("5/3/24"), str("5.3.24")},
        {"FormatDateTime('d mmmm yyyy', EncodeDate(2024, 12, 25))", str("25 December 2024"), str("25 декабря 2024")},
        {"FormatDateTime('ddd, mmm', EncodeDate(2024, 12, 25))", str("Wed, Dec"), str("ср, дек.")},
        {"FormatDateTime('dddd', EncodeDate(2024, 12, 25))", str("Wednesday"), str("среда")},
        {"FormatDateTime('hh:nn:ss.zzz', EncodeTime(7, 8, 9, 10))", str("07:08:09.010"), str("07:08:09.010")},
        {"FormatDateTime('h:n:s am/pm', EncodeTime(13, 5, 0, 0))", str("1:5:0 pm"), str("1:5:0 pm")},
        {"FormatDateTime('\"day\" d', EncodeDate(2024, 1, 9))", str("day 9"), str("day 9")},
    });
}

TEST_F(Library, FormatSpecifiers)
{
    // The argument arrays come from the host, so only Format itself is under test here.
    const struct {
        const char *fmt;
        QVector<Variant> args;
        const char *us;
        const char *ru;
    } cases[] = {
        {"%d-%s-%.2f", {Variant(5), str("a"), Variant(1.5)}, "5-a-1.50", "5-a-1,50"},
        {"%1:s %0:s", {str("a"), str("b")}, "b a", "b a"},
        {"[%5d][%-5d]", {Variant(42), Variant(42)}, "[   42][42   ]", "[   42][42   ]"},
        {"%x %u %.3d", {Variant(255), Variant(7), Variant(7)}, "FF 7 007", "FF 7 007"},
        {"%n", {Variant(1234567.5)}, "1,234,567.50", "1\u00a0234\u00a0567,50"},
        {"%e", {Variant(12345.0)}, "1.23450000000000E+004", "1,23450000000000E+004"},
        {"%g", {Variant(0.5)}, "0.5", "0,5"},
        {"%.1s|%%", {str("xyz")}, "x|%", "x|%"},
        {"none", {}, "none", "none"},
    };
    for (const FormatSettings &fs : {FormatSettings::usEnglish(), FormatSettings::russian()}) {
        FormatSettings::setCurrent(fs);
        const bool us = fs.decimalSeparator == QLatin1Char('.');
        for (const auto &c : cases) {
            TfsScript s;
            s.AddRTTI();
            s.AddVariable(QStringLiteral("args"), QStringLiteral("Variant"), Variant::arrayOf(c.args));
            QString err;
            ASSERT_TRUE(run(s, QStringLiteral("var v: String;\nbegin\n  v := Format('%1', args);\nend.")
                                   .arg(QString::fromLatin1(c.fmt)), &err))
                << c.fmt << ": " << err.toStdString();
            EXPECT_EQ(s.Variables(QStringLiteral("v")).toString().toStdString(), us ? c.us : c.ru) << c.fmt;
        }
    }
    const struct {
        const char *fmt;
        QVector<Variant> args;
        const char *message;
    } errors[] = {
        {"%d", {str("x")}, "Format '%d' invalid or incompatible with argument"},
        {"%s %s", {str("x")}, "No argument for format '%s %s'"},
    };
    for (const auto &c : errors) {
        TfsScript s;
        s.AddRTTI();
        s.AddVariable(QStringLiteral("args"), QStringLiteral("Variant"), Variant::arrayOf(c.args));
        QString err;
        EXPECT_FALSE(run(s, QStringLiteral("var v: String;\nbegin\n  v := Format('%1', args);\nend.")
                                .arg(QString::fromLatin1(c.fmt)), &err));
        EXPECT_EQ(err.toStdString(), c.message);
    }
}

// Set constructors as array arguments, the way templates call Format and VarArrayCreate.
TEST_F(Library, ArrayLiteralArguments)
{
    FormatSettings::setCurrent(FormatSettings::russian());
    EXPECT_TRUE(eval(QStringLiteral("Format('%d-%s-%.2f', [5, 'a', 1.5])")).sameAs(str("5-a-1,50")));
    EXPECT_TRUE(eval(QStringLiteral("Format('%1:s %0:d', [7, 'x'])")).sameAs(str("x 7")));
    EXPECT_TRUE(eval(QStringLiteral("Length(VarArrayCreate([0, 4], varInteger))")).sameAs(Variant(5)));
    EXPECT_TRUE(eval(QStringLiteral("VarArrayCreate([1, 2, 0, 3], varVariant)")).isArray());
    QString err;
    eval(QStringLiteral("VarArrayCreate([0, 100000000], varVariant)"), &err);
    EXPECT_EQ(err.toStdString(), "Out of memory");
    TfsScript t;
    EXPECT_FALSE(run(t, QStringLiteral("var s: String;\nbegin SetLength(s, 2147483647); end."), &err));
    EXPECT_EQ(err.toStdString(), "Out of memory");
}

TEST_F(Library, FormatMaskText)
{
    EXPECT_TRUE(eval(QStringLiteral("FormatMaskText('000-000;0;_', '123456')")).sameAs(str("123-456")));
}

TEST_F(Library, Mathematics)
{
    checkCases({
        {"Round(2.5)", Variant(2), Variant(2)},
        {"Round(3.5)", Variant(4), Variant(4)},
        {"Round(-2.5)", Variant(-2), Variant(-2)},
        {"Round(2.51)", Variant(3), Variant(3)},
        {"Round(5000000000.4)", Variant(qint64(5000000000)), Variant(qint64(5000000000))},
        {"Trunc(-2.7)", Variant(-2), Variant(-2)},
        {"Trunc(2.7)", Variant(2), Variant(2)},
        {"Int(3.7)", Variant(3.0), Variant(3.0)},
        {"Int(-3.7)", Variant(-3.0), Variant(-3.0)},
        {"Frac(2.25)", Variant(0.25), Variant(0.25)},
        {"Abs(-5)", Variant(5), Variant(5)},
        {"Abs(-2.5)", Variant(2.5), Variant(2.5)},
        {"Sqrt(16)", Variant(4.0), Variant(4.0)},
        {"Exp(0)", Variant(1.0), Variant(1.0)},
        {"Ln(1)", Variant(0.0), Variant(0.0)},
        {"Sin(0) + Cos(0)", Variant(1.0), Variant(1.0)},
        {"Round(ArcTan(1) * 4 * 1000)", Variant(3142), Variant(3142)},
        {"Round(Pi * 100)", Variant(314), Variant(314)},
        {"Round(Tan(0))", Variant(0), Variant(0)},
    });
}

TEST_F(Library, StringFunctions)
{
    checkCases({
        {"Copy('Hello', 2, 3)", str("ell"), str("ell")},
        {"Copy('Hello', 0, 2)", str("He"), str("He")},
        {"Copy('Hello', 4, 100)", str("lo"), str("lo")},
        {"Copy('Hello', 10, 2)", str(""), str("")},
        {"Copy('Hello', 2, -1)", str(""), str("")},
        {"Pos('l', 'Hello')", Variant(3), Variant(3)},
        {"Pos('z', 'Hello')", Variant(0), Variant(0)},
        {"Pos('', 'Hello')", Variant(0), Variant(0)},
        {"Length('Привет')", Variant(6), Variant(6)},
        {"Length('')", Variant(0), Variant(0)},
        {"Uppercase('привет, World')", str("ПРИВЕТ, WORLD"), str("ПРИВЕТ, WORLD")},
        {"Lowercase('ПРИВЕТ, World')", str("привет, world"), str("привет, world")},
        {"Trim(#9 + '  x y ' + #13#10)", str("x y"), str("x y")},
        {"NameCase('иВАН пЕТРОВИЧ sMITH')", str("Иван Петрович Smith"), str("Иван Петрович Smith")},
        {"CompareText('abc', 'ABC')", Variant(0), Variant(0)},
        {"CompareText('abc', 'abd') < 0", Variant(true), Variant(true)},
        {"CompareText('b', 'A') > 0", Variant(true), Variant(true)},
        {"Chr(65) + Chr(1046)", str("AЖ"), str("AЖ")},
        {"Ord('A')", Variant(65), Variant(65)},
        {"Ord('Ж')", Variant(1046), Variant(1046)},
        // Quote literals: one quote, nothing, one quote make a text of two quotes.
        {"'''' + '' + ''''", str("''"), str("''")},
        {"Length('''' + '' + '''')", Variant(2), Variant(2)},
        {"'It''s'", str("It's"), str("It's")},
    });
}

TEST_F(Library, VarParametersWriteBack)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(run(s, QStringLiteral(
                           "var s, t, u: String; y, m, d, h, n, sec, ms: Word; i, j: Integer; a: Variant; found: Boolean;\n"
                           "begin\n"
                           "  s := 'Hello'; Delete(s, 2, 2);\n"
                           "  t := 'Hello'; Insert('XY', t, 3);\n"
                           "  u := 'abcdef'; DeleteStr(u, 5, 10); Insert('!', u, 99);\n"
                           "  DecodeDate(EncodeDate(2024, 2, 29), y, m, d);\n"
                           "  DecodeTime(EncodeTime(23, 59, 58, 999), h, n, sec, ms);\n"
                           "  i := 5; Inc(i); Inc(i, 10); j := 5; Dec(j); Dec(j, 3);\n"
                           "end."),
                    &err))
        << err.toStdString();
    const struct {
        const char *name;
        Variant value;
    } expected[] = {
        {"s", str("Hlo")}, {"t", str("HeXYllo")}, {"u", str("abcd!")}, {"y", Variant(2024)},
        {"m", Variant(2)}, {"d", Variant(29)}, {"h", Variant(23)}, {"n", Variant(59)},
        {"sec", Variant(58)}, {"ms", Variant(999)}, {"i", Variant(16)}, {"j", Variant(1)},
    };
    for (const auto &e : expected) {
        const Variant got = s.Variables(QString::fromLatin1(e.name));
        EXPECT_TRUE(var::equals(got, e.value)) << e.name << " = " << text(got);
    }
}

TEST_F(Library, ArraysAndSetLength)
{
    TfsScript s;
    QString err;
    // Bounds from the host (see ArrayLiteralArguments for the literal form).
    s.AddRTTI();
    s.AddVariable(QStringLiteral("b04"), QStringLiteral("Variant"), Variant::arrayOf({Variant(0), Variant(4)}));
    s.AddVariable(QStringLiteral("b1203"), QStringLiteral("Variant"),
                  Variant::arrayOf({Variant(1), Variant(2), Variant(0), Variant(3)}));
    ASSERT_TRUE(run(s, QStringLiteral(
                           "var a, b: Variant; s: String; n1, n2, n3, first: Integer; bt, at: Integer;\n"
                           "begin\n"
                           "  a := VarArrayCreate(b04, varInteger);\n"
                           "  n1 := Length(a); first := a[0];\n"
                           "  a[4] := 7; SetLength(a, 2); n2 := Length(a);\n"
                           "  SetLength(a, 6); n3 := Length(a);\n"
                           "  s := 'abcdef'; SetLength(s, 3);\n"
                           "  b := VarArrayCreate(b1203, varVariant);\n"
                           "  bt := VarType(b); at := VarType(a[0]);\n"
                           "end."),
                    &err))
        << err.toStdString();
    EXPECT_TRUE(s.Variables(QStringLiteral("n1")).sameAs(Variant(5)));
    EXPECT_TRUE(s.Variables(QStringLiteral("first")).sameAs(Variant(0)));
    EXPECT_TRUE(s.Variables(QStringLiteral("n2")).sameAs(Variant(2)));
    EXPECT_TRUE(s.Variables(QStringLiteral("n3")).sameAs(Variant(6)));
    EXPECT_TRUE(s.Variables(QStringLiteral("s")).sameAs(str("abc")));
    EXPECT_TRUE(s.Variables(QStringLiteral("bt")).sameAs(Variant(8192 + 12)));
    EXPECT_TRUE(s.Variables(QStringLiteral("at")).sameAs(Variant(3)));
    const Variant b = s.Variables(QStringLiteral("b"));
    ASSERT_TRUE(b.isArray());
    EXPECT_EQ(b.dimCount(), 2);
    EXPECT_EQ(b.bound(2).high, 3);

    TfsScript t;
    t.AddRTTI();
    t.AddVariable(QStringLiteral("b012"), QStringLiteral("Variant"), Variant::arrayOf({Variant(0), Variant(1), Variant(2)}));
    EXPECT_FALSE(run(t, QStringLiteral("var v: Variant;\nbegin v := VarArrayCreate(b012, varVariant); end."), &err));
    EXPECT_EQ(err.toStdString(), "Invalid variant array bounds");
}

TEST_F(Library, DatesAndValidation)
{
    FormatSettings::setCurrent(FormatSettings::russian());
    checkCases({
        {"DayOfWeek(EncodeDate(2024, 12, 22))", Variant(1), Variant(1)},
        {"DayOfWeek(EncodeDate(2024, 12, 25))", Variant(4), Variant(4)},
        {"IsLeapYear(1900)", Variant(false), Variant(false)},
        {"IsLeapYear(2000)", Variant(true), Variant(true)},
        {"DaysInMonth(2024, 2)", Variant(29), Variant(29)},
        {"DaysInMonth(2023, 2)", Variant(28), Variant(28)},
        {"EncodeDate(1899, 12, 30)", Variant(0.0), Variant(0.0)},
        {"EncodeTime(12, 0, 0, 0)", Variant(0.5), Variant(0.5)},
        {"ValidInt('12')", Variant(true), Variant(true)},
        {"ValidInt('1.5')", Variant(false), Variant(false)},
        {"ValidFloat('1.5')", Variant(true), Variant(true)},
        {"ValidFloat('x')", Variant(false), Variant(false)},
        {"ValidDate('31.02.2024')", Variant(false), Variant(false)},
        {"ValidDate('12/25/2024')", Variant(true), Variant(false)},
        {"ValidDate('25.12.2024')", Variant(false), Variant(true)},
        {"Frac(Date)", Variant(0.0), Variant(0.0)},
        {"(Time >= 0) and (Time < 1)", Variant(true), Variant(true)},
        {"Now - Date < 1", Variant(true), Variant(true)},
    });
}

TEST_F(Library, OtherFunctions)
{
    checkCases({
        {"ExtractFilePath('C:\\dir\\file.txt')", str("C:\\dir\\"), str("C:\\dir\\")},
        {"ExtractFilePath('/tmp/a/b.fr3')", str("/tmp/a/"), str("/tmp/a/")},
        {"ExtractFilePath('b.fr3')", str(""), str("")},
        {"VarType(1)", Variant(3), Variant(3)},
        {"VarType(1.5)", Variant(5), Variant(5)},
        {"VarType(True)", Variant(11), Variant(11)},
        {"VarType(Null)", Variant(1), Variant(1)},
        {"VarType('s') = varString", Variant(true), Variant(true)},
        {"varByRef + varArray + varTypeMask + varStrArg + varAny", Variant(16384 + 8192 + 4095 + 72 + 257),
         Variant(16384 + 8192 + 4095 + 72 + 257)},
        {"(Random >= 0) and (Random < 1)", Variant(true), Variant(true)},
    });
    QString err;
    eval(QStringLiteral("CreateOleObject('Excel.Application')"), &err);
    EXPECT_NE(err.indexOf(QStringLiteral("not available on this platform")), -1) << err.toStdString();
}

TEST_F(Library, RaiseExceptionIsCaughtByScripts)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(run(s, QStringLiteral("var m, c: String;\nbegin\n  try\n    RaiseException('Нет данных');\n"
                                      "  except\n    m := ExceptionMessage; c := ExceptionClassName;\n  end;\nend."),
                    &err))
        << err.toStdString();
    EXPECT_TRUE(s.Variables(QStringLiteral("m")).sameAs(str("Нет данных")));
    EXPECT_TRUE(s.Variables(QStringLiteral("c")).sameAs(str("Exception")));

    TfsScript t;
    EXPECT_FALSE(run(t, QStringLiteral("begin RaiseException('stop here'); end."), &err));
    EXPECT_EQ(err.toStdString(), "stop here");
}

TEST_F(Library, ShowMessageGoesToTheSink)
{
    struct Sink : TfsMessageSink {
        QStringList texts;
        void ShowMessage(const QString &text) override { texts << text; }
    } sink;
    TfsMessageSink *saved = fsMessageSink();
    fsSetMessageSink(&sink);
    TfsScript s;
    QString err;
    const bool ok = run(s, QStringLiteral("begin ShowMessage('один'); ShowMessage(2); ShowMessage(Null); end."), &err);
    fsSetMessageSink(saved);
    ASSERT_TRUE(ok) << err.toStdString();
    EXPECT_EQ(sink.texts, (QStringList{QStringLiteral("один"), QStringLiteral("2"), QString()}));
}

TEST_F(Library, TypeNamesResolveThroughSymbols)
{
    // "int" finds the function Int (result Integer): the variables are integers.
    TfsScript s;
    QString err;
    ASSERT_TRUE(run(s, QStringLiteral("var a, b: int; c: Integer;\nbegin\n  c := a;\n  b := 5;\nend."), &err))
        << err.toStdString();
    EXPECT_TRUE(s.Variables(QStringLiteral("a")).sameAs(Variant(0)));
    EXPECT_TRUE(s.Variables(QStringLiteral("b")).sameAs(Variant(5)));

    TfsScript t;
    EXPECT_FALSE(run(t, QStringLiteral("var a: Foo;\nbegin\nend."), &err));
    EXPECT_EQ(err.toStdString(), "1:11: Unknown type: 'Foo'");
}

TEST_F(Library, DeclarationsAreRegisteredAsWritten)
{
    TfsScript s;
    s.AddRTTI();
    const struct {
        const char *name;
        const char *syntax;
        const char *category;
    } cases[] = {
        {"BoolToStr", "function BoolToStr(B: Boolean): string;", "ctConv"},
        {"Format", "function Format(Fmt: String; Args: array): String", "ctFormat"},
        {"DecodeTime", "procedure DecodeTime(Time: TDateTime; var Hour, Min, Sec, MSec: Word)", "ctDate"},
        {"SetLength", "procedure SetLength(var S: Variant; L: Integer)", "ctString"},
        {"Int", "function Int(e: Extended): Integer", "ctMath"},
        {"Inc", "procedure Inc(var i: Integer; incr: Integer = 1)", "ctOther"},
    };
    for (const auto &c : cases) {
        auto *m = dynamic_cast<TfsMethodHelper *>(s.Find(QString::fromLatin1(c.name)));
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_EQ(m->Syntax.toStdString(), c.syntax);
        EXPECT_EQ(m->Category.toStdString(), c.category);
    }
    auto *inc = dynamic_cast<TfsMethodHelper *>(s.Find(QStringLiteral("Inc")));
    ASSERT_EQ(inc->Count(), 2);
    EXPECT_TRUE(inc->Params(0)->IsVarParam);
    EXPECT_TRUE(inc->Params(1)->IsOptional);
    EXPECT_EQ(inc->RequiredCount(), 1);
    auto *dt = dynamic_cast<TfsTypeVariable *>(s.Find(QStringLiteral("TDateTime")));
    ASSERT_NE(dt, nullptr);
    EXPECT_EQ(dt->Typ, fvtFloat);
    EXPECT_TRUE(s.Variables(QStringLiteral("nil")).sameAs(Variant(0)));
}

// Every registered function and method, given values of every kind (and no object or the
// wrong one), either answers or raises a script error; none crashes.
TEST_F(Library, BadArgumentsRaiseErrors)
{
    TfsScript s;
    s.AddRTTI();
    Object *const list = s.FindClass(QStringLiteral("TList")) ? new TList : nullptr;
    const Variant values[] = {
        Variant::null(), Variant(), Variant(QStringLiteral("abc")), Variant(QString()), Variant(1e308),
        Variant(-1e308), Variant(-1), Variant(2147483647), Variant(true),
        Variant::arrayOf({Variant(0), Variant(2147483647)}), Variant::fromObject(nullptr), Variant::fromObject(list),
    };
    std::vector<TfsMethodHelper *> methods;
    for (int i = 0; i < s.Count(); ++i) {
        if (auto *m = dynamic_cast<TfsMethodHelper *>(s.GetItem(i)))
            methods.push_back(m);
        if (auto *c = dynamic_cast<TfsClassVariable *>(s.GetItem(i)))
            for (int k = 0; k < c->MembersCount(); ++k)
                if (auto *m = dynamic_cast<TfsMethodHelper *>(c->GetMembers(k)))
                    methods.push_back(m);
    }
    ASSERT_GT(methods.size(), size_t(60));
    auto *freeMethod = dynamic_cast<TfsMethodHelper *>(s.FindClass(QStringLiteral("TObject"))->Find(QStringLiteral("Free")));
    ASSERT_NE(freeMethod, nullptr);
    for (TfsMethodHelper *m : methods) {
        // Free would release the list the other calls use.
        if (!m->OnCall || m->UpperName() == QLatin1String("FREE"))
            continue;
        // Constructors of file streams would create files named after the values.
        if (m->Typ == fvtConstructor && m->Count() > 0)
            continue;
        for (const Variant &v : values) {
            for (Object *inst : {static_cast<Object *>(nullptr), list}) {
                QVector<Variant> params(m->Count(), v);
                if (m->IndexMethod)
                    params.append(v);
                try {
                    const Variant r = m->OnCall(inst, m->ClassRef, m->UpperName(), params);
                    if (m->Typ == fvtConstructor) {
                        QVector<Variant> none;
                        freeMethod->OnCall(r.toObject(), nullptr, QStringLiteral("FREE"), none);
                    }
                } catch (const Error &) {
                }
            }
        }
    }
    delete list;
}

TEST_F(Library, EvaluateLendsTheLibraryToScriptsWithoutIt)
{
    // The host's own variables, but no registrations anywhere up the chain.
    TfsScript bare;
    bare.SetVariables(QStringLiteral("k"), Variant(6));
    EXPECT_EQ(text(bare.Evaluate(QStringLiteral("IntToStr(k * 7)"))), text(Variant(QStringLiteral("42"))));
    EXPECT_FALSE(bare.EvaluteRiseError);

    // In a running procedure the chain already has the library: a local named like a library
    // function is what the expression sees.
    TfsScript s;
    s.AddRTTI();
    s.AddMethod(QStringLiteral("function Calc(e: String): Variant"),
                [&s](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) { return s.Evaluate(p[0].toString()); });
    QString err;
    ASSERT_TRUE(run(s, QStringLiteral("var r: Variant;\n"
                                      "procedure P; var Date: Integer; begin Date := 5; r := Calc('Date * 2'); end;\n"
                                      "begin P; end."), &err))
        << err.toStdString();
    EXPECT_EQ(text(s.Variables(QStringLiteral("r"))), text(Variant(10)));
}
