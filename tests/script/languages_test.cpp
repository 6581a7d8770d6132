#include "ilhelpers.h"
#include "script/grammarwalker.h"
#include "script/languages.h"
#include "script/grammardocument.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace tw;

namespace {

const QStringList kLanguages = {QStringLiteral("RavidiReduva"), QStringLiteral("R++Ivezud"),
                                QStringLiteral("VozurOvuzur"), QStringLiteral("JScript")};

const QSet<QString> kBodyElements = {
    QStringLiteral("char"), QStringLiteral("keyword"), QStringLiteral("ident"),
    QStringLiteral("number"), QStringLiteral("string"), QStringLiteral("frstring"),
    QStringLiteral("eol"), QStringLiteral("sequence"), QStringLiteral("switch"),
    QStringLiteral("optionalswitch"), QStringLiteral("loop"), QStringLiteral("optionalloop"),
    QStringLiteral("optional")};

void checkBody(const TfsXMLItem *item, const TfsXMLItem *root, const TfsXMLItem *errors,
               const QString &lang, QStringList &problems)
{
    const QString name = item->Name().toLower();
    if (!kBodyElements.contains(name) && root->Find(name) < 0)
        problems << lang + QStringLiteral(": no rule ") + name;
    const QString err = item->Prop(QStringLiteral("err"));
    if (!err.isEmpty() && (errors->Find(err) < 0 || errors->Items(errors->Find(err))->Prop("text").isEmpty()))
        problems << lang + QStringLiteral(": no message ") + err;
    for (int i = 0; i < item->Count(); ++i)
        checkBody(item->Items(i), root, errors, lang, problems);
}

} // namespace

TEST(Languages, BuiltInGrammarsAreRegisteredInOrder)
{
    QStringList names{QStringLiteral("stale")};
    ScriptLanguageNames(names);
    EXPECT_EQ(names.mid(0, 4), kLanguages);
}

