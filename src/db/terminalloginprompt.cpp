#include "db/database.h"

#include "base/error.h"

#include <termios.h>
#include <unistd.h>

namespace tw::db {

namespace {

// One line without its end; false at end of input.
bool readLine(std::FILE *in, QString &out)
{
    QByteArray bytes;
    int c;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        bytes.append(char(c));
    }
    if (!any)
        return false;
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    out = QString::fromLocal8Bit(bytes);
    return true;
}

} // namespace

bool TerminalLoginPrompt::ask(QString &userName, QString &password)
{
    const QByteArray envUser = qgetenv("TARNWELL_USER");
    if (qEnvironmentVariableIsSet("TARNWELL_PASSWORD")) {
        if (!envUser.isEmpty())
            userName = QString::fromLocal8Bit(envUser);
        password = QString::fromLocal8Bit(qgetenv("TARNWELL_PASSWORD"));
        return true;
    }
    const int fd = fileno(m_in);
    if (fd < 0 || !isatty(fd))
        throw Error(QStringLiteral(
            "No database password: set TARNWELL_PASSWORD or run on a terminal"));

    std::fprintf(m_out, "Database Login\n");
    std::fprintf(m_out, "User Name [%s]: ", userName.toLocal8Bit().constData());
    std::fflush(m_out);
    QString line;
    if (!readLine(m_in, line))
        return false;
    if (!line.trimmed().isEmpty())
        userName = line.trimmed();

    std::fprintf(m_out, "Password: ");
    std::fflush(m_out);
    termios saved{};
    const bool haveTerm = tcgetattr(fd, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    const bool got = readLine(m_in, password);
    if (haveTerm)
        tcsetattr(fd, TCSAFLUSH, &saved);
    std::fprintf(m_out, "\n");
    std::fflush(m_out);
    return got;
}

} // namespace tw::db
