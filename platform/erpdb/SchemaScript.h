#pragma once
// The ERP's install script for the tables, indexes and views this system reads, in T-SQL
// as SQL Server accepts it, one statement per entry, in creation order.

#include <string_view>
#include <vector>

namespace erpdb::detail {

const std::vector<std::string_view>& schemaStatements();

} // namespace erpdb::detail
