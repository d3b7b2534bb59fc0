#pragma once
// The ERP's server clock, dbo.QRX_GETDATE(), on an embedded connection.

struct sqlite3;

namespace erpdb::detail {

// Defines QRX_GETDATE() on the connection. It is evaluated once per statement, as SQL
// Server evaluates its date functions, so that every row of one insert gets the same time.
int registerClockFunction(sqlite3* db);

} // namespace erpdb::detail
