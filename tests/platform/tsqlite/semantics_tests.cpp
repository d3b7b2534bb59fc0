// SQL Server's meaning kept by the embedded database: text comparison, decimals, CHAR padding,
// string "+", REPLICATE and LEN, dates.
#include "TestSupport.h"
#include "tests/support/MachineLocale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::ScratchDatabase;

namespace {

class Semantics : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = m_scratch.open();
        ASSERT_TRUE(m_db);
        run("CREATE TABLE T (ID int NOT NULL PRIMARY KEY, CODICE varchar(10), SIGLA char(4), QTA "
            "decimal(14,3), "
            "DATA datetime, FLAG bit)");
    }

    void run(std::string_view sql) {
        std::vector<Error> errors;
        ASSERT_TRUE(m_db->execute(sql, nullptr, errors)) << sql << "\n" << errors.front().description;
    }

    // The rows of a query, each as its cells joined by "|".
    std::vector<std::string> rows(std::string_view sql) {
        RecordingSink sink;
        std::vector<Error> errors;
        EXPECT_TRUE(m_db->execute(sql, &sink, errors)) << sql << "\n"
                                                       << (errors.empty() ? "" : errors.front().description);
        std::vector<std::string> out;
        if (sink.results.empty())
            return out;
        for (const auto& row : sink.results.back().rows) {
            std::string line;
            for (std::size_t i = 0; i < row.size(); ++i)
                line += (i ? "|" : "") + row[i];
            out.push_back(line);
        }
        return out;
    }

    std::string one(std::string_view sql) {
        auto r = rows(sql);
        return r.empty() ? "<no row>" : r.front();
    }

    Error failure(std::string_view sql) {
        std::vector<Error> errors;
        EXPECT_FALSE(m_db->execute(sql, nullptr, errors)) << sql;
        return errors.empty() ? Error{} : errors.front();
    }

    ScratchDatabase m_scratch;
    std::unique_ptr<Connection> m_db;
};

} // namespace

TEST_F(Semantics, TextComparisonIgnoresCaseAccentCaseAndTrailingBlanks) {
    run("INSERT INTO T (ID, CODICE) VALUES (1, 'perché')");
    run("INSERT INTO T (ID, CODICE) VALUES (2, 'ABC  ')");
    EXPECT_EQ(one("SELECT ID FROM T WHERE CODICE = 'PERCHÉ'"), "1");
    EXPECT_EQ(one("SELECT ID FROM T WHERE 'abc' = CODICE"), "2");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE = 'perche'"), "0"); // accents still count
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE <> 'Abc'"), "1");
    // Sorting uses the same rules.
    EXPECT_EQ(rows("SELECT CODICE FROM T ORDER BY CODICE"), (std::vector<std::string>{"ABC  ", "perché"}));
}

TEST_F(Semantics, SortingFoldsCaseBeforeAndAfterAccentedLetters) {
    // Plain letters are compared byte by byte until the first accented one.
    run("INSERT INTO T (ID, CODICE) VALUES (1, 'marìa'), (2, 'MARIZ'), (3, 'mARIO b'), (4, 'Mario'), "
        "(5, 'mar'), (6, 'MARÌA')");
    EXPECT_EQ(rows("SELECT ID FROM T ORDER BY CODICE, ID"),
              (std::vector<std::string>{"5", "4", "3", "2", "1", "6"}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE = 'MARÌA '"), "2");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE > 'mario'"), "4");
}

TEST_F(Semantics, LikeFollowsTheErpCollationAndTsqlPatterns) {
    run("INSERT INTO T (ID, CODICE) VALUES (1, 'Àrticolo-7')");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE LIKE 'àrt%'"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE LIKE '_RTICOLO-[0-9]'"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE LIKE '%-[^7]'"), "0");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE CODICE NOT LIKE 'art%'"), "1"); // accents still count
}

