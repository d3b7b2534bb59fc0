#pragma once
// Who owns a global temporary table: the process (pid and start time, so a recycled pid is not
// mistaken for the creator) and the connection within it.

#include <cstdint>
#include <string>

namespace tsqlite::detail {

struct ProcessIdentity {
    std::int64_t pid = 0;
    std::int64_t startTime = 0; // clock ticks since boot, from /proc
};

ProcessIdentity currentProcess();

// True when a process with this pid runs and started at `startTime`.
bool processAlive(const ProcessIdentity& process);

// A token unique to one connection of this process.
std::string newConnectionToken();

} // namespace tsqlite::detail
