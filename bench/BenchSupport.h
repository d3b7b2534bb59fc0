#pragma once
// What the timed drivers share: ending on a failure with its reason, running a statement that
// must succeed, and timing a piece of work in the processor time of this thread.

#include "module/db/Connection.h"

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

namespace scadlav::bench {

[[noreturn]] inline void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

inline void exec(db::Connection& c, const QString& sql) {
    if (!c.execute(sql, db::kCmdTextNoRecords))
        die(QStringLiteral("statement failed: ") + c.lastErrorText());
}

// Processor time of this thread: on a shared machine the wall clock mostly measures the other
// processes.
inline double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The best of a few runs by processor time, with the wall time of that run alongside.
struct Timing {
    double cpu = 1e9;
    double wall = 0;
};

// Best of `runs` runs; `prepare` runs before each one, untimed.
inline Timing measure(const std::function<void()>& work, const std::function<void()>& prepare = {},
                      int runs = 3) {
    Timing best;
    for (int r = 0; r < runs; ++r) {
        if (prepare)
            prepare();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        work();
        const double cpu = cpuNow() - cpuStart;
        if (cpu < best.cpu) {
            best.cpu = cpu;
            best.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    return best;
}

} // namespace scadlav::bench
