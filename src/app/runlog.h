#pragma once

#include "app/logfiles.h"
#include "base/datetime.h"
#include "base/linelist.h"

#include <QPair>
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

// The run log's lines, kept as the bytes they are written as (the system encoding, each
// line ended by CR LF), in blocks filled one after another: a run holds a line for every
// package until it ends, and one growing array would reserve up to twice that.
class Lines {
public:
    void clear();
    void add(const QString &line);
    int count() const { return m_count; }
    const QList<QByteArray> &blocks() const { return m_blocks; }

private:
    QList<QByteArray> m_blocks;
    int m_count = 0;
};

// At the start of a package loop; a file that cannot be removed is overwritten at the end.
void remove(const LogFiles &files);
// Written whole at the end of a run, always in the system encoding without a mark.
void write(const Lines &goodLog, const LogFiles &files);

} // namespace tw::app::runlog
