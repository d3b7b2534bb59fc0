#include "Errors.h"

#include "Decimal.h"

#include <sqlite3.h>

#include <array>

namespace tsqlite::detail {

Error makeError(std::int64_t number, std::string description, std::string sqlState) {
    Error e;
    e.number = number;
    e.description = std::move(description);
    e.sqlState = std::move(sqlState);
    return e;
}

namespace {

// SQL Server's messages that our functions raise, by the words they start with.
struct SqlServerText {
    std::string_view start;
    int number;
    std::string_view sqlState;
};

constexpr std::array kSqlServerTexts = {
    SqlServerText{"Some part of your SQL statement is nested too deeply", 191, "42000"},
    SqlServerText{"Arithmetic overflow error converting ", 8115, "22003"},
    SqlServerText{"Arithmetic overflow error for type ", 232, "22003"},
    SqlServerText{"Arithmetic overflow error for data type ", 220, "22003"},
    SqlServerText{"Adding a value to a '", 517, "22008"},
    SqlServerText{"The conversion of a ", 242, "22008"},
    SqlServerText{"Conversion failed when converting date and/or time from character string", 241, "22007"},
    SqlServerText{"Conversion failed when converting the ", 245, "22018"},
    SqlServerText{"Error converting data type ", 8114, "42000"},
    SqlServerText{"String or binary data would be truncated", 8152, "22001"},
    SqlServerText{"Divide by zero error encountered", 8134, "22012"},
    SqlServerText{"Invalid length parameter passed to the ", 536, "42000"},
    SqlServerText{"Unclosed quotation mark after the character string", 105, "42000"},
    SqlServerText{"Missing end comment mark", 113, "42000"},
};

// The provider code the module's ODBC path gives the same SQL state.
std::int64_t providerCode(std::string_view sqlState) {
    if (sqlState == "22001")
        return kErrTooLong;
    if (sqlState.starts_with("22"))
        return kErrDataValue;
    return kErrSyntax;
}

// The name after "prefix: " in a SQLite message, without a "main." or "temp." schema.
std::string nameAfter(const std::string& message, std::string_view prefix) {
    std::string name = message.substr(prefix.size());
    for (std::string_view schema : {"main.", "temp."}) {
        if (name.starts_with(schema))
            name.erase(0, schema.size());
    }
    return name;
}

// "T.A, T.B" of a constraint message: the table.
std::string tableOfColumns(const std::string& columns) {
    return columns.substr(0, columns.find('.'));
}

Error withStatement(Error e, const std::string& statement) {
    e.statement = statement;
    return e;
}

} // namespace

bool classifySqlServerText(std::string_view text, Error& error) {
    for (const SqlServerText& known : kSqlServerTexts) {
        if (text.starts_with(known.start)) {
            error = makeError(providerCode(known.sqlState), std::string(text), std::string(known.sqlState));
            error.nativeError = known.number;
            return true;
        }
    }
    return false;
}

Error statementError(std::string message) {
    Error e;
    if (!classifySqlServerText(message, e))
        e = makeError(kErrSyntax, std::move(message), "42000");
    return e;
}

Error errorFromSqlite(sqlite3* db, int rc, const std::string& statement) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    Error e;
    if (classifySqlServerText(message, e))
        return withStatement(std::move(e), statement);
    const auto native = [&](Error x, int number) {
        x.nativeError = number;
        return withStatement(std::move(x), statement);
    };
    switch (extended & 0xFF) {
    case SQLITE_CONSTRAINT: {
        constexpr std::string_view kUnique = "UNIQUE constraint failed: ";
        constexpr std::string_view kNotNull = "NOT NULL constraint failed: ";
        if (extended == SQLITE_CONSTRAINT_PRIMARYKEY && message.starts_with(kUnique))
            return native(
                makeError(kErrIntegrityViolation,
                          "Violation of PRIMARY KEY constraint. Cannot insert duplicate key in object "
                          "'dbo." +
                              tableOfColumns(nameAfter(message, kUnique)) + "'.",
                          "23000"),
                2627);
        if (extended == SQLITE_CONSTRAINT_UNIQUE && message.starts_with(kUnique))
            return native(makeError(kErrIntegrityViolation,
                                    "Cannot insert duplicate key row in object 'dbo." +
                                        tableOfColumns(nameAfter(message, kUnique)) + "'.",
                                    "23000"),
                          2601);
        if (extended == SQLITE_CONSTRAINT_NOTNULL && message.starts_with(kNotNull)) {
            const std::string column = nameAfter(message, kNotNull);
            const auto dot = column.find('.');
            const bool update = statement.starts_with("UPDATE") || statement.starts_with("update");
            return native(makeError(kErrIntegrityViolation,
                                    "Cannot insert the value NULL into column '" + column.substr(dot + 1) +
                                        "', table '" + column.substr(0, dot) +
                                        "'; column does not allow nulls. " + (update ? "UPDATE" : "INSERT") +
                                        " fails.",
                                    "23000"),
                          515);
        }
        return withStatement(makeError(kErrIntegrityViolation, message, "23000"), statement);
    }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return withStatement(
            makeError(kErrCannotOpen, "The database is locked by another connection.", "HYT00"), statement);
    case SQLITE_READONLY:
        return withStatement(makeError(kErrCannotOpen, "The database is read-only: " + message, "HY000"),
                             statement);
    case SQLITE_NOTADB:
        return withStatement(makeError(kErrCannotOpen, "The file is not a database.", "HY000"), statement);
    case SQLITE_CANTOPEN:
        return withStatement(
            makeError(kErrCannotOpen, "The database file cannot be opened: " + message, "08001"), statement);
    default:
        break;
    }
    if (message.starts_with("no such table: "))
        return native(makeError(kErrNoSuchObject,
                                "Invalid object name '" + nameAfter(message, "no such table: ") + "'.",
                                "42S02"),
                      208);
    if (message.starts_with("no such column: "))
        return native(makeError(kErrNoSuchObject,
                                "Invalid column name '" + nameAfter(message, "no such column: ") + "'.",
                                "42S22"),
                      207);
    if (message.starts_with("no such function: "))
        return native(makeError(kErrNoSuchObject,
                                "'" + nameAfter(message, "no such function: ") +
                                    "' is not a recognized built-in function name.",
                                "42000"),
                      195);
    // SQLite's own limits on expression depth and its parser's stack.
    if (message.starts_with("Expression tree is too large") || message.starts_with("parser stack overflow"))
        return native(makeError(kErrSyntax, std::string(kNestedTooDeeply), "42000"), 191);
    constexpr std::string_view kNear = "near \"";
    if (message.starts_with(kNear) && message.ends_with("\": syntax error"))
        return native(makeError(kErrSyntax,
                                "Incorrect syntax near '" +
                                    message.substr(kNear.size(), message.size() - kNear.size() - 15) + "'.",
                                "42000"),
                      102);
    if (message.find("syntax error") != std::string::npos ||
        message.find("incomplete input") != std::string::npos)
        return native(makeError(kErrSyntax, "Incorrect syntax near the end of the statement.", "42000"), 102);
    return withStatement(makeError(kErrSyntax, message, "42000"), statement);
}

} // namespace tsqlite::detail
