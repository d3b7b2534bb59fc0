#pragma once
// Stand-ins for the ERP database objects the module calls, registered through the embedded
// database's API: a fixed dbo.QRX_GETDATE(), the table functions FNMG62_TESTIFIS and
// FNMG36_DOCUMENTI, and a small SPPD_SITCLAVORO that fills the stock-in-phase table.

namespace tsqlite::testing {

// The date QRX_GETDATE() returns.
inline constexpr const char* kFixedNow = "2024-03-15 12:00:00.000";

// Registers the objects once per process (before any connection opens).
void registerErpFixtureObjects();

} // namespace tsqlite::testing
