#include "exporttestutil.h"

#include "app/headlessview.h"

#include <QFileInfo>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

namespace {

const QByteArray kDecl = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n";
const QByteArray kHeader = "<xml Type=\"sqlite\" Database=\"t.db\">\r\n";

QByteArray document(const QByteArray &startTag, const QByteArray &params)
{
    return startTag + "\r\n<preparedreport params=\"" + params + "\"/>\r\n\r\n</document>\r\n";
}

// Rows of a query: each entry one SELECT of the union.
QString rows(const QStringList &selects)
{
    return selects.join(QStringLiteral(" union all "));
}

} // namespace

TEST(PackageLoop, DocumentsPerPrefixByteExact)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"),
                 rows({QStringLiteral("select 5 as ft1_id1, 'Счёт' as ft2_id1, 7 as ft1_id2"),
                       QStringLiteral("select 6, null, null"),
                       QStringLiteral("select null, null, 9")}));
    f.run();
    ASSERT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(f.work->lastRun().failed, 0);
    EXPECT_EQ(f.packageFiles().size(), 3);

    // ft1 (id1, id2) before ft2 (id1), UTF-8 without a mark, CR LF everywhere.
    EXPECT_EQ(f.package(1), kDecl + kHeader
                                + document("<document type=\"ft1\" id1=\"5\" id2=\"7\" >", "id1=5;id2=7")
                                + document("<document type=\"ft2\" id1=\"Счёт\" >", "id1=Счёт")
                                + "</xml>\r\n");
    // NULL first column of ft2: no document; NULL later column: empty attribute and field.
    EXPECT_EQ(f.package(2), kDecl + kHeader
                                + document("<document type=\"ft1\" id1=\"6\" id2=\"\" >", "id1=6;id2=")
                                + "</xml>\r\n");
    // No document at all still gives a package.
    EXPECT_EQ(f.package(3), kDecl + kHeader + "</xml>\r\n");
    EXPECT_EQ(f.factory.shared.prepared.size(), 3);
    EXPECT_EQ(f.factory.shared.preparedWithoutReThrow, 0);

    const QString dt = marchFifthText();
    const QString out = f.home.file(QStringLiteral("out/"));
    EXPECT_EQ(f.runLog(),
              dt + QStringLiteral(" Tarnwell ver. 1.7 успешный запуск.\r\n")
                  + dt + QStringLiteral(" Начало выгрузки; \"") + f.home.file(QStringLiteral("q/"))
                  + QStringLiteral("pk.sql\"; 01.01.2014; 31.01.2014; Всего 3 пакетов\r\n")
                  + dt + QStringLiteral(" Выгрузили:  ft1_id1=5; ft2_id1=Счёт; ft1_id2=7; в файл=\"") + f.packagePath(1) + QStringLiteral("\"\r\n")
                  + dt + QStringLiteral(" Выгрузили:  ft1_id1=6; ft2_id1=; ft1_id2=; в файл=\"") + f.packagePath(2) + QStringLiteral("\"\r\n")
                  + dt + QStringLiteral(" Выгрузили:  ft1_id1=; ft2_id1=; ft1_id2=9; в файл=\"") + f.packagePath(3) + QStringLiteral("\"\r\n")
                  + dt + QStringLiteral(" Закончили выгрузку.\r\n"));
    EXPECT_EQ(f.view.button, QStringLiteral("Ok"));
    EXPECT_TRUE(f.view.progressVisible);
    EXPECT_TRUE(f.view.status.startsWith(QStringLiteral("Выгружено 3/3    За ")));
    EXPECT_FALSE(f.view.errorLink);
    EXPECT_TRUE(QFileInfo::exists(f.home.file(QStringLiteral("out/1.fp3"))));
}

TEST(PackageLoop, ValuesAreEscapedSoThePackageIsWellFormed)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 'say \"hi\" <b> & more' as ft1_note"));
    f.run();
    const QByteArray bytes = f.package(1);
    EXPECT_TRUE(bytes.contains("note=\"say &#34;hi&#34; &#60;b&#62; &#38; more\" >"));
    QXmlStreamReader xml(bytes);
    QString note;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("document"))
            note = xml.attributes().value(QLatin1String("note")).toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(note, QStringLiteral("say \"hi\" <b> & more"));
}

