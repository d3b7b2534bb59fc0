// Timed driver for what the grid does with the rows it shows: a header sort, the quick search
// as a planner types, and the totals line, on 100 000 schedule-like rows read from the embedded
// database into a record set and bound to a grid laid out like the schedule grid. Prints one
// line per measure (best of a few runs, processor time of this thread, wall time beside it).
//
// The same measures run twice: on a record set read whole, and on one opened in slices as
// "Visualizza" opens the schedule (the first rows at once, the rest while the event loop is
// idle), where a header sort or a search before the last slice reads the rest first.
//
// Usage: grid_rows_bench [rows]

#include "bench/BenchSupport.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "platform/controls/Grid.h"
#include "platform/controls/ImageList.h"

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <time.h>
#include <tsqlite/tsqlite.h>

using namespace scadlav;
using namespace scadlav::bench;

namespace {

void report(const char* what, const Timing& t, const char* limit) {
    std::printf("%-44s %9.2f ms cpu %9.2f ms wall  (target %s)\n", what, t.cpu * 1000.0, t.wall * 1000.0,
                limit);
}

// Schedule-like rows: supplier, phase, article, document, two dates, six quantities, a code.
void createData(const QString& path, int rows) {
    std::vector<tsqlite::Error> errors;
    auto db = tsqlite::Connection::open(path.toStdString(), errors, true);
    const char* create =
        "CREATE TABLE FASI (KEYGRID nvarchar(40) NOT NULL PRIMARY KEY, FORREP nvarchar(40), CODFASE int, "
        "DESCFASE nvarchar(40), CODART nvarchar(25), NUMDOC int, DATAINI datetime, DATAFINE datetime, "
        "QTA1ORD decimal(18,3), QTA1CONSOLID decimal(18,3), QTA1SCARTO decimal(18,3), QTARES decimal(18,3), "
        "QTAINLAV decimal(18,3), QTADAINV decimal(18,3), SOLL int)";
    if (!db || !db->execute(create, nullptr, errors)) {
        std::fprintf(stderr, "cannot create the bench table in %s\n", qPrintable(path));
        std::exit(1);
    }
    sqlite3* h = db->handle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO FASI VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &stmt, nullptr);
    char text[64];
    for (int r = 0; r < rows; ++r) {
        int n = std::snprintf(text, sizeof text, "K%07d", r);
        sqlite3_bind_text(stmt, 1, text, n, SQLITE_TRANSIENT);
        n = std::snprintf(text, sizeof text, "Fornitore %d srl", (r * 37) % 900);
        sqlite3_bind_text(stmt, 2, text, n, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 3, 10 + (r * 7) % 90);
        n = std::snprintf(text, sizeof text, "Fase di lavoro %d", (r * 7) % 90);
        sqlite3_bind_text(stmt, 4, text, n, SQLITE_TRANSIENT);
        n = std::snprintf(text, sizeof text, "ART%05d", (r * 13) % 20000);
        sqlite3_bind_text(stmt, 5, text, n, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 6, 1 + r / 8);
        for (int d = 0; d < 2; ++d) {
            n = std::snprintf(text, sizeof text, "2026-%02d-%02d 00:00:00", 1 + (r + d) % 12,
                              1 + (r * 3 + d) % 28);
            sqlite3_bind_text(stmt, 7 + d, text, n, SQLITE_TRANSIENT);
        }
        for (int q = 0; q < 6; ++q) {
            if ((r + q) % 9 == 0)
                sqlite3_bind_null(stmt, 9 + q);
            else
                sqlite3_bind_double(stmt, 9 + q, ((r * 31 + q * 7) % 100000) / 100.0);
        }
        sqlite3_bind_int(stmt, 15, 1 + r % 4);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
}

const QString kQuantity = QStringLiteral("###,###,###,##0.00");
const QStringList kTotals = {QStringLiteral("QTA1ORD"),    QStringLiteral("QTA1CONSOLID"),
                             QStringLiteral("QTA1SCARTO"), QStringLiteral("QTARES"),
                             QStringLiteral("QTAINLAV"),   QStringLiteral("QTADAINV")};

// The columns of the schedule grid that matter here: texts, numbers, dates, quantities, an icon.
void layOut(erpctl::Grid& grid, erpctl::ImageList& images) {
    grid.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    grid.addColumn(QStringLiteral("KEYGRID"), QStringLiteral("Key"), erpctl::ColumnKind::Text, 500, false);
    grid.addColumn(QStringLiteral("FORREP"), QStringLiteral("Forn./Rep."), erpctl::ColumnKind::Text, 1500);
    grid.addColumn(QStringLiteral("CODFASE"), QStringLiteral("Fase"), erpctl::ColumnKind::Number, 700, true,
                   QStringLiteral("#####"));
    grid.addColumn(QStringLiteral("DESCFASE"), QStringLiteral("Descr. fase"), erpctl::ColumnKind::Text, 1500);
    grid.addColumn(QStringLiteral("CODART"), QStringLiteral("Articolo"), erpctl::ColumnKind::Text, 1200);
    grid.addColumn(QStringLiteral("NUMDOC"), QStringLiteral("Num. doc."), erpctl::ColumnKind::Number, 800,
                   true, QStringLiteral("#####"));
    grid.addColumn(QStringLiteral("DATAINI"), QStringLiteral("Data ini."), erpctl::ColumnKind::Date, 1000);
    grid.addColumn(QStringLiteral("DATAFINE"), QStringLiteral("Data fine"), erpctl::ColumnKind::Date, 1000);
    for (const QString& field : kTotals)
        grid.addColumn(field, field, erpctl::ColumnKind::Number, 1000, true, kQuantity);
    grid.addImageColumn(QStringLiteral("SOLL"), QStringLiteral("Soll."), &images, 700);
}

void runUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Header sorts, the quick search as typed and the totals, on every row of the grid.
void measureShownRows(erpctl::Grid& grid) {
    report("header sort, number column (ascending)",
           measure([&] { grid.sortByField(QStringLiteral("QTARES")); }, [&] { grid.clearSort(); }), "100 ms");
    report("header sort, text column (descending)",
           measure([&] { grid.sortByField(QStringLiteral("FORREP"), Qt::DescendingOrder); },
                   [&] { grid.clearSort(); }),
           "100 ms");
    report("header sort, date column",
           measure([&] { grid.sortByField(QStringLiteral("DATAFINE")); }, [&] { grid.clearSort(); }),
           "100 ms");
    grid.clearSort();

    // Typing searches texts read once per change of the rows: read ahead, in slices, while the
    // window is idle after "Visualizza" (a search box over the grid asks for that), or at the
    // first letter when the planner types before they are ready.
    grid.setQuickSearchReadAhead(false);
    report("search texts read at once (first letter too early)",
           measure([&] { grid.setQuickSearch(QStringLiteral("f")); },
                   [&] {
                       grid.setQuickSearch(QString());
                       grid.refresh(); // forgets the texts read
                   }),
           "-");
    grid.setQuickSearch(QString());
    grid.setQuickSearchReadAhead(true);
    grid.refresh();
    const Timing ahead =
        measure([&] { runUntil([&] { return grid.quickSearchReady(); }); }, [&] { grid.refresh(); }, 1);
    report("search texts read ahead, in idle slices", ahead, "-");
    report(
        "quick search, first letter (texts ready)",
        measure([&] { grid.setQuickSearch(QStringLiteral("f")); }, [&] { grid.setQuickSearch(QString()); }),
        "100 ms");
    report("quick search, next letters (\"fornitore 12\")",
           measure([&] { grid.setQuickSearch(QStringLiteral("fornitore 12")); },
                   [&] { grid.setQuickSearch(QStringLiteral("f")); }),
           "100 ms");
    report("quick search, new word (\"art001\")",
           measure([&] { grid.setQuickSearch(QStringLiteral("art001")); },
                   [&] { grid.setQuickSearch(QStringLiteral("2026")); }),
           "100 ms");
    report("quick search, cleared",
           measure([&] { grid.setQuickSearch(QString()); },
                   [&] { grid.setQuickSearch(QStringLiteral("art001")); }),
           "100 ms");

    report("totals of 6 quantity columns, all rows", measure([&] {
               for (const QString& field : kTotals)
                   (void)grid.total(field);
           }),
           "50 ms");
    grid.setQuickSearch(QStringLiteral("fornitore 1"));
    std::printf("rows shown for \"fornitore 1\": %d\n", grid.shownRowCount());
    report("totals of 6 quantity columns, rows found", measure([&] {
               for (const QString& field : kTotals)
                   (void)grid.total(field);
           }),
           "50 ms");
    grid.setQuickSearch(QString());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    createData(path, rows);

    db::Connection connection;
    if (!connection.open(QStringLiteral("Provider=tsqlite;Data Source=") + path)) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(connection.lastErrorText()));
        return 1;
    }
    const QString statement = QStringLiteral("SELECT * FROM FASI");
    erpctl::ImageList images;
    images.addStatusImages();

    {
        db::Recordset rs;
        if (!rs.open(statement, connection)) {
            std::fprintf(stderr, "open record set failed: %s\n", qPrintable(rs.lastErrorText()));
            return 1;
        }
        db::RecordsetModel model(&rs);
        erpctl::Grid grid;
        layOut(grid, images);
        grid.bind(&model);
        std::printf("== record set read whole: grid of %d rows, %d columns\n", grid.rowCount(),
                    grid.gridColumnCount());
        measureShownRows(grid);
    }

    // Read in slices, as "Visualizza" reads the schedule: the first 200 rows at once, the rest
    // while the event loop is idle; the grid's search box reads its texts once the last row is in.
    std::printf("== record set read in slices\n");
    auto sliced = std::make_unique<db::Recordset>();
    db::RecordsetModel model;
    model.setFetchInBackground(true);
    erpctl::Grid grid;
    layOut(grid, images);
    grid.setQuickSearchReadAhead(true);
    grid.bind(&model);
    const auto reopen = [&] {
        model.setRecordset(nullptr);
        grid.clearSort();
        grid.setQuickSearch(QString());
        sliced = std::make_unique<db::Recordset>();
        if (!sliced->openInSlices(statement, connection, db::LockType::Optimistic, 200)) {
            std::fprintf(stderr, "open in slices failed: %s\n", qPrintable(sliced->lastErrorText()));
            std::exit(1);
        }
        model.setRecordset(sliced.get());
    };

    report("first rows, then every row read in idle slices",
           measure([&] { runUntil([&] { return grid.allRowsFetched(); }); }, reopen, 1), "-");
    report("  then the search texts read ahead",
           measure([&] { runUntil([&] { return grid.quickSearchReady(); }); }, {}, 1), "-");
    // The planner clicks a header or types while the rows are still arriving: the grid reads
    // the rest first (the wait cursor is up), then sorts or searches every row.
    report("header sort (date) with 200 rows read: the rest read, then sorted",
           measure([&] { grid.sortByField(QStringLiteral("DATAFINE")); }, reopen), "-");
    report("  of which the rest read", measure([&] { grid.fetchAllRows(); }, reopen), "-");
    report("quick search with 200 rows read: the rest and the texts read",
           measure([&] { grid.setQuickSearch(QStringLiteral("f")); }, reopen), "-");

    reopen();
    runUntil([&] { return grid.allRowsFetched() && grid.quickSearchReady(); });
    std::printf("-- every row read in slices: grid of %d rows\n", grid.rowCount());
    measureShownRows(grid);
    return 0;
}
