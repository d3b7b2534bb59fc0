#include "InMemorySet.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;
using namespace scadlav::db::testing;

namespace {

std::unique_ptr<Recordset> sample() {
    const Value null = Value::null();
    return makeSet({
        {1, "Rossi", Decimal(1500, 3), QDate(2026, 3, 1), 1},
        {2, "bianchi  ", null, QDate(2026, 1, 15), 3},
        {3, "Verdi", Decimal(250, 3), null, 2},
        {4, null, Decimal(0, 3), QDate(2026, 2, 1), null},
        {5, "O'Brien", Decimal(-5, 0), QDate(2026, 2, 1), 4},
    });
}

} // namespace

TEST(Recordset, EmptySetIsAtBofAndEofWithCountZero) {
    auto rs = makeSet({});
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_TRUE(rs->bof());
    EXPECT_TRUE(rs->eof());
    EXPECT_TRUE(rs->moveFirst());
    EXPECT_FALSE(rs->moveNext());
    EXPECT_EQ(rs->lastError().number, kErrNoCurrentRow);
    EXPECT_TRUE(rs->value("ID").isEmpty()); // no current row: nothing, and an error
}

TEST(Recordset, WalksForwardAndBackwardWithExactCount) {
    auto rs = sample();
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(rs->eof());
    EXPECT_FALSE(rs->moveNext());
    std::vector<std::int64_t> back;
    for (rs->moveLast(); !rs->bof(); rs->movePrevious())
        back.push_back(*rs->value("id").toInt64()); // names without case
    EXPECT_EQ(back, (std::vector<std::int64_t>{5, 4, 3, 2, 1}));
    EXPECT_FALSE(rs->movePrevious());
}

TEST(Recordset, NullStaysNullAndValuesKeepTheirType) {
    auto rs = sample();
    rs->moveTo(3);
    EXPECT_TRUE(rs->value("NAME").isNull());
    EXPECT_TRUE(rs->value("SOLL").isNull());
    EXPECT_EQ(rs->value("QTA").kind(), Value::Kind::Decimal);
    rs->moveTo(0);
    EXPECT_EQ(rs->value("QTA").asDecimal(), Decimal(15, 1));
    EXPECT_EQ(rs->value("DATA").asDateTime(), wallClock(QDateTime(QDate(2026, 3, 1), QTime(0, 0))));
    EXPECT_TRUE(rs->value("NOPE").isEmpty());
    EXPECT_EQ(rs->lastError().number, kErrNotFound);
}

// Text compares like the server: no case, trailing blanks ignored, quotes doubled; Null matches no
// comparison.
TEST(Recordset, FilterShowsMatchingRowsAndClearingRestoresAll) {
    auto rs = sample();
    const std::pair<const char*, std::vector<std::int64_t>> cases[] = {
        {"SOLL > 1 AND SOLL < 4 ", {2, 3}},
        {"NAME = 'BIANCHI'", {2}},
        {"NAME = 'o''brien'", {5}},
        {"NAME <> 'Rossi'", {2, 3, 5}},
        {"QTA >= 0.25 AND QTA < 1.5", {3}},
        {"DATA = '2026-02-01' AND ID > 4", {5}},
        {"ID = 99", {}},
    };
    for (const auto& [filter, want] : cases) {
        ASSERT_TRUE(rs->setFilter(filter)) << filter;
        EXPECT_EQ(ids(*rs), want) << filter;
    }
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_TRUE(rs->eof());
    EXPECT_TRUE(rs->bof());
    ASSERT_TRUE(rs->setFilter(""));
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(rs->filter(), "");
}

TEST(Recordset, BadFilterIsRefusedAndThePreviousOneStays) {
    auto rs = sample();
    ASSERT_TRUE(rs->setFilter("SOLL = 1"));
    const char* bad[] = {
        "NOPE = 1",             // unknown field
        "SOLL = 'x'",           // text for a number
        "NAME = 3",             // number for a text
        "SOLL = 1 OR SOLL = 2", // outside the grammar
        "SOLL =",               // no literal
        "SOLL = 1 AND",         // dangling AND
        "NAME = 'open",         // unterminated text
        "SOLL == 1",            // no such operator
        "SOLL = 12abc",         // not a number
        "DATA = '31/02/2026'",  // impossible date
    };
    for (const char* f : bad) {
        EXPECT_FALSE(rs->setFilter(f)) << f;
        EXPECT_FALSE(rs->lastErrorText().isEmpty()) << f;
        EXPECT_EQ(rs->filter(), "SOLL = 1") << f;
        EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{1})) << f;
    }
}

