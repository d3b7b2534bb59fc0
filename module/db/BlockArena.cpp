#include "module/db/BlockArena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace scadlav::db {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kFirstRegion = std::size_t{4} << 20;
constexpr std::size_t kLargestRegion = std::size_t{64} << 20;
constexpr std::size_t kAlign = 64;

// A region of `size` bytes (a multiple of the huge page size) starting on a huge-page
// boundary, so that every 2 MiB of it can be backed by one huge page.
void* mapRegion(std::size_t size) {
#if defined(__linux__)
    const std::size_t span = size + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    if (const std::uintptr_t tail = start + span - (aligned + size); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* region = reinterpret_cast<void*>(aligned);
    madvise(region, size, MADV_HUGEPAGE); // advice only: without it the region still works
    return region;
#else
    return std::aligned_alloc(kHugePage, size);
#endif
}

void unmapRegion(void* base, std::size_t size) {
#if defined(__linux__)
    munmap(base, size);
#else
    (void)size;
    std::free(base);
#endif
}

// Regions of record sets already closed, kept for the next large result: showing the schedule
// again closes the old rows just before loading the new ones, and a kept region needs neither
// a new mapping nor the zeroing of its pages. The system may still take their pages back when
// it runs short of memory (MADV_FREE); what is kept beyond the cap is returned at once.
class RegionPool {
public:
    void* take(std::size_t size) {
        std::lock_guard lock(m_mutex);
        for (auto it = m_regions.begin(); it != m_regions.end(); ++it) {
            if (it->second == size) {
                void* base = it->first;
                m_regions.erase(it);
                m_kept -= size;
                return base;
            }
        }
        return nullptr;
    }
    void give(void* base, std::size_t size) {
        {
            std::lock_guard lock(m_mutex);
            if (m_kept + size <= kCap) {
#if defined(__linux__) && defined(MADV_FREE)
                madvise(base, size, MADV_FREE);
#endif
                m_regions.emplace_back(base, size);
                m_kept += size;
                return;
            }
        }
        unmapRegion(base, size);
    }

private:
    static constexpr std::size_t kCap = std::size_t{512} << 20;
    std::mutex m_mutex;
    std::vector<std::pair<void*, std::size_t>> m_regions;
    std::size_t m_kept = 0;
};

RegionPool& pool() {
    static RegionPool* instance = new RegionPool(); // never destroyed: arenas may outlive statics
    return *instance;
}

} // namespace

BlockArena::~BlockArena() {
    for (const Region& r : m_regions)
        pool().give(r.base, r.size);
}

void* BlockArena::allocate(std::size_t bytes) {
    bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
    if (bytes > m_left) {
        // Each region doubles the last, so a growing result maps few regions and a small one
        // stays small.
        std::size_t size =
            m_regions.empty() ? kFirstRegion : std::min(m_regions.back().size * 2, kLargestRegion);
        size = std::max(size, (bytes + kHugePage - 1) & ~(kHugePage - 1));
        void* base = pool().take(size);
        if (!base)
            base = mapRegion(size);
        if (!base)
            throw std::bad_alloc();
        m_regions.push_back({base, size});
        m_reserved += size;
        m_next = static_cast<char*>(base);
        m_left = size;
    }
    void* out = m_next;
    m_next += bytes;
    m_left -= bytes;
    m_used += bytes;
    return out;
}

void BlockArena::swap(BlockArena& other) noexcept {
    std::swap(m_regions, other.m_regions);
    std::swap(m_next, other.m_next);
    std::swap(m_left, other.m_left);
    std::swap(m_reserved, other.m_reserved);
    std::swap(m_used, other.m_used);
}

} // namespace scadlav::db
