#pragma once
// A schedule screen opened by the module class on an embedded ERP database with a few
// schedule rows, a fixed clock for the host and for the server's dbo.QRX_GETDATE(), and
// scripted host services.

#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "platform/controls/Grid.h"
#include "schedule/OrderDetail.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleRebuilder.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"
#include "tests/schedule/ScheduleTestDatabase.h"
#include "tests/schedule/screen_harness.h"
#include "tests/support/ErpDbTesting.h"

#include <QLocale>
#include <QTemporaryDir>

namespace scadlav::testing {

// One schedule row with the order and article rows its statement joins.
struct PhaseRow {
    QString key;
    QString numreg = QStringLiteral("R1");
    int line = 1;
    int sequence = 10;
    int state = 2;      // order state PD5C_INDSTATOCONS
    int phaseState = 0; // PD5C_INDSTATOORD
    int external = 1;
    int numdoc = 1;
    QString forrep = QStringLiteral("Fornitore");
    QString start = QStringLiteral("2026-03-10");
    QString end = QStringLiteral("2026-03-20");
    QString documentDate = QStringLiteral("2026-01-10");
    QString ordered = QStringLiteral("10");
    QString consolid = QStringLiteral("NULL");
    QString inWork = QStringLiteral("NULL");
    QString toSend = QStringLiteral("NULL");
    QString stockBefore = QStringLiteral("NULL");
    QString department = QStringLiteral("NULL");
};

class QueryScreenTest : public ScreenHarness {
protected:
    QueryScreenTest() {
        // The server's clock and the host's clock say the same moment.
        qputenv("ERP_FIXED_NOW", "2026-03-15 10:30:00");
        // No session language is applied here: the grid shows the default locale's formats, the
        // same whatever the machine's locale is.
        QLocale::setDefault(QLocale::c());
        path = dir.filePath(QStringLiteral("erp.db"));
        erpdb::testing::createEmptyErpDatabase(path);
        if (!db.open(connectionString()))
            ADD_FAILURE() << db.lastErrorText().toStdString();
        exec(QStringLiteral(
            "INSERT INTO FW07_APPUSER (FW07_ID, FW07_LOGIN, FW07_DESCR) VALUES (7, 'lferrari', "
            "'Luca Ferrari'), (2, 'mrossi', 'Mario Rossi')"));
        exec(QStringLiteral(
            "INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1, MG66_FAM_MG53) VALUES "
            "(1, 'ART1', 'PZ', 'F1')"));
        exec(QStringLiteral(
            "INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'ART1')"));
        global.connection = connectionString();
    }
    ~QueryScreenTest() override {
        close();
        qunsetenv("ERP_FIXED_NOW");
        QLocale::setDefault(QLocale::system());
    }

    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + path; }

    void exec(const QString& sql) {
        if (!db.execute(sql, db::kCmdTextNoRecords))
            ADD_FAILURE() << sql.toStdString() << ": " << db.lastErrorText().toStdString();
    }

