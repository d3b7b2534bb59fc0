// The reminder screen: marks, the note editor, the fixed texts and the contact type, the send
// buttons, the print's parameters, and the dispatch's recipients and groups, with a recording
// report service in place of the host's.
#include "tests/reminders/reminder_fixture.h"

#include "module/services/IMessageService.h"
#include "module/sql/SqlText.h"
#include "platform/controls/CodeField.h"
#include "platform/controls/DateText.h"
#include "platform/controls/Grid.h"
#include "reminders/StoricoSolleciti.h"
#include "tests/support/doubles/MemoryLayoutStore.h"
#include "tests/support/doubles/RecordingUsageTracking.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace scadlav::testing {
namespace {

class ReminderSelectionTest : public ReminderScreenTest {
protected:
    void SetUp() override {
        addSupplier(501, QStringLiteral("Alfa"), QStringLiteral("alfa@alfa.it"), QStringLiteral("0522 1"));
        for (const char* key : {"A", "B", "C"})
            addRow({.key = QString::fromLatin1(key), .supplier = 501});
        addRow({.key = QStringLiteral("N"), .soll = 1}); // not due
        addRow({.key = QStringLiteral("X"), .company = 2});
        open();
    }
};

// Marks are written at once and survive going back; a print, even one with nothing to print,
// and the closing clear them.
TEST_F(ReminderSelectionTest, ConfirmWithoutMarksStaysAndMarksSurviveGoingBackUntilAPrintOrTheClose) {
    EXPECT_EQ(screen->reminderRows()->recordCount(), 4); // A, B, C and X; N is not due
    screen->CMD_CONFERMA_Click();
    EXPECT_EQ(boxIds(), QList<int>{38891});
    EXPECT_TRUE(screen->isSelectionPanelShown());
    EXPECT_EQ(screen->reminderRows()->filter(), FRMPD_KVB_STSOLL::ReminderFilter);

    mark({"B"});
    EXPECT_EQ(marked(), QStringList{"B;1"}); // written at once
    mark({"B"});
    EXPECT_EQ(marked(), QStringList());

    screen->CMD_SEL_Click();
    screen->CMD_CONFERMA_Click();
    EXPECT_FALSE(screen->isSelectionPanelShown());
    EXPECT_EQ(screen->reminderRows()->recordCount(), 4);
    screen->CMD_INDIETRO_Click();
    EXPECT_TRUE(screen->isSelectionPanelShown());
    EXPECT_EQ(marked(), (QStringList{"A;1", "B;1", "C;1", "X;1"}));

    screen->CMD_CONFERMA_Click();
    screen->CMD_STAMPA_Click();
    ASSERT_EQ(reports.prints.size(), 1);
    EXPECT_EQ(reports.prints[0].rows.size(), 3); // X's company has no supplier 501
    EXPECT_TRUE(screen->isSelectionPanelShown());
    EXPECT_EQ(marked(), QStringList());

    mark({"X"}); // its company has no supplier 501: nothing to print
    screen->CMD_CONFERMA_Click();
    screen->CMD_STAMPA_Click();
    EXPECT_EQ(reports.prints.size(), 1);
    EXPECT_EQ(boxIds(), (QList<int>{38891, 39765}));
    EXPECT_EQ(marked(), QStringList());
    EXPECT_TRUE(screen->isSelectionPanelShown());

    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1"));
    screen->close();
    EXPECT_EQ(marked(), QStringList());
}

TEST_F(ReminderSelectionTest, NoteIsStoredAsTypedAndShownAgain) {
    const QString note = QStringLiteral("Tolleranza h7 sull'albero, «Ωмега» \"urgente\"");
    screen->GRID_ColumnEvent(0, QStringLiteral("PD5C_SEL"));
    EXPECT_FALSE(screen->isNoteEditorShown());
    screen->GRID_ColumnEvent(0, QStringLiteral("PD5C_DESCART"));
    EXPECT_TRUE(screen->isNoteEditorShown());
    screen->controls().TXT_NOTA->setText(note + QStringLiteral("   "));
    screen->CMD_CONFNOTA_Click();
    EXPECT_EQ(boxIds(), QList<int>{78521});
    EXPECT_EQ(rowsOf("SELECT DO46_NOTECOSTR FROM DO46_DOCCORORDDET WHERE DO46_NOTECOSTR IS NOT NULL"),
              QStringList{note});
    EXPECT_EQ(screen->controls().GRID->findRow(QStringLiteral("DO46_NOTECOSTR"), note), 0);
    screen->CMD_CHIUDINOTA_Click();
    EXPECT_FALSE(screen->isNoteEditorShown());
    EXPECT_TRUE(screen->controls().TXT_NOTA->text().isEmpty());
}

TEST_F(ReminderSelectionTest, FixedTextsComeFromTheCatalogueAndAnUnknownCodeEmptiesBoth) {
    ReminderControls& ui = screen->controls();
    ui.TXT_COD_INIZ->setCode(QStringLiteral("SOLL01"));
    EXPECT_EQ(ui.TXT_DESCR_INIZ->text(), QStringLiteral("Sollecito rientro materiale")); // the company's own
    EXPECT_EQ(ui.TXT_TESTO_INIZ->toPlainText(),
              QStringLiteral("Vi sollecitiamo la riconsegna del materiale."));
    ui.TXT_COD_INIZ->setCode(QString());
    EXPECT_FALSE(ui.TXT_TESTO_INIZ->toPlainText().isEmpty());
    ui.TXT_COD_INIZ->setCode(QStringLiteral("NONCE"));
    EXPECT_TRUE(ui.TXT_TESTO_INIZ->toPlainText().isEmpty());
    EXPECT_TRUE(ui.TXT_DESCR_INIZ->text().isEmpty());
    EXPECT_EQ(boxIds(), QList<int>{56224});
    // A quote in the code is no statement error.
    ui.TXT_COD_FIN->setCode(QStringLiteral("L'X"));
    EXPECT_EQ(boxIds(), (QList<int>{56224, 56224}));
}

TEST_F(ReminderSelectionTest, TextsLongerThanTheirFieldsAreCutToTheFieldAndThePlannerIsTold) {
    ReminderControls& ui = screen->controls();
    const QString pasted(10000, QChar(0x03A9)); // Ω
    const auto expectCut = [&](const char* field, const QString& shown, int limit) {
        EXPECT_EQ(shown, pasted.left(limit)) << field;
        EXPECT_EQ(statusBar.progressTexts.value(statusBar.progressTexts.size() - 1),
                  QStringLiteral("T91854|%1").arg(limit))
            << field;
    };
    ui.TXT_TITOLO->insert(pasted);
    expectCut("TITOLO", ui.TXT_TITOLO->text(), 50);
    ui.TXT_NOTA->insert(pasted);
    expectCut("NOTA", ui.TXT_NOTA->text(), 240);
    ui.TXT_TESTO_INIZ->setPlainText(pasted);
    expectCut("TESTO_INIZ", ui.TXT_TESTO_INIZ->toPlainText(), 500);
    ui.TXT_TESTO_FIN->setPlainText(pasted);
    expectCut("TESTO_FIN", ui.TXT_TESTO_FIN->toPlainText(), 500);
    // Text within the limits says nothing.
    const qsizetype told = statusBar.progressTexts.size();
    ui.TXT_TESTO_FIN->setPlainText(QStringLiteral("Distinti saluti"));
    ui.TXT_TITOLO->clear();
    ui.TXT_TITOLO->insert(QStringLiteral("SOLLECITO"));
    EXPECT_EQ(statusBar.progressTexts.size(), told);
}

// What the screen leaves with the host: the usage notices, the state refreshes and its grid
// layout, which comes back at the next opening; the send buttons follow the host's channels.
TEST_F(ReminderScreenTest, TheHostIsToldOfOpeningAndClosingKeepsTheLayoutAndOffersItsChannels) {
    doubles::RecordingUsageTracking usage;
    doubles::CountingHostStateRefresh refresh;
    doubles::MemoryLayoutStore layouts;
    global.usage = &usage;
    global.refresh = &refresh;
    global.layouts = &layouts;
    exec(QStringLiteral("DELETE FROM FW23_FAXER WHERE FW23_INDTIPO = 1"));
    open();
    EXPECT_TRUE(screen->controls().CMD_MAIL->isHidden());
    EXPECT_FALSE(screen->controls().CMD_MAIL->isEnabled());
    EXPECT_FALSE(screen->controls().CMD_FAX->isHidden());
    erpctl::Grid* grid = screen->controls().GRID;
    const int column = grid->columnIndex(QStringLiteral("PD5C_DESCFASE"));
    ASSERT_GE(column, 0);
    grid->horizontalHeader()->resizeSection(column, grid->horizontalHeader()->sectionSize(column) + 60);
    ASSERT_TRUE(layouts.layouts.contains({7, QStringLiteral("Form stampa solleciti")}));
    const int twips = grid->columnWidthTwips(QStringLiteral("PD5C_DESCFASE"));
    screen->close();
    EXPECT_EQ(usage.notices, (QStringList{"tsOpen|Portafoglio ordini|Stampa solleciti",
                                          "tsClose|Portafoglio ordini|T54883"}));
    EXPECT_EQ(refresh.refreshes, 2); // the activation and the close request
    delete screen.data();

    open();
    EXPECT_EQ(screen->controls().GRID->columnWidthTwips(QStringLiteral("PD5C_DESCFASE")), twips);
    // Gone while the host's doubles still are.
    screen->close();
    delete screen.data();
}

TEST_F(ReminderSelectionTest, PrintFillsTheReportsParametersAndLetterhead) {
    ReminderControls& ui = screen->controls();
    screen->CMD_SEL_Click();
    screen->CMD_CONFERMA_Click();
    const QString opening = QString(254, QLatin1Char('o')) + QStringLiteral("«Ω»   ");
    ui.TXT_TESTO_INIZ->setPlainText(opening);
    ui.TXT_TESTO_FIN->setPlainText(QStringLiteral("  Distinti saluti   "));
    ui.TXT_TITOLO->setText(QStringLiteral("  SOLLECITO \"URGENTE\" D'ORDINE  "));
    ui.CMB_TIPOLOGO->setCurrentIndex(3);
    screen->CMD_STAMPA_Click();
    ASSERT_EQ(reports.prints.size(), 1);
    const auto& p = reports.prints[0].parameters;
    for (const auto& [name, expected] : {std::pair<const char*, QString>{"TIPOLOGO", "3"},
                                         {"TESTO_INIZ", opening.left(255)},
                                         {"TESTO_INIZ_2", "Ω»"},
                                         {"TESTO_FIN", "  Distinti saluti"},
                                         {"TESTO_FIN_2", ""},
                                         {"TITOLO", "  SOLLECITO \"URGENTE\" D'ORDINE"}})
        EXPECT_EQ(p.value(name).toText(), expected) << name;
    EXPECT_FALSE(p.contains(QStringLiteral("ALTRO")));
    EXPECT_EQ(reports.prints[0].companyNames, QStringList{"Officine Demo S.p.A."});
}

TEST_F(ReminderSelectionTest, WithoutAReportServiceThePrintFailsAloudAndKeepsTheMarks) {
    reportService = false;
    screen->CMD_SEL_Click();
    screen->CMD_CONFERMA_Click();
    screen->CMD_STAMPA_Click();
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes()[0].flags & msgbox::IconMask, msgbox::Critical);
    EXPECT_EQ(marked(), (QStringList{"A;1", "B;1", "C;1", "X;1"}));
}

