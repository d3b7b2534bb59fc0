// Global temporary tables: shared by every connection, dropped with the connection that made
// them, and cleaned up after a crash when the database is next opened.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <sqlite3.h>
#include <unistd.h>

using namespace tsqlite;
using tsqlite::testing::rows;
using tsqlite::testing::run;
using tsqlite::testing::scalar;
using tsqlite::testing::ScratchDatabase;

namespace {

bool exists(Connection& db, const std::string& name) {
    const auto found = rows(db, "SELECT OBJECT_ID('tempdb.." + name + "')");
    return found.size() == 1 && found[0] != "NULL";
}

// Writes a catalog row as another (dead or restarted) process would have left it.
void plantLeftover(const std::string& path, const std::string& name, std::int64_t pid, std::int64_t start) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    const std::string sql = "CREATE TABLE \"" + name +
                            "\" (A int); INSERT INTO tsqlite_global_temps VALUES ('" + name + "', " +
                            std::to_string(pid) + ", " + std::to_string(start) + ", 'gone')";
    // The catalog compares names with the ERP collation: define a stand-in for this raw handle.
    sqlite3_create_collation(raw, "ERPCI", SQLITE_UTF8, nullptr,
                             [](void*, int la, const void* a, int lb, const void* b) {
                                 const int n = std::min(la, lb);
                                 const int c = std::memcmp(a, b, static_cast<std::size_t>(n));
                                 return c != 0 ? c : la - lb;
                             });
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(raw);
}

} // namespace

TEST(GlobalTemps, VisibleToOtherConnectionsAndDroppedWhenTheCreatorCloses) {
    ScratchDatabase scratch;
    auto creator = scratch.open();
    auto other = scratch.open();
    run(*creator, "CREATE TABLE ##TempTableDett_U7 (KEY_GRID varchar(10) COLLATE DATABASE_DEFAULT not null)");
    run(*creator, "INSERT INTO ##TempTableDett_U7 VALUES ('A100')");
    EXPECT_EQ(rows(*other, "SELECT KEY_GRID FROM ##TempTableDett_U7 WHERE KEY_GRID = 'a100'"),
              std::vector<std::string>{"A100"});
    EXPECT_TRUE(exists(*other, "##TempTableDett_U7"));

    // Closing another connection leaves the table alone.
    auto third = scratch.open();
    third.reset();
    EXPECT_TRUE(exists(*other, "##TempTableDett_U7"));

    creator.reset();
    EXPECT_FALSE(exists(*other, "##TempTableDett_U7"));
}

TEST(GlobalTemps, TableDroppedAndCreatedByAnotherConnectionBelongsToTheNewCreator) {
    ScratchDatabase scratch;
    auto first = scratch.open();
    auto second = scratch.open();
    run(*first, "SELECT 1 AS A INTO ##Condivisa");
    run(*second, "IF OBJECT_ID('tempdb..##Condivisa') IS NOT NULL DROP TABLE ##Condivisa\r\n"
                 "CREATE TABLE ##Condivisa (A int)");
    first.reset();
    EXPECT_TRUE(exists(*second, "##Condivisa"));
    second.reset();
    auto check = scratch.open();
    EXPECT_FALSE(exists(*check, "##Condivisa"));
}

TEST(GlobalTemps, LeftoversOfDeadProcessesAreDroppedAtOpen) {
    ScratchDatabase scratch;
    auto live = scratch.open();
    run(*live, "CREATE TABLE ##Mia (A int)");
    const std::int64_t start =
        std::stoll(scalar(*live, "SELECT start_time FROM tsqlite_global_temps WHERE name = '##Mia'"));

    // A pid that does not run, and our own pid with another start time (a recycled pid).
    plantLeftover(scratch.path(), "##Morta", 0x3FFFFFF0, 1);
    plantLeftover(scratch.path(), "##Riciclata", static_cast<std::int64_t>(::getpid()), start + 1);
    // A process killed while its parent has not collected it yet: a zombie holds nothing.
    const tsqlite::testing::Zombie zombie;
    ASSERT_GE(zombie.startTicks(), 0) << "the child never showed as a zombie";
    plantLeftover(scratch.path(), "##Zombie", static_cast<std::int64_t>(zombie.pid()), zombie.startTicks());

    auto next = scratch.open();
    EXPECT_FALSE(exists(*next, "##Morta"));
    EXPECT_FALSE(exists(*next, "##Riciclata"));
    EXPECT_FALSE(exists(*next, "##Zombie"));
    EXPECT_TRUE(exists(*next, "##Mia")); // its creator still runs
}

TEST(GlobalTemps, LockedBeyondTheTimeoutIsReported) {
    ScratchDatabase scratch;
    auto holder = scratch.open();
    auto waiter = scratch.open();
    run(*holder, "CREATE TABLE T (A int)");
    run(*holder, "BEGIN TRAN\r\nINSERT INTO T VALUES (1)");
    std::vector<Error> errors;
    ExecOptions options;
    options.timeoutSeconds = 1;
    EXPECT_FALSE(waiter->execute("INSERT INTO T VALUES (2)", nullptr, errors, options));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].number, kErrCannotOpen);
    EXPECT_EQ(errors[0].sqlState, "HYT00");
    run(*holder, "COMMIT");
    errors.clear();
    EXPECT_TRUE(waiter->execute("INSERT INTO T VALUES (2)", nullptr, errors, options));
}
