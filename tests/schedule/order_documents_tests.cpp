// The documents behind a schedule row: the customer-commitment panel, the host's stock console
// driven in its order, and the proposals screen opened from the function menu.
#include "tests/schedule/query_fixture.h"

#include "module/services/IStockConsole.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/host/StockConsole.h"
#include "proposals/FRMPD_KVB_PROP.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

// A console that records what it is told, in order, with whether the screen's module is active
// when it is handed a module or shown; its inquiry can fail.
class RecordingConsole : public IStockConsole {
public:
    RecordingConsole(QStringList& calls, Cinterface* watched, bool& fail)
        : m_calls(calls), m_watched(watched), m_fail(fail) {}
    void setModule(Cinterface* module) override { record(module ? "module set" : "module none"); }
    void configure(int first, int second, bool third) override {
        m_calls << QStringLiteral("configure %1 %2 %3").arg(first).arg(second).arg(third ? "true" : "false");
    }
    void inquire(const QString& article, const QString& option) override {
        if (m_fail)
            throw RuntimeException(
                {RuntimeError::ApplicationDefined, "magazzino irraggiungibile", "console", {}});
        m_calls << QStringLiteral("inquire [%1] [%2]").arg(article, option);
    }
    void show() override { record("show"); }

private:
    void record(const QString& what) {
        m_calls << what + (m_watched->Cinterface_IsActive() ? " active true" : " active false");
    }

    QStringList& m_calls;
    Cinterface* m_watched;
    bool& m_fail;
};

class OrderDocumentsTest : public QueryScreenTest {
protected:
    OrderDocumentsTest() {
        factory.registerClass(classnames::StockConsole, [this]() -> std::unique_ptr<IHostObject> {
            return std::make_unique<RecordingConsole>(consoleCalls, &module, consoleFails);
        });
    }
    // Closed while the console's record is still there.
    ~OrderDocumentsTest() override { close(); }

    // Customers of two companies and their orders for ART1: one line open in part, one
    // fulfilled, one cancelled, one closed by hand, one of another article, and an open line
    // of company 2.
    void addCustomerOrders() {
        exec("INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG) VALUES (1, 'Cliente Uno'), "
             "(2, 'Cliente Due')");
        exec("INSERT INTO CG44_CLIFOR (CG44_DITTA_CG18, CG44_TIPOCF, CG44_CLIFOR, CG44_CODICE_CG16) "
             "VALUES (1, 0, 5, 1), (2, 0, 7, 2), (1, 1, 5, 2)");
        exec("INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_TIPODOC, DO11_STIPODOC, "
             "DO11_DOCUM_MG36, DO11_DATADOC, DO11_NUMDOC, DO11_TIPOCF_CG44, DO11_CLIFOR_CG44) VALUES "
             "(1, 'C1', 21, 1, 'OC', '2026-01-10', 3, 0, 5), (2, 'C2', 21, 1, 'OC', '2026-01-05', 9, 0, 7), "
             "(1, 'C3', 21, 1, 'OC', '2026-01-20', 4, 0, 5), (1, 'F1', 22, 1, 'OF', '2026-01-02', 1, 1, 5)");
        exec(
            "INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, DO30_PROGVISUASTA, "
            "DO30_CODART_MG66, DO30_QTA1, DO30_QTA1EVASA, DO30_FLGEVASA, DO30_FLGANNULLATA) VALUES "
            "(1, 'C1', 1, 10, 'ART1', 10, 4, 0, 0), (1, 'C1', 2, 20, 'ART1', 5, 5, 0, 0), "
            "(1, 'C1', 3, 30, 'ART1', 3, 0, 0, 1), (1, 'C1', 4, 40, 'ALTRO', 2, 0, 0, 0), "
            "(2, 'C2', 1, 10, 'ART1', 7, 0, 0, 0), (1, 'C3', 1, 10, 'ART1', 2, 0, 1, 0), "
            "(1, 'F1', 1, 10, 'ART1', 50, 0, 0, 0)");
    }

    void show(const QList<PhaseRow>& phases) {
        for (const PhaseRow& p : phases)
            addPhase(p);
        open();
        screen->controls().CHK_MODIFICA->setValueText("0");
        screen->results().CMD_ELABORA_ButtonClick();
    }

    QStringList consoleCalls;
    bool consoleFails = false;
};

} // namespace

