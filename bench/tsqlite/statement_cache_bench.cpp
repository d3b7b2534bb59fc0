// What the statement cache saves: a once-per-row statement (an UPDATE of one row by key, the
// per-phase INSERT of the cycle dates) translated and prepared at every run versus found by
// its shape with new literals bound.
#include <tsqlite/tsqlite.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

class Database {
public:
    Database() {
        std::random_device random;
        m_dir = std::filesystem::temp_directory_path() / ("tsqlite-bench-" + std::to_string(random()));
        std::filesystem::create_directories(m_dir);
        std::vector<tsqlite::Error> errors;
        m_db = tsqlite::Connection::open((m_dir / "bench.db").string(), errors, true);
        std::string setup = "CREATE TABLE PD5C_SCADLAV (PD5C_KEYGRID varchar(60) NOT NULL PRIMARY KEY, "
                            "PD5C_SEL smallint, PD5C_RIFOCLAV varchar(40), PD5C_DATACONSOCLAV datetime, "
                            "PD5C_QTAINLAV decimal(14,3))\r\n"
                            "CREATE TABLE ##TMP_DATEFASICICLO (CODFASE decimal (5,0), SEQFASE decimal (3,0), "
                            "TIPOFASE decimal (2,0), NUMREG_OCL char (12) COLLATE DATABASE_DEFAULT, "
                            "RIGA_OCL decimal (6,0), DTINIZ datetime, DTFIN datetime)\r\n";
        m_db->execute(setup, nullptr, errors);
        m_db->execute("BEGIN TRAN", nullptr, errors);
        for (int i = 0; i < 1000; ++i)
            m_db->execute("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_SEL) VALUES ('" + key(i) + "', 0)",
                          nullptr, errors);
        m_db->execute("COMMIT", nullptr, errors);
    }
    ~Database() {
        m_db.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    static std::string key(int i) {
        return "ODL" + std::to_string(100000000 + i) + "00000100020000000001234";
    }
    tsqlite::Connection& db() { return *m_db; }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<tsqlite::Connection> m_db;
};

std::string updateOfRow(int i) {
    return "UPDATE PD5C_SCADLAV SET PD5C_RIFOCLAV = 'OCL," + std::to_string(i % 28 + 1) +
           "/03/24,55', PD5C_DATACONSOCLAV = '2024-03-13 00:00:00.000', PD5C_QTAINLAV = " +
           std::to_string(i) + ".5 WHERE PD5C_KEYGRID = '" + Database::key(i % 1000) + "'";
}

// Cached: the same shape each time, other literals.
void UpdateOneRowByKeyCached(benchmark::State& state) {
    Database database;
    std::vector<tsqlite::Error> errors;
    int i = 0;
    for (auto _ : state) {
        if (!database.db().execute(updateOfRow(i++), nullptr, errors))
            state.SkipWithError(errors.front().description.c_str());
    }
}
BENCHMARK(UpdateOneRowByKeyCached);

// The same inside one transaction: the statement's own cost, without a commit per row.
void UpdateOneRowByKeyCachedInTransaction(benchmark::State& state) {
    Database database;
    std::vector<tsqlite::Error> errors;
    database.db().execute("BEGIN TRAN", nullptr, errors);
    int i = 0;
    for (auto _ : state) {
        if (!database.db().execute(updateOfRow(i++), nullptr, errors))
            state.SkipWithError(errors.front().description.c_str());
    }
    database.db().execute("COMMIT", nullptr, errors);
}
BENCHMARK(UpdateOneRowByKeyCachedInTransaction);

// First run: a new table alias each time makes a new shape, so every run translates and prepares.
void UpdateOneRowByKeyFirstRun(benchmark::State& state) {
    Database database;
    std::vector<tsqlite::Error> errors;
    int i = 0;
    for (auto _ : state) {
        const std::string alias = "A" + std::to_string(i);
        const std::string sql = "UPDATE " + alias +
                                " SET PD5C_RIFOCLAV = 'OCL,09/03/24,55', PD5C_DATACONSOCLAV = "
                                "'2024-03-13 00:00:00.000', PD5C_QTAINLAV = " +
                                std::to_string(i) + ".5 FROM PD5C_SCADLAV AS " + alias + " WHERE " + alias +
                                ".PD5C_KEYGRID = '" + Database::key(i % 1000) + "'";
        ++i;
        if (!database.db().execute(sql, nullptr, errors))
            state.SkipWithError(errors.front().description.c_str());
    }
}
BENCHMARK(UpdateOneRowByKeyFirstRun);

// The floor: the same update as a prepared SQLite statement with bound values.
void UpdateOneRowByKeyRawSqlite(benchmark::State& state) {
    Database database;
    std::vector<tsqlite::Error> errors;
    if (state.range(0))
        database.db().execute("BEGIN TRAN", nullptr, errors);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        database.db().handle(),
        "UPDATE PD5C_SCADLAV SET PD5C_RIFOCLAV = ?1, PD5C_DATACONSOCLAV = ?2, PD5C_QTAINLAV = ?3 "
        "WHERE PD5C_KEYGRID = ?4",
        -1, &stmt, nullptr);
    int i = 0;
    for (auto _ : state) {
        const std::string key = Database::key(i % 1000);
        sqlite3_bind_text(stmt, 1, "OCL,09/03/24,55", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, "2024-03-13 00:00:00.000", -1, SQLITE_STATIC);
        sqlite3_bind_double(stmt, 3, i + 0.5);
        sqlite3_bind_text(stmt, 4, key.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) != SQLITE_DONE)
            state.SkipWithError("update failed");
        sqlite3_reset(stmt);
        ++i;
    }
    sqlite3_finalize(stmt);
    if (state.range(0))
        database.db().execute("COMMIT", nullptr, errors);
}
BENCHMARK(UpdateOneRowByKeyRawSqlite)->Arg(0)->Arg(1)->ArgName("inTransaction");

void InsertPhaseDatesCached(benchmark::State& state) {
    Database database;
    std::vector<tsqlite::Error> errors;
    int i = 0;
    for (auto _ : state) {
        const std::string sql =
            " INSERT INTO ##TMP_DATEFASICICLO  (      CODFASE,      SEQFASE,      TIPOFASE,      "
            "NUMREG_OCL,      RIGA_OCL,      DTINIZ,      DTFIN  )  VALUES  ( " +
            std::to_string(i % 900) + ", " + std::to_string(i % 999) +
            ", 0, '', 0,  '2024-03-18 00:00:00.000',  '20240322 00:00:00'  ) ";
        ++i;
        if (!database.db().execute(sql, nullptr, errors))
            state.SkipWithError(errors.front().description.c_str());
    }
}
BENCHMARK(InsertPhaseDatesCached);

} // namespace

BENCHMARK_MAIN();
