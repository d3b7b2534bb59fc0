#pragma once
// The report service's settings from the host's config file: where a print goes, the logo
// pictures of the letterheads, the mail server and the fax command.

#include <QString>
#include <QStringList>

class QSettings;

namespace erphost {

enum class Language;

struct MailSettings {
    // "smtp://host:port" (STARTTLS when StartTls is set) or "smtps://host:port". Empty: the
    // e-mail channel of the ERP's send-channel table is used.
    QString server;
    QString from;
    QString user;
    QString password;
    bool startTls = false;
    int timeoutSeconds = 30;
    // The certificates (PEM) that the server's certificate is checked against, for a server
    // whose certificate a company authority of its own signed; empty: the system's.
    QString caFile;
};

struct FaxSettings {
    // The fax client run for each send; {number} and {file} are replaced inside the arguments,
    // and no shell is involved.
    QString command = QStringLiteral("sendfax -n -d {number} {file}");
};

struct ReportSettings {
    enum class Output { Preview, Printer, Pdf };
    Output output = Output::Preview;
    // The file a print to PDF writes; "{date}" becomes the date and time of the print.
    QString pdfPath;
    // Logo pictures by logo type: 2 horizontal, 3 vertical, 4 and 5 letterhead variants.
    QString logoHorizontal;
    QString logoVertical;
    QString letterheadHorizontal;
    QString letterheadVertical;
    MailSettings mail;
    FaxSettings fax;
};

// Reads the [Report], [Mail] and [Fax] sections; returns the problems found, each naming its
// setting, in `language`. Relative paths are read from `folder`.
QStringList readReportSettings(QSettings& ini, const QString& path, const QString& folder,
                               ReportSettings& settings, Language language);

} // namespace erphost
