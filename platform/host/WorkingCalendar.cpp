#include "platform/host/WorkingCalendar.h"

#include <algorithm>

namespace erphost {

namespace {
// Holds the product of two decimals' 64-bit units.
__extension__ typedef __int128 Wide;
} // namespace

bool WorkingCalendar::isWorkingDay(const QDate& day) const {
    return !isWeekendOrHoliday(day) && !m_closures.contains(day);
}

QDate WorkingCalendar::firstOnOrAfter(QDate day) const {
    while (!isWorkingDay(day))
        day = day.addDays(1);
    return day;
}

QDate WorkingCalendar::lastOnOrBefore(QDate day) const {
    while (!isWorkingDay(day))
        day = day.addDays(-1);
    return day;
}

QDate WorkingCalendar::moveWorkingDays(QDate workingDay, std::int64_t count) const {
    const int step = count < 0 ? -1 : 1;
    for (std::int64_t left = count < 0 ? -count : count; left > 0; --left) {
        do
            workingDay = workingDay.addDays(step);
        while (!isWorkingDay(workingDay));
    }
    return workingDay;
}

std::int64_t phaseDuration(const PhaseTimes& times, const scadlav::Decimal& quantity) {
    const std::int64_t fixedDays = times.fixedDays.toInt64().value_or(0);
    const scadlav::Decimal minutes = times.minutesPerUnit.toDecimal().value_or(scadlav::Decimal());
    // Exact: quantity and minutes as integers of their own scale (at most 12 places each), so
    // that 0.1 * 4800 minutes is one day, not one day and a rounding error.
    const scadlav::Decimal q = quantity.rounded(std::min(quantity.scale(), 12));
    const scadlav::Decimal t = minutes.rounded(std::min(minutes.scale(), 12));
    const Wide numerator = static_cast<Wide>(q.units()) * t.units();
    Wide denominator = kMinutesPerWorkingDay;
    for (int i = 0; i < q.scale() + t.scale(); ++i)
        denominator *= 10;
    Wide runDays = numerator / denominator;
    if (numerator % denominator != 0 && numerator > 0)
        ++runDays;
    const Wide total = std::clamp<Wide>(fixedDays + runDays, 1, kMaxPhaseDuration + 1);
    return static_cast<std::int64_t>(total);
}

PhaseSpan scheduleFromStart(const WorkingCalendar& calendar, const QDate& reference, std::int64_t duration,
                            bool resourceChange) {
    QDate start = calendar.firstOnOrAfter(reference);
    if (resourceChange)
        start = calendar.moveWorkingDays(start, 1);
    return {start, calendar.moveWorkingDays(start, duration - 1)};
}

PhaseSpan scheduleFromEnd(const WorkingCalendar& calendar, const QDate& reference, std::int64_t duration,
                          bool resourceChange) {
    QDate end = calendar.lastOnOrBefore(reference);
    if (resourceChange)
        end = calendar.moveWorkingDays(end, -1);
    return {calendar.moveWorkingDays(end, -(duration - 1)), end};
}

std::optional<QDate> readReferenceDate(const scadlav::Value& value) {
    const std::optional<QDateTime> read = value.toDateTime();
    if (!read || !read->date().isValid())
        return std::nullopt;
    return read->date();
}

std::optional<scadlav::Decimal> readQuantity(const scadlav::Value& value) {
    if (value.isEmptyOrNull())
        return scadlav::Decimal();
    const std::optional<scadlav::Decimal> read = value.toDecimal();
    if (!read || *read < scadlav::Decimal())
        return std::nullopt;
    return read;
}

QString schedulertexts::phaseNotInCycle(const scadlav::Value& phaseCode, const QString& cycle) {
    return QStringLiteral("Fase %1 non presente nel ciclo %2").arg(phaseCode.toText().trimmed(), cycle);
}

} // namespace erphost