TEST(Languages, EveryRuleReferenceResolves)
{
    QStringList problems;
    for (const QString &lang : kLanguages) {
        TfsXMLDocument doc;
        doc.LoadFromBytes(ScriptLanguageGrammar(lang).toUtf8());
        TfsXMLItem *root = doc.Root();
        ASSERT_EQ(root->Name(), QStringLiteral("language"));
        EXPECT_EQ(root->Prop(QStringLiteral("text")), lang);
        // parser, types, empty, then the rules
        ASSERT_GT(root->Count(), 3);
        EXPECT_EQ(root->Items(0)->Name(), QStringLiteral("parser"));
        EXPECT_EQ(root->Items(1)->Name(), QStringLiteral("types"));
        EXPECT_EQ(root->Items(2)->Name(), QStringLiteral("empty"));
        EXPECT_GE(root->Find(QStringLiteral("program")), 0) << lang.toStdString();
        TfsXMLItem *parser = root->Items(0);
        TfsXMLItem *errors = parser->FindItem(QStringLiteral("errors"));
        for (int i = 3; i < root->Count(); ++i)
            for (int j = 0; j < root->Items(i)->Count(); ++j)
                checkBody(root->Items(i)->Items(j), root, errors, lang, problems);
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST(Languages, KeywordAndErrorTablesHaveTheirSizes)
{
    const int keywords[] = {40, 19, 40, 22};
    const int errors[] = {20, 18, 28, 17};
    for (int i = 0; i < 4; ++i) {
        TfsXMLDocument doc;
        doc.LoadFromBytes(ScriptLanguageGrammar(kLanguages[i]).toUtf8());
        TfsXMLItem *parser = doc.Root()->FindItem(QStringLiteral("parser"));
        EXPECT_EQ(parser->FindItem(QStringLiteral("keywords"))->Count(), keywords[i]);
        EXPECT_EQ(parser->FindItem(QStringLiteral("errors"))->Count(), errors[i]);
    }
}

TEST(Languages, RegistryReplacesByNameAndHidesAtNames)
{
    const QString original = ScriptLanguageGrammar(QStringLiteral("RavidiReduva"));
    AddScriptLanguage(QStringLiteral("ravidireduva"), QStringLiteral("<replaced/>"));
    EXPECT_EQ(ScriptLanguageGrammar(QStringLiteral("RAVIDIREDUVA")), QStringLiteral("<replaced/>"));
    AddScriptLanguage(QStringLiteral("RavidiReduva"), original);

    AddScriptLanguage(QStringLiteral("@hidden"), QStringLiteral("x"));
    QStringList names;
    ScriptLanguageNames(names);
    EXPECT_FALSE(names.contains(QStringLiteral("@hidden")));
    EXPECT_EQ(names.count(QStringLiteral("RavidiReduva")), 1);
    EXPECT_EQ(ScriptLanguageGrammar(QStringLiteral("@hidden")), QStringLiteral("x"));

    try {
        ScriptLanguageGrammar(QStringLiteral("Cobol"));
        ADD_FAILURE();
    } catch (const EfsLanguageNotFound &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Language 'Cobol' not found"));
    }
}

TEST(Languages, GrammarsThatCannotWorkFailCleanly)
{
    const struct {
        const char *name;
        const char *grammar;
        const char *error;
    } cases[] = {
        // A rule that names itself before reading anything.
        {"@recursive", "<?xml version=\"1.0\"?><language><program><program/></program></language>",
         "Nesting too deep"},
        // Referring to the settings element as if it were a rule.
        {"@settings", "<?xml version=\"1.0\"?><language><parser><commentline1 text=\"#\"/></parser>"
                      "<program><parser/></program></language>",
         "Invalid language definition"},
        // A loop that can match nothing ends instead of spinning.
        {"@emptyloop", "<?xml version=\"1.0\"?><language><empty/><program><loop><empty/></loop></program></language>",
         ""},
    };
    for (const auto &c : cases) {
        AddScriptLanguage(QString::fromLatin1(c.name), QString::fromLatin1(c.grammar));
        ScriptCompileTarget target;
        TfsILParser p(&target);
        p.SelectLanguage(QString::fromLatin1(c.name));
        p.MakeILScript(QStringLiteral("x"));
        EXPECT_EQ(target.ErrorMsg.toStdString(), c.error) << c.name;
    }
}

TEST(Languages, AnOptionalPartThatFailsLeavesNoOutput)
{
    // The name read before the missing "!" is read again by the next item; it must not
    // appear twice in the program.
    AddScriptLanguage(QStringLiteral("@optional"),
                      QStringLiteral("<?xml version=\"1.0\"?><language><program>"
                                     "<optional><ident add=\"first\"/><char text=\"!\"/></optional>"
                                     "<ident add=\"second\"/></program></language>"));
    auto r = test::parseScript(QStringLiteral("abc"), QStringLiteral("@optional"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.outline.toStdString(), "second[abc]");
    r = test::parseScript(QStringLiteral("abc! d"), QStringLiteral("@optional"));
    EXPECT_EQ(r.outline.toStdString(), "first[abc],second[d]");
}

TEST(Languages, ALoopForgivesOnlyErrorsMadeInsideIt)
{
    // The number's error is recorded before the list starts; ending the list must not
    // wipe it out and turn the failed text into a success.
    AddScriptLanguage(QStringLiteral("@forgive"),
                      QStringLiteral("<?xml version=\"1.0\"?><language><parser><errors>"
                                     "<err1 text=\"Number expected\"/></errors></parser><program>"
                                     "<optional><number err=\"err1\" term=\"1\"/></optional>"
                                     "<loop skip=\"1\"><char text=\";\"/><ident term=\"1\" err=\"err1\"/></loop>"
                                     "</program></language>"));
    EXPECT_EQ(test::parseScript(QStringLiteral("; a ; b ;"), QStringLiteral("@forgive")).error.toStdString(),
              "1:1: Number expected");
    // Inside the list, the failed last repetition is forgiven.
    const auto r = test::parseScript(QStringLiteral("1 ; a ; b ;"), QStringLiteral("@forgive"));
    EXPECT_TRUE(r.ok) << r.error.toStdString();
}

TEST(Languages, UndefinedRuleIsAGrammarDefect)
{
    AddScriptLanguage(QStringLiteral("@broken"),
                      QStringLiteral("<?xml version=\"1.0\"?><language text=\"@broken\"><parser/><types/>"
                                     "<empty/><program><nosuchrule/></program></language>"));
    ScriptCompileTarget target;
    TfsILParser p(&target);
    p.SelectLanguage(QStringLiteral("@broken"));
    EXPECT_FALSE(p.MakeILScript(QStringLiteral("x")));
    EXPECT_EQ(target.ErrorMsg, QStringLiteral("Invalid language definition"));
}
