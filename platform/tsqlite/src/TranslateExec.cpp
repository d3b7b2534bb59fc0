#include "LocaleFree.h"
#include "StatementTranslator.h"

namespace tsqlite::detail {

// EXEC name @p = value, ...: a call of a native procedure.
bool StatementTranslator::exec(const std::vector<Token>& tokens) {
    std::size_t i = 1;
    if (i >= tokens.size())
        return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC: missing the procedure name");
    if (tokens[i].kind == TokenKind::Variable)
        return failWith(m_error, kErrUnsupported, "EXEC @result = ... is not supported");
    std::string name = tokens[i++].text;
    while (i + 1 < tokens.size() && tokens[i].isOp(".")) {
        name += "." + tokens[i + 1].text;
        i += 2;
    }
    m_out.kind = Translation::Kind::Procedure;
    m_out.procedure = name;
    while (i < tokens.size()) {
        Parameter p;
        if (tokens[i].kind == TokenKind::Variable && i + 1 < tokens.size() && tokens[i + 1].isOp("=")) {
            p.name = tokens[i].text;
            i += 2;
        }
        if (i >= tokens.size())
            return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC: missing a parameter value");
        bool negative = false;
        if (tokens[i].isOp("-") && i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Number) {
            negative = true;
            ++i;
        }
        const Token& v = tokens[i++];
        if (v.kind == TokenKind::Number) {
            if (v.text.find_first_of(".eE") == std::string::npos) {
                p.value.kind = Cell::Kind::Integer;
                p.value.i = std::stoll(v.text) * (negative ? -1 : 1);
            } else {
                p.value.kind = Cell::Kind::Real;
                p.value.r = parseDouble(v.text.c_str(), nullptr) * (negative ? -1 : 1);
            }
        } else if (v.is("NULL") || v.is("DEFAULT")) {
            p.value.kind = Cell::Kind::Null;
        } else if (v.kind == TokenKind::String || v.kind == TokenKind::Word ||
                   v.kind == TokenKind::TempName) {
            p.value.kind = Cell::Kind::Text;
            p.textStorage = v.text;
        } else if (v.kind == TokenKind::Variable) {
            return failWith(m_error, kErrUnsupported, "Variables are not supported: '" + v.text + "'");
        } else {
            return failWith(m_error, kErrSyntax, "Incorrect syntax in EXEC near '" + v.text + "'");
        }
        if (i < tokens.size() && (tokens[i].is("OUTPUT") || tokens[i].is("OUT")))
            return failWith(m_error, kErrUnsupported, "OUTPUT parameters are not supported");
        m_out.parameters.push_back(std::move(p));
        if (i < tokens.size()) {
            if (tokens[i].kind != TokenKind::Comma)
                return failWith(m_error, kErrSyntax,
                                "Incorrect syntax in EXEC near '" + tokens[i].text + "'");
            ++i;
        }
    }
    // The text views point into each parameter's own storage, now that the vector is final.
    for (auto& p : m_out.parameters) {
        if (p.value.kind == Cell::Kind::Text)
            p.value.text = p.textStorage;
    }
    return true;
}

} // namespace tsqlite::detail