TEST_F(Semantics, DecimalsAreRoundedToTheirScaleWhenWritten) {
    run("INSERT INTO T (ID, QTA) VALUES (1, 0.1 + 0.2)");
    run("INSERT INTO T (ID, QTA) VALUES (2, 2.0005)");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE QTA = 0.3"), "1");
    EXPECT_EQ(one("SELECT QTA FROM T WHERE ID = 2"), "2.001");
    run("UPDATE T SET QTA = QTA / 3 WHERE ID = 1");
    EXPECT_EQ(one("SELECT QTA FROM T WHERE ID = 1"), "0.1");
    // A whole decimal divides exactly, as SQL Server's decimal division does.
    run("UPDATE T SET QTA = 10 WHERE ID = 2");
    EXPECT_EQ(one("SELECT QTA / 4 FROM T WHERE ID = 2"), "2.5");
    EXPECT_EQ(one("SELECT ID / 2 FROM T WHERE ID = 1"), "0"); // integers stay integers
    const Error overflow = failure("UPDATE T SET QTA = 1e12 WHERE ID = 1");
    EXPECT_NE(overflow.description.find("overflow"), std::string::npos);
}

TEST_F(Semantics, CharPadsAndVarcharRefusesTruncation) {
    run("INSERT INTO T (ID, SIGLA, CODICE) VALUES (1, 'AB', 'X')");
    EXPECT_EQ(one("SELECT SIGLA + '|' FROM T"), "AB  |");
    EXPECT_EQ(one("SELECT LEN(SIGLA) FROM T"), "2");
    const Error e = failure("UPDATE T SET CODICE = 'much too long text' WHERE ID = 1");
    EXPECT_NE(e.description.find("truncated"), std::string::npos);
    run("UPDATE T SET CODICE = 'ten chars!    ' WHERE ID = 1"); // trailing blanks are dropped silently
    EXPECT_EQ(one("SELECT CODICE FROM T"), "ten chars!");
}

TEST_F(Semantics, StringPlusConcatenatesAndNullPropagates) {
    run("INSERT INTO T (ID, CODICE, QTA) VALUES (1, 'A', 2.5)");
    EXPECT_EQ(one("SELECT 'x' + CODICE + 'y' FROM T"), "xAy");
    EXPECT_EQ(one("SELECT 'x' + NULL FROM T"), "NULL");
    EXPECT_EQ(one("SELECT ID + 1 FROM T"), "2");
    EXPECT_EQ(one("SELECT QTA + ID FROM T"), "3.5");
    EXPECT_EQ(one("SELECT CODICE + CAST(ID AS VARCHAR(3)) FROM T"), "A1");
    // Unknown operand types are decided on the values.
    EXPECT_EQ(one("SELECT X + Y FROM (SELECT 'a' AS X, 'b' AS Y) AS S"), "ab");
    // A number and a text add, the text read as a number; from left to right.
    EXPECT_EQ(one("SELECT ID + '41' FROM T"), "42");
    EXPECT_EQ(one("SELECT '1' + '2' + ID FROM T"), "13");
    EXPECT_EQ(one("SELECT CODICE + '-' + CAST(ID + 1 AS VARCHAR(3)) FROM T"), "A-2");
    const Error notANumber = failure("SELECT ID + CODICE FROM T");
    EXPECT_EQ(notANumber.nativeError, 245) << notANumber.description;
}

TEST_F(Semantics, ReplicateAndLenFollowSqlServer) {
    EXPECT_EQ(one("SELECT REPLICATE('0', 3)"), "000");
    EXPECT_EQ(one("SELECT REPLICATE('0', -1)"), "NULL");
    EXPECT_EQ(one("SELECT LEN('ab  ')"), "2");
    EXPECT_EQ(one("SELECT LEN(12345)"), "5");
    EXPECT_EQ(one("SELECT 'K' + REPLICATE('0', 6 - LEN(12)) + CAST(12 AS VARCHAR(6))"), "K000012");
    EXPECT_EQ(one("SELECT 'K' + REPLICATE('0', 2 - LEN(1234)) + CAST(1234 AS VARCHAR(6))"), "NULL");
}

