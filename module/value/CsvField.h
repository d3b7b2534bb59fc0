#pragma once

#include <QString>
#include <QStringList>

namespace scadlav {

// One CSV field as RFC 4180 writes it: a field holding the separator, a double quote or a line
// break is enclosed in double quotes, its own double quotes doubled; any other is written as it is.
// The separator is a comma, or the semicolon that spreadsheets expect where the comma is the
// decimal separator.
QString csvField(const QString& text, QChar separator = u',');
// One CSV record: every field as csvField writes it, separated by the separator, ended by CR LF.
QString csvLine(const QStringList& fields, QChar separator = u',');

} // namespace scadlav
