#include "module/services/SystemClock.h"

#include <QRegularExpression>

namespace scadlav {

SystemClock::SystemClock() : m_fixed(fixedNowFromEnvironment()) {}

QDateTime SystemClock::now() const {
    return m_fixed ? *m_fixed : QDateTime::currentDateTime();
}

std::optional<QDateTime> SystemClock::fixedNowFromEnvironment() {
    const QString text = qEnvironmentVariable(FixedNowVariable).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}( \d{2}:\d{2}(:\d{2})?)?$)"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid())
        t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!t.isValid())
        t = QDateTime(QDate::fromString(text, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
    if (!t.isValid())
        return std::nullopt;
    return t;
}

} // namespace scadlav
