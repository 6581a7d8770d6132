#pragma once

// The built `tarnwell` executable (and other programs) run as a child process, for the
// tests of its verbs. Only app_tests know where it is (TARNWELL_EXE).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace tw::app::test {

struct TarnwellRun {
    int exitCode = -1; // -2: it crashed
    QString err;
    QString out;
};

// The environment of a child: this one's in a UTF-8 C locale (numbers and dates the
// scripts format follow it), with the given NAME=value entries on top.
inline QProcessEnvironment childEnvironment(const QStringList &extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString &e : extra) {
        const qsizetype eq = e.indexOf(QLatin1Char('='));
        env.insert(e.left(eq), e.mid(eq + 1));
    }
    return env;
}

// Runs a program with the arguments and waits up to the given time.
inline TarnwellRun runProgram(const QString &program, const QStringList &args, int timeoutMs = 30000,
                              const QStringList &environment = {})
{
    QProcess p;
    p.setProcessEnvironment(childEnvironment(environment));
    p.start(program, args);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    TarnwellRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
}

inline TarnwellRun runTarnwell(const QStringList &args)
{
    return runProgram(QStringLiteral(TARNWELL_EXE), args);
}

// What xmllint says against a file: empty when it is well-formed XML. Not finding xmllint
// is a failure of its own (scripts/install-deps.sh installs it).
inline QString xmllintComplaint(const QString &file)
{
    const TarnwellRun r = runProgram(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file});
    if (r.exitCode == 0)
        return QString();
    return QStringLiteral("xmllint exit %1: %2%3").arg(r.exitCode).arg(r.out, r.err);
}

} // namespace tw::app::test
