#include "Translator.h"

#include "Collation.h"
#include "Errors.h"
#include "Expressions.h"
#include "Registry.h"
#include "Runner.h"
#include "SyntaxTree.h"

#include <algorithm>

namespace tsqlite::detail {
namespace {

bool failWith(Error& error, std::int64_t number, std::string message) {
    error = makeError(number, std::move(message), number == kErrNoSuchObject ? "42S02" : "42000");
    return false;
}

bool isName(const Node& n) {
    return n.type == Node::Type::Token && (n.tok.kind == TokenKind::Word || n.tok.kind == TokenKind::Quoted ||
                                           n.tok.kind == TokenKind::TempName);
}

std::string nameOf(const Node& n) {
    return n.tok.text;
}

bool isGlobalTemp(const std::string& name) {
    return name.rfind("##", 0) == 0;
}

bool isLocalTemp(const std::string& name) {
    return !name.empty() && name[0] == '#' && !isGlobalTemp(name);
}

bool sameName(std::string_view a, std::string_view b) {
    return compareText(a, b) == 0 && a.size() == b.size();
}

Node commaNode() {
    Node n;
    n.tok.kind = TokenKind::Comma;
    n.tok.text = ",";
    return n;
}

// Whether writing into a column of this type needs the tsql_write conversion.
bool needsWrite(const std::string& type) {
    const SqlType t = parseSqlType(type);
    switch (t.cls) {
    case TypeClass::Decimal:
    case TypeClass::Integer:
    case TypeClass::Bit:
    case TypeClass::Date:
        return true;
    case TypeClass::Text:
        return t.length >= 0;
    default:
        return false;
    }
}

Seq wrapWrite(Seq value, const std::string& type) {
    value.push_back(commaNode());
    value.push_back(rawNode(quoteString(type)));
    return Seq{wordNode("tsql_write"), groupNode(std::move(value))};
}

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

std::size_t findTop(const Seq& seq, std::string_view word, std::size_t from = 0) {
    for (std::size_t i = from; i < seq.size(); ++i) {
        if (seq[i].isWord(word))
            return i;
    }
    return seq.size();
}

struct FromItem {
    Seq join;  // join keywords; empty for the first item
    Seq table; // table reference with its alias
    Seq on;    // join condition
};

bool isJoinWord(const Node& n) {
    if (n.type == Node::Type::Raw)
        return n.raw == "LEFT JOIN" || n.raw == "JOIN";
    for (auto w : {"INNER", "LEFT", "RIGHT", "FULL", "CROSS", "JOIN", "OUTER"}) {
        if (n.isWord(w))
            return true;
    }
    return n.isComma();
}

std::vector<FromItem> parseFrom(const Seq& seq, std::size_t begin, std::size_t end) {
    std::vector<FromItem> items(1);
    enum { Join, Table, On } state = Table;
    for (std::size_t i = begin; i < end; ++i) {
        const Node& n = seq[i];
        if (isJoinWord(n)) {
            if (state != Join) {
                items.emplace_back();
                state = Join;
            }
            items.back().join.push_back(n);
            continue;
        }
        if (state == Join)
            state = Table;
        if (state == Table && n.isWord("ON")) {
            state = On;
            continue;
        }
        (state == On ? items.back().on : items.back().table).push_back(n);
    }
    return items;
}

// Table name and alias of a FROM item ("T", "T AS A", "T A").
std::pair<std::string, std::string> tableAndAlias(const Seq& table) {
    std::string name = table.empty() || !isName(table[0]) ? std::string() : nameOf(table[0]);
    std::string alias;
    if (table.size() >= 2 && isName(table.back()) && !table.back().isWord("AS"))
        alias = nameOf(table.back());
    return {name, alias};
}

} // namespace

class StatementTranslator {
public:
    StatementTranslator(sqlite3* db, SchemaInfo& schema, Translation& out, Error& error, bool lift)
        : m_db(db), m_schema(schema), m_out(out), m_error(error), m_lift(lift), m_rewriter(schema) {}

