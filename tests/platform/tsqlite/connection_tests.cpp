#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::run;
using tsqlite::testing::scalar;
using tsqlite::testing::ScratchDatabase;

namespace {

// A scratch database and two connections on it: `db`, and `other` to look from outside.
class Connections : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db && other); }
    ScratchDatabase scratch;
    std::unique_ptr<Connection> db = scratch.open();
    std::unique_ptr<Connection> other = scratch.open();
    std::vector<Error> errors;
};

} // namespace

TEST_F(Connections, RunBatchesDescribeColumnsAndDiscardRowsOnRequest) {
    std::int64_t affected = -1;
    ASSERT_TRUE(
        db->execute("CREATE TABLE T (ID int NOT NULL PRIMARY KEY, QTA decimal(14,3), DESCR nvarchar(20));"
                    "INSERT INTO T VALUES (1, 2.5, 'a'); INSERT INTO T VALUES (2, NULL, 'b')",
                    nullptr, errors, {}, &affected))
        << errors.front().description;
    EXPECT_EQ(affected, 1);
    RecordingSink sink;
    ASSERT_TRUE(db->execute("SELECT ID, QTA, DESCR, ID * 2 AS DOPPIO FROM T ORDER BY ID", &sink, errors));
    ASSERT_EQ(sink.results.size(), 1u);
    const auto& result = sink.results.front();
    ASSERT_EQ(result.columns.size(), 4u);
    EXPECT_EQ(result.columns[0].declType, "int");
    EXPECT_TRUE(result.columns[0].inPrimaryKey);
    EXPECT_EQ(result.columns[1].declType, "decimal(14,3)");
    EXPECT_EQ(result.columns[1].baseTable, "T");
    EXPECT_EQ(result.columns[1].baseColumn, "QTA");
    EXPECT_FALSE(result.columns[1].inPrimaryKey);
    EXPECT_EQ(result.columns[3].declType, "");
    EXPECT_EQ(result.columns[3].baseTable, "");
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[1], (std::vector<std::string>{"2", "NULL", "b", "4"}));

    RecordingSink discarded;
    ExecOptions options;
    options.noRecords = true;
    ASSERT_TRUE(db->execute("SELECT 1", &discarded, errors, options));
    EXPECT_TRUE(discarded.results.empty());
}

TEST_F(Connections, CallRegisteredProceduresByNameWithoutOwnerOrCase) {
    registerProcedure("dbo.SP_TEST_ECHO", [](Connection&, const std::vector<Parameter>& parameters,
                                             ResultSink*, std::vector<Error>& errors) {
        if (parameters.size() != 1 || parameters[0].value.i != 7) {
            errors.push_back({kErrSyntax, "bad parameters", "42000", 0, {}});
            return false;
        }
        return true;
    });
    const Parameter ditta{"@Ditta", {Cell::Kind::Integer, 7, 0, {}}, {}};
    EXPECT_TRUE(db->callProcedure("sp_test_echo", {ditta}, nullptr, errors));
    EXPECT_FALSE(db->callProcedure("SP_MISSING", {}, nullptr, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, kErrNoSuchObject);
}

TEST(Connection, OpenFailuresAreReported) {
    ScratchDatabase scratch;
    std::vector<Error> errors;
    EXPECT_FALSE(Connection::open(scratch.path() + ".missing", errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, kErrCannotOpen);
    EXPECT_NE(errors[0].description.find("does not exist"), std::string::npos);

    const std::string garbage = scratch.path() + ".txt";
    FILE* f = std::fopen(garbage.c_str(), "w");
    std::fputs("this is not a database file, just some text long enough to fill a header...........", f);
    std::fclose(f);
    errors.clear();
    EXPECT_FALSE(Connection::open(garbage, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].number, kErrCannotOpen);
    EXPECT_NE(errors[0].description.find("not a database"), std::string::npos);
}

// A statement nested far beyond any real query is refused with SQL Server's error 191, by every
// entry that parses: the recursive passes over the tree would otherwise run out of stack.
TEST_F(Connections, RefuseDeepNestingWithSqlServersError) {
    const auto deep = [](std::string_view part) {
        std::string out;
        for (int i = 0; i < 15000; ++i)
            out += part;
        return out;
    };
    for (const std::string& sql :
         {"SELECT " + deep("(") + "1" + deep(")"),
          "SELECT 1 WHERE EXISTS " + deep("(SELECT 1 WHERE EXISTS ") + "(SELECT 1)" + deep(")"),
          "SELECT " + deep("CASE WHEN 1 = 1 THEN ") + "1" + deep(" END"),
          // a run of "+" the rewriter turns into nested concatenations or additions
          "SELECT 'a'" + deep(" + 'a'"), "SELECT 1" + deep(" + 1")}) {
        errors.clear();
        EXPECT_FALSE(db->execute(sql, nullptr, errors));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].nativeError, 191);
        EXPECT_EQ(errors[0].number, kErrSyntax);
        EXPECT_EQ(errors[0].description,
                  "Some part of your SQL statement is nested too deeply. Rewrite the query "
                  "or break it up into smaller queries.");
        std::vector<std::string> translated;
        errors.clear();
        EXPECT_FALSE(db->translate(sql, translated, errors));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].nativeError, 191);
    }
    EXPECT_EQ(scalar(*db, "SELECT ((((((((((1))))))))))"), "1") << "nesting SQLite follows still runs";
}

