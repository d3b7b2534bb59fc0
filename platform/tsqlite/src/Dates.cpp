#include "Dates.h"

#include <tsqlite/tsqlite.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tsqlite::detail {
namespace {

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

} // namespace

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

namespace {

// Parses "HH:MM[:SS[.fff]]" at `pos` through the end of the text.
bool parseTime(std::string_view s, std::size_t pos, DateTime& d) {
    if (!digits(s, pos, 2, d.hour) || pos + 2 >= s.size() || s[pos + 2] != ':' ||
        !digits(s, pos + 3, 2, d.minute))
        return false;
    pos += 5;
    if (pos < s.size() && s[pos] == ':') {
        if (!digits(s, pos + 1, 2, d.second))
            return false;
        pos += 3;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            int scale = 100;
            d.millisecond = 0;
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
                d.millisecond += (s[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
        }
    }
    return pos == s.size() && d.hour < 24 && d.minute < 60 && d.second < 60;
}

} // namespace

std::optional<DateTime> parseDate(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    DateTime d;
    std::size_t rest = 0;
    if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
        if (!digits(s, 0, 4, d.year) || !digits(s, 5, 2, d.month) || !digits(s, 8, 2, d.day))
            return std::nullopt;
        rest = 10;
    } else if (s.size() >= 10 && s[2] == '/' && s[5] == '/') {
        if (!digits(s, 0, 2, d.day) || !digits(s, 3, 2, d.month) || !digits(s, 6, 4, d.year))
            return std::nullopt;
        rest = 10;
    } else if (s.size() >= 8 && digits(s, 0, 4, d.year) && digits(s, 4, 2, d.month) &&
               digits(s, 6, 2, d.day)) {
        rest = 8;
    } else {
        return std::nullopt;
    }
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month) || d.year < 1)
        return std::nullopt;
    if (rest == s.size())
        return d;
    if (s[rest] != ' ' && s[rest] != 'T')
        return std::nullopt;
    std::size_t pos = rest + 1;
    while (pos < s.size() && s[pos] == ' ')
        ++pos;
    if (!parseTime(s, pos, d))
        return std::nullopt;
    return d;
}

std::string formatCanonical(const DateTime& d) {
    // Written by hand: every date an insert or an update writes comes through here.
    if (d.year >= 0 && d.year <= 9999 && d.month >= 0 && d.month <= 99 && d.day >= 0 && d.day <= 99 &&
        d.hour >= 0 && d.hour <= 99 && d.minute >= 0 && d.minute <= 99 && d.second >= 0 && d.second <= 99 &&
        d.millisecond >= 0 && d.millisecond <= 999) {
        char b[23];
        const int values[] = {d.year, d.month, d.day, d.hour, d.minute, d.second, d.millisecond};
        constexpr int widths[] = {4, 2, 2, 2, 2, 2, 3};
        constexpr char separators[] = "-- ::.";
        int at = 0;
        for (int field = 0; field < 7; ++field) {
            int value = values[field];
            for (int k = at + widths[field] - 1; k >= at; --k, value /= 10)
                b[k] = static_cast<char>('0' + value % 10);
            at += widths[field];
            if (field < 6)
                b[at++] = separators[field];
        }
        return std::string(b, sizeof b);
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour,
                  d.minute, d.second, d.millisecond);
    return buffer;
}

std::optional<std::string> formatStyle(const DateTime& d, int style) {
    char buffer[40];
    const int yy = d.year % 100;
    switch (style) {
    case 1:
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", d.month, d.day, yy);
        break;
    case 101:
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", d.month, d.day, d.year);
        break;
    case 3:
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", d.day, d.month, yy);
        break;
    case 103:
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", d.day, d.month, d.year);
        break;
    case 4:
        std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", d.day, d.month, yy);
        break;
    case 104:
        std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", d.day, d.month, d.year);
        break;
    case 5:
        std::snprintf(buffer, sizeof buffer, "%02d-%02d-%02d", d.day, d.month, yy);
        break;
    case 105:
        std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", d.day, d.month, d.year);
        break;
    case 8:
    case 108:
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", d.hour, d.minute, d.second);
        break;
    case 12:
        std::snprintf(buffer, sizeof buffer, "%02d%02d%02d", yy, d.month, d.day);
        break;
    case 112:
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", d.year, d.month, d.day);
        break;
    case 20:
    case 120:
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                      d.minute, d.second);
        break;
    case 21:
    case 121:
        return formatCanonical(d);
    case 23:
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
        break;
    default:
        return std::nullopt;
    }
    return std::string(buffer);
}

// Howard Hinnant's civil-date algorithms.
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy =
        (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

DateTime civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    DateTime out;
    out.year = static_cast<int>(y + (m <= 2));
    out.month = static_cast<int>(m);
    out.day = static_cast<int>(d);
    return out;
}

std::int64_t toMilliseconds(const DateTime& d) {
    return ((daysFromCivil(d.year, d.month, d.day) * 24 + d.hour) * 60 + d.minute) * 60000 + d.second * 1000 +
           d.millisecond;
}

DateTime fromMilliseconds(std::int64_t ms) {
    std::int64_t days = ms / 86400000;
    std::int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    DateTime d = civilFromDays(days);
    d.hour = static_cast<int>(rest / 3600000);
    d.minute = static_cast<int>(rest / 60000 % 60);
    d.second = static_cast<int>(rest / 1000 % 60);
    d.millisecond = static_cast<int>(rest % 1000);
    return d;
}

DateTime roundedToDatetime(const DateTime& d) {
    const int ms = tsqlite::datetimeMilliseconds(d.millisecond);
    return ms == d.millisecond ? d : fromMilliseconds(toMilliseconds(d) + (ms - d.millisecond));
}

DateTime roundedToSmallDatetime(const DateTime& d) {
    const int intoMinute = d.second * 1000 + d.millisecond;
    return fromMilliseconds(toMilliseconds(d) - intoMinute + (intoMinute >= 29999 ? 60000 : 0));
}

DateTime now() {
    const auto clock = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(clock);
    // A statement asks for the time once per row: the local reading of a second is worked out
    // once, not once per row.
    thread_local std::time_t lastSecond = -1;
    thread_local std::tm local{};
    if (t != lastSecond) {
        localtime_r(&t, &local);
        lastSecond = t;
    }
    DateTime d;
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    d.hour = local.tm_hour;
    d.minute = local.tm_min;
    d.second = local.tm_sec;
    d.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count() % 1000);
    return d;
}

} // namespace tsqlite::detail
