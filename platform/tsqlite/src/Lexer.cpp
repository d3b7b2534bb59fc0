#include "Lexer.h"
#include "LocaleFree.h"

#include <array>
#include <cctype>

namespace tsqlite::detail {
namespace {

enum class CharClass : unsigned char {
    Other,
    Space,
    IdStart, // letters, "_" and every byte of a multi-byte UTF-8 character
    Digit,
    Quote,    // '
    DQuote,   // "
    LBracket, // [
    Hash,     // #
    At,       // @
    Minus,
    Slash,
    Dot,
    OpChar, // + * % = < > ! ~ & | ^ :
    LParen,
    RParen,
    Comma,
    Semicolon,
};

constexpr std::array<CharClass, 256> makeTable() {
    std::array<CharClass, 256> t{};
    for (auto& c : t)
        c = CharClass::Other;
    for (int c : {' ', '\t', '\r', '\n', '\f', '\v'})
        t[static_cast<unsigned>(c)] = CharClass::Space;
    for (int c = 'a'; c <= 'z'; ++c)
        t[static_cast<unsigned>(c)] = CharClass::IdStart;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[static_cast<unsigned>(c)] = CharClass::IdStart;
    for (int c = 0x80; c < 0x100; ++c)
        t[static_cast<unsigned>(c)] = CharClass::IdStart;
    t['_'] = CharClass::IdStart;
    t['$'] = CharClass::IdStart;
    for (int c = '0'; c <= '9'; ++c)
        t[static_cast<unsigned>(c)] = CharClass::Digit;
    t['\''] = CharClass::Quote;
    t['"'] = CharClass::DQuote;
    t['['] = CharClass::LBracket;
    t['#'] = CharClass::Hash;
    t['@'] = CharClass::At;
    t['-'] = CharClass::Minus;
    t['/'] = CharClass::Slash;
    t['.'] = CharClass::Dot;
    for (int c : {'+', '*', '%', '=', '<', '>', '!', '~', '&', '|', '^', ':'})
        t[static_cast<unsigned>(c)] = CharClass::OpChar;
    t['('] = CharClass::LParen;
    t[')'] = CharClass::RParen;
    t[','] = CharClass::Comma;
    t[';'] = CharClass::Semicolon;
    return t;
}

constexpr auto kTable = makeTable();

CharClass classOf(char c) {
    return kTable[static_cast<unsigned char>(c)];
}

bool isIdChar(char c) {
    const CharClass k = classOf(c);
    return k == CharClass::IdStart || k == CharClass::Digit || k == CharClass::Hash || k == CharClass::At;
}

} // namespace

LexResult lex(std::string_view s, bool placeholders) {
    LexResult result;
    auto& out = result.tokens;
    std::size_t i = 0;
    const std::size_t n = s.size();
    // About one token in six characters of a statement: one allocation instead of a dozen.
    out.reserve(n / 6 + 8);
    auto push = [&](TokenKind kind, std::string text, std::size_t start, bool unicode = false) {
        out.push_back(Token{kind, std::move(text), unicode, start});
    };
    // Reads a quoted run ending at `close`, where a doubled `close` stands for itself; copied a
    // run at a time, since the write-back's statements quote a hundred names and values each.
    auto quoted = [&](std::size_t start, char close, std::string& value) -> bool {
        std::size_t j = start;
        while (j < n) {
            const std::size_t at = s.find(close, j);
            if (at == std::string_view::npos)
                break;
            value.append(s.data() + j, at - j);
            if (at + 1 < n && s[at + 1] == close) {
                value += close;
                j = at + 2;
                continue;
            }
            i = at + 1;
            return true;
        }
        return false;
    };
    while (i < n) {
        const char c = s[i];
        const std::size_t start = i;
        switch (classOf(c)) {
        case CharClass::Space:
            ++i;
            break;
        case CharClass::IdStart: {
            if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
                std::string value;
                if (!quoted(i + 2, '\'', value)) {
                    result.error = "Unclosed quotation mark after the character string starting at offset " +
                                   std::to_string(start);
                    return result;
                }
                push(TokenKind::String, std::move(value), start, true);
                break;
            }
            while (i < n && isIdChar(s[i]))
                ++i;
            push(TokenKind::Word, std::string(s.substr(start, i - start)), start);
            break;
        }
        case CharClass::Digit: {
            while (i < n && classOf(s[i]) == CharClass::Digit)
                ++i;
            if (i < n && s[i] == '.') {
                ++i;
                while (i < n && classOf(s[i]) == CharClass::Digit)
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-'))
                    ++j;
                if (j < n && classOf(s[j]) == CharClass::Digit) {
                    i = j;
                    while (i < n && classOf(s[i]) == CharClass::Digit)
                        ++i;
                }
            }
            push(TokenKind::Number, std::string(s.substr(start, i - start)), start);
            break;
        }
        case CharClass::Quote: {
            std::string value;
            if (!quoted(i + 1, '\'', value)) {
                result.error = "Unclosed quotation mark after the character string starting at offset " +
                               std::to_string(start);
                return result;
            }
            push(TokenKind::String, std::move(value), start);
            break;
        }
        case CharClass::DQuote:
        case CharClass::LBracket: {
            std::string value;
            if (!quoted(i + 1, c == '"' ? '"' : ']', value)) {
                result.error = "Unclosed quoted name starting at offset " + std::to_string(start);
                return result;
            }
            push(TokenKind::Quoted, std::move(value), start);
            break;
        }
        case CharClass::Hash:
        case CharClass::At: {
            ++i;
            while (i < n && isIdChar(s[i]))
                ++i;
            push(c == '#' ? TokenKind::TempName : TokenKind::Variable,
                 std::string(s.substr(start, i - start)), start);
            break;
        }
        case CharClass::Minus:
            if (i + 1 < n && s[i + 1] == '-') {
                while (i < n && s[i] != '\n')
                    ++i;
                break;
            }
            ++i;
            push(TokenKind::Operator, "-", start);
            break;
        case CharClass::Slash:
            if (i + 1 < n && s[i + 1] == '*') {
                // Comments nest, as on SQL Server: "/* a /* b */ c */" is one comment.
                int open = 1;
                i += 2;
                while (i < n && open > 0) {
                    if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
                        ++open;
                        i += 2;
                    } else if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
                        --open;
                        i += 2;
                    } else {
                        ++i;
                    }
                }
                if (open > 0) {
                    result.error = "Missing end comment mark '*/'.";
                    return result;
                }
                break;
            }
            ++i;
            push(TokenKind::Operator, "/", start);
            break;
        case CharClass::Dot:
            if (i + 1 < n && classOf(s[i + 1]) == CharClass::Digit &&
                (out.empty() || out.back().kind == TokenKind::Operator ||
                 out.back().kind == TokenKind::LParen || out.back().kind == TokenKind::Comma)) {
                ++i;
                while (i < n && classOf(s[i]) == CharClass::Digit)
                    ++i;
                push(TokenKind::Number, "0" + std::string(s.substr(start, i - start)), start);
                break;
            }
            ++i;
            push(TokenKind::Operator, ".", start);
            break;
        case CharClass::OpChar: {
            // Two-character operators first.
            static constexpr std::string_view kPairs[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||", "::"};
            std::string_view two = s.substr(i, 2);
            bool matched = false;
            for (auto pair : kPairs) {
                if (two == pair) {
                    push(TokenKind::Operator, std::string(pair), start);
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                push(TokenKind::Operator, std::string(1, c), start);
                ++i;
            }
            break;
        }
        case CharClass::LParen:
            push(TokenKind::LParen, "(", start);
            ++i;
            break;
        case CharClass::RParen:
            push(TokenKind::RParen, ")", start);
            ++i;
            break;
        case CharClass::Comma:
            push(TokenKind::Comma, ",", start);
            ++i;
            break;
        case CharClass::Semicolon:
            push(TokenKind::Semicolon, ";", start);
            ++i;
            break;
        case CharClass::Other:
            if (placeholders && c == '?') {
                push(TokenKind::Param, "?", start);
                ++i;
                break;
            }
            result.error = std::string("Incorrect syntax near '") + c + "'";
            return result;
        }
    }
    return result;
}

} // namespace tsqlite::detail
