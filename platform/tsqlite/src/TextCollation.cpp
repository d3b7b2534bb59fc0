// SQL Server compares, sorts, groups and de-duplicates text in the collation of its operands:
// a column's own, otherwise (literals, expressions) the database default. SQLite takes the
// collation of a column operand too, but compares anything else byte by byte. Every column
// here carries ERPCI, the database default; so text that an expression computes (RTRIM(c),
// ISNULL(c, ''), a concatenation, a literal, a CASE) is given COLLATE ERPCI wherever SQLite
// would otherwise take BINARY. Numbers and dates are left alone.
#include "Collation.h"
#include "Expressions.h"

#include <algorithm>

namespace tsqlite::detail {
namespace {

// "c", "t.c", "s.t.c": a column keeps its own collation.
bool isColumnRef(const Seq& seq, std::size_t begin, std::size_t end) {
    if (end <= begin || (end - begin) % 2 == 0)
        return false;
    for (std::size_t i = begin; i < end; ++i) {
        const bool expected = (i - begin) % 2 == 0 ? isNameNode(seq[i]) : seq[i].isOp(".");
        if (!expected)
            return false;
    }
    return true;
}

bool hasCollate(const Seq& seq, std::size_t begin, std::size_t end) {
    return end - begin >= 2 && seq[end - 2].isWord("COLLATE");
}

bool textual(TypeClass a, TypeClass b) {
    return (a == TypeClass::Text && (b == TypeClass::Text || b == TypeClass::Unknown)) ||
           (b == TypeClass::Text && a == TypeClass::Unknown);
}

Seq collateSuffix() {
    return Seq{wordNode("COLLATE"), wordNode(kCollationName)};
}

} // namespace

void ExpressionRewriter::collations(Seq& seq) {
    auto classIn = [&](const Seq& s, std::size_t b, std::size_t e) {
        return e > b
                   ? classOf(typeOf(Seq(s.begin() + static_cast<long>(b), s.begin() + static_cast<long>(e))))
                   : TypeClass::Unknown;
    };
    auto computed = [&](const Seq& s, std::size_t b, std::size_t e) {
        return e > b && !isColumnRef(s, b, e) && !hasCollate(s, b, e);
    };
    auto leftBegin = [&](std::size_t end) {
        std::size_t b = end;
        while (b > 0 && !isBoundary(seq, b - 1))
            --b;
        return b;
    };
    auto rightEnd = [&](std::size_t begin) {
        std::size_t e = begin;
        while (e < seq.size() && !isBoundary(seq, e))
            ++e;
        return e;
    };
    std::vector<std::size_t> at; // COLLATE ERPCI goes before these positions

    bool compound = false, distinct = false;
    for (std::size_t i = 0; i < seq.size(); ++i) {
        compound =
            compound || seq[i].isWord("UNION") || seq[i].isWord("EXCEPT") || seq[i].isWord("INTERSECT");
        distinct = distinct || (seq[i].isWord("DISTINCT") && i > 0 && seq[i - 1].isWord("SELECT"));
    }

    for (std::size_t i = 0; i < seq.size(); ++i) {
        const Node& n = seq[i];
        // a = b: SQLite takes the left operand's collation when it is a column, else the right's.
        if (isComparison(n)) {
            const std::size_t lb = leftBegin(i), re = rightEnd(i + 1);
            if (lb < i && re > i + 1 && !hasCollate(seq, i + 1, re) && computed(seq, lb, i) &&
                textual(classIn(seq, lb, i), classIn(seq, i + 1, re)))
                at.push_back(i);
            continue;
        }
        // x IN (...), x BETWEEN a AND b: the collation of x.
        if (n.isWord("IN") || n.isWord("BETWEEN")) {
            const std::size_t end = i > 0 && seq[i - 1].isWord("NOT") ? i - 1 : i;
            const std::size_t lb = leftBegin(end);
            TypeClass other = TypeClass::Unknown;
            if (n.isWord("BETWEEN")) {
                other = classIn(seq, i + 1, rightEnd(i + 1));
            } else if (i + 1 < seq.size() && seq[i + 1].type == Node::Type::Group) {
                const auto items = splitCommas(seq[i + 1].kids);
                if (!items.empty() && !items[0].empty() && !items[0][0].isWord("SELECT"))
                    other = classIn(items[0], 0, items[0].size());
            }
            if (computed(seq, lb, end) && textual(classIn(seq, lb, end), other))
                at.push_back(end);
            continue;
        }
        // ORDER BY / GROUP BY terms.
        if ((n.isWord("ORDER") || n.isWord("GROUP")) && i + 1 < seq.size() && seq[i + 1].isWord("BY")) {
            std::size_t b = i + 2;
            for (std::size_t j = b; j <= seq.size(); ++j) {
                const bool last = j == seq.size() || isClauseKeyword(seq[j]) || seq[j].isWord("LIMIT");
                if (!last && !seq[j].isComma())
                    continue;
                std::size_t e = j;
                if (e > b && (seq[e - 1].isWord("ASC") || seq[e - 1].isWord("DESC")))
                    --e;
                if (computed(seq, b, e) && !(e == b + 1 && seq[b].isKind(TokenKind::Number)) &&
                    classIn(seq, b, e) == TypeClass::Text)
                    at.push_back(e);
                if (last)
                    break;
                b = j + 1;
            }
            continue;
        }
        // Select-list items: for DISTINCT, UNION, and for the columns of a subquery, which
        // the outer query compares with the collation they carry. Top-level items without an
        // alias keep their text, as SQLite names the column after it.
        if (n.isWord("SELECT")) {
            const bool everyItem = m_depth > 0 || compound || distinct;
            std::size_t b = i + 1;
            if (b < seq.size() && (seq[b].isWord("DISTINCT") || seq[b].isWord("ALL")))
                ++b;
            for (std::size_t j = b; j <= seq.size(); ++j) {
                const bool last = j == seq.size() || isClauseKeyword(seq[j]) || seq[j].isWord("LIMIT");
                if (!last && !seq[j].isComma())
                    continue;
                std::size_t e = j;
                bool aliased = false;
                if (e >= b + 3 && seq[e - 2].isWord("AS")) {
                    e -= 2;
                    aliased = true;
                } else if (e >= b + 2 && isNameNode(seq[e - 1]) && endsOperand(seq[e - 2]) &&
                           !seq[e - 2].isOp(".") && !isBoundary(seq, e - 2)) {
                    e -= 1;
                    aliased = true;
                }
                if ((aliased || everyItem) && computed(seq, b, e) && classIn(seq, b, e) == TypeClass::Text)
                    at.push_back(e);
                if (last)
                    break;
                b = j + 1;
            }
            continue;
        }
        // CASE x WHEN 'a' ...: x = 'a' in x's collation.
        if (i == 0 && n.isWord("CASE") && seq.size() > 2 && !seq[1].isWord("WHEN")) {
            const auto when = static_cast<std::size_t>(
                std::find_if(seq.begin(), seq.end(), [](const Node& k) { return k.isWord("WHEN"); }) -
                seq.begin());
            if (when < seq.size() && computed(seq, 1, when) &&
                textual(classIn(seq, 1, when), classIn(seq, when + 1, rightEnd(when + 1))))
                at.push_back(when);
            continue;
        }
        // MIN/MAX of text, and aggregates over DISTINCT text, use their argument's collation.
        if (n.type == Node::Type::Token && i + 1 < seq.size() && seq[i + 1].type == Node::Type::Group) {
            Seq& args = seq[i + 1].kids;
            const bool minMax = (n.isWord("min") || n.isWord("max")) && splitCommas(args).size() == 1;
            const std::size_t b = !args.empty() && args.front().isWord("DISTINCT") ? 1 : 0;
            if ((minMax || b == 1) && computed(args, b, args.size()) &&
                classIn(args, b, args.size()) == TypeClass::Text) {
                const Seq suffix = collateSuffix();
                args.insert(args.end(), suffix.begin(), suffix.end());
            }
        }
    }
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    for (auto it = at.rbegin(); it != at.rend(); ++it) {
        const Seq suffix = collateSuffix();
        seq.insert(seq.begin() + static_cast<long>(*it), suffix.begin(), suffix.end());
    }
}

} // namespace tsqlite::detail
