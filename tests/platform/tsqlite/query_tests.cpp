// A SELECT read a slice at a time: the same rows as a whole execution, other statements run
// between slices without disturbing it, and an end that cannot be mistaken for the last row.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::rows;
using tsqlite::testing::run;
using tsqlite::testing::ScratchDatabase;

namespace {

void fill(Connection& db, int rows) {
    run(db,
        "CREATE TABLE T (ID int NOT NULL PRIMARY KEY, QTA decimal(14,3), DESCR nvarchar(20), DATA datetime)");
    run(db, "BEGIN TRANSACTION");
    for (int i = 1; i <= rows; ++i)
        run(db, "INSERT INTO T VALUES (" + std::to_string(i) + ", " + std::to_string(i) + ".5, 'riga ''" +
                    std::to_string(i) + "', '2026-11-04')");
    run(db, "COMMIT");
}

// Counts the begin and end of the result set besides the rows.
struct SliceSink : RecordingSink {
    int begun = 0;
    int ended = 0;
    void beginResultSet(const std::vector<Column>& columns) override {
        ++begun;
        if (results.empty())
            RecordingSink::beginResultSet(columns);
    }
    void endResultSet() override { ++ended; }
};

// A scratch database whose connection `db` holds table T with `rows` rows; `scratch.open()`
// gives the tests more connections on the same file.
class QueryTest : public ::testing::Test {
protected:
    void open(int rows) {
        db = scratch.open();
        ASSERT_TRUE(db);
        fill(*db, rows);
    }
    ScratchDatabase scratch;
    std::unique_ptr<Connection> db;
    std::vector<Error> errors;
};

} // namespace

TEST_F(QueryTest, SlicesGiveTheRowsOfAWholeExecutionWhileTheConnectionRunsOtherStatements) {
    open(1000);
    const std::string select = "SELECT ID, QTA, DESCR, DATA FROM T WHERE ID > 10 ORDER BY ID DESC";
    RecordingSink whole;
    ASSERT_TRUE(db->execute(select, &whole, errors));

    auto query = db->openQuery(select, errors);
    ASSERT_TRUE(query) << (errors.empty() ? "no query" : errors.front().description);
    SliceSink sliced;
    int slices = 0;
    while (!query->done()) {
        ASSERT_TRUE(query->fetch(sliced, 97, errors)) << errors.front().description;
        ++slices;
        // The same shape with other literals, from the statement cache, and a write.
        EXPECT_EQ(rows(*db, "SELECT ID, QTA, DESCR, DATA FROM T WHERE ID > 995 ORDER BY ID DESC").size(), 5u);
        run(*db, "UPDATE T SET DESCR = 'x' WHERE ID = 1");
    }
    EXPECT_EQ(slices, 11); // 990 rows: ten full slices and the last
    EXPECT_EQ(sliced.begun, 1);
    EXPECT_EQ(sliced.ended, 1);
    ASSERT_EQ(whole.results.size(), 1u);
    EXPECT_EQ(sliced.results.front().columns.size(), whole.results.front().columns.size());
    EXPECT_EQ(sliced.results.front().columns[1].declType, "decimal(14,3)");
    EXPECT_EQ(sliced.results.front().rows, whole.results.front().rows);
    // Done: further fetches hand over nothing.
    EXPECT_TRUE(query->fetch(sliced, 10, errors));
    EXPECT_EQ(sliced.results.front().rows.size(), 990u);
}

