#include "platform/host/UsageLog.h"

#include "module/services/HostRuntime.h"

namespace erphost {

void UsageLog::registerUsage(const QString& event, const QString& title, const QString& caption) {
    m_log.append({scadlav::HostRuntime::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  QString::number(m_userId), event, title, caption});
}

} // namespace erphost
