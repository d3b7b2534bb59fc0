// The phase scheduler's arithmetic: holidays, closures, moving by working days, durations.
#include "platform/host/WorkingCalendar.h"

#include <gtest/gtest.h>

using namespace erphost;
using scadlav::Decimal;
using scadlav::Value;

namespace {

QDate d(int year, int month, int day) {
    return QDate(year, month, day);
}

Decimal dec(const char* text) {
    return *Decimal::fromString(QString::fromLatin1(text));
}

std::int64_t duration(const Value& fixedDays, const Value& minutesPerUnit, const char* quantity) {
    return phaseDuration({fixedDays, minutesPerUnit}, dec(quantity));
}

} // namespace

TEST(WorkingCalendar, EasterMondayAndTheElevenNationalHolidays) {
    EXPECT_EQ(easterSunday(2038), d(2038, 4, 25)); // the latest date possible
    EXPECT_EQ(easterSunday(2285), d(2285, 3, 22)); // the earliest
    const WorkingCalendar calendar;
    for (const QDate& monday : {d(2024, 4, 1), d(2025, 4, 21), d(2026, 4, 6), d(2027, 3, 29)}) {
        EXPECT_FALSE(calendar.isWorkingDay(monday)) << monday.toString(Qt::ISODate).toStdString();
        EXPECT_TRUE(calendar.isWorkingDay(monday.addDays(1))) << monday.toString(Qt::ISODate).toStdString();
    }
    QList<QDate> holidays;
    for (QDate day = d(2026, 1, 1); day.year() == 2026; day = day.addDays(1)) {
        if (isNationalHoliday(day))
            holidays << day;
    }
    EXPECT_EQ(holidays, (QList<QDate>{d(2026, 1, 1), d(2026, 1, 6), d(2026, 4, 6), d(2026, 4, 25),
                                      d(2026, 5, 1), d(2026, 6, 2), d(2026, 8, 15), d(2026, 11, 1),
                                      d(2026, 12, 8), d(2026, 12, 25), d(2026, 12, 26)}));
}

TEST(WorkingCalendar, WeekendsHolidaysAndClosuresAreSkippedBothWays) {
    const WorkingCalendar plain;
    EXPECT_EQ(plain.firstOnOrAfter(d(2025, 8, 15)), d(2025, 8, 18)); // a Friday holiday
    EXPECT_EQ(plain.lastOnOrBefore(d(2025, 8, 17)), d(2025, 8, 14));
    EXPECT_EQ(plain.moveWorkingDays(d(2026, 12, 24), 1), d(2026, 12, 28));
    EXPECT_EQ(plain.moveWorkingDays(d(2027, 1, 7), -3), d(2026, 12, 31)); // over Epiphany and 1 January
    // With the company's closures from Christmas to Epiphany is one gap.
    const WorkingCalendar christmas(
        {d(2026, 12, 28), d(2026, 12, 29), d(2026, 12, 30), d(2026, 12, 31), d(2027, 1, 4), d(2027, 1, 5)});
    EXPECT_EQ(christmas.moveWorkingDays(d(2026, 12, 24), 1), d(2027, 1, 7));
    EXPECT_EQ(christmas.moveWorkingDays(d(2027, 1, 7), -1), d(2026, 12, 24));
}

TEST(WorkingCalendar, TheTransferDayMovesTheAnchorForwardAndBackward) {
    const WorkingCalendar plain;
    const auto expectSpan = [](const PhaseSpan& span, const QDate& start, const QDate& end) {
        EXPECT_EQ(span.start, start);
        EXPECT_EQ(span.end, end);
    };
    // From a Saturday and to a Sunday, three days.
    expectSpan(scheduleFromStart(plain, d(2026, 3, 7), 3, false), d(2026, 3, 9), d(2026, 3, 11));
    expectSpan(scheduleFromStart(plain, d(2026, 3, 7), 3, true), d(2026, 3, 10), d(2026, 3, 12));
    expectSpan(scheduleFromEnd(plain, d(2026, 3, 15), 3, false), d(2026, 3, 11), d(2026, 3, 13));
    expectSpan(scheduleFromEnd(plain, d(2026, 3, 15), 3, true), d(2026, 3, 10), d(2026, 3, 12));
    // Over Easter 2026 and onto Easter Monday 2027.
    expectSpan(scheduleFromStart(plain, d(2026, 4, 2), 3, false), d(2026, 4, 2), d(2026, 4, 7));
    expectSpan(scheduleFromEnd(plain, d(2027, 3, 29), 2, false), d(2027, 3, 25), d(2027, 3, 26));
}

TEST(PhaseDuration, FixedDaysPlusWholeWorkingDaysOfRunTime) {
    const Value null = Value::null();
    EXPECT_EQ(duration(Value(Decimal(2, 0)), null, "100"), 2);
    EXPECT_EQ(duration(null, null, "100"), 1);                              // nothing known: still one day
    EXPECT_EQ(duration(Value(Decimal(1, 0)), Value(dec("4.8")), "100"), 2); // 480 minutes
    EXPECT_EQ(duration(Value(Decimal(1, 0)), Value(dec("4.8")), "100.001"), 3); // a little more
    EXPECT_EQ(duration(null, Value(dec("4800.000")), "0.100"), 1);          // exactly 480, no rounding error
    EXPECT_EQ(duration(Value(Decimal(3, 0)), Value(dec("1.5")), "500"), 5); // 750 minutes: 2 days
    EXPECT_GT(duration(Value(0), Value(dec("99999999999.999")), "99999999999.999"), kMaxPhaseDuration);
}

TEST(PhaseScheduleInputs, ReferenceDatesAndQuantitiesAreReadOrRefused) {
    EXPECT_EQ(readReferenceDate(Value(QStringLiteral("07/03/2026"))), d(2026, 3, 7));
    EXPECT_EQ(readReferenceDate(Value(QDateTime(d(2026, 3, 7), QTime(18, 0)))), d(2026, 3, 7));
    EXPECT_FALSE(readReferenceDate(Value()));
    EXPECT_FALSE(readReferenceDate(Value(QStringLiteral("domani"))));
    EXPECT_EQ(readQuantity(Value::null()), Decimal());
    EXPECT_FALSE(readQuantity(Value(dec("-0.001"))));
    EXPECT_FALSE(readQuantity(Value(QStringLiteral("dodici"))));
}
