#include "interp_support.h"

#include "script/interpreter.h"
#include "script/languages.h"
#include "script/messages.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tw;
using tw::test::compileScript;

namespace {

// Compiles and runs a RavidiReduva program; the compile error ("pos: message") when it fails.
struct Program {
    TfsScript script;
    QString error;

    explicit Program(const QString &text, const QString &language = QStringLiteral("RavidiReduva"))
    {
        if (compileScript(script, text, language, &error))
            script.Execute();
    }
    Variant operator[](const char *name) { return script.Variables(QString::fromLatin1(name)); }
};

std::string compileError(const QString &text, const QString &language = QStringLiteral("RavidiReduva"))
{
    TfsScript s;
    QString err;
    compileScript(s, text, language, &err);
    return err.toStdString();
}

// Registers Int and IntToStr the way the function library does.
void addNumberFunctions(TfsScript &s)
{
    s.AddMethod(QStringLiteral("function Int(e: Extended): Integer"),
                [](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) { return Variant(int(p[0].toDouble())); });
    s.AddMethod(QStringLiteral("function IntToStr(i: Integer): String"),
                [](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) { return Variant(QString::number(p[0].toInt())); });
}

} // namespace

TEST(Interpreter, OperatorPrioritiesAndAssociativity)
{
    struct Case {
        const char *expr;
        Variant expected;
    } cases[] = {
        {"1 + 2 * 3", Variant(7)},
        {"(1 + 2) * 3", Variant(9)},
        {"10 - 4 - 3", Variant(3)},
        {"100 div 10 div 5", Variant(2)},
        {"2 - 3 + 4", Variant(3)},
        {"not a = b", Variant(false)},     // (not 2) = 0
        {"not (a = b)", Variant(true)},
        {"-c shr 1", Variant(2147483647)}, // (-1) shr 1
        {"-(c shr 1)", Variant(0)},
        {"7 / 2", Variant(3.5)},
        {"7 div 2", Variant(3)},
        {"7 mod 2", Variant(1)},
        {"(a > b) and (c = 1)", Variant(true)},
        {"a in [1, 2..3]", Variant(true)},
        {"VarToArr([c, 'x', 3..5])", Variant::arrayOf({Variant(1), Variant(QStringLiteral("x")), Variant(3), Variant(4), Variant(5)})},
        {"'ab' + 'cd'", Variant(QStringLiteral("abcd"))},
        {"1 + 2.5", Variant(3.5)},
        {"((2))", Variant(2)},
        {"2147483647 + c", Variant(qint64(2147483648LL))},
        {"-2147483647 - c - c", Variant(qint64(-2147483649LL))},
        {"-7 mod 2", Variant(-1)},
        {"7 div (-c) * 2", Variant(-14)},
        {"a * 3 - b * 2 + (-c)", Variant(5)},
    };
    for (const Case &c : cases) {
        TfsScript s;
        tw::test::addBaseTypes(s);
        // A set constructor used as a value is an array of its elements.
        s.AddMethod(QStringLiteral("function VarToArr(a: Variant): Variant"),
                    [](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) { return p[0]; });
        QString err;
        ASSERT_TRUE(compileScript(s, QStringLiteral("var a, b, c: Integer; v: Variant;\nbegin a := 2; b := 0; c := 1; v := %1; end.")
                                         .arg(QString::fromLatin1(c.expr)),
                                  QStringLiteral("RavidiReduva"), &err))
            << c.expr << ": " << err.toStdString();
        s.Execute();
        const Variant v = s.Variables(QStringLiteral("v"));
        if (c.expected.isArray()) {
            ASSERT_TRUE(v.isArray()) << c.expr;
            ASSERT_EQ(v.elementCount(), c.expected.elementCount()) << c.expr;
            for (int i = 0; i < v.elementCount(); ++i)
                EXPECT_TRUE(v.elements()[i].sameAs(c.expected.elements()[i])) << c.expr << " element " << i;
        } else {
            EXPECT_TRUE(v.sameAs(c.expected)) << c.expr << " gave " << v.debugText().toStdString();
        }
    }
}

TEST(Interpreter, StaticTypesOfOperators)
{
    // "/" is floating even for two integers; div and mod stay integer.
    EXPECT_EQ(compileError(QStringLiteral("var i: Integer;\nbegin i := 7 / 2; end.")),
              std::string("2:12: Incompatible types: 'Integer', 'Extended'"));
    EXPECT_EQ(compileError(QStringLiteral("var i: Integer;\nbegin i := 7 div 2 + 7 mod 2; end.")), std::string());
    EXPECT_EQ(compileError(QStringLiteral("var i: Integer;\nbegin i := 1.5; end.")),
              std::string("2:12: Incompatible types: 'Integer', 'Extended'"));
    EXPECT_EQ(compileError(QStringLiteral("var i: Integer;\nbegin i := 'x'; end.")),
              std::string("2:12: Incompatible types: 'Integer', 'String'"));
    // A string compared with an integer: the bare message at the operator.
    EXPECT_EQ(compileError(QStringLiteral("var s: String;\nbegin if s = 1 then s := ''; end.")),
              std::string("2:13: Incompatible types"));
    EXPECT_EQ(compileError(QStringLiteral("var b: Boolean;\nbegin b := b + b; end.")),
              std::string("2:15: Incompatible types"));
    // A float accepted where a float is expected, an integer into a float.
    EXPECT_EQ(compileError(QStringLiteral("var f: Extended;\nbegin f := 1; f := f * 2.5; end.")), std::string());
}