    bool run(const std::vector<Token>& tokens, std::size_t bodyStart);

private:
    bool rewriteFailed() { return failWith(m_error, m_rewriter.error().number, m_rewriter.error().message); }
    bool tree(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, Seq& seq) {
        std::string message;
        if (!buildTree(tokens, begin, end, seq, message))
            return failWith(m_error, kErrSyntax, message);
        return true;
    }
    void emitPart(const Seq& seq) {
        Emitter e(m_lift);
        e.emit(seq);
        m_out.parts.push_back(e.take());
    }
    void rawPart(std::string sql) { m_out.parts.push_back(SqlPart{std::move(sql), {}}); }
    const std::vector<ColumnInfo>* tableColumns(const std::string& table) {
        const auto* cols = m_schema.columns(table);
        if (!cols)
            failWith(m_error, kErrNoSuchObject, "Invalid object name '" + table + "'");
        return cols;
    }
    static std::string typeIn(const std::vector<ColumnInfo>& cols, const std::string& column) {
        for (const auto& c : cols) {
            if (sameName(c.name, column))
                return c.declType;
        }
        return {};
    }

    bool select(const std::vector<Token>& tokens);
    bool selectInto(Seq seq, std::size_t into);
    bool insert(const std::vector<Token>& tokens);
    bool update(const std::vector<Token>& tokens);
    bool remove(const std::vector<Token>& tokens);
    bool createTable(const std::vector<Token>& tokens);
    bool createOther(const std::vector<Token>& tokens);
    bool drop(const std::vector<Token>& tokens);
    bool conditional(const std::vector<Token>& tokens, std::size_t bodyStart);
    bool exec(const std::vector<Token>& tokens);
    std::string createTableSql(const std::string& name, const std::vector<ColumnInfo>& columns);
    bool columnDefinition(const Seq& def, std::string& sql);
    bool alterTable(const std::vector<Token>& tokens);

    sqlite3* m_db;
    SchemaInfo& m_schema;
    Translation& m_out;
    Error& m_error;
    bool m_lift;
    ExpressionRewriter m_rewriter;
};

bool StatementTranslator::run(const std::vector<Token>& tokens, std::size_t bodyStart) {
    const Token& first = tokens.front();
    const auto second = [&](std::string_view w) { return tokens.size() > 1 && tokens[1].is(w); };
    if (first.is("SELECT"))
        return select(tokens);
    if (first.is("INSERT"))
        return insert(tokens);
    if (first.is("UPDATE"))
        return update(tokens);
    if (first.is("DELETE"))
        return remove(tokens);
    if (first.is("CREATE") && second("TABLE"))
        return createTable(tokens);
    if (first.is("CREATE"))
        return createOther(tokens);
    if (first.is("DROP"))
        return drop(tokens);
    if (first.is("ALTER") && second("TABLE"))
        return alterTable(tokens);
    if (first.is("IF"))
        return conditional(tokens, bodyStart);
    if (first.is("EXEC") || first.is("EXECUTE"))
        return exec(tokens);
    if (first.is("TRUNCATE") && second("TABLE") && tokens.size() == 3) {
        rawPart("DELETE FROM " + quoteName(tokens[2].text));
        return true;
    }
    if (first.is("BEGIN") && (second("TRAN") || second("TRANSACTION"))) {
        rawPart("BEGIN");
        return true;
    }
    if (first.is("COMMIT") || first.is("ROLLBACK")) {
        rawPart(first.is("COMMIT") ? "COMMIT" : "ROLLBACK");
        return true;
    }
    if (first.is("SET") && tokens.size() >= 2 && !tokens[1].is("ROWCOUNT")) {
        // Session options (NOCOUNT, DATEFORMAT, ANSI_...) have no effect here.
        m_out.kind = Translation::Kind::Nothing;
        return true;
    }
    if (first.is("ELSE"))
        return failWith(m_error, kErrUnsupported, "IF ... ELSE is not supported");
    if (first.is("BEGIN"))
        return failWith(m_error, kErrUnsupported, "BEGIN ... END blocks are not supported");
    if (first.is("DECLARE"))
        return failWith(m_error, kErrUnsupported, "Variables (DECLARE) are not supported");
    return failWith(m_error, kErrUnsupported, "The statement '" + first.text + "' is not supported");
}

bool StatementTranslator::select(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    const std::size_t from = findTop(seq, "FROM");
    const std::size_t into = findTop(seq, "INTO");
    if (into < from && into < seq.size())
        return selectInto(std::move(seq), into);
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    emitPart(seq);
    m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
    return true;
}

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

