#pragma once
// The data the reminder letters are printed from: one record per marked reminder row with the
// phase, the item, the quantities and the supplier's general and correspondence addresses, and
// the one-row company data set of the letterhead. The record layout is what the report file
// reads, so its names, types and sizes are fixed.

#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace scadlav::reminders {

// The 68 fields of the reminder data set, in order, as the report file expects them.
inline constexpr int kReminderFieldCount = 68;

// The empty, open reminder data set.
std::unique_ptr<db::Recordset> creaDatiSolleciti();

// Adds one record to `dati` for each row of `righe` from its current row to the end (the rows
// are expected under the "PD5C_SEL = 1" filter) whose supplier is in the company's supplier
// registry. Throws a RuntimeException when a query fails.
void CaricaDatiStampa(db::Recordset& righe, db::Recordset& dati, db::Connection& connection,
                      std::int16_t company);

// The company's name, legal address and numbers for the letterhead. Throws a RuntimeException
// when the query fails.
std::unique_ptr<db::Recordset> CaricaLogo_manuale(db::Connection& connection, std::int16_t company);

// A text for the report's two parameters of at most 255 characters each: trailing blanks
// removed, then characters 1-255 and 256-510.
std::pair<QString, QString> dividiTesto(const QString& testo);

} // namespace scadlav::reminders
