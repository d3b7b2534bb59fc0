#pragma once

#include <QString>
#include <cstdint>

namespace scadlav::db {

// One entry of a connection's error list (its Errors collection): what the provider or this
// layer reports about a failed operation.
struct DbError {
    std::int64_t number = 0; // provider code, e.g. -2147217873 (0x80040E2F) for a unique key
    QString description;
    QString sqlState;             // "23000", "08001", ... or empty
    std::int64_t nativeError = 0; // the server's own number (8115, 2627, ...) where it gives one
    QString statement{};          // the statement as the database ran it: for the error log, never shown
};

// Codes this layer uses for failures it detects itself (ADO's numbers for the same cases).
inline constexpr std::int64_t kErrBadArgument = static_cast<std::int32_t>(0x800A0BB9);   // wrong argument
inline constexpr std::int64_t kErrObjectClosed = static_cast<std::int32_t>(0x800A0E78);  // object closed
inline constexpr std::int64_t kErrNoCurrentRow = static_cast<std::int32_t>(0x800A0BCD);  // BOF or EOF
inline constexpr std::int64_t kErrNotFound = static_cast<std::int32_t>(0x800A0CC1);      // no such field
inline constexpr std::int64_t kErrReadOnly = static_cast<std::int32_t>(0x800A0CB3);      // not updatable
inline constexpr std::int64_t kErrRowNotLocated = static_cast<std::int32_t>(0x80040E38); // row changed/gone
inline constexpr std::int64_t kErrTypeMismatch = static_cast<std::int32_t>(0x80020005); // value of wrong type

} // namespace scadlav::db
