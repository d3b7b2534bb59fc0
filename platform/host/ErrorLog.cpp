#include "platform/host/ErrorLog.h"

#include "module/services/HostRuntime.h"

#include <cstdio>

namespace erphost {

void ErrorLog::writeRecord(const QString& position, const QString& moduleText, const QString& routine) {
    if (m_echo) {
        std::fprintf(stderr, "error: %s (%s, %s %lld)\n", qPrintable(m_error.description),
                     qPrintable(routine), qPrintable(moduleText), static_cast<long long>(m_error.number));
        std::fflush(stderr);
    }
    QStringList fields{scadlav::HostRuntime::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                       position,
                       moduleText,
                       routine,
                       QString::number(m_error.number),
                       m_error.description};
    // The statement the database ran, for whoever reads the log; the user saw only the description.
    if (!m_error.statement.isEmpty())
        fields.append(m_error.statement);
    m_log.append(fields);
    m_error = {};
}

} // namespace erphost
