#pragma once

#include <QString>

namespace scadlav {

// Usage tracking of the host (optional): told when a screen opens and closes, and asked at a
// close request whether the close is to be cancelled.
class IUsageTracking {
public:
    static inline const QString Open = QStringLiteral("tsOpen");
    static inline const QString Close = QStringLiteral("tsClose");

    virtual ~IUsageTracking();
    // `event` is Open or Close; `title` the fixed program title, `caption` the screen's caption.
    virtual void registerUsage(const QString& event, const QString& title, const QString& caption) = 0;
    // True when the host wants the screen to stay open.
    virtual bool cancelClose(const QString& caption) = 0;
};

} // namespace scadlav
