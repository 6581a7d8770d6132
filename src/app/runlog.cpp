#include "app/runlog.h"

#include "base/formatsettings.h"

#include <QFile>

namespace tw::app::runlog {

QString startLine(const QString &dt, const QString &windowCaption)
{
    return dt + QLatin1Char(' ') + windowCaption + QStringLiteral(" успешный запуск.");
}

QString beginLine(const QString &dt, const QString &queryDir, const QString &queryName,
                  TDateTime periodStart, TDateTime periodEnd, qint64 packageCount,
                  const FormatSettings &fs)
{
    return dt + QStringLiteral(" Начало выгрузки; \"") + queryDir + queryName
           + QStringLiteral(".sql\"; ") + dateToStr(periodStart, fs) + QStringLiteral("; ")
           + dateToStr(periodEnd, fs) + QStringLiteral("; Всего ") + QString::number(packageCount)
           + QStringLiteral(" пакетов");
}

QString exportedLine(const QString &dt, const QVector<QPair<QString, QString>> &columns,
                     const QString &packagePath)
{
    QString line = dt + QStringLiteral(" Выгрузили: ");
    for (const auto &c : columns)
        line += QLatin1Char(' ') + c.first + QLatin1Char('=') + c.second + QLatin1Char(';');
    return line + QStringLiteral(" в файл=\"") + packagePath + QLatin1Char('"');
}

QString endLine(const QString &dt)
{
    return dt + QStringLiteral(" Закончили выгрузку.");
}

void remove(const LogFiles &files)
{
    const QString path = files.runLogPath();
    if (QFile::exists(path))
        QFile::remove(path);
}

void Lines::clear()
{
    m_blocks.clear();
    m_count = 0;
}

void Lines::add(const QString &line)
{
    constexpr qsizetype kBlock = 64 * 1024;
    const QByteArray bytes = codepage::encode(line + QLatin1String("\r\n"), codepage::systemEncoding());
    if (m_blocks.isEmpty() || m_blocks.back().size() + bytes.size() > m_blocks.back().capacity()) {
        m_blocks.append(QByteArray());
        m_blocks.back().reserve(qMax(kBlock, bytes.size()));
    }
    m_blocks.back().append(bytes);
    ++m_count;
}

void write(const Lines &goodLog, const LogFiles &files)
{
    saveWholeFile(files.runLogPath(), goodLog.blocks());
}

} // namespace tw::app::runlog
