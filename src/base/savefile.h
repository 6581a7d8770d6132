#pragma once

#include <QSaveFile>
#include <QString>

namespace tw {

// Commits what was written to a QSaveFile; false with *reason when any of it could not be
// written. QSaveFile::commit flushes its buffer without looking at the result, so a file
// cut short by a full disk would get its name; here it is discarded instead.
bool commitWhole(QSaveFile &file, QString *reason);

} // namespace tw

namespace tw {

// Writes `bytes` as the whole file `path`: under a temporary name ("<path>.XXXXXX") first,
// renamed over `path` once complete, so a reader never sees part of it. It does not wait
// for the disk, which suits a scratch file rewritten again at once and worth nothing after
// a power cut. False with *reason when it could not be written; nothing is left then.
bool replaceFileUnsynced(const QString &path, const QByteArray &bytes, QString *reason);

} // namespace tw
