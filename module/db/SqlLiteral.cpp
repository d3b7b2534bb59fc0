#include "module/db/SqlLiteral.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace scadlav::db {

std::optional<StatementLiteral> statementLiteral(const Value& value, Dialect dialect, bool unicodeText) {
    using Kind = StatementLiteral::Kind;
    switch (value.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
    case Value::Kind::Array:
        return std::nullopt;
    case Value::Kind::Bool:
        return StatementLiteral{Kind::Number, value.asBool() ? "1" : "0"};
    case Value::Kind::Int:
        return StatementLiteral{Kind::Number, std::to_string(value.asInt())};
    case Value::Kind::Decimal:
        return StatementLiteral{Kind::Number, value.asDecimal().toString().toStdString()};
    case Value::Kind::Double: {
        const double d = value.asDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return StatementLiteral{Kind::Number, QString::number(d, 'g', 17).toStdString()};
    }
    case Value::Kind::Text:
        return StatementLiteral{Kind::String, value.asText().toStdString(),
                                unicodeText && dialect == Dialect::SqlServer};
    case Value::Kind::DateTime: {
        // Written digit by digit: a write-back of a row with ten dates formats ten of them,
        // and QDateTime::toString reads its format pattern again for each.
        const QDateTime& t = value.asDateTime();
        const QDate d = t.date();
        const QTime h = t.time();
        if (!t.isValid() || d.year() < 1 || d.year() > 9999)
            return StatementLiteral{Kind::String, {}};
        char buffer[40];
        const int length =
            dialect == Dialect::SqlServer
                ? std::snprintf(buffer, sizeof buffer, "%04d%02d%02d %02d:%02d:%02d", d.year(), d.month(),
                                d.day(), h.hour(), h.minute(), h.second())
                : std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(),
                                d.day(), h.hour(), h.minute(), h.second());
        std::string text(buffer, static_cast<std::size_t>(length));
        if (h.msec() != 0) {
            std::snprintf(buffer, sizeof buffer, ".%03d", h.msec());
            text += buffer;
        }
        return StatementLiteral{Kind::String, std::move(text)};
    }
    }
    return std::nullopt;
}

std::string literalText(const StatementLiteral& literal) {
    if (literal.kind == StatementLiteral::Kind::Number)
        return literal.text;
    std::string out = literal.unicode ? "N'" : "'";
    out.reserve(literal.text.size() + 3);
    for (char c : literal.text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

QString sqlLiteral(const Value& value, Dialect dialect, bool unicodeText) {
    const std::optional<StatementLiteral> literal = statementLiteral(value, dialect, unicodeText);
    return literal ? QString::fromStdString(literalText(*literal)) : QStringLiteral("NULL");
}

std::optional<std::string> withLiteralsWritten(std::string_view text,
                                               const std::vector<StatementLiteral>& literals) {
    std::string out;
    out.reserve(text.size() + literals.size() * 16);
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '[' || c == '\'' || c == '"') {
            // Copied through to its end, a doubled closing mark standing for itself.
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < text.size() && (text[j] != close || (j + 1 < text.size() && text[j + 1] == close)))
                j += text[j] == close ? 2 : 1;
            out.append(text.substr(i, std::min(j + 1, text.size()) - i));
            i = j;
        } else if (c == '?') {
            if (next == literals.size())
                return std::nullopt;
            out += literalText(literals[next++]);
        } else {
            out += c;
        }
    }
    if (next != literals.size())
        return std::nullopt;
    return out;
}

QString sqlIdentifier(const QString& name) {
    QString plain = name.trimmed();
    if (plain.startsWith(u'[') && plain.endsWith(u']') && !plain.contains(QStringLiteral("].")))
        return plain;
    const QStringList parts = plain.split(u'.');
    QStringList quoted;
    for (QString part : parts) {
        if (part.isEmpty()) { // "tempdb..#T": the owner left out
            quoted << part;
            continue;
        }
        part.replace(u']', QStringLiteral("]]"));
        quoted << u'[' + part + u']';
    }
    return quoted.join(u'.');
}

} // namespace scadlav::db
