#include "module/db/TextArena.h"

#include <cstring>
#include <utility>

namespace scadlav::db {

std::uint64_t TextArena::add(std::string_view text) {
    if (text.empty())
        return 0;
    if (text.size() > kSharedLimit) {
        Chunk chunk;
        chunk.data = newChunk(text.size());
        std::memcpy(chunk.data, text.data(), text.size());
        chunk.size = text.size();
        m_allocated += text.size();
        m_rewindable = false;
        m_chunks.push_back(std::move(chunk));
        const std::uint64_t index = m_chunks.size() - 1;
        // The length field cannot hold every size: the chunk's own size is the length.
        return (index << 44) | kLengthMask;
    }
    if (m_open == SIZE_MAX || m_chunks[m_open].size + text.size() > kChunkSize) {
        if (m_open != SIZE_MAX && m_open + 1 < m_chunks.size()) { // a chunk kept by rewind()
            ++m_open;
            return add(text);
        }
        Chunk chunk;
        chunk.data = newChunk(kChunkSize);
        m_allocated += kChunkSize;
        m_chunks.push_back(std::move(chunk));
        m_open = m_chunks.size() - 1;
    }
    Chunk& chunk = m_chunks[m_open];
    const std::uint64_t offset = chunk.size;
    std::memcpy(chunk.data + offset, text.data(), text.size());
    chunk.size += text.size();
    return (static_cast<std::uint64_t>(m_open) << 44) | (offset << 24) | text.size();
}

char* TextArena::newChunk(std::size_t bytes) {
    if (bytes != kChunkSize || m_chunks.empty()) {
        m_heap.push_back(std::make_unique_for_overwrite<char[]>(bytes));
        return m_heap.back().get();
    }
    return static_cast<char*>(m_arena.allocate(bytes));
}

void TextArena::rewind() {
    if (!m_rewindable) {
        clear();
        return;
    }
    for (Chunk& c : m_chunks)
        c.size = 0;
    m_open = m_chunks.empty() ? SIZE_MAX : 0;
}

void TextArena::clear() {
    TextArena empty;
    swap(empty);
}

void TextArena::swap(TextArena& other) noexcept {
    m_arena.swap(other.m_arena);
    std::swap(m_heap, other.m_heap);
    std::swap(m_chunks, other.m_chunks);
    std::swap(m_open, other.m_open);
    std::swap(m_allocated, other.m_allocated);
    std::swap(m_rewindable, other.m_rewindable);
}

} // namespace scadlav::db
