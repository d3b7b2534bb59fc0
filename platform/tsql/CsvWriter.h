#pragma once

#include "module/value/Value.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tsql {

// Writes result sets as RFC 4180 CSV: records end with CRLF; a field holding a comma, a
// double quote, CR or LF is enclosed in double quotes with its quotes doubled.
class CsvWriter {
public:
    // Text of one value: Null and Empty give an empty field, numbers plain decimal notation with
    // '.' (never an exponent), dates "YYYY-MM-DD HH:MM:SS", booleans 1 and 0 as the server stores
    // a bit.
    static QString fieldText(const scadlav::Value& value);

    static QString header(const QStringList& names);
    static QString record(const QList<scadlav::Value>& values);
};

} // namespace tsql
