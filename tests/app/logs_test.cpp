#include "apptestutil.h"

#include "app/datesuffix.h"
#include "app/errorlog.h"
#include "app/runlog.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/formatsettings.h"
#include "support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

TEST(DateSuffix, MonthInTwoDigitsDayWithoutLeadingZero)
{
    const struct {
        int y, m, d;
        const char *suffix;
    } cases[] = {
        {2024, 3, 5, "2024035"},
        {2024, 12, 1, "2024121"},
        {2024, 11, 15, "20241115"},
        {2025, 1, 31, "20250131"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.suffix);
        EXPECT_EQ(dateSuffix(c.y, c.m, c.d), QString::fromLatin1(c.suffix));
        EXPECT_EQ(dateSuffix(encodeDate(c.y, c.m, c.d) + 0.75), QString::fromLatin1(c.suffix));
    }
}

namespace {

class Logs : public ::testing::Test {
protected:
    void SetUp() override
    {
        FormatSettings::setCurrent(FormatSettings::russian());
        home.mkdir(QStringLiteral("logs"));
        ctx = ErrorReporting{LogFiles{home.logsDir(), QStringLiteral("2024035")}, &clock, &sink};
    }
    QString path() const { return ctx.files.errorLogPath(); }
    QByteArray bytes() const { return tw::test::readBytes(path()); }

    Home home;
    FixedClock clock{marchFifth()};
    RecordingSink sink;
    ErrorReporting ctx;
    LineList errLog;
};

} // namespace

TEST_F(Logs, ErrorsOfOneProcessGoToTheStartUpDaysFile)
{
    EXPECT_EQ(path(), home.logsDir() + QStringLiteral("/Tarnwell_2024035.error.txt"));
    reportError(errLog, QStringLiteral("Ошибка: первая"), 0, ctx);
    // Past midnight the name stays; only the line's date moves on.
    clock.set(encodeDate(2024, 3, 6) + encodeTime(0, 0, 1, 0));
    reportError(errLog, QStringLiteral("Ошибка: вторая"), 0, ctx);
    // Exactly midnight leaves the time out.
    clock.set(encodeDate(2024, 3, 7));
    reportError(errLog, QStringLiteral("третья"), 0, ctx);

    EXPECT_EQ(QString::fromUtf8(bytes()),
              QStringLiteral("05.03.2024 14:07:09 Ошибка: первая\r\n"
                             "06.03.2024 0:00:01 Ошибка: вторая\r\n"
                             "07.03.2024 третья\r\n"));
    ASSERT_EQ(sink.boxes.size(), 3);
    EXPECT_EQ(sink.boxes[1], qMakePair(QStringLiteral("Ошибка!"), QStringLiteral("Ошибка: вторая")));
    EXPECT_EQ(errLog.count(), 3);
}

TEST_F(Logs, ModeOneAddsTheLineAsGivenWithoutBoxOtherModesAddNothing)
{
    reportError(errLog, QStringLiteral("05.03.2024 14:07:09 t\\a.fr3;  [id]=5; boom"), 1, ctx);
    reportError(errLog, QStringLiteral("ignored"), 7, ctx);
    EXPECT_TRUE(sink.boxes.isEmpty());
    EXPECT_EQ(QString::fromUtf8(bytes()), QStringLiteral("05.03.2024 14:07:09 t\\a.fr3;  [id]=5; boom\r\n"));

    // Another mode on a day without a log still writes the (empty) file.
    QFile::remove(path());
    reportError(errLog, QStringLiteral("ignored"), -1, ctx);
    EXPECT_TRUE(QFileInfo::exists(path()));
    EXPECT_EQ(bytes(), QByteArray());
}

