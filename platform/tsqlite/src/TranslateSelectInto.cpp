#include "StatementTranslator.h"

#include "Errors.h"
#include "Runner.h"

#include <sqlite3.h>

namespace tsqlite::detail {
namespace {

// The item of a select list without its alias.
Seq withoutAlias(const Seq& item) {
    const std::size_t n = item.size();
    if (n >= 3 && item[n - 2].isWord("AS"))
        return Seq(item.begin(), item.end() - 2);
    if (n >= 2 && isName(item[n - 1]) && !item[n - 2].isOp(".") &&
        !(item[n - 2].type == Node::Type::Token && item[n - 2].tok.kind == TokenKind::Operator))
        return Seq(item.begin(), item.end() - 1);
    return item;
}

} // namespace

std::string StatementTranslator::createTableSql(const std::string& name,
                                                const std::vector<ColumnInfo>& columns) {
    std::string sql = isLocalTemp(name) ? "CREATE TEMP TABLE " : "CREATE TABLE ";
    sql += quoteName(name) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? ", " : "") + quoteName(columns[i].name);
        if (!columns[i].declType.empty())
            sql += " " + columns[i].declType;
        sql += " COLLATE ERPCI";
    }
    return sql + ")";
}

// SELECT ... INTO t: the new table's columns take the declared types of the query's columns
// (computed ones as far as their expression tells), and every text column the ERP collation.
bool StatementTranslator::selectInto(Seq seq, std::size_t into) {
    if (into + 1 >= seq.size() || !isName(seq[into + 1]))
        return failWith(m_error, kErrSyntax, "Incorrect syntax near 'INTO'");
    const std::string target = nameOf(seq[into + 1]);
    seq.erase(seq.begin() + static_cast<long>(into), seq.begin() + static_cast<long>(into) + 2);
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    const std::string selectSql = emitText(seq);

    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, selectSql.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        m_error = errorFromSqlite(m_db, rc, selectSql);
        return false;
    }
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(sqlite3_column_count(stmt)));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int c = static_cast<int>(i);
        columns[i].name = sqlite3_column_name(stmt, c) ? sqlite3_column_name(stmt, c) : "";
        if (const char* decl = sqlite3_column_decltype(stmt, c))
            columns[i].declType = normaliseType(decl);
    }
    sqlite3_finalize(stmt);

    // Computed columns: the type their expression yields, when the list maps one to one.
    std::size_t start = 1;
    if (start < seq.size() && (seq[start].isWord("DISTINCT") || seq[start].isWord("ALL")))
        ++start;
    const std::size_t end = findTop(seq, "FROM", start);
    auto items =
        splitCommas(Seq(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(end)));
    if (items.size() == columns.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (columns[i].declType.empty())
                columns[i].declType = normaliseType(m_rewriter.typeOf(withoutAlias(items[i])));
        }
    }
    rawPart(createTableSql(target, columns));

    std::vector<std::string> types;
    for (const auto& c : columns)
        types.push_back(c.declType);
    const ConvertedColumns converted = convertedColumns(types);
    std::string insert = "WITH tsqlite_src(" + converted.names + ") AS (" + selectSql + ") INSERT INTO " +
                         quoteName(target) + " SELECT " + converted.values + " FROM tsqlite_src";
    rawPart(std::move(insert));
    if (isGlobalTemp(target))
        m_out.createdGlobals.push_back(target);
    return true;
}

} // namespace tsqlite::detail
