#include "Collation.h"

#include <sqlite3.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace tsqlite::detail {
namespace {

char32_t decode(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    auto cont = [&](std::size_t k) -> int {
        if (pos + k >= s.size())
            return -1;
        const auto b = static_cast<unsigned char>(s[pos + k]);
        return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
    };
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0) {
        int c1 = cont(1);
        if (c1 >= 0) {
            pos += 2;
            return static_cast<char32_t>(((b0 & 0x1F) << 6) | c1);
        }
    } else if ((b0 & 0xF0) == 0xE0) {
        int c1 = cont(1), c2 = cont(2);
        if (c1 >= 0 && c2 >= 0) {
            pos += 3;
            return static_cast<char32_t>(((b0 & 0x0F) << 12) | (c1 << 6) | c2);
        }
    } else if ((b0 & 0xF8) == 0xF0) {
        int c1 = cont(1), c2 = cont(2), c3 = cont(3);
        if (c1 >= 0 && c2 >= 0 && c3 >= 0) {
            pos += 4;
            return static_cast<char32_t>(((b0 & 0x07) << 18) | (c1 << 12) | (c2 << 6) | c3);
        }
    }
    ++pos;
    return b0;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Eight ASCII bytes with A-Z turned to a-z: a byte gets its 0x20 bit where adding 0x3F carries
// into its high bit (at least 'A') and adding 0x25 does not (at most 'Z'). No byte carries into
// the next, every byte being below 0x80.
std::uint64_t lowerAscii8(std::uint64_t x) {
    const std::uint64_t atLeastA = x + 0x3F3F3F3F3F3F3F3FULL;
    const std::uint64_t pastZ = x + 0x2525252525252525ULL;
    return x | (((atLeastA & ~pastZ) & kHighBits) >> 2);
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

int collate(void*, int lenA, const void* a, int lenB, const void* b) {
    return compareText(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(lenA)),
                       std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lenB)));
}

} // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    return decode(s, pos);
}

char32_t foldCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c == 0x178)
        return 0xFF; // Ÿ, in the middle of Latin Extended-A, is the capital of ÿ
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A alternates upper/lower, with a shifted run from U+0139 to U+0148
        // and from U+0179 to U+017E.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32; // Greek
    if (c >= 0x410 && c <= 0x42F)
        return c + 32; // Cyrillic
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

char32_t upperCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2)
        return c - 32; // Greek
    if (c >= 0x430 && c <= 0x44F)
        return c - 32; // Cyrillic
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int compareText(std::string_view a, std::string_view b) {
    a = trimRight(a);
    b = trimRight(b);
    // Codes and keys are nearly always plain ASCII: compare eight bytes at a time, then byte by
    // byte, until the first non-ASCII byte, which is then a character boundary on both sides.
    // Index builds and lookups on text keys call this for most of their comparisons.
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    std::size_t k = 0;
    for (; k + 8 <= common; k += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + k, 8);
        std::memcpy(&y, b.data() + k, 8);
        if (x == y) {
            if (x & kHighBits)
                break;
            continue;
        }
        if ((x | y) & kHighBits)
            break;
        x = lowerAscii8(x);
        y = lowerAscii8(y);
        if (x != y) {
            // The first differing byte is the lowest one in memory order.
            const int shift = std::endian::native == std::endian::little
                                  ? std::countr_zero(x ^ y) & ~7
                                  : 56 - (std::countl_zero(x ^ y) & ~7);
            return ((x >> shift) & 0xFF) < ((y >> shift) & 0xFF) ? -1 : 1;
        }
    }
    for (; k < common; ++k) {
        const auto x = static_cast<unsigned char>(a[k]);
        const auto y = static_cast<unsigned char>(b[k]);
        if ((x | y) >= 0x80)
            break;
        if (x == y)
            continue;
        const unsigned char lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        const unsigned char ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (lx != ly)
            return lx < ly ? -1 : 1;
    }
    std::size_t i = k, j = k;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = foldCase(decode(a, i));
        const char32_t cb = foldCase(decode(b, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

int registerCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, &collate, nullptr);
}

} // namespace tsqlite::detail
