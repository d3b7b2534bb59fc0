// The proposals screen on hand-made proposal rows: its order, the "Suff." texts, the supplier
// bands, the layouts and usage notices it leaves with the host, and the export of the list.
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/db/Recordset.h"
#include "platform/controls/Grid.h"
#include "proposals/FRMPD_KVB_PROP.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/MemoryErrorLog.h"
#include "tests/support/doubles/MemoryLayoutStore.h"
#include "tests/support/doubles/RecordingUsageTracking.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <tsqlite/tsqlite.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

using namespace scadlav;
using db::DataType;

namespace {

struct Proposal {
    const char* key;
    int supplier;
    int coverage; // CTRL_QTA
    QDate date;
    int toSend;
    int stock;
    const char* name = nullptr; // the department of an internal phase; else "Fornitore <supplier>"
};

class ProposalsScreenTest : public ::testing::Test {
protected:
    ProposalsScreenTest() {
        // The screen opens a connection of its own on an existing database.
        const QString path = dir.filePath(QStringLiteral("erp.db"));
        std::vector<tsqlite::Error> problems;
        EXPECT_TRUE(tsqlite::Connection::open(path.toStdString(), problems, true));
        global.connection = QStringLiteral("Provider=tsqlite;Data Source=") + path;
        global.messages = &messages;
        global.layouts = &layouts;
        global.usage = &usage;
        global.refresh = &refresh;
        module.Cinterface_SetClsGlobal(&global);

        using enum DataType;
        const std::pair<const char*, DataType> columns[] = {
            {"PD5C_KEYGRID", VarWChar},    {"PD5C_CLIFOR_CG44", Decimal}, {"PD5C_FORREP", VarWChar},
            {"PD5C_QTARES", Decimal},      {"PD5C_DOCUM_MG3G", VarWChar}, {"PD5C_NUMDOC", Decimal},
            {"PD5C_DATADOC", DBTimeStamp}, {"PD5C_RIFOCLAV", VarWChar},   {"PD5C_CODFASE_PD12", Decimal},
            {"PD5C_DESCFASE", VarWChar},   {"PD5C_QTADAINV", Decimal},    {"PD5C_GIACPREC", Decimal},
            {"CTRL_QTA", Integer}};
        for (const auto& [name, type] : columns)
            rows.appendField(QString::fromLatin1(name), type, 60);
        rows.open();
        // Class 1 before class 2 whatever the supplier; then supplier, then order date.
        const Proposal proposals[] = {{"K1", 20, 2, QDate(2026, 1, 5), 10, 4},
                                      {"K2", 30, 1, QDate(2026, 1, 9), 5, 8},
                                      {"K3", 10, 2, QDate(2026, 1, 1), 6, 2},
                                      {"K4", 30, 1, QDate(2026, 1, 2), 3, 3},
                                      {"K5", 20, 1, QDate(2026, 1, 3), 7, 9}};
        for (const Proposal& p : proposals)
            add(p);
    }
    void add(const Proposal& p) {
        rows.addNew();
        rows.setValue(QStringLiteral("PD5C_KEYGRID"), Value(p.key));
        rows.setValue(QStringLiteral("PD5C_CLIFOR_CG44"), Value(p.supplier));
        rows.setValue(
            QStringLiteral("PD5C_FORREP"),
            Value(p.name ? QString::fromUtf8(p.name) : QStringLiteral("Fornitore %1").arg(p.supplier)));
        rows.setValue(QStringLiteral("PD5C_DATADOC"), Value(p.date));
        rows.setValue(QStringLiteral("PD5C_QTADAINV"), Value(p.toSend));
        rows.setValue(QStringLiteral("PD5C_GIACPREC"), Value(p.stock));
        rows.setValue(QStringLiteral("CTRL_QTA"), Value(p.coverage));
        EXPECT_TRUE(rows.update()) << rows.lastErrorText().toStdString();
    }
    ~ProposalsScreenTest() override {
        delete screen;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    FRMPD_KVB_PROP* open() {
        delete screen;
        screen = new FRMPD_KVB_PROP();
        screen->LogErrori = &errors;
        screen->ClsModulo = &module;
        screen->StringaConnessione = global.connection;
        screen->CodiceDitta = 1;
        screen->RigheProposte = &rows;
        screen->show();
        screen->Form_Activate();
        return screen;
    }

    QStringList shownKeys() const {
        QStringList keys;
        for (int row = 0; row < screen->GRID_GIAC->rowCount(); ++row)
            keys << screen->GRID_GIAC->value(row, QStringLiteral("PD5C_KEYGRID")).toString();
        return keys;
    }

    QTemporaryDir dir;
    doubles::ScriptedMessageService messages;
    doubles::MemoryLayoutStore layouts;
    doubles::RecordingUsageTracking usage;
    doubles::CountingHostStateRefresh refresh;
    doubles::MemoryErrorLog errors;
    doubles::FakeGlobalContext global;
    CLSPD_KVB_SCADLAV module;
    db::Recordset rows;
    QPointer<FRMPD_KVB_PROP> screen;
};

} // namespace

TEST_F(ProposalsScreenTest, FullCoverageFirstThenSupplierThenDateWithItsSufficiencyText) {
    open();
    ASSERT_TRUE(screen->isActivated())
        << (errors.records.isEmpty() ? std::string()
                                     : errors.records.first().error.description.toStdString());
    EXPECT_EQ(shownKeys(), (QStringList{"K5", "K4", "K2", "K3", "K1"}));
    // "Sì" for a fully covered phase, nothing for a partly covered one.
    EXPECT_EQ(screen->GRID_GIAC->cellText(0, QStringLiteral("CTRL_QTA")), QStringLiteral("T52385"));
    EXPECT_EQ(screen->GRID_GIAC->cellText(4, QStringLiteral("CTRL_QTA")), QString());
    EXPECT_FALSE(screen->GRID_GIAC->isColumnVisible(QStringLiteral("PD5C_KEYGRID")));
    EXPECT_NE(screen->connection(), nullptr);
    EXPECT_TRUE(errors.records.isEmpty());
}

TEST_F(ProposalsScreenTest, SupplierBandsCountPhasesAndWhatTheStockLetsGoAndDepartmentsGetTheirOwn) {
    // Internal phases carry supplier code 0 and the department's name: a band per department
    // comes first, not one band for supplier 0.
    for (auto [key, department, toSend] :
         {std::tuple{"R1", "Saldatura", 4}, {"R2", "Montaggio", 6}, {"R3", "Saldatura", 5}})
        add({key, 0, 1, QDate(2026, 1, 4), toSend, 100, department});
    open();
    // Supplier 10: only 2 of 6 covered; 20: all 7 of K5 and the 4 in stock of K1; 30: 5 + 3.
    using Band = std::tuple<QString, QString, int, Decimal>; // supplier, name, phases, sendable
    QList<Band> bands;
    for (const SupplierBand& b : screen->bands())
        bands << Band{b.supplier, b.name, b.phases, b.sendable};
    EXPECT_EQ(bands, (QList<Band>{{"", "Montaggio", 1, Decimal::fromInt(6)},
                                  {"", "Saldatura", 2, Decimal::fromInt(9)},
                                  {"10", "Fornitore 10", 1, Decimal::fromInt(2)},
                                  {"20", "Fornitore 20", 2, Decimal::fromInt(11)},
                                  {"30", "Fornitore 30", 2, Decimal::fromInt(8)}}));
    EXPECT_EQ(screen->GRID_FORNITORI->rowCount(), 5);
    EXPECT_EQ(screen->GRID_FORNITORI->item(3, 2)->text(), QStringLiteral("2"));
}

TEST_F(ProposalsScreenTest, OnlyTheFirstActivationSortsAndLaysOutTheHostIsToldAndAReopenDoesItAgain) {
    open();
    const int refreshesAfterFirst = refresh.refreshes;
    EXPECT_GE(refreshesAfterFirst, 1);
    // Somebody re-sorts the rows behind the screen: a later activation leaves them alone.
    rows.setSort(QStringLiteral("PD5C_KEYGRID"));
    screen->GRID_GIAC->setColumnVisible(QStringLiteral("PD5C_FORREP"), false);
    screen->Form_Activate();
    EXPECT_GT(refresh.refreshes, refreshesAfterFirst); // the host's state is refreshed every time
    EXPECT_EQ(shownKeys(), (QStringList{"K1", "K2", "K3", "K4", "K5"}));
    EXPECT_FALSE(screen->GRID_GIAC->isColumnVisible(QStringLiteral("PD5C_FORREP")));

    // A new screen sorts and lays out again, and brings back the columns the user kept.
    screen->CMD_CHIUDI_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(screen.isNull()); // a closed screen goes away
    // The host was told of both, and keeps the screen's place and size under its layout name.
    EXPECT_EQ(usage.notices, (QStringList{QStringLiteral("tsOpen|Portafoglio ordini|T91200"),
                                          QStringLiteral("tsClose|Portafoglio ordini|T91200")}));
    EXPECT_TRUE(layouts.layouts.contains({global.user, FRMPD_KVB_PROP::LayoutName}));
    open();
    EXPECT_EQ(shownKeys(), (QStringList{"K5", "K4", "K2", "K3", "K1"}));
    EXPECT_FALSE(screen->GRID_GIAC->isColumnVisible(QStringLiteral("PD5C_FORREP")));
}

TEST_F(ProposalsScreenTest, ADatabaseThatCannotBeOpenedIsLoggedAndTheListStillShows) {
    global.connection =
        QStringLiteral("Provider=tsqlite;Data Source=") + dir.filePath(QStringLiteral("no/such.db"));
    open();
    ASSERT_EQ(errors.records.size(), 1);
    EXPECT_EQ(errors.records[0].routine, QStringLiteral("Form_Load"));
    EXPECT_EQ(errors.records[0].moduleText, QStringLiteral("PDUO_KVB_SCADLAV"));
    EXPECT_EQ(errors.records[0].position, QStringLiteral("0_0_0_0"));
    EXPECT_EQ(screen->GRID_GIAC->rowCount(), 5);
}

TEST_F(ProposalsScreenTest, ExportWritesTheListAsShown) {
    open();
    const QString file = dir.filePath(QStringLiteral("proposte.csv"));
    QString error;
    ASSERT_TRUE(screen->EsportaProposte(file, error)) << error.toStdString();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(in.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 6);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("T11785,T47695,"))); // the hidden key is left out
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("20,Fornitore 20,"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",T52385")));
    EXPECT_TRUE(screen->EsportaProposte(dir.filePath(QStringLiteral("proposte.xlsx")), error));
    EXPECT_FALSE(screen->EsportaProposte(dir.filePath(QStringLiteral("missing/x.csv")), error));
    EXPECT_FALSE(error.isEmpty());
}
