#pragma once
// Global temporary tables ("##name"): real tables of the database file, recorded in a catalog
// with the connection that created them, so they can be dropped when that connection closes
// or, after a crash, when the database is next opened.

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <string>
#include <vector>

namespace tsqlite::detail {

inline constexpr const char* kCatalogTable = "tsqlite_global_temps";

// Creates the catalog when missing and drops the tables of processes that no longer run.
bool prepareGlobalTemps(sqlite3* db, std::vector<Error>& errors);

// Records a table created by the connection `token` of this process.
bool recordGlobalTemp(sqlite3* db, const std::string& name, const std::string& token,
                      std::vector<Error>& errors);
bool forgetGlobalTemp(sqlite3* db, const std::string& name, std::vector<Error>& errors);

// Drops every table the connection `token` created.
void dropGlobalTempsOf(sqlite3* db, const std::string& token);

} // namespace tsqlite::detail
