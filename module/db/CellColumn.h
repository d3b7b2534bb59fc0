#pragma once

#include "module/db/BlockArena.h"
#include "module/db/CellRef.h"
#include "module/db/TextArena.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace scadlav::db {

// The cells of one column, in blocks of 1024 rows: small enough that the blocks being filled of a
// wide result (193 columns) stay in the processor's second-level cache while a large statement's
// own lookups compete for it. The block being filled keeps per row a tag byte (kind and decimal
// scale) and a 64-bit payload, its text in a text arena; a full block is packed into the smallest
// form that holds its cells exactly:
// - every cell Null: nothing at all;
// - one tag for every non-Null cell (a Null bitmap beside when some are Null), and
//   - numbers, dates and booleans as offsets from the block's smallest value in 0, 1, 2, 4 or 8
//     bytes, counted in whole days, seconds or units (a date at midnight takes 2 bytes),
//   - text as its bytes one after another with their offsets (2 or 4 bytes a cell), or, when
//     the block has few distinct texts, as a dictionary and one byte a cell;
// - cells of mixed kinds stay as they were filled.
// A packed block is read in place; a write it cannot take (another kind, a value out of its
// range, any text) turns it back into the filled form first.
class CellColumn {
public:
    static constexpr std::uint32_t kBlockShift = 10;
    static constexpr std::uint32_t kBlockRows = 1u << kBlockShift;
    // A payload handle with this bit set points into the loading text arena, not the kept one.
    static constexpr std::uint64_t kLoadingText = std::uint64_t{1} << 63;

    // Where the cells of a store live: the text of cells not packed in `kept` for good, or in
    // `loading` until the block being filled is packed; packed blocks in `packed`; blocks being
    // filled while loading in `filling` (none after loading: from the heap then).
    struct Memory {
        TextArena& kept;
        TextArena& loading;
        BlockArena& packed;
        BlockArena* filling;
    };

    [[gnu::always_inline]] CellRef read(std::uint32_t row, const TextArena& kept,
                                        const TextArena& loading) const {
        const Block& b = m_blocks[row >> kBlockShift];
        const std::uint32_t i = row & (kBlockRows - 1);
        std::uint8_t tag = 0;
        std::uint64_t payload = 0;
        if (b.form == Form::Packed) {
            if (b.nulls && (b.nulls[i >> 6] >> (i & 63) & 1))
                return {};
            tag = b.tag;
            payload = b.base + b.unit * narrow(b.values, b.width, i);
        } else if (b.form == Form::Filled) {
            tag = b.values[i];
            payload = b.data[i];
        } else if (b.form == Form::Text) {
            if (b.nulls && (b.nulls[i >> 6] >> (i & 63) & 1))
                return {};
            CellRef out;
            out.kind = static_cast<CellKind>(b.tag & 7);
            const std::uint32_t entry = b.values ? b.values[i] : i;
            const std::uint64_t from = narrow(b.offsets, b.width, entry);
            const std::uint64_t to = narrow(b.offsets, b.width, entry + 1);
            out.text = {b.text + from, static_cast<std::size_t>(to - from)};
            return out;
        } else {
            return {};
        }
        CellRef out;
        out.kind = static_cast<CellKind>(tag & 7);
        out.scale = static_cast<std::uint8_t>(tag >> 3);
        switch (out.kind) {
        case CellKind::Null:
            break;
        case CellKind::Double:
            out.d = std::bit_cast<double>(payload);
            break;
        case CellKind::Text:
        case CellKind::Binary:
            out.text = payload & kLoadingText ? loading.get(payload & ~kLoadingText) : kept.get(payload);
            break;
        default:
            out.i = static_cast<std::int64_t>(payload);
            break;
        }
        return out;
    }

    // Writes a cell of a row already there; a text payload is a handle into `memory`'s texts.
    void set(std::uint32_t row, std::uint8_t tag, std::uint64_t payload, Memory& memory) {
        Block& b = m_blocks[row >> kBlockShift];
        const std::uint32_t i = row & (kBlockRows - 1);
        if (b.form == Form::Packed && tag == b.tag && fitsPacked(b, payload)) {
            writeNarrow(b.values, b.width, i, (payload - b.base) / b.unit);
            if (b.nulls)
                b.nulls[i >> 6] &= ~(std::uint64_t{1} << (i & 63));
            return;
        }
        if (b.form != Form::Filled)
            unpack(b, memory);
        b.tags()[i] = tag;
        b.data[i] = payload;
    }

    // Appends a cell.
    void push(std::uint8_t tag, std::uint64_t payload, Memory& memory) {
        const std::uint32_t index = m_size & (kBlockRows - 1);
        if (index == 0 && (m_size >> kBlockShift) == m_blocks.size())
            m_blocks.push_back(newFilled(m_blocks.empty() ? 16 : kBlockRows, memory.filling));
        Block& b = m_blocks.back();
        if (b.form != Form::Filled)
            unpack(b, memory);
        if (index == b.capacity)
            growFilled(b, b.capacity * 4 < kBlockRows ? b.capacity * 4 : kBlockRows, memory.filling);
        b.tags()[index] = tag;
        b.data[index] = payload;
        ++m_size;
    }

