#include "platform/host/ReportSettings.h"

#include "platform/host/TextCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace erphost {

namespace {
constexpr int kTextReportOutput = 92038;
constexpr int kTextMailServer = 92039;
constexpr int kTextMailCaFile = 92040;
constexpr int kTextMailStartTls = 92041;
constexpr int kTextMailTimeout = 92042;
constexpr int kTextFaxCommand = 92043;
} // namespace

QStringList readReportSettings(QSettings& ini, const QString& path, const QString& folder, ReportSettings& s,
                               Language language) {
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
            problems << hostText(kTextReportOutput, language, {path, v});
    }
    file("Report/PdfFile", s.pdfPath);
    file("Report/LogoHorizontal", s.logoHorizontal);
    file("Report/LogoVertical", s.logoVertical);
    file("Report/LetterheadHorizontal", s.letterheadHorizontal);
    file("Report/LetterheadVertical", s.letterheadVertical);

    text("Mail/Server", s.mail.server);
    if (!s.mail.server.isEmpty() && !s.mail.server.startsWith(QLatin1String("smtp://")) &&
        !s.mail.server.startsWith(QLatin1String("smtps://")))
        problems << hostText(kTextMailServer, language, {path, s.mail.server});
    text("Mail/From", s.mail.from);
    file("Mail/CaFile", s.mail.caFile);
    if (!s.mail.caFile.isEmpty() && !QFileInfo(s.mail.caFile).isReadable())
        problems << hostText(kTextMailCaFile, language, {path, s.mail.caFile});
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
            problems << hostText(kTextMailStartTls, language, {path, v});
    }
    if (ini.contains(QStringLiteral("Mail/TimeoutSeconds"))) {
        bool ok = false;
        const int n = ini.value(QStringLiteral("Mail/TimeoutSeconds")).toString().trimmed().toInt(&ok);
        if (ok && n > 0 && n <= 3600)
            s.mail.timeoutSeconds = n;
        else
            problems << hostText(kTextMailTimeout, language, {path});
    }
    if (ini.contains(QStringLiteral("Fax/Command"))) {
        const QString v = ini.value(QStringLiteral("Fax/Command")).toString().trimmed();
        if (v.isEmpty())
            problems << hostText(kTextFaxCommand, language, {path});
        else
            s.fax.command = v;
    }
    return problems;
}

} // namespace erphost
