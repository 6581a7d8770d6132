#include "ilhelpers.h"
#include "script/ilverb.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::test::parseScript;

namespace {

std::string parsed(const char *text, const char *lang)
{
    const auto r = parseScript(QString::fromUtf8(text), QString::fromLatin1(lang));
    return r.ok ? r.outline.toStdString() : "error " + r.error.toStdString();
}

} // namespace

// One realistic template script per language, compared with its reviewed intermediate program.
TEST(Grammars, TemplateScriptsGiveTheExpectedIntermediatePrograms)
{
    struct Case {
        const char *language;
        const char *source;
        const char *expected;
    } cases[] = {
        {"RavidiReduva", "script/template.ravidireduva.txt", "script/template.ravidireduva.il.xml"},
        {"R++Ivezud", "script/template.rppivezud.txt", "script/template.rppivezud.il.xml"},
        {"VozurOvuzur", "script/template.vozurovuzur.txt", "script/template.vozurovuzur.il.xml"},
        {"JScript", "script/template.jscript.txt", "script/template.jscript.il.xml"},
    };
    for (const Case &c : cases) {
        const QByteArray source = test::readBytes(test::fixturePath(QString::fromLatin1(c.source)));
        ASSERT_FALSE(source.isEmpty()) << c.source;
        QString error;
        const QByteArray il = scriptILCode(QString::fromUtf8(source), QString::fromLatin1(c.language), &error);
        EXPECT_EQ(error, QString()) << c.language;
        EXPECT_EQ(il.toStdString(), test::readBytes(test::fixturePath(QString::fromLatin1(c.expected))).toStdString())
            << c.language;
    }
}

TEST(Grammars, RppIvezudKeywordsAreCaseSensitive)
{
    EXPECT_EQ(parsed("{ if (x) y(); }", "R++Ivezud"),
              "compoundstmt(ifstmt(expr(dsgn(node[x])),thenstmt(callstmt(dsgn(node[y])))))");
    // "If" is a name there: a call If(x) followed by a stray y.
    EXPECT_EQ(parsed("{ If (x) y(); }", "R++Ivezud"), "error 1:10: ';' expected");
}

