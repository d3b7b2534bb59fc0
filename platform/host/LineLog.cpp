#include "platform/host/LineLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace erphost {

namespace {

LineLog::FailureReporter& reporter() {
    static LineLog::FailureReporter instance;
    return instance;
}

bool report(const QString& path, const QString& reason) {
    if (reporter())
        reporter()(path, reason);
    else
        std::fprintf(stderr, "erp-host: %s: %s\n", qPrintable(path), qPrintable(reason));
    return false;
}

} // namespace

void LineLog::setFailureReporter(FailureReporter r) {
    reporter() = std::move(r);
}

bool LineLog::append(const QStringList& fields) const {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return report(m_path, file.errorString());
    QStringList clean;
    clean.reserve(fields.size());
    for (QString field : fields) {
        field.replace(QLatin1Char('\t'), QLatin1Char(' '));
        field.replace(QLatin1Char('\r'), QLatin1Char(' '));
        field.replace(QLatin1Char('\n'), QLatin1Char(' '));
        clean << field;
    }
    const QByteArray line = clean.join(QLatin1Char('\t')).toUtf8() + '\n';
    // The write only fills QFile's buffer: a full disk shows at the flush.
    if (file.write(line) != line.size() || !file.flush())
        return report(m_path, file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return report(m_path, file.errorString());
    return true;
}

} // namespace erphost
