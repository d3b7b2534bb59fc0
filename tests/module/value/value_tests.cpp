#include "module/value/Value.h"

#include <gtest/gtest.h>

#include <ctime>

using scadlav::Decimal;
using scadlav::Value;

TEST(Decimal, ParsesRoundsAndPrintsExactly) {
    auto d = Decimal::fromString(u"12.3456");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->rounded(3).toString(), "12.346");
    EXPECT_EQ(Decimal::fromString(u"-2.5")->rounded(0).toString(), "-3"); // half away from zero
    EXPECT_EQ(Decimal::fromDouble(2.675, 2)->toString(), "2.68");         // binary noise removed
    EXPECT_EQ(*Decimal::fromString(u"1.50"), *Decimal::fromString(u"1.5"));
    EXPECT_FALSE(Decimal::fromString(u"1.2.3"));
    EXPECT_FALSE(Decimal::fromString(u"abc"));
    EXPECT_EQ((*Decimal::fromString(u"0.1") + *Decimal::fromString(u"0.2")).toString(), "0.3");
}

TEST(Value, SixteenBitConversionRefusesOutOfRange) {
    EXPECT_EQ(Value(32767).toInt16(), std::optional<std::int16_t>(32767));
    EXPECT_FALSE(Value(70000).toInt16());
    EXPECT_FALSE(Value(-32769).toInt16());
    EXPECT_EQ(Value(QStringLiteral("  120 ")).toInt16(), std::optional<std::int16_t>(120));
    EXPECT_FALSE(Value(QStringLiteral("12a")).toInt16());
    EXPECT_FALSE(Value::null().toInt16());
    EXPECT_EQ(Value().toInt16(), std::optional<std::int16_t>(0)); // Empty reads as 0
}

TEST(Value, NullEmptyAndTextStayApart) {
    EXPECT_FALSE(Value::null() == Value());
    EXPECT_FALSE(Value(QString()) == Value());
    EXPECT_EQ(Value::null().toText(), "");
    EXPECT_EQ(Value(Decimal(12500, 3)).toText(), "12.5");
    EXPECT_TRUE(Value(3) == Value(Decimal(3000, 3)));
}

TEST(Value, ReadsDatesInTheFormsTheModuleMeets) {
    EXPECT_EQ(Value("31/08/2026").toDateTime()->date(), QDate(2026, 8, 31));
    EXPECT_EQ(Value("2026-02-28 10:15:00").toDateTime()->time(), QTime(10, 15));
    EXPECT_EQ(Value("20260105").toDateTime()->date(), QDate(2026, 1, 5));
    EXPECT_EQ(Value("05/01/26").toDateTime()->date(), QDate(2026, 1, 5));
    EXPECT_FALSE(Value("31/02/2026").toDateTime());
    EXPECT_FALSE(Value("2026-13-01").toDateTime());
    EXPECT_FALSE(Value("domani").toDateTime());
}

// Dates are wall-clock readings: whatever zone the process runs in, a date keeps its digits, also
// a midnight that the zone skips when its daylight-saving time starts, and two equal readings are
// equal however they were built.
TEST(Value, DatesKeepTheirDigitsInAnyTimeZone) {
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    const Value midnight(QDate(2018, 11, 4));
    EXPECT_EQ(midnight.toText(), "2018-11-04");
    EXPECT_EQ(midnight.asDateTime().time(), QTime(0, 0));
    EXPECT_TRUE(Value("2018-11-04 00:00:00").toDateTime() == midnight.asDateTime());
    const Value local(QDateTime(QDate(2026, 7, 1), QTime(10, 30)));
    EXPECT_TRUE(local == Value(QDateTime(QDate(2026, 7, 1), QTime(10, 30), Qt::UTC)));
    EXPECT_EQ(local.toText(), "2026-07-01 10:30:00");
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}
