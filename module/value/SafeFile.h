#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace scadlav {

// Writes a whole file so that a failure never costs the previous one: the content goes to a
// temporary file in the same folder, is flushed to the disk and checked, and only then
// renamed over the old file. A full disk or any other write error returns false with the
// reason in `error`, the old file untouched and no temporary file left. A path that is not a
// regular file (a device, a pipe) cannot be replaced: it is written directly, and its errors
// are reported the same way.
bool writeFileSafely(const QString& path, const QByteArray& content, QString* error);
// The same for content written piece by piece: `write` writes to the device it is given and
// returns false when it had to stop (the device's error is reported).
bool writeFileSafely(const QString& path, const std::function<bool(QIODevice& device)>& write,
                     QString* error);
// The same for a writer that takes a file name (a library that opens the file itself): it
// writes `temporaryPath`, in the same folder, which then replaces `path` only when it succeeded.
bool writeFileSafely(const QString& path,
                     const std::function<bool(const QString& temporaryPath, QString* error)>& write,
                     QString* error);

} // namespace scadlav
