#include "module/db/CellColumn.h"

#include <array>
#include <bit>
#include <string_view>
#include <type_traits>
#include <utility>

namespace scadlav::db {
namespace {

constexpr std::uint64_t kDayMillis = 86400000;
constexpr std::uint64_t kSecondMillis = 1000;
// The units of a packed date or number as types, so that dividing by them costs no division.
using Days = std::integral_constant<std::uint64_t, kDayMillis>;
using Seconds = std::integral_constant<std::uint64_t, kSecondMillis>;
using Units = std::integral_constant<std::uint64_t, 1>;

bool isText(std::uint8_t tag) {
    const auto kind = static_cast<CellKind>(tag & 7);
    return kind == CellKind::Text || kind == CellKind::Binary;
}

// Bytes enough for values up to `largest`: 0 when every value is 0.
std::uint8_t widthFor(std::uint64_t largest) {
    if (largest == 0)
        return 0;
    if (largest <= 0xFF)
        return 1;
    if (largest <= 0xFFFF)
        return 2;
    if (largest <= 0xFFFFFFFF)
        return 4;
    return 8;
}

// A small hash set of the distinct texts of a block, for the dictionary form: gives up past
// 255 texts, so that a column of mostly different texts costs a few hundred lookups a block.
class Dictionary {
public:
    static constexpr std::size_t kMax = 255;
    // The entry of `text`, added if new; -1 once there would be too many.
    int entry(std::string_view text) {
        std::size_t slot = std::hash<std::string_view>{}(text) & (kSlots - 1);
        while (m_slots[slot] != 0) {
            const int e = m_slots[slot] - 1;
            if (m_texts[static_cast<std::size_t>(e)] == text)
                return e;
            slot = (slot + 1) & (kSlots - 1);
        }
        if (m_texts.size() == kMax)
            return -1;
        m_texts.push_back(text);
        m_slots[slot] = static_cast<std::uint16_t>(m_texts.size());
        return static_cast<int>(m_texts.size()) - 1;
    }
    const std::vector<std::string_view>& texts() const { return m_texts; }

private:
    static constexpr std::size_t kSlots = 512;
    std::array<std::uint16_t, kSlots> m_slots{};
    std::vector<std::string_view> m_texts;
};

} // namespace

bool CellColumn::fitsPacked(const Block& b, std::uint64_t payload) {
    const std::uint64_t d = payload - b.base;
    if (d % b.unit != 0)
        return false;
    const std::uint64_t q = d / b.unit;
    switch (b.width) {
    case 0:
        return q == 0;
    case 1:
        return q <= 0xFF;
    case 2:
        return q <= 0xFFFF;
    case 4:
        return q <= 0xFFFFFFFF;
    default:
        return true;
    }
}

namespace {

// Room for `capacity` filled cells: from the arena when given one and the block is full-size.
void allocateFilled(std::uint8_t*& tags, std::uint64_t*& data, bool& owned, std::uint32_t capacity,
                    BlockArena* arena) {
    owned = !(capacity == CellColumn::kBlockRows && arena);
    if (owned) {
        tags = new std::uint8_t[capacity];
        data = new std::uint64_t[capacity];
    } else {
        // Full-size blocks being filled take huge pages: every row writes to every column's
        // block, and on 4 KiB pages the address translations cost a sixth of the load.
        tags = static_cast<std::uint8_t*>(arena->allocate(capacity));
        data = static_cast<std::uint64_t*>(arena->allocate(capacity * sizeof(std::uint64_t)));
    }
}

} // namespace

CellColumn::Block CellColumn::newFilled(std::uint32_t capacity, BlockArena* arena) {
    if (capacity == kBlockRows && m_spare.capacity == kBlockRows)
        return std::exchange(m_spare, Block{});
    Block b;
    allocateFilled(b.values, b.data, b.owned, capacity, arena);
    b.capacity = capacity;
    return b;
}

void CellColumn::growFilled(Block& b, std::uint32_t capacity, BlockArena* arena) {
    Block bigger;
    allocateFilled(bigger.values, bigger.data, bigger.owned, capacity, arena);
    bigger.capacity = capacity;
    std::memcpy(bigger.values, b.values, b.capacity);
    std::memcpy(bigger.data, b.data, b.capacity * sizeof(std::uint64_t));
    b = std::move(bigger);
}

void CellColumn::finishLoading() {
    m_spare = {};
    for (Block& b : m_blocks)
        if (b.form == Form::Filled && !b.owned)
            growFilled(b, b.capacity, nullptr); // the same size, on the heap
}

void CellColumn::unpack(Block& b, const Memory& memory) {
    const std::uint32_t rows = b.capacity;
    std::uint32_t capacity = 16;
    while (capacity < rows + 1 && capacity < kBlockRows)
        capacity *= 4;
    Block filled = newFilled(capacity, nullptr);
    // Each cell read as any reader reads it, whatever the block's form.
    const std::uint32_t first = static_cast<std::uint32_t>(&b - m_blocks.data()) << kBlockShift;
    for (std::uint32_t i = 0; i < rows; ++i) {
        const CellRef c = read(first + i, memory.kept, memory.loading);
        std::uint8_t tag = static_cast<std::uint8_t>(static_cast<unsigned>(c.kind) | (c.scale << 3));
        std::uint64_t payload = 0;
        switch (c.kind) {
        case CellKind::Null:
            tag = 0;
            break;
        case CellKind::Double:
            payload = std::bit_cast<std::uint64_t>(c.d);
            break;
        case CellKind::Text:
        case CellKind::Binary:
            payload = memory.kept.add(c.text);
            break;
        default:
            payload = static_cast<std::uint64_t>(c.i);
            break;
        }
        filled.tags()[i] = tag;
        filled.data[i] = payload;
    }
    // The packed bytes stay in the arena until the store goes: edits of packed blocks are few.
    b = std::move(filled);
}

std::uint64_t* CellColumn::packNulls(const Block& filled, std::uint32_t rows, BlockArena& arena) {
    auto* bits = static_cast<std::uint64_t*>(arena.allocate((rows + 63) / 64 * sizeof(std::uint64_t)));
    std::memset(bits, 0, (rows + 63) / 64 * sizeof(std::uint64_t));
    for (std::uint32_t i = 0; i < rows; ++i)
        if ((filled.tags()[i] & 7) == 0)
            bits[i >> 6] |= std::uint64_t{1} << (i & 63);
    return bits;
}

bool CellColumn::packNumbers(Block& b, std::uint32_t rows, std::uint8_t tag, std::uint32_t nullCount,
                             BlockArena& arena) {
    bool any = false;
    std::int64_t lo = 0, hi = 0;
    for (std::uint32_t i = 0; i < rows; ++i) {
        if (b.tags()[i] == 0)
            continue;
        const auto v = static_cast<std::int64_t>(b.data[i]);
        if (!any)
            lo = hi = v, any = true;
        else if (v < lo)
            lo = v;
        else if (v > hi)
            hi = v;
    }
    const auto base = static_cast<std::uint64_t>(lo);
    std::uint64_t unit = 1;
    if (static_cast<CellKind>(tag & 7) == CellKind::DateTime) {
        // Dates at midnight count in days, others in seconds when they have no milliseconds.
        auto whole = [&](auto divisor) {
            for (std::uint32_t i = 0; i < rows; ++i)
                if (b.tags()[i] != 0 && (b.data[i] - base) % divisor != 0)
                    return false;
            return true;
        };
        unit = whole(Days{}) ? kDayMillis : whole(Seconds{}) ? kSecondMillis : 1;
    }
    const std::uint8_t width = widthFor((static_cast<std::uint64_t>(hi) - base) / unit);
    if (width == 8 && unit == 1 && nullCount == 0)
        return false; // no smaller than it is
    Block packed;
    packed.form = Form::Packed;
    packed.tag = tag;
    packed.width = width;
    packed.capacity = rows;
    packed.base = base;
    packed.unit = unit;
    if (nullCount)
        packed.nulls = packNulls(b, rows, arena);
    static const std::uint8_t zeros[kReadPast] = {};
    packed.values = const_cast<std::uint8_t*>(zeros); // width 0: never written through
    if (width) {
        packed.values = static_cast<std::uint8_t*>(arena.allocate(std::size_t{rows} * width + kReadPast));
        // Constant divisors, so that no cell pays for a division.
        auto fill = [&](auto divisor) {
            for (std::uint32_t i = 0; i < rows; ++i)
                writeNarrow(packed.values, width, i, b.tags()[i] == 0 ? 0 : (b.data[i] - base) / divisor);
        };
        if (unit == kDayMillis)
            fill(Days{});
        else if (unit == kSecondMillis)
            fill(Seconds{});
        else
            fill(Units{});
    }
    m_spare = std::move(b);
    b = std::move(packed);
    return true;
}

bool CellColumn::packText(Block& b, std::uint32_t rows, std::uint8_t tag, std::uint32_t nullCount,
                          const Memory& memory) {
    BlockArena& arena = memory.packed;
    auto textOf = [&](std::uint32_t i) -> std::string_view {
        if (b.tags()[i] == 0)
            return {};
        const std::uint64_t h = b.data[i];
        return h & kLoadingText ? memory.loading.get(h & ~kLoadingText) : memory.kept.get(h);
    };
    // A dictionary when the block has few distinct texts (codes, states, names repeated).
    Dictionary dictionary;
    std::uint8_t entryOf[kBlockRows];
    std::size_t total = 0;
    bool dictionaryFits = true;
    for (std::uint32_t i = 0; i < rows; ++i) {
        const std::string_view t = textOf(i);
        total += t.size();
        if (dictionaryFits) {
            const int e = b.tags()[i] == 0 ? 0 : dictionary.entry(t);
            dictionaryFits = e >= 0;
            entryOf[i] = static_cast<std::uint8_t>(e);
        }
    }
    std::size_t dictionaryBytes = 0;
    if (dictionaryFits)
        for (std::string_view t : dictionary.texts())
            dictionaryBytes += t.size();
    const bool useDictionary = dictionaryFits && dictionaryBytes + rows < total + 2 * std::size_t{rows};
    const std::vector<std::string_view>* entries = useDictionary ? &dictionary.texts() : nullptr;
    const std::size_t entryCount = useDictionary ? entries->size() : rows;
    const std::size_t bytes = useDictionary ? dictionaryBytes : total;
    if (bytes > 0xFFFFFFFF)
        return false; // beyond 4-byte offsets: stays as filled
    const std::uint8_t width = bytes <= 0xFFFF ? 2 : 4;

    Block packed;
    packed.form = Form::Text;
    packed.tag = tag;
    packed.width = width;
    packed.capacity = rows;
    if (nullCount)
        packed.nulls = packNulls(b, rows, arena);
    auto* offsets = static_cast<std::uint8_t*>(arena.allocate((entryCount + 1) * width + kReadPast));
    char* text = static_cast<char*>(arena.allocate(bytes ? bytes : 1));
    std::uint64_t at = 0;
    for (std::size_t e = 0; e < entryCount; ++e) {
        const std::string_view t = useDictionary ? (*entries)[e] : textOf(static_cast<std::uint32_t>(e));
        writeNarrow(offsets, width, static_cast<std::uint32_t>(e), at);
        std::memcpy(text + at, t.data(), t.size());
        at += t.size();
    }
    writeNarrow(offsets, width, static_cast<std::uint32_t>(entryCount), at);
    if (useDictionary) {
        packed.values = static_cast<std::uint8_t*>(arena.allocate(rows));
        std::memcpy(packed.values, entryOf, rows);
    }
    packed.offsets = offsets;
    packed.text = text;
    m_spare = std::move(b);
    b = std::move(packed);
    return true;
}

void CellColumn::pack(std::uint32_t block, Memory& memory) {
    Block& b = m_blocks[block];
    if (b.form != Form::Filled)
        return;
    const std::uint32_t rows = block + 1 < m_blocks.size() ? kBlockRows : m_size - (block << kBlockShift);
    std::uint32_t nullCount = 0;
    std::uint8_t tag = 0;
    bool oneTag = true;
    for (std::uint32_t i = 0; i < rows; ++i) {
        const std::uint8_t t = b.tags()[i];
        if (t == 0)
            ++nullCount;
        else if (tag == 0)
            tag = t;
        else if (t != tag)
            oneTag = false;
    }
    if (nullCount == rows) {
        Block empty;
        empty.form = Form::Null;
        empty.capacity = rows;
        m_spare = std::move(b);
        b = std::move(empty);
        return;
    }
    if (oneTag && isText(tag) && packText(b, rows, tag, nullCount, memory))
        return;
    if (oneTag && !isText(tag) && packNumbers(b, rows, tag, nullCount, memory.packed))
        return;
    // Stays as filled: its texts must outlive the loading arena.
    for (std::uint32_t i = 0; i < rows; ++i)
        if (isText(b.tags()[i]) && (b.data[i] & kLoadingText))
            b.data[i] = memory.kept.add(memory.loading.get(b.data[i] & ~kLoadingText));
}

std::size_t CellColumn::bytes() const {
    std::size_t total = m_blocks.capacity() * sizeof(Block);
    for (const Block& b : m_blocks)
        if (b.owned)
            total += b.capacity * (1 + sizeof(std::uint64_t));
    return total;
}

} // namespace scadlav::db
