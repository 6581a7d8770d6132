#pragma once

// The built `tarnwell` executable run as a child process, for the tests of its verbs.
// Only app_tests know where it is (TARNWELL_EXE).

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

// Runs tarnwell with the arguments in a UTF-8 C locale and waits up to 30 seconds.
inline TarnwellRun runTarnwell(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TARNWELL_EXE), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "tarnwell did not finish";
        return {};
    }
    TarnwellRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
}

} // namespace tw::app::test
