// Display pictures: the formats the grids use (the grid tests show them under both locales).
#include "platform/controls/NumberPicture.h"

#include <gtest/gtest.h>

using erpctl::NumberPicture;

namespace {

const QLocale italian(QLocale::Italian, QLocale::Italy);

QString fmt(const char* picture, const QVariant& value, const QLocale& locale = italian) {
    return NumberPicture(QString::fromLatin1(picture)).format(value, locale);
}

} // namespace

TEST(NumberPicture, QuantityPictureGroupsThousandsAndKeepsTwoDecimals) {
    const char* quantity = "###,###,###,##0.00";
    EXPECT_EQ(fmt(quantity, qlonglong(1234567890)), "1.234.567.890,00");
    EXPECT_EQ(fmt(quantity, -0.5), "-0,50");
    EXPECT_EQ(fmt(quantity, 999.999), "1.000,00");
    EXPECT_EQ(fmt(quantity, QStringLiteral("12.345")), "12,35"); // exact decimal text from the database
}

TEST(NumberPicture, RoundsHalfAwayFromZeroOnTheDecimalDigits) {
    // 2.675 and 1.005 are stored in binary just below the half; the shown value must not be.
    EXPECT_EQ(fmt("0.00", 2.675), "2,68");
    EXPECT_EQ(fmt("0.00", 1.005), "1,01");
    EXPECT_EQ(fmt("0.00", -1.005), "-1,01");
    EXPECT_EQ(fmt("0.00", -0.004), "0,00"); // no negative zero
}

TEST(NumberPicture, HashOnlyPictureHidesZeroAndLeadingZeros) {
    EXPECT_EQ(fmt("#####", qlonglong(42)), "42");
    EXPECT_EQ(fmt("#####", qlonglong(0)), "");
    EXPECT_EQ(fmt("#####", 20.0), "20");
    EXPECT_EQ(fmt("#######", qlonglong(1234567)), "1234567"); // no grouping without ","
    EXPECT_EQ(fmt("####", 0.4), "");
    EXPECT_EQ(fmt("#.##", 1.5), "1,5");
}

TEST(NumberPicture, NullsAndNonNumbersShowNothing) {
    EXPECT_EQ(fmt("###,##0.00", QVariant()), "");
    EXPECT_EQ(fmt("###,##0.00", QStringLiteral("abc")), "");
    EXPECT_EQ(fmt("###,##0.00", QStringLiteral("")), "");
    EXPECT_EQ(fmt("", 3.25), "3,25"); // no picture: the locale's decimal mark, the value's decimals
    EXPECT_EQ(fmt("", qlonglong(12000)), "12000");
}
