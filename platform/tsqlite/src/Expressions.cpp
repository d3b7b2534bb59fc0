#include "Expressions.h"

#include "FunctionTable.h"
#include "Registry.h"
#include "Runner.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace tsqlite::detail {
namespace {

bool oneOf(const Node& n, std::initializer_list<std::string_view> words) {
    for (auto w : words) {
        if (n.isWord(w))
            return true;
    }
    return false;
}

bool isNumeric(TypeClass c) {
    return c == TypeClass::Integer || c == TypeClass::Decimal || c == TypeClass::Float || c == TypeClass::Bit;
}

std::string literalType(const Token& t) {
    if (t.kind == TokenKind::String)
        return (t.unicode ? "nvarchar(" : "varchar(") +
               std::to_string(std::max<std::size_t>(t.text.size(), 1)) + ")";
    return numberLiteralType(t.text);
}

Node commaNode() {
    Node n;
    n.tok.kind = TokenKind::Comma;
    n.tok.text = ",";
    return n;
}

} // namespace

bool isComparison(const Node& n) {
    if (n.type != Node::Type::Token || n.tok.kind != TokenKind::Operator)
        return false;
    const auto& t = n.tok.text;
    return t == "=" || t == "<" || t == ">" || t == "<=" || t == ">=" || t == "<>" || t == "!=" ||
           t == "!<" || t == "!>";
}

// Words that end an operand of "+": keywords of clauses and predicates.
constexpr std::array kBoundaryWords = {
    "AND",    "OR",     "NOT",    "WHEN",   "THEN",   "ELSE",      "END",    "AS",      "FROM",   "WHERE",
    "SELECT", "ON",     "JOIN",   "INNER",  "LEFT",   "RIGHT",     "OUTER",  "CROSS",   "FULL",   "BETWEEN",
    "IS",     "IN",     "LIKE",   "ORDER",  "GROUP",  "BY",        "HAVING", "UNION",   "ALL",    "DISTINCT",
    "TOP",    "INTO",   "VALUES", "SET",    "CASE",   "ASC",       "DESC",   "COLLATE", "EXISTS", "ESCAPE",
    "LIMIT",  "UPDATE", "DELETE", "INSERT", "EXCEPT", "INTERSECT", "APPLY",  "WITH",    "USING"};

