// The host's stock console on a hand-built order book: the figures per warehouse against the
// stock and order tables, the notices for articles without figures, refresh and reuse.
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/services/RuntimeError.h"
#include "platform/host/StockConsole.h"
#include "tests/support/ErpDbTesting.h"
#include "tests/support/doubles/FakeGlobalContext.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

using erphost::StockConsole;
using scadlav::Decimal;

namespace {

Decimal units(int value) {
    return Decimal::fromInt(value);
}

class StockConsoleTest : public ::testing::Test {
protected:
    StockConsoleTest() {
        db.run("INSERT INTO MG58_DEPOSITI (MG58_DITTA_CG18, MG58_CODICE, MG58_DESCR) VALUES (1, '01', "
               "'Centrale'), (1, '02', 'Produzione'), (1, 'CL', 'Presso terzisti'), (2, '01', "
               "'Altra ditta')");
        db.run("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_DESCART, MG66_UM1) VALUES (1, "
               "'ART1', 'Flangia forata', 'PZ'), (1, 'NUDO', 'Senza movimenti', 'KG'), (1, 'A''B', "
               "'Con apice', 'PZ')");
        // Current stock rows, and rows that are not the current stock of ART1 without option.
        db.run("INSERT INTO MG70_MAGPROQTA (MG70_DITTA_CG18, MG70_CODART_MG66, MG70_OPZIONE_MG5E, "
               "MG70_CODDEP_MG58, MG70_TIPOPROG, MG70_ANNO, MG70_TIPOQTA, MG70_QGIACATT) VALUES (1, 'ART1', "
               "'', '01', 1, 0, 1, 100.5), (1, 'ART1', '', '02', 1, 0, 1, 40), (1, 'ART1', 'RAL', '02', 1, "
               "0, 1, 7), (1, 'ART1', '', '01', 2, 0, 1, 999), (1, 'ART1', '', '01', 1, 2025, 1, 888), (2, "
               "'ART1', '', '01', 1, 0, 1, 500), (1, 'A''B', '', '01', 1, 0, 1, 3)");
        db.run("INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_TIPODOC, DO11_STIPODOC, "
               "DO11_TIPOCF_CG44, DO11_CLIFOR_CG44) VALUES (1, 'OC1', 21, 1, 0, 5), (1, 'OPR1', 24, 20, 0, "
               "0), (1, 'OF1', 22, 1, 1, 9), (1, 'OCL1', 25, 1, 1, 9), (2, 'OC2', 21, 1, 0, 5)");
        // Customer lines: open in part, fulfilled, cancelled; a line of the other option.
        db.run("INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, "
               "DO30_CODART_MG66, DO30_OPZIONE_MG5E, DO30_CODDEP_MG58, DO30_QTA1, DO30_QTA1EVASA, "
               "DO30_FLGEVASA, DO30_FLGANNULLATA) VALUES (1, 'OC1', 1, 'ART1', '', '01', 30, 10, 0, 0), (1, "
               "'OC1', 2, 'ART1', '', '01', 8, 8, 0, 0), (1, 'OC1', 3, 'ART1', '', '01', 6, 0, 0, 1), (1, "
               "'OC1', 4, 'ART1', 'RAL', '01', 4, 0, 0, 0), (1, 'OPR1', 1, 'ART1', '', '02', 50, 0, 0, 0), "
               "(1, 'OF1', 1, 'ART1', '', '01', 12, 0, 0, 0), (1, 'OCL1', 1, 'ART1', '', 'CL', 9, 0, 0, 0), "
               "(2, 'OC2', 1, 'ART1', '', '01', 70, 0, 0, 0)");
        global.connection = QStringLiteral("Provider=tsqlite;Data Source=") + db.path();
        global.company = 1;
        module.Cinterface_SetClsGlobal(&global);
    }

    void inquire(const QString& article, const QString& option = QString()) {
        console.setModule(&module);
        console.configure(10, 1100, true);
        console.inquire(article, option);
        console.setModule(nullptr);
    }

    // The line of `warehouse`, null when the console has none.
    const StockConsole::Line* line(const QString& warehouse) const {
        const auto found = std::ranges::find(console.lines(), warehouse, &StockConsole::Line::warehouse);
        return found == console.lines().end() ? nullptr : &*found;
    }

    erpdb::testing::ErpDatabase db;
    scadlav::doubles::FakeGlobalContext global;
    scadlav::CLSPD_KVB_SCADLAV module;
    StockConsole console;
};

} // namespace

