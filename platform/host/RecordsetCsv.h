#pragma once
// The CSV that the batch export writes for scripts, straight from a record set's stored cells:
// a header of the field names, then one line per visible row, every field as its text (Null
// empty, dates "yyyy-MM-dd HH:mm:ss", decimals exact as held, booleans True/False), each field
// quoted as csvField quotes it, lines ended by CR LF, UTF-8. No Value or QString is built per
// cell, and dates are written digit by digit without asking the local time zone.

#include "module/db/CellRef.h"

#include <string>

class QIODevice;

namespace scadlav::db {
class Recordset;
}

namespace erphost {

// Appends the CSV field of one stored cell to `out`.
void appendCsvCell(std::string& out, const scadlav::db::CellRef& cell);

// Writes the header and every visible row of `rows` to `device` through a buffer; `written`
// is the number of data rows. False when the device refused a write or the rows could not be
// read.
bool writeRecordsetCsv(const scadlav::db::Recordset& rows, QIODevice& device, int& written);

} // namespace erphost
