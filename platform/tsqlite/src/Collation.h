#pragma once
// The ERP's default text comparison: case is ignored (accented letters included) and so are
// trailing blanks, as SQL Server's case-insensitive collations do.

#include <string>
#include <string_view>

struct sqlite3;

namespace tsqlite::detail {

inline constexpr const char* kCollationName = "ERPCI";

// Decodes one UTF-8 character at `pos` and moves past it; a malformed byte stands for itself.
char32_t decodeUtf8(std::string_view s, std::size_t& pos);

// Folds one Unicode code point to lower case (Latin, Greek and Cyrillic letters).
char32_t foldCase(char32_t c);
// The capital of a letter foldCase lowers (the same alphabets); anything else unchanged.
char32_t upperCase(char32_t c);
void appendUtf8(std::string& out, char32_t c);

// Three-way comparison with the ERP's rules.
int compareText(std::string_view a, std::string_view b);

// Registers the collation on a connection; returns the SQLite result code.
int registerCollation(sqlite3* db);

} // namespace tsqlite::detail