// The description is the short text; the statement SQLite ran is kept apart for the error log.
TEST_F(Connections, ErrorDescriptionLeavesTheStatementApart) {
    run(*db, "CREATE TABLE T (ID int NOT NULL PRIMARY KEY, D datetime)");
    EXPECT_FALSE(db->execute("UPDATE T SET D = DATEADD(year, 100000, '20260101') WHERE ID = 1 OR 1 = 1; "
                             "INSERT INTO T (ID, D) VALUES (1, DATEADD(year, 100000, '20260101'))",
                             nullptr, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].description, "Adding a value to a 'datetime' column caused an overflow.");
    EXPECT_EQ(errors[0].nativeError, 517);
    EXPECT_EQ(errors[0].sqlState, "22008");
    EXPECT_NE(errors[0].statement.find("tsql_dateadd"), std::string::npos) << errors[0].statement;
}

// An update setting flags to constants runs as a count and an update of the rows that change.
// Inside a transaction it must stay part of it; when it fails, nothing of it may stay, and the
// connection must not be left holding a transaction (or the write lock) of its own.
TEST_F(Connections, AConstantUpdateIsOneStatementInsideAndOutsideTransactions) {
    run(*db, "CREATE TABLE T (ID int NOT NULL PRIMARY KEY, SEL smallint); INSERT INTO T VALUES (1, 0), (2, "
             "1), (3, 1)");
    const auto marks = [&] { return scalar(*other, "SELECT SUM(SEL) FROM T"); };

    // Rolled back with the transaction it ran in.
    ASSERT_EQ(sqlite3_exec(db->handle(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    std::int64_t affected = -1;
    ASSERT_TRUE(db->execute("UPDATE T SET SEL = 0", nullptr, errors, {}, &affected))
        << errors.front().description;
    EXPECT_EQ(affected, 3);
    ASSERT_EQ(sqlite3_exec(db->handle(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(marks(), "2");

    // A key violation halfway: no row changed, no transaction left open.
    EXPECT_FALSE(db->execute("UPDATE T SET ID = 1", nullptr, errors));
    EXPECT_NE(sqlite3_get_autocommit(db->handle()), 0);
    run(*other, "UPDATE T SET SEL = 1 WHERE ID = 1");
    EXPECT_EQ(marks(), "3");

    // Outside a transaction it commits at once.
    ASSERT_TRUE(db->execute("UPDATE T SET SEL = 0 WHERE ID > 1", nullptr, errors, {}, &affected));
    EXPECT_EQ(affected, 2);
    EXPECT_EQ(marks(), "1");
}

// An INSERT ... SELECT into an empty table builds the non-unique indexes after the rows: the
// schema's version moves (the indexes were dropped and made again) and nothing else may show.
TEST_F(Connections, AnInsertSelectIntoAnEmptyTableBuildsItsIndexesAfterTheRows) {
    run(*db, "CREATE TABLE S (K int, V varchar(10)); CREATE TABLE T (K int, V varchar(4));"
             "CREATE INDEX IX_T_V ON T (V DESC, K); CREATE UNIQUE INDEX UX_T_K ON T (K)");
    for (int i = 0; i < 500; ++i)
        run(*db, "INSERT INTO S VALUES (" + std::to_string(i) + ", 'v" + std::to_string(i % 7) + "')");
    const auto single = [&](const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(other->handle(), sql, -1, &stmt, nullptr), SQLITE_OK) << sql;
        std::string out = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0)
                              ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                              : "";
        sqlite3_finalize(stmt);
        return out;
    };
    const std::string indexes = "SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master WHERE "
                                "tbl_name = 'T' ORDER BY name)";
    const std::string definitions = single(indexes.c_str());
    const std::string before = single("PRAGMA schema_version");

    // A failure in the middle (a duplicate key, a value too long) leaves the table empty and its
    // indexes as they were, with the error the statement gives without the rebuilt indexes.
    ASSERT_TRUE(db->execute("INSERT INTO S VALUES (3, 'x')", nullptr, errors));
    errors.clear();
    EXPECT_FALSE(db->execute("INSERT INTO T SELECT K, V FROM S", nullptr, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().number, kErrIntegrityViolation) << errors.front().description;
    errors.clear();
    EXPECT_FALSE(db->execute("INSERT INTO T SELECT K, V + 'long' FROM S WHERE K < 10", nullptr, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("truncated"), std::string::npos) << errors.front().description;
    EXPECT_NE(sqlite3_get_autocommit(db->handle()), 0);
    EXPECT_EQ(single("SELECT COUNT(*) FROM T"), "0");
    EXPECT_EQ(single(indexes.c_str()), definitions);
    EXPECT_EQ(single("PRAGMA schema_version"), before);

    // The rows, counted as written, and indexes that hold every one of them.
    std::int64_t affected = -1;
    ASSERT_TRUE(
        db->execute("INSERT INTO T (K, V) SELECT K, V FROM S WHERE V <> 'x'", nullptr, errors, {}, &affected))
        << errors.front().description;
    EXPECT_EQ(affected, 500);
    EXPECT_EQ(single(indexes.c_str()), definitions);
    EXPECT_EQ(single("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(single("SELECT COUNT(*) FROM T INDEXED BY IX_T_V WHERE V = 'v3'"), "71");
    const std::string after = single("PRAGMA schema_version");
    EXPECT_NE(after, before);

    // A statement of this connection still reading (here the source, half read): the indexes
    // cannot be dropped, and the insert runs as written.
    ASSERT_TRUE(db->execute("DELETE FROM T", nullptr, errors));
    {
        auto reading = db->openQuery("SELECT K FROM S", errors);
        ASSERT_TRUE(reading);
        RecordingSink some;
        ASSERT_TRUE(reading->fetch(some, 10, errors));
        ASSERT_TRUE(db->execute("INSERT INTO T SELECT K, V FROM S WHERE V <> 'x'", nullptr, errors))
            << errors.front().description;
        EXPECT_EQ(single("PRAGMA schema_version"), after);
        EXPECT_EQ(single("SELECT COUNT(*) FROM T"), "500");
    }

    // Into a table that holds rows, or inside a transaction, the indexes are kept up row by row.
    ASSERT_TRUE(db->execute("INSERT INTO T SELECT K + 1000, V FROM S WHERE K < 3", nullptr, errors));
    EXPECT_EQ(single("PRAGMA schema_version"), after);
    ASSERT_TRUE(db->execute("DELETE FROM T", nullptr, errors));
    ASSERT_EQ(sqlite3_exec(db->handle(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_TRUE(db->execute("INSERT INTO T SELECT K, V FROM S WHERE V <> 'x'", nullptr, errors));
    ASSERT_EQ(sqlite3_exec(db->handle(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(single("PRAGMA schema_version"), after);
    EXPECT_EQ(single("SELECT COUNT(*) FROM T"), "500");
}
