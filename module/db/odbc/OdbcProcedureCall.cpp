#include "module/db/odbc/OdbcProcedureCall.h"

#include "module/db/odbc/OdbcDiagnostics.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <QString>
#include <algorithm>
#include <limits>

namespace scadlav::db::odbc {

namespace {

bool isIdentifierChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// One part of a (possibly qualified) name: an identifier or a [bracketed] name.
bool isNamePart(QStringView part) {
    if (part.isEmpty())
        return false;
    if (part.front() == u'[')
        return part.size() > 2 && part.back() == u']' && !part.mid(1, part.size() - 2).contains(u']');
    return std::all_of(part.begin(), part.end(), isIdentifierChar);
}

bool isProcedureName(std::string_view name) {
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QStringList parts = text.split(u'.');
    return parts.size() <= 4 &&
           std::all_of(parts.begin(), parts.end(), [](const QString& p) { return isNamePart(p); });
}

bool isParameterName(std::string_view name) {
    QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (text.startsWith(u'@'))
        text.remove(0, 1);
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isIdentifierChar);
}

ProviderError bindingError(const std::string& text) {
    ProviderError error;
    error.number = kErrGeneric;
    error.description = text;
    return error;
}

// Digits before and after the point of a decimal's plain text.
void decimalShape(const std::string& text, SQLULEN& precision, SQLSMALLINT& scale) {
    const auto point = text.find('.');
    const std::size_t digits =
        std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    scale = point == std::string::npos ? 0 : static_cast<SQLSMALLINT>(text.size() - point - 1);
    precision = std::clamp<SQLULEN>(digits, static_cast<SQLULEN>(scale) + 1, 38);
}

} // namespace

bool buildProcedureCall(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                        Dialect dialect, std::string& text, std::string& problem) {
    if (!isProcedureName(name)) {
        problem = "'" + std::string(name) + "' is not a valid stored procedure name";
        return false;
    }
    for (const ProcedureParameter& parameter : parameters) {
        if (!isParameterName(parameter.name)) {
            problem = "'" + parameter.name + "' is not a valid name for a parameter of " + std::string(name);
            return false;
        }
    }

    if (dialect == Dialect::SqlServer) {
        text = "EXEC " + std::string(name);
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            text += i == 0 ? " " : ", ";
            if (parameters[i].name.front() != '@')
                text += '@';
            text += parameters[i].name + "=?";
        }
        return true;
    }
    text = "{call " + std::string(name) + "(";
    for (std::size_t i = 0; i < parameters.size(); ++i)
        text += i == 0 ? "?" : ", ?";
    text += ")}";
    return true;
}

bool OdbcParameterBinder::bind(SQLHSTMT stmt, const std::vector<ProcedureParameter>& parameters,
                               TextMode mode, std::vector<ProviderError>& errors) {
    using Kind = scadlav::Value::Kind;
    m_buffers.clear();
    m_buffers.resize(parameters.size()); // never grows again: the driver keeps these addresses
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const ProcedureParameter& parameter = parameters[i];
        const scadlav::Value& value = parameter.value;
        Buffer& buffer = m_buffers[i];
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        SQLPOINTER data = nullptr;
        SQLLEN bufferLength = 0;
        buffer.indicator = 0;

        switch (value.kind()) {
        case Kind::Empty:
        case Kind::Null:
            buffer.indicator = SQL_NULL_DATA;
            if (parameter.smallInt) {
                cType = SQL_C_SBIGINT;
                sqlType = SQL_SMALLINT;
                data = &buffer.integer;
            }
            break;
        case Kind::Bool:
        case Kind::Int:
        case Kind::Decimal:
        case Kind::Double:
            if (parameter.smallInt) {
                const auto small = value.toInt16();
                if (!small) {
                    errors.push_back(bindingError("the value " + value.toText().toStdString() +
                                                  " of parameter " + parameter.name +
                                                  " does not fit a smallint"));
                    return false;
                }
                buffer.integer = *small;
                cType = SQL_C_SBIGINT;
                sqlType = SQL_SMALLINT;
                columnSize = 5;
                data = &buffer.integer;
            } else if (value.kind() == Kind::Bool) {
                buffer.bit = value.asBool() ? 1 : 0;
                cType = SQL_C_BIT;
                sqlType = SQL_BIT;
                data = &buffer.bit;
            } else if (value.kind() == Kind::Int) {
                buffer.integer = value.asInt();
                cType = SQL_C_SBIGINT;
                const bool fits = buffer.integer >= std::numeric_limits<std::int32_t>::min() &&
                                  buffer.integer <= std::numeric_limits<std::int32_t>::max();
                sqlType = fits ? SQL_INTEGER : SQL_BIGINT;
                columnSize = fits ? 10 : 19;
                data = &buffer.integer;
            } else if (value.kind() == Kind::Decimal) {
                buffer.chars = value.asDecimal().toString().toStdString();
                decimalShape(buffer.chars, columnSize, digits);
                cType = SQL_C_CHAR;
                sqlType = SQL_DECIMAL;
                data = buffer.chars.data();
                bufferLength = static_cast<SQLLEN>(buffer.chars.size());
                buffer.indicator = bufferLength;
            } else {
                buffer.real = value.asDouble();
                cType = SQL_C_DOUBLE;
                sqlType = SQL_DOUBLE;
                columnSize = 15;
                data = &buffer.real;
            }
            break;
        case Kind::Text:
            if (mode == TextMode::Utf8) {
                buffer.chars = value.asText().toStdString();
                cType = SQL_C_CHAR;
                sqlType = SQL_VARCHAR;
                columnSize = std::max<SQLULEN>(buffer.chars.size(), 1);
                data = buffer.chars.data();
                bufferLength = static_cast<SQLLEN>(buffer.chars.size());
                buffer.indicator = bufferLength;
                break;
            }
            buffer.wide = toWide(value.asText().toStdString());
            cType = SQL_C_WCHAR;
            sqlType = buffer.wide.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            columnSize = std::max<SQLULEN>(buffer.wide.size(), 1);
            data = wideData(buffer.wide);
            bufferLength = static_cast<SQLLEN>(buffer.wide.size() * sizeof(SQLWCHAR));
            buffer.indicator = bufferLength;
            break;
        case Kind::DateTime: {
            const QDateTime& when = value.asDateTime();
            const QDate date = when.date();
            const QTime time = when.time();
            buffer.timestamp = SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(date.year()),
                                                    static_cast<SQLUSMALLINT>(date.month()),
                                                    static_cast<SQLUSMALLINT>(date.day()),
                                                    static_cast<SQLUSMALLINT>(time.hour()),
                                                    static_cast<SQLUSMALLINT>(time.minute()),
                                                    static_cast<SQLUSMALLINT>(time.second()),
                                                    static_cast<SQLUINTEGER>(time.msec()) * 1'000'000u};
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            columnSize = 23;
            digits = 3;
            data = &buffer.timestamp;
            break;
        }
        case Kind::Array:
            errors.push_back(
                bindingError("parameter " + parameter.name + " holds an array, which cannot be passed"));
            return false;
        }

        SQLRETURN rc = SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType,
                                        sqlType, columnSize, digits, data, bufferLength, &buffer.indicator);
        if (!SQL_SUCCEEDED(rc)) {
            appendDiagnostics(SQL_HANDLE_STMT, stmt, "binding parameter " + parameter.name, errors, mode);
            return false;
        }
    }
    return true;
}

} // namespace scadlav::db::odbc
