#pragma once

#include <memory>

struct sqlite3;

namespace tsqlite {
class ClockFreeze;

namespace detail {
// Attaches connection `db` to `freeze`; nullptr detaches it (and must be done before it closes,
// as another connection may get the same handle).
void setClockFreeze(sqlite3* db, std::shared_ptr<ClockFreeze> freeze);
} // namespace detail
} // namespace tsqlite
