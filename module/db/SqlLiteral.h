#pragma once
// Values and names written into SQL text: the one place where quoting happens, so that a
// quote inside a value can never end a literal early.

#include "module/db/IBackend.h"
#include "module/value/Value.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scadlav::db {

// NULL, a plain decimal number, 1/0 for a boolean, a quoted text with every ' doubled (N'...'
// for Unicode text on SQL Server), or a quoted date in the form the server reads without
// ambiguity: 'YYYY-MM-DD HH:MM:SS' on the embedded database, 'YYYYMMDD HH:MM:SS' on SQL
// Server (milliseconds appended when there are any).
QString sqlLiteral(const Value& value, Dialect dialect, bool unicodeText = false);
// The same as a literal apart from its statement; nullopt where sqlLiteral() writes NULL.
std::optional<StatementLiteral> statementLiteral(const Value& value, Dialect dialect,
                                                 bool unicodeText = false);
// `literal` written as SQL text, quoted and with every ' doubled if it is a string.
std::string literalText(const StatementLiteral& literal);
// `text` with each '?' outside quotes and brackets replaced by the next of `literals`; nullopt
// when their numbers differ.
std::optional<std::string> withLiteralsWritten(std::string_view text,
                                               const std::vector<StatementLiteral>& literals);

// A table or column name in brackets ("dbo.T" -> "[dbo].[T]"), with ] doubled inside.
QString sqlIdentifier(const QString& name);

} // namespace scadlav::db
