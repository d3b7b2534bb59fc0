#include "module/value/CsvField.h"

namespace scadlav {

QString csvField(const QString& text, QChar separator) {
    for (const QChar c : text) {
        if (c == separator || c == u'"' || c == u'\r' || c == u'\n') {
            QString quoted = text;
            quoted.replace(u'"', QStringLiteral("\"\""));
            return u'"' + quoted + u'"';
        }
    }
    return text;
}

QString csvLine(const QStringList& fields, QChar separator) {
    QString line;
    for (const QString& field : fields) {
        if (!line.isEmpty() || &field != &fields.front())
            line += separator;
        line += csvField(field, separator);
    }
    return line + QStringLiteral("\r\n");
}

} // namespace scadlav
