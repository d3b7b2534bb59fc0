#pragma once

#include "module/db/BlockArena.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace scadlav::db {

// Frees a block taken from the heap; a block from the arena goes with the arena.
struct HeapFree {
    bool owned = true;
    template <typename T> void operator()(T* p) const {
        if (owned)
            delete[] p;
    }
};

// The cells of one column: a tag byte and a 64-bit payload per row, in blocks of 4096 rows.
// Blocks never move once full, so a growing result is not copied over and over; only the
// last block grows (up to its full size), which keeps a small record set small. Full blocks
// come from the store's arena; the smaller first sizes from the heap.
class CellColumn {
public:
    static constexpr std::uint32_t kBlockShift = 12;
    static constexpr std::uint32_t kBlockRows = 1u << kBlockShift;

    std::uint8_t tag(std::uint32_t row) const {
        return m_blocks[row >> kBlockShift].tags[row & (kBlockRows - 1)];
    }
    std::uint64_t payload(std::uint32_t row) const {
        return m_blocks[row >> kBlockShift].data[row & (kBlockRows - 1)];
    }
    void set(std::uint32_t row, std::uint8_t tag, std::uint64_t payload) {
        Block& b = m_blocks[row >> kBlockShift];
        b.tags[row & (kBlockRows - 1)] = tag;
        b.data[row & (kBlockRows - 1)] = payload;
    }
    void push(std::uint8_t tag, std::uint64_t payload, BlockArena& arena) {
        const std::uint32_t index = m_size & (kBlockRows - 1);
        if (index == 0 && (m_size >> kBlockShift) == m_blocks.size())
            m_blocks.push_back(m_blocks.empty() ? Block::fromHeap(16) : Block::fromArena(arena));
        Block& b = m_blocks.back();
        if (index == b.capacity)
            b.grow(b.capacity * 4 < kBlockRows ? b.capacity * 4 : kBlockRows, arena);
        b.tags[index] = tag;
        b.data[index] = payload;
        ++m_size;
    }
    std::uint32_t size() const { return m_size; }
    std::size_t bytes() const {
        std::size_t total = m_blocks.capacity() * sizeof(Block);
        for (const Block& b : m_blocks)
            total += b.capacity * (1 + sizeof(std::uint64_t));
        return total;
    }

private:
    struct Block {
        std::unique_ptr<std::uint8_t[], HeapFree> tags;
        std::unique_ptr<std::uint64_t[], HeapFree> data;
        std::uint32_t capacity = 0;

        static Block fromHeap(std::uint32_t capacity) {
            Block b;
            b.tags = {new std::uint8_t[capacity], HeapFree{true}};
            b.data = {new std::uint64_t[capacity], HeapFree{true}};
            b.capacity = capacity;
            return b;
        }
        static Block fromArena(BlockArena& arena) {
            Block b;
            b.tags = {static_cast<std::uint8_t*>(arena.allocate(kBlockRows)), HeapFree{false}};
            b.data = {static_cast<std::uint64_t*>(arena.allocate(kBlockRows * sizeof(std::uint64_t))),
                      HeapFree{false}};
            b.capacity = kBlockRows;
            return b;
        }
        void grow(std::uint32_t capacity, BlockArena& arena) {
            Block bigger = capacity == kBlockRows ? fromArena(arena) : fromHeap(capacity);
            std::memcpy(bigger.tags.get(), tags.get(), this->capacity);
            std::memcpy(bigger.data.get(), data.get(), this->capacity * sizeof(std::uint64_t));
            *this = std::move(bigger);
        }
    };
    std::vector<Block> m_blocks;
    std::uint32_t m_size = 0;
};

} // namespace scadlav::db
