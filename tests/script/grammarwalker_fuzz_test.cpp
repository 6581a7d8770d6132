#include "ilhelpers.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace tw;

namespace {

const char *const kLanguages[] = {"RavidiReduva", "R++Ivezud", "VozurOvuzur", "JScript"};

// Every outcome must be a document or an error with a message and a position.
void checkOutcome(const QString &text, const QString &language)
{
    static const QRegularExpression position(QStringLiteral("^\\d+:\\d+$"));
    ScriptCompileTarget target;
    TfsILParser p(&target);
    p.SelectLanguage(language);
    if (p.MakeILScript(text)) {
        ASSERT_EQ(p.ILScript()->Root()->Name(), QStringLiteral("program"));
        ASSERT_TRUE(target.ErrorMsg.isEmpty());
    } else {
        ASSERT_FALSE(target.ErrorMsg.isEmpty()) << text.toStdString();
        ASSERT_TRUE(position.match(target.ErrorPos).hasMatch())
            << target.ErrorPos.toStdString() << " for " << text.toStdString();
    }
}

QString randomTokens(QRandomGenerator &rng)
{
    static const QStringList pieces = {
        QStringLiteral("begin"), QStringLiteral("end"), QStringLiteral("."), QStringLiteral(";"),
        QStringLiteral(":="), QStringLiteral("if"), QStringLiteral("then"), QStringLiteral("else"),
        QStringLiteral("case"), QStringLiteral("of"), QStringLiteral("var"), QStringLiteral("x"),
        QStringLiteral("1"), QStringLiteral("1.5e3"), QStringLiteral("$F"), QStringLiteral("0x1"),
        QStringLiteral("("), QStringLiteral(")"), QStringLiteral("["), QStringLiteral("]"),
        QStringLiteral("{"), QStringLiteral("}"), QStringLiteral("<"), QStringLiteral(">"),
        QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("#"), QStringLiteral("#13"),
        QStringLiteral("\\"), QStringLiteral("_"), QStringLiteral("\r\n"), QStringLiteral("\n"),
        QStringLiteral("//"), QStringLiteral("(*"), QStringLiteral("/*"), QStringLiteral("*/"),
        QStringLiteral(","), QStringLiteral("="), QStringLiteral("+"), QStringLiteral("-"),
        QStringLiteral("Select"), QStringLiteral("Case"), QStringLiteral("End"), QStringLiteral("If"),
        QStringLiteral("function"), QStringLiteral("procedure"), QStringLiteral("while"),
        QStringLiteral("for"), QStringLiteral("try"), QStringLiteral("uses"), QStringLiteral("Я"),
        QStringLiteral(" "), QStringLiteral("\t"), QString(QChar(0)), QStringLiteral("\xF0\x9F\x98\x80"),
    };
    QString s;
    const int n = int(rng.bounded(60));
    for (int i = 0; i < n; ++i) {
        s += pieces.at(int(rng.bounded(int(pieces.size()))));
        if (rng.bounded(3) == 0)
            s += QLatin1Char(' ');
    }
    return s;
}

QString mutate(QString s, QRandomGenerator &rng)
{
    const int edits = 1 + int(rng.bounded(6));
    for (int i = 0; i < edits && !s.isEmpty(); ++i) {
        const int at = int(rng.bounded(int(s.size())));
        switch (rng.bounded(3)) {
        case 0: s.remove(at, 1 + int(rng.bounded(8))); break;
        case 1: s.insert(at, QChar(char16_t(rng.bounded(33, 127)))); break;
        default: s.insert(at, s.mid(int(rng.bounded(int(s.size()))), int(rng.bounded(20)))); break;
        }
    }
    return s;
}

} // namespace

TEST(WalkerFuzz, RandomTokenSoupNeverCrashes)
{
    QRandomGenerator rng(20240607);
    for (const char *lang : kLanguages)
        for (int i = 0; i < 300; ++i)
            checkOutcome(randomTokens(rng), QString::fromLatin1(lang));
}

TEST(WalkerFuzz, MutatedTemplatesNeverCrash)
{
    const struct {
        const char *language;
        const char *file;
    } sources[] = {{"RavidiReduva", "script/template.ravidireduva.txt"},
                   {"R++Ivezud", "script/template.rppivezud.txt"},
                   {"VozurOvuzur", "script/template.vozurovuzur.txt"},
                   {"JScript", "script/template.jscript.txt"}};
    QRandomGenerator rng(77);
    for (const auto &s : sources) {
        const QString text = QString::fromUtf8(test::readBytes(test::fixturePath(QString::fromLatin1(s.file))));
        ASSERT_FALSE(text.isEmpty());
        for (int i = 0; i < 60; ++i)
            checkOutcome(mutate(text, rng), QString::fromLatin1(s.language));
    }
}

TEST(WalkerFuzz, DeepNestingIsRefusedNotFatal)
{
    const QString deep[] = {
        QStringLiteral("begin x := ") + QString(20000, QLatin1Char('(')) + QStringLiteral("1 end."),
        QStringLiteral("begin ") + QStringLiteral("begin ").repeated(20000) + QStringLiteral("end."),
        QStringLiteral("begin x := ") + QStringLiteral("-[").repeated(20000) + QStringLiteral(" end."),
        QStringLiteral("begin x := <") + QString(20000, QLatin1Char('<')) + QStringLiteral(" end."),
    };
    for (const QString &text : deep) {
        auto r = test::parseScript(text);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.isEmpty());
    }
    // Ordinary depth still parses.
    auto r = test::parseScript(QStringLiteral("begin x := ") + QString(40, QLatin1Char('(')) + QStringLiteral("1")
                               + QString(40, QLatin1Char(')')) + QStringLiteral(" end."));
    EXPECT_TRUE(r.ok) << r.error.toStdString();
}

TEST(WalkerFuzz, LongElseIfChainsParse)
{
    QString text = QStringLiteral("begin if a = 0 then x := 0");
    for (int i = 1; i < 150; ++i)
        text += QStringLiteral(" else if a = %1 then x := %1").arg(i);
    text += QStringLiteral(" end.");
    const auto r = test::parseScript(text);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
}
