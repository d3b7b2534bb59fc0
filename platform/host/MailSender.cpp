#include "platform/host/MailSender.h"

#include <QDateTime>
#include <QStringList>

#include <curl/curl.h>
#include <memory>

namespace erphost {

namespace {

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
};

void ensureCurl() {
    static CurlGlobal global;
}

// The SMTP server's replies, read from the transfer's trace, so that a refusal is reported
// in the server's own words.
int collectReplies(CURL*, curl_infotype type, char* data, size_t size, void* userp) {
    if (type == CURLINFO_HEADER_IN) {
        auto* replies = static_cast<QStringList*>(userp);
        const QString line = QString::fromUtf8(data, int(size)).trimmed();
        if (!line.isEmpty())
            replies->append(line);
    }
    return 0;
}

QByteArray addressOnly(const QString& address) {
    const QString a = address.trimmed();
    const int open = a.indexOf(QLatin1Char('<'));
    const int close = a.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open)
        return a.mid(open, close - open + 1).toUtf8();
    return '<' + a.toUtf8() + '>';
}

} // namespace

QByteArray encodedHeaderText(const QString& text) {
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 128 || c.unicode() < 32) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

SendResult sendMail(const MailSettings& settings, const MailMessage& message) {
    ensureCurl();
    SendResult result;
    if (settings.server.isEmpty()) {
        result.answer = QStringLiteral("no mail server configured");
        return result;
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        result.answer = QStringLiteral("the mail transport could not start");
        return result;
    }
    CURL* c = curl.get();
    const QByteArray url = settings.server.toUtf8();
    const QByteArray from = addressOnly(settings.from);
    const QByteArray to = addressOnly(message.to);
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QStringList replies;

    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_slist* recipients = curl_slist_append(nullptr, to.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
    if (!settings.user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    // STARTTLS is required when asked for: the mail never goes on in clear text.
    if (settings.startTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    const QByteArray caFile = settings.caFile.toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(settings.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(settings.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, collectReplies);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &replies);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

    const QByteArray date = QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
    const QByteArray headerLines[] = {
        "Date: " + date,
        "From: " + settings.from.toUtf8(),
        "To: " + message.to.toUtf8(),
        "Subject: " + encodedHeaderText(message.subject),
    };
    curl_slist* headers = nullptr;
    for (const QByteArray& h : headerLines)
        headers = curl_slist_append(headers, h.constData());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);

    curl_mime* mime = curl_mime_init(c);
    curl_mimepart* body = curl_mime_addpart(mime);
    const QByteArray bodyText = message.body.toUtf8();
    curl_mime_data(body, bodyText.constData(), size_t(bodyText.size()));
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    curl_mimepart* attachment = curl_mime_addpart(mime);
    const QByteArray attachmentPath = message.attachmentPath.toLocal8Bit();
    const QByteArray attachmentName = message.attachmentName.toUtf8();
    bool attached = curl_mime_filedata(attachment, attachmentPath.constData()) == CURLE_OK;
    curl_mime_filename(attachment, attachmentName.constData());
    curl_mime_type(attachment, "application/pdf");
    curl_mime_encoder(attachment, "base64");
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime);

    CURLcode code = CURLE_OK;
    if (attached)
        code = curl_easy_perform(c);
    curl_mime_free(mime);
    curl_slist_free_all(headers);
    curl_slist_free_all(recipients);

    if (!attached) {
        result.answer = QStringLiteral("the letter %1 could not be attached").arg(message.attachmentPath);
    } else if (code != CURLE_OK) {
        // The server's last reply says why when it answered; otherwise the transport's error.
        // The last refusal the server sent (4xx or 5xx), not its goodbye.
        QString answer;
        for (auto it = replies.crbegin(); it != replies.crend(); ++it) {
            if (it->startsWith(QLatin1Char('4')) || it->startsWith(QLatin1Char('5'))) {
                answer = *it;
                break;
            }
        }
        const QString transport =
            QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)).trimmed();
        result.answer =
            answer.isEmpty() ? transport : answer + QStringLiteral(" (") + transport + QLatin1Char(')');
    } else {
        result.sent = true;
    }
    return result;
}

} // namespace erphost
