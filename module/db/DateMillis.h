#pragma once
// Dates as the row store keeps them: milliseconds since 1970-01-01 00:00 of the wall clock,
// with no time zone, so that a date read from the database comes back exactly as it was.
// Nothing here consults the local time zone: converting a date costs no system call, and the
// result is the same whatever zone the machine or the TZ variable names.

#include <QDateTime>
#include <cstdint>
#include <optional>
#include <string_view>

namespace scadlav::db {

// The wall-clock date and time of `value`, whatever time zone it was built in.
std::int64_t millisFromDateTime(const QDateTime& value);
// A UTC QDateTime holding the wall-clock reading: date() and time() give back exactly the
// stored digits (a local QDateTime would ask the zone, and drop a midnight that a
// daylight-saving change skips).
QDateTime dateTimeFromMillis(std::int64_t millis);
// Length of the text formatDateTime writes.
inline constexpr int kDateTimeTextLength = 19;
// Writes "yyyy-MM-dd HH:mm:ss" (kDateTimeTextLength characters, milliseconds left out) to
// `out`. False, with nothing written, for a year outside 0..9999.
bool formatDateTime(std::int64_t millis, char* out);
// Reads "YYYY-MM-DD[ HH:MM[:SS[.mmm]]]", "YYYYMMDD[ HH:MM:SS]" quickly, and every other form
// the module knows through the slower general parser. nullopt for no valid date.
std::optional<std::int64_t> millisFromText(std::string_view text);
// Days since 1899-12-30 as the run-time counts dates held in a number (0 is 30 December 1899).
std::int64_t millisFromOleDate(double days);

} // namespace scadlav::db
