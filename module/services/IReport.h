#pragma once

#include "module/services/IGlobalContext.h"
#include "module/services/IHostObject.h"
#include "module/value/Value.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace scadlav {

namespace db {
class Connection;
class Recordset;
} // namespace db

// An object placed on a section of a report (Kind 5 is a picture).
struct ReportObjectInfo {
    QString name;
    int kind = 0;
};

// The report being printed, as the report's events see it: its parameter fields, its
// sub-reports and the objects of its sections.
class IReportDocument {
public:
    static constexpr int PictureKind = 5;

    virtual ~IReportDocument();
    // Parameter field names in the report's own order.
    virtual QStringList parameterFieldNames() const = 0;
    virtual void setParameterValue(const QString& name, const Value& value) = 0;
    // nullptr when the report has no sub-report of that name.
    virtual IReportDocument* subreport(const QString& name) = 0;
    virtual void setData(db::Recordset* data) = 0;
    virtual int sectionCount() const = 0;
    virtual QList<ReportObjectInfo> reportObjects(int section) const = 0;
    virtual void setFormattedPicture(int section, const QString& objectName, const QImage& picture) = 0;
};

// Receives the report object's events. Setting `cancel` stops what the event announces.
class IReportEvents {
public:
    virtual ~IReportEvents();
    virtual void beforePrintReport(bool& cancel, IReportDocument& report) = 0;
    // `printerMedia` is the printer/media parameter collection the service is about to use.
    virtual void beforeSendMedia(bool& cancel, QList<Value>& printerMedia) = 0;
    virtual void reportPageHeaderFormat(IReportDocument& report) = 0;
};

// What the last print or send of a report object came to, as its service knows it.
struct ReportOutcome {
    enum class Kind { None, Sent, Skipped, Failed };
    Kind kind = Kind::None; // None: nothing went out (a preview only looked at, a cancelled print)
    QString channel;        // "print", "pdf", "fax" or "mail"
    QString recipient;      // the printer, file, number or address
    QString answer;         // why it was skipped or failed
};

// A report object of the host's report service: one per print or send. It is configured with
// settings, reads its data from an in-memory record set and its layout from a report file,
// raises its events while it prepares the document, and prints, previews, faxes or mails it
// as its settings say. status() is 0 while the object can be used again.
class IReport : public IHostObject {
public:
    ~IReport() override;
    static constexpr int MediaFax = 4;
    static constexpr int MediaMail = 5;
    static constexpr int StatusError = 10;
    // Recipient kinds: a registry code, a supplier code (print / send), a contact, a destination.
    static constexpr int RecipientRegistry = 0;
    static constexpr int RecipientSupplierPrint = 1;
    static constexpr int RecipientSupplierSend = 2;
    static constexpr int RecipientContact = 10;
    static constexpr int RecipientDestination = 11;

    virtual void setEvents(IReportEvents* events) = 0;

    virtual void setGlobalContext(IGlobalContext* context) = 0;
    virtual void setModuleIdentity(const QString& identity) = 0;
    virtual void setFlags(bool first, bool second) = 0;
    virtual void setConnection(db::Connection* connection) = 0;
    virtual void setTitle(const QString& title) = 0;
    virtual void setReportFile(const QString& fileName) = 0;
    virtual void setReportFolder(const QString& folder) = 0;
    virtual void setSettings(int first, int second) = 0;
    virtual void setConnectionInfo(const ConnectionInfo& info) = 0;
    virtual void setData(db::Recordset* data) = 0;
    virtual void setContextValue(const Value& value) = 0;
    virtual void setFurtherSettings(int first, int second, int third) = 0;
    // The setting that marks a send as handled group by group (1) or not (0).
    virtual void setGroupSend(int value) = 0;

    // The ordered printer/media parameter collection (19 values) for a fax or mail send.
    virtual void setPrinterMedia(const QList<Value>& printerMedia) = 0;
    // Prepares a send: parameters, the module's folder, the report file name and the title.
    virtual void prepareSend(const QList<Value>& printerMedia, const QString& folder, const QString& fileName,
                             const QString& title) = 0;
    virtual void setRecipient(std::int32_t id, int kind) = 0;

    // Prepares the document and shows, prints or sends it as the settings say.
    virtual void run() = 0;
    // Sends with the given parameters, report file path and title (the per-group send).
    virtual void send(const QList<Value>& printerMedia, const QString& reportPath, const QString& title) = 0;
    virtual bool isFinished() const = 0;
    virtual int status() const = 0;
    virtual QString statusText() const = 0;
    virtual ReportOutcome lastOutcome() const = 0;
};

} // namespace scadlav
