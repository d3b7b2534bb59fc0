#include "platform/host/ErrorLog.h"

#include "module/services/HostRuntime.h"

namespace erphost {

void ErrorLog::writeRecord(const QString& position, const QString& moduleText, const QString& routine) {
    m_log.append({scadlav::HostRuntime::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), position,
                  moduleText, routine, QString::number(m_error.number), m_error.description});
    m_error = {};
}

} // namespace erphost
