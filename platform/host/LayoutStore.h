#pragma once

#include "module/services/ILayoutService.h"

#include <QMap>

namespace erphost {

// Layouts kept per user in a file of their own (layouts-<user ID>.json in the layout folder),
// one entry per layout key, the layout in base64. The file is replaced whole through a
// temporary file, so a failed store keeps every layout stored before. Layouts of the older
// INI file (layouts-<user ID>.ini) are read while the user has no JSON file yet, and carried
// over by the first store.
class LayoutStore : public scadlav::ILayoutService {
public:
    explicit LayoutStore(QString folder) : m_folder(std::move(folder)) {}

    bool storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) override;
    std::optional<QByteArray> restoreLayout(std::int16_t userId, const QString& key) const override;

    QString fileFor(std::int16_t userId) const;

private:
    QMap<QString, QByteArray> read(std::int16_t userId) const;

    QString m_folder;
};

} // namespace erphost