TEST(Interpreter, CompileMessages)
{
    struct Case {
        const char *text;
        const char *error;
    } cases[] = {
        {"var a: Integer; a: String;\nbegin end.", "1:18: Identifier redeclared: 'a'"},
        {"var a: TNoSuchType;\nbegin end.", "1:19: Unknown type: 'TNoSuchType'"},
        {"var a: Integer;\nbegin\n  a := b;\nend.", "3:9: Undeclared identifier: 'b'"},
        {"procedure P(x, y: Integer); begin end;\nbegin P(1); end.", "2:8: Not enough actual parameters"},
        {"procedure P(x: Integer); begin end;\nbegin P(1, 2); end.", "2:8: Too many actual parameters"},
        {"const c = 1;\nbegin c := 2; end.", "2:7: Left side cannot be assigned to"},
        {"var s: String;\nbegin for s := 1 to 2 do; end.", "2:12: For loop variable must be numeric variable"},
        {"var i: Integer;\nbegin with i do; end.", "2:12: Class type required"},
        {"var s: String;\nbegin s := s.Length; end.", "2:20: Strings doesn't have properties or methods"},
        {"var i: Integer;\nbegin i := i[1]; end.", "2:14: Array type required"},
        {"var v: Variant;\nbegin v := @v.x; end.", "2:12: Variable required"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(compileError(QString::fromLatin1(c.text)), std::string(c.error)) << c.text;
}

TEST(Interpreter, ConstantsAreEvaluatedWhenCompiled)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    int calls = 0;
    s.AddMethod(QStringLiteral("function Seed: Integer"), [&calls](Object *, const ClassInfo *, const QString &, QVector<Variant> &) {
        ++calls;
        return Variant(6);
    });
    s.AddMethod(QStringLiteral("function Broken: Integer"), [](Object *, const ClassInfo *, const QString &, QVector<Variant> &) -> Variant {
        throw std::runtime_error("host failure");
    });
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("const K = Seed * 7; H = 'h' + 'i';\nvar r: Integer; t: String;\nbegin r := K; t := H; end."),
                              QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(calls, 1);
    s.Execute();
    s.Execute();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(s.Variables(QStringLiteral("r")).sameAs(Variant(42)));
    EXPECT_EQ(s.Variables(QStringLiteral("t")).toString(), QStringLiteral("hi"));
    // A constant whose evaluation fails is a compile error, not an exception.
    EXPECT_EQ(compileError(QStringLiteral("const Z = 1 div 0;\nbegin end.")), "1:11: Division by zero");
    EXPECT_FALSE(compileScript(s, QStringLiteral("const B = Broken;\nbegin end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:11: host failure");
}

TEST(Interpreter, MessagesFollowTheResourceTable)
{
    fsSetMessage(QStringLiteral("SIdUndeclared"), QStringLiteral("Unknown name: "));
    const std::string err = compileError(QStringLiteral("begin x := 1; end."));
    fsResetMessages();
    EXPECT_EQ(err, std::string("1:8: Unknown name: 'x'"));
}

TEST(Interpreter, UndeclaredNamesByLanguage)
{
    // The position is the one just after the name.
    EXPECT_EQ(compileError(QStringLiteral("begin\n\n  x := 1;\nend.")), std::string("3:4: Undeclared identifier: 'x'"));
    Program vb(QStringLiteral("x = 5\ny = x * 2"), QStringLiteral("VozurOvuzur"));
    ASSERT_EQ(vb.error.toStdString(), std::string());
    EXPECT_TRUE(vb["y"].sameAs(Variant(10)));
    Program js(QStringLiteral("x = 5; y = x + 1;"), QStringLiteral("JScript"));
    ASSERT_EQ(js.error.toStdString(), std::string());
    EXPECT_TRUE(js["y"].sameAs(Variant(6)));
}

TEST(Interpreter, ForLoopRules)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    addNumberFunctions(s);
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral(
        "var i, n, last, down: Integer; trace: String;\n"
        "begin\n"
        "  n := 0; for i := 1 to 0 do n := n + 1;\n"
        "  for i := 3 downto 1 do trace := trace + IntToStr(i);\n"
        "  for i := 1 to 5 do ; last := i;\n"
        "  down := 0; for i := 1 to 3 do begin i := 10; down := down + 1; end;\n"
        "end."), QStringLiteral("RavidiReduva"), &err)) << err.toStdString();
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("n")).sameAs(Variant(0)));
    EXPECT_EQ(s.Variables(QStringLiteral("trace")).toString(), QStringLiteral("321"));
    EXPECT_TRUE(s.Variables(QStringLiteral("last")).sameAs(Variant(5)));
    // Changing the variable in the body does not change the number of iterations.
    EXPECT_TRUE(s.Variables(QStringLiteral("down")).sameAs(Variant(3)));
}

