#pragma once
// A reminder screen on an embedded ERP database: a company, suppliers with registry entries and
// contacts, fixed texts, send channels and schedule rows, the screen's rows read as the schedule
// screen hands them over, and a recording report service in place of the host's.

#include "erpdb.h"
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/IReport.h"
#include "reminders/FRMPD_KVB_STSOLL.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/MemoryErrorLog.h"
#include "tests/support/doubles/RecordingStatusBar.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace scadlav::testing {

// What the recording report service saw, over every report object the screen created.
struct ReportLog {
    struct Print {
        QHash<QString, Value> parameters;
        QStringList companyNames; // rows of the letterhead's data
        QStringList rows;         // "supplier/article" of each record of the data
    };
    struct Send {
        std::int32_t recipient = 0;
        int kind = -1;
        QStringList rows;
        int media = 0;
    };
    QList<Print> prints;
    QList<Send> sends;
    // Suppliers whose send fails with status 10 and this text.
    QHash<QString, QString> failures;
};

// "supplier/article" of each record of `rs` under its filter.
QStringList recordRows(db::Recordset* rs);

// A schedule row of a supplier, with its order line's phase and its article.
struct ReminderRow {
    QString key{};
    int supplier = 0; // 0: a department row, no supplier
    QString article = QStringLiteral("ART1");
    QString description = QStringLiteral("Albero di trasmissione");
    QString note{}; // construction note; empty means none
    QString end = QStringLiteral("2026-03-01");
    QString inWork = QStringLiteral("12.5");
    QString residual = QStringLiteral("40");
    int company = 1;
    int soll = 3;
};

class ReminderScreenTest : public ::testing::Test {
protected:
    ReminderScreenTest();
    ~ReminderScreenTest() override;

    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + path; }
    void exec(const QString& sql);
    static QString quoted(const QString& text);

    // A supplier of the company: registry entry `registry` = supplier code + 1000.
    void addSupplier(int code, const QString& name, const QString& email, const QString& fax,
                     const QString& country = QStringLiteral("IT"), int company = 1, int type = 1);
    void addContact(int id, int supplier, const QString& type, const QString& name, const QString& email,
                    const QString& fax, bool preferred);
    void addRow(const ReminderRow& row);
    // Rows by key and supplier, each with the article "ART-" + key.
    void addRows(const QList<std::pair<const char*, int>>& rows);

    // Opens the screen over the rows (every company's rows, in key order), as the schedule
    // screen would, and runs its load and first activation.
    FRMPD_KVB_STSOLL* open();
    // Each row of `sql`, its columns' texts joined by ';'.
    QStringList rowsOf(const QString& sql);
    // "key;PD5C_SEL" of each row whose mark is not cleared, in key order.
    QStringList marked() {
        return rowsOf(
            QStringLiteral("SELECT PD5C_KEYGRID, PD5C_SEL FROM PD5C_SCADLAV WHERE ISNULL(PD5C_SEL, -1) "
                           "<> 0 ORDER BY PD5C_KEYGRID"));
    }
    QList<int> boxIds() const;
    // Marks rows by key through the screen's own handler.
    void mark(const QStringList& keys);

    QTemporaryDir dir;
    QString path;
    db::Connection db;
    doubles::FixedClock clock{QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0))};
    doubles::FakeObjectFactory factory;
    doubles::ScopedHostRuntime runtime;
    doubles::ScriptedMessageService messages;
    doubles::RecordingStatusBar statusBar;
    doubles::FakeGlobalContext global;
    CLSPD_KVB_SCADLAV module;
    ReportLog reports;
    bool reportService = true;
    QPointer<FRMPD_KVB_STSOLL> screen;
};

} // namespace scadlav::testing
