#pragma once
// The days nobody works in Italy, whatever the company: weekends and the national holidays.
// The host's phase scheduler builds its working calendar on these, and the schedule screen
// shades them in the order line's timeline, so both show the same days as worked.

#include <QDate>

namespace scadlav {

// Easter Sunday of a Gregorian year (the anonymous Gregorian computus).
QDate easterSunday(int year);
// The Italian national holidays: 1 and 6 January, Easter Monday, 25 April, 1 May, 2 June,
// 15 August, 1 November, 8, 25 and 26 December.
bool isNationalHoliday(const QDate& day);
// Saturday, Sunday or a national holiday.
bool isWeekendOrHoliday(const QDate& day);

} // namespace scadlav