    // Positional names make duplicate or unnamed columns safe.
    std::string cteColumns;
    std::string values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string c = "c" + std::to_string(i + 1);
        cteColumns += (i ? "," : "") + c;
        values += i ? ", " : "";
        values += needsWrite(columns[i].declType)
                      ? "tsql_write(" + c + ", " + quoteString(columns[i].declType) + ")"
                      : c;
    }
    std::string insert = "WITH tsqlite_src(" + cteColumns + ") AS (" + selectSql + ") INSERT INTO " +
                         quoteName(target) + " SELECT " + values + " FROM tsqlite_src";
    rawPart(std::move(insert));
    if (isGlobalTemp(target))
        m_out.createdGlobals.push_back(target);
    return true;
}

bool StatementTranslator::insert(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq) || !m_rewriter.rewrite(seq))
        return m_error.description.empty() ? rewriteFailed() : false;
    std::size_t i = 1;
    if (i < seq.size() && seq[i].isWord("INTO"))
        ++i;
    if (i >= seq.size() || !isName(seq[i]))
        return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT: missing the table name");
    const std::string target = nameOf(seq[i++]);
    const auto* tableCols = tableColumns(target);
    if (!tableCols)
        return false;
    std::vector<std::string> names;
    if (i < seq.size() && seq[i].type == Node::Type::Group) {
        for (const auto& item : splitCommas(seq[i].kids)) {
            if (item.size() != 1 || !isName(item[0]))
                return failWith(m_error, kErrSyntax, "Incorrect syntax in the column list of INSERT");
            names.push_back(nameOf(item[0]));
        }
        ++i;
    } else {
        for (const auto& c : *tableCols)
            names.push_back(c.name);
    }
    std::vector<std::string> types;
    bool anyWrite = false;
    for (const auto& n : names) {
        types.push_back(typeIn(*tableCols, n));
        anyWrite = anyWrite || needsWrite(types.back());
    }
    std::string head = "INSERT INTO " + quoteName(target) + " (";
    for (std::size_t k = 0; k < names.size(); ++k)
        head += (k ? "," : "") + quoteName(names[k]);
    head += ")";

    if (i < seq.size() && seq[i].isWord("VALUES")) {
        Seq values{wordNode("VALUES")};
        for (std::size_t k = i + 1; k < seq.size(); ++k) {
            if (seq[k].isComma()) {
                values.push_back(seq[k]);
                continue;
            }
            if (seq[k].type != Node::Type::Group)
                return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT ... VALUES");
            auto items = splitCommas(seq[k].kids);
            if (items.size() != names.size())
                return failWith(
                    m_error, kErrSyntax,
                    "There are fewer columns in the INSERT statement than values specified in the VALUES "
                    "clause, or the reverse");
            for (std::size_t c = 0; c < items.size(); ++c) {
                if (needsWrite(types[c]))
                    items[c] = wrapWrite(std::move(items[c]), types[c]);
            }
            values.push_back(groupNode(joinCommas(items)));
        }
        Emitter e(m_lift);
        e.text(head);
        e.emit(values);
        m_out.parts.push_back(e.take());
        m_out.cacheable = m_lift;
        return true;
    }
    if (i < seq.size() && seq[i].isWord("SELECT")) {
        const Seq source(seq.begin() + static_cast<long>(i), seq.end());
        Emitter e(m_lift);
        if (!anyWrite) {
            e.text(head);
            e.emit(source);
        } else {
            // The query runs as a common table expression whose columns are converted on the way in.
            std::string cteColumns, values;
            for (std::size_t c = 0; c < names.size(); ++c) {
                const std::string n = "c" + std::to_string(c + 1);
                cteColumns += (c ? "," : "") + n;
                values += c ? ", " : "";
                values += needsWrite(types[c]) ? "tsql_write(" + n + ", " + quoteString(types[c]) + ")" : n;
            }
            e.text("WITH tsqlite_src(" + cteColumns + ") AS (");
            e.emit(source);
            e.text(") " + head + " SELECT " + values + " FROM tsqlite_src");
        }
        m_out.parts.push_back(e.take());
        m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
        return true;
    }
    if (i < seq.size() && (seq[i].isWord("EXEC") || seq[i].isWord("EXECUTE")))
        return failWith(m_error, kErrUnsupported, "INSERT ... EXEC is not supported");
    return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT: VALUES or SELECT expected");
}

