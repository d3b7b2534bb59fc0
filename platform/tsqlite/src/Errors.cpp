#include "Errors.h"

#include "Decimal.h"

#include <sqlite3.h>

namespace tsqlite::detail {

Error makeError(std::int64_t number, std::string description, std::string sqlState) {
    Error e;
    e.number = number;
    e.description = std::move(description);
    e.sqlState = std::move(sqlState);
    return e;
}

namespace {

// Errors our functions raise with SQL Server's text, which clients tell apart by its number.
struct ServerError {
    const char* message;
    std::int64_t number;
    const char* sqlState;
};
constexpr ServerError kServerErrors[] = {
    {kDivideByZeroMessage, 8134, "22012"},
    {kNumericOverflowMessage, 8115, "22003"},
};

} // namespace

Error errorFromSqlite(sqlite3* db, int rc, const std::string& context) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    std::string where = context.empty() ? std::string() : " in statement: " + context;
    for (const ServerError& known : kServerErrors) {
        if (message == known.message) {
            Error e = makeError(kErrSyntax, message + where, known.sqlState);
            e.nativeError = known.number;
            return e;
        }
    }
    switch (extended & 0xFF) {
    case SQLITE_CONSTRAINT:
        if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
            return makeError(kErrIntegrityViolation, "Violation of a unique key: " + message + where,
                             "23000");
        return makeError(kErrIntegrityViolation, "Integrity constraint violated: " + message + where,
                         "23000");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return makeError(kErrCannotOpen, "The database is locked by another connection: " + message + where,
                         "HYT00");
    case SQLITE_READONLY:
        return makeError(kErrCannotOpen, "The database is read-only: " + message + where, "HY000");
    case SQLITE_NOTADB:
        return makeError(kErrCannotOpen, "The file is not a database: " + message + where, "HY000");
    case SQLITE_CANTOPEN:
        return makeError(kErrCannotOpen, "The database file cannot be opened: " + message + where, "08001");
    default:
        break;
    }
    if (message.rfind("no such table", 0) == 0 || message.rfind("no such function", 0) == 0)
        return makeError(kErrNoSuchObject, "Invalid object name: " + message + where, "42S02");
    if (message.rfind("no such column", 0) == 0)
        return makeError(kErrNoSuchObject, "Invalid column name: " + message + where, "42S22");
    if (message.find("syntax error") != std::string::npos ||
        message.find("incomplete input") != std::string::npos)
        return makeError(kErrSyntax, "Incorrect syntax: " + message + where, "42000");
    return makeError(kErrSyntax, message + where, "42000");
}

} // namespace tsqlite::detail