bool isBoundary(const Seq& seq, std::size_t i) {
    const Node& n = seq[i];
    if (n.type != Node::Type::Token)
        return false;
    switch (n.tok.kind) {
    case TokenKind::Comma:
    case TokenKind::Semicolon:
        return true;
    case TokenKind::Operator: {
        const auto& t = n.tok.text;
        return isComparison(n) || t == "&" || t == "|" || t == "^" || t == "||" || t == "~";
    }
    case TokenKind::Word: {
        // LEFT(...) and RIGHT(...) are calls, not joins.
        if ((n.tok.is("LEFT") || n.tok.is("RIGHT")) && i + 1 < seq.size() &&
            seq[i + 1].type == Node::Type::Group)
            return false;
        for (auto w : kBoundaryWords) {
            if (n.tok.is(w))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool endsOperand(const Node& n) {
    if (n.type != Node::Type::Token)
        return true;
    switch (n.tok.kind) {
    case TokenKind::Word:
    case TokenKind::Quoted:
    case TokenKind::TempName:
    case TokenKind::String:
    case TokenKind::Number:
    case TokenKind::Param:
        return true;
    default:
        return false;
    }
}

TypeClass classOf(const std::string& type) {
    return type.empty() ? TypeClass::Unknown : parseSqlType(type).cls;
}

bool isNameNode(const Node& n) {
    return n.type == Node::Type::Token && (n.tok.kind == TokenKind::Word || n.tok.kind == TokenKind::Quoted ||
                                           n.tok.kind == TokenKind::TempName);
}

bool isTableHint(const Node& n) {
    return oneOf(n, {"NOLOCK", "READUNCOMMITTED", "UPDLOCK", "ROWLOCK", "HOLDLOCK", "TABLOCK", "TABLOCKX",
                     "PAGLOCK", "NOWAIT", "READPAST", "XLOCK", "SERIALIZABLE", "REPEATABLEREAD",
                     "READCOMMITTED", "INDEX", "FORCESEEK", "NOEXPAND"});
}

bool isClauseKeyword(const Node& n) {
    return oneOf(n, {"FROM", "INTO", "WHERE", "GROUP", "ORDER", "HAVING", "UNION", "EXCEPT", "INTERSECT"});
}

bool ExpressionRewriter::fail(std::int64_t number, std::string message) {
    if (m_error.message.empty()) {
        m_error.number = number;
        m_error.message = std::move(message);
    }
    return false;
}

bool ExpressionRewriter::rewrite(Seq& seq) {
    if (!prepass(seq) || !mapCalls(seq))
        return false;
    ++m_depth;
    for (Node& n : seq) {
        if (n.type == Node::Type::Group || n.type == Node::Type::Case) {
            if (!rewrite(n.kids)) {
                --m_depth;
                return false;
            }
        }
    }
    --m_depth;
    if (!selectClauses(seq) || !applyJoins(seq))
        return false;
    scopeJoins(seq);
    markDates(seq);
    aggregates(seq);
    arithmetic(seq);
    division(seq);
    concatenation(seq);
    collations(seq);
    return true;
}

// Owner prefixes, tempdb, table hints, collations and variables.
bool ExpressionRewriter::prepass(Seq& seq) {
    Seq out;
    out.reserve(seq.size());
    for (std::size_t i = 0; i < seq.size(); ++i) {
        Node& n = seq[i];
        const bool dotNext = i + 1 < seq.size() && seq[i + 1].isOp(".");
        // tempdb..x, tempdb.dbo.x, dbo.x: the database has one schema.
        if (n.isWord("tempdb") && dotNext) {
            std::size_t j = i + 1;
            while (j < seq.size() && (seq[j].isOp(".") || seq[j].isWord("dbo")))
                ++j;
            i = j - 1;
            continue;
        }
        if (n.isWord("dbo") && dotNext && (out.empty() || !out.back().isOp("."))) {
            ++i;
            continue;
        }
        if (n.isWord("WITH") && i + 1 < seq.size() && seq[i + 1].type == Node::Type::Group &&
            !seq[i + 1].kids.empty() && isTableHint(seq[i + 1].kids.front())) {
            ++i;
            continue;
        }
        // Old-style hint right after a table name: "FROM T (NOLOCK)".
        if (n.type == Node::Type::Group && n.kids.size() == 1 && isTableHint(n.kids.front()) &&
            !out.empty() && isNameNode(out.back()))
            continue;
        if (n.isWord("COLLATE") && i + 1 < seq.size()) {
            out.push_back(n);
            out.push_back(wordNode("ERPCI"));
            ++i;
            continue;
        }
        if (n.isKind(TokenKind::Variable))
            return fail(kErrUnsupported, "Variables are not supported: '" + n.tok.text + "'");
        if (n.isWord("sysobjects") && !(i + 1 < seq.size() && seq[i + 1].type == Node::Type::Group)) {
            // tempdb..sysobjects: every table and view, with the ids OBJECT_ID gives.
            out.push_back(
                rawNode("(SELECT " + std::string(kObjectIdFunction) +
                        "(name) AS id, name AS name, 'U' AS xtype FROM "
                        "(SELECT name FROM main.sqlite_schema WHERE type IN ('table','view') UNION ALL "
                        "SELECT name FROM temp.sqlite_schema WHERE type IN ('table','view')))"));
            const bool aliased = i + 1 < seq.size() && (seq[i + 1].isWord("AS") ||
                                                        (isNameNode(seq[i + 1]) && !isBoundary(seq, i + 1)));
            if (!aliased)
                out.push_back(rawNode("AS sysobjects"));
            continue;
        }
        out.push_back(std::move(n));
    }
    seq = std::move(out);
    return true;
}

// Calls of the function table: the arguments rewritten as the row says, the name replaced by
// the SQLite function's, and the type the call yields noted for the type pass.
bool ExpressionRewriter::mapCalls(Seq& seq) {
    for (std::size_t i = 0; i + 1 < seq.size(); ++i) {
        Node& name = seq[i];
        Node& args = seq[i + 1];
        if (name.type != Node::Type::Token || name.tok.kind != TokenKind::Word ||
            args.type != Node::Type::Group)
            continue;
        if (i > 0 && seq[i - 1].isOp("."))
            continue;
        const FunctionRow* row = findCall(name.tok.text);
        if (!row)
            continue;
        std::string targetType;
        if (!rewriteArguments(*row, name.tok.text, args.kids, targetType))
            return false;
        if (lowerCase(name.tok.text) != row->sqlite)
            name.tok.text = std::string(row->sqlite);
        if (row->result == Result::TargetType)
            name.declType = targetType;
        else if (row->result == Result::Fixed)
            name.declType = std::string(row->type);
    }
    return true;
}

bool ExpressionRewriter::rewriteArguments(const FunctionRow& row, const std::string& spelledName, Seq& args,
                                          std::string& targetType) {
    auto typeString = [&](const Seq& typeNodes) { return normaliseType(emitText(typeNodes)); };
    switch (row.arguments) {
    case Arguments::AsWritten:
        return true;
    case Arguments::TwoExactly: {
        auto items = splitCommas(args);
        if (items.size() != 2)
            return fail(kErrSyntax, "The " + std::string(row.tsql) + " function requires 2 arguments");
        // ISNULL has its first argument's type: a longer replacement is cut to that length, as
        // SQL Server cuts it.
        const SqlType first = parseSqlType(typeOf(items[0]));
        if (first.cls != TypeClass::Text || first.length <= 0)
            return true;
        const SqlType second = parseSqlType(typeOf(items[1]));
        // A char(n) pads, so a shorter replacement changes too.
        const bool fits = second.cls == TypeClass::Text && second.length >= 0 &&
                          (first.fixedLength ? second.fixedLength && second.length == first.length
                                             : second.length <= first.length);
        if (fits || (items[1].size() == 1 && items[1][0].isWord("NULL")))
            return true;
        Seq cast = std::move(items[1]);
        cast.push_back(wordNode("AS"));
        cast.push_back(rawNode(first.spelling()));
        items[1] = Seq{wordNode("CAST"), groupNode(std::move(cast))};
        args = joinCommas(items);
        return true;
    }
    case Arguments::CastAs: {
        auto as = std::find_if(args.rbegin(), args.rend(), [](const Node& n) { return n.isWord("AS"); });
        if (as == args.rend())
            return fail(kErrSyntax, "Incorrect syntax in CAST: missing AS");
        const auto asIndex = static_cast<std::size_t>(args.rend() - as - 1);
        const Seq type(args.begin() + static_cast<long>(asIndex) + 1, args.end());
        const Seq expr(args.begin(), args.begin() + static_cast<long>(asIndex));
        targetType = typeString(type);
        if (parseSqlType(targetType).cls == TypeClass::Unknown)
            return fail(kErrUnsupported, "CAST to the type '" + targetType + "' is not supported");
        Seq kids{rawNode(quoteString(targetType + numberSource(targetType, expr))), commaNode()};
        kids.insert(kids.end(), expr.begin(), expr.end());
        args = std::move(kids);
        return true;
    }
    case Arguments::TypeFirst: {
        auto items = splitCommas(args);
        if (items.size() < 2 || items.size() > 3)
            return fail(kErrSyntax, "Incorrect syntax in CONVERT: it takes a type, a value and a style");
        targetType = typeString(items[0]);
        if (parseSqlType(targetType).cls == TypeClass::Unknown)
            return fail(kErrUnsupported, "CONVERT to the type '" + targetType + "' is not supported");
        items[0] = Seq{rawNode(quoteString(targetType + numberSource(targetType, items[1])))};
        args = joinCommas(items);
        return true;
    }
    case Arguments::DatePartFirst: {
        auto items = splitCommas(args);
        if (items.empty() || items[0].size() != 1 || items[0][0].type != Node::Type::Token)
            return fail(kErrSyntax,
                        "Incorrect syntax in " + spelledName + ": the first argument is a date part");
        items[0] = Seq{rawNode(quoteString(items[0][0].tok.text))};
        args = joinCommas(items);
        return true;
    }
    case Arguments::NameAsDatePart: {
        Seq kids{rawNode(quoteString(row.tsql)), commaNode()};
        kids.insert(kids.end(), args.begin(), args.end());
        args = std::move(kids);
        return true;
    }
    case Arguments::FirstTypeLast: {
        auto items = splitCommas(args);
        const std::string type = items.empty() ? std::string() : typeOf(items[0]);
        if (!type.empty()) {
            items.push_back(Seq{rawNode(quoteString(type))});
            args = joinCommas(items);
        }
        return true;
    }
    case Arguments::LeadingBlank: {
        auto items = splitCommas(args);
        items.insert(items.begin(), Seq{rawNode("' '")});
        args = joinCommas(items);
        return true;
    }
    }
    return true;
}

// Per SELECT of this level: "name = expr" items, TOP n, ORDER BY positions.
bool ExpressionRewriter::selectClauses(Seq& seq) {
    bool hasUnion = false;
    for (const Node& n : seq)
        hasUnion = hasUnion || oneOf(n, {"UNION", "EXCEPT", "INTERSECT"});
    Seq limit;
    for (std::size_t i = 0; i < seq.size(); ++i) {
        if (!seq[i].isWord("SELECT"))
            continue;
        std::size_t start = i + 1;
        if (start < seq.size() && oneOf(seq[start], {"DISTINCT", "ALL"}))
            ++start;
        if (start < seq.size() && seq[start].isWord("TOP")) {
            if (start + 1 >= seq.size())
                return fail(kErrSyntax, "Incorrect syntax near 'TOP'");
            if (hasUnion)
                return fail(kErrUnsupported, "TOP in a query with UNION is not supported");
            Node count = seq[start + 1];
            std::size_t erase = 2;
            if (start + 2 < seq.size() && oneOf(seq[start + 2], {"PERCENT"}))
                return fail(kErrUnsupported, "TOP ... PERCENT is not supported");
            if (start + 3 < seq.size() && seq[start + 2].isWord("WITH") && seq[start + 3].isWord("TIES"))
                return fail(kErrUnsupported, "TOP ... WITH TIES is not supported");
            seq.erase(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(start + erase));
            limit = Seq{wordNode("LIMIT"), std::move(count)};
        }
        // The select list: items up to the first clause keyword.
        std::size_t end = start;
        while (end < seq.size() && !isClauseKeyword(seq[end]))
            ++end;
        Seq list(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(end));
        auto items = splitCommas(list);
        bool changed = false;
        for (auto& item : items) {
            if (item.size() > 2 && isNameNode(item[0]) && item[1].isOp("=")) {
                Seq moved(item.begin() + 2, item.end());
                moved.push_back(wordNode("AS"));
                moved.push_back(item[0]);
                item = std::move(moved);
                changed = true;
            }
        }
        if (changed) {
            Seq joined = joinCommas(items);
            seq.erase(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(end));
            seq.insert(seq.begin() + static_cast<long>(start), joined.begin(), joined.end());
        }
    }
    // ORDER BY 1, GROUP BY 2: positions, not values; they stay in the text.
    for (std::size_t i = 0; i + 1 < seq.size(); ++i) {
        if (!(oneOf(seq[i], {"ORDER", "GROUP"}) && seq[i + 1].isWord("BY")))
            continue;
        for (std::size_t j = i + 2; j < seq.size() && !isClauseKeyword(seq[j]) && !seq[j].isWord("LIMIT");
             ++j) {
            if (seq[j].isKind(TokenKind::Number) && (j == i + 2 || seq[j - 1].isComma())) {
                seq[j].inlined = true;
                m_inlined = true;
            }
        }
    }
    if (!limit.empty())
        seq.insert(seq.end(), limit.begin(), limit.end());
    return true;
}

// OUTER APPLY f(args) AS t -> LEFT JOIN f(args) AS t; CROSS APPLY -> JOIN. The functions are
// registered table functions, which SQLite joins with correlated arguments.
bool ExpressionRewriter::applyJoins(Seq& seq) {
    for (std::size_t i = 0; i + 1 < seq.size(); ++i) {
        if (!(oneOf(seq[i], {"OUTER", "CROSS"}) && seq[i + 1].isWord("APPLY")))
            continue;
        const bool outer = seq[i].isWord("OUTER");
        if (i + 3 >= seq.size() || seq[i + 2].type != Node::Type::Token ||
            seq[i + 3].type != Node::Type::Group)
            return fail(kErrUnsupported, std::string(outer ? "OUTER" : "CROSS") +
                                             " APPLY is supported over table functions only");
        const std::string fn = seq[i + 2].tok.text;
        if (!findTableFunction(fn))
            return fail(kErrUnsupported, std::string(outer ? "OUTER" : "CROSS") + " APPLY over '" + fn +
                                             "', which is not a table function of this database");
        seq[i] = rawNode(outer ? "LEFT JOIN" : "JOIN");
        seq.erase(seq.begin() + static_cast<long>(i) + 1);
    }
    return true;
}

// SQL Server resolves a name in a join's ON condition among the tables joined so far; SQLite
// among every table of the FROM clause. A name that only the later tables make ambiguous is
// qualified with the table that SQL Server would take.
void ExpressionRewriter::scopeJoins(Seq& seq) {
    const auto from = std::find_if(seq.begin(), seq.end(), [](const Node& n) { return n.isWord("FROM"); });
    if (from == seq.end())
        return;
    const auto begin = static_cast<std::size_t>(from - seq.begin()) + 1;
    std::size_t end = begin;
    while (end < seq.size() && !oneOf(seq[end], {"WHERE", "GROUP", "ORDER", "HAVING", "UNION", "EXCEPT",
                                                 "INTERSECT", "LIMIT", "SET"}))
        ++end;
    // Tables (name, alias or name) in order, and the ON ranges with the count of tables before them.
    std::vector<std::pair<std::string, std::string>> tables;
    std::vector<std::tuple<std::size_t, std::size_t, std::size_t>> conditions; // begin, end, tables in scope
    bool expectTable = true;
    std::size_t onBegin = 0;
    bool inOn = false;
    auto closeOn = [&](std::size_t at) {
        if (inOn)
            conditions.emplace_back(onBegin, at, tables.size());
        inOn = false;
    };
    for (std::size_t i = begin; i < end; ++i) {
        const Node& n = seq[i];
        const bool joinWord = n.isComma() ||
                              oneOf(n, {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "OUTER"}) ||
                              (n.type == Node::Type::Raw && (n.raw == "LEFT JOIN" || n.raw == "JOIN"));
        if (joinWord) {
            closeOn(i);
            expectTable = true;
            continue;
        }
        if (n.isWord("ON")) {
            inOn = true;
            onBegin = i + 1;
            continue;
        }
        if (expectTable && isNameNode(n)) {
            std::string alias = n.tok.text;
            std::size_t j = i + 1;
            if (j < end && seq[j].isWord("AS"))
                ++j;
            if (j < end && isNameNode(seq[j]) && !seq[j].isWord("ON") &&
                !oneOf(seq[j], {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS"}))
                alias = seq[j].tok.text;
            tables.emplace_back(n.tok.text, alias);
            expectTable = false;
        } else if (expectTable) {
            tables.emplace_back(std::string(), std::string()); // a subquery or a function: not resolved here
            expectTable = false;
        }
    }
    closeOn(end);
    if (tables.size() < 3)
        return;
    for (auto it = conditions.rbegin(); it != conditions.rend(); ++it) {
        auto [b, e, count] = *it;
        Seq condition(seq.begin() + static_cast<long>(b), seq.begin() + static_cast<long>(e));
        const std::vector<std::pair<std::string, std::string>> inScope(
            tables.begin(), tables.begin() + static_cast<long>(count));
        qualify(condition, inScope, tables);
        seq.erase(seq.begin() + static_cast<long>(b), seq.begin() + static_cast<long>(e));
        seq.insert(seq.begin() + static_cast<long>(b), condition.begin(), condition.end());
    }
}

void ExpressionRewriter::qualify(Seq& condition,
                                 const std::vector<std::pair<std::string, std::string>>& inScope,
                                 const std::vector<std::pair<std::string, std::string>>& all) {
    auto holders = [&](const std::vector<std::pair<std::string, std::string>>& tables,
                       const std::string& column, std::string& alias) {
        int count = 0;
        for (const auto& [table, a] : tables) {
            if (table.empty())
                continue;
            const auto* cols = m_schema.columns(table);
            if (!cols)
                continue;
            for (const auto& c : *cols) {
                if (lowerCase(c.name) == lowerCase(column)) {
                    ++count;
                    alias = a;
                    break;
                }
            }
        }
        return count;
    };
    for (std::size_t i = 0; i < condition.size(); ++i) {
        Node& n = condition[i];
        if (n.type == Node::Type::Group || n.type == Node::Type::Case) {
            qualify(n.kids, inScope, all);
            continue;
        }
        if (!(n.isKind(TokenKind::Word) || n.isKind(TokenKind::Quoted)))
            continue;
        if ((i > 0 && condition[i - 1].isOp(".")) ||
            (i + 1 < condition.size() && condition[i + 1].isOp(".")) ||
            (i + 1 < condition.size() && condition[i + 1].type == Node::Type::Group))
            continue;
        std::string scopeAlias, anyAlias;
        if (holders(all, n.tok.text, anyAlias) < 2 || holders(inScope, n.tok.text, scopeAlias) != 1)
            continue;
        Node dot;
        dot.tok.kind = TokenKind::Operator;
        dot.tok.text = ".";
        const Node column = n;
        condition[i] = rawNode(quoteName(scopeAlias));
        condition.insert(condition.begin() + static_cast<long>(i) + 1, {dot, column});
        i += 2;
    }
}

std::string ExpressionRewriter::columnTypeOf(const Seq& seq, std::size_t begin, std::size_t end) {
    if (end <= begin)
        return {};
    const Node& last = seq[end - 1];
    if (last.type != Node::Type::Token ||
        (last.tok.kind != TokenKind::Word && last.tok.kind != TokenKind::Quoted))
        return {};
    if (end - begin == 1 || (end - begin == 3 && seq[begin + 1].isOp(".")) ||
        (end - begin == 5 && seq[begin + 1].isOp(".") && seq[begin + 3].isOp(".")))
        return m_schema.columnType(last.tok.text);
    return {};
}

// A string literal compared with a date column is a date: it is written in the canonical
// form before the comparison, as SQL Server would convert it.
void ExpressionRewriter::markDates(Seq& seq) {
    auto operandBounds = [&](std::size_t end) {
        // The column reference that ends at `end` (exclusive): name or name.name.
        std::size_t begin = end;
        if (begin > 0 && isNameNode(seq[begin - 1])) {
            --begin;
            while (begin >= 2 && seq[begin - 1].isOp(".") && isNameNode(seq[begin - 2]))
                begin -= 2;
        }
        return begin;
    };
    auto nameAt = [&](std::size_t begin) {
        std::size_t end = begin;
        if (end < seq.size() && isNameNode(seq[end])) {
            ++end;
            while (end + 1 < seq.size() && seq[end].isOp(".") && isNameNode(seq[end + 1]))
                end += 2;
        }
        return end;
    };
    auto isDateColumn = [&](std::size_t begin, std::size_t end) {
        return end > begin && classOf(columnTypeOf(seq, begin, end)) == TypeClass::Date;
    };
    auto mark = [&](std::size_t i) {
        if (i < seq.size() && seq[i].isKind(TokenKind::String))
            seq[i].asDate = true;
    };
    for (std::size_t i = 0; i < seq.size(); ++i) {
        if (isComparison(seq[i])) {
            const std::size_t lb = operandBounds(i);
            const std::size_t re = nameAt(i + 1);
            if (i > 0 && isDateColumn(lb, i))
                mark(i + 1);
            if (i > 0 && isDateColumn(i + 1, re))
                mark(i - 1);
        } else if (seq[i].isWord("BETWEEN")) {
            std::size_t andAt = i + 1;
            while (andAt < seq.size() && !seq[andAt].isWord("AND"))
                ++andAt;
            const std::size_t lb = operandBounds(i);
            const bool dateSubject = isDateColumn(lb, i);
            const bool dateBounds = isDateColumn(i + 1, nameAt(i + 1)) ||
                                    (andAt < seq.size() && isDateColumn(andAt + 1, nameAt(andAt + 1)));
            if (dateSubject) {
                mark(i + 1);
                mark(andAt + 1);
            }
            if (dateBounds && i > 0)
                mark(i - 1);
        }
    }
}

std::string ExpressionRewriter::numberSource(const std::string& target, const Seq& value) {
    const SqlType to = parseSqlType(target);
    if (to.cls != TypeClass::Text || to.length < 0)
        return {};
    const std::string from = typeOf(value);
    const TypeClass cls = parseSqlType(from).cls;
    return cls == TypeClass::Integer || cls == TypeClass::Decimal || cls == TypeClass::Float ? "|" + from
                                                                                             : std::string();
}

std::string ExpressionRewriter::typeOf(const Seq& term) {
    if (term.empty())
        return {};
    if (term.size() > 2 && term[term.size() - 2].isWord("COLLATE"))
        return typeOf(Seq(term.begin(), term.end() - 2));
    if (term.size() == 1) {
        const Node& n = term[0];
        switch (n.type) {
        case Node::Type::Group:
            return n.declType.empty() ? typeOf(n.kids) : n.declType;
        case Node::Type::Case:
            for (std::size_t i = 0; i < n.kids.size(); ++i) {
                if (!oneOf(n.kids[i], {"THEN", "ELSE"}))
                    continue;
                std::size_t j = i + 1;
                while (j < n.kids.size() && !oneOf(n.kids[j], {"WHEN", "ELSE", "END"}))
                    ++j;
                const Seq result(n.kids.begin() + static_cast<long>(i) + 1,
                                 n.kids.begin() + static_cast<long>(j));
                const std::string t = typeOf(result);
                if (!t.empty())
                    return t;
            }
            return {};
        case Node::Type::Raw:
            return {};
        case Node::Type::Token:
            if (n.tok.kind == TokenKind::String || n.tok.kind == TokenKind::Number)
                return literalType(n.tok);
            if (n.tok.kind == TokenKind::Word || n.tok.kind == TokenKind::Quoted)
                return n.isWord("NULL") ? std::string() : m_schema.columnType(n.tok.text);
            return {};
        }
    }
    if (term.size() == 2 && term[0].type == Node::Type::Token && term[1].type == Node::Type::Group) {
        const Node& name = term[0];
        if (!name.declType.empty())
            return name.declType;
        const FunctionRow* row = findBySqliteName(name.tok.text);
        if (row && row->result == Result::Fixed)
            return std::string(row->type);
        if (row && row->result == Result::FirstTyped) {
            for (const auto& a : splitCommas(term[1].kids)) {
                const std::string t = typeOf(a);
                if (!t.empty())
                    return t;
            }
        }
        return {};
    }
    if (term.size() == 3 && term[1].isOp(".") && isNameNode(term[2]))
        return m_schema.columnType(term[2].tok.text);
    // An arithmetic or concatenated expression.
    bool text = false, decimal = false, floating = false, numeric = false;
    int scale = 0;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= term.size(); ++i) {
        if (i < term.size() && term[i].type == Node::Type::Raw && term[i].raw == "||")
            text = true;
        const bool op =
            i < term.size() && ((term[i].type == Node::Type::Token &&
                                 term[i].tok.kind == TokenKind::Operator && term[i].tok.text != ".") ||
                                term[i].type == Node::Type::Raw);
        if (i < term.size() && !op)
            continue;
        if (begin == 0 && i == term.size())
            return {}; // no operator: nothing more to tell
        if (op && term[i].tok.text == "||")
            text = true;
        if (i > begin) {
            const Seq part(term.begin() + static_cast<long>(begin), term.begin() + static_cast<long>(i));
            const std::string t = typeOf(part);
            const SqlType st = parseSqlType(t);
            if (st.cls == TypeClass::Text)
                text = true;
            else if (st.cls == TypeClass::Decimal) {
                decimal = true;
                scale = std::max(scale, st.scale);
            } else if (st.cls == TypeClass::Float)
                floating = true;
            else if (isNumeric(st.cls))
                numeric = true;
        }
        begin = i + 1;
    }
    if (text)
        return "varchar(8000)";
    if (floating)
        return "float";
    if (decimal)
        return "decimal(38," + std::to_string(scale) + ")";
    if (numeric)
        return "int";
    return {};
}

// A decimal column holding a whole value is stored as an integer, and SQLite divides two
// integers as integers; SQL Server divides decimals exactly. A division with a decimal or
// float operand therefore divides in floating point.
void ExpressionRewriter::division(Seq& seq) {
    auto operandBegin = [&](std::size_t end) -> std::size_t { // operand ending before `end`
        if (end == 0)
            return end;
        std::size_t b = end - 1;
        if (seq[b].type == Node::Type::Group && b > 0 && seq[b - 1].isKind(TokenKind::Word))
            return b - 1; // a call
        while (b >= 2 && seq[b - 1].isOp(".") && isNameNode(seq[b - 2]))
            b -= 2;
        return b;
    };
    auto operandEnd = [&](std::size_t begin) -> std::size_t {
        std::size_t e = begin + 1;
        if (e < seq.size() && seq[begin].isKind(TokenKind::Word) && seq[e].type == Node::Type::Group)
            return e + 1;
        while (e + 1 < seq.size() && seq[e].isOp(".") && isNameNode(seq[e + 1]))
            e += 2;
        return e;
    };
    auto exact = [&](std::size_t b, std::size_t e) {
        const SqlType t =
            parseSqlType(typeOf(Seq(seq.begin() + static_cast<long>(b), seq.begin() + static_cast<long>(e))));
        return (t.cls == TypeClass::Decimal && t.scale > 0) || t.cls == TypeClass::Float;
    };
    for (std::size_t i = 1; i + 1 < seq.size(); ++i) {
        if (!seq[i].isOp("/"))
            continue;
        const std::size_t lb = operandBegin(i);
        const std::size_t re = operandEnd(i + 1);
        if (lb >= i || !(exact(lb, i) || exact(i + 1, re)))
            continue;
        Seq left(seq.begin() + static_cast<long>(lb), seq.begin() + static_cast<long>(i));
        left.push_back(wordNode("AS"));
        left.push_back(wordNode("REAL"));
        Node cast = groupNode(std::move(left));
        seq.erase(seq.begin() + static_cast<long>(lb), seq.begin() + static_cast<long>(i));
        seq.insert(seq.begin() + static_cast<long>(lb), {wordNode("CAST"), std::move(cast)});
        i = lb + 2;
    }
}

// Runs of operands joined by "+" and "-": "+" between texts concatenates (||), between a number
// and a text adds; when an operand's type is not known, tsql_add decides on the values.
void ExpressionRewriter::concatenation(Seq& seq) {
    struct Run {
        std::vector<std::pair<std::size_t, std::size_t>> terms; // [begin, end)
        std::vector<std::size_t> ops;
    };
    std::vector<Run> runs;
    Run current;
    std::size_t termBegin = 0;
    auto close = [&](std::size_t end) {
        if (!current.ops.empty() && end > termBegin) {
            current.terms.emplace_back(termBegin, end);
            runs.push_back(current);
        }
        current = Run{};
    };
    for (std::size_t i = 0; i < seq.size(); ++i) {
        if (isBoundary(seq, i)) {
            close(i);
            termBegin = i + 1;
            continue;
        }
        const bool binary =
            (seq[i].isOp("+") || seq[i].isOp("-")) && i > termBegin && endsOperand(seq[i - 1]);
        if (binary) {
            current.terms.emplace_back(termBegin, i);
            current.ops.push_back(i);
            termBegin = i + 1;
        }
    }
    close(seq.size());

    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        bool anyPlus = false;
        for (std::size_t op : run->ops)
            anyPlus = anyPlus || seq[op].isOp("+");
        if (!anyPlus)
            continue;
        bool text = false, allKnown = true;
        std::vector<Seq> terms;
        std::vector<TypeClass> classes;
        for (auto [b, e] : run->terms) {
            terms.emplace_back(seq.begin() + static_cast<long>(b), seq.begin() + static_cast<long>(e));
            classes.push_back(classOf(typeOf(terms.back())));
            text = text || classes.back() == TypeClass::Text;
            allKnown = allKnown && isNumeric(classes.back());
        }
        if (!text && allKnown)
            continue;
        // Left to right, as SQL Server reads "+": text and text concatenate; a number and a text
        // add, the text converted to a number (a text that is none fails, as SQL Server's 245).
        Seq result = terms[0];
        TypeClass resultClass = classes[0];
        for (std::size_t k = 0; k < run->ops.size(); ++k) {
            const bool plus = seq[run->ops[k]].isOp("+");
            const Seq& term = terms[k + 1];
            const TypeClass termClass = classes[k + 1];
            const bool mixed = (resultClass == TypeClass::Text && isNumeric(termClass)) ||
                               (isNumeric(resultClass) && termClass == TypeClass::Text);
            if (text && plus && !mixed) {
                Seq next{groupNode(result), rawNode("||"), groupNode(term)};
                result = std::move(next);
                resultClass = TypeClass::Text;
            } else if (plus) {
                Seq args = result;
                args.push_back(commaNode());
                args.insert(args.end(), term.begin(), term.end());
                Node call = wordNode(std::string(kAddFunction));
                result = Seq{call, groupNode(std::move(args))};
                resultClass = mixed ? (isNumeric(resultClass) ? resultClass : termClass) : TypeClass::Unknown;
            } else {
                Seq next{groupNode(result), rawNode("-"), groupNode(term)};
                result = std::move(next);
                resultClass =
                    isNumeric(resultClass) && isNumeric(termClass) ? resultClass : TypeClass::Unknown;
            }
        }
        Node wrapped = groupNode(std::move(result));
        if (resultClass == TypeClass::Text)
            wrapped.declType = "varchar(8000)";
        const std::size_t b = run->terms.front().first;
        const std::size_t e = run->terms.back().second;
        seq.erase(seq.begin() + static_cast<long>(b), seq.begin() + static_cast<long>(e));
        seq.insert(seq.begin() + static_cast<long>(b), std::move(wrapped));
    }
}

} // namespace tsqlite::detail