TEST(Interpreter, BreakContinueAndLoops)
{
    Program p(QStringLiteral(
        "var i, s, w, r: Integer;\n"
        "begin\n"
        "  for i := 1 to 10 do begin if i = 3 then continue; if i = 6 then break; s := s + i; end;\n"
        "  while w < 100 do begin w := w + 7; if w > 20 then break; end;\n"
        "  repeat r := r + 1 until r >= 4;\n"
        "end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_TRUE(p["s"].sameAs(Variant(1 + 2 + 4 + 5)));
    EXPECT_TRUE(p["i"].sameAs(Variant(6)));
    EXPECT_TRUE(p["w"].sameAs(Variant(21)));
    EXPECT_TRUE(p["r"].sameAs(Variant(4)));
}

TEST(Interpreter, CaseRanges)
{
    for (auto [sel, expected] : {std::pair{4, "range"}, {9, "else"}, {1, "one"}}) {
        Program p(QStringLiteral("var x: Integer; r: String;\nbegin x := %1;\n"
                                 "case x of 1: r := 'one'; 2..5: r := 'range'; else r := 'else'; end; end.")
                      .arg(sel));
        ASSERT_EQ(p.error.toStdString(), std::string());
        EXPECT_EQ(p["r"].toString(), QString::fromLatin1(expected)) << sel;
    }
}

TEST(Interpreter, ProceduresForwardCallsRecursionAndVarParams)
{
    Program p(QStringLiteral(
        "var a, f, k: Integer;\n"
        "procedure Early; begin a := Twice(21); end;\n"
        "function Twice(n: Integer): Integer; begin Result := n * 2; end;\n"
        "function Fact(n: Integer): Integer;\n"
        "var local: Integer;\n"
        "begin local := n; if n <= 1 then Result := 1 else Result := n * Fact(n - 1); Result := Result + local - n; end;\n"
        "procedure Bump(var x: Integer; by: Integer = 1); begin x := x + by; end;\n"
        "begin Early; f := Fact(5); k := 1; Bump(k); Bump(k, 10); end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_TRUE(p["a"].sameAs(Variant(42)));
    EXPECT_TRUE(p["f"].sameAs(Variant(120)));
    EXPECT_TRUE(p["k"].sameAs(Variant(12)));
}

TEST(Interpreter, RecursiveVarParameterWritesBackItsOwnLevel)
{
    Program p(QStringLiteral(
        "var total: Integer;\n"
        "procedure Acc(n: Integer; var sum: Integer);\n"
        "begin if n > 0 then begin sum := sum + n; Acc(n - 1, sum); end; end;\n"
        "begin total := 0; Acc(4, total); end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_TRUE(p["total"].sameAs(Variant(10)));
}

TEST(Interpreter, IntTypeFoundThroughTheFunctionInt)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    addNumberFunctions(s);
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var n: int;\nbegin n := n + 2; end."), QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    TfsCustomVariable *n = s.FindLocal(QStringLiteral("n"));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->Typ, fvtInt);
    EXPECT_EQ(n->TypeName, QStringLiteral("int"));
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("n")).sameAs(Variant(2)));
}

TEST(Interpreter, TryForms)
{
    Program p(QStringLiteral(
        "var a, b, fin: Integer; msg, cls: String;\n"
        "procedure Leave; begin try exit; fin := -1; finally fin := 1; end; fin := 2; end;\n"
        "begin\n"
        "  b := 0;\n"
        "  try a := 1 div b; except msg := ExceptionMessage; cls := ExceptionClassName; end;\n"
        "  Leave;\n"
        "end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_EQ(p["msg"].toString(), QStringLiteral("Division by zero"));
    EXPECT_EQ(p["cls"].toString(), QStringLiteral("EDivByZero"));
    EXPECT_TRUE(p["fin"].sameAs(Variant(1)));
}

TEST(Interpreter, FinallyRunsWholeAfterBreakAndContinue)
{
    // Leaving the body by break or continue still runs every statement of the finally part,
    // and the loop then obeys the break or continue.
    Program p(QStringLiteral(
        "var i, n, one, two: Integer;\n"
        "begin\n"
        "  for i := 1 to 5 do\n"
        "    try\n"
        "      if i = 2 then continue;\n"
        "      if i = 4 then break;\n"
        "      n := n + 1;\n"
        "    finally\n"
        "      one := one + 1;\n"
        "      two := two + 1;\n"
        "    end;\n"
        "end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_TRUE(p["n"].sameAs(Variant(2)));
    EXPECT_TRUE(p["one"].sameAs(Variant(4)));
    EXPECT_TRUE(p["two"].sameAs(Variant(4)));
    EXPECT_TRUE(p["i"].sameAs(Variant(4)));
}

TEST(Interpreter, RunTimeErrorsReachTheCallerWithThePosition)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var a, b: Integer;\nbegin\n  b := 0;\n  a := 1 div b;\nend."),
                              QStringLiteral("RavidiReduva"), &err));
    try {
        s.Execute();
        FAIL() << "no exception";
    } catch (const EDivByZero &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Division by zero"));
    }
    EXPECT_EQ(s.RunErrorPos, QStringLiteral("4:3"));
    EXPECT_FALSE(s.IsRunning);
    // A try ... finally lets the error pass after its handler ran.
    ASSERT_TRUE(compileScript(s, QStringLiteral("var f: Integer;\nbegin try f := 1 div f; finally f := 7; end; end."),
                              QStringLiteral("RavidiReduva"), &err));
    EXPECT_THROW(s.Execute(), EDivByZero);
    EXPECT_TRUE(s.Variables(QStringLiteral("f")).sameAs(Variant(7)));
}

TEST(Interpreter, IndexingWhatIsNotAnArray)
{
    // Known only when it runs: an index on a number is an array error, not a missing name.
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var r: Variant;\nbegin r := 1; r := r[1]; end."), QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    try {
        s.Execute();
        FAIL() << "no exception";
    } catch (const Error &e) {
        EXPECT_EQ(e.message().toStdString(), "Array type required");
    }
    // A variant that holds an array while compiling needs an index, not a member.
    TfsScript h;
    tw::test::addBaseTypes(h);
    h.SetVariables(QStringLiteral("arr"), Variant::arrayOf({Variant(1), Variant(2)}));
    EXPECT_FALSE(compileScript(h, QStringLiteral("var r: Variant;\nbegin r := arr.Count; end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "2:21: Index required");
    ASSERT_TRUE(compileScript(h, QStringLiteral("var r: Variant;\nbegin r := arr[1]; end."), QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    h.Execute();
    EXPECT_TRUE(h.Variables(QStringLiteral("r")).sameAs(Variant(2)));
}

TEST(Interpreter, StringsArraysAndConstants)
{
    Program p(QStringLiteral(
        "const Greeting = 'hello'; Limit = 3;\n"
        "var s: String = 'abc'; c: String; arr: array[1..3] of Integer; m: array[2, 2] of Variant; i, sum: Integer;\n"
        "begin\n"
        "  s[2] := 'X'; c := s[3];\n"
        "  for i := 1 to Limit do arr[i] := i * 10;\n"
        "  for i := 1 to 3 do sum := sum + arr[i];\n"
        "  m[1, 1] := Greeting;\n"
        "end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_EQ(p["s"].toString(), QStringLiteral("aXc"));
    EXPECT_EQ(p["c"].toString(), QStringLiteral("c"));
    EXPECT_TRUE(p["sum"].sameAs(Variant(60)));
    EXPECT_EQ(p["m"].at({1, 1}).toString(), QStringLiteral("hello"));
    EXPECT_TRUE(p["arr"].at({1}).sameAs(Variant(10)));
}

TEST(Interpreter, InitialValuesRunAtEveryCall)
{
    Program p(QStringLiteral(
        "var r1, r2: Integer;\n"
        "function Counter: Integer; var c: Integer = 5; begin c := c + 1; Result := c; end;\n"
        "function Keeper: Integer; var k: Integer; begin k := k + 1; Result := k; end;\n"
        "begin r1 := Counter + Counter; r2 := Keeper; r2 := Keeper; end."));
    ASSERT_EQ(p.error.toStdString(), std::string());
    EXPECT_TRUE(p["r1"].sameAs(Variant(12)));
    // Without an initial value a local keeps its last value between calls.
    EXPECT_TRUE(p["r2"].sameAs(Variant(2)));
}

TEST(Interpreter, ShortCircuitOnlyForTwoBooleans)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    int calls = 0;
    s.AddMethod(QStringLiteral("function Probe(b: Boolean): Boolean"),
                [&calls](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) {
                    ++calls;
                    return p[0];
                });
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var r: Boolean; i: Integer;\n"
                                                "begin r := False and Probe(True); r := True or Probe(True);\n"
                                                "i := 0 and Integer(Probe(True)); end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_EQ(calls, 1); // only the integer "and" evaluated its right side
}

TEST(Interpreter, CallFunction)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var ran: Integer;\n"
                                                "function Add(a, b: Integer): Integer; begin ran := ran + 1; Result := a + b; end;\n"
                                                "procedure Swap(var a, b: Variant); var t: Variant; begin t := a; a := b; b := t; end;\n"
                                                "begin end."),
                              QStringLiteral("RavidiReduva"), &err));
    s.Execute();
    EXPECT_TRUE(s.CallFunction(QStringLiteral("add"), Variant::arrayOf({Variant(2), Variant(3)})).sameAs(Variant(5)));
    // Not a procedure: Null and nothing runs.
    EXPECT_TRUE(s.CallFunction(QStringLiteral("ran"), Variant()).isNull());
    EXPECT_TRUE(s.CallFunction(QStringLiteral("NoSuch"), Variant()).isNull());
    // More arguments than parameters: a list index error before anything runs.
    try {
        s.CallFunction(QStringLiteral("Add"), Variant::arrayOf({Variant(1), Variant(2), Variant(3)}));
        FAIL() << "no exception";
    } catch (const EListError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds (2)"));
    }
    EXPECT_TRUE(s.Variables(QStringLiteral("ran")).sameAs(Variant(1)));
    // CallFunction1 writes the final parameter values back.
    Variant args = Variant::arrayOf({Variant(QStringLiteral("x")), Variant(QStringLiteral("y"))});
    s.CallFunction1(QStringLiteral("Swap"), args);
    EXPECT_EQ(args.at({0}).toString(), QStringLiteral("y"));
    EXPECT_EQ(args.at({1}).toString(), QStringLiteral("x"));
}

TEST(Interpreter, Evaluate)
{
    // Evaluate of stand-alone expressions in this script's scope.
    TfsScript t;
    ASSERT_TRUE(compileScript(t, QStringLiteral("var g: Integer; begin g := 4; end.")));
    t.Execute();
    EXPECT_TRUE(t.Evaluate(QStringLiteral("g * 10 + 1")).sameAs(Variant(41)));
    EXPECT_FALSE(t.EvaluteRiseError);
    // A text that does not compile: the message is the value.
    const Variant bad = t.Evaluate(QStringLiteral("g +* 1"));
    EXPECT_TRUE(t.EvaluteRiseError);
    EXPECT_EQ(bad.toString().toStdString(), "';' expected");
    EXPECT_EQ(t.Evaluate(QStringLiteral("nosuch")).toString().toStdString(), "Undeclared identifier: 'nosuch'");
    for (const char *lang : {"R++Ivezud", "VozurOvuzur", "JScript"}) {
        TfsScript o;
        tw::test::addBaseTypes(o);
        o.SyntaxType = QString::fromLatin1(lang);
        o.SetVariables(QStringLiteral("k"), Variant(6));
        EXPECT_TRUE(o.Evaluate(QStringLiteral("k * 7")).sameAs(Variant(42))) << lang;
    }
}

TEST(Interpreter, OnRunLineAndTerminate)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var i: Integer;\nbegin\n  while True do\n    i := i + 1;\nend.")));
    int lines = 0;
    s.OnRunLine = [&lines](TfsScript *sender, const QString &, const QString &pos) {
        ++lines;
        if (pos == QLatin1String("4:5") && sender->Variables(QStringLiteral("i")).toInt() >= 3)
            sender->Terminate();
    };
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("i")).sameAs(Variant(3)));
    EXPECT_GT(lines, 3);
    EXPECT_TRUE(s.IsExecutableLine(4));
    EXPECT_FALSE(s.IsExecutableLine(5));
}

TEST(Interpreter, EveryStatementLineIsExecutable)
{
    // Break, continue and with are statements a debugger stops on like any other.
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var i: Integer; v: Variant;\n"
                                                "begin\n"
                                                "  while i < 5 do begin\n"
                                                "    i := i + 1;\n"
                                                "    if i = 2 then\n"
                                                "      continue;\n"
                                                "    if i = 4 then\n"
                                                "      break;\n"
                                                "  end;\n"
                                                "  with v do\n"
                                                "    i := i + 10;\n"
                                                "end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    for (int line : {3, 4, 5, 6, 7, 8, 10, 11})
        EXPECT_TRUE(s.IsExecutableLine(line)) << line;
    for (int line : {1, 2, 9, 12})
        EXPECT_FALSE(s.IsExecutableLine(line)) << line;
}

TEST(Interpreter, OnGetVarValueReplacesNonNullReads)
{
    TfsScript s;
    s.OnGetVarValue = [](const QString &name, TfsVarType, const Variant &old) {
        return name == QLatin1String("x") ? Variant(100) : (name == QLatin1String("y") ? Variant::null() : old);
    };
    ASSERT_TRUE(compileScript(s, QStringLiteral("var x, y, r: Integer;\nbegin y := 3; r := x + y; end.")));
    s.Execute();
    EXPECT_TRUE(s.FindLocal(QStringLiteral("r"))->RawValue().sameAs(Variant(103)));
}

TEST(Interpreter, ClearKeepsRegistrationsAndDropsTheProgram)
{
    TfsScript s;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var a: Integer; begin a := 1; end.")));
    s.Clear();
    EXPECT_EQ(s.FindLocal(QStringLiteral("a")), nullptr);
    // Registered base types were added without an owner mark, so Clear drops them too;
    // registrations of modules (AddRTTI) are what survives.
    EXPECT_EQ(s.Statement(), nullptr);
    // The module list is process-wide: the module must outlive this test.
    static int made = 0;
    made = 0;
    static const bool registered = [] {
        fsRegisterRTTIModule([](TfsScript *sc) {
            ++made;
            sc->AddType(QStringLiteral("ModuleType"), fvtInt);
            return new TfsRTTIModule(sc);
        });
        return true;
    }();
    ASSERT_TRUE(registered);
    s.AddRTTI();
    s.AddRTTI();
    EXPECT_EQ(made, 1);
    ASSERT_TRUE(compileScript(s, QStringLiteral("var m: ModuleType; begin end.")));
    s.Clear();
    EXPECT_NE(s.FindLocal(QStringLiteral("ModuleType")), nullptr);
    s.ClearRTTI();
    EXPECT_EQ(s.FindLocal(QStringLiteral("ModuleType")), nullptr);
}

TEST(Interpreter, BadScriptsFailCleanly)
{
    // Scripts that stress the build pass: none may crash, each compiles or reports an error.
    const char *texts[] = {
        "begin x(( end.",
        "var a: array[1..2] of Integer; begin a[5] := 1; end.",
        "procedure P; begin P; end; begin end.",
        "var s: String; begin s := s[100]; end.",
        "function F: Integer; begin Result := F; end; begin end.",
        "var o: Variant; begin o := o.Member; end.",
        "begin with nil do ; end.",
    };
    for (const char *t : texts) {
        TfsScript s;
        QString err;
        if (compileScript(s, QString::fromLatin1(t), QStringLiteral("RavidiReduva"), &err)) {
            try {
                s.Execute();
            } catch (const std::exception &) {
            }
        }
        SUCCEED() << t;
    }
    // An out-of-range array element is a run-time error, not a crash.
    TfsScript s;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var a: array[1..2] of Integer; begin a[5] := 1; end.")));
    EXPECT_THROW(s.Execute(), EVariantError);
}

TEST(Interpreter, EvaluateSeesTheLocalsOfTheRunningProcedure)
{
    TfsScript s;
    tw::test::addBaseTypes(s);
    s.AddMethod(QStringLiteral("function Calc(e: String): Variant"),
                [&s](Object *, const ClassInfo *, const QString &, QVector<Variant> &p) { return s.Evaluate(p[0].toString()); });
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var g, r: Integer;\n"
                                                "procedure P; var loc: Integer; begin loc := 5; r := Calc('loc * 2 + g'); end;\n"
                                                "begin g := 1; P; end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("r")).sameAs(Variant(11)));
    EXPECT_EQ(s.ProgRunning, nullptr);
}

TEST(Interpreter, UnitsAndIntermediateCode)
{
    TfsScript s;
    s.OnGetUnit = [](ScriptCompileTarget *, const QString &unit, QString &text) {
        if (unit == QLatin1String("lib.pas"))
            text = QStringLiteral("function Triple(x: Integer): Integer; begin Result := x * 3; end;\nbegin end.");
    };
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("uses 'lib.pas';\nvar r: Integer;\nbegin r := Triple(4); end."),
                              QStringLiteral("RavidiReduva"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("r")).sameAs(Variant(12)));

    // The intermediate program saved without the source builds the same program.
    QBuffer il;
    il.open(QIODevice::WriteOnly);
    s.GetILCode(&il);
    il.close();
    TfsScript t;
    tw::test::addBaseTypes(t);
    il.open(QIODevice::ReadOnly);
    ASSERT_TRUE(t.SetILCode(&il)) << t.ErrorMsg.toStdString();
    t.Execute();
    EXPECT_TRUE(t.Variables(QStringLiteral("r")).sameAs(Variant(12)));

    // A unit the host hands over as intermediate code.
    QBuffer unitIl;
    unitIl.open(QIODevice::WriteOnly);
    TfsScript lib;
    lib.Lines = QStringList{QStringLiteral("function Triple(x: Integer): Integer; begin Result := x * 3; end; begin end.")};
    lib.GetILCode(&unitIl);
    QBuffer mainIl;
    mainIl.open(QIODevice::WriteOnly);
    mainIl.write("<?xml version=\"1.0\"?><program><uses unit=\"lib\"/><var><ident text=\"r\"/><type text=\"Integer\"/></var>"
                 "<compoundstmt><assignstmt><dsgn><node text=\"r\"/></dsgn><expr><dsgn><node text=\"Triple\"/>"
                 "<expr><number text=\"5\"/></expr></dsgn></expr></assignstmt></compoundstmt><types/></program>");
    mainIl.close();
    TfsScript v;
    tw::test::addBaseTypes(v);
    v.OnGetILUnit = [&unitIl](TfsScript *, const QString &unit, QByteArray &code) {
        if (unit == QLatin1String("lib"))
            code = unitIl.data();
    };
    mainIl.open(QIODevice::ReadOnly);
    ASSERT_TRUE(v.SetILCode(&mainIl)) << v.ErrorMsg.toStdString();
    v.Execute();
    EXPECT_TRUE(v.Variables(QStringLiteral("r")).sameAs(Variant(15)));

    // An error inside a unit names the unit.
    TfsScript u;
    u.OnGetUnit = [](ScriptCompileTarget *, const QString &, QString &text) { text = QStringLiteral("begin y := 1; end."); };
    EXPECT_FALSE(compileScript(u, QStringLiteral("uses 'bad.pas';\nbegin end."), QStringLiteral("RavidiReduva"), &err));
    EXPECT_EQ(err.toStdString(), "1:8: Undeclared identifier: 'y'");
    EXPECT_EQ(u.ErrorUnit, QStringLiteral("bad.pas"));
}

TEST(Interpreter, TerminateInsideAProcedureStopsTheProgram)
{
    TfsScript s;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var n, after: Integer;\n"
                                                "procedure Loop; begin while True do n := n + 1; end;\n"
                                                "begin Loop; after := 1; end.")));
    s.OnRunLine = [](TfsScript *sender, const QString &, const QString &) {
        if (sender->Variables(QStringLiteral("n")).toInt() >= 10)
            sender->Terminate();
    };
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("n")).sameAs(Variant(10)));
    EXPECT_TRUE(s.Variables(QStringLiteral("after")).sameAs(Variant(0)));
}

