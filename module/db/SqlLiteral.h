#pragma once
// Values and names written into SQL text: the one place where quoting happens, so that a
// quote inside a value can never end a literal early.

#include "module/db/IBackend.h"
#include "module/value/Value.h"

#include <QString>

namespace scadlav::db {

// NULL, a plain decimal number, 1/0 for a boolean, a quoted text with every ' doubled (N'...'
// for Unicode text on SQL Server), or a quoted date in the form the server reads without
// ambiguity: 'YYYY-MM-DD HH:MM:SS' on the embedded database, 'YYYYMMDD HH:MM:SS' on SQL
// Server (milliseconds appended when there are any).
QString sqlLiteral(const Value& value, Dialect dialect, bool unicodeText = false);

// A table or column name in brackets ("dbo.T" -> "[dbo].[T]"), with ] doubled inside.
QString sqlIdentifier(const QString& name);

} // namespace scadlav::db
