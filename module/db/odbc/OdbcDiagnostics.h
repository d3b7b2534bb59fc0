#pragma once

#include "module/db/IBackend.h"
#include "module/db/odbc/OdbcText.h"

#include <sql.h>

#include <string_view>
#include <vector>

namespace scadlav::db::odbc {

// The provider code the connection's error list shows for an SQLSTATE: the codes the module
// tests for (an integrity violation above all) are the same whichever backend raised them.
std::int64_t providerCodeForSqlState(std::string_view sqlState);

// SQLite's driver reports every failure as SQLSTATE HY000 with SQLite's own result code as the
// native number; a constraint failure (code 19, also in its extended forms) becomes the
// integrity violation it is. Applies to the entries from `first` on.
void refineSqliteErrors(std::vector<ProviderError>& errors, std::size_t first);

// Appends every diagnostic record of the handle to `errors`: number = provider code of its
// SQLSTATE, description = the driver's message, SQL state and the server's native number kept.
// When the driver left no record, one entry saying what `action` failed is appended instead,
// so that a failure never comes back with an empty list.
void appendDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view action,
                       std::vector<ProviderError>& errors, TextMode mode = TextMode::Wide);

} // namespace scadlav::db::odbc