// The host's run check reaches every loop and call: a script that would never end is
// stopped by a Terminate from it, in each language's loop forms and in a recursion that
// would take for ever without ever going deep.
TEST(Interpreter, RunCheckStopsAScriptThatNeverEnds)
{
    const struct {
        const char *language;
        const char *text;
    } cases[] = {
        {"RavidiReduva", "begin while True do ; end."},
        {"RavidiReduva", "var i: Integer; begin repeat i := i + 1; until False; end."},
        {"RavidiReduva", "var i, j: Integer; begin for i := 0 to 2147483647 do for j := 0 to 2147483647 do ; end."},
        {"RavidiReduva", "procedure P; begin while True do ; end;\nbegin P; end."},
        {"RavidiReduva", "function F(n: Integer): Integer; begin if n = 0 then Result := 0 else Result := F(n - 1) + F(n - 1); end;\n"
                         "var k: Integer; begin k := F(200); end."},
        {"R++Ivezud", "int i; { for (i = 0; i < 1; i = 0) i++; }"},
        {"JScript", "var k; do { k = 1; } while (true);"},
        {"VozurOvuzur", "dim i\nfor i = 1 to 2147483647 step 0\nnext\n"},
    };
    tw::test::Watchdog watchdog(30, "the endless scripts");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        TfsScript s;
        QString err;
        ASSERT_TRUE(compileScript(s, QString::fromUtf8(c.text), QString::fromLatin1(c.language), &err)) << err.toStdString();
        int checks = 0;
        fsSetRunCheck([&] {
            if (++checks == 3)
                s.Terminate();
        });
        QElapsedTimer took;
        took.start();
        s.Execute();
        fsSetRunCheck({});
        EXPECT_GE(checks, 3);
        EXPECT_LT(took.elapsed(), 2000);
        EXPECT_FALSE(s.IsRunning);
    }
}

