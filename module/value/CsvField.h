#pragma once

#include <QString>
#include <QStringList>

namespace scadlav {

// One CSV field as RFC 4180 writes it: a field holding a comma, a double quote or a line break
// is enclosed in double quotes, its own double quotes doubled; any other is written as it is.
QString csvField(const QString& text);
// One CSV record: every field as csvField writes it, separated by commas, ended by CR LF.
QString csvLine(const QStringList& fields);

} // namespace scadlav
