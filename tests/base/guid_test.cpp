#include "base/guid.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace tw;

TEST(Guid, TextIsUpperCaseHexInFiveGroups)
{
    const QRegularExpression form(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    const QString g = newGuidText();
    EXPECT_EQ(g.size(), 36);
    EXPECT_TRUE(form.match(g).hasMatch()) << g.toStdString();
    const QString b = newGuidTextBraced();
    ASSERT_EQ(b.size(), 38);
    EXPECT_TRUE(b.startsWith(QLatin1Char('{')) && b.endsWith(QLatin1Char('}')));
    EXPECT_TRUE(form.match(b.mid(1, 36)).hasMatch()) << b.toStdString();
}

TEST(Guid, EveryCallGivesANewOne)
{
    QSet<QString> seen;
    for (int i = 0; i < 10000; ++i)
        seen.insert(newGuidText());
    EXPECT_EQ(seen.size(), 10000);
}
