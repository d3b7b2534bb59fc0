#pragma once
// The phase scheduler's arithmetic, apart from any database: which days are worked, how long a
// phase lasts, and where it starts and ends. Planners check these results by hand, so every
// rule here is the documented one (docs/phase-scheduler.md) and nothing more.

#include "module/value/Decimal.h"
#include "module/value/Holidays.h"
#include "module/value/Value.h"

#include <QDate>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>

namespace erphost {

// Weekends and national holidays are the same for every company (module/value/Holidays.h).
using scadlav::easterSunday;
using scadlav::isNationalHoliday;
using scadlav::isWeekendOrHoliday;

// The working days of one company: Monday to Friday, except national holidays and the
// company's closure days.
class WorkingCalendar {
public:
    explicit WorkingCalendar(QSet<QDate> closures = {}) : m_closures(std::move(closures)) {}

    bool isWorkingDay(const QDate& day) const;
    QDate firstOnOrAfter(QDate day) const;
    QDate lastOnOrBefore(QDate day) const;
    // The working day `count` working days after a working day (before it when negative).
    QDate moveWorkingDays(QDate workingDay, std::int64_t count) const;

private:
    QSet<QDate> m_closures;
};

// What the routing says of a phase: fixed days and minutes per unit, Null counting as 0.
struct PhaseTimes {
    scadlav::Value fixedDays;
    scadlav::Value minutesPerUnit;
};

inline constexpr int kMinutesPerWorkingDay = 480;
// Beyond this a phase would run for centuries: the quantity (or the time per unit) is absurd.
inline constexpr std::int64_t kMaxPhaseDuration = 200000;

// max(1, fixed days + ceil(quantity * minutes per unit / 480)), computed exactly.
std::int64_t phaseDuration(const PhaseTimes& times, const scadlav::Decimal& quantity);

// A phase's first and last working day.
struct PhaseSpan {
    QDate start;
    QDate end;
};

// Forward from a start date: the first working day on or after it, one working day later when
// the phase changes resource (the transfer), then `duration` working days.
PhaseSpan scheduleFromStart(const WorkingCalendar& calendar, const QDate& reference, std::int64_t duration,
                            bool resourceChange);
// Backward from an end date, the mirror image.
PhaseSpan scheduleFromEnd(const WorkingCalendar& calendar, const QDate& reference, std::int64_t duration,
                          bool resourceChange);

// The reference date of a computation as a whole day; std::nullopt when null or unreadable.
std::optional<QDate> readReferenceDate(const scadlav::Value& value);
// The quantity of a computation (Null and Empty count as 0); std::nullopt when negative or
// unreadable.
std::optional<scadlav::Decimal> readQuantity(const scadlav::Value& value);

// The texts DescrizioneErroreFase returns.
namespace schedulertexts {
inline const QString InvalidReferenceDate = QStringLiteral("Data di riferimento non valida");
inline const QString InvalidQuantity = QStringLiteral("Quantità non valida");
QString phaseNotInCycle(const scadlav::Value& phaseCode, const QString& cycle);
} // namespace schedulertexts

} // namespace erphost
