#include "ilhelpers.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;
using tw::test::parseScript;

namespace {

std::string outlineOf(const QString &text)
{
    const auto r = parseScript(text);
    return r.ok ? r.outline.toStdString() : "error " + r.error.toStdString();
}

std::string errorOf(const QString &text, const QString &lang = QStringLiteral("RavidiReduva"))
{
    const auto r = parseScript(text, lang);
    return r.ok ? "parsed" : r.error.toStdString();
}

} // namespace

TEST(RavidiReduvaGrammar, EmptyProgramGivesOneCompoundStatementAndTypes)
{
    ScriptCompileTarget target;
    TfsILParser p(&target);
    p.SelectLanguage(QStringLiteral("RavidiReduva"));
    ASSERT_TRUE(p.MakeILScript(QStringLiteral("begin end.")));
    EXPECT_EQ(target.ErrorMsg, QString());
    EXPECT_EQ(target.ErrorPos, QString());
    const TfsXMLItem *root = p.ILScript()->Root();
    EXPECT_EQ(test::outline(root).toStdString(), "program(compoundstmt,types)");
    EXPECT_EQ(root->Items(0)->Prop(QStringLiteral("pos")), QStringLiteral("1:1"));
}

TEST(RavidiReduvaGrammar, SyntaxErrorsAndTheirPositions)
{
    struct Case {
        const char *text;
        const char *error;
    } cases[] = {
        {"begin x := ; end.", "1:12: Expression expected"},
        {"begin end", "1:10: '.' expected"},
        {"begin x := 1\r\n  y := 2 end.", "2:3: ';' expected"}, // the missing END of a block
        {"var begin end.", "1:5: Identifier expected"},
        {"var x Integer; begin end.", "1:7: ':' expected"},
        {"", "1:1: 'BEGIN' expected"},
        {"begin if x then y := 1 else end.", "parsed"}, // an empty statement is allowed
        {"begin if x y := 1; end.", "1:12: 'THEN' expected"},
        {"begin while x y end.", "1:15: 'DO' expected"},
        {"begin for i = 1 to 2 do; end.", "1:13: ':' expected"},
        {"begin for i := 1 up 2 do; end.", "1:18: 'TO' or 'DOWNTO' expected"},
        {"begin try x finally y; end end.", "parsed"},
        {"begin try x; y end.", "1:16: 'FINALLY' or 'EXCEPT' expected"},
        {"begin repeat x until ; end.", "1:22: Expression expected"},
        {"begin f(1; end.", "1:10: ')' expected"},
        {"begin a[1 := 2 end.", "1:11: ']' expected"},
        {"begin x := <A.\"b\" end.", "1:23: '>' expected"},
        {"procedure p begin end; begin end.", "1:13: ';' expected"},
        {"function f; begin end; begin end.", "1:11: ':' expected"},
        {"const c 1; begin end.", "1:9: '=' expected"},
        {"begin case x 1: y end end.", "1:14: 'OF' expected"},
        {"begin x := (1 + 2; end.", "1:18: ')' expected"},
        {"begin x := not ; end.", "1:16: Expression expected"},
        {"begin x.; end.", "1:9: Identifier expected"},
        // "1.." is a number and a range whose end is missing: the set ends there.
        {"begin x := [1..; end.", "1:14: ']' expected"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(errorOf(QString::fromUtf8(c.text)), c.error) << c.text;
}

TEST(RavidiReduvaGrammar, StatementsAndExpressions)
{
    struct Case {
        const char *text;
        const char *outline;
    } cases[] = {
        {"BEGIN x := -a * (b + 1) END.",
         "compoundstmt(assignstmt(dsgn(node[x]),expr(op[unminus],dsgn(node[a]),op[*],op[(],expr(dsgn(node[b]),"
         "op[+],number[1]),op[)])))"},
        {"begin if not a >= 2 then b else c end.",
         "compoundstmt(ifstmt(expr(op[not],dsgn(node[a]),op[>=],number[2]),thenstmt(callstmt(dsgn(node[b]))),"
         "elsestmt(callstmt(dsgn(node[c])))))"},
        {"begin a := x <> 1; b := x <= $1F; c := s in [1, 3..5]; d := o is TObject end.",
         "compoundstmt(assignstmt(dsgn(node[a]),expr(dsgn(node[x]),op[<>],number[1])),"
         "assignstmt(dsgn(node[b]),expr(dsgn(node[x]),op[<=],number[$1F])),"
         "assignstmt(dsgn(node[c]),expr(dsgn(node[s]),op[in],set(expr(number[1]),expr(number[3]),range[.],"
         "expr(number[5])))),assignstmt(dsgn(node[d]),expr(dsgn(node[o]),op[is],dsgn(node[TObject]))))"},
        {"begin x := a div b mod c and d or e xor f shl 1 shr 2 / 3 - 4 end.",
         "compoundstmt(assignstmt(dsgn(node[x]),expr(dsgn(node[a]),op[div],dsgn(node[b]),op[mod],dsgn(node[c]),"
         "op[and],dsgn(node[d]),op[or],dsgn(node[e]),op[xor],dsgn(node[f]),op[shl],number[1],op[shr],number[2],"
         "op[/],number[3],op[-],number[4])))"},
        // Members may be reserved words; indexes and calls chain.
        {"begin @p; Form.Memo1.Lines[0].End; a.b(1, 'x')[2] := 'It''s' end.",
         "compoundstmt(callstmt(dsgn(addr[@],node[p])),callstmt(dsgn(node[Form],node[Memo1],node[Lines],node[[],"
         "expr(number[0]),node[End])),assignstmt(dsgn(node[a],node[b],expr(number[1]),expr(string['x']),node[[],"
         "expr(number[2])),expr(string['It's'])))"},
        // A trailing comma in an argument list is forgiven.
        {"begin f(1,) end.", "compoundstmt(callstmt(dsgn(node[f],expr(number[1]))))"},
        {"begin f() end.", "compoundstmt(callstmt(dsgn(node[f])))"},
        {"begin ; ; x; end.", "compoundstmt(callstmt(dsgn(node[x])))"},
        {"begin for i := 10 downto 1 do s := s + i end.",
         "compoundstmt(forstmt(ident[i],expr(number[10]),downto[downto],expr(number[1]),assignstmt(dsgn(node[s]),"
         "expr(dsgn(node[s]),op[+],dsgn(node[i])))))"},
        {"begin repeat a; b until c; while d do end.",
         "compoundstmt(repeatstmt(callstmt(dsgn(node[a])),callstmt(dsgn(node[b])),expr(dsgn(node[c]))),"
         "whilestmt(expr(dsgn(node[d]))))"},
        {"begin try a except b; c end; try finally end end.",
         "compoundstmt(trystmt(callstmt(dsgn(node[a])),exceptstmt(callstmt(dsgn(node[b])),callstmt(dsgn(node[c])))),"
         "trystmt(finallystmt))"},
        {"begin with A, B.C do x := 1; break; continue; exit end.",
         "compoundstmt(with(dsgn(node[A]),dsgn(node[B],node[C]),assignstmt(dsgn(node[x]),expr(number[1]))),"
         "break,continue,exit)"},
        // The CASE selector before ELSE is forgiven; so is a missing one.
        {"begin case x of 1: a; 2..5, 7: b; else c end end.",
         "compoundstmt(casestmt(expr(dsgn(node[x])),caseselector(set(expr(number[1])),callstmt(dsgn(node[a]))),"
         "caseselector(set(expr(number[2]),range[.],expr(number[5]),expr(number[7])),callstmt(dsgn(node[b]))),"
         "callstmt(dsgn(node[c]))))"},
        {"begin case x of 1: a else c; end end.",
         "compoundstmt(casestmt(expr(dsgn(node[x])),caseselector(set(expr(number[1])),callstmt(dsgn(node[a]))),"
         "callstmt(dsgn(node[c]))))"},
        // Text after the final full stop is not read.
        {"begin end. anything ( at all", "compoundstmt"},
        {"program Demo; begin end.", "compoundstmt"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(outlineOf(QString::fromUtf8(c.text)), c.outline) << c.text;
}

TEST(RavidiReduvaGrammar, Declarations)
{
    struct Case {
        const char *text;
        const char *outline;
    } cases[] = {
        {"var a: array[5] of Integer; b: array[1..5, 0..2] of String; begin end.",
         "var(ident[a],array(dim(expr(number[5]))),type[Integer]),"
         "var(ident[b],array(dim(expr(number[1]),expr(number[5])),dim(expr(number[0]),expr(number[2]))),type[String]),"
         "compoundstmt"},
        // The second pass of the VAR loop stops quietly at BEGIN.
        {"var x, y: Integer = 5; begin end.",
         "var(ident[x],ident[y],type[Integer],init(expr(number[5]))),compoundstmt"},
        {"const A = 1; B = 'b'; var v: Variant; begin end.",
         "const(ident[A],expr(number[1])),const(ident[B],expr(string['b'])),var(ident[v],type[Variant]),compoundstmt"},
        {"procedure P(var a, b: Integer; const c: String; d: Double); var l: Integer; begin l := 1 end;\r\n"
         "function F: Boolean; begin Result := True end;\r\nbegin P(1, 2, 'x', 3) end.",
         "procedure(name[P],parameters(varparams,var(ident[a],ident[b],type[Integer]),var(ident[c],type[String]),"
         "var(ident[d],type[Double])),var(ident[l],type[Integer]),compoundstmt(assignstmt(dsgn(node[l]),"
         "expr(number[1])))),function(name[F],type[Boolean],compoundstmt(assignstmt(dsgn(node[Result]),"
         "expr(dsgn(node[True]))))),compoundstmt(callstmt(dsgn(node[P],expr(number[1]),expr(number[2]),"
         "expr(string['x']),expr(number[3]))))"},
        {"procedure Outer; procedure Inner; begin end; begin Inner end; begin end.",
         "procedure(name[Outer],procedure(name[Inner],compoundstmt),compoundstmt(callstmt(dsgn(node[Inner])))),"
         "compoundstmt"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(outlineOf(QString::fromUtf8(c.text)), c.outline) << c.text;
}

TEST(RavidiReduvaGrammar, KeywordsIgnoreCaseAndNamesMayBeCyrillic)
{
    EXPECT_EQ(outlineOf(QStringLiteral("VAR Сумма: Integer; Begin Сумма := 1 END.")),
              "var(ident[Сумма],type[Integer]),compoundstmt(assignstmt(dsgn(node[Сумма]),expr(number[1])))");
}

TEST(RavidiReduvaGrammar, PositionsOfElements)
{
    ScriptCompileTarget target;
    TfsILParser p(&target);
    p.SelectLanguage(QStringLiteral("RavidiReduva"));
    ASSERT_TRUE(p.MakeILScript(QStringLiteral("begin\r\n  x :=  a + 12 ;\r\n  if <D.\"f\"> > 0 then\r\n  end.")));
    const TfsXMLItem *block = p.ILScript()->Root()->Items(0);
    const TfsXMLItem *assign = block->Items(0);
    EXPECT_EQ(assign->Prop(QStringLiteral("pos")), QStringLiteral("2:3"));
    const TfsXMLItem *expr = assign->Items(1);
    EXPECT_EQ(expr->Prop(QStringLiteral("pos")), QStringLiteral("2:9"));
    EXPECT_EQ(expr->Prop(QStringLiteral("pos1")), QStringLiteral("2:15")); // just after "12"
    // An added element sits just after its token.
    EXPECT_EQ(expr->Items(0)->Items(0)->Prop(QStringLiteral("pos")), QStringLiteral("2:10"));
    EXPECT_EQ(expr->Items(2)->Prop(QStringLiteral("pos")), QStringLiteral("2:15"));

    // A report reference is a call of Get; its four elements carry the closing position.
    const TfsXMLItem *cond = block->Items(1)->Items(0);
    EXPECT_EQ(test::outline(cond).toStdString(),
              "expr(dsgn(node[Get],expr(string['D.\"f\"'])),op[>],number[0])");
    const TfsXMLItem *ref = cond->Items(0);
    for (const TfsXMLItem *i : std::initializer_list<const TfsXMLItem *>{ref, ref->Items(0), ref->Items(1), ref->Items(1)->Items(0)})
        EXPECT_EQ(i->Prop(QStringLiteral("pos")), QStringLiteral("3:12")) << i->Name().toStdString();
    // The condition's text runs from the reference to the number.
    EXPECT_EQ(cond->Prop(QStringLiteral("pos")), QStringLiteral("3:6"));
    EXPECT_EQ(cond->Prop(QStringLiteral("pos1")), QStringLiteral("3:17"));
}

TEST(RavidiReduvaGrammar, ReferenceComparedByLessThan)
{
    EXPECT_EQ(outlineOf(QStringLiteral("begin b := <T.\"a\"><0 end.")),
              "compoundstmt(assignstmt(dsgn(node[b]),expr(dsgn(node[Get],expr(string['T.\"a\"'])),op[<],number[0])))");
}

TEST(RavidiReduvaGrammar, LanguageLineSelectsTheGrammar)
{
    // The first line names the language; the rest is read with it.
    const auto r = parseScript(QStringLiteral("#language JScript\r\nx = 1;"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.outline.toStdString(), "compoundstmt(assignstmt(dsgn(node[x]),expr(number[1])))");
    EXPECT_EQ(errorOf(QStringLiteral("#language Nope\r\nbegin end.")), "1:10: Language 'Nope' not found");
    // Not the language line: read as ordinary text.
    EXPECT_EQ(errorOf(QStringLiteral("#13")), "1:1: 'BEGIN' expected");
}

TEST(RavidiReduvaGrammar, SwitchingLanguageDoesNotKeepCaseSensitivityOrComments)
{
    // After a case-sensitive language, a later selection must read keywords in any case,
    // and a comment opener of the earlier language must not swallow names.
    ScriptCompileTarget target;
    TfsILParser p(&target);
    p.SelectLanguage(QStringLiteral("VozurOvuzur"));
    p.SelectLanguage(QStringLiteral("R++Ivezud"));
    ASSERT_TRUE(p.MakeILScript(QStringLiteral("#language RavidiReduva\r\nBEGIN remark := 1 END.")))
        << target.ErrorMsg.toStdString();
    EXPECT_EQ(test::outline(p.ILScript()->Root()->Items(0)).toStdString(),
              "compoundstmt(assignstmt(dsgn(node[remark]),expr(number[1])))");
}

TEST(RavidiReduvaGrammar, UnitsFromTheHandler)
{
    ScriptCompileTarget target;
    QStringList asked;
    target.OnGetUnit = [&](ScriptCompileTarget *sender, const QString &name, QString &text) {
        EXPECT_EQ(sender, &target);
        asked << name;
        if (name == QLatin1String("a.pas"))
            text = QStringLiteral("uses 'b.pas'; var va: Integer; begin end.");
        else if (name == QLatin1String("b.pas"))
            text = QStringLiteral("uses 'a.pas'; var vb: Integer; begin end.");
        else
            text = QStringLiteral("begin x := ; end.");
    };
    auto r = parseScript(QStringLiteral("uses 'a.pas', 'b.pas'; begin end."), QStringLiteral("RavidiReduva"),
                         &target);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    // Processed from the last to the first; a unit is included once.
    EXPECT_EQ(asked, (QStringList{QStringLiteral("b.pas"), QStringLiteral("a.pas")}));
    // b.pas comes first and brings a.pas in; the main text's a.pas is then already there.
    EXPECT_EQ(r.outline.toStdString(),
              "uses{b.pas}(program(uses{a.pas}(program(var(ident[va],type[Integer]),compoundstmt,types)),"
              "var(ident[vb],type[Integer]),compoundstmt,types)),compoundstmt");

    r = parseScript(QStringLiteral("uses 'bad.pas'; begin end."), QStringLiteral("RavidiReduva"), &target);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.toStdString(), "1:12: Expression expected");
    EXPECT_EQ(r.errorUnit, QStringLiteral("bad.pas"));
}

TEST(RavidiReduvaGrammar, UnitsFromTheIncludePath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(QStringLiteral("lib"));
    test::writeBytes(dir.filePath(QStringLiteral("lib/util.pas")),
                     QByteArray("procedure Helper; begin end;\r\nbegin end."));
    ScriptCompileTarget target;
    target.IncludePath = {dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("lib"))};
    auto r = parseScript(QStringLiteral("uses 'util.pas'; begin Helper end."), QStringLiteral("RavidiReduva"),
                         &target);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.outline.toStdString(),
              "uses{util.pas}(program(procedure(name[Helper],compoundstmt),compoundstmt,types)),"
              "compoundstmt(callstmt(dsgn(node[Helper])))");

    r = parseScript(QStringLiteral("uses 'none.pas'; begin end."), QStringLiteral("RavidiReduva"), &target);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.toStdString(), "1:16: Unit 'none.pas' not found");
}
