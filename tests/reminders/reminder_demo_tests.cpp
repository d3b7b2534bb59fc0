// A planner's reminder round on the demo database, through the real schedule screen and the
// host's report service: "Visualizza" in modification mode, "Solleciti", rows marked, fixed texts
// and a contact type chosen, the letters previewed and printed, then mailed to a local SMTP
// server, and the reminders seen again in the reminder grid and in "Storico solleciti" of the
// schedule screen.
#include "tests/reminders/CatalogMessages.h"
#include "tests/reminders/LocalSmtp.h"

#include "module/db/Recordset.h"
#include "platform/controls/CodeField.h"
#include "platform/controls/DateText.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/host/ReportService.h"
#include "reminders/FRMPD_KVB_STSOLL.h"
#include "schedule/ScreenSession.h"
#include "tests/schedule/screen_harness.h"
#include "tests/support/ErpDbTesting.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

namespace scadlav::testing {
namespace {

using erphost::SendRecord;

// The row of a grid with the schedule key `key`. The keys are long strings of digits, which the
// grid's own search compares as numbers; here they are compared as the texts they are.
int rowOfKey(const erpctl::Grid& grid, const QString& key) {
    for (int row = 0; row < grid.rowCount(); ++row) {
        if (grid.cellText(row, QStringLiteral("PD5C_KEYGRID")) == key)
            return row;
    }
    return -1;
}

// Runs `step` on the modal window of `T` once it is open (the schedule screen opens its
// windows with exec(), so the test acts from inside their event loops).
template <class T> void whenOpen(const std::function<void(T&)>& step, int tries = 100) {
    QTimer::singleShot(50, [step, tries] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            step(*window);
            return;
        }
        if (tries > 0)
            whenOpen<T>(step, tries - 1);
        else
            ADD_FAILURE() << "the window did not open";
    });
}

class ReminderDemoTest : public ScreenHarness {
protected:
    ReminderDemoTest() {
        qputenv("ERP_FIXED_NOW", "2026-03-15 10:30:00");
        path = dir.filePath(QStringLiteral("erp.db"));
        EXPECT_TRUE(QFile::copy(erpdb::testing::demoTemplate(), path));
        factory.registerClass(classnames::Report, [this] {
            return std::make_unique<erphost::ReportService>(settings, erphost::Language::Italian,
                                                            [this](const SendRecord& r) { journal << r; });
        });
        global.connection = QStringLiteral("Provider=tsqlite;Data Source=") + path;
        global.messages = &catalog;
    }
    ~ReminderDemoTest() override {
        close();
        qunsetenv("ERP_FIXED_NOW");
    }

    // "Solleciti" of the function menu, with `step` run on the reminder screen it opens.
    void solleciti(const std::function<void(FRMPD_KVB_STSOLL&)>& step) {
        bool ran = false;
        whenOpen<FRMPD_KVB_STSOLL>([&](FRMPD_KVB_STSOLL& form) {
            if (!form.isInitialized())
                form.Form_Activate();
            step(form);
            ran = true;
            form.close();
        });
        screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_SOLL"));
        EXPECT_TRUE(ran);
    }

    // Ticks the rows of the grid whose supplier is in `suppliers`, as the planner's clicks do;
    // returns their keys.
    static QStringList tick(FRMPD_KVB_STSOLL& form, const QSet<QString>& suppliers) {
        erpctl::Grid* grid = form.controls().GRID;
        QStringList keys;
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (suppliers.contains(grid->cellText(row, QStringLiteral("PD5C_CLIFOR_CG44")).trimmed())) {
                form.GRID_ToggleMark(row);
                keys << grid->cellText(row, QStringLiteral("PD5C_KEYGRID"));
            }
        }
        return keys;
    }

    QTemporaryDir dir;
    QString path;
    CatalogMessages catalog;
    erphost::ReportSettings settings;
    QList<SendRecord> journal;
};

