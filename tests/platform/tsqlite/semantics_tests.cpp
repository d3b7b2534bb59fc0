// SQL Server's meaning kept by the embedded database where a statement alone cannot show it:
// the server's clock, many column types in one session, any machine locale. The values
// themselves (text, decimals, char padding, "+", dates) are cases of corpus/values.test.
#include "TestSupport.h"
#include "tests/support/MachineLocale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tsqlite;
using namespace tsqlite::testing;

namespace {

class Semantics : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = m_scratch.open();
        ASSERT_TRUE(m_db);
        run("CREATE TABLE T (ID int NOT NULL PRIMARY KEY, CODICE varchar(10), QTA decimal(14,3))");
    }
    void run(std::string_view sql) { tsqlite::testing::run(*m_db, sql); }
    std::string one(std::string_view sql) { return scalar(*m_db, sql); }

    ScratchDatabase m_scratch;
    std::unique_ptr<Connection> m_db;
};

} // namespace

TEST_F(Semantics, TheServerClockKeepsOneThreeHundredthOfASecond) {
    for (int i = 0; i < 30; ++i) {
        const std::string now = one("SELECT GETDATE()");
        ASSERT_EQ(now.size(), 23u) << now;
        EXPECT_NE(std::string("037").find(now.back()), std::string::npos) << now;
        std::this_thread::sleep_for(std::chrono::microseconds(1100));
    }
}

// The parsed column types are kept per statement up to a limit; past it each still converts.
TEST_F(Semantics, AStatementMayNameMoreDistinctTypesThanTheDatabaseKeepsParsed) {
    for (int n = 1; n <= 4200; ++n) {
        const std::string sql = "SELECT LEN(CAST('abcdefghij' AS varchar(" + std::to_string(n) + ")))";
        ASSERT_EQ(one(sql), std::to_string(std::min(n, 10))) << sql;
    }
}

// The desktop takes the C library's locale from the environment. The statements mean the same
// under any: an Italian locale reads and writes numbers with a comma, and a Turkish one does
// not take 'I' for the upper case of 'i' (so "insert" would not be INSERT).
TEST_F(Semantics, StatementsMeanTheSameUnderAnyMachineLocale) {
    for (const char* name : {"it_IT.UTF-8", "tr_TR.UTF-8"}) {
        SCOPED_TRACE(name);
        const scadlav::testing::MachineLocale locale(name);
        if (!locale.active())
            GTEST_SKIP() << "the locale " << name << " cannot be made on this machine (package locales)";
        run("delete from t");
        run("insert into t (id, codice, qta) values (1, 'riga', 2.5)");
        run("if exists (select * from t where id in (1)) update t set qta = qta + cast('0.25' as "
            "decimal(5,2)) "
            "where id = 1");
        EXPECT_EQ(rows(*m_db, "select qta, cast('3.25' as float) + 1, convert(varchar(30), 1.5e0 * 2), "
                              "cast(cast(2.25 as float) as decimal(6,3)) from t where codice like 'r%'"),
                  std::vector<std::string>{"2.75|4.25|3|2.25"});
        std::vector<Error> errors;
        EXPECT_FALSE(m_db->execute("select power(2, 31)", nullptr, errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().description,
                  "Arithmetic overflow error for type int, value = 2147483648.000000.");
    }
}
