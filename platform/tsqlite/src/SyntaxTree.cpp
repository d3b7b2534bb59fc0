#include "SyntaxTree.h"

#include "Dates.h"
#include "Errors.h"

namespace tsqlite::detail {

Node rawNode(std::string text) {
    Node n;
    n.type = Node::Type::Raw;
    n.raw = std::move(text);
    return n;
}

Node wordNode(std::string text) {
    Node n;
    n.tok.kind = TokenKind::Word;
    n.tok.text = std::move(text);
    return n;
}

Node groupNode(Seq kids) {
    Node n;
    n.type = Node::Type::Group;
    n.kids = std::move(kids);
    return n;
}

namespace {

bool isLiteral(const Token& t) {
    return t.kind == TokenKind::String || t.kind == TokenKind::Number;
}

// Recursive descent over parentheses and CASE ... END; `literal` counts literals in order.
// `depth` is the nesting of the sequence being built: every pass over the tree (rewriting,
// typing, emitting, destroying) recurses as deep, so it is refused beyond kMaxNesting.
bool build(const std::vector<Token>& tokens, std::size_t& i, std::size_t end, Seq& out, int& literal,
           bool inCase, bool inGroup, int depth, std::string& error) {
    if (depth > kMaxNesting) {
        error = std::string(kNestedTooDeeply);
        return false;
    }
    // The rewriter nests a run of "+" and "-" one level per operand (concatenation, tsql_add):
    // a run within one item of a list counts as nesting too.
    int run = 0;
    while (i < end) {
        const Token& t = tokens[i];
        if (t.kind == TokenKind::Comma)
            run = 0;
        else if ((t.isOp("+") || t.isOp("-")) && depth + ++run > kMaxNesting) {
            error = std::string(kNestedTooDeeply);
            return false;
        }
        if (t.kind == TokenKind::RParen) {
            if (!inGroup || inCase) {
                error = inCase ? "CASE without END" : "Incorrect syntax near ')'";
                return false;
            }
            return true;
        }
        if (inCase && t.is("END")) {
            Node n;
            n.tok = t;
            out.push_back(std::move(n));
            ++i;
            return true;
        }
        if (t.kind == TokenKind::LParen) {
            Node g;
            g.type = Node::Type::Group;
            ++i;
            if (!build(tokens, i, end, g.kids, literal, false, true, depth + 1, error))
                return false;
            if (i >= end) {
                error = "Incorrect syntax: missing ')'";
                return false;
            }
            ++i; // the ')'
            out.push_back(std::move(g));
            continue;
        }
        if (t.is("CASE")) {
            Node c;
            c.type = Node::Type::Case;
            Node head;
            head.tok = t;
            c.kids.push_back(std::move(head));
            ++i;
            if (!build(tokens, i, end, c.kids, literal, true, false, depth + 1, error))
                return false;
            if (c.kids.size() < 2 || !c.kids.back().isWord("END")) {
                error = "Incorrect syntax: CASE without END";
                return false;
            }
            out.push_back(std::move(c));
            continue;
        }
        Node n;
        n.tok = t;
        if (isLiteral(t))
            n.literal = literal++;
        out.push_back(std::move(n));
        ++i;
    }
    if (inCase) {
        error = "Incorrect syntax: CASE without END";
        return false;
    }
    if (inGroup) {
        error = "Incorrect syntax: missing ')'";
        return false;
    }
    return true;
}

} // namespace

bool buildTree(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, Seq& out,
               std::string& error) {
    int literal = 0;
    for (std::size_t k = 0; k < begin; ++k)
        literal += isLiteral(tokens[k]) ? 1 : 0;
    std::size_t i = begin;
    if (!build(tokens, i, end, out, literal, false, false, 0, error))
        return false;
    if (i < end) {
        error = "Incorrect syntax near ')'";
        return false;
    }
    return true;
}

std::vector<Seq> splitCommas(const Seq& seq) {
    std::vector<Seq> items(1);
    for (const Node& n : seq) {
        if (n.isComma())
            items.emplace_back();
        else
            items.back().push_back(n);
    }
    if (items.size() == 1 && items[0].empty())
        items.clear();
    return items;
}

Seq joinCommas(const std::vector<Seq>& items) {
    Seq out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            Node comma;
            comma.tok.kind = TokenKind::Comma;
            comma.tok.text = ",";
            out.push_back(std::move(comma));
        }
        out.insert(out.end(), items[i].begin(), items[i].end());
    }
    return out;
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string quoteString(std::string_view text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

void Emitter::text(std::string_view piece) {
    if (piece.empty())
        return;
    const bool tight = piece == "," || piece == ")" || piece == ".";
    if (!m_noSpace && !tight)
        m_part.sql += ' ';
    m_part.sql += piece;
    m_noSpace = piece == "(" || piece == ".";
}

namespace {

// Words after which a parenthesis opens an expression, not the arguments of a call.
bool keywordBeforeGroup(const Node& n) {
    for (auto w : {"WHERE",  "AND",  "OR",   "NOT",   "ON",   "IN",   "EXISTS", "SELECT",
                   "FROM",   "JOIN", "AS",   "WHEN",  "THEN", "ELSE", "VALUES", "BY",
                   "HAVING", "SET",  "INTO", "UNION", "ALL",  "IS",   "LIKE",   "BETWEEN"}) {
        if (n.isWord(w))
            return true;
    }
    return false;
}

} // namespace

void Emitter::emit(const Seq& seq) {
    for (std::size_t i = 0; i < seq.size(); ++i) {
        // A call: no blank between the name and its parenthesis.
        if (seq[i].type == Node::Type::Group && i > 0 && seq[i - 1].type == Node::Type::Token &&
            seq[i - 1].tok.kind == TokenKind::Word && !keywordBeforeGroup(seq[i - 1]))
            m_noSpace = true;
        emit(seq[i]);
    }
}

void Emitter::emit(const Node& n) {
    switch (n.type) {
    case Node::Type::Raw:
        text(n.raw);
        return;
    case Node::Type::Group:
        text("(");
        emit(n.kids);
        m_noSpace = false;
        text(")");
        return;
    case Node::Type::Case:
        emit(n.kids);
        return;
    case Node::Type::Token:
        break;
    }
    const Token& t = n.tok;
    switch (t.kind) {
    case TokenKind::Quoted:
    case TokenKind::TempName:
        text(quoteName(t.text));
        return;
    case TokenKind::String:
    case TokenKind::Number: {
        if (m_lift && !n.inlined && n.literal >= 0) {
            text("?");
            m_part.params.push_back(ParamRef{static_cast<std::size_t>(n.literal), n.asDate});
            return;
        }
        if (t.kind == TokenKind::Number) {
            text(t.text);
            return;
        }
        if (n.asDate) {
            if (const auto d = parseDate(t.text)) {
                text(quoteString(formatCanonical(*d)));
                return;
            }
        }
        text(quoteString(t.text));
        return;
    }
    case TokenKind::Operator:
        if (t.text == "!<")
            return text(">=");
        if (t.text == "!>")
            return text("<=");
        text(t.text);
        return;
    default:
        text(t.text);
        return;
    }
}

SqlPart Emitter::take() {
    SqlPart out = std::move(m_part);
    m_part = SqlPart{};
    m_noSpace = true;
    return out;
}

std::string emitText(const Seq& seq) {
    Emitter e(false);
    e.emit(seq);
    return e.take().sql;
}

} // namespace tsqlite::detail
