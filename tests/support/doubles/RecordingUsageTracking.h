#pragma once

#include "module/services/IHostStateRefresh.h"
#include "module/services/IUsageTracking.h"

#include <QStringList>

namespace scadlav::doubles {

// Usage tracking that records "event|title|caption" lines and never holds a close back.
class RecordingUsageTracking : public IUsageTracking {
public:
    QStringList notices;

    void registerUsage(const QString& event, const QString& title, const QString& caption) override {
        notices << event + QLatin1Char('|') + title + QLatin1Char('|') + caption;
    }
    bool cancelClose(const QString&) override { return false; }
};

// Counts host-state refreshes.
class CountingHostStateRefresh : public IHostStateRefresh {
public:
    int refreshes = 0;
    void refreshHostState() override { ++refreshes; }
};

} // namespace scadlav::doubles
