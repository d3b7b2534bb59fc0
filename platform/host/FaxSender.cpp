#include "platform/host/FaxSender.h"

#include <QProcess>

namespace erphost {

QStringList faxCommandLine(const QString& command, const QString& number, const QString& file) {
    QStringList words = QProcess::splitCommand(command);
    for (QString& w : words) {
        w.replace(QStringLiteral("{number}"), number);
        w.replace(QStringLiteral("{file}"), file);
    }
    return words;
}

SendResult sendFax(const FaxSettings& settings, const QString& number, const QString& file) {
    SendResult result;
    QStringList words = faxCommandLine(settings.command, number, file);
    if (words.isEmpty()) {
        result.answer = QStringLiteral("no fax command configured");
        return result;
    }
    QProcess process;
    const QString program = words.takeFirst();
    process.start(program, words);
    if (!process.waitForStarted(10000)) {
        result.answer =
            QStringLiteral("the fax command %1 could not be started: %2").arg(program, process.errorString());
        return result;
    }
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        result.answer = QStringLiteral("the fax command %1 did not finish within two minutes").arg(program);
        return result;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QString error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        if (error.isEmpty())
            error = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        result.answer = QStringLiteral("the fax command %1 ended with code %2%3")
                            .arg(program)
                            .arg(process.exitCode())
                            .arg(error.isEmpty() ? QString() : QStringLiteral(": ") + error);
        return result;
    }
    result.sent = true;
    return result;
}

} // namespace erphost
