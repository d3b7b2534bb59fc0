#pragma once
// Dates as the user types and reads them: day first, four-digit year (dd/mm/yyyy).

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace erpctl {

// Reads a date typed by a user: "dd/mm/yyyy", "d/m/yy", with "/", "-" or "." between the parts,
// the bare digits "ddmmyyyy" or "ddmmyy", and the ISO form "yyyy-mm-dd" (with or without a
// time) that databases return. Two-digit years below 30 are 20xx, the others 19xx.
// std::nullopt for an empty text, a text that is no date, or an impossible day (31/02/2024).
std::optional<QDate> parseDateText(const QString& text);

// "dd/MM/yyyy", the form every date field of the kit shows; "" for an invalid date.
QString formatDateText(const QDate& date);

// The locale's short date format with the year widened to four digits, so that Italian shows
// 05/12/2026 and not 05/12/26.
QString localeDateFormat(const QLocale& locale);

} // namespace erpctl