// Suppliers for the recipient rules:
//   601 two contacts of the type, the second preferred;  602 two of the type, none preferred;
//   603 its contact of the type has blank numbers (the registry has them);  604 no contact of the
//   type;  605 nothing anywhere.
class ReminderDispatchTest : public ReminderScreenTest {
protected:
    void SetUp() override {
        for (const auto& [code, name] : {std::pair{601, "Uno"}, {602, "Due"}, {603, "Tre"}, {604, "Quattro"}})
            addSupplier(code, QString::fromLatin1(name), QString::fromLatin1(name).toLower() + "@reg.it",
                        QStringLiteral("0%1").arg(code));
        addSupplier(605, QStringLiteral("Cinque"), QString(), QString());
        addContact(1, 601, "PROD", "Bianchi", "b@uno.it", "11", false);
        addContact(2, 601, "PROD", "Verdi", "v@uno.it", "12", true);
        addContact(3, 602, "PROD", "Zeta", "z@due.it", "21", false);
        addContact(4, 602, "PROD", "Alfieri", "a@due.it", "22", false);
        addContact(5, 603, "PROD", "Neri", "   ", "   ", true);
        addContact(6, 604, "ACQ", "Rossi", "r@quattro.it", "41", true);
    }

    void sendAll(bool mail, int source = 0, const QString& contactType = QStringLiteral("PROD")) {
        open();
        screen->CMD_SEL_Click();
        screen->CMD_CONFERMA_Click();
        ReminderControls& ui = screen->controls();
        ui.TXT_TIPOCONTATTO->setCode(contactType); // a change of source must clear it
        ui.CMB_FAXMAIL->setCurrentIndex(source);
        screen->CMB_FAXMAIL_Click();
        if (source == 0)
            ui.TXT_TIPOCONTATTO->setCode(contactType);
        mail ? screen->CMD_MAIL_Click() : screen->CMD_FAX_Click();
    }

