#pragma once

#include "module/db/BlockArena.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace scadlav::db {

// Holds the text of a row store in large chunks instead of one allocation per cell. A text
// is addressed by a 64-bit handle: chunk (19 bits), offset in the chunk (20 bits), length
// (24 bits); the top bit is left to the caller. A text too long for a shared chunk gets a
// chunk of its own. Texts are never freed one by one: an overwritten value leaves its old
// bytes behind until the store is reloaded, which is fine for the few edits a screen makes.
// The first chunk and long texts come from the heap, the further chunks of a large store from
// an arena.
class TextArena {
public:
    std::uint64_t add(std::string_view text);
    std::string_view get(std::uint64_t handle) const {
        const std::uint64_t chunk = (handle >> 44) & kChunkMask;
        const std::uint64_t offset = (handle >> 24) & kOffsetMask;
        std::uint64_t length = handle & kLengthMask;
        if (length == 0)
            return {};
        if (length == kLengthMask)
            length = m_chunks[chunk].size;
        return {m_chunks[chunk].data + offset, static_cast<std::size_t>(length)};
    }
    std::size_t bytesAllocated() const { return m_allocated; }
    void swap(TextArena& other) noexcept;
    // Forgets every text and gives their memory back (the regions to the arena pool).
    void clear();
    // Forgets every text but keeps the chunks for the texts to come (all of them, unless a
    // text had a chunk of its own).
    void rewind();

private:
    static constexpr std::uint64_t kChunkSize = 1u << 20;
    static constexpr std::uint64_t kChunkMask = (1u << 19) - 1;
    static constexpr std::uint64_t kOffsetMask = (1u << 20) - 1;
    static constexpr std::uint64_t kLengthMask = (1u << 24) - 1;
    // Texts up to this size share chunks; longer ones get their own.
    static constexpr std::size_t kSharedLimit = 64 * 1024;

    struct Chunk {
        char* data = nullptr;
        std::size_t size = 0; // bytes used
    };
    char* newChunk(std::size_t bytes);

    BlockArena m_arena;
    std::vector<std::unique_ptr<char[]>> m_heap;
    std::vector<Chunk> m_chunks;
    std::size_t m_open = SIZE_MAX; // chunk being filled
    std::size_t m_allocated = 0;
    bool m_rewindable = true; // every chunk is a shared one
};

} // namespace scadlav::db