TEST_F(QueryTest, OnlyASingleSelectIsReadInSlicesAndAFailingOneSaysWhy) {
    open(3);
    EXPECT_FALSE(db->openQuery("SELECT ID FROM T; SELECT DESCR FROM T", errors));
    EXPECT_FALSE(db->openQuery("SELECT ID INTO #COPIA FROM T", errors));
    EXPECT_FALSE(db->openQuery("UPDATE T SET QTA = 0", errors));
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    EXPECT_FALSE(db->openQuery("SELECT NOPE FROM T", errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("NOPE"), std::string::npos) << errors.front().description;
}

TEST_F(QueryTest, AConnectionClosedHalfwayIsAFailureNotTheEnd) {
    open(50);
    auto query = db->openQuery("SELECT * FROM T ORDER BY ID", errors);
    ASSERT_TRUE(query);
    SliceSink sink;
    ASSERT_TRUE(query->fetch(sink, 10, errors));
    db.reset();
    EXPECT_FALSE(query->fetch(sink, 10, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(sink.ended, 0);
    EXPECT_TRUE(query->done());
}

TEST_F(QueryTest, KeepsItsSnapshotWhileAnotherConnectionCommits) {
    open(100);
    auto other = scratch.open();
    ASSERT_TRUE(other);
    auto query = db->openQuery("SELECT ID FROM T ORDER BY ID", errors);
    ASSERT_TRUE(query);
    SliceSink sink;
    ASSERT_TRUE(query->fetch(sink, 10, errors));
    ASSERT_TRUE(other->execute("DELETE FROM T WHERE ID > 50", nullptr, errors)) << errors.front().description;
    while (!query->done())
        ASSERT_TRUE(query->fetch(sink, 25, errors));
    EXPECT_EQ(sink.results.front().rows.size(), 100u);
}

TEST_F(QueryTest, TheDataVersionMovesWithEveryChangeToTheTablesButNotWithOwnWorkTables) {
    open(10);
    auto other = scratch.open();
    ASSERT_TRUE(other);
    run(*db, "CREATE TABLE ##LAVORO (A int); CREATE TABLE ALTRA (A int)");
    const std::vector<std::string> tables{"t"};
    const auto unchangedAfter = [&](const std::string& sql, Connection& by) {
        const std::uint64_t before = db->dataVersion(tables);
        EXPECT_TRUE(by.execute(sql, nullptr, errors)) << sql;
        return db->dataVersion(tables) == before;
    };
    EXPECT_TRUE(unchangedAfter("SELECT * FROM T", *db));
    EXPECT_TRUE(unchangedAfter("INSERT INTO ##LAVORO VALUES (1)", *db));
    EXPECT_TRUE(unchangedAfter("INSERT INTO ALTRA VALUES (1)", *db));
    EXPECT_FALSE(unchangedAfter("UPDATE T SET QTA = 1 WHERE ID = 1", *db));
    EXPECT_FALSE(unchangedAfter("INSERT INTO ALTRA VALUES (2)", *other)); // any commit of another
    EXPECT_FALSE(unchangedAfter("DELETE FROM T", *db));                   // emptied at once
}

namespace {

// The first column of every row of `query`, read to its end; `limit` (when not negative) limits
// its outer rows after the first slice, and becomes the limit taken.
std::vector<std::int64_t> ids(Query& query, std::int64_t* limit = nullptr) {
    std::vector<Error> errors;
    SliceSink sink;
    bool limited = !limit;
    while (!query.done()) {
        EXPECT_TRUE(query.fetch(sink, 7, errors)) << (errors.empty() ? "" : errors.front().description);
        if (!limited) {
            *limit = query.limitOuterRows(*limit);
            limited = true;
        }
    }
    std::vector<std::int64_t> out;
    if (!sink.results.empty())
        for (const auto& row : sink.results.front().rows)
            out.push_back(std::stoll(row.front()));
    return out;
}

std::unique_ptr<Query> fromOuterRow(Connection& db, const std::string& select, std::int64_t first) {
    std::vector<Error> errors;
    auto query = db.openQuery(select, Connection::QueryForm::FromOuterRow, first, errors);
    EXPECT_TRUE(query) << (errors.empty() ? "" : errors.front().description);
    return query;
}

} // namespace

TEST_F(QueryTest, PartsCutAtAnyOuterRowJoinIntoTheWholeResult) {
    open(60);
    // Many rows share a key, and U matches some rows of T twice and V some once: the parts must
    // continue the very order of the whole, ties included, and keep an outer row's rows together.
    run(*db, "CREATE INDEX IX_T_DESCR ON T (DESCR);"
             "UPDATE T SET DESCR = CASE WHEN ID % 3 = 0 THEN 'b' ELSE 'a' END;"
             "CREATE TABLE U (ID int NOT NULL, N int NOT NULL, PRIMARY KEY (ID, N));"
             "INSERT INTO U SELECT ID, 1 FROM T WHERE ID <= 30;"
             "INSERT INTO U SELECT ID, 2 FROM T WHERE ID % 4 = 0;"
             "CREATE TABLE V (ID int NOT NULL PRIMARY KEY, X int);"
             "INSERT INTO V SELECT ID, ID FROM T WHERE ID % 5 = 0");
    const std::string select =
        "SELECT T.ID, U.N FROM T LEFT JOIN U ON U.ID = T.ID LEFT JOIN V ON V.ID = T.ID "
        "WHERE T.ID > 5 AND (V.X IS NULL OR V.X <> 20) ORDER BY T.DESCR";
    RecordingSink expected;
    ASSERT_TRUE(db->execute(select, &expected, errors));
    std::vector<std::int64_t> whole;
    for (const auto& row : expected.results.front().rows)
        whole.push_back(std::stoll(row.front()));
    ASSERT_EQ(whole.size(), 55u + 6u - 2u); // a row at least for each T, two for some

    // Every outer row left out: no row, and the number of outer rows walked.
    auto counting = fromOuterRow(*db, select, std::numeric_limits<std::int64_t>::max());
    ASSERT_TRUE(counting);
    EXPECT_TRUE(ids(*counting).empty());
    const std::int64_t outerRows = counting->outerRowsWalked();
    EXPECT_GE(outerRows, 25);
    EXPECT_LE(outerRows, 60);
    for (std::int64_t split : {std::int64_t{0}, std::int64_t{3}, std::int64_t{17}, outerRows / 2,
                               outerRows - 1, outerRows, outerRows + 9}) {
        auto head = fromOuterRow(*db, select, 0);
        auto tail = fromOuterRow(*db, select, split);
        ASSERT_TRUE(head && tail);
        // Limited after its first slice: a limit below the outer rows walked is raised to them.
        std::int64_t taken = split;
        std::vector<std::int64_t> rows = ids(*head, &taken);
        EXPECT_GE(taken, split);
        if (taken != split)
            tail = fromOuterRow(*db, select, taken);
        const std::vector<std::int64_t> rest = ids(*tail);
        rows.insert(rows.end(), rest.begin(), rest.end());
        EXPECT_EQ(rows, whole) << "split at outer row " << split;
    }

    auto indexed = fromOuterRow(*db, select, 0);
    ASSERT_TRUE(indexed);
    ASSERT_FALSE(indexed->sortsRows()); // else the parts above were read whole
    auto sorted = fromOuterRow(*db, "SELECT ID FROM T ORDER BY QTA", 0);
    ASSERT_TRUE(sorted);
    EXPECT_TRUE(sorted->sortsRows());
    // What cannot be cut by outer rows is read whole, without an error.
    for (const char* whole : {"SELECT TOP 5 ID FROM T ORDER BY ID", "SELECT DISTINCT DESCR FROM T",
                              "SELECT DESCR, COUNT(*) AS N FROM T GROUP BY DESCR ORDER BY N",
                              "SELECT MAX(ID) FROM T WHERE ID > 5",
                              "SELECT ID FROM T WHERE ID <= 3 UNION SELECT ID FROM T WHERE ID <= 5",
                              "SELECT T.ID FROM V RIGHT JOIN T ON T.ID = V.ID"})
        EXPECT_FALSE(db->openQuery(whole, Connection::QueryForm::FromOuterRow, 0, errors)) << whole;
    EXPECT_TRUE(errors.empty());
    // The numbering belongs to the parts: a statement of its own that calls it fails cleanly.
    EXPECT_FALSE(db->execute("SELECT tsqlite_outer_row(1, 12345)", nullptr, errors));
    ASSERT_FALSE(errors.empty());
}

TEST_F(QueryTest, ConnectionsTakingTheirSnapshotsUnderTheWriteHoldReadTheSameRows) {
    open(40);
    auto reader = scratch.open();
    auto writer = scratch.open();
    ASSERT_TRUE(reader && writer);
    auto query = fromOuterRow(*db, "SELECT ID FROM T ORDER BY ID", 0);
    ASSERT_TRUE(query);
    EXPECT_TRUE(db->isIdle());
    {
        auto hold = WriteHold::tryHold(db->path(), 50);
        ASSERT_TRUE(hold);
        // Nobody commits while the hold lasts.
        EXPECT_FALSE(WriteHold::tryHold(db->path(), 10));
        ASSERT_TRUE(query->start(errors));
        ASSERT_TRUE(reader->beginSnapshot(errors));
    }
    EXPECT_FALSE(db->isIdle()); // its statement is half read
    ASSERT_TRUE(writer->execute("DELETE FROM T WHERE ID > 10", nullptr, errors));

    std::vector<std::int64_t> all(40);
    std::iota(all.begin(), all.end(), 1);
    query->limitOuterRows(20);
    EXPECT_EQ(ids(*query), std::vector<std::int64_t>(all.begin(), all.begin() + 20));
    query.reset();
    auto tail = fromOuterRow(*reader, "SELECT ID FROM T ORDER BY ID", 20);
    ASSERT_TRUE(tail);
    EXPECT_EQ(ids(*tail), std::vector<std::int64_t>(all.begin() + 20, all.end()));
    reader->endSnapshot();
    auto after = fromOuterRow(*reader, "SELECT ID FROM T ORDER BY ID", 0);
    ASSERT_TRUE(after);
    EXPECT_EQ(ids(*after).size(), 10u);
}
