#include "app/runlog.h"

#include "base/error.h"
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

Lines::Lines(qsizetype memoryLimit) : m_memoryLimit(memoryLimit) {}

Lines::~Lines() = default;

void Lines::clear()
{
    m_blocks.clear();
    m_inMemory = 0;
    m_spool.reset();
    m_spooled = 0;
    m_spoolFailed = false;
    m_count = 0;
}

void Lines::spool()
{
    if (!m_spool) {
        auto file = std::make_unique<QTemporaryFile>();
        if (!file->open()) {
            m_spoolFailed = true;
            return;
        }
        m_spool = std::move(file);
    }
    for (const QByteArray &b : std::as_const(m_blocks))
        if (m_spool->write(b) != b.size() || !m_spool->flush()) {
            // Kept in memory from here on; what went to the file in part is cut off.
            m_spool->resize(m_spooled);
            m_spool->seek(m_spooled);
            m_spoolFailed = true;
            return;
        }
    m_spooled = m_spool->pos();
    m_blocks.clear();
    m_inMemory = 0;
}

std::function<bool(QByteArray &part)> Lines::reader() const
{
    return [this, offset = qint64(0), block = qsizetype(0)](QByteArray &part) mutable {
        if (offset < m_spooled) {
            constexpr qint64 kChunk = 256 * 1024;
            if (m_spool->seek(offset))
                part = m_spool->read(qMin(kChunk, m_spooled - offset));
            else
                part.clear();
            if (part.isEmpty())
                throw EInOutError(QStringLiteral("Cannot read the run log's temporary file. %1").arg(m_spool->errorString()));
            offset += part.size();
            return true;
        }
        if (block < m_blocks.size()) {
            part = m_blocks[block++];
            return true;
        }
        return false;
    };
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
    m_inMemory += bytes.size();
    ++m_count;
    if (m_inMemory > m_memoryLimit && !m_spoolFailed)
        spool();
}

void write(const Lines &goodLog, const LogFiles &files)
{
    saveWholeFile(files.runLogPath(), goodLog.reader());
}

} // namespace tw::app::runlog
