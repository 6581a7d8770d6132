#include "app/exportwork.h"
#include "base/linelist.h"
#include "app/startupvalues.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

using namespace tw;
using namespace tw::app;
using namespace tw::app::exporttext;

TEST(ExportText, NamesAndPeriod)
{
    EXPECT_EQ(queryNameOf(QStringLiteral("bills.old.sql")), QStringLiteral("bills"));
    EXPECT_EQ(queryNameOf(QStringLiteral(".sql")), QString());
    EXPECT_EQ(periodText(encodeDate(2014, 3, 1)), QStringLiteral("2014-3-1"));
    EXPECT_EQ(periodText(encodeDate(2014, 12, 31)), QStringLiteral("2014-12-31"));
    EXPECT_EQ(columnPrefix(QStringLiteral("ft1_bill_id")), QStringLiteral("ft1"));
    EXPECT_EQ(parameterName(QStringLiteral("ft1_bill_id")), QStringLiteral("bill_id"));
    EXPECT_EQ(columnPrefix(QStringLiteral("plain")), QString());
    EXPECT_EQ(parameterName(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(ExportText, ProgressRoundsHalvesToEven)
{
    const struct { int j, n, pos; } cases[] = {
        {1, 8, 12}, {3, 8, 38}, {5, 8, 62}, {7, 8, 88}, {1, 40, 2}, {3, 40, 8}, {1, 3, 33}, {2, 3, 67}, {3, 3, 100},
    };
    for (const auto &c : cases)
        EXPECT_EQ(progressPosition(c.j, c.n), c.pos) << c.j << "/" << c.n;
}

TEST(ExportText, EstimateAndSummary)
{
    EXPECT_EQ(estimateText(1, 0, 3, 0), QStringLiteral("Выгружено 1/3"));
    // N = 3, the first package took 10 s.
    EXPECT_EQ(estimateText(2, 0, 3, 10000), QStringLiteral("Выгружено 2/3   Осталось 5 сек."));
    // g = 90 and g = 5400: (N - j) * e / (j * 1000) with j = 2, N = 3.
    EXPECT_EQ(estimateText(2, 1, 3, 180000), QStringLiteral("Выгружено 1/3   Осталось 1 мин. 30 сек."));
    EXPECT_EQ(estimateText(2, 0, 3, 10800000), QStringLiteral("Выгружено 2/3   Осталось 1 час. 30 мин."));
    EXPECT_EQ(estimateText(2, 0, 3, 120000), QStringLiteral("Выгружено 2/3   Осталось 60 сек."));
    EXPECT_EQ(estimateText(2, 0, 3, 7200000), QStringLiteral("Выгружено 2/3   Осталось 60 мин. 0 сек."));
    EXPECT_EQ(estimateText(2, 0, 3, 5000), QStringLiteral("Выгружено 2/3   Осталось 2 сек.")); // 2.5
    EXPECT_EQ(estimateText(2, 0, 3, 7000), QStringLiteral("Выгружено 2/3   Осталось 4 сек.")); // 3.5

    const TDateTime sec = 1.0 / 86400;
    EXPECT_EQ(summaryText(3, 10, 42 * sec), QStringLiteral("Выгружено 3/10    За 42 сек."));
    EXPECT_EQ(summaryText(8, 8, 125 * sec), QStringLiteral("Выгружено 8/8    За 2 мин. 5 сек."));
    EXPECT_EQ(summaryText(8, 8, 3725 * sec), QStringLiteral("Выгружено 8/8    За 1 час. 2 мин."));
}

TEST(ExportText, PackageHeaders)
{
    StartupValues v;
    v.type = QStringLiteral("mssql");
    v.server = QStringLiteral("srv\\inst");
    v.database = QStringLiteral("billing");
    v.schema = QStringLiteral("ignored");
    EXPECT_EQ(packageHeader(v), QStringLiteral("<xml Type=\"mssql\" Server=\"srv\\inst\" Database=\"billing\">"));
    v.type = QStringLiteral("oracle");
    v.schema = QStringLiteral("ORCL");
    EXPECT_EQ(packageHeader(v), QStringLiteral("<xml Type=\"oracle\" Schema=\"ORCL\">"));
}

TEST(ExportText, StartTagAndEscapedValues)
{
    EXPECT_EQ(documentStartTag(QStringLiteral("ft1"), documentAttribute(QStringLiteral("id1"), QStringLiteral("5"))),
              QStringLiteral("<document type=\"ft1\" id1=\"5\" >"));
    // Plain values stay as they are, Cyrillic included.
    EXPECT_EQ(documentAttribute(QStringLiteral("n"), QStringLiteral("Счёт №5 'a'")),
              QStringLiteral("n=\"Счёт №5 'a'\" "));
    EXPECT_EQ(documentAttribute(QStringLiteral("n"), QStringLiteral("a\"b<c&d")),
              QStringLiteral("n=\"a&#34;b&#60;c&#38;d\" "));
}

TEST(ExportText, PreparedReportLosesOnlyItsDeclaration)
{
    EXPECT_EQ(preparedReportPiece("<?xml version=\"1.0\"?><preparedreport a=\"1\"/>"),
              QStringLiteral("<preparedreport a=\"1\"/>\r\n"));
    EXPECT_EQ(preparedReportPiece("<?xml?><r>\n<p/>\r\n"), QStringLiteral("<r>\r\n<p/>\r\n"));
    EXPECT_EQ(preparedReportPiece("no declaration"), QStringLiteral("no declaration\r\n"));
    // Every kind of line break becomes CR LF; blank lines stay; nothing is added to nothing.
    const struct {
        const char *file;
        const char *piece;
    } cases[] = {
        {"", ""},
        {"<?xml?>", "\r\n"},
        {"<?xml?>\n", "\r\n"},
        {"\n<r/>", "\r\n<r/>\r\n"},
        {"<?xml?>\r\r<a>\n\n", "\r\n\r\n<a>\r\n\r\n"},
        {"<?xml?><a>\rb>c", "<a>\r\nb>c\r\n"},
        {"a\r\n\r\nb", "a\r\n\r\nb\r\n"},
        {"<?xml?>Счёт", "Счёт\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(preparedReportPiece(QByteArray(c.file)), QString::fromUtf8(c.piece)) << c.file;
}

// Against the plain way of doing it: split into lines, cut the first one, join with CR LF.
TEST(ExportText, PreparedReportPieceMatchesTheLineByLineForm)
{
    auto lineByLine = [](const QByteArray &bytes) {
        LineList lines;
        lines.setText(QString::fromUtf8(bytes));
        if (lines.count() > 0) {
            QString &first = lines.lines()[0];
            first = first.mid(first.indexOf(QLatin1Char('>')) + 1);
        }
        return lines.text();
    };
    const QByteArray alphabet[] = {"a", ">", "\r", "\n", "\r\n", "Ж", "<?xml?>"};
    std::mt19937 random(11);
    for (int k = 0; k < 3000; ++k) {
        QByteArray bytes;
        const int parts = int(random() % 12);
        for (int i = 0; i < parts; ++i)
            bytes += alphabet[random() % std::size(alphabet)];
        ASSERT_EQ(preparedReportPiece(bytes), lineByLine(bytes)) << bytes.toStdString();
    }
}

TEST(ExportText, TemporaryTableScriptLines)
{
    const QString s = temporaryTableScript();
    EXPECT_TRUE(s.startsWith(QStringLiteral("if object_id('tempdb.dbo.[#TCalcs]') is not null DROP TABLE [dbo].[#TCalcs]\r\n"
                                            "CREATE TABLE  #TCalcs (calc_id int null) \r\n")));
    EXPECT_TRUE(s.endsWith(QStringLiteral("DEFAULT (0) FOR forFillBudget,\r\nDEFAULT (0) FOR bitComplement\r\n")));
    EXPECT_EQ(s.count(QStringLiteral("\r\n")), 30);
    EXPECT_EQ(s.count(QLatin1Char('\n')), 30);
}
