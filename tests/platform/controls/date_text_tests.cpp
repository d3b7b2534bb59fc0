// Dates typed by users and returned by databases.
#include "platform/controls/DateText.h"

#include <gtest/gtest.h>

using erpctl::parseDateText;

TEST(DateText, ReadsDayFirstFormsAndIsoText) {
    EXPECT_EQ(parseDateText("05/12/2026"), QDate(2026, 12, 5));
    EXPECT_EQ(parseDateText(" 5/1/26 "), QDate(2026, 1, 5));
    EXPECT_EQ(parseDateText("5-1-99"), QDate(1999, 1, 5));
    EXPECT_EQ(parseDateText("05.12.2026"), QDate(2026, 12, 5));
    EXPECT_EQ(parseDateText("05122026"), QDate(2026, 12, 5));
    EXPECT_EQ(parseDateText("051226"), QDate(2026, 12, 5));
    EXPECT_EQ(parseDateText("2026-12-05 10:30:00"), QDate(2026, 12, 5));
    EXPECT_EQ(parseDateText("05/12/2026 10:30"), QDate(2026, 12, 5));
}

TEST(DateText, RefusesImpossibleDaysAndOtherText) {
    EXPECT_FALSE(parseDateText("31/02/2026"));
    EXPECT_FALSE(parseDateText("29/02/2025"));
    EXPECT_TRUE(parseDateText("29/02/2024"));
    EXPECT_FALSE(parseDateText("12/13/2026"));
    EXPECT_FALSE(parseDateText(""));
    EXPECT_FALSE(parseDateText("domani"));
    EXPECT_FALSE(parseDateText("1/2/3/4"));
}
