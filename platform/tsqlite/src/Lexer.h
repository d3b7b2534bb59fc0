#pragma once
// A table-driven tokenizer for T-SQL text. Comments and blanks are dropped; every token keeps
// its source text and, for quoted forms, its unquoted value.

#include <string>
#include <string_view>
#include <vector>

namespace tsqlite::detail {

enum class TokenKind {
    Word,     // keyword or bare identifier
    Quoted,   // [name] or "name"
    TempName, // #name or ##name
    Variable, // @name
    String,   // '...' or N'...'
    Number,   // 12, 1.5, 1e3
    Operator, // + - * / % = < > <= >= <> != ! ~ & | ^ || :: .
    LParen,
    RParen,
    Comma,
    Semicolon,
    Param, // a placeholder written by the rewriter itself (never produced by lexing)
};

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;     // as written (for String: the unquoted value; for Quoted: the bare name)
    bool unicode = false; // N'...'
    std::size_t offset = 0;

    // Case-insensitive comparison of a Word with a keyword.
    bool is(std::string_view keyword) const;
    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

struct LexResult {
    std::vector<Token> tokens;
    std::string error; // set when the text cannot be tokenized (unterminated string, ...)
};

LexResult lex(std::string_view text);

} // namespace tsqlite::detail
