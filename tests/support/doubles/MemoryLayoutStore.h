#pragma once

#include "module/services/ILayoutService.h"

#include <QMap>
#include <utility>

namespace scadlav::doubles {

// Layouts kept in memory, per user and key.
class MemoryLayoutStore : public ILayoutService {
public:
    QMap<std::pair<std::int16_t, QString>, QByteArray> layouts;

    bool storeLayout(std::int16_t userId, const QString& key, const QByteArray& layout) override {
        layouts[{userId, key}] = layout;
        return true;
    }
    std::optional<QByteArray> restoreLayout(std::int16_t userId, const QString& key) const override {
        const auto it = layouts.constFind({userId, key});
        if (it == layouts.cend())
            return std::nullopt;
        return *it;
    }
};

} // namespace scadlav::doubles