TEST_F(ReminderDemoTest, PlannerPreviewsPrintsMailsAndSeesTheHistory) {
    ASSERT_TRUE(open());
    ASSERT_TRUE(screen->isInitialized());
    IScheduleJobs& jobs = *screen;
    JobParameters parameters;
    parameters.minDate = QDate(2020, 1, 1);
    ASSERT_EQ(jobs.applyParameters(parameters), QString());
    ASSERT_EQ(jobs.runRebuild().status, ActionOutcome::Status::Done);
    parameters.modify = true;
    ASSERT_EQ(jobs.applyParameters(parameters), QString());
    ASSERT_EQ(jobs.runShow().status, ActionOutcome::Status::Done);
    const QString mails = dir.filePath(QStringLiteral("mails"));
    QDir().mkpath(mails);
    LocalSmtpSink sink;
    ASSERT_TRUE(sink.start(mails)) << sink.errors().toStdString();
    settings.mail.server = sink.url();
    settings.mail.from = QStringLiteral("programmazione@officinedemo.it");

    // The first three suppliers of the reminder rows get a letter.
    QSet<QString> suppliers;
    QStringList marked;
    const QString pdf = dir.filePath(QStringLiteral("anteprima.pdf"));
    int previewPages = 0;
    solleciti([&](FRMPD_KVB_STSOLL& form) {
        erpctl::Grid* grid = form.controls().GRID;
        ASSERT_GT(grid->rowCount(), 0);
        for (int row = 0; row < grid->rowCount() && suppliers.size() < 3; ++row) {
            const QString supplier = grid->cellText(row, QStringLiteral("PD5C_CLIFOR_CG44")).trimmed();
            if (!supplier.isEmpty())
                suppliers.insert(supplier);
        }
        marked = tick(form, suppliers);
        form.CMD_CONFERMA_Click();
        ASSERT_FALSE(form.isSelectionPanelShown());
        // The demo's fixed texts and contact type.
        ReminderControls& ui = form.controls();
        ui.TXT_COD_INIZ->setCode(QStringLiteral("SOLL01"));
        ui.TXT_COD_FIN->setCode(QStringLiteral("FINE01"));
        ui.TXT_TITOLO->setText(QStringLiteral("SOLLECITO CONSEGNE"));
        ui.TXT_TIPOCONTATTO->setCode(QStringLiteral("PROD"));
        EXPECT_TRUE(ui.TXT_TESTO_INIZ->toPlainText().startsWith(QStringLiteral("Con la presente")));

        // The preview shows the letters; the planner prints from it (here into a PDF file).
        whenOpen<QPrintPreviewDialog>([&](QPrintPreviewDialog& preview) {
            auto* pages = preview.findChild<QPrintPreviewWidget*>();
            ASSERT_TRUE(pages);
            previewPages = pages->pageCount();
            preview.printer()->setOutputFormat(QPrinter::PdfFormat);
            preview.printer()->setOutputFileName(pdf);
            pages->print();
            preview.accept();
        });
        ui.CMD_STAMPA->click();
        EXPECT_TRUE(form.isSelectionPanelShown());
        EXPECT_EQ(form.reminderRows()->recordCount(), grid->rowCount());

        // The same rows mailed, each supplier's letter to its production contact or registry.
        tick(form, suppliers);
        form.CMD_CONFERMA_Click();
        ui.CMD_MAIL->click();
    });
    ASSERT_EQ(suppliers.size(), 3);
    EXPECT_GE(previewPages, 3);
    const QString printed = pdfText(pdf);
    EXPECT_EQ(printed.count(QStringLiteral("SOLLECITO CONSEGNE")), 3) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("Restiamo in attesa di un vostro cortese riscontro")));

    // Only the marked suppliers were mailed; what was sent reached the server. (What each letter
    // holds and why a mail did not go are checked with hand-made rows in reminder_sending_tests.)
    QSet<QString> mailed;
    for (const SendRecord& r : journal) {
        EXPECT_TRUE(r.channel != QLatin1String("mail") || suppliers.contains(r.supplier))
            << r.supplier.toStdString();
        if (r.channel == QLatin1String("mail") && r.outcome == SendRecord::Outcome::Sent)
            mailed.insert(r.supplier);
    }
    EXPECT_FALSE(mailed.isEmpty());
    EXPECT_EQ(QDir(mails).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), mailed.size());
    EXPECT_EQ(catalog.boxes().last().textId, 34409) << catalog.boxes().last().text.toStdString();

    // The reminder grid shows the print and the mail of each phase.
    QString firstSupplier;
    solleciti([&](FRMPD_KVB_STSOLL& form) {
        erpctl::Grid* grid = form.controls().GRID;
        for (const QString& key : marked) {
            const int row = rowOfKey(*grid, key);
            ASSERT_GE(row, 0);
            const QString supplier = grid->cellText(row, QStringLiteral("PD5C_CLIFOR_CG44")).trimmed();
            if (firstSupplier.isEmpty())
                firstSupplier = supplier;
            const int expected = mailed.contains(supplier) ? 2 : 1;
            EXPECT_EQ(grid->cellText(row, QStringLiteral("N_SOLLECITI")), QString::number(expected))
                << key.toStdString();
            const QString day =
                grid->locale().toString(QDate(2026, 3, 15), erpctl::localeDateFormat(grid->locale()));
            // Print and mail carry the same fixed time: either is the last one.
            const QString last = grid->cellText(row, QStringLiteral("ULTIMO_SOLLECITO"));
            EXPECT_TRUE(last == day + QStringLiteral(" Stampa") || last == day + QStringLiteral(" E-mail"))
                << last.toStdString();
        }
    });

    // "Storico solleciti" of the schedule screen lists the current row's supplier's reminders and
    // nobody else's (the other two suppliers have theirs).
    erpctl::Grid* schedule = screen->controls().GRID_ORD;
    db::Connection& db = *screen->session().connection();
    const auto own = db.execute(
        QStringLiteral("SELECT COUNT(*) FROM PD5E_STORICOSOLL WHERE PD5E_CLIFOR_CG44 = ") + firstSupplier);
    ASSERT_TRUE(own) << db.lastErrorText().toStdString();
    int historyRows = -1;
    whenOpen<QDialog>([&](QDialog& dialog) {
        if (auto* grid = dialog.findChild<erpctl::Grid*>(QStringLiteral("GRID_STORICO")))
            historyRows = grid->rowCount();
        dialog.close();
    });
    schedule->setCurrentRow(rowOfKey(*schedule, marked.constFirst()));
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_STSOLL"));
    EXPECT_EQ(historyRows, own->value(0).toInt32().value_or(-1));
}

} // namespace
} // namespace scadlav::testing