// UPDATE t SET ... FROM t INNER JOIN x ON c WHERE w  ->  UPDATE t SET ... FROM x WHERE (c) AND (w):
// SQLite's UPDATE ... FROM must not name the target again.
bool StatementTranslator::update(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    if (seq.size() < 4 || !isName(seq[1]) || !seq[2].isWord("SET"))
        return failWith(m_error, seq.size() > 1 && seq[1].isWord("TOP") ? kErrUnsupported : kErrSyntax,
                        seq.size() > 1 && seq[1].isWord("TOP")
                            ? "UPDATE TOP is not supported"
                            : "Incorrect syntax in UPDATE: UPDATE table SET ...");
    std::string target = nameOf(seq[1]);
    const std::size_t from = findTop(seq, "FROM", 3);
    const std::size_t where = findTop(seq, "WHERE", from < seq.size() ? from : 3);
    const std::size_t setEnd = std::min(from, where);

    std::string table = target, alias;
    std::vector<FromItem> items;
    Seq conditions; // join conditions moved to WHERE
    if (from < seq.size()) {
        items = parseFrom(seq, from + 1, where);
        std::size_t found = items.size();
        for (std::size_t k = 0; k < items.size(); ++k) {
            auto [name, itemAlias] = tableAndAlias(items[k].table);
            if ((!itemAlias.empty() && sameName(itemAlias, target)) ||
                (itemAlias.empty() && sameName(name, target)) ||
                (!itemAlias.empty() && sameName(name, target))) {
                found = k;
                table = name;
                alias = itemAlias;
                break;
            }
        }
        if (found < items.size()) {
            const FromItem removed = items[found];
            const bool leftJoined = std::any_of(removed.join.begin(), removed.join.end(), [](const Node& n) {
                return n.isWord("LEFT") || n.isWord("RIGHT") || n.isWord("FULL");
            });
            if (leftJoined)
                return failWith(m_error, kErrUnsupported, "UPDATE of a table joined with an outer join");
            if (!removed.on.empty())
                conditions = removed.on;
            items.erase(items.begin() + static_cast<long>(found));
            if (found == 0 && !items.empty()) {
                const bool outer = std::any_of(items[0].join.begin(), items[0].join.end(), [](const Node& n) {
                    return n.isWord("LEFT") || n.isWord("RIGHT") || n.isWord("FULL") ||
                           (n.type == Node::Type::Raw && n.raw == "LEFT JOIN");
                });
                if (outer)
                    return failWith(m_error, kErrUnsupported,
                                    "UPDATE ... FROM with the updated table outer-joined to the next one");
                if (!items[0].on.empty()) {
                    if (!conditions.empty())
                        conditions = Seq{groupNode(conditions), wordNode("AND"), groupNode(items[0].on)};
                    else
                        conditions = items[0].on;
                }
                items[0].join.clear();
                items[0].on.clear();
            }
        }
    }
    const auto* tableCols = tableColumns(table);
    if (!tableCols)
        return false;

    auto assignments = splitCommas(Seq(seq.begin() + 3, seq.begin() + static_cast<long>(setEnd)));
    for (auto& a : assignments) {
        auto eq = std::find_if(a.begin(), a.end(), [](const Node& n) { return n.isOp("="); });
        if (eq == a.begin() || eq == a.end())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in the SET list of UPDATE");
        const Node column = *(eq - 1); // "t.col" and "col" both end with the column
        if (!isName(column))
            return failWith(m_error, kErrSyntax, "Incorrect syntax in the SET list of UPDATE");
        Seq value(eq + 1, a.end());
        const std::string type = typeIn(*tableCols, nameOf(column));
        if (needsWrite(type))
            value = wrapWrite(std::move(value), type);
        Seq rebuilt{column, *eq};
        rebuilt.insert(rebuilt.end(), value.begin(), value.end());
        a = std::move(rebuilt);
    }

    Seq out{wordNode("UPDATE"), rawNode(quoteName(table))};
    if (!alias.empty()) {
        out.push_back(wordNode("AS"));
        out.push_back(rawNode(quoteName(alias)));
    }
    out.push_back(wordNode("SET"));
    const Seq set = joinCommas(assignments);
    out.insert(out.end(), set.begin(), set.end());
    if (!items.empty()) {
        out.push_back(wordNode("FROM"));
        for (const auto& item : items) {
            out.insert(out.end(), item.join.begin(), item.join.end());
            out.insert(out.end(), item.table.begin(), item.table.end());
            if (!item.on.empty()) {
                out.push_back(wordNode("ON"));
                out.insert(out.end(), item.on.begin(), item.on.end());
            }
        }
    }
    Seq original(seq.begin() + static_cast<long>(std::min(where + 1, seq.size())), seq.end());
    if (!conditions.empty() || !original.empty()) {
        out.push_back(wordNode("WHERE"));
        if (!conditions.empty() && !original.empty()) {
            out.push_back(groupNode(conditions));
            out.push_back(wordNode("AND"));
            out.push_back(groupNode(original));
        } else {
            const Seq& only = conditions.empty() ? original : conditions;
            out.insert(out.end(), only.begin(), only.end());
        }
    }
    emitPart(out);
    m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
    return true;
}

