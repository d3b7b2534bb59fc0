#include "platform/host/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace erphost {

namespace {

bool failed(const QFileDevice& file, QString* error) {
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

bool writeFileSafely(const QString& path, const QByteArray& content, QString* error) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly))
            return failed(device, error);
        if (device.write(content) != content.size() || !device.flush())
            return failed(device, error);
        return true;
    }
    QSaveFile file(path);
    // Writing in place when no temporary file can be made would be what this avoids.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file, error);
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return failed(file, error);
    }
    if (!file.commit())
        return failed(file, error);
    return true;
}

} // namespace erphost
