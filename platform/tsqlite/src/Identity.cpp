#include "Identity.h"

#include "platform/procstart/ProcessStart.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include <signal.h>
#include <unistd.h>

namespace tsqlite::detail {

ProcessIdentity currentProcess() {
    // Kept per pid: reading the start time costs a file read, and a forked child, with its own
    // pid, reads its own.
    thread_local ProcessIdentity known{-1, 0};
    const auto pid = static_cast<std::int64_t>(::getpid());
    if (known.pid != pid)
        known = ProcessIdentity{pid, procstart::startTicks(::getpid())};
    return known;
}

bool processAlive(const ProcessIdentity& process) {
    if (process.pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(process.pid), 0) != 0 && errno == ESRCH)
        return false;
    const std::int64_t started = procstart::startTicks(process.pid);
    return started >= 0 && started == process.startTime;
}

std::string newConnectionToken() {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(static_cast<long long>(::getpid())) + "-" + std::to_string(++counter) + "-" +
           std::to_string(static_cast<long long>(now));
}

} // namespace tsqlite::detail
