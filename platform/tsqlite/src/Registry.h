#pragma once
// Process-wide registrations shared by every connection: native procedures, connection
// initializers and inline table functions.

#include <tsqlite/tsqlite.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tsqlite::detail {

struct TableFunction {
    std::string name; // lower case, without "dbo."
    std::vector<std::string> columns;
    std::string body;
    int argumentCount = 0;
};

// Lower-cased name without brackets and without a leading "dbo." owner.
std::string normaliseObjectName(std::string_view name);

std::optional<Procedure> findProcedure(std::string_view name);
std::vector<std::function<void(sqlite3*)>> connectionInitializers();
std::vector<TableFunction> tableFunctions();
std::optional<TableFunction> findTableFunction(std::string_view name);

} // namespace tsqlite::detail
