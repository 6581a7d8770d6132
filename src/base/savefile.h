#pragma once

#include <QSaveFile>
#include <QString>

namespace tw {

// Commits what was written to a QSaveFile; false with *reason when any of it could not be
// written. QSaveFile::commit flushes its buffer without looking at the result, so a file
// cut short by a full disk would get its name; here it is discarded instead.
bool commitWhole(QSaveFile &file, QString *reason);

} // namespace tw
