#pragma once

#include "module/services/ILayoutService.h"

namespace erphost {

// Layouts kept per user in an INI file of their own (layouts-<user ID>.ini in the layout
// folder), one entry per layout key.
class LayoutStore : public scadlav::ILayoutService {
public:
    explicit LayoutStore(QString folder) : m_folder(std::move(folder)) {}

    bool storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) override;
    std::optional<QByteArray> restoreLayout(std::int16_t userId, const QString& key) const override;

    QString fileFor(std::int16_t userId) const;

private:
    QString m_folder;
};

} // namespace erphost
