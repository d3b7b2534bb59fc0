#include "Clock.h"

#include <tsqlite/tsqlite.h>

#include <mutex>
#include <unordered_map>

namespace tsqlite {
namespace {

// The frozen clocks, by connection handle. Clock functions run at most once per statement, so one
// lock a call costs nothing that shows.
struct FrozenClocks {
    std::mutex mutex;
    std::unordered_map<sqlite3*, std::shared_ptr<ClockFreeze>> byConnection;
};

FrozenClocks& frozenClocks() {
    static FrozenClocks* clocks = new FrozenClocks(); // never destroyed: connections may outlive statics
    return *clocks;
}

std::shared_ptr<ClockFreeze> freezeOf(sqlite3* db) {
    FrozenClocks& clocks = frozenClocks();
    std::lock_guard lock(clocks.mutex);
    const auto it = clocks.byConnection.find(db);
    return it == clocks.byConnection.end() ? nullptr : it->second;
}

} // namespace

std::string ClockFreeze::value(const std::string& function, const std::function<std::string()>& read) {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(function);
    if (it != m_values.end())
        return it->second;
    return m_values.emplace(function, read()).first->second;
}

std::string readClock(sqlite3* db, const std::string& function, const std::function<std::string()>& read) {
    if (const std::shared_ptr<ClockFreeze> freeze = freezeOf(db))
        return freeze->value(function, read);
    return read();
}

namespace detail {

void setClockFreeze(sqlite3* db, std::shared_ptr<ClockFreeze> freeze) {
    FrozenClocks& clocks = frozenClocks();
    std::lock_guard lock(clocks.mutex);
    if (freeze)
        clocks.byConnection[db] = std::move(freeze);
    else
        clocks.byConnection.erase(db);
}

} // namespace detail
} // namespace tsqlite
