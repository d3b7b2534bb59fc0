#pragma once

#include "module/services/IUsageTracking.h"
#include "platform/host/LineLog.h"

namespace erphost {

// Usage tracking: one line per notice in the usage log: time, user ID, event, title, caption.
// The host never asks a screen to stay open.
class UsageLog : public scadlav::IUsageTracking {
public:
    UsageLog(QString path, int userId) : m_log(std::move(path)), m_userId(userId) {}

    void registerUsage(const QString& event, const QString& title, const QString& caption) override;
    bool cancelClose(const QString&) override { return false; }

private:
    LineLog m_log;
    int m_userId;
};

} // namespace erphost