    // "supplier:recipient/kind" of each send.
    QStringList recipients() const {
        QStringList out;
        for (const auto& s : reports.sends)
            out << s.rows.value(0).section(QLatin1Char('/'), 0, 0) + QLatin1Char(':') +
                       QString::number(s.recipient) + QLatin1Char('/') + QString::number(s.kind);
        return out;
    }
};

// Supplier 601 has two runs of rows (1 and 6): each run sends all of its rows.
TEST_F(ReminderDispatchTest, ContactsPreferredThenByNameBlanksMeanNoneRegistryOtherwise) {
    addRows({{"1", 601}, {"2", 602}, {"3", 603}, {"4", 604}, {"5", 605}, {"6", 601}});
    sendAll(true);
    EXPECT_EQ(recipients(),
              (QStringList{"601:2/10", "602:4/10", "603:0/-1", "604:1604/0", "605:0/-1", "601:2/10"}));
    for (const auto& s : reports.sends)
        EXPECT_EQ(s.media, IReport::MediaMail);
    ASSERT_EQ(reports.sends.size(), 6);
    EXPECT_EQ(reports.sends[0].rows, (QStringList{"601/ART-1", "601/ART-6"}));
    EXPECT_EQ(reports.sends[5].rows, reports.sends[0].rows);
    EXPECT_EQ(boxIds(), QList<int>{34409});
    EXPECT_EQ(marked(), QStringList());
    EXPECT_TRUE(screen->isSelectionPanelShown());
}

