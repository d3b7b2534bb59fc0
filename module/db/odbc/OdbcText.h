#pragma once
// Text at the ODBC boundary. A driver with wide entry points (FreeTDS) gets every text as
// UTF-16, so that accented letters reach SQL Server intact whatever client character set the
// driver was configured with. A driver with narrow entry points only (SQLite's) would get the
// wide texts squeezed through the driver manager's conversion, which loses letters; it is
// given UTF-8, the encoding it stores, through the narrow ones. The rest of the program
// speaks UTF-8.

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

namespace scadlav::db::odbc {

static_assert(sizeof(SQLWCHAR) == 2, "the driver manager must use 2-byte SQLWCHAR (UTF-16)");

enum class TextMode { Wide, Utf8 };

using WideText = std::u16string;

WideText toWide(std::string_view utf8);
std::string toUtf8(const SQLWCHAR* text, std::size_t length);
std::string toUtf8(const WideText& text);

inline SQLWCHAR* wideData(WideText& text) {
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

inline SQLCHAR* narrowData(std::string& text) {
    return reinterpret_cast<SQLCHAR*>(text.data());
}

// Runs a statement text in the given mode.
SQLRETURN execDirect(SQLHSTMT stmt, std::string_view text, TextMode mode);

// A text attribute of a result column ("" when the driver does not know it).
std::string columnTextAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, TextMode mode);

// Reads a whole field of the current row as `cType`, in pieces of up to 4 KiB; `terminator` is
// the size of the terminator the driver puts after each text piece (0 for binary data).
bool readFieldPieces(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::size_t terminator,
                     std::string& out, bool& isNull);

// Reads a whole text field of the current row, in pieces when it is long. False when the
// driver fails; `isNull` tells a database Null apart from an empty text.
bool readTextField(SQLHSTMT stmt, SQLUSMALLINT column, TextMode mode, std::string& out, bool& isNull);

} // namespace scadlav::db::odbc
