#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tw::app {

// tarnwell [--home DIR] [verb ...]
struct CommandLine {
    QString home;         // empty: the executable's directory
    QString verb;         // empty: the window
    QStringList verbArgs;
};

// The arguments without the program name. Nothing (and the reason) when they make no sense.
std::optional<CommandLine> parseCommandLine(const QStringList &args, QString *error = nullptr);
QString usageText();

} // namespace tw::app
