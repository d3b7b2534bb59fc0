#pragma once

#include <cstddef>
#include <vector>

namespace scadlav::db {

// Hands out blocks of a large record set from a few big regions that are released together.
// A result of a hundred thousand wide rows needs a few hundred megabytes; taking it page by
// page from the heap costs one page fault per 4 KiB, which on a virtual machine is as much as
// all the rest of the load. The regions ask the system for huge pages instead. Blocks are
// never freed one by one: the arena lives as long as the rows it holds.
class BlockArena {
public:
    BlockArena() = default;
    ~BlockArena();
    BlockArena(const BlockArena&) = delete;
    BlockArena& operator=(const BlockArena&) = delete;

    // Uninitialised memory, 64-byte aligned.
    void* allocate(std::size_t bytes);
    std::size_t bytesReserved() const { return m_reserved; }
    // Bytes handed out, with their alignment.
    std::size_t bytesUsed() const { return m_used; }
    void swap(BlockArena& other) noexcept;

private:
    struct Region {
        void* base = nullptr;
        std::size_t size = 0;
    };
    std::vector<Region> m_regions;
    char* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_reserved = 0;
    std::size_t m_used = 0;
};

} // namespace scadlav::db
