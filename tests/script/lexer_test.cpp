#include "script/lexer.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

// A lexer set up the way the default language configures it.
TfsParser defaultLexer(const QString &text)
{
    TfsParser p;
    for (const char *k : {"begin", "end", "var", "if", "then"})
        p.AddKeyword(QString::fromLatin1(k));
    p.SetText(text);
    return p;
}

QString rest(const TfsParser &p) { return p.Text().mid(p.Position() - 1); }

} // namespace

TEST(Lexer, CommentsAreSkippedAsAWhole)
{
    struct Case {
        const char *text;
        const char *left;
    } cases[] = {
        {"{ block } // line\nnext", "next"},
        {"(* star { brace *) x", "x"},
        // A brace comment ends at the first closing brace, whatever it holds.
        {"{ has (* inside } y", "y"},
        {"// only\n  // two\nz", "z"},
        {"  \t\r\n w", "w"},
        {"{ never closed", ""},
    };
    for (const Case &c : cases) {
        TfsParser p = defaultLexer(QString::fromUtf8(c.text));
        p.SkipSpaces();
        EXPECT_EQ(rest(p).toStdString(), c.left) << c.text;
        EXPECT_EQ(p.LastPosition(), p.Position());
    }
}

TEST(Lexer, LineOrientedSettingsKeepLineEnds)
{
    TfsParser p;
    p.SetSkipEOL(false);
    p.SetCommentLine1(QStringLiteral("'"));
    p.SetSkiPChar(QStringLiteral("_"));
    p.SetText(QStringLiteral("a ' note\r\nb _\r\n c\r\n' whole line\r\nd"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("a"));
    // A trailing comment leaves the line end as a token.
    EXPECT_TRUE(p.GetEOL());
    EXPECT_EQ(p.GetIdent(), QStringLiteral("b"));
    // The continuation character swallows its line end.
    EXPECT_EQ(p.GetIdent(), QStringLiteral("c"));
    EXPECT_TRUE(p.GetEOL());
    // A comment that fills its line produces no extra line end.
    EXPECT_EQ(p.GetIdent(), QStringLiteral("d"));
    EXPECT_FALSE(p.GetEOL());
}

TEST(Lexer, QuotedStringsWithControlPieces)
{
    struct Case {
        const char *text;
        const char *token; // as returned, wrapped in single quotes
        const char *left;
    } cases[] = {
        {"'It''s' x", "'It's'", " x"},
        {"'a'#13#10'b';", "'a\r\nb'", ";"},
        {"#$41", "'A'", ""},
        {"#65#66", "'AB'", ""},
        {"''", "''", ""},
        {"'tab\tinside'", "'tab\tinside'", ""},
        // A quote left open at the end of a line is no string.
        {"'open\r\nx'", "", "'open\r\nx'"},
        // Pieces read before an unterminated one still count.
        {"'a'#66'c\n", "'aB'", "'c\n"},
        {"# 1", "", "# 1"},
        {"abc", "", "abc"},
    };
    for (const Case &c : cases) {
        TfsParser p = defaultLexer(QString::fromUtf8(c.text));
        EXPECT_EQ(p.GetString().toStdString(), c.token) << c.text;
        EXPECT_EQ(rest(p).toStdString(), c.left) << c.text;
    }
}

TEST(Lexer, BackslashStrings)
{
    TfsParser p;
    p.SetStringQuotes(QStringLiteral("\""));
    p.SetSpecStrChar(true);
    p.SetHexSequence(QStringLiteral("0x"));
    p.SetText(QStringLiteral(R"("a\nb\R\x41\"q\\" "x""y" "bad\)"));
    EXPECT_EQ(p.GetString(), QStringLiteral("'a\nb\rA\"q\\'"));
    // No doubled-quote escape: two quotes end one piece and start the next.
    EXPECT_EQ(p.GetString(), QStringLiteral("'xy'"));
    EXPECT_EQ(p.GetString(), QString());
}

TEST(Lexer, Numbers)
{
    struct Case {
        const char *hex;
        const char *text;
        const char *token;
        const char *left;
    } cases[] = {
        {"$", "12", "12", ""},
        {"$", "1.5", "1.5", ""},
        {"$", "1e3", "1e3", ""},
        {"$", "1.5E-2", "1.5E-2", ""},
        {"$", "$FF;", "$FF", ";"},
        {"$", "1.", "1", "."},
        {"$", "1..2", "1", "..2"},
        {"$", "2e", "2", "e"},
        {"$", "2e+x", "2", "e+x"},
        {"$", "-3", "", "-3"},
        {"$", "$", "", "$"},
        {"0x", "0x1F", "$1F", ""},
        {"0x", "0xg", "0", "xg"},
    };
    for (const Case &c : cases) {
        TfsParser p;
        p.SetHexSequence(QString::fromLatin1(c.hex));
        p.SetText(QString::fromUtf8(c.text));
        EXPECT_EQ(p.GetNumber().toStdString(), c.token) << c.text;
        EXPECT_EQ(rest(p).toStdString(), c.left) << c.text;
    }
}

TEST(Lexer, ReportReferences)
{
    struct Case {
        const char *text; // after the opening "<"
        const char *token;
    } cases[] = {
        {R"(Bill."PercBill_type"> > 0)", R"(Bill."PercBill_type")"},
        {R"(Sum(<Bill."x">) + [a]> rest)", R"(Sum(<Bill."x">) + [a])"},
        {R"(Data."a>b"> x)", R"(Data."a>b")"},
        {R"(Calc('it]s') > 1)", R"(Calc('it]s') )"},
        {"never closed", "never closed"},
    };
    for (const Case &c : cases) {
        TfsParser p = defaultLexer(QString::fromUtf8(c.text));
        EXPECT_EQ(p.GetFRString().toStdString(), c.token) << c.text;
        // The closing character is left for the grammar.
        if (p.Position() <= p.Length()) {
            EXPECT_EQ(p.GetChar(), QStringLiteral(">")) << c.text;
        }
    }
}

TEST(Lexer, IdentifiersAndKeywords)
{
    TfsParser p = defaultLexer(QStringLiteral("Сумма_1 Begin BEGIN begin x1 1x _y"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("Сумма_1"));
    // Reserved words are no identifiers in any case, but they are words.
    const int before = p.Position();
    EXPECT_EQ(p.GetIdent(), QString());
    EXPECT_GT(p.Position(), before);
    EXPECT_EQ(p.GetWord(), QStringLiteral("BEGIN"));
    EXPECT_TRUE(p.IsKeyWord(QStringLiteral("BeGiN")));
    EXPECT_EQ(p.GetWord(), QStringLiteral("begin"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("x1"));
    EXPECT_EQ(p.GetIdent(), QString()); // a digit does not start a name
    EXPECT_EQ(p.GetNumber(), QStringLiteral("1"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("x"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("_y"));

    p.SetCaseSensitive(true);
    EXPECT_TRUE(p.IsKeyWord(QStringLiteral("begin")));
    EXPECT_FALSE(p.IsKeyWord(QStringLiteral("Begin")));
}

TEST(Lexer, CharsArePunctuationOnly)
{
    TfsParser p;
    p.SetText(QStringLiteral(";a :"));
    EXPECT_EQ(p.GetChar(), QStringLiteral(";"));
    EXPECT_EQ(p.GetChar(), QString());
    EXPECT_EQ(p.GetIdent(), QStringLiteral("a"));
    EXPECT_EQ(p.GetChar(), QString()); // never skips white space
    p.SkipSpaces();
    EXPECT_EQ(p.GetChar(), QStringLiteral(":"));
    EXPECT_EQ(p.GetChar(), QString()); // at the end
}

TEST(Lexer, Positions)
{
    TfsParser p;
    p.SetText(QStringLiteral("ab\ncd\n\nx"));
    p.SetPosition(4);
    EXPECT_EQ(p.GetXYPosition(), QStringLiteral("2:1"));
    p.SetPosition(2);
    EXPECT_EQ(p.GetXYPosition(), QStringLiteral("1:2"));
    // A line feed belongs to the line it ends.
    EXPECT_EQ(p.XYPosition(3), QStringLiteral("1:3"));
    EXPECT_EQ(p.XYPosition(8), QStringLiteral("4:1"));
    EXPECT_EQ(p.XYPosition(9), QStringLiteral("4:2")); // just after the end
    EXPECT_EQ(p.GetPlainPosition(2, 2), 5);
    EXPECT_EQ(p.GetPlainPosition(1, 5), -1);
    EXPECT_EQ(p.GetPlainPosition(1, 0), -1);

    p.SetUseY(false);
    p.SetText(QStringLiteral("ab\ncd"));
    EXPECT_EQ(p.XYPosition(5), QStringLiteral("2:2"));
}

TEST(Lexer, ClearKeepsCaseSensitivityAndSecondLineComment)
{
    TfsParser p;
    p.SetCaseSensitive(true);
    p.SetCommentLine2(QStringLiteral("rem"));
    p.SetCommentBlock1(QStringLiteral("/*"));
    p.AddKeyword(QStringLiteral("x"));
    EXPECT_EQ(p.CommentBlock1(), QStringLiteral("/*,"));
    p.Clear();
    EXPECT_TRUE(p.CaseSensitive());
    EXPECT_EQ(p.CommentLine2(), QStringLiteral("rem"));
    EXPECT_EQ(p.CommentBlock1(), QStringLiteral("{,}"));
    EXPECT_EQ(p.CommentBlock2(), QStringLiteral("(*,*)"));
    EXPECT_TRUE(p.Keywords().isEmpty());
    EXPECT_EQ(p.HexSequence(), QStringLiteral("$"));
}

TEST(Lexer, ConstructCharsetReplacesTheIdentifierSet)
{
    TfsParser p;
    p.ConstructCharset(QStringLiteral("ab-"));
    p.SetText(QStringLiteral("a-b_c"));
    EXPECT_EQ(p.GetIdent(), QStringLiteral("a-b"));
}
