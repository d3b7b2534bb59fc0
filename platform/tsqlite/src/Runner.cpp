#include "Runner.h"
#include "LocaleFree.h"

#include "Dates.h"

#include <cctype>
#include <string>

namespace tsqlite::detail {

std::string normaliseType(std::string_view declared) {
    std::string out;
    for (char c : declared) {
        if (isAsciiSpace(c))
            continue;
        out += asciiLower(c);
    }
    return out;
}

std::vector<Column> describeColumns(sqlite3* db, sqlite3_stmt* stmt) {
    const int count = sqlite3_column_count(stmt);
    std::vector<Column> columns(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Column& c = columns[static_cast<std::size_t>(i)];
        if (const char* name = sqlite3_column_name(stmt, i))
            c.name = name;
        if (const char* type = sqlite3_column_decltype(stmt, i))
            c.declType = normaliseType(type);
        const char* table = sqlite3_column_table_name(stmt, i);
        const char* origin = sqlite3_column_origin_name(stmt, i);
        const char* schema = sqlite3_column_database_name(stmt, i);
        if (table && origin) {
            c.baseTable = table;
            c.baseColumn = origin;
            int primaryKey = 0;
            if (sqlite3_table_column_metadata(db, schema, table, origin, nullptr, nullptr, nullptr,
                                              &primaryKey, nullptr) == SQLITE_OK)
                c.inPrimaryKey = primaryKey != 0;
        }
    }
    return columns;
}

void bindLiteral(sqlite3_stmt* stmt, int index, const Token& literal, bool asDate) {
    if (literal.kind == TokenKind::Number) {
        if (literal.text.find_first_of(".eE") == std::string::npos && literal.text.size() < 19) {
            sqlite3_bind_int64(stmt, index, std::stoll(literal.text));
            return;
        }
        sqlite3_bind_double(stmt, index, parseDouble(literal.text.c_str(), nullptr));
        return;
    }
    if (asDate) {
        if (const auto d = parseDate(literal.text)) {
            const std::string canonical = formatCanonical(*d);
            sqlite3_bind_text(stmt, index, canonical.c_str(), static_cast<int>(canonical.size()),
                              SQLITE_TRANSIENT);
            return;
        }
    }
    sqlite3_bind_text(stmt, index, literal.text.c_str(), static_cast<int>(literal.text.size()),
                      SQLITE_TRANSIENT);
}

void readRow(sqlite3_stmt* stmt, std::vector<Cell>& cells) {
    // One column call per cell: each sqlite3_column_* call enters the statement's API guard, so
    // the type and the value are read from the column's value object instead. The object is
    // valid until the next step, which is as long as the cells are.
    const int count = static_cast<int>(cells.size());
    for (int i = 0; i < count; ++i) {
        Cell& cell = cells[static_cast<std::size_t>(i)];
        sqlite3_value* value = sqlite3_column_value(stmt, i);
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            cell.kind = Cell::Kind::Integer;
            cell.i = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            cell.kind = Cell::Kind::Real;
            cell.r = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT: {
            cell.kind = Cell::Kind::Text;
            auto* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
            cell.text = std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(value)));
            break;
        }
        case SQLITE_BLOB: {
            cell.kind = Cell::Kind::Blob;
            auto* p = static_cast<const char*>(sqlite3_value_blob(value));
            cell.text = std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(value)));
            break;
        }
        default:
            cell.kind = Cell::Kind::Null;
            break;
        }
    }
}

int runPrepared(sqlite3* db, sqlite3_stmt* stmt, ResultSink* sink, bool noRecords, std::int64_t* changes,
                const std::vector<Column>* knownColumns) {
    const int count = sqlite3_column_count(stmt);
    const bool deliver = sink && !noRecords && count > 0;
    std::vector<Cell> cells(static_cast<std::size_t>(count));
    if (deliver)
        sink->beginResultSet(knownColumns ? *knownColumns : describeColumns(db, stmt));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!deliver)
            continue;
        readRow(stmt, cells);
        sink->row(cells.data(), cells.size());
    }
    if (deliver)
        sink->endResultSet();
    if (rc == SQLITE_DONE && changes && count == 0 && !sqlite3_stmt_readonly(stmt))
        *changes = sqlite3_changes64(db);
    return rc;
}

} // namespace tsqlite::detail