TEST(Grammars, RppIvezudForms)
{
    struct Case {
        const char *text;
        const char *outline;
    } cases[] = {
        {"#include \"u.cpp\"\n{}", "error 1:17: Unit 'u.cpp' not found"},
        {"#define Max 10\nint a[2][3];\n{ do a++; while (a < Max); }",
         "const(ident[Max],expr(number[10])),var(type[int],ident[a],array(dim(expr(number[2])),dim(expr(number[3])))),"
         "compoundstmt(repeatstmt(callstmt(dsgn(node[a]),modificator[+]),expr(dsgn(node[a]),op[<],dsgn(node[Max])),"
         "inverse[]))"},
        {"{ x = new TList(); delete x; ; for (;x;) break; y = a << 2 >> 1 || b && c ^ !d % e; }",
         "compoundstmt(assignstmt(dsgn(node[x]),expr(new(dsgn(node[TList])))),delete(dsgn(node[x])),empty,"
         "cppforstmt(compoundstmt(empty),expr(dsgn(node[x])),compoundstmt(empty),break),"
         "assignstmt(dsgn(node[y]),expr(dsgn(node[a]),op[shl],number[2],op[shr],number[1],op[or],dsgn(node[b]),"
         "op[and],dsgn(node[c]),op[xor],op[not],dsgn(node[d]),op[mod],dsgn(node[e]))))"},
        // A single quote is no string quote there.
        {"{ s = \"a\\tb\" + 'x'; }", "error 1:14: ';' expected"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parsed(c.text, "R++Ivezud"), c.outline) << c.text;
}

TEST(Grammars, VozurOvuzurLinesContinuationsAndSeparators)
{
    struct Case {
        const char *text;
        const char *outline;
    } cases[] = {
        {"a = 1 : b = _\r\n  2\r\n",
         "compoundstmt(assignstmt(dsgn(node[a]),expr(number[1])),assignstmt(dsgn(node[b]),expr(number[2])))"},
        {"' comment line\r\nREM is not a comment in upper case\r\n", "error 2:1: Statement expected"},
        {"x = 1 rem trailing\r\n\r\n\r\ny = 2\r\n",
         "compoundstmt(assignstmt(dsgn(node[x]),expr(number[1])),assignstmt(dsgn(node[y]),expr(number[2])))"},
        {"For i = 3 To 1 Step -1\r\n  s = s & i\r\nNext\r\n",
         "compoundstmt(vbforstmt(ident[i],expr(number[3]),expr(number[1]),expr(op[unminus],number[1]),"
         "compoundstmt(assignstmt(dsgn(node[s]),expr(dsgn(node[s]),op[strcat],dsgn(node[i]))))))"},
        {"Do\r\n  i = i + 1\r\nLoop While i < 3\r\n",
         "compoundstmt(repeatstmt(compoundstmt(assignstmt(dsgn(node[i]),expr(dsgn(node[i]),op[+],number[1]))),"
         "expr(dsgn(node[i]),op[<],number[3]),inverse[]))"},
        {"If a Then b\r\n", "compoundstmt(ifstmt(expr(dsgn(node[a])),thenstmt(callstmt(dsgn(node[b])))))"},
        {"If a Then\r\n  b\r\nElse\r\n  c\r\nEnd If\r\n",
         "compoundstmt(ifstmt(expr(dsgn(node[a])),thenstmt(compoundstmt(callstmt(dsgn(node[b])))),"
         "elsestmt(compoundstmt(callstmt(dsgn(node[c]))))))"},
        {"If a Then\r\n  b\r\nEnd\r\n", "error 3:4: 'IF' expected"},
        {"While a\r\n  b\r\n", "error 3:1: 'WEND' expected"},
        {"x = \r\n", "error 1:5: Expression expected"},
        // The last line needs no line end of its own, as in the wrapper of a single expression.
        {"function fsEvaluateFUNC\r\nreturn 1 + 2\r\nend function",
         "compoundstmt(function(name[fsEvaluateFUNC],compoundstmt(return(expr(number[1],op[+],number[2]))),exit))"},
        {"If a Then\r\n  b\r\nEnd If", "compoundstmt(ifstmt(expr(dsgn(node[a])),thenstmt(compoundstmt(callstmt(dsgn(node[b]))))))"},
        // A line that does not parse is an error, not the silent end of the script.
        {"x = 1\r\n)\r\ny = 2\r\n", "error 2:1: Statement expected"},
        {"x = 1\r\n\r\n  ' note\r\n   \r\n", "compoundstmt(assignstmt(dsgn(node[x]),expr(number[1])))"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parsed(c.text, "VozurOvuzur"), c.outline) << c.text;
}

TEST(Grammars, JScriptForms)
{
    struct Case {
        const char *text;
        const char *outline;
    } cases[] = {
        {"import \"lib.js\"", "error 1:16: Unit 'lib.js' not found"},
        {"do x--; while (x > 0);",
         "compoundstmt(repeatstmt(callstmt(dsgn(node[x]),modificator[-]),expr(dsgn(node[x]),op[>],number[0]),inverse[]))"},
        {"try { a(); } finally { b(); }",
         "compoundstmt(trystmt(compoundstmt(callstmt(dsgn(node[a]))),finallystmt(compoundstmt(callstmt(dsgn(node[b]))))))"},
        {"function (x) {}", "error 1:10: Expression expected"},
        {"if (a) { b = 1 ", "error 1:16: '}' expected"},
        {"x = 1; } y = 2;", "error 1:8: Statement expected"},
        {"x = 1; // done\r\n", "compoundstmt(assignstmt(dsgn(node[x]),expr(number[1])))"},
        {"x = \"tab\\x41\";", "compoundstmt(assignstmt(dsgn(node[x]),expr(string['tabA'])))"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parsed(c.text, "JScript"), c.outline) << c.text;
}

TEST(Grammars, UndeclaredNamesAreAllowedWhereTheGrammarSaysSo)
{
    const struct {
        const char *language;
        bool declare;
    } cases[] = {{"RavidiReduva", true}, {"R++Ivezud", true}, {"VozurOvuzur", false}, {"JScript", false}};
    for (const auto &c : cases) {
        ScriptCompileTarget target;
        TfsILParser p(&target);
        p.SelectLanguage(QString::fromLatin1(c.language));
        EXPECT_EQ(p.NeedDeclareVars(), c.declare) << c.language;
    }
}