TEST_F(Logs, ExistingLogKeepsItsEncodingNewOneIsSystemEncodingWithoutMark)
{
    const int oldCodePage = codepage::ansiCodePage();
    codepage::setAnsiCodePage(1251);
    const struct {
        const char *name;
        QByteArray before;      // empty: no file yet
        TextEncoding encoding;  // of the file afterwards
        QByteArray prefix;      // bytes the file must start with
    } cases[] = {
        {"utf-8 with mark", QByteArray("\xEF\xBB\xBF") + QStringLiteral("старая строка\r\n").toUtf8(),
         TextEncoding::Utf8Bom, "\xEF\xBB\xBF"},
        {"utf-16 le", codepage::encode(QStringLiteral("старая строка\r\n"), TextEncoding::Utf16LE),
         TextEncoding::Utf16LE, "\xFF\xFE"},
        {"windows-1251", codepage::toCodePage(QStringLiteral("старая строка\n"), 1251),
         TextEncoding::Ansi, codepage::toCodePage(QStringLiteral("старая"), 1251)},
        {"new file", QByteArray(), codepage::systemEncoding(), "05.03.2024"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        if (!c.before.isEmpty())
            tw::test::writeBytes(path(), c.before);
        reportError(errLog, QStringLiteral("новая"), 0, ctx);

        const QByteArray after = bytes();
        EXPECT_TRUE(after.startsWith(c.prefix));
        const QString expected = (c.before.isEmpty() ? QString() : QStringLiteral("старая строка\r\n"))
                                 + QStringLiteral("05.03.2024 14:07:09 новая\r\n");
        EXPECT_EQ(after, codepage::encode(expected, c.encoding));
    }
    codepage::setAnsiCodePage(oldCodePage);
}

TEST_F(Logs, FailedWriteLeavesTheDaysLogIntactAndReachesTheCaller)
{
    const QByteArray before = QString(QStringLiteral("05.03.2024 10:00:00 старая строка\r\n")).repeated(40).toUtf8();
    tw::test::writeBytes(path(), before);
    {
        FileSizeLimit limit(before.size() / 2);
        EXPECT_THROW(reportError(errLog, QStringLiteral("новая"), 0, ctx), Error);
    }
    EXPECT_EQ(bytes(), before);
    // No temporary left behind either.
    EXPECT_EQ(QDir(home.logsDir()).entryList(QDir::Files), QStringList(QStringLiteral("Tarnwell_2024035.error.txt")));

    // A log that cannot be read at all fails before anything is shown.
    QFile::remove(path());
    QDir().mkdir(path());
    sink.boxes.clear();
    EXPECT_THROW(reportError(errLog, QStringLiteral("новая"), 0, ctx), Error);
    EXPECT_TRUE(sink.boxes.isEmpty());
}

TEST_F(Logs, RunLogLines)
{
    const FormatSettings fs = FormatSettings::russian();
    const QString dt = marchFifthText();
    EXPECT_EQ(runlog::startLine(dt, QStringLiteral("Tarnwell ver. 1.7")),
              QStringLiteral("05.03.2024 14:07:09 Tarnwell ver. 1.7 успешный запуск."));
    EXPECT_EQ(runlog::beginLine(dt, QStringLiteral("/q/"), QStringLiteral("bills"), encodeDate(2014, 1, 1),
                                encodeDate(2014, 1, 31), 3, fs),
              QStringLiteral("05.03.2024 14:07:09 Начало выгрузки; \"/q/bills.sql\"; 01.01.2014; 31.01.2014; "
                             "Всего 3 пакетов"));
    EXPECT_EQ(runlog::exportedLine(dt, {{QStringLiteral("ft1_id"), QStringLiteral("5")},
                                        {QStringLiteral("ft1_n"), QString()}},
                                   QStringLiteral("/out/X.xml")),
              QStringLiteral("05.03.2024 14:07:09 Выгрузили:  ft1_id=5; ft1_n=; в файл=\"/out/X.xml\""));
    EXPECT_EQ(runlog::endLine(dt), QStringLiteral("05.03.2024 14:07:09 Закончили выгрузку."));
}

TEST_F(Logs, RunLogIsRemovedThenWrittenWholeInSystemEncoding)
{
    const LogFiles files = ctx.files;
    tw::test::writeBytes(files.runLogPath(), "old run\r\n");
    runlog::remove(files);
    EXPECT_FALSE(QFileInfo::exists(files.runLogPath()));
    runlog::remove(files); // nothing there: no harm

    runlog::Lines good;
    good.add(QStringLiteral("первая"));
    good.add(QStringLiteral("последняя"));
    runlog::write(good, files);
    EXPECT_EQ(tw::test::readBytes(files.runLogPath()),
              codepage::encode(QStringLiteral("первая\r\nпоследняя\r\n"), codepage::systemEncoding()));

    // A long run's lines: kept in memory, moved to a temporary file past the limit, or kept
    // in memory when no temporary file can be made. The log holds each line once, in order.
    const QByteArray tmpdir = qgetenv("TMPDIR");
    for (const bool tempFiles : {true, false}) {
        SCOPED_TRACE(tempFiles ? "temporary files" : "no temporary files");
        if (!tempFiles)
            qputenv("TMPDIR", "/nonexistent/tarnwell-test");
        for (const qsizetype limit : {qsizetype(1) << 30, qsizetype(4096)}) {
            runlog::Lines lines(limit);
            QString expected;
            for (int i = 0; i < 3000; ++i) {
                const QString line = QStringLiteral("%1 Выгрузили:  id=%1; в файл=\"%2\"").arg(i).arg(QString(i % 97, QLatin1Char('x')));
                lines.add(line);
                expected += line + QStringLiteral("\r\n");
            }
            EXPECT_EQ(lines.count(), 3000);
            runlog::write(lines, files);
            EXPECT_EQ(tw::test::readBytes(files.runLogPath()), codepage::encode(expected, codepage::systemEncoding()));
        }
        if (tmpdir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmpdir);
    }
}
