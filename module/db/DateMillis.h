#pragma once
// Dates as the row store keeps them: milliseconds since 1970-01-01 00:00 of the wall clock,
// with no time zone, so that a date read from the database comes back exactly as it was.

#include <QDateTime>
#include <cstdint>
#include <optional>
#include <string_view>

namespace scadlav::db {

std::int64_t millisFromDateTime(const QDateTime& value);
QDateTime dateTimeFromMillis(std::int64_t millis);
// Reads "YYYY-MM-DD[ HH:MM[:SS[.mmm]]]", "YYYYMMDD[ HH:MM:SS]" quickly, and every other form
// the module knows through the slower general parser. nullopt for no valid date.
std::optional<std::int64_t> millisFromText(std::string_view text);
// Days since 1899-12-30 as the run-time counts dates held in a number (0 is 30 December 1899).
std::int64_t millisFromOleDate(double days);

} // namespace scadlav::db
