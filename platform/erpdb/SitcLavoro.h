#pragma once
// The stored procedure SPPD_SITCLAVORO: the quantity in work at each phase of the open
// production orders, computed from the phase movements.

#include <tsqlite/tsqlite.h>

#include <vector>

namespace erpdb::detail {

bool runSitcLavoro(tsqlite::Connection& connection, const std::vector<tsqlite::Parameter>& parameters,
                   tsqlite::ResultSink* sink, std::vector<tsqlite::Error>& errors);

} // namespace erpdb::detail
