#pragma once
// A table-driven tokenizer for T-SQL text. Comments and blanks are dropped; every token keeps
// its source text and, for quoted forms, its unquoted value.

#include "LocaleFree.h"

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
    Param, // a placeholder: written by the rewriter, or a '?' lexed with placeholders on
};

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;     // as written (for String: the unquoted value; for Quoted: the bare name)
    bool unicode = false; // N'...'
    std::size_t offset = 0;

    // Case-insensitive comparison of a Word with a keyword. Inline: the batch splitter asks it
    // of every word of every statement.
    bool is(std::string_view keyword) const {
        if (kind != TokenKind::Word || text.size() != keyword.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (asciiUpper(text[i]) != asciiUpper(keyword[i]))
                return false;
        }
        return true;
    }
    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

struct LexResult {
    std::vector<Token> tokens;
    std::string error; // set when the text cannot be tokenized (unterminated string, ...)
};

// With `placeholders`, a '?' outside quotes is a Param token (a statement sent with its values
// apart, Connection::executeWithLiterals); otherwise it is a syntax error, as on SQL Server.
LexResult lex(std::string_view text, bool placeholders = false);

} // namespace tsqlite::detail