TEST_F(ReminderDispatchTest, FaxFromTheGeneralRegistryIgnoresAndClearsTheContactType) {
    addRows({{"1", 601}, {"3", 603}, {"5", 605}});
    sendAll(false, 1);
    EXPECT_EQ(recipients(), (QStringList{"601:1601/0", "603:1603/0", "605:0/-1"}));
    EXPECT_EQ(reports.sends[0].media, IReport::MediaFax);
    EXPECT_EQ(boxIds(), QList<int>{34412});
    ReminderControls& ui = screen->controls();
    EXPECT_TRUE(ui.TXT_TIPOCONTATTO->text().isEmpty());
    EXPECT_FALSE(ui.TXT_TIPOCONTATTO->isEnabled());
    ui.CMB_FAXMAIL->setCurrentIndex(0);
    screen->CMB_FAXMAIL_Click();
    EXPECT_TRUE(ui.TXT_TIPOCONTATTO->isEnabled());
}

TEST_F(ReminderDispatchTest, AMissingContactTypeSendsNothing) {
    addRows({{"1", 601}});
    sendAll(true, 0, QString());
    EXPECT_TRUE(reports.sends.isEmpty());
    EXPECT_EQ(boxIds(), QList<int>{7788});
    EXPECT_FALSE(screen->isSelectionPanelShown());
    EXPECT_EQ(marked(), QStringList{"1;1"});
}

