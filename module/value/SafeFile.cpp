#include "module/value/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace scadlav {

namespace {

bool failed(const QFileDevice& file, QString* error) {
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

bool writeFileSafely(const QString& path, const std::function<bool(QIODevice& device)>& write,
                     QString* error) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly))
            return failed(device, error);
        if (!write(device) || !device.flush())
            return failed(device, error);
        return true;
    }
    QSaveFile file(path);
    // Writing in place when no temporary file can be made would be what this avoids.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file, error);
    if (!write(file)) {
        const bool result = failed(file, error);
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return failed(file, error);
    return true;
}

bool writeFileSafely(const QString& path,
                     const std::function<bool(const QString& temporaryPath, QString* error)>& write,
                     QString* error) {
    const QFileInfo info(path);
    QTemporaryFile temporary(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return failed(temporary, error);
    const QString temporaryPath = temporary.fileName();
    temporary.close();
    if (!write(temporaryPath, error))
        return false;
    // rename() replaces the old file in one step: a reader sees the old or the new one.
    if (std::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

bool writeFileSafely(const QString& path, const QByteArray& content, QString* error) {
    return writeFileSafely(
        path, [&content](QIODevice& device) { return device.write(content) == content.size(); }, error);
}

} // namespace scadlav