TEST(Recordset, SortIsStableWithNullsFirstAndKeepsTheCurrentRow) {
    auto rs = sample();
    rs->moveTo(2); // ID 3
    ASSERT_TRUE(rs->setSort("DATA,NAME"));
    EXPECT_EQ(rs->value("ID").asInt(), 3);
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{3, 2, 4, 5, 1}));
    ASSERT_TRUE(rs->setSort("DATA")); // 4 and 5 tie: original order
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{3, 2, 4, 5, 1}));
    ASSERT_TRUE(rs->setSort("SOLL DESC, ID"));
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{5, 2, 3, 1, 4}));
    ASSERT_TRUE(rs->setFilter("SOLL > 1")); // filter keeps the sort
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{5, 2, 3}));
    EXPECT_FALSE(rs->setSort("SOLL,NOPE"));
    EXPECT_EQ(rs->sort(), "SOLL DESC, ID");
    ASSERT_TRUE(rs->setSort(""));
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{2, 3, 5}));
}

TEST(Recordset, TextSortsAndFiltersWithoutCaseAndWithAccentsNextToTheirLetter) {
    auto rs = makeSet({{1, "Zeta", 0, Value::null(), 0},
                       {2, QString::fromUtf8("àncora"), 0, Value::null(), 0},
                       {3, "alfa  ", 0, Value::null(), 0},
                       {4, QString::fromUtf8("Ància"), 0, Value::null(), 0},
                       {5, "Alfa", 0, Value::null(), 0},
                       {6, "ancora", 0, Value::null(), 0}});
    ASSERT_TRUE(rs->setSort("NAME"));
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{3, 5, 4, 6, 2, 1}));
    ASSERT_TRUE(rs->setFilter(QString::fromUtf8("NAME = 'ÀNCORA'")));
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{2})); // accents count, case does not
    ASSERT_TRUE(rs->setFilter("NAME < 'b'"));
    EXPECT_EQ(ids(*rs), (std::vector<std::int64_t>{3, 5, 4, 6, 2}));
}

TEST(Recordset, CloneHasItsOwnFilterAndPositionButSharesWrites) {
    auto rs = sample();
    rs->moveTo(1);
    ASSERT_TRUE(rs->setSort("ID DESC"));
    auto clone = rs->clone();
    ASSERT_TRUE(clone);
    EXPECT_EQ(clone->recordCount(), 5);
    EXPECT_EQ(clone->filter(), "");
    ASSERT_TRUE(clone->setFilter("SOLL > 1 AND SOLL < 4 "));
    EXPECT_EQ(clone->recordCount(), 2);
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_EQ(rs->value("ID").asInt(), 2); // the first cursor did not move

    clone->moveFirst();
    ASSERT_TRUE(clone->setValue("NAME", "Changed"));
    ASSERT_TRUE(clone->update());
    EXPECT_EQ(rs->value("NAME").asText(), "Changed");

    // Writes through the first cursor reach the clone as well; the clone's filter is a
    // snapshot, so the row stays visible there until the filter is set again.
    ASSERT_TRUE(rs->setValue("SOLL", 4));
    ASSERT_TRUE(rs->update());
    EXPECT_EQ(clone->value("SOLL").asInt(), 4);
    EXPECT_EQ(clone->recordCount(), 2);
    clone->setFilter("SOLL > 1 AND SOLL < 4 ");
    EXPECT_EQ(clone->recordCount(), 1);

    rs->close();
    EXPECT_EQ(clone->recordCount(), 1); // the rows live on with the clone
}

