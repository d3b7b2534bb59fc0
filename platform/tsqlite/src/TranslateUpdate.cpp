#include "SqlType.h"
#include "StatementTranslator.h"

#include <algorithm>

namespace tsqlite::detail {
namespace {

struct FromItem {
    Seq join;  // join keywords; empty for the first item
    Seq table; // table reference with its alias
    Seq on;    // join condition
};

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

// What UPDATE target SET ... FROM ... updates and reads: the table and alias the FROM clause
// gives the target, the other FROM items, and the join conditions that move to WHERE.
struct UpdateSource {
    std::string table;
    std::string alias;
    std::vector<FromItem> others;
    Seq conditions;
};

// Takes the target out of the FROM items (SQLite's UPDATE ... FROM must not name it again),
// with its join condition; when it came first, the next item loses its join and its condition
// too. A target that is outer-joined cannot be updated this way.
bool takeTargetOut(UpdateSource& source, const std::string& target, Error& error) {
    auto& items = source.others;
    std::size_t found = items.size();
    for (std::size_t k = 0; k < items.size(); ++k) {
        auto [name, itemAlias] = tableAndAlias(items[k].table);
        if ((!itemAlias.empty() && sameName(itemAlias, target)) ||
            (itemAlias.empty() && sameName(name, target)) || (!itemAlias.empty() && sameName(name, target))) {
            found = k;
            source.table = name;
            source.alias = itemAlias;
            break;
        }
    }
    if (found == items.size())
        return true;
    const FromItem removed = items[found];
    const bool leftJoined = std::any_of(removed.join.begin(), removed.join.end(), [](const Node& n) {
        return n.isWord("LEFT") || n.isWord("RIGHT") || n.isWord("FULL");
    });
    if (leftJoined)
        return failWith(error, kErrUnsupported, "UPDATE of a table joined with an outer join");
    if (!removed.on.empty())
        source.conditions = removed.on;
    items.erase(items.begin() + static_cast<long>(found));
    if (found != 0 || items.empty())
        return true;
    const bool outer = std::any_of(items[0].join.begin(), items[0].join.end(), [](const Node& n) {
        return n.isWord("LEFT") || n.isWord("RIGHT") || n.isWord("FULL") ||
               (n.type == Node::Type::Raw && n.raw == "LEFT JOIN");
    });
    if (outer)
        return failWith(error, kErrUnsupported,
                        "UPDATE ... FROM with the updated table outer-joined to the next one");
    if (!items[0].on.empty()) {
        if (!source.conditions.empty())
            source.conditions = Seq{groupNode(source.conditions), wordNode("AND"), groupNode(items[0].on)};
        else
            source.conditions = items[0].on;
    }
    items[0].join.clear();
    items[0].on.clear();
    return true;
}

// UPDATE table [AS alias] SET ... [FROM others] [WHERE (conditions) AND (where)].
Seq updateStatement(const UpdateSource& source, const Seq& set, const Seq& where) {
    Seq out{wordNode("UPDATE"), rawNode(quoteName(source.table))};
    if (!source.alias.empty()) {
        out.push_back(wordNode("AS"));
        out.push_back(rawNode(quoteName(source.alias)));
    }
    out.push_back(wordNode("SET"));
    out.insert(out.end(), set.begin(), set.end());
    if (!source.others.empty()) {
        out.push_back(wordNode("FROM"));
        for (const auto& item : source.others) {
            out.insert(out.end(), item.join.begin(), item.join.end());
            out.insert(out.end(), item.table.begin(), item.table.end());
            if (!item.on.empty()) {
                out.push_back(wordNode("ON"));
                out.insert(out.end(), item.on.begin(), item.on.end());
            }
        }
    }
    const Seq& conditions = source.conditions;
    if (!conditions.empty() || !where.empty()) {
        out.push_back(wordNode("WHERE"));
        if (!conditions.empty() && !where.empty()) {
            out.push_back(groupNode(conditions));
            out.push_back(wordNode("AND"));
            out.push_back(groupNode(where));
        } else {
            const Seq& only = conditions.empty() ? where : conditions;
            out.insert(out.end(), only.begin(), only.end());
        }
    }
    return out;
}

// A constant a column of integer type can be set to: an integer literal, signed or not, or NULL.
bool isIntegerConstant(const Seq& value) {
    if (value.size() == 1)
        return value[0].isKind(TokenKind::Number) || value[0].isWord("NULL");
    return value.size() == 2 && (value[0].isOp("-") || value[0].isOp("+")) &&
           value[1].isKind(TokenKind::Number);
}

// A condition made of columns, literals, operators and parenthesized groups only: no function
// call, no subquery, nothing rewritten. Two statements evaluating it in one snapshot select the
// same rows.
bool isPlainCondition(const Seq& seq) {
    for (std::size_t k = 0; k < seq.size(); ++k) {
        const Node& n = seq[k];
        switch (n.type) {
        case Node::Type::Raw:
        case Node::Type::Case:
            return false;
        case Node::Type::Group: {
            const bool afterCall = k > 0 && isName(seq[k - 1]) && !seq[k - 1].isWord("AND") &&
                                   !seq[k - 1].isWord("OR") && !seq[k - 1].isWord("NOT") &&
                                   !seq[k - 1].isWord("IN");
            if (afterCall || !isPlainCondition(n.kids))
                return false;
            break;
        }
        case Node::Type::Token:
            // CURRENT_TIMESTAMP and its kin read the clock without parentheses.
            if (n.isWord("SELECT") || n.isKind(TokenKind::Variable) || n.isKind(TokenKind::Param) ||
                (n.isKind(TokenKind::Word) && n.tok.text.size() > 8 &&
                 sameName(std::string_view(n.tok.text).substr(0, 8), "CURRENT_")))
                return false;
            break;
        }
    }
    return true;
}

// For UPDATE t SET c = constant, ... [WHERE plain] with every c of an integer type: the condition
// a row already meets when the assignments would leave it as it is. A stored integer column
// holds its integers as integers, so `IS` with the written value tells. Empty otherwise.
Seq unchangedCondition(const Seq& setList, const Seq& converted, const std::vector<ColumnInfo>& cols,
                       const Seq& where) {
    if (!isPlainCondition(where))
        return {};
    const auto raw = splitCommas(setList);
    const auto items = splitCommas(converted);
    Seq condition;
    for (std::size_t k = 0; k < raw.size() && k < items.size(); ++k) {
        const Seq& a = raw[k];
        const auto eq = std::find_if(a.begin(), a.end(), [](const Node& n) { return n.isOp("="); });
        if (eq == a.begin() || eq == a.end() || !isIntegerConstant(Seq(eq + 1, a.end())))
            return {};
        const TypeClass cls = parseSqlType(typeIn(cols, nameOf(*(eq - 1)))).cls;
        if (cls != TypeClass::Integer && cls != TypeClass::Bit)
            return {};
        const Seq& item = items[k]; // column = converted value
        if (!condition.empty())
            condition.push_back(wordNode("AND"));
        condition.push_back(item[0]);
        condition.push_back(wordNode("IS"));
        condition.push_back(groupNode(Seq(item.begin() + 2, item.end())));
    }
    return condition;
}

} // namespace

// UPDATE t SET ... FROM t INNER JOIN x ON c WHERE w  ->  UPDATE t SET ... FROM x WHERE (c) AND (w).
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
    const std::string target = nameOf(seq[1]);
    const std::size_t from = findTop(seq, "FROM", 3);
    const std::size_t where = findTop(seq, "WHERE", from < seq.size() ? from : 3);
    const std::size_t setEnd = std::min(from, where);

