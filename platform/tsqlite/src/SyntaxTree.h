#pragma once
// Tokens grouped by parentheses and CASE ... END, so that rewriting can work one nesting level
// at a time, and the emitter that writes a tree back as SQLite text.

#include "Lexer.h"
#include "Translator.h"

#include <string>
#include <vector>

namespace tsqlite::detail {

struct Node {
    enum class Type { Token, Group, Case, Raw };
    Type type = Type::Token;
    Token tok;              // Token
    std::vector<Node> kids; // Group: inside the parentheses; Case: CASE ... END
    std::string raw;        // Raw: SQLite text written by the rewriter
    int literal = -1;       // String/Number tokens: index among the statement's literals
    bool asDate = false;    // a string literal compared with or written to a date
    bool inlined = false;   // written into the text even when literals are lifted
    std::string declType;   // for rewritten calls: the T-SQL type they return

    bool isWord(std::string_view keyword) const { return type == Type::Token && tok.is(keyword); }
    bool isOp(std::string_view op) const { return type == Type::Token && tok.isOp(op); }
    bool isKind(TokenKind kind) const { return type == Type::Token && tok.kind == kind; }
    bool isComma() const { return isKind(TokenKind::Comma); }
};

using Seq = std::vector<Node>;

Node rawNode(std::string text);
Node wordNode(std::string text);
Node groupNode(Seq kids);

// Parentheses and CASE ... END nested deeper than this are refused with SQL Server's error 191:
// the passes over the tree recurse once per level, and the stack is not unlimited. SQLite's
// own parser gives up earlier for most statements (about 90 parentheses, 15 subqueries).
inline constexpr int kMaxNesting = 256;

// Builds the tree of tokens [begin, end); literals are numbered from `firstLiteral` in order.
// Returns false with `error` set on unbalanced parentheses, CASE without END, or nesting
// deeper than kMaxNesting.
bool buildTree(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, Seq& out,
               std::string& error);

// Splits a sequence at its commas.
std::vector<Seq> splitCommas(const Seq& seq);
Seq joinCommas(const std::vector<Seq>& items);

// Quotes a name for SQLite.
std::string quoteName(std::string_view name);
std::string quoteString(std::string_view text);

class Emitter {
public:
    explicit Emitter(bool lift) : m_lift(lift) {}
    void emit(const Seq& seq);
    void emit(const Node& node);
    void text(std::string_view piece);
    SqlPart take();

private:
    bool m_lift;
    SqlPart m_part;
    bool m_noSpace = true;
};

std::string emitText(const Seq& seq); // literals always in the text

} // namespace tsqlite::detail
