#include "Identity.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

#include <signal.h>
#include <unistd.h>

namespace tsqlite::detail {
namespace {

// Field 22 of /proc/<pid>/stat, or -1 when the process has ended: gone, or a zombie whose parent
// has not collected it yet (it holds no file and no lock any more). The command name (field 2)
// may hold blanks, so parsing starts after its closing parenthesis; field 3 is the state.
std::int64_t startTimeOf(std::int64_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = content.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(content.substr(close + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 3 && (field == "Z" || field == "X"))
            return -1;
        if (index == 22)
            return std::stoll(field);
    }
    return -1;
}

} // namespace

ProcessIdentity currentProcess() {
    // Kept per pid: reading the start time costs a file read, and a forked child, with its own
    // pid, reads its own.
    thread_local ProcessIdentity known{-1, 0};
    const auto pid = static_cast<std::int64_t>(::getpid());
    if (known.pid != pid)
        known = ProcessIdentity{pid, startTimeOf(::getpid())};
    return known;
}

bool processAlive(const ProcessIdentity& process) {
    if (process.pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(process.pid), 0) != 0 && errno == ESRCH)
        return false;
    const std::int64_t started = startTimeOf(process.pid);
    return started >= 0 && started == process.startTime;
}

std::string newConnectionToken() {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(static_cast<long long>(::getpid())) + "-" + std::to_string(++counter) + "-" +
           std::to_string(static_cast<long long>(now));
}

} // namespace tsqlite::detail