TEST_F(OrderDocumentsTest, CommitmentListsTheOpenCustomerLinesOfEveryCompanyWithTheirTotal) {
    addCustomerOrders();
    show({{.key = "A"}});
    screen->controls().CMD_FUNZ->triggerItem("KEY_IMP");

    const ScheduleControls& ui = screen->controls();
    EXPECT_TRUE(ui.FrameCLI->isVisibleTo(screen));
    EXPECT_EQ(ui.TXT_ARTIC->text(), "ART1");
    // Oldest order first; the other company's line stays, fulfilled, cancelled, closed, other
    // article and supplier-order lines do not show.
    ASSERT_EQ(ui.GRID_CLI->rowCount(), 2);
    EXPECT_EQ(ui.GRID_CLI->value(0, "CG16_RAGSOANAG").toString(), "Cliente Due");
    EXPECT_EQ(ui.GRID_CLI->cellText(1, "DO11_NUMDOC"), "3");
    EXPECT_EQ(ui.GRID_CLI->value(1, "VFW_QTA1RES").toDouble(), 6.0);
    EXPECT_EQ(screen->results().commitmentTotal(), Decimal::fromInt(13));
    EXPECT_TRUE(ui.LBL_TOTCLI->text().startsWith("T91211|13")) << ui.LBL_TOTCLI->text().toStdString();
    EXPECT_TRUE(messages.boxes().isEmpty());

    ui.CMD_CHIUDICLI->click();
    EXPECT_FALSE(ui.FrameCLI->isVisibleTo(screen));
    // The view is rebuilt at each use, and going back to the parameters closes it.
    screen->controls().CMD_FUNZ->triggerItem("KEY_IMP");
    EXPECT_TRUE(ui.FrameCLI->isVisibleTo(screen));
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_FALSE(ui.FrameCLI->isVisibleTo(screen));
}

TEST_F(OrderDocumentsTest, CommitmentOfAnArticleWithAQuoteOrWithNoRowTellsTheUser) {
    // The code goes between the quotes as it is: the statement then fails at the server.
    addPhase({.key = "A"});
    exec("UPDATE PD5C_SCADLAV SET PD5C_CODART_MG66 = 'A''B'");
    exec("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1) VALUES (1, 'A''B', 'PZ')");
    exec("INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'A''B')");
    show({});
    screen->controls().CMD_FUNZ->triggerItem("KEY_IMP");
    ASSERT_EQ(boxIds(), QList<int>{90403});
    // The planner is told that the quote is the trouble, naming the code.
    EXPECT_TRUE(messages.boxes().first().text.contains("T91900|A'B"))
        << messages.boxes().first().text.toStdString();
    EXPECT_FALSE(screen->controls().FrameCLI->isVisibleTo(screen));

    // An article nobody ordered: the panel opens empty, with the article shown.
    screen->results().ApriImpegnatoCliente("NESSUNO");
    EXPECT_TRUE(screen->controls().FrameCLI->isVisibleTo(screen));
    EXPECT_EQ(screen->controls().GRID_CLI->rowCount(), 0);
    EXPECT_EQ(screen->controls().TXT_ARTIC->text(), "NESSUNO");
}

TEST_F(OrderDocumentsTest, EmptyScheduleOrNoRowSelectedGivesTheFunctionMenuMessages) {
    open();
    screen->results().CMD_FUNZ_ItemClick("KEY_IMP");
    screen->results().CMD_FUNZ_ItemClick("KEY_GIAC");
    EXPECT_EQ(boxIds(), QList<int>{90403});
    EXPECT_EQ(factory.requestCount(classnames::StockConsole), 0);
    EXPECT_TRUE(consoleCalls.isEmpty());

    // A row shown in modification mode that neither the proposals nor the reminders select.
    messages.records.clear();
    addPhase({.key = "A"});
    screen->results().CMD_ELABORA_ButtonClick();
    screen->controls().CMD_FUNZ->triggerItem("KEY_PROP");
    screen->controls().CMD_FUNZ->triggerItem("KEY_SOLL");
    EXPECT_EQ(boxIds(), (QList<int>{78503, 78514}));
    EXPECT_EQ(screen->results().proposalRows(), nullptr);
    EXPECT_EQ(screen->results().reminderRows(), nullptr);
}

TEST_F(OrderDocumentsTest, StockConsoleIsDrivenInItsOrderAndReusedByTheNextInquiry) {
    show({{.key = "A"}});
    screen->controls().CMD_FUNZ->triggerItem("KEY_GIAC");
    EXPECT_EQ(consoleCalls,
              (QStringList{"module set active false", "module set active false", "configure 10 1100 true",
                           "inquire [ART1] []", "module none active false", "show active false"}));
    EXPECT_TRUE(module.Cinterface_IsActive());
    EXPECT_EQ(global.current, &module);
    EXPECT_EQ(navigator.current, &module);
    ASSERT_GE(statusBar.progressTexts.size(), 2);
    EXPECT_EQ(statusBar.progressTexts[statusBar.progressTexts.size() - 2], "T91210...");
    EXPECT_EQ(statusBar.progressTexts.last(), "T45817");

    consoleCalls.clear();
    screen->controls().CMD_FUNZ->triggerItem("KEY_GIAC");
    EXPECT_EQ(factory.requestCount(classnames::StockConsole), 1);
    EXPECT_EQ(consoleCalls.value(3), "inquire [ART1] []");
    EXPECT_NE(screen->results().stockConsole(), nullptr);
}