    void addPhase(const PhaseRow& r) {
        auto text = [](const QString& s) {
            return s == QLatin1String("NULL")
                       ? s
                       : QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QStringLiteral("''")) +
                             QLatin1Char('\'');
        };
        exec(QStringLiteral(
                 "INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, "
                 "DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_NOTECOSTR) VALUES (1, '%1', %2, %3, 0, "
                 "%3, 'nota %4')")
                 .arg(r.numreg)
                 .arg(r.line)
                 .arg(r.sequence)
                 .arg(r.key));
        exec(QStringLiteral(
                 "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DATAELAB, PD5C_SEL, PD5C_FASEINTEST, "
                 "PD5C_INDFASEINTEST, PD5C_CODREP, PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, "
                 "PD5C_PROGSFASE, PD5C_CODART_MG66, PD5C_DITTA_CG18, PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, "
                 "PD5C_DOCUM_MG3G, PD5C_DATADOC, PD5C_NUMDOC, PD5C_DATAINIFASE, PD5C_DATAFINEFASE, "
                 "PD5C_INDSTATOCONS, PD5C_INDSTATOORD, PD5C_QTA1ORD, PD5C_QTA1CONSOLID, PD5C_QTAINLAV, "
                 "PD5C_QTADAINV, PD5C_GIACPREC) VALUES ('%1', '2026-03-14 18:00:00', 0, '%2', %3, %4, '%5', "
                 "%6, %6, 0, 'ART1', 1, '%7', %8, 'ODL', '%9', %10, %11, %12, %13, %14, %15, %16, %17, %18, "
                 "%19)")
                 .arg(r.key, r.external ? QStringLiteral("E") : QStringLiteral("I"))
                 .arg(r.external)
                 .arg(text(r.department), r.forrep)
                 .arg(r.sequence)
                 .arg(r.numreg)
                 .arg(r.line)
                 .arg(r.documentDate)
                 .arg(r.numdoc)
                 .arg(text(r.start), text(r.end))
                 .arg(r.state)
                 .arg(r.phaseState)
                 .arg(r.ordered, r.consolid, r.inWork, r.toSend, r.stockBefore));
    }

    FRMPD_KVB_SCADLAV* open() {
        ScreenHarness::open();
        EXPECT_TRUE(screen && screen->isInitialized());
        return screen;
    }

    // A schedule row of phase `sequence` of an order line, keyed "R1-1-10".
    static PhaseRow phaseOf(const QString& numreg, int line, int sequence) {
        PhaseRow row;
        row.key = QStringLiteral("%1-%2-%3").arg(numreg).arg(line).arg(sequence);
        row.numreg = numreg;
        row.line = line;
        row.sequence = sequence;
        return row;
    }
    // Stands the schedule grid on the row with `key`, as the planner's click would.
    void goTo(const QString& key) {
        erpctl::Grid* grid = screen->controls().GRID_ORD;
        const int row = grid->findRow(QStringLiteral("PD5C_KEYGRID"), key);
        ASSERT_GE(row, 0) << key.toStdString();
        grid->setCurrentRow(row);
    }
    // Stands on schedule row `key` and opens the order detail if it is closed.
    void openDetailOn(const QString& key) {
        goTo(key);
        if (!screen->detail().isOpen())
            screen->detail().CMD_DETT_Click();
    }
    // Types `text` into a cell of the detail grid as the planner does: the cell enters editing,
    // unless that is refused (false), and the text is committed through the grid.
    bool typeInDetail(int row, const QString& field, const QString& text) {
        erpctl::Grid* grid = screen->controls().GRID_DETT;
        bool cancel = false;
        screen->detail().GRID_DETT_OnEditing(row, field, cancel);
        if (!cancel)
            grid->commitCellInput(grid->model()->index(row, grid->columnIndex(field)), text, true);
        return !cancel;
    }

    // Values of one field of the schedule record set, by row key.
    QMap<QString, QString> byKey(const QString& field) {
        QMap<QString, QString> values;
        db::Recordset* rs = screen->results().scheduleRecordset();
        if (!rs)
            return values;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
            const Value v = rs->value(field);
            values.insert(rs->value(QStringLiteral("PD5C_KEYGRID")).toText(),
                          v.isNull() ? QStringLiteral("null") : v.toText());
        }
        return values;
    }
    QStringList keysInOrder() {
        QStringList keys;
        db::Recordset* rs = screen->results().scheduleRecordset();
        for (rs && rs->moveFirst(); rs && !rs->eof(); rs->moveNext())
            keys << rs->value(QStringLiteral("PD5C_KEYGRID")).toText();
        return keys;
    }
    QStringList registry() { return registryRows(db); }

    QTemporaryDir dir;
    QString path;
    db::Connection db;
};

} // namespace scadlav::testing
