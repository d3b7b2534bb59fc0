#include "platform/host/ReportService.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "platform/host/FaxSender.h"
#include "platform/host/MailSender.h"
#include "platform/host/ReminderLetter.h"

#include <QDateTime>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

namespace erphost {

using scadlav::Value;

// The report as its events see it: the parameters the definition declares and the letterhead
// sub-report with its own data.
class ReportDocument : public scadlav::IReportDocument {
public:
    explicit ReportDocument(QStringList parameters, QStringList subreports = {})
        : m_parameters(std::move(parameters)) {
        for (const QString& name : subreports)
            m_subreports.emplace(name, std::make_unique<ReportDocument>(QStringList()));
    }

    QStringList parameterFieldNames() const override { return m_parameters; }
    void setParameterValue(const QString& name, const Value& value) override {
        if (m_parameters.contains(name))
            m_values.insert(name, value);
    }
    scadlav::IReportDocument* subreport(const QString& name) override {
        const auto it = m_subreports.find(name);
        return it == m_subreports.end() ? nullptr : it->second.get();
    }
    void setData(scadlav::db::Recordset* data) override { m_data = data; }
    int sectionCount() const override { return 0; }
    QList<scadlav::ReportObjectInfo> reportObjects(int) const override { return {}; }
    void setFormattedPicture(int, const QString&, const QImage&) override {}

