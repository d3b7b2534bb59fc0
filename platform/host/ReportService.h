#pragma once
// The host's report service: one report object per print or send. It reads the report
// definition the module names, raises the report's events so the module fills the parameters
// and the letterhead's data, and previews, prints or writes the letters to PDF through Qt; for
// a send it resolves the recipient the module gave to an e-mail address or fax number from the
// ERP tables and mails the letter as a PDF attachment (libcurl) or hands it to the fax command.
// Every send is reported to the journal: sent, skipped (no recipient) or failed, with why.

#include "module/services/IReport.h"
#include "platform/host/HostSettings.h"

#include <QHash>
#include <functional>
#include <memory>

namespace erphost {

class ReportDefinition;
struct LetterInputs;

struct SendRecord {
    enum class Outcome { Sent, Skipped, Failed };
    Outcome outcome = Outcome::Sent;
    QString supplier;                           // the supplier's code
    QString channel;                            // "print", "pdf", "fax" or "mail"
    QString recipient;                          // the address or number the letter went to
    QString reason;                             // why it was skipped or failed, the server's answer included
    QList<QHash<QString, scadlav::Value>> rows; // the reminder records the letter carried
};

using SendJournal = std::function<void(const SendRecord&)>;

class ReportDocument;

class ReportService : public scadlav::IReport {
public:
    ReportService(ReportSettings settings, Language language, SendJournal journal = {});
    ~ReportService() override;

    void setEvents(scadlav::IReportEvents* events) override { m_events = events; }
    void setGlobalContext(scadlav::IGlobalContext* context) override { m_context = context; }
    void setModuleIdentity(const QString& identity) override { m_moduleIdentity = identity; }
    void setFlags(bool, bool) override {}
    void setConnection(scadlav::db::Connection* connection) override { m_connection = connection; }
    void setTitle(const QString& title) override { m_title = title; }
    void setReportFile(const QString& fileName) override { m_fileName = fileName; }
    void setReportFolder(const QString& folder) override { m_folder = folder; }
    void setSettings(int, int) override {}
    void setConnectionInfo(const scadlav::ConnectionInfo&) override {}
    void setData(scadlav::db::Recordset* data) override { m_data = data; }
    void setContextValue(const scadlav::Value&) override {}
    void setFurtherSettings(int, int, int) override {}
    void setGroupSend(int value) override { m_groupSend = value; }
    void setPrinterMedia(const QList<scadlav::Value>& printerMedia) override {
        m_printerMedia = printerMedia;
    }
    void prepareSend(const QList<scadlav::Value>& printerMedia, const QString& folder,
                     const QString& fileName, const QString& title) override;
    void setRecipient(std::int32_t id, int kind) override;

    void run() override;
    void send(const QList<scadlav::Value>& printerMedia, const QString& reportPath,
              const QString& title) override;
    bool isFinished() const override { return m_finished; }
    int status() const override { return m_status; }
    QString statusText() const override { return m_statusText; }
    scadlav::ReportOutcome lastOutcome() const override { return m_outcome; }

    // Where every report object of the process reports its sends besides its own journal (the
    // batch job's output); empty for none.
    static void setProcessJournal(SendJournal journal);

    // The recipient a send would use: the address or number, or the reason there is none.
    struct Recipient {
        QString address;
        QString reason;
    };
    Recipient resolveRecipient(bool mail, const QList<QHash<QString, scadlav::Value>>& rows);

private:
    QString text(const QString& italian, int id, const QList<scadlav::Value>& parameters = {}) const;
    bool prepare(const QString& path, LetterInputs& inputs, std::unique_ptr<ReportDefinition>& definition);
    void fail(const QString& message, bool show);
    void print(const ReportDefinition& definition, const LetterInputs& inputs);
    void sendLetters(int media, const QString& reportPath);
    void journal(SendRecord record);
    // The [Mail] settings, or the e-mail channel of the ERP's send-channel table when they name
    // no server.
    MailSettings mailSettings() const;

    ReportSettings m_settings;
    Language m_language;
    SendJournal m_journal;
    scadlav::IReportEvents* m_events = nullptr;
    scadlav::IGlobalContext* m_context = nullptr;
    scadlav::db::Connection* m_connection = nullptr;
    scadlav::db::Recordset* m_data = nullptr;
    QString m_moduleIdentity;
    QString m_title;
    QString m_fileName;
    QString m_folder;
    int m_groupSend = 0;
    QList<scadlav::Value> m_printerMedia;
    bool m_sendPrepared = false;
    std::int32_t m_recipientId = 0;
    int m_recipientKind = -1;
    bool m_finished = false;
    int m_status = 0;
    QString m_statusText;
    scadlav::ReportOutcome m_outcome;
};

} // namespace erphost
