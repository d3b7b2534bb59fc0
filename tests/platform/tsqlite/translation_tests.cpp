// The rewriting of statements as SQLite sees them, and the cache of translations by shape.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::scalar;
using tsqlite::testing::ScratchDatabase;

namespace {

class Translation : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = m_scratch.open();
        ASSERT_TRUE(m_db);
        run("CREATE TABLE A (K varchar(12) NOT NULL PRIMARY KEY, Q decimal(14,3), D datetime)\r\n"
            "CREATE TABLE B (K varchar(12) NOT NULL, V int)");
    }
    void run(std::string_view sql) { tsqlite::testing::run(*m_db, sql); }
    std::string one(std::string_view sql) { return scalar(*m_db, sql); }
    std::vector<std::string> translate(std::string_view sql) {
        std::vector<std::string> out;
        std::vector<Error> errors;
        EXPECT_TRUE(m_db->translate(sql, out, errors)) << (errors.empty() ? "" : errors.front().description);
        return out;
    }
    ScratchDatabase m_scratch;
    std::unique_ptr<Connection> m_db;
};

} // namespace

// T-SQL forms SQLite does not read, as SQLite gets them.
TEST_F(Translation, TSqlFormsBecomeTheirSqliteEquivalents) {
    const struct {
        const char* tsql;
        std::vector<std::string> sqlite;
    } cases[] = {
        // UPDATE ... FROM drops the target from the join, on either side of it
        {"UPDATE A SET Q = B.V FROM A INNER JOIN B ON A.K = B.K WHERE B.V > 0",
         {"UPDATE \"A\" SET Q = tsql_write(B.V, 'decimal(14,3)') FROM B WHERE (A.K = B.K) AND (B.V > 0)"}},
        {"UPDATE A SET Q = 1 FROM B INNER JOIN A ON A.K = B.K",
         {"UPDATE \"A\" SET Q = tsql_write(1, 'decimal(14,3)') FROM B WHERE A.K = B.K"}},
        {"SELECT TOP 1 [K] FROM A WITH (NOLOCK) WHERE D >= '20240301' ORDER BY K DESC",
         {"SELECT \"K\" FROM A WHERE D >= '2024-03-01 00:00:00.000' ORDER BY K DESC LIMIT 1"}},
        // a conditional drop governs only the next statement; an unnamed column is headed with
        // an empty name
        {"IF OBJECT_ID('tempdb..##T') IS NOT NULL DROP TABLE ##T\r\nSELECT 1",
         {"SELECT CASE WHEN tsql_object_id('tempdb..##T') IS NOT NULL THEN 1 ELSE 0 END",
          "DROP TABLE \"##T\"", "SELECT 1 AS \"\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        EXPECT_EQ(translate(c.tsql), c.sqlite);
    }
}

TEST_F(Translation, OncePerRowStatementIsTranslatedOnce) {
    const auto before = m_db->cacheStatistics();
    for (int i = 0; i < 50; ++i) {
        run("INSERT INTO B (K, V) VALUES ('K" + std::to_string(i) + "', " + std::to_string(i) + ")");
        run("UPDATE B SET V = " + std::to_string(i * 2) + " WHERE K = 'K" + std::to_string(i) + "'");
    }
    const auto after = m_db->cacheStatistics();
    EXPECT_EQ(after.translated - before.translated, 2);
    EXPECT_EQ(after.reused - before.reused, 98);
    EXPECT_EQ(one("SELECT SUM(V) FROM B"), std::to_string(2 * (49 * 50 / 2)));
}

TEST_F(Translation, LiteralsSentApartRunAsWrittenInAndAreTranslatedOnce) {
    run("INSERT INTO A VALUES ('o''k', 1.5, '20240301'), ('b', 2.25, '2024-03-02 10:00:00')");
    using Kind = Literal::Kind;
    // Q, K and D sent apart.
    const auto update = [&](const char* q, const char* k, const char* d) {
        std::vector<Error> errors;
        std::int64_t affected = -1;
        EXPECT_TRUE(m_db->executeWithLiterals("UPDATE A SET Q = ? WHERE K = ? AND D = ?",
                                              {{Kind::Number, q}, {Kind::String, k}, {Kind::String, d}},
                                              nullptr, errors, {}, &affected))
            << (errors.empty() ? "" : errors.front().description);
        return affected;
    };
    const auto before = m_db->cacheStatistics();
    // The quote needs no doubling; the dates are read in any accepted form, as when written in.
    EXPECT_EQ(update("9.125", "o'k", "20240301"), 1);
    EXPECT_EQ(update("7.5", "B", "2024-03-02 10:00:00.000"), 1);
    EXPECT_EQ(update("1.25", "b", "20240302"), 0);
    const auto after = m_db->cacheStatistics();
    EXPECT_EQ(after.translated - before.translated, 1);
    EXPECT_EQ(after.boundOnly - before.boundOnly, 2);
    // A whole number has a shape of its own, as when written in; a negative number is read as
    // written in, a minus before the number, so the statement written in finds the same shape.
    EXPECT_EQ(update("7", "B", "20240302 10:00"), 1);
    EXPECT_EQ(update("-2.50", "B", "20240302 10:00"), 1);
    EXPECT_EQ(update("-1.25", "B", "20240302 10:00"), 1);
    const auto negatives = m_db->cacheStatistics();
    EXPECT_EQ(one("SELECT Q FROM A WHERE K = 'b'"), "-1.25");
    EXPECT_EQ(negatives.translated - after.translated, 2);
    EXPECT_EQ(negatives.boundOnly - after.boundOnly, 1);
    const auto writtenIn = m_db->cacheStatistics();
    run("UPDATE A SET Q = -3.75 WHERE K = 'b' AND D = '20240302 10:00'");
    EXPECT_EQ(m_db->cacheStatistics().translated, writtenIn.translated);

    // After the schema changed the statement is translated again, with the same meaning.
    run("CREATE INDEX IX_A_Q ON A (Q)");
    EXPECT_EQ(update("3.5", "B", "20240302 10:00:00"), 1);

    // A '?' inside brackets or quotes is no placeholder; too few values is an error.
    // A literal written in besides those sent apart is read again each time.
    RecordingSink sink;
    std::vector<Error> errors;
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(m_db->executeWithLiterals("SELECT K AS [k?], '?' FROM A WHERE Q = ? ORDER BY K",
                                              {{Kind::Number, "3.5"}}, &sink, errors));
    ASSERT_EQ(sink.results.size(), 2u);
    EXPECT_EQ(sink.results[1].columns[0].name, "k?");
    EXPECT_EQ(sink.results[1].rows, (std::vector<std::vector<std::string>>{{"b", "?"}}));
    EXPECT_EQ(tsqlite::testing::rows(*m_db, "SELECT Q FROM A ORDER BY K"),
              (std::vector<std::string>{"3.5", "9.125"}));
    EXPECT_FALSE(m_db->executeWithLiterals("SELECT ?, ?", {{Kind::Number, "1"}}, &sink, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().description.find("placeholders"), std::string::npos);
}

TEST_F(Translation, LiteralKindsAreNotConfusedAcrossCachedRuns) {
    // Same text but for the kind of a literal: "+" concatenates with text, adds with numbers.
    EXPECT_EQ(one("SELECT 1 + 2"), "3");
    EXPECT_EQ(one("SELECT '1' + '2'"), "12");
}

// A work table dropped and created again for every order line: the statements cached on it
// follow its new column types where they read and where they write, whether the drop runs
// alone or in the batch that creates the table again.
TEST_F(Translation, CachedStatementsFollowATableRecreatedWithOtherTypes) {
    run("CREATE TABLE ##W (A int, Q decimal(14,3))");
    run("INSERT INTO ##W VALUES (3, 1.23456)");
    EXPECT_EQ(one("SELECT A / 2 FROM ##W"), "1") << "integer division";
    run("IF OBJECT_ID('tempdb..##W') IS NOT NULL DROP TABLE ##W");
    run("CREATE TABLE ##W (A decimal(5,2), Q decimal(14,1))");
    run("INSERT INTO ##W VALUES (3, 1.23456)");
    EXPECT_EQ(one("SELECT A / 2 FROM ##W").substr(0, 3), "1.5") << "decimal division";
    EXPECT_EQ(one("SELECT Q FROM ##W"), "1.2");
    run("DROP TABLE ##W\r\nCREATE TABLE ##W (A int, Q decimal(14,2))");
    run("INSERT INTO ##W VALUES (3, 1.23456)");
    EXPECT_EQ(one("SELECT A / 2 FROM ##W"), "1") << "integer division again";
    EXPECT_EQ(one("SELECT Q FROM ##W"), "1.23");
}

TEST_F(Translation, ReadOnlyFileIsRefused) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    m_db.reset();
    ASSERT_EQ(::chmod(m_scratch.path().c_str(), 0444), 0);
    std::vector<Error> errors;
    EXPECT_FALSE(Connection::open(m_scratch.path(), errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].number, kErrCannotOpen);
    EXPECT_NE(errors[0].description.find("read-only"), std::string::npos);
}

TEST_F(Translation, SelectIntoKeepsDeclaredTypesAndTheErpCollation) {
    run("INSERT INTO A VALUES ('odl1', 1.5, '20240301')");
    run("SELECT K AS NUMREG, Q, Q * 2 AS DOPPIA, CAST(K AS char(6)) AS SIGLA, 0 AS GIACENZA INTO ##Copia "
        "FROM A");
    RecordingSink sink;
    std::vector<Error> errors;
    ASSERT_TRUE(m_db->execute("SELECT * FROM ##Copia WHERE NUMREG = 'ODL1  '", &sink, errors));
    ASSERT_EQ(sink.results.size(), 1u);
    const auto& result = sink.results[0];
    std::vector<std::string> types;
    for (const auto& c : result.columns)
        types.push_back(c.declType);
    EXPECT_EQ(types,
              (std::vector<std::string>{"varchar(12)", "decimal(14,3)", "decimal(16,3)", "char(6)", "int"}));
    ASSERT_EQ(result.rows.size(), 1u); // found without regard to case and trailing blanks
    EXPECT_EQ(result.rows[0], (std::vector<std::string>{"odl1", "1.5", "3", "odl1  ", "0"}));
    EXPECT_EQ(result.columns[0].baseTable, "##Copia");
}

// The types SQL Server gives decimal results, as SELECT INTO creates them; beyond 38 digits
// the scale gives way to the integral part, down to 6 for products and quotients.
TEST_F(Translation, DecimalResultsTakeSqlServersPrecisionAndScale) {
    run("INSERT INTO A VALUES ('a', 1.5, '20240301')");
    run("INSERT INTO B VALUES ('a', 2)");
    run("SELECT Q * Q AS P, Q / Q AS D, Q + V AS S, Q % 2 AS M, SUM(Q) AS T, AVG(Q) AS M2, "
        "CAST(1 AS decimal(38,10)) * CAST(1 AS decimal(38,10)) AS BIGP, "
        "CAST(1 AS decimal(38,2)) + CAST(1 AS decimal(38,30)) AS BIGS, "
        "CAST(1 AS decimal(30,10)) / CAST(3 AS decimal(20,2)) AS BIGD "
        "INTO ##Tipi FROM A INNER JOIN B ON A.K = B.K GROUP BY Q, V");
    RecordingSink sink;
    std::vector<Error> errors;
    ASSERT_TRUE(m_db->execute("SELECT * FROM ##Tipi", &sink, errors));
    std::vector<std::string> types;
    for (const auto& c : sink.results.at(0).columns)
        types.push_back(c.declType);
    EXPECT_EQ(types, (std::vector<std::string>{"decimal(29,6)", "decimal(32,18)", "decimal(15,3)",
                                               "decimal(4,3)", "decimal(38,3)", "decimal(38,6)",
                                               "decimal(38,6)", "decimal(38,2)", "decimal(38,16)"}));
    ASSERT_EQ(sink.results[0].rows.size(), 1u);
    EXPECT_EQ(sink.results[0].rows[0], (std::vector<std::string>{"2.25", "1", "3.5", "1.5", "1.5", "1.5", "1",
                                                                 "2", "0.333333333333333"}));
}

// Setting integer columns to constants writes only the rows that change and counts the rows the
// WHERE selects; anything whose rows two statements might see differently stays one statement.
TEST_F(Translation, ConstantIntegerUpdatesCountTheirRowsApart) {
    const auto counted = translate("UPDATE B SET V = 0 WHERE K = 'x'");
    ASSERT_EQ(counted.size(), 2u);
    EXPECT_EQ(counted[0], "UPDATE \"B\" SET V = tsql_write(0, 'int') WHERE (K = 'x') AND NOT (V IS "
                          "(tsql_write(0, 'int')))");
    EXPECT_EQ(counted[1], "SELECT count(*) FROM \"B\" WHERE K = 'x'");
    for (const char* single : {"UPDATE A SET Q = 0",                              // a decimal column
                               "UPDATE B SET V = V + 1",                          // not a constant
                               "UPDATE B SET V = 0 WHERE UPPER(K) = 'X'",         // a function call
                               "UPDATE B SET V = 0 WHERE K IN (SELECT K FROM A)", // a subquery
                               "UPDATE B SET V = 0 WHERE V < DATEPART(year, CURRENT_TIMESTAMP)",
                               "UPDATE B SET V = 0 FROM B INNER JOIN A ON A.K = B.K"}) // a join
        EXPECT_EQ(translate(single).size(), 1u) << single;
}