bool StatementTranslator::remove(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq))
        return false;
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    std::size_t i = 1;
    if (i < seq.size() && seq[i].isWord("TOP"))
        return failWith(m_error, kErrUnsupported, "DELETE TOP is not supported");
    if (i < seq.size() && seq[i].isWord("FROM"))
        ++i;
    if (i >= seq.size() || !isName(seq[i]))
        return failWith(m_error, kErrSyntax, "Incorrect syntax in DELETE: missing the table name");
    if (findTop(seq, "FROM", i + 1) < seq.size() || (i + 1 < seq.size() && isJoinWord(seq[i + 1])))
        return failWith(m_error, kErrUnsupported, "DELETE with a joined FROM clause is not supported");
    Seq out{wordNode("DELETE"), wordNode("FROM")};
    out.insert(out.end(), seq.begin() + static_cast<long>(i), seq.end());
    emitPart(out);
    m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
    return true;
}

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
        if (kind == "INDEX" && item.size() > 1)
            return failWith(m_error, kErrUnsupported, "DROP INDEX table.index is not supported");
        const std::string name = nameOf(item.back());
        rawPart("DROP " + kind + (ifExists ? " IF EXISTS " : " ") + quoteName(name));
        if (kind == "TABLE" && isGlobalTemp(name))
            m_out.droppedGlobals.push_back(name);
    }
    return true;
}

