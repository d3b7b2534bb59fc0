#include "platform/host/ConnectionKind.h"

#include <QStringList>

namespace erphost {

bool isEmbeddedConnection(const QString& connectionString) {
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed().compare(QLatin1String("tsqlite"), Qt::CaseInsensitive) == 0;
    }
    return false;
}

} // namespace erphost