TEST_F(OrderDocumentsTest, TheHostsConsoleStaysOpenBesideTheScreenAndTheNextRowRefillsIt) {
    factory.registerClass(classnames::StockConsole, [] { return std::make_unique<erphost::StockConsole>(); });
    exec("INSERT INTO MG58_DEPOSITI (MG58_DITTA_CG18, MG58_CODICE, MG58_DESCR) VALUES (1, '01', 'Centrale')");
    exec("INSERT INTO MG70_MAGPROQTA (MG70_DITTA_CG18, MG70_CODART_MG66, MG70_OPZIONE_MG5E, "
         "MG70_CODDEP_MG58, MG70_TIPOPROG, MG70_ANNO, MG70_TIPOQTA, MG70_QGIACATT) VALUES "
         "(1, 'ART1', '', '01', 1, 0, 1, 12), (1, 'ART2', '', '01', 1, 0, 1, 30)");
    exec("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1) VALUES (1, 'ART2', 'KG')");
    exec("INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'ART2')");
    addPhase({.key = "A"});
    addPhase({.key = "B", .sequence = 20});
    exec("UPDATE PD5C_SCADLAV SET PD5C_CODART_MG66 = 'ART2' WHERE PD5C_KEYGRID = 'B'");
    show({});
    erpctl::Grid* grid = screen->controls().GRID_ORD;
    ASSERT_EQ(grid->rowCount(), 2);

    auto consoles = [] {
        QList<erphost::StockConsole*> open;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* console = qobject_cast<erphost::StockConsole*>(top); console && console->isVisible())
                open << console;
        }
        return open;
    };
    auto articleOf = [grid](int row) { return grid->value(row, "PD5C_CODART_MG66").toString(); };

    grid->setCurrentRow(0);
    screen->controls().CMD_FUNZ->triggerItem("KEY_GIAC");
    ASSERT_EQ(consoles().size(), 1);
    erphost::StockConsole* console = consoles().first();
    EXPECT_EQ(console->article(), articleOf(0).trimmed());
    EXPECT_EQ(console->windowModality(), Qt::NonModal);
    EXPECT_EQ(console->totals().onHand, Decimal::fromInt(articleOf(0).trimmed() == u"ART1" ? 12 : 30));

    // The planner moves on in the schedule and asks again: the same window, the other article.
    grid->setCurrentRow(1);
    screen->controls().CMD_FUNZ->triggerItem("KEY_GIAC");
    ASSERT_EQ(consoles().size(), 1);
    EXPECT_EQ(consoles().first(), console);
    EXPECT_EQ(console->article(), articleOf(1).trimmed());
    EXPECT_NE(articleOf(0), articleOf(1));
    EXPECT_EQ(factory.requestCount(classnames::StockConsole), 1);
    EXPECT_TRUE(errorLog.records.isEmpty());
}

TEST_F(OrderDocumentsTest, AFailingConsoleIsLoggedWithTheConsoleTexts) {
    show({{.key = "A"}});
    consoleFails = true;
    screen->controls().CMD_FUNZ->triggerItem("KEY_GIAC");
    ASSERT_EQ(errorLog.records.size(), 1);
    const auto& logged = errorLog.records[0];
    EXPECT_EQ(QStringList({logged.position, logged.moduleText, logged.routine, logged.error.description}),
              (QStringList{"0_0_0_0", "MGUO_KVB_PORTORD", "InvocaConsoleProgressivi",
                           "magazzino irraggiungibile"}));
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_EQ(screen->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(OrderDocumentsTest, ProposalsOpenModallyOnTheCoveredRowsInTheirOrder) {
    show({{.key = "PART", .sequence = 30, .toSend = "5", .stockBefore = "2"},
          {.key = "COVERED", .sequence = 20, .toSend = "5", .stockBefore = "8"},
          {.key = "NONE", .sequence = 40}});

    QStringList seen;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        auto* proposals = qobject_cast<FRMPD_KVB_PROP*>(QApplication::activeModalWidget());
        if (!proposals)
            return;
        wasModal = proposals->isModal();
        proposals->Form_Activate();
        for (int row = 0; row < proposals->GRID_GIAC->rowCount(); ++row)
            seen << proposals->GRID_GIAC->value(row, "PD5C_KEYGRID").toString();
        proposals->CMD_CHIUDI_Click();
    });
    screen->controls().CMD_FUNZ->triggerItem("KEY_PROP");
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(seen, (QStringList{"COVERED", "PART"}));

    // The batch export sees the same rows in the same order.
    ASSERT_EQ(screen->runProposals().status, ActionOutcome::Status::Done);
    const QAbstractItemModel* rows = screen->proposalRows();
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rowCount(), 2);
    db::Recordset* records = screen->results().proposalRows();
    QStringList exported;
    for (int row = 0; row < records->recordCount(); ++row)
        exported << records->valueAt(row, records->fieldIndex("PD5C_KEYGRID")).toText();
    EXPECT_EQ(exported, seen);
}
