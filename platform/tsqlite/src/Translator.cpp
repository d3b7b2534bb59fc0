#include "StatementTranslator.h"

#include "Collation.h"
#include "Errors.h"
#include "FunctionTable.h"

namespace tsqlite::detail {
namespace {

Node commaNode() {
    Node n;
    n.tok.kind = TokenKind::Comma;
    n.tok.text = ",";
    return n;
}

bool isOperand(const Node& n) {
    return n.type == Node::Type::Group || n.type == Node::Type::Case || n.isKind(TokenKind::String) ||
           n.isKind(TokenKind::Number) || (isName(n) && !n.isWord("COLLATE"));
}

// Whether a select-list item gives its column a name: an alias ("AS x", "x = expr", "expr x"),
// a column reference, or "*".
bool namesColumn(const Seq& item) {
    if (item.empty() || item.back().isOp("*"))
        return true;
    if (item.size() > 2 && isName(item[0]) && item[1].isOp("="))
        return true;
    const Node& last = item.back();
    if (item.size() >= 2 && item[item.size() - 2].isWord("AS"))
        return true;
    if (!isName(last) || last.isWord("NULL"))
        return false;
    bool dotted = true;
    for (std::size_t i = 0; i < item.size(); ++i)
        dotted = dotted && (i % 2 == 0 ? isName(item[i]) : item[i].isOp("."));
    return dotted || isOperand(item[item.size() - 2]);
}

// SQL Server heads a computed column without an alias with an empty name; SQLite would head it
// with the expression's text, which after the rewrite is our SQL. Such items get AS "".
void nameUnnamedColumns(Seq& seq) {
    std::size_t start = 1;
    if (start < seq.size() && (seq[start].isWord("DISTINCT") || seq[start].isWord("ALL")))
        ++start;
    if (start < seq.size() && seq[start].isWord("TOP"))
        start += 2;
    std::size_t end = start;
    while (end < seq.size() && !isClauseKeyword(seq[end]))
        ++end;
    if (start >= end)
        return;
    auto items =
        splitCommas(Seq(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(end)));
    bool changed = false;
    for (auto& item : items) {
        if (namesColumn(item))
            continue;
        Node empty;
        empty.tok.kind = TokenKind::Quoted;
        item.push_back(wordNode("AS"));
        item.push_back(std::move(empty));
        changed = true;
    }
    if (!changed)
        return;
    const Seq joined = joinCommas(items);
    seq.erase(seq.begin() + static_cast<long>(start), seq.begin() + static_cast<long>(end));
    seq.insert(seq.begin() + static_cast<long>(start), joined.begin(), joined.end());
}

} // namespace

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

std::size_t findTop(const Seq& seq, std::string_view word, std::size_t from) {
    for (std::size_t i = from; i < seq.size(); ++i) {
        if (seq[i].isWord(word))
            return i;
    }
    return seq.size();
}

bool isJoinWord(const Node& n) {
    if (n.type == Node::Type::Raw)
        return n.raw == "LEFT JOIN" || n.raw == "JOIN";
    for (auto w : {"INNER", "LEFT", "RIGHT", "FULL", "CROSS", "JOIN", "OUTER"}) {
        if (n.isWord(w))
            return true;
    }
    return n.isComma();
}

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
    return Seq{wordNode(std::string(kWriteFunction)), groupNode(std::move(value))};
}

ConvertedColumns convertedColumns(const std::vector<std::string>& types) {
    ConvertedColumns out;
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::string c = "c" + std::to_string(i + 1);
        out.names += (i ? "," : "") + c;
        out.values += i ? ", " : "";
        out.values += needsWrite(types[i])
                          ? std::string(kWriteFunction) + "(" + c + ", " + quoteString(types[i]) + ")"
                          : c;
    }
    return out;
}

bool StatementTranslator::tree(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                               Seq& seq) {
    std::string message;
    if (buildTree(tokens, begin, end, seq, message))
        return true;
    m_error = statementError(std::move(message));
    return false;
}

void StatementTranslator::emitPart(const Seq& seq) {
    Emitter e(m_lift);
    e.emit(seq);
    m_out.parts.push_back(e.take());
}

const std::vector<ColumnInfo>* StatementTranslator::tableColumns(const std::string& table) {
    const auto* cols = m_schema.columns(table);
    if (!cols)
        failWith(m_error, kErrNoSuchObject, "Invalid object name '" + table + "'");
    return cols;
}

std::string typeIn(const std::vector<ColumnInfo>& cols, const std::string& column) {
    for (const auto& c : cols) {
        if (sameName(c.name, column))
            return c.declType;
    }
    return {};
}

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
        // The write lock at once: a transaction that read first could otherwise not write once
        // another session had written meanwhile (SQLite refuses it without waiting), where SQL
        // Server's writing statement waits for its locks. Another session's write waits instead.
        rawPart("BEGIN IMMEDIATE");
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
    nameUnnamedColumns(seq);
    if (!m_rewriter.rewrite(seq))
        return rewriteFailed();
    emitPart(seq);
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

bool Translator::translate(const std::vector<Token>& tokens, std::size_t bodyStart, Translation& out,
                           Error& error, bool lift) {
    out = Translation{};
    if (tokens.empty()) {
        out.kind = Translation::Kind::Nothing;
        return true;
    }
    StatementTranslator t(m_db, m_schema, out, error, lift);
    const bool ok = t.run(tokens, bodyStart);
    out.typedLiterals = t.typedLiterals();
    return ok;
}

} // namespace tsqlite::detail
