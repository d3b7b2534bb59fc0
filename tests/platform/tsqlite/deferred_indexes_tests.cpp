// INSERT ... SELECT into an empty table builds its non-unique indexes after the rows are in:
// the result must be the table and indexes a row-by-row insert leaves, the unique keys must
// still be checked by the insert, and a failure or a rollback must leave every index in place.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::ScratchDatabase;

namespace {

void run(Connection& db, const std::string& sql) {
    std::vector<Error> errors;
    ASSERT_TRUE(db.execute(sql, nullptr, errors)) << sql << "\n" << errors.front().description;
}

std::string scalar(Connection& db, const std::string& sql) {
    RecordingSink sink;
    std::vector<Error> errors;
    EXPECT_TRUE(db.execute(sql, &sink, errors)) << sql;
    if (sink.results.empty() || sink.results[0].rows.empty())
        return {};
    return sink.results[0].rows[0][0];
}

// The definitions of the table's indexes, as SQLite keeps them.
std::string indexDefinitions(Connection& db, const std::string& table) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        db.handle(),
        "SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master WHERE type = 'index' "
        "AND tbl_name = ?1 ORDER BY name)",
        -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::string out;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return out;
}

std::string integrity(Connection& db) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(), "PRAGMA integrity_check", -1, &stmt, nullptr);
    std::string out;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return out;
}

int schemaVersion(Connection& db) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(), "PRAGMA schema_version", -1, &stmt, nullptr);
    const int version = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return version;
}

// A source of 2 000 rows and a target with a unique, a partial and three plain indexes, one on
// a text column with the database's collation.
class DeferredIndexes : public ::testing::Test {
protected:
    void SetUp() override {
        db = scratch.open();
        run(*db,
            "CREATE TABLE SRC (K int NOT NULL, ART nvarchar(20) NULL, GRP smallint NULL, QTA decimal(14,3))");
        std::string values;
        for (int i = 0; i < 2000; ++i)
            values += std::string(values.empty() ? "" : ",") + "(" + std::to_string(i) + ", 'Art" +
                      std::to_string((i * 7919) % 313) + "', " + std::to_string(i % 5) + ", " +
                      std::to_string(i) + ".5)";
        run(*db, "INSERT INTO SRC VALUES " + values);
        run(*db, "CREATE TABLE DEST (KEYGRID nvarchar(12) NULL, ART nvarchar(20) NULL, GRP smallint NULL, "
                 "QTA decimal(14,3) NULL)");
        run(*db, "CREATE UNIQUE INDEX UX_DEST_KEY ON DEST (KEYGRID)");
        run(*db, "CREATE INDEX IX_DEST_ART ON DEST (ART, GRP)");
        run(*db, "CREATE INDEX IX_DEST_GRP ON DEST (GRP, QTA)");
        run(*db, "CREATE INDEX IX_DEST_QTA ON DEST (QTA) WHERE QTA > 100");
        definitions = indexDefinitions(*db, "DEST");
    }

    ScratchDatabase scratch;
    std::unique_ptr<Connection> db;
    std::string definitions;
    const std::string fill = "INSERT INTO DEST (KEYGRID, ART, GRP, QTA) SELECT 'K' + CAST(K AS varchar(8)), "
                             "ART, GRP, QTA FROM SRC";
};

TEST_F(DeferredIndexes, FillingAnEmptyTableLeavesEveryIndexAsDefinedAndComplete) {
    // A statement this connection and another one cached before the indexes were rebuilt.
    auto other = scratch.open();
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM DEST WHERE ART = 'art5'"), "0");
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE ART = 'art5'"), "0");

    std::vector<Error> errors;
    std::int64_t affected = 0;
    const int before = schemaVersion(*db);
    ASSERT_TRUE(db->execute(fill, nullptr, errors, {}, &affected)) << errors.front().description;
    EXPECT_EQ(affected, 2000);
    EXPECT_GT(schemaVersion(*db), before) << "the indexes were not built after the rows";
    EXPECT_EQ(indexDefinitions(*db, "DEST"), definitions);
    EXPECT_EQ(integrity(*db), "ok");

    // Lookups through each index, from both connections, compared with a scan of the source.
    const std::string expected = scalar(*db, "SELECT COUNT(*) FROM SRC WHERE ART = 'Art5'");
    EXPECT_NE(expected, "0");
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE ART = 'art5'"), expected);
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM DEST WHERE ART = 'art5'"), expected);
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM DEST WHERE GRP = 3 AND QTA >= 1000"), "200");
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE QTA > 100"), "1900");

    // Once the table has rows, another fill appends to the live indexes: no schema change.
    const int version = schemaVersion(*db);
    run(*db, "INSERT INTO DEST (KEYGRID, ART, GRP, QTA) SELECT 'X' + CAST(K AS varchar(8)), ART, GRP, QTA "
             "FROM SRC WHERE K < 10");
    EXPECT_EQ(schemaVersion(*db), version);
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST"), "2010");
}

TEST_F(DeferredIndexes, ADuplicateKeyFailsTheInsertAndLeavesTheTableAndItsIndexesAsTheyWere) {
    run(*db, "INSERT INTO SRC VALUES (1999, 'Again', 1, 1.0)");
    std::vector<Error> errors;
    EXPECT_FALSE(db->execute(fill, nullptr, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().nativeError, 2601) << errors.front().description;
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST"), "0");
    EXPECT_EQ(indexDefinitions(*db, "DEST"), definitions);
    EXPECT_EQ(integrity(*db), "ok");

    // Without the duplicate the same statement goes through on the same connection.
    run(*db, "DELETE FROM SRC WHERE ART = 'Again'");
    run(*db, fill);
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE GRP = 4"), "400");
}

TEST_F(DeferredIndexes, InsideTheCallersTransactionARollbackUndoesRowsAndKeepsTheIndexes) {
    run(*db, "BEGIN TRAN");
    run(*db, fill);
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE ART = 'art5'"),
              scalar(*db, "SELECT COUNT(*) FROM SRC WHERE ART = 'Art5'"));
    run(*db, "ROLLBACK");
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST"), "0");
    EXPECT_EQ(indexDefinitions(*db, "DEST"), definitions);

    run(*db, "BEGIN TRAN");
    run(*db, fill);
    run(*db, "UPDATE DEST SET GRP = 9 WHERE KEYGRID = 'K7'");
    run(*db, "COMMIT");
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM DEST WHERE GRP = 9"), "1");
    EXPECT_EQ(indexDefinitions(*db, "DEST"), definitions);
    EXPECT_EQ(integrity(*db), "ok");
}

} // namespace
