#pragma once

#include <QString>
#include <QStringList>

namespace tsql {

// Splits a T-SQL script into the batches that lines holding only "GO" separate, the way
// SQL Server's own tools do: the separator is case-insensitive and may be surrounded by
// blanks; it is never sent to the server. Batches holding nothing but blanks are dropped.
QStringList splitBatches(const QString& script);

} // namespace tsql
