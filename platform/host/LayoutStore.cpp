#include "platform/host/LayoutStore.h"

#include "module/value/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QUrl>

namespace erphost {

QString LayoutStore::fileFor(std::int16_t userId) const {
    return m_folder + QStringLiteral("/layouts-%1.json").arg(userId);
}

QMap<QString, QByteArray> LayoutStore::read(std::int16_t userId) const {
    QMap<QString, QByteArray> layouts;
    QFile file(fileFor(userId));
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            layouts.insert(it.key(), QByteArray::fromBase64(it.value().toString().toLatin1()));
        return layouts;
    }
    // The older INI file, its keys percent-encoded (QSettings reads slashes as groups). It is
    // never written again: QSettings reports success for a file that a full disk cut short.
    QSettings ini(m_folder + QStringLiteral("/layouts-%1.ini").arg(userId), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("layouts"));
    for (const QString& name : ini.childKeys())
        layouts.insert(QUrl::fromPercentEncoding(name.toLatin1()), ini.value(name).toByteArray());
    return layouts;
}

bool LayoutStore::storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) {
    if (!QDir().mkpath(m_folder))
        return false;
    QMap<QString, QByteArray> layouts = read(userId);
    layouts.insert(key, layout);
    QJsonObject object;
    for (auto it = layouts.cbegin(); it != layouts.cend(); ++it)
        object.insert(it.key(), QString::fromLatin1(it.value().toBase64()));
    return scadlav::writeFileSafely(fileFor(userId), QJsonDocument(object).toJson(), nullptr);
}

std::optional<QByteArray> LayoutStore::restoreLayout(std::int16_t userId, const QString& key) const {
    const QMap<QString, QByteArray> layouts = read(userId);
    const auto it = layouts.constFind(key);
    if (it == layouts.cend())
        return std::nullopt;
    return *it;
}

} // namespace erphost
