#pragma once

#include "app/clock.h"
#include "app/messagesink.h"
#include "base/datetime.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

namespace tw::app::test {

// Remembers every box instead of showing it.
class RecordingSink : public MessageSink {
public:
    void showMessage(const QString &caption, const QString &text) override
    {
        boxes.append({caption, text});
    }
    QVector<QPair<QString, QString>> boxes;
};

// A program directory of its own per test.
class Home {
public:
    Home() { dir.setAutoRemove(true); }
    QString path() const { return dir.path() + QLatin1Char('/'); }
    QString file(const QString &name) const { return path() + name; }
    void mkdir(const QString &name) const { QDir().mkpath(file(name)); }
    QString logsDir() const { return file(QStringLiteral("logs")); }

private:
    QTemporaryDir dir;
};

// A program directory for the executable: an empty SQLite database t.db, the query
// directory q/, the output directory out/, and tpl/b.fr3, a copy of the template fixture,
// as the template of the column prefix "bill". False when the fixture cannot be copied.
inline bool makeBillHome(const Home &home, const QString &templateFixture)
{
    home.mkdir(QStringLiteral("q"));
    home.mkdir(QStringLiteral("out"));
    home.mkdir(QStringLiteral("tpl"));
    const QString tpl = home.file(QStringLiteral("tpl/b.fr3"));
    tw::test::writeBytes(home.file(QStringLiteral("t.db")), QByteArray());
    const QString ini = QStringLiteral("[Настройки]\nТип=sqlite\nБД=t.db\nКаталогЗапросов=") + home.file(QStringLiteral("q/"))
                        + QStringLiteral("\nКаталогОтчетов=") + home.file(QStringLiteral("out/"))
                        + QStringLiteral("\n[Отчеты]\nbill=") + tpl + QStringLiteral("\n");
    tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")), ini.toUtf8());
    return QFile::copy(tw::test::fixturePath(templateFixture), tpl);
}

// 5 March 2024, 14:07:09.
inline TDateTime marchFifth()
{
    return encodeDate(2024, 3, 5) + encodeTime(14, 7, 9, 0);
}
inline QString marchFifthText() { return QStringLiteral("05.03.2024 14:07:09"); }

} // namespace tw::app::test

#include <csignal>
#include <sys/resource.h>

namespace tw::app::test {

// Makes writes beyond the given size fail for this process (even as root), the way a full
// disk would fail a write half-way through.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lim = m_old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace tw::app::test
