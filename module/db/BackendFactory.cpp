#include "module/db/BackendFactory.h"

#include "module/db/TsqliteBackend.h"

#include "module/db/odbc/OdbcBackend.h"

namespace scadlav::db {

QString connectionStringValue(const QString& connectionString, const QString& key) {
    qsizetype pos = 0;
    const qsizetype n = connectionString.size();
    while (pos < n) {
        qsizetype eq = connectionString.indexOf(u'=', pos);
        if (eq < 0)
            break;
        const QString name = connectionString.mid(pos, eq - pos).trimmed();
        qsizetype start = eq + 1;
        while (start < n && connectionString[start] == u' ')
            ++start;
        QString value;
        qsizetype next = 0;
        if (start < n && connectionString[start] == u'{') {
            qsizetype close = connectionString.indexOf(u'}', start);
            if (close < 0)
                close = n;
            value = connectionString.mid(start + 1, close - start - 1);
            next = connectionString.indexOf(u';', close);
        } else {
            next = connectionString.indexOf(u';', start);
            value = connectionString.mid(start, (next < 0 ? n : next) - start).trimmed();
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
        if (next < 0)
            break;
        pos = next + 1;
    }
    return {};
}

std::unique_ptr<IBackend> makeBackend(const QString& connectionString) {
    if (connectionStringValue(connectionString, QStringLiteral("Provider"))
            .compare(QStringLiteral("tsqlite"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TsqliteBackend>();
    return makeOdbcBackend();
}

} // namespace scadlav::db
