#pragma once
// Sends one e-mail with a PDF attachment over SMTP through libcurl (its MIME API builds the
// message), with STARTTLS or SMTPS and a login when configured.

#include "platform/host/ReportSettings.h"

#include <QString>

namespace erphost {

struct MailMessage {
    QString to;
    QString subject;
    QString body;
    QString attachmentPath;
    QString attachmentName;
};

struct SendResult {
    bool sent = false;
    // The server's last answer (or the transport's error) when the send failed.
    QString answer;
};

SendResult sendMail(const MailSettings& settings, const MailMessage& message);

// A header text with non-ASCII letters, encoded for a mail header (RFC 2047).
QByteArray encodedHeaderText(const QString& text);

} // namespace erphost
