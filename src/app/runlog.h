#pragma once

#include "app/logfiles.h"
#include "base/datetime.h"
#include "base/linelist.h"

#include <QPair>
#include <QTemporaryFile>
#include <functional>
#include <memory>
#include <QString>
#include <QVector>

namespace tw {
struct FormatSettings;
}

namespace tw::app::runlog {

// The lines an export run writes, in their order; dt is the dated prefix (logDateTime).
QString startLine(const QString &dt, const QString &windowCaption);
// The period dates in the locale's short date format.
QString beginLine(const QString &dt, const QString &queryDir, const QString &queryName,
                  TDateTime periodStart, TDateTime periodEnd, qint64 packageCount,
                  const FormatSettings &fs);
// columns: every column of the row in order, name and text (empty for NULL).
QString exportedLine(const QString &dt, const QVector<QPair<QString, QString>> &columns,
                     const QString &packagePath);
QString endLine(const QString &dt);

// The run log's lines until the run ends, kept as the bytes they are written as (the
// system encoding, each line ended by CR LF). A run has a line for every package: past
// `memoryLimit` bytes the lines go on in an unnamed temporary file, so a long run does not
// grow in memory; where no such file can be written they stay in memory.
class Lines {
public:
    explicit Lines(qsizetype memoryLimit = 1024 * 1024);
    ~Lines();
    Lines(const Lines &) = delete;
    Lines &operator=(const Lines &) = delete;

    void clear();
    void add(const QString &line);
    int count() const { return m_count; }
    // Hands out the bytes in order, as saveWholeFile wants them; EInOutError when the
    // temporary file cannot be read back.
    std::function<bool(QByteArray &part)> reader() const;

private:
    void spool();

    qsizetype m_memoryLimit;
    QList<QByteArray> m_blocks; // after what the temporary file holds
    qsizetype m_inMemory = 0;
    std::unique_ptr<QTemporaryFile> m_spool;
    qint64 m_spooled = 0;
    bool m_spoolFailed = false;
    int m_count = 0;
};

// At the start of a package loop; a file that cannot be removed is overwritten at the end.
void remove(const LogFiles &files);
// Written whole at the end of a run, always in the system encoding without a mark.
void write(const Lines &goodLog, const LogFiles &files);

} // namespace tw::app::runlog
