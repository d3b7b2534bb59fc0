#include "module/db/odbc/OdbcDiagnostics.h"

#include "module/db/odbc/OdbcText.h"

#include <sqlext.h>

#include <algorithm>

namespace scadlav::db::odbc {

namespace {

constexpr std::int64_t code(std::uint32_t hresult) {
    return static_cast<std::int32_t>(hresult);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::int64_t providerCodeForSqlState(std::string_view sqlState) {
    if (startsWith(sqlState, "23"))
        return code(0x80040E2F); // integrity violation: duplicate key, foreign key, not null
    if (sqlState == "42S02" || sqlState == "42S12")
        return code(0x80040E37); // no such table or index
    if (startsWith(sqlState, "42") || startsWith(sqlState, "37"))
        return code(0x80040E14); // error in the command text
    if (sqlState == "22001")
        return code(0x80040E57); // text or binary value too long for its column
    if (startsWith(sqlState, "22") || sqlState == "07006")
        return code(0x80040E07); // value cannot be converted
    if (sqlState == "HYT00" || sqlState == "HYT01")
        return code(0x80040E31); // timeout expired
    if (sqlState == "HY008")
        return code(0x80040E4E); // operation cancelled
    return kErrGeneric;
}

void refineSqliteErrors(std::vector<ProviderError>& errors, std::size_t first) {
    constexpr std::int64_t kSqliteConstraint = 19;
    for (std::size_t i = first; i < errors.size(); ++i) {
        if (errors[i].sqlState == "HY000" && (errors[i].nativeError & 0xFF) == kSqliteConstraint) {
            errors[i].number = providerCodeForSqlState("23000");
            errors[i].sqlState = "23000";
        }
    }
}

namespace {

// Reads diagnostic record `record`; false when there is none.
bool readRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, TextMode mode,
                ProviderError& error) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (mode == TextMode::Utf8) {
        SQLCHAR state[6] = {};
        SQLCHAR message[2048] = {};
        SQLRETURN rc =
            SQLGetDiagRec(handleType, handle, record, state, &native, message, sizeof(message), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            return false;
        error.sqlState = reinterpret_cast<const char*>(state);
        error.description =
            std::string(reinterpret_cast<const char*>(message),
                        std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), sizeof(message) - 1));
    } else {
        SQLWCHAR state[6] = {};
        SQLWCHAR message[2048] = {};
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                      static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            return false;
        error.sqlState = toUtf8(state, 5);
        error.description =
            toUtf8(message, std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), std::size(message) - 1));
    }
    error.nativeError = native;
    error.number = providerCodeForSqlState(error.sqlState);
    return true;
}

} // namespace

void appendDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view action,
                       std::vector<ProviderError>& errors, TextMode mode) {
    const std::size_t before = errors.size();
    if (handle != SQL_NULL_HANDLE) {
        for (SQLSMALLINT record = 1;; ++record) {
            ProviderError error;
            if (!readRecord(handleType, handle, record, mode, error))
                break;
            errors.push_back(std::move(error));
        }
    }
    if (errors.size() == before) {
        ProviderError error;
        error.number = kErrGeneric;
        error.description = "ODBC: " + std::string(action) + " failed and the driver gave no reason";
        errors.push_back(std::move(error));
    }
}

} // namespace scadlav::db::odbc
