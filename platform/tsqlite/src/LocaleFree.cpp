#include "LocaleFree.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace tsqlite::detail {

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiUpper(c);
    return out;
}

double parseDouble(const char* text, char** end) {
    // Made once and never freed: every thread of the process may use it at any time.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, end, cLocale);
}

std::string formatDouble(double value, int digits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return std::string(buffer, result.ptr);
}

std::string formatFixed(double value, int decimals) {
    char buffer[400]; // the largest double written out in full, with its decimals
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

} // namespace tsqlite::detail
