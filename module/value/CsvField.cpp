#include "module/value/CsvField.h"

namespace scadlav {

QString csvField(const QString& text) {
    for (const QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            QString quoted = text;
            quoted.replace(u'"', QStringLiteral("\"\""));
            return u'"' + quoted + u'"';
        }
    }
    return text;
}

QString csvLine(const QStringList& fields) {
    QString line;
    for (const QString& field : fields) {
        if (!line.isEmpty() || &field != &fields.front())
            line += u',';
        line += csvField(field);
    }
    return line + QStringLiteral("\r\n");
}

} // namespace scadlav