TEST(Recordset, WritesAreCheckedAndConvertedToTheFieldType) {
    auto rs = sample();
    EXPECT_FALSE(rs->setValue("ID", "abc"));
    EXPECT_EQ(rs->lastError().number, kErrTypeMismatch);
    EXPECT_FALSE(rs->setValue("SOLL", 70000)); // smallint range
    EXPECT_FALSE(rs->setValue("DATA", "not a date"));
    EXPECT_EQ(rs->editMode(), EditMode::None);           // nothing was buffered
    ASSERT_TRUE(rs->setValue("QTA", Decimal(12345, 4))); // 1.2345 -> 1.235 (scale 3)
    ASSERT_TRUE(rs->setValue("DATA", 0));                // the run-time's zero date
    ASSERT_TRUE(rs->setValue("ID", "42"));
    ASSERT_TRUE(rs->update());
    EXPECT_EQ(rs->value("QTA").asDecimal(), Decimal(1235, 3));
    EXPECT_EQ(rs->value("DATA").asDateTime(), wallClock(QDateTime(QDate(1899, 12, 30), QTime(0, 0))));
    EXPECT_EQ(rs->value("ID").asInt(), 42);
    ASSERT_TRUE(rs->setValue("NAME", Value::null()));
    ASSERT_TRUE(rs->update());
    EXPECT_TRUE(rs->value("NAME").isNull());
}

TEST(Recordset, PendingEditsAreReadBackAndCanBeCancelled) {
    auto rs = sample();
    ASSERT_TRUE(rs->setValue("NAME", "Pending"));
    EXPECT_EQ(rs->editMode(), EditMode::InProgress);
    EXPECT_EQ(rs->value("NAME").asText(), "Pending");
    rs->cancelUpdate();
    EXPECT_EQ(rs->value("NAME").asText(), "Rossi");
    ASSERT_TRUE(rs->setValue("NAME", "Moved"));
    ASSERT_TRUE(rs->moveNext()); // moving commits, as the run-time does
    rs->moveFirst();
    EXPECT_EQ(rs->value("NAME").asText(), "Moved");
}

TEST(Recordset, AddNewAppendsAndFilteredClonesOnlySeeMatchingRows) {
    auto rs = sample();
    auto clone = rs->clone();
    clone->setFilter("SOLL = 9");
    ASSERT_TRUE(rs->addNew());
    EXPECT_TRUE(rs->value("ID").isNull());
    rs->setValue("ID", 6);
    rs->setValue("SOLL", 9);
    ASSERT_TRUE(rs->update());
    EXPECT_EQ(rs->recordCount(), 6);
    EXPECT_EQ(rs->value("ID").asInt(), 6);
    EXPECT_EQ(clone->recordCount(), 1);
    rs->addNew();
    rs->setValue("ID", 7);
    rs->update();
    EXPECT_EQ(clone->recordCount(), 1);
}

TEST(Recordset, InMemoryBuildingRulesAreEnforced) {
    Recordset rs;
    EXPECT_FALSE(rs.open()); // no fields yet
    EXPECT_TRUE(rs.appendField("A", DataType::Integer));
    EXPECT_FALSE(rs.appendField("a", DataType::VarWChar, 10)); // same name without case
    EXPECT_FALSE(rs.setNumericScale("B", 2));
    EXPECT_TRUE(rs.open());
    EXPECT_FALSE(rs.appendField("C", DataType::Integer));
    EXPECT_FALSE(rs.requery()); // nothing to run again
    rs.close();
    rs.close(); // closing twice is harmless
    EXPECT_EQ(rs.state(), ObjectState::Closed);
    EXPECT_EQ(rs.recordCount(), -1);
    EXPECT_EQ(rs.clone(), nullptr);
}

TEST(Recordset, ListenersHearChangesMadeThroughClones) {
    auto rs = sample();
    rs->setSort("ID DESC");
    std::vector<RecordsetEvent> events;
    rs->addListener([&](const RecordsetEvent& e) { events.push_back(e); });
    auto clone = rs->clone();
    clone->moveTo(0); // ID 1, shown last in the sorted cursor
    clone->setValue("NAME", "X");
    clone->update();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, RecordsetEvent::Kind::RowChanged);
    EXPECT_EQ(events.back().row, 4);
}
