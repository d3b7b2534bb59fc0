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

bool writeFileSafely(const QString& path, const std::function<bool(QIODevice& device)>& write, QString* error) {
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

bool writeFileSafely(const QString& path, const QByteArray& content, QString* error) {
    return writeFileSafely(
        path, [&content](QIODevice& device) { return device.write(content) == content.size(); }, error);
}

} // namespace erphost
