// Timed driver for the record set on a large result: 100 000 rows of 80 columns read from the
// embedded database, then filtered, sorted, cloned and edited with write-back. Prints one line
// per measure (best of a few runs) and the memory the rows take against their raw size.
//
// Usage: scadlav_db_recordset_bench [rows]

#include "bench/BenchSupport.h"
#include "bench/MemoryFigures.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/TsqliteBackend.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <time.h>
#include <tsqlite/tsqlite.h>

using namespace scadlav;
using namespace scadlav::bench;
using namespace scadlav::db;

namespace {

constexpr int kInts = 20, kDecimals = 20, kDates = 10, kTexts = 30; // 80 columns with ID

// Creates the table through the T-SQL front and fills it through SQLite directly (fast);
// returns the raw size of the data: 8 bytes per number or date, the bytes of each text.
std::size_t createData(const QString& path, int rows) {
    std::vector<tsqlite::Error> errors;
    auto db = tsqlite::Connection::open(path.toStdString(), errors, true);
    if (!db) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
        std::exit(1);
    }
    QString create = "CREATE TABLE BENCH (ID int NOT NULL PRIMARY KEY";
    for (int k = 1; k < kInts; ++k)
        create += QString(", I%1 int NULL").arg(k);
    for (int k = 1; k <= kDecimals; ++k)
        create += QString(", D%1 decimal(14,3) NULL").arg(k);
    for (int k = 1; k <= kDates; ++k)
        create += QString(", T%1 datetime NULL").arg(k);
    for (int k = 1; k <= kTexts; ++k)
        create += QString(", S%1 nvarchar(40) NULL").arg(k);
    create += ")";
    if (!db->execute(create.toStdString(), nullptr, errors)) {
        std::fprintf(stderr, "create failed: %s\n", errors.empty() ? "" : errors[0].description.c_str());
        std::exit(1);
    }
    sqlite3* h = db->handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    std::string insert = "INSERT INTO BENCH VALUES (?";
    for (int k = 1; k < 80; ++k)
        insert += ",?";
    insert += ")";
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h, insert.c_str(), -1, &stmt, nullptr);
    std::size_t raw = 0;
    char text[64];
    for (int r = 0; r < rows; ++r) {
        int col = 1;
        sqlite3_bind_int(stmt, col++, r);
        raw += 8;
        for (int k = 1; k < kInts; ++k, ++col) {
            sqlite3_bind_int(stmt, col, (r * 7 + k * 13) % 1000);
            raw += 8;
        }
        for (int k = 1; k <= kDecimals; ++k, ++col) {
            if ((r + k) % 10 == 0) {
                sqlite3_bind_null(stmt, col);
                continue;
            }
            sqlite3_bind_double(stmt, col, ((r * 31 + k) % 100000) / 1000.0);
            raw += 8;
        }
        for (int k = 1; k <= kDates; ++k, ++col) {
            std::snprintf(text, sizeof text, "2026-%02d-%02d %02d:00:00", 1 + (r + k) % 12,
                          1 + (r * 3 + k) % 28, (r + k) % 24);
            sqlite3_bind_text(stmt, col, text, -1, SQLITE_TRANSIENT);
            raw += 8;
        }
        for (int k = 1; k <= kTexts; ++k, ++col) {
            const int n = std::snprintf(text, sizeof text, "Testo %d colonna %d", (r * 17 + k) % 5000, k);
            sqlite3_bind_text(stmt, col, text, n, SQLITE_TRANSIENT);
            raw += static_cast<std::size_t>(n);
        }
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    return raw;
}

class NullSink : public IRowSink {
public:
    void beginResultSet(const std::vector<ColumnInfo>&) override {}
    void row(const Cell*, std::size_t) override {}
    void endResultSet() override {}
};

void report(const char* what, const Timing& t, const QString& extra = {}) {
    std::printf("%-34s %9.2f ms cpu %9.2f ms wall  %s\n", what, t.cpu * 1000.0, t.wall * 1000.0,
                qPrintable(extra));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.sqlite");
    const std::size_t raw = createData(path, rows);
    std::printf("rows: %d, columns: 80, raw data: %.1f MB\n", rows, raw / 1048576.0);

    Connection cn;
    if (!cn.open("Provider=tsqlite;Data Source=" + path)) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(cn.lastErrorText()));
        return 1;
    }

    ResidentPeak peak;
    Recordset rs;
    Timing load = measure(
        [&] {
            if (!rs.open("SELECT * FROM BENCH", cn)) {
                std::fprintf(stderr, "open record set failed: %s\n", qPrintable(rs.lastErrorText()));
                std::exit(1);
            }
        },
        {}, 1);
    peak.stop();
    report("open record set", load, QString("%1 rows/s").arg(rows / load.cpu, 0, 'f', 0));
    printMemoryLine("row store memory", rs.storeRawBytes(), rs.storeMemoryBytes(), peak);

    // The database's own share: the same statement streamed into a sink that keeps nothing.
    TsqliteBackend backend;
    std::vector<ProviderError> errors;
    backend.open(("Provider=tsqlite;Data Source=" + path).toStdString(), {}, errors);
    NullSink sink;
    report("  of which reading the database",
           measure([&] { backend.execute("SELECT * FROM BENCH", {}, &sink, errors); }));
    if (std::getenv("BENCH_LOAD_ONLY"))
        return 0;
    const Timing requery = measure([&] { rs.requery(); }, {}, 2);
    report("requery (same rows again)", requery, QString("%1 rows/s").arg(rows / requery.cpu, 0, 'f', 0));

    int count = 0;
    auto filter = [&](const char* what, const char* expression) {
        const Timing t = measure([&] {
            rs.setFilter(expression);
            count = rs.recordCount();
        });
        report(what, t, QString("%1 rows").arg(count));
    };
    filter("filter on integers", "I1 > 500 AND I2 < 900");
    filter("filter on text (exact, no case)", "S1 = 'testo 42 colonna 1'");
    filter("filter on decimal and date", "D1 >= 50.5 AND T1 > '2026-06-01'");
    rs.setFilter("");
    report("sort on one integer", measure([&] { rs.setSort("I3"); }));
    report("sort on text", measure([&] { rs.setSort("S2"); }));
    report("sort on three fields", measure([&] { rs.setSort("I4,D2,S3"); }));
    rs.setSort("");

    std::unique_ptr<Recordset> clone;
    report("clone", measure([&] { clone = rs.clone(); }, {}, 5));
    rs.setFilter("I1 > 500");
    report("clone of a filtered cursor", measure([&] { clone = rs.clone(); }, {}, 5));

    rs.setFilter("");
    rs.moveTo(rows / 2);
    int n = 0;
    report("update one field with write-back", measure([&] {
               rs.setValue("S5", QString("Modificato %1").arg(++n));
               rs.update();
           }));
    return 0;
}
