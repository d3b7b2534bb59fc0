// The ordering rules of the dates typed in the order detail, and the "Mod." cycle.
#include "engine/DetailDateRules.h"

#include <gtest/gtest.h>

using namespace scadlav::engine;

namespace {

QDate d(int day) {
    return QDate(2026, 5, day);
}

// Phases 10, 20, 30 of one line.
QList<DetailPhase> line() {
    return {{QStringLiteral("A100"), 10, {}, {}},
            {QStringLiteral("A200"), 20, {}, {}},
            {QStringLiteral("A300"), 30, {}, {}}};
}

int refusal(const QList<DetailPhase>& phases, const char* key, DetailDateColumn column, const QDate& date) {
    const auto r = checkDetailDate(phases, QString::fromLatin1(key), column, date);
    return r ? r->textId : 0;
}

} // namespace

TEST(DetailDateRules, NewDatesKeepTheLineInOrder) {
    QList<DetailPhase> phases = line();
    EXPECT_EQ(refusal(phases, "A200", DetailDateColumn::Start, d(10)), 0);
    phases[1].start = d(10);

    // A later phase may not start before an earlier one's date; equal dates pass.
    EXPECT_EQ(refusal(phases, "A300", DetailDateColumn::Start, d(9)), 78517);
    EXPECT_EQ(refusal(phases, "A300", DetailDateColumn::Start, d(10)), 0);
    // An earlier phase may not start after a later one's date.
    EXPECT_EQ(refusal(phases, "A100", DetailDateColumn::Start, d(11)), 78516);

    // Against its own other date first.
    EXPECT_EQ(refusal(phases, "A200", DetailDateColumn::End, d(9)), 78518);
    phases[1].end = d(12);
    EXPECT_EQ(refusal(phases, "A200", DetailDateColumn::Start, d(13)), 78515);

    // End dates: a phase before may not end after the dates of later phases, and the reverse.
    EXPECT_EQ(refusal(phases, "A100", DetailDateColumn::End, d(11)), 78519);
    EXPECT_EQ(refusal(phases, "A300", DetailDateColumn::End, d(11)), 78520);
    EXPECT_EQ(refusal(phases, "A300", DetailDateColumn::End, d(12)), 0);
}

TEST(DetailDateRules, SubPhasesOfOneSequenceAreEarlierForEachOther) {
    QList<DetailPhase> phases{{QStringLiteral("A200"), 20, d(10), {}}, {QStringLiteral("A201"), 20, {}, {}}};
    // Each counts as an earlier phase for the other: a start before the sibling's is refused.
    EXPECT_EQ(refusal(phases, "A201", DetailDateColumn::Start, d(9)), 78517);
    EXPECT_EQ(refusal(phases, "A201", DetailDateColumn::Start, d(11)), 0);
    // Two rows that share a key are both left out of the comparison, as the key filter does.
    phases[1].key = QStringLiteral("A200");
    EXPECT_EQ(refusal(phases, "A200", DetailDateColumn::Start, d(1)), 0);
}

TEST(DetailDateRules, ModClicksCycleThroughTheDirections) {
    int value = direction::None;
    QList<int> seen;
    for (int i = 0; i < 5; ++i)
        seen << (value = nextDirection(value));
    EXPECT_EQ(seen, (QList<int>{direction::Phase, direction::Forward, direction::Backward, direction::Phase,
                                direction::Forward}));
    EXPECT_EQ(nextDirection(7), 7);
}