    // Packs block `block` (full, or the last one when loading ends); a block that stays
    // unpacked moves its loading texts to the kept arena.
    void pack(std::uint32_t block, Memory& memory);
    // When loading ends: drops the spare block and moves blocks left unpacked out of the
    // filling arena, which the store then releases.
    void finishLoading();

    std::uint32_t size() const { return m_size; }
    std::uint32_t blockCount() const { return static_cast<std::uint32_t>(m_blocks.size()); }
    // Bytes held outside the arena: block descriptions and the blocks not packed.
    std::size_t bytes() const;

private:
    enum class Form : std::uint8_t { Filled, Null, Packed, Text };
    // One block's description: 64 bytes, so that finding it costs a shift.
    struct Block {
        Form form = Form::Filled;
        std::uint8_t tag = 0;       // Packed, Text: the tag of every non-Null cell
        std::uint8_t width = 0;     // Packed: bytes a value; Text: bytes an offset
        bool owned = false;         // Filled: tags and data are from the heap
        std::uint32_t capacity = 0; // rows held (packed) or there is room for (filled)
        std::uint64_t base = 0;     // Packed: payload = base + unit * value
        std::uint64_t unit = 1;
        std::uint64_t* nulls = nullptr;        // Packed, Text: bit set for a Null cell; none if no Null
        std::uint8_t* values = nullptr;        // Packed: values; Text: dictionary entries, or none;
                                               // Filled: the tags
        const std::uint8_t* offsets = nullptr; // Text: width-byte offsets into `text`
        const char* text = nullptr;
        std::uint64_t* data = nullptr; // Filled: the payloads

        Block() = default;
        Block(Block&& other) noexcept { take(other); }
        Block& operator=(Block&& other) noexcept {
            if (this != &other) {
                release();
                take(other);
            }
            return *this;
        }
        ~Block() { release(); }
        std::uint8_t* tags() const { return values; }

    private:
        void release() {
            if (owned) {
                delete[] values;
                delete[] data;
            }
            owned = false;
        }
        void take(Block& other) {
            std::memcpy(static_cast<void*>(this), &other, sizeof(Block));
            other.owned = false;
            other.values = nullptr;
            other.data = nullptr;
            other.capacity = 0;
            other.form = Form::Filled;
        }
    };
    static_assert(sizeof(Block) == 64);
    static_assert(std::endian::native == std::endian::little);

    // Value `i` of an array of `width`-byte values (little-endian), read as 8 bytes and masked,
    // so that no width costs a branch: every array is readable 8 bytes past its end, and a
    // block of width 0 points at zeros.
    static constexpr std::uint64_t kWidthMask[9] = {0, 0xFF, 0xFFFF,           0, 0xFFFFFFFF, 0,
                                                    0, 0,    ~std::uint64_t{0}};
    static constexpr std::size_t kReadPast = 8;
    static std::uint64_t narrow(const std::uint8_t* values, std::uint8_t width, std::uint32_t i) {
        std::uint64_t v;
        std::memcpy(&v, values + std::size_t{i} * width, sizeof v);
        return v & kWidthMask[width];
    }
    static void writeNarrow(std::uint8_t* values, std::uint8_t width, std::uint32_t i, std::uint64_t v) {
        switch (width) {
        case 1:
            values[i] = static_cast<std::uint8_t>(v);
            break;
        case 2: {
            const auto n = static_cast<std::uint16_t>(v);
            std::memcpy(values + 2 * std::size_t{i}, &n, 2);
            break;
        }
        case 4: {
            const auto n = static_cast<std::uint32_t>(v);
            std::memcpy(values + 4 * std::size_t{i}, &n, 4);
            break;
        }
        case 8:
            std::memcpy(values + 8 * std::size_t{i}, &v, 8);
            break;
        default:
            break;
        }
    }
    static bool fitsPacked(const Block& b, std::uint64_t payload);
    Block newFilled(std::uint32_t capacity, BlockArena* arena);
    static void growFilled(Block& b, std::uint32_t capacity, BlockArena* arena);
    // Back to the filled form, texts into the kept arena.
    void unpack(Block& b, const Memory& memory);
    bool packNumbers(Block& b, std::uint32_t rows, std::uint8_t tag, std::uint32_t nullCount,
                     BlockArena& arena);
    bool packText(Block& b, std::uint32_t rows, std::uint8_t tag, std::uint32_t nullCount,
                  const Memory& memory);
    static std::uint64_t* packNulls(const Block& filled, std::uint32_t rows, BlockArena& arena);

    std::vector<Block> m_blocks;
    Block m_spare; // a full-size filled block packed away, reused for the next rows
    std::uint32_t m_size = 0;
};

} // namespace scadlav::db