// IF condition statement: the condition is evaluated first; the statement, translated only
// then, runs when it holds (so it may use tables the batch created just before).
bool StatementTranslator::conditional(const std::vector<Token>& tokens, std::size_t bodyStart) {
    if (bodyStart == 0 || bodyStart >= tokens.size())
        return failWith(m_error, kErrSyntax, "Incorrect syntax in IF: a statement must follow the condition");
    Seq cond;
    if (!tree(tokens, 1, bodyStart, cond))
        return false;
    if (!m_rewriter.rewrite(cond))
        return rewriteFailed();
    m_out.kind = Translation::Kind::Conditional;
    m_out.parts.push_back(SqlPart{"SELECT CASE WHEN " + emitText(cond) + " THEN 1 ELSE 0 END", {}});
    m_out.body.assign(tokens.begin() + static_cast<long>(bodyStart), tokens.end());
    return true;
}

// EXEC name @p = value, ...: a call of a native procedure.
bool StatementTranslator::exec(const std::vector<Token>& tokens) {
    std::size_t i = 1;
    if (i >= tokens.size())
        return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC: missing the procedure name");
    if (tokens[i].kind == TokenKind::Variable)
        return failWith(m_error, kErrUnsupported, "EXEC @result = ... is not supported");
    std::string name = tokens[i++].text;
    while (i + 1 < tokens.size() && tokens[i].isOp(".")) {
        name += "." + tokens[i + 1].text;
        i += 2;
    }
    m_out.kind = Translation::Kind::Procedure;
    m_out.procedure = name;
    while (i < tokens.size()) {
        Parameter p;
        if (tokens[i].kind == TokenKind::Variable && i + 1 < tokens.size() && tokens[i + 1].isOp("=")) {
            p.name = tokens[i].text;
            i += 2;
        }
        if (i >= tokens.size())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC: missing a parameter value");
        bool negative = false;
        if (tokens[i].isOp("-") && i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Number) {
            negative = true;
            ++i;
        }
        const Token& v = tokens[i++];
        if (v.kind == TokenKind::Number) {
            if (v.text.find_first_of(".eE") == std::string::npos) {
                p.value.kind = Cell::Kind::Integer;
                p.value.i = std::stoll(v.text) * (negative ? -1 : 1);
            } else {
                p.value.kind = Cell::Kind::Real;
                p.value.r = std::stod(v.text) * (negative ? -1 : 1);
            }
        } else if (v.is("NULL") || v.is("DEFAULT")) {
            p.value.kind = Cell::Kind::Null;
        } else if (v.kind == TokenKind::String || v.kind == TokenKind::Word ||
                   v.kind == TokenKind::TempName) {
            p.value.kind = Cell::Kind::Text;
            p.textStorage = v.text;
        } else if (v.kind == TokenKind::Variable) {
            return failWith(m_error, kErrUnsupported, "Variables are not supported: '" + v.text + "'");
        } else {
            return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC near '" + v.text + "'");
        }
        if (i < tokens.size() && (tokens[i].is("OUTPUT") || tokens[i].is("OUT")))
            return failWith(m_error, kErrUnsupported, "OUTPUT parameters are not supported");
        m_out.parameters.push_back(std::move(p));
        if (i < tokens.size()) {
            if (tokens[i].kind != TokenKind::Comma)
                return failWith(m_error, kErrSyntax,
                                "Incorrect syntax in EXEC near '" + tokens[i].text + "'");
            ++i;
        }
    }
    // The text views point into each parameter's own storage, now that the vector is final.
    for (auto& p : m_out.parameters) {
        if (p.value.kind == Cell::Kind::Text)
            p.value.text = p.textStorage;
    }
    return true;
}

bool Translator::translate(const std::vector<Token>& tokens, std::size_t bodyStart, Translation& out,
                           Error& error, bool lift) {
    out = Translation{};
    if (tokens.empty()) {
        out.kind = Translation::Kind::Nothing;
        return true;
    }
    StatementTranslator t(m_db, m_schema, out, error, lift);
    return t.run(tokens, bodyStart);
}

} // namespace tsqlite::detail