TEST_F(StockConsoleTest, FiguresPerWarehouseAndTotalsFollowTheTables) {
    inquire(QStringLiteral("ART1"));
    EXPECT_EQ(console.articleDescription(), QStringLiteral("Flangia forata"));
    EXPECT_EQ(console.unit(), QStringLiteral("PZ"));
    // Every warehouse of the company, none of the other's.
    ASSERT_EQ(console.lines().size(), 3);
    const StockConsole::Line* central = line(QStringLiteral("01"));
    const StockConsole::Line* production = line(QStringLiteral("02"));
    const StockConsole::Line* subcontract = line(QStringLiteral("CL"));
    ASSERT_TRUE(central && production && subcontract);
    // Stock type 1 of year 0 only; committed: what the open customer line still asks for;
    // ordered: the supplier order; the other option, the fulfilled and cancelled lines and the
    // other company stay out.
    EXPECT_EQ(central->onHand, Decimal(1005, 1));
    EXPECT_EQ(central->committed, units(20));
    EXPECT_EQ(central->ordered, units(12));
    EXPECT_EQ(central->available, Decimal(925, 1));
    // The production order brings its quantity into the production warehouse.
    EXPECT_EQ(production->onHand, units(40));
    EXPECT_EQ(production->ordered, units(50));
    EXPECT_EQ(production->available, units(90));
    // A subcontract order moves no new quantity.
    EXPECT_EQ(subcontract->ordered, units(0));
    EXPECT_EQ(console.totals().onHand, Decimal(1405, 1));
    EXPECT_EQ(console.totals().ordered, units(62));
    EXPECT_EQ(console.totals().committed, units(20));
    EXPECT_EQ(console.totals().available, Decimal(1825, 1));
    EXPECT_TRUE(console.notice().isEmpty());
    // The window shows the three warehouses and the totals line, every column without
    // scrolling across.
    EXPECT_EQ(console.TABELLA->rowCount(), 4);
    console.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(console.TABELLA->horizontalScrollBar()->maximum(), 0);

    // The option's own figures.
    inquire(QStringLiteral("ART1"), QStringLiteral("RAL"));
    EXPECT_EQ(line(QStringLiteral("02"))->onHand, units(7));
    EXPECT_EQ(line(QStringLiteral("01"))->committed, units(4));
    EXPECT_EQ(console.totals().available, units(3));
}

TEST_F(StockConsoleTest, ArticlesWithoutFiguresOrUnknownSaySoAndQuotesStayLiteral) {
    inquire(QStringLiteral("NUDO"));
    EXPECT_EQ(console.totals().available, units(0));
    EXPECT_TRUE(console.notice().contains(QStringLiteral("NUDO"))) << console.notice().toStdString();
    EXPECT_TRUE(console.findChild<QLabel*>(QStringLiteral("LBL_AVVISO"))->isVisibleTo(&console));

    inquire(QStringLiteral("MANCA"));
    EXPECT_TRUE(console.notice().contains(QStringLiteral("MANCA")));
    EXPECT_TRUE(console.articleDescription().isEmpty());

    inquire(QStringLiteral("A'B"));
    EXPECT_EQ(console.articleDescription(), QStringLiteral("Con apice"));
    EXPECT_EQ(console.totals().onHand, units(3));
}

TEST_F(StockConsoleTest, RefreshRereadsAndAFailingDatabaseIsAnError) {
    inquire(QStringLiteral("ART1"));
    db.run("UPDATE MG70_MAGPROQTA SET MG70_QGIACATT = 60 WHERE MG70_DITTA_CG18 = 1 AND MG70_CODDEP_MG58 "
           "= '02' AND MG70_OPZIONE_MG5E = '' AND MG70_TIPOPROG = 1");
    EXPECT_TRUE(console.refresh());
    EXPECT_EQ(line(QStringLiteral("02"))->onHand, units(60));

    // Without the module's context, or on a database that cannot be opened, the inquiry fails
    // with the run-time's error for the module to log.
    StockConsole lone;
    EXPECT_THROW(lone.inquire(QStringLiteral("ART1"), QString()), scadlav::RuntimeException);
    global.connection =
        QStringLiteral("Provider=tsqlite;Data Source=") + db.folder() + QStringLiteral("/no/such.db");
    EXPECT_THROW(inquire(QStringLiteral("ART1")), scadlav::RuntimeException);
}
