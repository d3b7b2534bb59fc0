#pragma once
// When a process started, to tell a running process from a later one that got the same pid.

#include <cstdint>

namespace procstart {

// Start time of process `pid` in clock ticks since boot (field 22 of /proc/<pid>/stat), or -1
// when it has ended: gone, or a zombie whose parent has not collected it yet (it holds no file
// and no lock any more).
std::int64_t startTicks(std::int64_t pid);

} // namespace procstart
