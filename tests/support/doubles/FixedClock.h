#pragma once

#include "module/services/IClock.h"

namespace scadlav::doubles {

// A clock that says what it is told; advance() moves it on.
class FixedClock : public IClock {
public:
    explicit FixedClock(QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0)))
        : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace scadlav::doubles