TEST(PackageLoop, FailedPackageIsLoggedWithoutBoxAndTheRunGoesOn)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), rows({QStringLiteral("select 1 as ft1_id1, 'a' as ft1_x"),
                                                QStringLiteral("select 2, 'b'"), QStringLiteral("select 3, 'c'")}));
    f.factory.shared.onPrepare = [](const QString &params) {
        if (params.startsWith(QStringLiteral("id1=2")))
            throw Error(QStringLiteral("The following error(s) have occured:\r\nMemo1: bad\r\n"));
    };
    f.run();
    const RunResult r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.written, 2);
    EXPECT_TRUE(f.sink.boxes.isEmpty());
    EXPECT_TRUE(f.view.errorLink);
    EXPECT_EQ(f.packageFiles().size(), 2);
    EXPECT_EQ(f.errorLog(), marchFifthText()
                                + QStringLiteral(" tpl/ft1.fr3;  [id1]=2; [x]=b; The following error(s) have occured:\r\nMemo1: bad\r\n\r\n"));
    EXPECT_TRUE(f.view.status.startsWith(QStringLiteral("Выгружено 2/3    За ")));
    EXPECT_FALSE(f.runLog().contains(QStringLiteral("ft1_id1=2;")));
}

TEST(PackageLoop, ParameterTableErrorsFailTheDocument)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_id, 2 as ft1_ID"));
    f.run();
    EXPECT_EQ(f.work->lastRun().failed, 1);
    EXPECT_TRUE(f.errorLog().endsWith(QStringLiteral(" tpl/ft1.fr3;  [id]=1; Duplicate name 'ID' in TFieldDefs\r\n")))
        << f.errorLog().toStdString();
    EXPECT_TRUE(f.packageFiles().isEmpty());
}

TEST(PackageLoop, ProgressAndEstimates)
{
    ExportFixture f;
    QStringList selects{QStringLiteral("select 1 as ft1_id1")};
    for (int i = 2; i <= 8; ++i)
        selects.append(QStringLiteral("select %1").arg(i));
    f.writeQuery(QStringLiteral("pk.sql"), rows(selects));
    // Every package takes 10 seconds.
    f.factory.shared.onPrepare = [&f](const QString &) { f.ticks.now += 10000; };
    f.ticks.now = 0xFFFFF000u; // the tick counter wraps during the run
    f.run();
    EXPECT_EQ(f.view.positions, QVector<int>({0, 12, 25, 38, 50, 62, 75, 88, 100}));
    ASSERT_GE(f.view.statuses.size(), 3);
    EXPECT_EQ(f.view.statuses[0], QStringLiteral("Выгружено 1/8"));
    EXPECT_EQ(f.view.statuses[1], QStringLiteral("Выгружено 2/8   Осталось 30 сек."));
    EXPECT_EQ(f.view.statuses[2], QStringLiteral("Выгружено 3/8   Осталось 33 сек.")); // 33.3
}

TEST(PackageLoop, StopAtPackageFiveAfterOneFailure)
{
    ExportFixture f;
    QStringList selects{QStringLiteral("select 1 as ft1_id1")};
    for (int i = 2; i <= 10; ++i)
        selects.append(QStringLiteral("select %1").arg(i));
    f.writeQuery(QStringLiteral("pk.sql"), rows(selects));
    f.factory.shared.onPrepare = [&f](const QString &params) {
        if (params == QStringLiteral("id1=2"))
            throw Error(QStringLiteral("broken"));
        // The stop asked for during package 3 is cancelled, the one during package 4 confirmed.
        if (params == QStringLiteral("id1=3") || params == QStringLiteral("id1=4")) {
            f.view.stop = true;
            f.view.answerOk = params == QStringLiteral("id1=4");
        }
    };
    f.run();
    const RunResult r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(f.view.questions.size(), 2);
    EXPECT_EQ(f.view.questions[0], QStringLiteral("Внимание: Остановить выгрузку?"));
    EXPECT_FALSE(f.view.stop);
    EXPECT_TRUE(f.view.status.startsWith(QStringLiteral("Выгружено 3/10    За "))) << f.view.status.toStdString();
    EXPECT_EQ(f.factory.shared.prepared.size(), 4);
    EXPECT_EQ(f.packageFiles().size(), 3);
    EXPECT_TRUE(f.runLog().endsWith(QStringLiteral(" Закончили выгрузку.\r\n")));
}

TEST(PackageLoop, NoGuidFailsThePackageInsteadOfWritingDotXml)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), rows({QStringLiteral("select 1 as ft1_id1"), QStringLiteral("select 2")}));
    f.start();
    f.guids = QStringList{QString(), QStringLiteral("00000000-0000-0000-0000-000000000002")};
    f.run();
    EXPECT_EQ(f.work->lastRun().failed, 1);
    EXPECT_FALSE(QFileInfo::exists(f.home.file(QStringLiteral("out/.xml"))));
    EXPECT_EQ(f.packageFiles(), QStringList({QStringLiteral("00000000-0000-0000-0000-000000000002.xml")}));
    EXPECT_TRUE(f.errorLog().contains(QStringLiteral("[id1]=1; Не удалось получить GUID")));
}

TEST(PackageLoop, AFailedWriteLeavesNoPartialPackage)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select '%1' as ft1_id1").arg(QString(3000, QLatin1Char('x'))));
    f.start();
    {
        FileSizeLimit limit(2048);
        f.run();
    }
    EXPECT_EQ(f.work->lastRun().failed, 1);
    EXPECT_EQ(QDir(f.home.file(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("1.fp3")}));
}

