#include "platform/host/ConnectionKind.h"

#include <QStringList>

namespace erphost {

namespace {

// The value of `key` in a "Key=value;Key=value" string, empty when absent.
QString partOf(const QString& connectionString, const QString& key) {
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq >= 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return {};
}

} // namespace

bool isEmbeddedConnection(const QString& connectionString) {
    return partOf(connectionString, QStringLiteral("Provider"))
               .compare(QLatin1String("tsqlite"), Qt::CaseInsensitive) == 0;
}

QString embeddedDatabaseFile(const QString& connectionString) {
    return partOf(connectionString, QStringLiteral("Data Source"));
}

QString describeDatabase(const QString& connectionString) {
    if (isEmbeddedConnection(connectionString))
        return embeddedDatabaseFile(connectionString);
    const QString server = partOf(connectionString, QStringLiteral("Server"));
    const QString database = partOf(connectionString, QStringLiteral("Database"));
    if (!server.isEmpty() || !database.isEmpty())
        return database + QLatin1Char('@') + server;
    const QString dsn = partOf(connectionString, QStringLiteral("DSN"));
    return dsn.isEmpty() ? QStringLiteral("?") : QStringLiteral("DSN=") + dsn;
}

} // namespace erphost