TEST_F(Semantics, DatesAreStoredCanonicallyAndComparedFromAnyAcceptedForm) {
    run("INSERT INTO T (ID, DATA) VALUES (1, '20240305 10:30:00')");
    run("INSERT INTO T (ID, DATA) VALUES (2, '2024-03-06')");
    EXPECT_EQ(one("SELECT DATA FROM T WHERE ID = 1"), "2024-03-05 10:30:00.000");
    EXPECT_EQ(one("SELECT DATA FROM T WHERE ID = 2"), "2024-03-06 00:00:00.000");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE DATA >= '20240306'"), "1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE DATA BETWEEN '2024-03-05 00:00:00' AND '20240305 23:59:59'"),
              "1");
    EXPECT_EQ(one("SELECT CONVERT(nvarchar(8), DATA, 3) FROM T WHERE ID = 1"), "05/03/24");
    EXPECT_EQ(one("SELECT CONVERT(varchar(10), DATA, 103) FROM T WHERE ID = 2"), "06/03/2024");
    const Error bad = failure("INSERT INTO T (ID, DATA) VALUES (3, '2024-02-30')");
    EXPECT_NE(bad.description.find("Conversion failed"), std::string::npos);
    // A datetime column keeps 1/300 s, and so does the server's clock.
    run("INSERT INTO T (ID, DATA) VALUES (3, '2024-03-05 07:08:09.045')");
    EXPECT_EQ(one("SELECT DATA FROM T WHERE ID = 3"), "2024-03-05 07:08:09.047");
    for (int i = 0; i < 30; ++i) {
        const std::string now = one("SELECT GETDATE()");
        ASSERT_EQ(now.size(), 23u) << now;
        EXPECT_NE(std::string("037").find(now.back()), std::string::npos) << now;
        std::this_thread::sleep_for(std::chrono::microseconds(1100));
    }
}

// A statement that writes many rows converts every row to each column's own type, and a
// statement may name more distinct types than the database keeps parsed.
TEST_F(Semantics, EveryRowOfAWriteTakesItsColumnsTypes) {
    run("CREATE TABLE S (ID int, Q float, D varchar(30), C varchar(30))");
    run("INSERT INTO S VALUES (1, 1.23456, '20240305', 'a'), (2, 2.0005, '2024-03-06 10:00', 'b'), "
        "(3, 7.77777, '06/03/2024', 'c')");
    run("INSERT INTO T (ID, QTA, DATA, CODICE) SELECT ID, Q, D, C FROM S");
    EXPECT_EQ(
        rows("SELECT ID, QTA, DATA, CODICE FROM T ORDER BY ID"),
        (std::vector<std::string>{"1|1.235|2024-03-05 00:00:00.000|a", "2|2.001|2024-03-06 10:00:00.000|b",
                                  "3|7.778|2024-03-06 00:00:00.000|c"}));
    run("INSERT INTO S VALUES (4, 1, '20240101', 'x'), (5, 1, '20240101', 'much too long text')");
    const Error e = failure("INSERT INTO T (ID, QTA, DATA, CODICE) SELECT ID, Q, D, C FROM S WHERE ID >= 4");
    EXPECT_NE(e.description.find("truncated"), std::string::npos);
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "3");

    for (int n = 1; n <= 4200; ++n) {
        const std::string sql = "SELECT LEN(CAST('abcdefghij' AS varchar(" + std::to_string(n) + ")))";
        ASSERT_EQ(one(sql), std::to_string(std::min(n, 10))) << sql;
    }
}

TEST_F(Semantics, FunctionsOfTheStatements) {
    run("INSERT INTO T (ID, CODICE, QTA) VALUES (1, '  ab  ', -2.5)");
    // ISNULL has the type of SIGLA, char(4): the replacement is padded.
    EXPECT_EQ(one("SELECT LTRIM(RTRIM(CODICE)) + '|', ABS(QTA), ISNULL(SIGLA, 'n') FROM T"), "ab||2.5|n   ");
    EXPECT_EQ(one("SELECT 'it' + CHAR(39) + 's'"), "it's");
    EXPECT_EQ(one("SELECT N'caffè', CASE WHEN QTA < 0 THEN 'neg' ELSE 'pos' END FROM T"), "caffè|neg");
    EXPECT_EQ(one("SELECT TOP 1 ID FROM T ORDER BY ID DESC"), "1");
    EXPECT_EQ(one("SELECT CAST(2.7 AS int), CAST('12' AS int) + 1, CAST(1.23456 AS decimal(10,2))"),
              "2|13|1.23");
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
        EXPECT_EQ(rows("select qta, cast('3.25' as float) + 1, convert(varchar(30), 1.5e0 * 2), "
                       "cast(cast(2.25 as float) as decimal(6,3)) from t where codice like 'r%'"),
                  std::vector<std::string>{"2.75|4.25|3|2.25"});
        std::vector<Error> errors;
        EXPECT_FALSE(m_db->execute("select power(2, 31)", nullptr, errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().description,
                  "Arithmetic overflow error for type int, value = 2147483648.000000.");
    }
}
