#pragma once

#include <QString>

namespace tw::test {

// The repository's root, for fixtures kept in the source tree.
QString sourceDir();
// A fixture file under tests/fixtures.
QString fixturePath(const QString &relative);
// Whole-file helpers for checking what the program wrote.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

} // namespace tw::test
