// Splitting a batch into statements, and the shape of a statement for the statement cache.
#include "Translator.h"

#include "SqlType.h"

#include <iterator>

namespace tsqlite::detail {
namespace {

// Every word of a batch is looked up here: the words are views, so that no length is counted.
constexpr std::string_view kStatementWords[] = {
    "SELECT",   "INSERT", "UPDATE",  "DELETE", "CREATE", "DROP",  "ALTER",
    "TRUNCATE", "EXEC",   "EXECUTE", "IF",     "ELSE",   "BEGIN", "COMMIT",
    "ROLLBACK", "SET",    "DECLARE", "PRINT",  "USE",    "WHILE", "RETURN"};

bool startsStatement(const Token& t) {
    // Most words are names and values: turned away by their length or first letter before the
    // list is walked.
    if (t.kind != TokenKind::Word || t.text.size() < 2 || t.text.size() > 8)
        return false;
    switch (asciiUpper(t.text[0])) {
    case 'A':
    case 'B':
    case 'C':
    case 'D':
    case 'E':
    case 'I':
    case 'P':
    case 'R':
    case 'S':
    case 'T':
    case 'U':
    case 'W':
        break;
    default:
        return false;
    }
    for (std::string_view w : kStatementWords) {
        if (t.is(w))
            return true;
    }
    return false;
}

} // namespace

std::vector<Statement> splitBatch(std::vector<Token> tokens) {
    // The statements are found as ranges of the batch first; each then takes its tokens in one
    // move, and a batch of one statement keeps its vector (a write-back sends one per row).
    struct Range {
        std::size_t begin = 0, end = 0, bodyStart = 0;
    };
    std::vector<Range> ranges;
    Range current;
    bool open = false; // `current` holds at least one token
    int depth = 0;
    int caseDepth = 0;                 // ELSE inside CASE ... END does not start a statement
    bool insertAwaitingSource = false; // INSERT INTO t (...) then SELECT/VALUES belongs to it
    bool updateAwaitingSet = false;
    bool ifAwaitingBody = false; // IF condition read; the next statement is its body
    auto flush = [&](std::size_t at) {
        if (open)
            ranges.push_back(current);
        current = Range{at, at, 0};
        open = false;
        insertAwaitingSource = updateAwaitingSet = ifAwaitingBody = false;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == TokenKind::Semicolon && depth == 0) {
            flush(i + 1);
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
        if (depth == 0 && caseDepth == 0 && open && t.kind == TokenKind::Word && startsStatement(t)) {
            const Token& prev = tokens[i - 1];
            bool continues = false;
            if (t.is("SELECT"))
                continues = insertAwaitingSource || prev.is("AS") || prev.is("UNION") || prev.is("ALL") ||
                            prev.is("EXCEPT") || prev.is("INTERSECT");
            else if (t.is("SET"))
                continues = updateAwaitingSet;
            else if (t.is("DELETE") || t.is("UPDATE"))
                continues = prev.is("ON");
            else if (t.is("IF")) // DROP TABLE IF EXISTS t
                continues = i - current.begin == 2 && tokens[current.begin].is("DROP");
            if (!continues) {
                if (ifAwaitingBody && current.bodyStart == 0) {
                    // The condition ends here: what follows is the IF's single statement.
                    current.bodyStart = i - current.begin;
                    ifAwaitingBody = false;
                } else {
                    flush(i);
                }
            }
        }
        const std::size_t size = open ? i - current.begin : 0;
        if (size == 0 || (current.bodyStart > 0 && size == current.bodyStart)) {
            insertAwaitingSource = t.is("INSERT");
            updateAwaitingSet = t.is("UPDATE");
            ifAwaitingBody = t.is("IF");
        } else if (depth == 0 && (t.is("SELECT") || t.is("VALUES"))) {
            insertAwaitingSource = false;
        } else if (depth == 0 && t.is("SET")) {
            updateAwaitingSet = false;
        }
        if (!open)
            current.begin = i;
        open = true;
        current.end = i + 1;
    }
    flush(tokens.size());

    std::vector<Statement> out;
    out.reserve(ranges.size());
    for (const Range& r : ranges) {
        Statement statement;
        statement.bodyStart = r.bodyStart;
        if (r.begin == 0 && r.end == tokens.size()) {
            statement.tokens = std::move(tokens);
        } else {
            const auto first = tokens.begin() + static_cast<std::ptrdiff_t>(r.begin);
            const auto last = tokens.begin() + static_cast<std::ptrdiff_t>(r.end);
            statement.tokens.assign(std::make_move_iterator(first), std::make_move_iterator(last));
        }
        out.push_back(std::move(statement));
    }
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

// A type with a length, a precision or a scale: CAST(x AS varchar(10)), CONVERT(decimal(14,3), x).
bool takesTypeArguments(const Token& t) {
    for (std::string_view w : {"char", "varchar", "nchar", "nvarchar", "decimal", "numeric", "dec", "binary",
                               "varbinary", "float", "datetime2", "time", "datetimeoffset"}) {
        if (t.is(w))
            return true;
    }
    return false;
}

std::string shapeKey(const std::vector<Token>& tokens) {
    std::string key;
    // The numbers of a type are part of the translation (the type is spelled into it), so they
    // stay in the key: varchar(1) and varchar(2) are different statements.
    int typeDepth = 0;      // inside a type's parentheses
    bool typeOpens = false; // the token before was a type's name, this one its "("
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (typeDepth > 0) {
            if (t.kind == TokenKind::LParen)
                ++typeDepth;
            else if (t.kind == TokenKind::RParen)
                --typeDepth;
        } else if (typeOpens) {
            typeDepth = 1;
            typeOpens = false;
        } else if (i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::LParen &&
                   takesTypeArguments(t)) {
            typeOpens = true;
        }
        switch (t.kind) {
        case TokenKind::String:
            key += t.unicode ? "\x01N" : "\x01S";
            break;
        case TokenKind::Number:
            if (typeDepth > 0)
                key += t.text;
            else
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
