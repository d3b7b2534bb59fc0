#pragma once
// Date values as this database stores them: text "YYYY-MM-DD HH:MM:SS.mmm".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsqlite::detail {

struct DateTime {
    int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Reads the forms the module and its host write: "YYYY-MM-DD[ HH:MM[:SS[.mmm]]]",
// "YYYYMMDD[ HH:MM[:SS[.mmm]]]", an ISO "T" between date and time, and the Italian
// "DD/MM/YYYY[ HH:MM[:SS]]". Returns nothing for anything else or an impossible date.
std::optional<DateTime> parseDate(std::string_view text);

std::string formatCanonical(const DateTime& d);

// The text of `d` in one of SQL Server's CONVERT styles (1, 3, 101, 103, 104, 105, 108, 112,
// 120, 121, ...); nothing for a style this database does not know.
std::optional<std::string> formatStyle(const DateTime& d, int style);

int daysInMonth(int year, int month);

// Days since 1970-01-01 and back.
std::int64_t daysFromCivil(int year, int month, int day);
DateTime civilFromDays(std::int64_t days);

std::int64_t toMilliseconds(const DateTime& d);
DateTime fromMilliseconds(std::int64_t ms);

DateTime now();

// SQL Server keeps a datetime in 1/300 s: the milliseconds written come back as .000, .003 or
// .007 (23:59:59.999 is the next day), and a smalldatetime to the minute (29.999 s rounds up).
DateTime roundedToDatetime(const DateTime& d);
DateTime roundedToSmallDatetime(const DateTime& d);

} // namespace tsqlite::detail
