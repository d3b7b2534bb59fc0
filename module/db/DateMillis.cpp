#include "module/db/DateMillis.h"

#include "module/value/Value.h"

#include <QString>
#include <cmath>
#include <utility>

namespace scadlav::db {
namespace {

constexpr std::int64_t kMillisPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The date of a count of days since 1970-01-01 (the inverse of daysFromCivil).
Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

// Splits milliseconds into whole days and the milliseconds of the day (never negative).
std::pair<std::int64_t, std::int64_t> splitDay(std::int64_t millis) {
    std::int64_t days = millis / kMillisPerDay;
    std::int64_t rest = millis % kMillisPerDay;
    if (rest < 0) {
        rest += kMillisPerDay;
        --days;
    }
    return {days, rest};
}

void twoDigits(char* out, unsigned v) {
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& out) {
    if (pos + count > s.size())
        return false;
    int v = 0;
    for (std::size_t k = pos; k < pos + count; ++k) {
        char c = s[k];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

std::optional<std::int64_t> compose(int y, int mo, int d, int h, int mi, int s, int ms) {
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * kMillisPerDay +
           ((h * 60 + mi) * 60 + s) * 1000LL + ms;
}

// The canonical forms the databases write; nullopt when the text is in some other form.
std::optional<std::optional<std::int64_t>> parseCanonical(std::string_view t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    std::size_t pos = 0;
    if (t.size() >= 10 && t[4] == '-' && t[7] == '-') {
        if (!digits(t, 0, 4, y) || !digits(t, 5, 2, mo) || !digits(t, 8, 2, d))
            return std::nullopt;
        pos = 10;
    } else if (t.size() >= 8 && digits(t, 0, 4, y) && digits(t, 4, 2, mo) && digits(t, 6, 2, d)) {
        pos = 8;
    } else {
        return std::nullopt;
    }
    if (pos < t.size()) {
        if ((t[pos] != ' ' && t[pos] != 'T') || !digits(t, pos + 1, 2, h) || pos + 3 >= t.size() ||
            t[pos + 3] != ':' || !digits(t, pos + 4, 2, mi))
            return std::nullopt;
        pos += 6;
        if (pos < t.size()) {
            if (t[pos] != ':' || !digits(t, pos + 1, 2, s))
                return std::nullopt;
            pos += 3;
            if (pos < t.size()) {
                if (t[pos] != '.')
                    return std::nullopt;
                std::size_t n = t.size() - pos - 1;
                if (n == 0 || n > 9)
                    return std::nullopt;
                int frac = 0;
                if (!digits(t, pos + 1, n, frac))
                    return std::nullopt;
                for (std::size_t k = n; k < 3; ++k)
                    frac *= 10;
                for (std::size_t k = 3; k < n; ++k)
                    frac /= 10;
                ms = frac;
            }
        }
    }
    return compose(y, mo, d, h, mi, s, ms);
}

} // namespace

std::int64_t millisFromDateTime(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    return daysFromCivil(date.year(), static_cast<unsigned>(date.month()),
                         static_cast<unsigned>(date.day())) *
               kMillisPerDay +
           (time.isValid() ? time.msecsSinceStartOfDay() : 0);
}

QDateTime dateTimeFromMillis(std::int64_t millis) {
    const auto [days, rest] = splitDay(millis);
    const QDate date = QDate(1970, 1, 1).addDays(days);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest)), Qt::UTC);
}

bool formatDateTime(std::int64_t millis, char* out) {
    const auto [days, rest] = splitDay(millis);
    const Civil date = civilFromDays(days);
    if (date.year < 0 || date.year > 9999)
        return false;
    const auto year = static_cast<unsigned>(date.year);
    const auto seconds = static_cast<unsigned>(rest / 1000);
    twoDigits(out, year / 100);
    twoDigits(out + 2, year % 100);
    out[4] = '-';
    twoDigits(out + 5, date.month);
    out[7] = '-';
    twoDigits(out + 8, date.day);
    out[10] = ' ';
    twoDigits(out + 11, seconds / 3600);
    out[13] = ':';
    twoDigits(out + 14, seconds / 60 % 60);
    out[16] = ':';
    twoDigits(out + 17, seconds % 60);
    return true;
}

std::optional<std::int64_t> millisFromText(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (auto canonical = parseCanonical(text))
        return *canonical;
    auto parsed = parseDateTimeText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (!parsed)
        return std::nullopt;
    return millisFromDateTime(*parsed);
}

std::int64_t millisFromOleDate(double days) {
    // 1899-12-30 is 25569 days before 1970-01-01.
    return static_cast<std::int64_t>(std::llround((days - 25569.0) * static_cast<double>(kMillisPerDay)));
}

} // namespace scadlav::db
