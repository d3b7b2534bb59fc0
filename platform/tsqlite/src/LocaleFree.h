#pragma once
// Case folding and number conversions that ignore the process's locale. The desktop sets the
// locale from the environment, and the C library's conversions follow it: under an Italian
// locale strtod stops at the '.' of "2.5" and printf writes "2,5"; under a Turkish one toupper
// leaves 'i' alone, so "insert" is no longer INSERT. T-SQL text and numbers are the same on
// every machine.

#include <string>
#include <string_view>

namespace tsqlite::detail {

constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string lowerCase(std::string_view s);
std::string upperCase(std::string_view s);

// strtod in the C locale: leading blanks, a sign, digits with '.', an exponent.
double parseDouble(const char* text, char** end);
// printf's "%.<digits>g" in the C locale.
std::string formatDouble(double value, int digits);
// printf's "%.<decimals>f" in the C locale.
std::string formatFixed(double value, int decimals);

} // namespace tsqlite::detail