TEST(Interpreter, RunawayRecursionIsAnError)
{
    TfsScript s;
    ASSERT_TRUE(compileScript(s, QStringLiteral("var n: Integer;\nprocedure P; begin n := n + 1; P; end;\nbegin P; end.")));
    EXPECT_THROW(s.Execute(), EStackOverflow);
    EXPECT_GT(s.Variables(QStringLiteral("n")).toInt(), 1000);
    // The script stays usable afterwards.
    ASSERT_TRUE(compileScript(s, QStringLiteral("var m: Integer;\nfunction F(k: Integer): Integer; begin if k = 0 then Result := 0 else Result := 1 + F(k - 1); end;\nbegin m := F(500); end.")));
    s.Execute();
    EXPECT_TRUE(s.Variables(QStringLiteral("m")).sameAs(Variant(500)));
}

// A text compiled again reuses its intermediate program; what the program depends on
// besides the text (its units, the grammar) is still honoured.
TEST(Interpreter, RecompiledTextsStayFaithful)
{
    // The same text in two scripts: separate programs with their own variables.
    const QString text = QStringLiteral("var r: Integer;\nbegin r := r + 5; end.");
    TfsScript a, b;
    ASSERT_TRUE(compileScript(a, text));
    ASSERT_TRUE(compileScript(b, text));
    a.Execute();
    a.Execute();
    b.Execute();
    EXPECT_TRUE(a.Variables(QStringLiteral("r")).sameAs(Variant(10)));
    EXPECT_TRUE(b.Variables(QStringLiteral("r")).sameAs(Variant(5)));

    // Procedures belong to the script compiled, not to the shared program: the second
    // script calls its own after the first one is gone.
    const QString withProc = QStringLiteral("var r: Integer;\nprocedure Add(k: Integer); begin r := r + k; end;\n"
                                            "begin Add(2); Add(3); end.");
    std::vector<std::unique_ptr<TfsScript>> scripts;
    for (int i = 0; i < 3; ++i) {
        scripts.push_back(std::make_unique<TfsScript>());
        ASSERT_TRUE(compileScript(*scripts.back(), withProc));
    }
    scripts[0].reset();
    scripts[1].reset();
    scripts[2]->Execute();
    EXPECT_TRUE(scripts[2]->Variables(QStringLiteral("r")).sameAs(Variant(5)));

    // A unit whose text changed between compilations is read again.
    int factor = 3;
    TfsScript u;
    u.OnGetUnit = [&factor](ScriptCompileTarget *, const QString &, QString &unitText) {
        unitText = QStringLiteral("function F(x: Integer): Integer; begin Result := x * %1; end;\nbegin end.").arg(factor);
    };
    const QString withUnit = QStringLiteral("uses 'lib.pas';\nvar r: Integer;\nbegin r := F(2); end.");
    ASSERT_TRUE(compileScript(u, withUnit));
    u.Execute();
    EXPECT_TRUE(u.Variables(QStringLiteral("r")).sameAs(Variant(6)));
    factor = 7;
    ASSERT_TRUE(compileScript(u, withUnit));
    u.Execute();
    EXPECT_TRUE(u.Variables(QStringLiteral("r")).sameAs(Variant(14)));

    // Errors are found every time, with their position.
    QString err1, err2;
    TfsScript e;
    EXPECT_FALSE(compileScript(e, QStringLiteral("begin q := 1; end."), QStringLiteral("RavidiReduva"), &err1));
    EXPECT_FALSE(compileScript(e, QStringLiteral("begin q := 1; end."), QStringLiteral("RavidiReduva"), &err2));
    EXPECT_EQ(err1, err2);
    EXPECT_FALSE(err1.isEmpty());

    // A grammar registered again under the same name: the text is compiled anew with it,
    // not taken from what the old grammar made.
    const QString swapped = QStringLiteral("var r: Integer;\nbegin r := 2; end.");
    AddScriptLanguage(QStringLiteral("@swapped"), ScriptLanguageGrammar(QStringLiteral("RavidiReduva")));
    TfsScript before, after;
    ASSERT_TRUE(compileScript(before, swapped, QStringLiteral("@swapped")));
    AddScriptLanguage(QStringLiteral("@swapped"), ScriptLanguageGrammar(QStringLiteral("R++Ivezud")));
    EXPECT_FALSE(compileScript(after, swapped, QStringLiteral("@swapped")));

    // A text first compiled under one language is not taken for another's program.
    TfsScript p, c;
    const QString ambiguous = QStringLiteral("var r: Integer;\nbegin r := 1; end.");
    ASSERT_TRUE(compileScript(p, ambiguous));
    EXPECT_FALSE(compileScript(c, ambiguous, QStringLiteral("R++Ivezud")));
}

