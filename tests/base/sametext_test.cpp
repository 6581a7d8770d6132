#include "base/sametext.h"

#include <gtest/gtest.h>

using namespace tw;

// The quick forms answer as Qt's own: upper case as toUpper, equality as a case-blind compare.
TEST(SameText, AnswersAsQt)
{
    const QString samples[] = {
        QString(), QStringLiteral("memo1"), QStringLiteral("MEMO1"), QStringLiteral("Memo_1.Text"),
        QStringLiteral("итого"), QStringLiteral("ИТОГО"), QStringLiteral("Итого1"), QStringLiteral("straße"),
        QStringLiteral("[a-z]{z}@`"), QStringLiteral("ǅ"), QStringLiteral("İstanbul"),
    };
    for (const QString &a : samples) {
        EXPECT_EQ(upperText(a), a.toUpper()) << a.toStdString();
        for (const QString &b : samples)
            EXPECT_EQ(sameText(a, b), a.compare(b, Qt::CaseInsensitive) == 0) << a.toStdString() << " " << b.toStdString();
    }
    // A name already in capitals is handed back as it is.
    const QString upper = QStringLiteral("REPORT.MEMO1");
    EXPECT_EQ(upperText(upper).constData(), upper.constData());
}