TEST_F(ReminderDispatchTest, NothingToSendStillEndsWithTheClosingMessage) {
    addRows({{"d", 0}});
    sendAll(true);
    EXPECT_EQ(boxIds(), (QList<int>{39764, 34409}));
}

// A failed send shows the service's answer and the others go on; the history keeps each phase.
TEST_F(ReminderDispatchTest, AFailedSendIsShownTheOthersGoOnAndTheHistoryKeepsEachPhasesOutcome) {
    qputenv("ERP_FIXED_NOW", "2026-03-15 10:30:00");
    addRows({{"1a", 601}, {"1b", 601}, {"2", 602}, {"5", 605}});
    reports.failures.insert(QStringLiteral("602"), QStringLiteral("421 server busy"));
    sendAll(true);
    EXPECT_EQ(reports.sends.size(), 3);
    ASSERT_EQ(messages.boxes().size(), 2);
    EXPECT_EQ(messages.boxes()[0].text, QStringLiteral("421 server busy"));
    // Each with the planner and the moment it was sent.
    const QString by = QStringLiteral(";7;2026-03-15 10:30:00");
    EXPECT_EQ(
        rowsOf(
            "SELECT PD5E_CLIFOR_CG44, PD5E_CANALE, PD5E_DESTINATARIO, PD5E_ESITO, PD5E_RISPOSTA, "
            "PD5E_ID_FW07, PD5E_DATAORA FROM PD5E_STORICOSOLL ORDER BY PD5E_CLIFOR_CG44, PD5E_NUMREG_CO99"),
        (QStringList{"601;mail;dest-2;1;" + by, "601;mail;dest-2;1;" + by,
                     "602;mail;dest-4;3;421 server busy" + by, "605;mail;;2;nessun destinatario" + by}));

    // Sent reminders count in the grid; the failed and skipped ones do not.
    erpctl::Grid* grid = screen->controls().GRID;
    const int row1a = grid->findRow(QStringLiteral("PD5C_KEYGRID"), QStringLiteral("1a"));
    const int row2 = grid->findRow(QStringLiteral("PD5C_KEYGRID"), QStringLiteral("2"));
    // The date as the session's language writes it, the channel by its name.
    const QString day = grid->locale().toString(QDate(2026, 3, 15), erpctl::localeDateFormat(grid->locale()));
    EXPECT_EQ(grid->cellText(row1a, QStringLiteral("ULTIMO_SOLLECITO")), day + QStringLiteral(" T91853"));
    EXPECT_EQ(grid->cellText(row1a, QStringLiteral("N_SOLLECITI")), QStringLiteral("1"));
    EXPECT_EQ(grid->cellText(row2, QStringLiteral("ULTIMO_SOLLECITO")), QString());

    // "Storico solleciti" lists one supplier's reminders and nobody else's.
    StoricoSolleciti dialog(LeggiStoricoFornitore(db, 1, 602), [](const QString& text, int) { return text; });
    ASSERT_EQ(dialog.grid()->rowCount(), 1);
    EXPECT_EQ(dialog.grid()->cellText(0, QStringLiteral("PD5E_ESITO")), QStringLiteral("Non riuscito"));
    EXPECT_EQ(dialog.grid()->cellText(0, QStringLiteral("PD5E_RISPOSTA")), QStringLiteral("421 server busy"));
    qunsetenv("ERP_FIXED_NOW");
}

} // namespace
} // namespace scadlav::testing
