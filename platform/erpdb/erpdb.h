#pragma once
// The ERP database as the embedded database holds it: the tables, views, functions and the
// stored procedure that the ERP installs on its SQL Server, and a generator of a demo order
// book. None of this is installed on a real SQL Server: there the ERP's own objects exist.

#include <tsqlite/tsqlite.h>

#include <QDate>
#include <QString>

#include <cstdint>
#include <vector>

namespace erpdb {

// Registers, once per process, the database objects on every embedded connection opened from
// now on: dbo.QRX_GETDATE(), the table functions dbo.FNMG36_DOCUMENTI and dbo.FNMG62_TESTIFIS
// and the stored procedure SPPD_SITCLAVORO. Safe to call any number of times.
void registerDatabaseObjects();

// Creates every table, index and view of the ERP schema on an empty database, through the
// connection's T-SQL. Returns false at the first failing statement, its errors appended.
bool createSchema(tsqlite::Connection& connection, std::vector<tsqlite::Error>& errors);

// True when the database already holds the ERP schema (its schedule table exists).
bool hasSchema(tsqlite::Connection& connection);

// The ERP's current date and time as the embedded database writes it
// ("YYYY-MM-DD HH:MM:SS.mmm"): the local clock in a datetime's 1/300 s, or the fixed time given
// by the environment variable ERP_FIXED_NOW ("YYYY-MM-DD HH:MM:SS") when it is set and valid.
QString currentErpTimestamp();

// What the demo generator builds.
struct DemoOptions {
    int lines = 400;        // production-order lines (each with several phases)
    std::uint32_t seed = 1; // same seed, same database
    QDate today;            // the day the dates are spread around
};

// What the generator wrote, for reports and benchmarks.
struct DemoSummary {
    int productionOrders = 0;
    int productionLines = 0;
    int phases = 0; // phase rows of production orders
    int subcontractOrders = 0;
    int subcontractLines = 0;
    int movements = 0;
    int customerOrderLines = 0;
};

// Fills a database that holds the empty schema with the demo order book. One transaction;
// on failure nothing is kept and `error` tells why.
bool generateDemoData(tsqlite::Connection& connection, const DemoOptions& options, DemoSummary* summary,
                      QString* error);

// Creates `path` with the schema and the demo order book. Refuses an existing file unless
// `overwrite`. The file appears only when it is complete.
bool createDemoDatabase(const QString& path, const DemoOptions& options, bool overwrite, DemoSummary* summary,
                        QString* error);

// True when `path` is an ERP database: the file is opened read-only and must hold the ERP's
// user, access registry and schedule tables. Nothing is written, not even the journal mode.
// `why` tells what is wrong otherwise.
bool isErpDatabaseFile(const QString& path, QString* why);

// Used by the host at start-up: when `path` does not exist yet, creates it as a demo
// database around today's date; an existing file is left as it is when it holds the schema,
// and refused with a message when it does not.
bool ensureDemoDatabase(const QString& path, QString* error);

} // namespace erpdb
