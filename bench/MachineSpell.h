#pragma once
// How fast the machine runs right now. The shared development host has quick and slow spells
// that move every figure of a benchmark by up to half; printing these two reference figures at
// the start and the end of a run tells which spell the run's figures belong to.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

namespace scadlav::bench {

struct MachineSpell {
    double computeMs = 0;       // a fixed chain of integer operations
    double memoryNsPerRead = 0; // a random walk over 64 MiB, one dependent read at a time
};

inline MachineSpell measureMachineSpell() {
    using Clock = std::chrono::steady_clock;
    MachineSpell spell;
    {
        const auto start = Clock::now();
        std::uint64_t x = 88172645463325252ULL;
        for (int i = 0; i < 100'000'000; ++i) { // each step depends on the last: no vector units
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
        }
        spell.computeMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (x == 0) // never true; keeps the loop from being dropped
            std::puts("");
    }
    {
        // One cycle through every slot in random order (Sattolo), so that each read waits for the last.
        constexpr std::uint32_t kSlots = 16u << 20;
        std::vector<std::uint32_t> next(kSlots);
        std::iota(next.begin(), next.end(), 0u);
        std::uint64_t r = 0x9E3779B97F4A7C15ULL;
        for (std::uint32_t i = kSlots - 1; i > 0; --i) {
            r ^= r << 13;
            r ^= r >> 7;
            r ^= r << 17;
            std::swap(next[i], next[static_cast<std::uint32_t>(r % i)]);
        }
        constexpr int kReads = 4'000'000;
        std::uint32_t at = 0;
        const auto start = Clock::now();
        for (int i = 0; i < kReads; ++i)
            at = next[at];
        spell.memoryNsPerRead =
            std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kReads;
        if (at == kSlots) // never true
            std::puts("");
    }
    return spell;
}

inline void printMachineSpell(const char* when) {
    const MachineSpell s = measureMachineSpell();
    std::printf("machine %s: compute %.0f ms, memory %.1f ns a random read\n", when, s.computeMs,
                s.memoryNsPerRead);
    std::fflush(stdout);
}

} // namespace scadlav::bench