TEST(PackageLoop, PrefixReportsLifetime)
{
    ExportFixture f(QStringLiteral("ft1=tpl/ft1.fr3\r\nft2=tpl/ft2.fr3\r\nfrxReport1=tpl/ft1.fr3\r\n"));
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_id1, 2 as ft2_id1, 3 as frxReport1_id"));
    f.run();
    // Relative entries load from the program directory when they do not exist here.
    EXPECT_EQ(f.factory.shared.loaded,
              QStringList({f.home.file(QStringLiteral("tpl/ft1.fr3")), f.home.file(QStringLiteral("tpl/ft2.fr3"))}));
    EXPECT_EQ(f.factory.shared.prepared.size(), 3);
    // The report created last is freed; the others stay with the window.
    EXPECT_NE(f.work->components().FindComponent(QStringLiteral("ft1")), nullptr);
    EXPECT_EQ(f.work->components().FindComponent(QStringLiteral("ft2")), nullptr);
    f.run();
    EXPECT_EQ(f.factory.shared.loaded.size(), 3);
    EXPECT_EQ(f.factory.shared.loaded.last(), f.home.file(QStringLiteral("tpl/ft2.fr3")));
    EXPECT_EQ(f.work->lastRun().failed, 0);
}

TEST(PackageLoop, PrefixNamingAWindowPartIsRefused)
{
    ExportFixture f(QStringLiteral("vt=tpl/ft1.fr3\r\n"));
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as vt_id1"));
    f.run();
    EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Failed);
    ASSERT_EQ(f.sink.boxes.size(), 1);
    EXPECT_TRUE(f.sink.boxes[0].second.startsWith(QStringLiteral("Ошибка: Префикс колонок 'vt'")))
        << f.sink.boxes[0].second.toStdString();
    EXPECT_TRUE(f.packageFiles().isEmpty());
}

TEST(PackageLoop, TemplateThatCannotBeOpenedEndsTheRunAndIsNotKept)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_id1"));
    f.factory.shared.onLoad = [](const QString &file) {
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". Permission denied").arg(file));
    };
    f.run();
    EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Failed);
    ASSERT_EQ(f.sink.boxes.size(), 1);
    EXPECT_EQ(f.sink.boxes[0].second, QStringLiteral("Ошибка: Cannot open file \"%1\". Permission denied")
                                          .arg(f.home.file(QStringLiteral("tpl/ft1.fr3"))));
    EXPECT_EQ(f.work->components().FindComponent(QStringLiteral("ft1")), nullptr);
    EXPECT_EQ(f.factory.shared.alive, 1); // frxReport1 only

    // Once readable, the next run loads the template instead of using an empty report.
    f.factory.shared.onLoad = nullptr;
    f.run();
    EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(f.factory.shared.loaded.size(), 1);
}

TEST(PackageLoop, HeadlessStopComesFromInterrupt)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), rows({QStringLiteral("select 1 as ft1_id1"), QStringLiteral("select 2"),
                                                QStringLiteral("select 3")}));
    f.start();
    HeadlessExportView view(nullptr);
    view.setPeriod(encodeDate(2014, 1, 1), encodeDate(2014, 1, 31));
    ExportWork work(*f.dm, view, f.factory);
    f.factory.shared.vt = &work.vt();
    HeadlessExportView::installInterruptHandler();
    f.factory.shared.onPrepare = [](const QString &) { std::raise(SIGINT); };
    work.Ac_sqlfile();
    work.Ac_sqltext();
    std::signal(SIGINT, SIG_DFL);
    EXPECT_EQ(work.lastRun().outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(work.lastRun().written, 1);
    EXPECT_EQ(view.buttonCaption(), QStringLiteral("Ok"));
    EXPECT_FALSE(view.stopRequested());
}

// An error before the column loop of a package names the last column's template, also
// right after a package that failed inside the loop at another prefix.
TEST(PackageLoop, ErrorOutsideTheColumnLoopNamesTheLastPrefix)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), rows({QStringLiteral("select 1 as ft1_id1, 1 as ft2_id1"),
                                                QStringLiteral("select 2, 2")}));
    f.factory.shared.onPrepare = [](const QString &params) {
        if (params == QStringLiteral("id1=1"))
            throw Error(QStringLiteral("first"));
    };
    f.view.onStatus = [](const QString &text) {
        if (text.startsWith(QStringLiteral("Выгружено 1/2   Осталось")))
            throw Error(QStringLiteral("second"));
    };
    f.run();
    EXPECT_EQ(f.work->lastRun().failed, 2);
    const QStringList lines = f.errorLog().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << f.errorLog().toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" tpl/ft1.fr3;  [id1]=1; first"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" tpl/ft2.fr3;  [id1]=1; second"))) << lines[1].toStdString();
}
