#include "StatementTranslator.h"

#include "Runner.h"

#include <algorithm>

namespace tsqlite::detail {

// CREATE TABLE with T-SQL types: the types are kept as declared (so they come back in the
// metadata of results) and every column gets the ERP collation.
bool StatementTranslator::createTable(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    if (seq.size() < 4 || !isName(seq[2]) || seq[3].type != Node::Type::Group)
        return failWith(m_error, kErrSyntax, "Incorrect syntax in CREATE TABLE");
    std::size_t nameAt = 2;
    // "dbo.T" or "tempdb..#T": the last name is the table.
    std::size_t groupAt = 3;
    while (groupAt < seq.size() && seq[groupAt].type != Node::Type::Group) {
        if (isName(seq[groupAt]))
            nameAt = groupAt;
        ++groupAt;
    }
    if (groupAt >= seq.size())
        return failWith(m_error, kErrSyntax, "Incorrect syntax in CREATE TABLE: missing the column list");
    const std::string name = nameOf(seq[nameAt]);
    std::string sql = isLocalTemp(name) ? "CREATE TEMP TABLE " : "CREATE TABLE ";
    sql += quoteName(name) + " (";
    bool firstDef = true;
    for (auto& def : splitCommas(seq[groupAt].kids)) {
        if (def.empty())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in CREATE TABLE: empty column definition");
        sql += firstDef ? "" : ", ";
        firstDef = false;
        const bool constraint = def[0].isWord("CONSTRAINT") || def[0].isWord("PRIMARY") ||
                                def[0].isWord("UNIQUE") || def[0].isWord("CHECK") || def[0].isWord("FOREIGN");
        if (constraint) {
            Seq kept;
            for (auto& n : def) {
                if (!n.isWord("CLUSTERED") && !n.isWord("NONCLUSTERED"))
                    kept.push_back(n);
            }
            // Options after the key list ("WITH (PAD_INDEX = OFF) ON [PRIMARY]") mean nothing here.
            auto withAt =
                std::find_if(kept.begin(), kept.end(), [](const Node& n) { return n.isWord("WITH"); });
            kept.erase(withAt, kept.end());
            sql += emitText(kept);
            continue;
        }
        std::string column;
        if (!columnDefinition(def, column))
            return false;
        sql += column;
    }
    sql += ")";
    rawPart(std::move(sql));
    if (isGlobalTemp(name))
        m_out.createdGlobals.push_back(name);
    return true;
}

// One column of CREATE TABLE or ALTER TABLE ADD: name, T-SQL type kept as declared,
// constraints, and the ERP collation.
bool StatementTranslator::columnDefinition(const Seq& def, std::string& sql) {
    if (!isName(def[0]) || def.size() < 2 || def[1].type != Node::Type::Token)
        return failWith(m_error, kErrSyntax, "Incorrect syntax in CREATE TABLE near '" + emitText(def) + "'");
    std::size_t k = 2;
    std::string type = def[1].tok.text;
    if (k < def.size() && def[k].type == Node::Type::Group)
        type += "(" + emitText(def[k++].kids) + ")";
    type = normaliseType(type);
    if (parseSqlType(type).cls == TypeClass::Unknown)
        return failWith(m_error, kErrUnsupported, "Column type '" + type + "' is not supported");
    bool identity = false, primary = false;
    Seq rest;
    for (; k < def.size(); ++k) {
        const Node& n = def[k];
        if (n.isWord("COLLATE")) {
            ++k; // every text column takes the ERP collation
            continue;
        }
        if (n.isWord("IDENTITY")) {
            identity = true;
            if (k + 1 < def.size() && def[k + 1].type == Node::Type::Group)
                ++k;
            continue;
        }
        if (n.isWord("CLUSTERED") || n.isWord("NONCLUSTERED"))
            continue;
        if (n.isWord("PRIMARY"))
            primary = true;
        if (n.isWord("DEFAULT") && k + 1 < def.size()) {
            Seq value{def[k + 1]};
            if (!m_rewriter.rewrite(value))
                return rewriteFailed();
            rest.push_back(n);
            rest.push_back(value[0].type == Node::Type::Group ? value[0] : groupNode(value));
            ++k;
            continue;
        }
        rest.push_back(n);
    }
    if (identity && !(primary && parseSqlType(type).cls == TypeClass::Integer))
        return failWith(m_error, kErrUnsupported, "IDENTITY is supported on an integer primary key only");
    if (identity)
        type = "integer";
    sql = quoteName(nameOf(def[0])) + " " + type;
    if (!rest.empty())
        sql += " " + emitText(rest);
    if (identity)
        sql += " AUTOINCREMENT";
    sql += " COLLATE ERPCI";
    return true;
}

// ALTER TABLE t ADD column type [, column type]: SQLite adds one column per statement.
bool StatementTranslator::alterTable(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    if (seq.size() < 5 || !isName(seq[2]) || !seq[3].isWord("ADD") || seq[4].isWord("CONSTRAINT"))
        return failWith(m_error, kErrUnsupported, "Only ALTER TABLE ... ADD column is supported");
    const std::string table = nameOf(seq[2]);
    for (const auto& def : splitCommas(Seq(seq.begin() + 4, seq.end()))) {
        if (def.empty())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in ALTER TABLE ... ADD");
        std::string column;
        if (!columnDefinition(def, column))
            return false;
        rawPart("ALTER TABLE " + quoteName(table) + " ADD COLUMN " + column);
    }
    return true;
}

bool StatementTranslator::createOther(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    std::size_t k = 1;
    if (k < seq.size() && seq[k].isWord("UNIQUE"))
        ++k;
    if (k < seq.size() && (seq[k].isWord("CLUSTERED") || seq[k].isWord("NONCLUSTERED")))
        seq.erase(seq.begin() + static_cast<long>(k));
    if (k < seq.size() && seq[k].isWord("INDEX")) {
        auto withAt = std::find_if(seq.begin(), seq.end(), [](const Node& n) { return n.isWord("WITH"); });
        seq.erase(withAt, seq.end());
        if (!m_rewriter.rewrite(seq))
            return rewriteFailed();
        rawPart(emitText(seq));
        return true;
    }
    if (k < seq.size() && seq[k].isWord("VIEW")) {
        if (!m_rewriter.rewrite(seq))
            return rewriteFailed();
        rawPart(emitText(seq));
        return true;
    }
    return failWith(m_error, kErrUnsupported,
                    "CREATE " + (k < seq.size() ? seq[k].tok.text : std::string()) + " is not supported");
}

bool StatementTranslator::drop(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    if (seq.size() < 3 || !(seq[1].isWord("TABLE") || seq[1].isWord("VIEW") || seq[1].isWord("INDEX")))
        return failWith(m_error, kErrUnsupported, "This DROP statement is not supported");
    const std::string kind = seq[1].isWord("TABLE") ? "TABLE" : seq[1].isWord("VIEW") ? "VIEW" : "INDEX";
    std::size_t k = 2;
    bool ifExists = false;
    if (k + 1 < seq.size() && seq[k].isWord("IF") && seq[k + 1].isWord("EXISTS")) {
        ifExists = true;
        k += 2;
    }
    for (const auto& item : splitCommas(Seq(seq.begin() + static_cast<long>(k), seq.end()))) {
        if (item.empty() || !isName(item.back()))
            return failWith(m_error, kErrSyntax, "Incorrect syntax in DROP " + kind);
        if (kind == "INDEX") {
            if (!dropIndex(item, ifExists))
                return false;
            continue;
        }
        const std::string name = nameOf(item.back());
        rawPart("DROP " + kind + (ifExists ? " IF EXISTS " : " ") + quoteName(name));
        if (kind == "TABLE" && isGlobalTemp(name))
            m_out.droppedGlobals.push_back(name);
    }
    return true;
}

// "ix ON t" or "t.ix" (either with a schema before the table). SQL Server names an index within
// its table, SQLite within its database: the index is looked up where the table's name leads
// SQLite, and it must belong to that table, or another table's index of the same name would go.
bool StatementTranslator::dropIndex(const Seq& item, bool ifExists) {
    std::string index, table;
    const auto on = std::find_if(item.begin(), item.end(), [](const Node& n) { return n.isWord("ON"); });
    if (on != item.end()) {
        if (on - item.begin() != 1 || !isName(item.front()) || on + 1 == item.end())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in DROP INDEX");
        index = nameOf(item.front());
        table = nameOf(item.back());
    } else if (item.size() >= 3 && item[item.size() - 2].isOp(".") && isName(item[item.size() - 3])) {
        index = nameOf(item.back());
        table = nameOf(item[item.size() - 3]);
    } else {
        failWith(m_error, kErrSyntax,
                 "Must specify the table name and index name for the DROP INDEX statement.");
        m_error.nativeError = 159;
        return false;
    }

    // The first column of each row the query gives, with `bound` as its parameter.
    const auto texts = [&](const std::string& sql, const std::string& bound) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, bound.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(stmt) == SQLITE_ROW)
                out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        return out;
    };
    // The schemas in the order SQLite resolves an unqualified name: temp first, then main and
    // any attached database. The first that has the table decides.
    for (const std::string& schema :
         texts("SELECT name FROM pragma_database_list WHERE ?1 IS NOT NULL ORDER BY seq = 1 DESC, seq", "")) {
        const std::string master = quoteName(schema) + ".sqlite_master";
        if (texts("SELECT name FROM " + master + " WHERE type = 'table' AND name = ?1 COLLATE NOCASE", table)
                .empty())
            continue;
        const auto owner = texts(
            "SELECT tbl_name FROM " + master + " WHERE type = 'index' AND name = ?1 COLLATE NOCASE", index);
        if (!owner.empty() && sameName(owner.front(), table)) {
            rawPart("DROP INDEX " + quoteName(schema) + "." + quoteName(index));
            return true;
        }
        break;
    }
    if (ifExists)
        return true;
    failWith(m_error, kErrNoSuchObject,
             "Cannot drop the index '" + table + "." + index +
                 "', because it does not exist or you do not have permission.");
    m_error.nativeError = 3701;
    return false;
}

} // namespace tsqlite::detail
