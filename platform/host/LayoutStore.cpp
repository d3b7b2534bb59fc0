#include "platform/host/LayoutStore.h"

#include <QDir>
#include <QSettings>
#include <QUrl>

namespace erphost {

namespace {

// Keys hold dots, blanks and may hold slashes, which QSettings reads as groups.
QString entryName(const QString& key) {
    return QStringLiteral("layouts/") + QString::fromLatin1(QUrl::toPercentEncoding(key));
}

} // namespace

QString LayoutStore::fileFor(std::int16_t userId) const {
    return m_folder + QStringLiteral("/layouts-%1.ini").arg(userId);
}

bool LayoutStore::storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) {
    if (!QDir().mkpath(m_folder))
        return false;
    QSettings file(fileFor(userId), QSettings::IniFormat);
    // Written to a temporary file and renamed, never in place: a full disk keeps the old layouts.
    file.setAtomicSyncRequired(true);
    file.setValue(entryName(key), layout);
    file.sync();
    return file.status() == QSettings::NoError;
}

std::optional<QByteArray> LayoutStore::restoreLayout(std::int16_t userId, const QString& key) const {
    QSettings file(fileFor(userId), QSettings::IniFormat);
    const QString name = entryName(key);
    if (!file.contains(name))
        return std::nullopt;
    return file.value(name).toByteArray();
}

} // namespace erphost
