#include "platform/host/ReportSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace erphost {

QStringList readReportSettings(QSettings& ini, const QString& path, const QString& folder,
                               ReportSettings& s) {
    QStringList problems;
    auto text = [&](const char* key, QString& target) {
        const QString k = QString::fromLatin1(key);
        if (ini.contains(k))
            target = ini.value(k).toString().trimmed();
    };
    auto file = [&](const char* key, QString& target) {
        text(key, target);
        if (!target.isEmpty() && QDir::isRelativePath(target))
            target = QDir(folder).absoluteFilePath(target);
    };

    if (ini.contains(QStringLiteral("Report/Output"))) {
        const QString v = ini.value(QStringLiteral("Report/Output")).toString().trimmed().toLower();
        if (v == QLatin1String("preview"))
            s.output = ReportSettings::Output::Preview;
        else if (v == QLatin1String("printer"))
            s.output = ReportSettings::Output::Printer;
        else if (v == QLatin1String("pdf"))
            s.output = ReportSettings::Output::Pdf;
        else
            problems << QStringLiteral("setting Report/Output in %1: '%2' is not preview, printer or pdf")
                            .arg(path, v);
    }
    file("Report/PdfFile", s.pdfPath);
    file("Report/LogoHorizontal", s.logoHorizontal);
    file("Report/LogoVertical", s.logoVertical);
    file("Report/LetterheadHorizontal", s.letterheadHorizontal);
    file("Report/LetterheadVertical", s.letterheadVertical);

    text("Mail/Server", s.mail.server);
    if (!s.mail.server.isEmpty() && !s.mail.server.startsWith(QLatin1String("smtp://")) &&
        !s.mail.server.startsWith(QLatin1String("smtps://")))
        problems << QStringLiteral("setting Mail/Server in %1: '%2' does not start with smtp:// or smtps://")
                        .arg(path, s.mail.server);
    text("Mail/From", s.mail.from);
    file("Mail/CaFile", s.mail.caFile);
    if (!s.mail.caFile.isEmpty() && !QFileInfo(s.mail.caFile).isReadable())
        problems << QStringLiteral("setting Mail/CaFile in %1: the file %2 cannot be read")
                        .arg(path, s.mail.caFile);
    text("Mail/User", s.mail.user);
    if (ini.contains(QStringLiteral("Mail/Password")))
        s.mail.password = ini.value(QStringLiteral("Mail/Password")).toString();
    if (ini.contains(QStringLiteral("Mail/StartTls"))) {
        const QString v = ini.value(QStringLiteral("Mail/StartTls")).toString().trimmed().toLower();
        if (v == QLatin1String("true") || v == QLatin1String("1"))
            s.mail.startTls = true;
        else if (v == QLatin1String("false") || v == QLatin1String("0"))
            s.mail.startTls = false;
        else
            problems << QStringLiteral("setting Mail/StartTls in %1: '%2' is not true or false").arg(path, v);
    }
    if (ini.contains(QStringLiteral("Mail/TimeoutSeconds"))) {
        bool ok = false;
        const int n = ini.value(QStringLiteral("Mail/TimeoutSeconds")).toString().trimmed().toInt(&ok);
        if (ok && n > 0 && n <= 3600)
            s.mail.timeoutSeconds = n;
        else
            problems << QStringLiteral(
                            "setting Mail/TimeoutSeconds in %1: not a number of seconds from 1 to 3600")
                            .arg(path);
    }
    if (ini.contains(QStringLiteral("Fax/Command"))) {
        const QString v = ini.value(QStringLiteral("Fax/Command")).toString().trimmed();
        if (v.isEmpty())
            problems << QStringLiteral("setting Fax/Command in %1 is empty").arg(path);
        else
            s.fax.command = v;
    }
    return problems;
}

} // namespace erphost
