#pragma once
// Memory figures for the timed drivers: the process's resident size split into anonymous
// memory (heap, record sets) and file-mapped pages (the database file read through a memory
// map, which the system can drop at any time), sampled while a piece of work runs so that the
// peak of each is known, not only the end state.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace scadlav::bench {

struct ResidentKb {
    long anon = 0; // RssAnon
    long file = 0; // RssFile + RssShmem
};

// The current split, from /proc/self/status; zeros where it cannot be read.
inline ResidentKb residentNow() {
    ResidentKb out;
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return out;
    char line[256];
    long value = 0;
    while (std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "RssAnon: %ld", &value) == 1)
            out.anon = value;
        else if (std::sscanf(line, "RssFile: %ld", &value) == 1)
            out.file += value;
        else if (std::sscanf(line, "RssShmem: %ld", &value) == 1)
            out.file += value;
    }
    std::fclose(f);
    return out;
}

// Samples the resident size every few milliseconds from its own thread while it lives.
class ResidentPeak {
public:
    ResidentPeak() : m_start(residentNow()), m_peak(m_start) {
        m_thread = std::thread([this] {
            while (!m_stop.load(std::memory_order_relaxed)) {
                sample();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~ResidentPeak() { stop(); }
    ResidentPeak(const ResidentPeak&) = delete;
    ResidentPeak& operator=(const ResidentPeak&) = delete;

    // Ends the sampling (after one last sample); the figures stay readable.
    void stop() {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
            sample();
        }
    }
    ResidentKb start() const { return m_start; }
    ResidentKb peak() const { return m_peak; }

private:
    void sample() {
        const ResidentKb now = residentNow();
        if (now.anon > m_peak.anon)
            m_peak.anon = now.anon;
        if (now.file > m_peak.file)
            m_peak.file = now.file;
    }
    ResidentKb m_start;
    ResidentKb m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The memory figures of one loaded record set.
struct LoadMemory {
    std::size_t raw = 0;   // 8 bytes per non-Null number or date, the bytes of each text
    std::size_t store = 0; // the row store
    double anonGrowthMb = 0, fileGrowthMb = 0;
    double ratio() const { return raw ? double(store) / double(raw) : 0.0; }
};

// Prints one line of memory figures for a loaded record set: its raw data, the row store,
// their ratio, and the peak growth of anonymous and file-mapped resident memory during the
// load (the sampling is stopped here); returns them.
inline LoadMemory printMemoryLine(const char* what, std::size_t raw, std::size_t store, ResidentPeak& peak) {
    peak.stop();
    const double mb = 1048576.0;
    LoadMemory m;
    m.raw = raw;
    m.store = store;
    m.anonGrowthMb = (peak.peak().anon - peak.start().anon) / 1024.0;
    m.fileGrowthMb = (peak.peak().file - peak.start().file) / 1024.0;
    std::printf("  %-34s raw %8.1f MB  store %8.1f MB (%.2f x raw)  peak anon +%.1f MB (%.2f x raw), "
                "peak file-mapped +%.1f MB; anon now %.1f MB\n",
                what, raw / mb, store / mb, m.ratio(), m.anonGrowthMb,
                raw ? m.anonGrowthMb * mb / double(raw) : 0.0, m.fileGrowthMb, residentNow().anon / 1024.0);
    std::fflush(stdout);
    return m;
}

} // namespace scadlav::bench
