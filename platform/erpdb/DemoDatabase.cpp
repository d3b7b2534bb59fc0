#include "erpdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace erpdb {
namespace {

QString describe(const std::vector<tsqlite::Error>& errors) {
    QStringList texts;
    for (const auto& e : errors)
        texts << QString::fromStdString(e.description);
    return texts.join(QStringLiteral("; "));
}

void removeDatabaseFiles(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

bool createDemoDatabase(const QString& path, const DemoOptions& options, bool overwrite, DemoSummary* summary,
                        QString* error) {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (path.trimmed().isEmpty())
        return fail(QStringLiteral("no database file was given"));
    if (QFileInfo::exists(path) && !overwrite)
        return fail(QStringLiteral("the file %1 exists already (use --force to replace it)").arg(path));
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return fail(QStringLiteral("the folder %1 does not exist").arg(info.absolutePath()));

    registerDatabaseObjects();
    // Built beside the target and renamed at the end, so that a file at `path` is always whole.
    const QString building = path + QStringLiteral(".building");
    removeDatabaseFiles(building);
    {
        std::vector<tsqlite::Error> errors;
        auto connection = tsqlite::Connection::open(building.toStdString(), errors, true);
        if (!connection)
            return fail(QStringLiteral("cannot create %1: %2").arg(building, describe(errors)));
        // The file is renamed into place only when complete, so nothing is lost by not
        // waiting for the disk on every page.
        sqlite3_exec(connection->handle(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        if (!createSchema(*connection, errors)) {
            connection.reset();
            removeDatabaseFiles(building);
            return fail(QStringLiteral("cannot create the ERP schema: %1").arg(describe(errors)));
        }
        QString why;
        if (!generateDemoData(*connection, options, summary, &why)) {
            connection.reset();
            removeDatabaseFiles(building);
            return fail(QStringLiteral("cannot generate the demo data: %1").arg(why));
        }
    }
    if (QFileInfo::exists(path))
        removeDatabaseFiles(path);
    if (!QFile::rename(building, path)) {
        removeDatabaseFiles(building);
        return fail(QStringLiteral("cannot move the new database to %1").arg(path));
    }
    return true;
}

bool ensureDemoDatabase(const QString& path, QString* error) {
    if (!QFileInfo::exists(path)) {
        // First run: the host's data folder may not exist yet either.
        const QString folder = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(folder)) {
            if (error)
                *error = QStringLiteral("cannot create the folder %1").arg(folder);
            return false;
        }
        DemoOptions options;
        options.today = QDate::currentDate();
        return createDemoDatabase(path, options, false, nullptr, error);
    }
    // Opening it for writing would switch another program's file to WAL mode: look first.
    QString why;
    if (!isErpDatabaseFile(path, &why)) {
        if (error)
            *error = QStringLiteral("%1 is not an ERP database (%2)").arg(path, why);
        return false;
    }
    return true;
}

bool isErpDatabaseFile(const QString& path, QString* why) {
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    // Even a read-only look at a WAL-mode file makes its -wal and -shm files, unless the file
    // is declared immutable; without a -wal file, nobody has changes pending in one.
    QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    if (!QFileInfo::exists(path + QStringLiteral("-wal")))
        uri += QStringLiteral("?immutable=1");
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(uri.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return fail(message);
    }
    // Another session may be writing or recovering the log for a moment; that is no reason to
    // call the file foreign.
    sqlite3_busy_timeout(db, 15000);
    // An empty file reads as an empty database: it lacks the tables like any other.
    const char* sql = "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                      "('FW07_APPUSER', 'PD5D_ACCESSISCAD', 'PD5C_SCADLAV') COLLATE NOCASE";
    sqlite3_stmt* stmt = nullptr;
    int found = -1;
    QString message;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        found = sqlite3_column_int(stmt, 0);
    else
        message = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (found < 0)
        return fail(message);
    if (found < 3)
        return fail(QStringLiteral("the ERP's user, access registry and schedule tables are missing"));
    return true;
}

} // namespace erpdb
