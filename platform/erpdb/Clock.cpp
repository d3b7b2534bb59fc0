#include "Clock.h"

#include "erpdb.h"

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>

#include <sqlite3.h>
#include <tsqlite/tsqlite.h>

#include <atomic>

namespace erpdb {
namespace {

constexpr const char* kFixedNowVariable = "ERP_FIXED_NOW";

// Reports a malformed ERP_FIXED_NOW once per process instead of at every statement.
void warnBadFixedNow(const QByteArray& text) {
    static std::atomic_bool warned{false};
    if (!warned.exchange(true))
        qWarning("ERP_FIXED_NOW=\"%s\" is not a date and time in the form YYYY-MM-DD HH:MM:SS; "
                 "the local clock is used instead",
                 text.constData());
}

} // namespace

QString currentErpTimestamp() {
    const QByteArray fixed = qgetenv(kFixedNowVariable).trimmed();
    QDateTime now;
    if (!fixed.isEmpty()) {
        const QString text = QString::fromLatin1(fixed);
        now = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!now.isValid())
            now = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!now.isValid())
            warnBadFixedNow(fixed);
    }
    if (!now.isValid()) {
        now = QDateTime::currentDateTime();
        // The server's clock is a datetime: 1/300 s, the milliseconds ending in 0, 3 or 7.
        const int ms = now.time().msec();
        now = now.addMSecs(tsqlite::datetimeMilliseconds(ms) - ms);
    }
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

namespace detail {
namespace {

void qrxGetDate(sqlite3_context* context, int, sqlite3_value**) {
    // The same moment on every connection reading a part of one result (tsqlite::ClockFreeze).
    const std::string text = tsqlite::readClock(sqlite3_context_db_handle(context), "QRX_GETDATE",
                                                [] { return currentErpTimestamp().toStdString(); });
    sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

int registerClockFunction(sqlite3* db) {
    // Flagged deterministic so that SQLite computes it once per statement run, not per row.
    return sqlite3_create_function_v2(db, "QRX_GETDATE", 0, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      qrxGetDate, nullptr, nullptr, nullptr);
}

} // namespace detail
} // namespace erpdb
