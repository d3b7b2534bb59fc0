#pragma once

#include "module/services/IHostStateRefresh.h"
#include "module/services/IUsageTracking.h"

#include <QStringList>

namespace scadlav::doubles {

// Usage tracking that records "event|title|caption" lines and answers close requests.
class RecordingUsageTracking : public IUsageTracking {
public:
    QStringList notices;
    bool cancelAnswer = false;
    int closeQuestions = 0;

    void registerUsage(const QString& event, const QString& title, const QString& caption) override {
        notices << event + QLatin1Char('|') + title + QLatin1Char('|') + caption;
    }
    bool cancelClose(const QString&) override {
        ++closeQuestions;
        return cancelAnswer;
    }
};

// Counts host-state refreshes.
class CountingHostStateRefresh : public IHostStateRefresh {
public:
    int refreshes = 0;
    void refreshHostState() override { ++refreshes; }
};

} // namespace scadlav::doubles