// Names are found without regard to case; of equal names the one added last is found, and
// the one before it again once it is removed; the parent is asked after the script.
TEST(Interpreter, NameLookupFollowsAddsAndRemovals)
{
    TfsScript parent;
    TfsScript s;
    s.Parent = &parent;
    auto *inParent = new TfsVariable(QStringLiteral("Total"), fvtInt, QStringLiteral("Integer"));
    parent.Add(inParent);
    EXPECT_EQ(s.Find(QStringLiteral("TOTAL")), inParent);
    EXPECT_EQ(s.FindLocal(QStringLiteral("total")), nullptr);

    auto *first = new TfsVariable(QStringLiteral("total"), fvtInt, QStringLiteral("Integer"));
    s.Add(first);
    auto *second = new TfsVariable(QStringLiteral("TOTAL"), fvtInt, QStringLiteral("Integer"));
    s.Add(second);
    auto *other = new TfsVariable(QStringLiteral("Сумма"), fvtInt, QStringLiteral("Integer"));
    s.Add(other);
    EXPECT_EQ(s.Find(QStringLiteral("Total")), second);
    EXPECT_EQ(s.Find(QStringLiteral("сУММА")), other);
    s.Remove(second);
    delete second;
    EXPECT_EQ(s.Find(QStringLiteral("total")), first);
    s.Remove(first);
    delete first;
    EXPECT_EQ(s.Find(QStringLiteral("total")), inParent);

    // Items added by one owner go together; the others stay findable.
    const int owner = 0;
    s.AddedBy = &owner;
    s.Add(new TfsVariable(QStringLiteral("Total"), fvtInt, QStringLiteral("Integer")));
    s.AddedBy = nullptr;
    EXPECT_NE(s.Find(QStringLiteral("total")), inParent);
    s.ClearItems(&owner);
    EXPECT_EQ(s.Find(QStringLiteral("total")), inParent);
    EXPECT_EQ(s.Find(QStringLiteral("Сумма")), other);

    // An owner's item that hid one of the same name: the hidden one is found again.
    auto *kept = new TfsVariable(QStringLiteral("Total"), fvtInt, QStringLiteral("Integer"));
    s.Add(kept);
    s.AddedBy = &owner;
    s.Add(new TfsVariable(QStringLiteral("TOTAL"), fvtInt, QStringLiteral("Integer")));
    s.Add(new TfsVariable(QStringLiteral("total"), fvtInt, QStringLiteral("Integer")));
    s.AddedBy = nullptr;
    EXPECT_NE(s.Find(QStringLiteral("Total")), kept);
    s.ClearItems(&owner);
    EXPECT_EQ(s.Find(QStringLiteral("Total")), kept);
    s.Remove(kept);
    delete kept;
    EXPECT_EQ(s.Find(QStringLiteral("Total")), inParent);
}