    UpdateSource source{target, {}, {}, {}};
    if (from < seq.size()) {
        source.others = parseFrom(seq, from + 1, where);
        if (!takeTargetOut(source, target, m_error))
            return false;
    }
    const auto* tableCols = tableColumns(source.table);
    if (!tableCols)
        return false;
    Seq set;
    const Seq setList(seq.begin() + 3, seq.begin() + static_cast<long>(setEnd));
    if (!assignments(setList, *tableCols, set))
        return false;
    const Seq original(seq.begin() + static_cast<long>(std::min(where + 1, seq.size())), seq.end());
    // Setting flags to constants (clearing every mark of a table) is common, and rewriting rows
    // that already hold the values writes every page of the table for nothing. Such an update
    // writes only the rows that change; the rows SQL Server reports are those the WHERE selects,
    // counted first under the same write lock (Connection::Impl::runCountedUpdate).
    const Seq unchanged = source.others.empty() && source.conditions.empty() && source.alias.empty()
                              ? unchangedCondition(setList, set, *tableCols, original)
                              : Seq{};
    if (!unchanged.empty()) {
        Seq changing;
        if (!original.empty())
            changing = Seq{groupNode(original), wordNode("AND")};
        changing.push_back(wordNode("NOT"));
        changing.push_back(groupNode(unchanged));
        emitPart(updateStatement(source, set, changing));
        Seq count{wordNode("SELECT"), rawNode("count(*)"), wordNode("FROM"),
                  rawNode(quoteName(source.table))};
        if (!original.empty()) {
            count.push_back(wordNode("WHERE"));
            count.insert(count.end(), original.begin(), original.end());
        }
        emitPart(count);
        m_out.countedUpdate = true;
    } else {
        emitPart(updateStatement(source, set, original));
    }
    m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
    return true;
}

// The SET list with each value passed through the write conversion of its column.
bool StatementTranslator::assignments(const Seq& setList, const std::vector<ColumnInfo>& tableCols,
                                      Seq& out) {
    auto items = splitCommas(setList);
    for (auto& a : items) {
        auto eq = std::find_if(a.begin(), a.end(), [](const Node& n) { return n.isOp("="); });
        if (eq == a.begin() || eq == a.end())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in the SET list of UPDATE");
        const Node column = *(eq - 1); // "t.col" and "col" both end with the column
        if (!isName(column))
            return failWith(m_error, kErrSyntax, "Incorrect syntax in the SET list of UPDATE");
        Seq value(eq + 1, a.end());
        const std::string type = typeIn(tableCols, nameOf(column));
        if (needsWrite(type))
            value = wrapWrite(std::move(value), type);
        Seq rebuilt{column, *eq};
        rebuilt.insert(rebuilt.end(), value.begin(), value.end());
        a = std::move(rebuilt);
    }
    out = joinCommas(items);
    return true;
}

} // namespace tsqlite::detail
