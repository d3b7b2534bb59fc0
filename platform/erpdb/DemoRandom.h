#pragma once
// A small random generator whose sequence depends only on its seed, on every platform and
// library version (the standard distributions do not promise that), so that one seed always
// gives the same demo database.

#include <cstdint>
#include <span>

namespace erpdb::detail {

class DemoRandom {
public:
    explicit DemoRandom(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL) {}

    // splitmix64
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A number in [0, n); 0 when n <= 0.
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

    // A number in [low, high].
    int between(int low, int high) { return high <= low ? low : low + below(high - low + 1); }

    // True with the given chance in percent.
    bool percent(int chance) { return below(100) < chance; }

    template <typename T, std::size_t N> const T& pick(const T (&items)[N]) { return items[below(int(N))]; }
    template <typename T> const T& pick(std::span<T> items) { return items[below(int(items.size()))]; }

private:
    std::uint64_t m_state;
};

} // namespace erpdb::detail
