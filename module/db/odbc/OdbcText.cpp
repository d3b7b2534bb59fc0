#include "module/db/odbc/OdbcText.h"

#include <QString>
#include <algorithm>

namespace scadlav::db::odbc {

WideText toWide(std::string_view utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return WideText(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

std::string toUtf8(const SQLWCHAR* text, std::size_t length) {
    const QString s =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(text), static_cast<qsizetype>(length));
    return s.toStdString();
}

std::string toUtf8(const WideText& text) {
    return toUtf8(reinterpret_cast<const SQLWCHAR*>(text.data()), text.size());
}

SQLRETURN execDirect(SQLHSTMT stmt, std::string_view text, TextMode mode) {
    if (mode == TextMode::Wide) {
        WideText wide = toWide(text);
        return SQLExecDirectW(stmt, wideData(wide), static_cast<SQLINTEGER>(wide.size()));
    }
    std::string narrow(text);
    return SQLExecDirect(stmt, narrowData(narrow), static_cast<SQLINTEGER>(narrow.size()));
}

std::string columnTextAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, TextMode mode) {
    SQLSMALLINT length = 0; // bytes
    if (mode == TextMode::Wide) {
        SQLWCHAR buffer[512] = {};
        if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, column, field, buffer, sizeof(buffer), &length, nullptr)) ||
            length <= 0)
            return {};
        return toUtf8(buffer, std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR),
                                                    std::size(buffer) - 1));
    }
    char buffer[1024] = {};
    if (!SQL_SUCCEEDED(SQLColAttribute(stmt, column, field, buffer, sizeof(buffer), &length, nullptr)) ||
        length <= 0)
        return {};
    return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof(buffer) - 1));
}

bool readFieldPieces(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::size_t terminator,
                     std::string& out, bool& isNull) {
    out.clear();
    char buffer[4096];
    const std::size_t capacity = sizeof(buffer) - terminator; // the driver ends a text piece with one
    isNull = false;
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, column, cType, buffer, sizeof(buffer), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            return false;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        std::size_t piece = capacity;
        if (indicator != SQL_NO_TOTAL)
            piece = std::min(capacity, static_cast<std::size_t>(indicator));
        if (terminator > 1)
            piece -= piece % terminator; // whole UTF-16 units only
        out.append(buffer, piece);
        if (rc == SQL_SUCCESS)
            break;
    }
    return true;
}

bool readTextField(SQLHSTMT stmt, SQLUSMALLINT column, TextMode mode, std::string& out, bool& isNull) {
    const bool wide = mode == TextMode::Wide;
    std::string bytes;
    if (!readFieldPieces(stmt, column, wide ? SQL_C_WCHAR : SQL_C_CHAR, wide ? sizeof(SQLWCHAR) : 1, bytes,
                         isNull))
        return false;
    if (wide)
        out = toUtf8(reinterpret_cast<const SQLWCHAR*>(bytes.data()), bytes.size() / sizeof(SQLWCHAR));
    else
        out = std::move(bytes);
    return true;
}

} // namespace scadlav::db::odbc