    const QHash<QString, Value>& values() const { return m_values; }
    scadlav::db::Recordset* data() const { return m_data; }

private:
    QStringList m_parameters;
    QHash<QString, Value> m_values;
    std::map<QString, std::unique_ptr<ReportDocument>> m_subreports;
    scadlav::db::Recordset* m_data = nullptr;
};

namespace {

constexpr int kStatusError = scadlav::IReport::StatusError;

QString supplierOf(const QList<Record>& rows) {
    return rows.isEmpty() ? QString() : rows.constFirst().value(QStringLiteral("DO11_CLIFOR_CG44")).toText();
}

QString trimmedText(const Value& v) {
    return v.isEmptyOrNull() ? QString() : v.toText().trimmed();
}

SendJournal& processJournal() {
    static SendJournal journal;
    return journal;
}

} // namespace

ReportService::ReportService(ReportSettings settings, Language language, SendJournal journal)
    : m_settings(std::move(settings)), m_language(language), m_journal(std::move(journal)) {}

ReportService::~ReportService() = default;

QString ReportService::text(const QString& italian, int id, const QList<Value>& parameters) const {
    if (m_context) {
        if (scadlav::IMessageService* messages = m_context->messageService())
            return messages->textById(id, parameters);
    }
    QString text = italian;
    for (int i = 0; i < parameters.size(); ++i)
        text.replace(QStringLiteral("%") + QString::number(i + 1), parameters.at(i).toText());
    return text;
}

void ReportService::fail(const QString& message, bool show) {
    m_status = kStatusError;
    m_statusText = message;
    if (show && m_context) {
        if (scadlav::IMessageService* messages = m_context->messageService())
            messages->messageBox(message, scadlav::msgbox::Critical, m_title, nullptr);
    }
}

void ReportService::prepareSend(const QList<Value>& printerMedia, const QString& folder,
                                const QString& fileName, const QString& title) {
    m_printerMedia = printerMedia;
    m_folder = folder;
    m_fileName = fileName;
    m_title = title;
    m_sendPrepared = true;
}

void ReportService::setRecipient(std::int32_t id, int kind) {
    m_recipientId = id;
    m_recipientKind = kind;
}

void ReportService::setProcessJournal(SendJournal journal) {
    processJournal() = std::move(journal);
}

void ReportService::journal(SendRecord record) {
    using Kind = scadlav::ReportOutcome::Kind;
    m_outcome = {record.outcome == SendRecord::Outcome::Sent      ? Kind::Sent
                 : record.outcome == SendRecord::Outcome::Skipped ? Kind::Skipped
                                                                  : Kind::Failed,
                 record.channel, record.recipient, record.reason};
    if (m_journal)
        m_journal(record);
    if (processJournal())
        processJournal()(record);
}

MailSettings ReportService::mailSettings() const {
    MailSettings mail = m_settings.mail;
    if (!mail.server.isEmpty() || !m_connection)
        return mail;
    std::unique_ptr<scadlav::db::Recordset> rs = m_connection->execute(QStringLiteral(
        "SELECT FW23_SERVER, FW23_PORTA, FW23_MITTENTE, FW23_UTENTE, FW23_PASSWORD, FW23_FLGSSL FROM "
        "FW23_FAXER WITH (NOLOCK) WHERE FW23_INDTIPO = 1 ORDER BY FW23_ID"));
    if (!rs || rs->eof() || trimmedText(rs->value(0)).isEmpty())
        return mail;
    const bool ssl = rs->value(5).toInt32().value_or(0) != 0;
    const int port = rs->value(1).toInt32().value_or(ssl ? 465 : 25);
    mail.server = (ssl ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + trimmedText(rs->value(0)) +
                  QLatin1Char(':') + QString::number(port);
    if (mail.from.isEmpty())
        mail.from = trimmedText(rs->value(2));
    if (mail.user.isEmpty()) {
        mail.user = trimmedText(rs->value(3));
        mail.password = rs->value(4).isEmptyOrNull() ? QString() : rs->value(4).toText();
    }
    return mail;
}

bool ReportService::prepare(const QString& path, LetterInputs& inputs,
                            std::unique_ptr<ReportDefinition>& definition) {
    QString why;
    std::optional<ReportDefinition> def = ReportDefinition::load(path, &why);
    if (!def) {
        fail(text(QStringLiteral("Definizione del report %1 non leggibile: %2"), 91003,
                  {Value(path), Value(why)}),
             !m_sendPrepared);
        return false;
    }
    definition = std::make_unique<ReportDefinition>(*def);
    ReportDocument document(definition->parameterNames(), definition->subreportNames());
    bool cancel = false;
    if (m_events) {
        m_events->beforePrintReport(cancel, document);
        m_events->reportPageHeaderFormat(document);
    }
    if (cancel)
        return false;
    inputs.rows = readRecords(m_data);
    inputs.parameters = document.values();
    if (ReportDocument* logo = static_cast<ReportDocument*>(document.subreport(QStringLiteral("LOGO_MAN")))) {
        const QList<Record> company = readRecords(logo->data());
        if (!company.isEmpty())
            inputs.company = company.constFirst();
    }
    inputs.locale = QLocale(m_language == Language::English ? QLocale::English : QLocale::Italian,
                            m_language == Language::English ? QLocale::UnitedKingdom : QLocale::Italy);
    inputs.today = QDateTime::currentDateTime().date();
    inputs.translate = [this](const QString& italian, int id, const QList<Value>& parameters) {
        return text(italian, id, parameters);
    };
    const QString logos[] = {m_settings.logoHorizontal, m_settings.logoVertical,
                             m_settings.letterheadHorizontal, m_settings.letterheadVertical};
    for (int type = 2; type <= 5; ++type) {
        if (!logos[type - 2].isEmpty())
            inputs.logos.insert(type, QImage(logos[type - 2]));
    }
    return true;
}

void ReportService::run() {
    m_status = 0;
    m_statusText.clear();
    m_outcome = {};
    if (m_sendPrepared) {
        // The module may take the send over (and send group by group); otherwise the service
        // sends the letters itself, to the recipient it was given.
        bool cancel = false;
        QList<Value> printerMedia = m_printerMedia;
        if (m_events)
            m_events->beforeSendMedia(cancel, printerMedia);
        if (!cancel)
            send(printerMedia, QDir(m_folder).filePath(m_fileName), m_title);
        m_finished = true;
        return;
    }
    LetterInputs inputs;
    std::unique_ptr<ReportDefinition> definition;
    if (prepare(QDir(m_folder).filePath(m_fileName), inputs, definition))
        print(*definition, inputs);
    m_finished = true;
}

void ReportService::print(const ReportDefinition& definition, const LetterInputs& inputs) {
    QString why;
    const QString supplier = supplierOf(inputs.rows);
    switch (m_settings.output) {
    case ReportSettings::Output::Pdf: {
        QString path = m_settings.pdfPath;
        if (path.isEmpty())
            path = QDir::home().filePath(QStringLiteral("solleciti-{date}.pdf"));
        path.replace(QStringLiteral("{date}"),
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        if (!writeLettersPdf(path, definition, inputs, &why)) {
            fail(text(QStringLiteral("Il file PDF %1 non può essere scritto: %2"), 91006,
                      {Value(path), Value(why)}),
                 true);
            journal({SendRecord::Outcome::Failed, supplier, QStringLiteral("pdf"), path, m_statusText,
                     inputs.rows});
            return;
        }
        journal({SendRecord::Outcome::Sent, supplier, QStringLiteral("pdf"), path, QString(), inputs.rows});
        return;
    }
    case ReportSettings::Output::Printer: {
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            fail(text(QStringLiteral("Nessuna stampante disponibile"), 91005), true);
            journal({SendRecord::Outcome::Failed, supplier, QStringLiteral("print"), QString(), m_statusText,
                     inputs.rows});
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(m_title);
        if (paintLetters(printer, definition, inputs, &why) < 0) {
            fail(text(QStringLiteral("Stampa non riuscita: %1"), 91004, {Value(why)}), true);
            journal({SendRecord::Outcome::Failed, supplier, QStringLiteral("print"), printer.printerName(),
                     m_statusText, inputs.rows});
            return;
        }
        journal({SendRecord::Outcome::Sent, supplier, QStringLiteral("print"), printer.printerName(),
                 QString(), inputs.rows});
        return;
    }
    case ReportSettings::Output::Preview: {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(m_title);
        QPrintPreviewDialog preview(&printer);
        preview.setWindowTitle(m_title);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&](QPrinter* target) { paintLetters(*target, definition, inputs, &why); });
        // Only a preview the user printed from counts as a print.
        if (preview.exec() == QDialog::Accepted)
            journal({SendRecord::Outcome::Sent, supplier, QStringLiteral("print"), printer.printerName(),
                     QString(), inputs.rows});
        return;
    }
    }
}

ReportService::Recipient ReportService::resolveRecipient(bool mail, const QList<Record>& rows) {
    const QString supplier = supplierOf(rows);
    if (m_recipientKind < 0 || m_recipientId <= 0)
        return {QString(),
                text(QStringLiteral("nessun destinatario per il fornitore %1"), 91007, {Value(supplier)})};
    if (!m_connection)
        return {QString(), QStringLiteral("no database connection")};
    const QString registry =
        rows.isEmpty() ? QString() : rows.constFirst().value(QStringLiteral("CG16_CODICE")).toText();
    const QString column = mail ? QStringLiteral("CG16_INDEMAIL") : QStringLiteral("CG16_FAXNUM");
    const QString id = QString::number(m_recipientId);
    QString sql;
    switch (m_recipientKind) {
    case IReport::RecipientContact:
        // A contact counts only when it is linked to this supplier.
        sql =
            QStringLiteral(
                "SELECT %1 FROM CO02_ANAGCONTATTO WITH (NOLOCK) WHERE CO02_ID = %2 AND EXISTS (SELECT 1 FROM "
                "CO03_LEGCONTATTO WITH (NOLOCK) WHERE CO03_ID_CO02 = CO02_ID AND CO03_CODICE_CG16 = %3)")
                .arg(mail ? QStringLiteral("CO02_EMAIL1") : QStringLiteral("CO02_FAX"), id,
                     registry.isEmpty() ? QStringLiteral("0") : registry);
        break;
    case IReport::RecipientRegistry:
        if (id != registry)
            return {QString(), text(QStringLiteral("il destinatario non appartiene al fornitore %1"), 91008,
                                    {Value(supplier)})};
        sql = QStringLiteral("SELECT %1 FROM CG16_ANAGGEN WITH (NOLOCK) WHERE CG16_CODICE = %2")
                  .arg(column, id);
        break;
    case IReport::RecipientSupplierPrint:
    case IReport::RecipientSupplierSend:
        if (id != supplier)
            return {QString(), text(QStringLiteral("il destinatario non appartiene al fornitore %1"), 91008,
                                    {Value(supplier)})};
        sql = QStringLiteral(
                  "SELECT %1 FROM CG16_ANAGGEN WITH (NOLOCK) INNER JOIN CG44_CLIFOR WITH (NOLOCK) ON "
                  "CG44_CODICE_CG16 = CG16_CODICE WHERE CG44_TIPOCF = 1 AND CG44_CLIFOR = %2 AND "
                  "CG44_DITTA_CG18 = %3")
                  .arg(column, id, QString::number(m_context ? m_context->companyCode() : 0));
        break;
    default:
        return {QString(),
                text(QStringLiteral("nessun destinatario per il fornitore %1"), 91007, {Value(supplier)})};
    }
    std::unique_ptr<scadlav::db::Recordset> rs = m_connection->execute(sql);
    if (!rs)
        return {QString(), m_connection->lastErrorText()};
    const QString address = rs->eof() ? QString() : trimmedText(rs->value(0));
    if (address.isEmpty())
        return {QString(),
                text(QStringLiteral("nessun destinatario per il fornitore %1"), 91007, {Value(supplier)})};
    return {address, QString()};
}

void ReportService::send(const QList<Value>& printerMedia, const QString& reportPath, const QString& title) {
    m_status = 0;
    m_statusText.clear();
    m_outcome = {};
    if (!title.isEmpty())
        m_title = title;
    const int media = printerMedia.isEmpty() ? 0 : int(printerMedia.constFirst().toInt32().value_or(0));
    sendLetters(media, reportPath);
    m_finished = true;
}

void ReportService::sendLetters(int media, const QString& reportPath) {
    const bool mail = media == IReport::MediaMail;
    const QString channel = mail ? QStringLiteral("mail") : QStringLiteral("fax");
    LetterInputs inputs;
    std::unique_ptr<ReportDefinition> definition;
    if (!prepare(reportPath, inputs, definition)) {
        journal({SendRecord::Outcome::Failed, QString(), channel, QString(), m_statusText, {}});
        return;
    }
    const QString supplier = supplierOf(inputs.rows);
    if (inputs.rows.isEmpty())
        return;
    if (media != IReport::MediaMail && media != IReport::MediaFax) {
        fail(QStringLiteral("unknown send medium %1").arg(media), false);
        journal({SendRecord::Outcome::Failed, supplier, channel, QString(), m_statusText, inputs.rows});
        return;
    }
    const Recipient recipient = resolveRecipient(mail, inputs.rows);
    if (recipient.address.isEmpty()) {
        // Skipped, never sent elsewhere: the journal lists it.
        journal({SendRecord::Outcome::Skipped, supplier, channel, QString(), recipient.reason, inputs.rows});
        return;
    }
    QTemporaryDir dir;
    QString why;
    const QString pdf = dir.filePath(QStringLiteral("sollecito-%1.pdf").arg(supplier));
    if (!dir.isValid() || !writeLettersPdf(pdf, *definition, inputs, &why)) {
        fail(text(QStringLiteral("Il file PDF %1 non può essere scritto: %2"), 91006,
                  {Value(pdf), Value(why)}),
             false);
        journal(
            {SendRecord::Outcome::Failed, supplier, channel, recipient.address, m_statusText, inputs.rows});
        return;
    }
    SendResult result;
    if (mail) {
        MailMessage message;
        message.to = recipient.address;
        const QString titolo = inputs.parameters.value(QStringLiteral("TITOLO")).toText().trimmed();
        message.subject = titolo.isEmpty() ? m_title : titolo;
        message.body = text(
            QStringLiteral("In allegato il nostro sollecito per le lavorazioni indicate.\nDistinti saluti."),
            91009);
        message.attachmentPath = pdf;
        message.attachmentName = QStringLiteral("sollecito-%1.pdf").arg(supplier);
        result = sendMail(mailSettings(), message);
        if (!result.sent)
            fail(text(QStringLiteral("Invio e-mail a %1 non riuscito: %2"), 91001,
                      {Value(recipient.address), Value(result.answer)}),
                 false);
    } else {
        result = sendFax(m_settings.fax, recipient.address, pdf);
        if (!result.sent)
            fail(text(QStringLiteral("Invio fax al numero %1 non riuscito: %2"), 91002,
                      {Value(recipient.address), Value(result.answer)}),
                 false);
    }
    journal({result.sent ? SendRecord::Outcome::Sent : SendRecord::Outcome::Failed, supplier, channel,
             recipient.address, result.sent ? QString() : result.answer, inputs.rows});
}

} // namespace erphost
