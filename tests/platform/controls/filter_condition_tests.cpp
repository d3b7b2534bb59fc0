// The SQL condition built from filter rows, and the values it refuses.
#include "platform/controls/FilterCondition.h"

#include <gtest/gtest.h>

using namespace erpctl;

namespace {

FilterEntry entry(const char* field, FilterKind kind, const QString& from, const QString& to,
                  int maxLength = 0) {
    FilterEntry e;
    e.definition.caption = QString::fromLatin1(field).toLower();
    e.definition.field = QString::fromLatin1(field);
    e.definition.kind = kind;
    e.definition.maxLength = maxLength;
    e.from = from;
    e.to = to;
    return e;
}

QString condition(const QList<FilterEntry>& entries) {
    return buildFilterCondition(entries, {}).text;
}

} // namespace

TEST(FilterCondition, EachKindWithBothAndOneSidedRanges) {
    EXPECT_EQ(condition({entry("FAM", FilterKind::Text, "A", "B")}), "AND FAM >= 'A' AND FAM <= 'B'");
    EXPECT_EQ(condition({entry("FAM", FilterKind::Text, "A", "")}), "AND FAM >= 'A'");
    EXPECT_EQ(condition({entry("FAM", FilterKind::Text, "", "B")}), "AND FAM <= 'B'");
    EXPECT_EQ(condition({entry("ART", FilterKind::ArticleCode, " X1 ", "x1")}), "AND ART = 'X1'");
    EXPECT_EQ(condition({entry("NUM", FilterKind::Number, "12", "300")}), "AND NUM >= 12 AND NUM <= 300");
    EXPECT_EQ(condition({entry("NUM", FilterKind::Number, "7", "7")}), "AND NUM = 7");
    EXPECT_EQ(condition({entry("QTA", FilterKind::Number, "1,5", "")}), "AND QTA >= 1.5");
    // A "to" day is taken whole, so rows of that afternoon still match.
    EXPECT_EQ(condition({entry("DT", FilterKind::Date, "01/01/2026", "31/01/2026")}),
              "AND DT >= '20260101' AND DT < '20260201'");
    EXPECT_EQ(condition({entry("DT", FilterKind::Date, "", "31/12/2026")}), "AND DT < '20270101'");
    EXPECT_EQ(condition({entry("DT", FilterKind::Date, "5/3/26", "5/3/26")}),
              "AND DT >= '20260305' AND DT < '20260306'");
    // The owner chooses how dates are written.
    const auto iso = [](const QDate& d) { return "'" + d.toString("yyyy-MM-dd") + "'"; };
    EXPECT_EQ(buildFilterCondition({entry("DT", FilterKind::Date, "01/02/2026", "")}, iso).text,
              "AND DT >= '2026-02-01'");
}

TEST(FilterCondition, EmptyRowsGiveNoTextAndFilledRowsJoinInOrder) {
    EXPECT_EQ(condition({}), "");
    EXPECT_EQ(condition({entry("A", FilterKind::Text, "", ""), entry("B", FilterKind::Number, "  ", "")}),
              "");
    EXPECT_EQ(condition({entry("A", FilterKind::Text, "x", ""), entry("B", FilterKind::Text, "", ""),
                         entry("C", FilterKind::Number, "", "4")}),
              "AND A >= 'x' AND C <= 4");
}

TEST(FilterCondition, QuotesAreDoubledAndPercentOrBracketStayLiteral) {
    EXPECT_EQ(condition({entry("F", FilterKind::Text, "O'Brien", "")}), "AND F >= 'O''Brien'");
    EXPECT_EQ(condition({entry("F", FilterKind::Text, "''", "")}), "AND F >= ''''''");
    EXPECT_EQ(condition({entry("F", FilterKind::Text, "50%", "[A]")}), "AND F >= '50%' AND F <= '[A]'");
    // A placeholder-like value must not be taken for one while the text is assembled.
    EXPECT_EQ(condition({entry("F", FilterKind::Text, "%1", "%2")}), "AND F >= '%1' AND F <= '%2'");
    EXPECT_EQ(condition({entry("F", FilterKind::Text, "x' OR 1=1 --", "")}), "AND F >= 'x'' OR 1=1 --'");
}

TEST(FilterCondition, UnusableValuesAreReportedAndLeftOut) {
    const auto result = buildFilterCondition(
        {
            entry("NUM", FilterKind::Number, "12a", ""),
            entry("DT", FilterKind::Date, "31/02/2026", ""),
            entry("FAM", FilterKind::Text, "B", "a"),
            entry("N2", FilterKind::Number, "10", "9"),
            entry("D2", FilterKind::Date, "02/01/2026", "01/01/2026"),
            entry("SF", FilterKind::Text, "ABCDE", "", 4),
            entry("OK", FilterKind::Text, "Z", ""),
        },
        {});
    EXPECT_EQ(result.text, "AND OK >= 'Z'");
    ASSERT_EQ(result.problems.size(), 6);
    EXPECT_EQ(result.problems[0].row, 0);
    EXPECT_EQ(result.problems[0].side, 1);
    EXPECT_TRUE(result.problems[0].message.contains("12a"));
    EXPECT_EQ(result.problems[1].row, 1);
    EXPECT_TRUE(result.problems[1].message.contains("data"));
    EXPECT_EQ(result.problems[2].row, 2); // "B" > "a" ignoring case
    EXPECT_EQ(result.problems[2].side, 0);
    EXPECT_EQ(result.problems[3].row, 3); // 10 > 9 as numbers, though "10" < "9" as text
    EXPECT_EQ(result.problems[4].row, 4);
    EXPECT_EQ(result.problems[5].row, 5);
    EXPECT_TRUE(result.problems[5].message.contains("4"));
}

TEST(FilterCondition, SqlNumbersAreStrict) {
    EXPECT_EQ(sqlNumber("-3"), "-3");
    EXPECT_EQ(sqlNumber("+3"), "3");
    EXPECT_EQ(sqlNumber("3.25"), "3.25");
    EXPECT_FALSE(sqlNumber("1.234,5"));
    EXPECT_FALSE(sqlNumber("1e5"));
    EXPECT_FALSE(sqlNumber("3;DROP"));
    EXPECT_FALSE(sqlNumber(""));
}
