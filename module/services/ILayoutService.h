#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace scadlav {

// Stores and restores a user's grid and screen layouts under a key ("FRMPD_KVB_SCADLAV.GRID_ORD",
// "Form stampa solleciti", ...). The layout itself is opaque to the service.
class ILayoutService {
public:
    virtual ~ILayoutService();
    virtual bool storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) = 0;
    // std::nullopt when the user has no layout stored under the key.
    virtual std::optional<QByteArray> restoreLayout(std::int16_t userId, const QString& key) const = 0;
};

} // namespace scadlav
