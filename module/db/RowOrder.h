#pragma once

#include <cstdint>
#include <vector>

namespace scadlav::db {

class RowStore;

// Orders store rows by a list of fields (Nulls first; each field ascending unless
// `descending`), rows with equal keys in store order. The first field is reduced once per row
// to a fixed-size key, so most comparisons never touch the store.
void sortRows(const RowStore& store, std::vector<std::uint32_t>& rows, const std::vector<int>& fields,
              const std::vector<bool>& descending);

} // namespace scadlav::db
