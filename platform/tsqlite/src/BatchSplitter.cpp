// Splitting a batch into statements, and the shape of a statement for the statement cache.
#include "Translator.h"

#include "SqlType.h"

namespace tsqlite::detail {
namespace {

// Every word of a batch is looked up here: the words are views, so that no length is counted.
constexpr std::string_view kStatementWords[] = {
    "SELECT",   "INSERT", "UPDATE",  "DELETE", "CREATE", "DROP",  "ALTER",
    "TRUNCATE", "EXEC",   "EXECUTE", "IF",     "ELSE",   "BEGIN", "COMMIT",
    "ROLLBACK", "SET",    "DECLARE", "PRINT",  "USE",    "WHILE", "RETURN"};

bool startsStatement(const Token& t) {
    for (std::string_view w : kStatementWords) {
        if (t.is(w))
            return true;
    }
    return false;
}

} // namespace

std::vector<Statement> splitBatch(std::vector<Token> tokens) {
    std::vector<Statement> out;
    Statement current;
    int depth = 0;
    int caseDepth = 0;                 // ELSE inside CASE ... END does not start a statement
    bool insertAwaitingSource = false; // INSERT INTO t (...) then SELECT/VALUES belongs to it
    bool updateAwaitingSet = false;
    bool ifAwaitingBody = false; // IF condition read; the next statement is its body
    auto flush = [&]() {
        if (!current.tokens.empty())
            out.push_back(std::move(current));
        current = Statement{};
        insertAwaitingSource = updateAwaitingSet = ifAwaitingBody = false;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& t = tokens[i];
        if (t.kind == TokenKind::Semicolon && depth == 0) {
            flush();
            continue;
        }
        if (t.kind == TokenKind::LParen)
            ++depth;
        else if (t.kind == TokenKind::RParen)
            --depth;
        if (t.is("CASE"))
            ++caseDepth;
        else if (t.is("END") && caseDepth > 0)
            --caseDepth;
        if (depth == 0 && caseDepth == 0 && !current.tokens.empty() && t.kind == TokenKind::Word &&
            startsStatement(t)) {
            const Token& prev = current.tokens.back();
            bool continues = false;
            if (t.is("SELECT"))
                continues = insertAwaitingSource || prev.is("AS") || prev.is("UNION") || prev.is("ALL") ||
                            prev.is("EXCEPT") || prev.is("INTERSECT");
            else if (t.is("SET"))
                continues = updateAwaitingSet;
            else if (t.is("DELETE") || t.is("UPDATE"))
                continues = prev.is("ON");
            else if (t.is("IF")) // DROP TABLE IF EXISTS t
                continues = current.tokens.size() == 2 && current.tokens.front().is("DROP");
            if (!continues) {
                if (ifAwaitingBody && current.bodyStart == 0) {
                    // The condition ends here: what follows is the IF's single statement.
                    current.bodyStart = current.tokens.size();
                    ifAwaitingBody = false;
                } else {
                    flush();
                }
            }
        }
        if (current.tokens.empty() || (current.bodyStart > 0 && current.tokens.size() == current.bodyStart)) {
            insertAwaitingSource = t.is("INSERT");
            updateAwaitingSet = t.is("UPDATE");
            ifAwaitingBody = t.is("IF");
        } else if (depth == 0 && (t.is("SELECT") || t.is("VALUES"))) {
            insertAwaitingSource = false;
        } else if (depth == 0 && t.is("SET")) {
            updateAwaitingSet = false;
        }
        current.tokens.push_back(std::move(t));
    }
    flush();
    return out;
}

std::vector<const Token*> statementLiterals(const std::vector<Token>& tokens) {
    std::vector<const Token*> out;
    for (const Token& t : tokens) {
        if (t.kind == TokenKind::String || t.kind == TokenKind::Number)
            out.push_back(&t);
    }
    return out;
}

std::string shapeKey(const std::vector<Token>& tokens) {
    std::string key;
    for (const Token& t : tokens) {
        switch (t.kind) {
        case TokenKind::String:
            key += t.unicode ? "\x01N" : "\x01S";
            break;
        case TokenKind::Number:
            key += t.text.find_first_of(".eE") == std::string::npos ? "\x01I" : "\x01R";
            break;
        case TokenKind::Quoted:
            key += "[" + t.text + "]";
            break;
        default:
            key += t.text;
            break;
        }
        key += ' ';
    }
    return key;
}

std::string literalTypesOf(const std::vector<std::size_t>& typedLiterals,
                           const std::vector<const Token*>& literals) {
    std::string types;
    for (std::size_t index : typedLiterals) {
        if (index < literals.size())
            types += numberLiteralType(literals[index]->text) + ' ';
    }
    return types;
}

} // namespace tsqlite::detail
