#include "platform/host/LineLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace erphost {

bool LineLog::append(const QStringList& fields) const {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    QStringList clean;
    clean.reserve(fields.size());
    for (QString field : fields) {
        field.replace(QLatin1Char('\t'), QLatin1Char(' '));
        field.replace(QLatin1Char('\r'), QLatin1Char(' '));
        field.replace(QLatin1Char('\n'), QLatin1Char(' '));
        clean << field;
    }
    const QByteArray line = clean.join(QLatin1Char('\t')).toUtf8() + '\n';
    return file.write(line) == line.size();
}

} // namespace erphost
