#include "TableFunctions.h"

#include "Registry.h"
#include "SyntaxTree.h"

#include <sqlite3.h>

#include <cstring>
#include <vector>

namespace tsqlite::detail {
namespace {

struct FunctionTable {
    sqlite3_vtab base{};
    const TableFunction* function = nullptr;
    sqlite3* db = nullptr;
};

struct FunctionCursor {
    sqlite3_vtab_cursor base{};
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::vector<sqlite3_value*>> rows;
    std::vector<sqlite3_value*> arguments;
    std::size_t position = 0;

    void clear() {
        for (auto& row : rows) {
            for (auto* v : row)
                sqlite3_value_free(v);
        }
        rows.clear();
        for (auto* v : arguments)
            sqlite3_value_free(v);
        arguments.clear();
        position = 0;
    }
};

int xConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    const auto* fn = static_cast<const TableFunction*>(aux);
    std::string schema = "CREATE TABLE x(";
    for (std::size_t i = 0; i < fn->columns.size(); ++i)
        schema += (i ? ", " : "") + quoteName(fn->columns[i]);
    for (int i = 0; i < fn->argumentCount; ++i)
        schema += std::string(fn->columns.empty() && i == 0 ? "" : ", ") + "arg" + std::to_string(i + 1) +
                  " HIDDEN";
    schema += ")";
    const int rc = sqlite3_declare_vtab(db, schema.c_str());
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new FunctionTable;
    table->function = fn;
    table->db = db;
    *out = &table->base;
    return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* vtab) {
    delete reinterpret_cast<FunctionTable*>(vtab);
    return SQLITE_OK;
}

// Every argument must be given (an equality on its hidden column); otherwise this plan is refused.
int xBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
    const auto* fn = reinterpret_cast<FunctionTable*>(vtab)->function;
    const int first = static_cast<int>(fn->columns.size());
    std::vector<int> constraintOf(static_cast<std::size_t>(fn->argumentCount), -1);
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        const int arg = c.iColumn - first;
        if (arg < 0 || arg >= fn->argumentCount || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            continue;
        if (!c.usable)
            return SQLITE_CONSTRAINT;
        constraintOf[static_cast<std::size_t>(arg)] = i;
    }
    for (int arg = 0; arg < fn->argumentCount; ++arg) {
        const int i = constraintOf[static_cast<std::size_t>(arg)];
        if (i < 0)
            return SQLITE_CONSTRAINT;
        info->aConstraintUsage[i].argvIndex = arg + 1;
        info->aConstraintUsage[i].omit = 1;
    }
    info->estimatedCost = 10;
    info->estimatedRows = 1;
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* cursor = new FunctionCursor;
    *out = &cursor->base;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* base) {
    auto* cursor = reinterpret_cast<FunctionCursor*>(base);
    cursor->clear();
    sqlite3_finalize(cursor->stmt);
    delete cursor;
    return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor* base, int, const char*, int argc, sqlite3_value** argv) {
    auto* cursor = reinterpret_cast<FunctionCursor*>(base);
    auto* table = reinterpret_cast<FunctionTable*>(base->pVtab);
    cursor->clear();
    if (!cursor->stmt) {
        const int rc =
            sqlite3_prepare_v2(table->db, table->function->body.c_str(), -1, &cursor->stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_free(table->base.zErrMsg);
            table->base.zErrMsg = sqlite3_mprintf("table function %s: %s", table->function->name.c_str(),
                                                  sqlite3_errmsg(table->db));
            return rc;
        }
    }
    for (int i = 0; i < argc; ++i) {
        cursor->arguments.push_back(sqlite3_value_dup(argv[i]));
        sqlite3_bind_value(cursor->stmt, i + 1, argv[i]);
    }
    int rc;
    const int columns = sqlite3_column_count(cursor->stmt);
    while ((rc = sqlite3_step(cursor->stmt)) == SQLITE_ROW) {
        std::vector<sqlite3_value*> row;
        for (int c = 0; c < columns; ++c)
            row.push_back(sqlite3_value_dup(sqlite3_column_value(cursor->stmt, c)));
        cursor->rows.push_back(std::move(row));
    }
    sqlite3_reset(cursor->stmt);
    sqlite3_clear_bindings(cursor->stmt);
    if (rc != SQLITE_DONE) {
        sqlite3_free(table->base.zErrMsg);
        table->base.zErrMsg = sqlite3_mprintf("table function %s: %s", table->function->name.c_str(),
                                              sqlite3_errmsg(table->db));
        return rc;
    }
    return SQLITE_OK;
}

int xNext(sqlite3_vtab_cursor* base) {
    ++reinterpret_cast<FunctionCursor*>(base)->position;
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor* base) {
    auto* cursor = reinterpret_cast<FunctionCursor*>(base);
    return cursor->position >= cursor->rows.size();
}

int xColumn(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int column) {
    auto* cursor = reinterpret_cast<FunctionCursor*>(base);
    const auto& row = cursor->rows[cursor->position];
    const auto c = static_cast<std::size_t>(column);
    if (c < row.size()) {
        sqlite3_result_value(ctx, row[c]);
        return SQLITE_OK;
    }
    const auto* fn = reinterpret_cast<FunctionTable*>(base->pVtab)->function;
    const std::size_t arg = c - fn->columns.size();
    if (c >= fn->columns.size() && arg < cursor->arguments.size())
        sqlite3_result_value(ctx, cursor->arguments[arg]);
    else
        sqlite3_result_null(ctx);
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
    *rowid = static_cast<sqlite3_int64>(reinterpret_cast<FunctionCursor*>(base)->position);
    return SQLITE_OK;
}

// Eponymous only (no xCreate): the function exists without CREATE VIRTUAL TABLE.
sqlite3_module makeModule() {
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    return m;
}

const sqlite3_module kModule = makeModule();

} // namespace

int registerTableFunctions(sqlite3* db) {
    for (const auto& fn : tableFunctions()) {
        auto* copy = new TableFunction(fn);
        const int rc = sqlite3_create_module_v2(db, copy->name.c_str(), &kModule, copy,
                                                [](void* p) { delete static_cast<TableFunction*>(p); });
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace tsqlite::detail
