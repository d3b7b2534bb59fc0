#include "platform/host/DateObject.h"

#include "module/value/Value.h"
#include "platform/host/ConnectionKind.h"

namespace erphost {

void DateObject::setConnectionString(const QString& connectionString) {
    // An empty string keeps the form chosen at creation from the host's own connection.
    if (!connectionString.isEmpty())
        m_connectionString = connectionString;
}

void DateObject::setText(const QString& text) {
    m_value = scadlav::parseDateTimeText(text.trimmed()).value_or(QDateTime());
}

QString DateObject::sqlText() const {
    if (!m_value.isValid())
        return {};
    return m_value.toString(isEmbeddedConnection(m_connectionString) ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                                                     : QStringLiteral("yyyyMMdd HH:mm:ss"));
}

} // namespace erphost
