#include "report/xml/resources.h"

#include "base/codepage.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;

TEST(Resources, BuiltinTableAndLookupRules)
{
    TfrxResources res;
    EXPECT_EQ(res.Get(QStringLiteral("clErrors")), QStringLiteral("The following error(s) have occured:"));
    EXPECT_EQ(res.Get(QStringLiteral("CLERRORS")), QStringLiteral("The following error(s) have occured:"));
    EXPECT_EQ(res.Get(QStringLiteral("clDSNotExist")), QStringLiteral("Dataset \"%s\" does not exist"));
    EXPECT_EQ(res.Get(QStringLiteral("207")), QStringLiteral("Other"));
    EXPECT_EQ(res.Get(QStringLiteral("SIdUndeclared")), QStringLiteral("Undeclared identifier: "));
    for (const char *missing : {"clCirRefNotAllow", "clDupName", "Invalid password"})
        EXPECT_EQ(res.Get(QString::fromLatin1(missing)), QString::fromLatin1(missing));
    EXPECT_EQ(res.CodePage(), 1252);
    res.Add(QStringLiteral("clDupName"), QStringLiteral("!x"));
    EXPECT_EQ(res.Get(QStringLiteral("clDupName")), QStringLiteral("x"));
}

TEST(Resources, LanguageFileOverlaysTable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("german.frc"));
    test::writeBytes(path, "<?xml version=\"1.1\" encoding=\"utf-8\"?><Resources CodePage=\"1251\">"
                           "<StrRes Name=\"clErrors\" Text=\"Fehler &#38;#60;\xC3\xBC&#38;#62;:\"/>"
                           "<Other Name=\"mbError\" Text=\"skipped\"/>"
                           "<StrRes Name=\"SIdUndeclared\" Text=\"Unbekannt: \"/></Resources>");
    test::writeBytes(dir.filePath(QStringLiteral("ENGLISH.FRC")), "x");
    test::writeBytes(dir.filePath(QStringLiteral("notes.txt")), "x");

    QStringList seen;
    TfrxResources::SetScriptMessageHandler([&](const QString &key, const QString &text) {
        if (key == QLatin1String("SIdUndeclared"))
            seen << text;
    });
    TfrxResources res;
    res.LoadFromFile(path);
    res.LoadFromFile(dir.filePath(QStringLiteral("absent.frc"))); // ignored
    TfrxResources::SetScriptMessageHandler(nullptr);

    EXPECT_EQ(res.Get(QStringLiteral("clErrors")), QStringLiteral("Fehler <ü>:"));
    EXPECT_EQ(res.Get(QStringLiteral("mbError")), QStringLiteral("Error"));
    EXPECT_EQ(res.CodePage(), 1251);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Undeclared identifier: "), QStringLiteral("Unbekannt: ")}));

    res.FillLanguages(dir.path());
    EXPECT_EQ(res.Languages(), (QStringList{QStringLiteral("English"), QStringLiteral("German")}));
}

TEST(Resources, OldKindTextIsReadAsUtf8)
{
    codepage::setAnsiCodePage(1252);
    TfrxResources res;
    res.AddXML(QByteArray("<?xml version=\"1.0\"?><Resources CodePage=\"1252\">"
                          "<StrRes Name=\"k\" Text=\"") + QStringLiteral("Итог").toUtf8() + "\"/></Resources>");
    EXPECT_EQ(res.Get(QStringLiteral("k")), QStringLiteral("Итог"));
}
