#include "module/value/Holidays.h"

namespace scadlav {

QDate easterSunday(int year) {
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return QDate(year, month, day);
}

bool isNationalHoliday(const QDate& day) {
    static constexpr int kFixed[][2] = {{1, 1},  {1, 6},  {4, 25}, {5, 1},   {6, 2},
                                        {8, 15}, {11, 1}, {12, 8}, {12, 25}, {12, 26}};
    for (const auto& [month, dayOfMonth] : kFixed) {
        if (day.month() == month && day.day() == dayOfMonth)
            return true;
    }
    // Easter Monday falls between 23 March and 26 April.
    return (day.month() == 3 || day.month() == 4) && day == easterSunday(day.year()).addDays(1);
}

bool isWeekendOrHoliday(const QDate& day) {
    return day.dayOfWeek() > 5 || isNationalHoliday(day);
}

} // namespace scadlav
