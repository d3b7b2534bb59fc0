// What one statement costs when the module runs it once per row (the rebuild fills its
// previous-phase columns this way, the reminders write their marks row by row): each call
// goes through scadlav::db::Connection to the embedded database with new literals.
//   cached:    the statement's shape was seen before, so it is neither translated nor prepared
//   new shape: a shape never seen before, translated and prepared before it runs
// For comparison, the same update through the ODBC backend to SQLite's ODBC driver, set up
// like the embedded database (write-ahead log, no flush to disk at every commit).
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using scadlav::db::Connection;
using scadlav::db::kCmdTextNoRecords;

namespace {

constexpr int kRows = 10'000;

enum class Database { Embedded, OdbcSqlite };

// A database with one table of kRows rows keyed by ID, like the schedule table in miniature.
class Fixture {
public:
    explicit Fixture(Database database) {
        const QString file = m_dir.filePath(QStringLiteral("bench.db"));
        const QString cs =
            database == Database::Embedded
                ? QStringLiteral("Provider=tsqlite;Data Source=%1;Create=yes").arg(file)
                : QStringLiteral("Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;Database=%1;"
                                 "JournalMode=WAL;SyncPragma=NORMAL")
                      .arg(file);
        if (!m_connection.open(cs))
            fail("open");
        exec(QStringLiteral(
            "CREATE TABLE PD5C_BENCH (PD5C_ID int NOT NULL PRIMARY KEY, PD5C_QTA decimal(14,3), "
            "PD5C_NOTE nvarchar(40), PD5C_DATA datetime)"));
        // SQLite's ODBC driver manages transactions itself: its rows go in one by one.
        const bool transaction = database == Database::Embedded;
        if (transaction)
            exec(QStringLiteral("BEGIN TRANSACTION"));
        for (int id = 1; id <= kRows; ++id)
            exec(QStringLiteral("INSERT INTO PD5C_BENCH VALUES (%1, 0, 'nota', '2026-01-01 00:00:00')")
                     .arg(id));
        if (transaction)
            exec(QStringLiteral("COMMIT TRANSACTION"));
    }

    void exec(const QString& text) {
        if (!m_connection.execute(text, kCmdTextNoRecords))
            fail(text);
    }

    Connection& connection() { return m_connection; }

private:
    void fail(const QString& what) {
        std::fprintf(stderr, "statement_bench: %s failed: %s\n", qPrintable(what),
                     qPrintable(m_connection.lastErrorText()));
        std::exit(1);
    }

    QTemporaryDir m_dir;
    Connection m_connection;
};

Fixture& fixture() {
    static Fixture instance(Database::Embedded);
    return instance;
}

QString updateText(int n) {
    return QStringLiteral("UPDATE PD5C_BENCH SET PD5C_QTA = %1.%2, PD5C_NOTE = 'riga %3' WHERE PD5C_ID = %4")
        .arg(n % 1000)
        .arg(n % 7)
        .arg(n)
        .arg(n % kRows + 1);
}

// One UPDATE of one row by key per iteration, with new literals each time: after the first
// call the shape is cached.
void BM_UpdateOneRowByKey_Cached(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    for (auto _ : state) {
        const int id = n % kRows + 1;
        f.exec(
            QStringLiteral("UPDATE PD5C_BENCH SET PD5C_QTA = %1.%2, PD5C_NOTE = 'riga %3' WHERE PD5C_ID = %4")
                .arg(n % 1000)
                .arg(n % 7)
                .arg(n)
                .arg(id));
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateOneRowByKey_Cached)->Iterations(kRows)->Unit(benchmark::kMicrosecond);

// The same updates inside one transaction: the difference to the run above is what each
// statement's own commit costs (writing the database's log), the rest is the statement itself.
void BM_UpdateOneRowByKey_CachedInTransaction(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    f.exec(QStringLiteral("BEGIN TRANSACTION"));
    for (auto _ : state) {
        const int id = n % kRows + 1;
        f.exec(
            QStringLiteral("UPDATE PD5C_BENCH SET PD5C_QTA = %1.%2, PD5C_NOTE = 'riga %3' WHERE PD5C_ID = %4")
                .arg(n % 1000)
                .arg(n % 7)
                .arg(n)
                .arg(id));
        ++n;
    }
    f.exec(QStringLiteral("COMMIT TRANSACTION"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateOneRowByKey_CachedInTransaction)->Iterations(kRows)->Unit(benchmark::kMicrosecond);

// A one-row select whose shape is new at every call (a column alias never used before), so
// every call pays for translation and preparation.
void BM_SelectOneRowByKey_NewShape(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    for (auto _ : state) {
        const int id = n % kRows + 1;
        auto rs = f.connection().execute(
            QStringLiteral("SELECT PD5C_QTA AS Q%1 FROM PD5C_BENCH WITH (NOLOCK) WHERE PD5C_ID = %2")
                .arg(n)
                .arg(id));
        if (!rs)
            state.SkipWithError("select failed");
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SelectOneRowByKey_NewShape)->Iterations(2'000)->Unit(benchmark::kMicrosecond);

// The cached counterpart of the select above, for comparison.
void BM_SelectOneRowByKey_Cached(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    for (auto _ : state) {
        const int id = n % kRows + 1;
        auto rs = f.connection().execute(
            QStringLiteral("SELECT PD5C_QTA AS Q FROM PD5C_BENCH WITH (NOLOCK) WHERE PD5C_ID = %1").arg(id));
        if (!rs)
            state.SkipWithError("select failed");
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SelectOneRowByKey_Cached)->Iterations(kRows)->Unit(benchmark::kMicrosecond);

void BM_UpdateOneRowByKey_OdbcSqlite(benchmark::State& state) {
    static Fixture f(Database::OdbcSqlite);
    int n = 0;
    for (auto _ : state)
        f.exec(updateText(n++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateOneRowByKey_OdbcSqlite)->Iterations(2'000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
