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
    QString numreg = "R1";
    int line = 1;
    int sequence = 10;
    int state = 2;      // order state PD5C_INDSTATOCONS
    int phaseState = 0; // PD5C_INDSTATOORD
    int external = 1;
    int numdoc = 1;
    QString forrep = "Fornitore";
    QString start = "2026-03-10";
    QString end = "2026-03-20";
    QString documentDate = "2026-01-10";
    QString ordered = "10";
    QString consolid = "NULL";
    QString inWork = "NULL";
    QString toSend = "NULL";
    QString stockBefore = "NULL";
    QString department = "NULL";
};

class QueryScreenTest : public ScreenHarness {
protected:
    QueryScreenTest() {
        // The server's clock and the host's clock say the same moment.
        qputenv("ERP_FIXED_NOW", "2026-03-15 10:30:00");
        // No session language is applied here: the grid shows the default locale's formats, the
        // same whatever the machine's locale is.
        QLocale::setDefault(QLocale::c());
        erpdb::testing::createEmptyErpDatabase(path);
        if (!db.open(connectionString()))
            ADD_FAILURE() << db.lastErrorText().toStdString();
        exec("INSERT INTO FW07_APPUSER (FW07_ID, FW07_LOGIN, FW07_DESCR) VALUES (7, 'lferrari', "
             "'Luca Ferrari'), (2, 'mrossi', 'Mario Rossi')");
        exec("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1, MG66_FAM_MG53) VALUES "
             "(1, 'ART1', 'PZ', 'F1')");
        exec("INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'ART1')");
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
        const auto text = [](const QString& s) {
            return s == u"NULL" ? s : u'\'' + QString(s).replace(u'\'', "''") + u'\'';
        };
        const auto n = [](int i) { return QString::number(i); };
        insert("DO46_DOCCORORDDET",
               "DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, DO46_CODSEQFASE, DO46_PROGSFASE, "
               "DO46_CODFASE, DO46_NOTECOSTR",
               {"1", text(r.numreg), n(r.line), n(r.sequence), "0", n(r.sequence), text("nota " + r.key)});
        const QString inOrOut = r.external ? "'E'" : "'I'";
        insert("PD5C_SCADLAV",
               "PD5C_KEYGRID, PD5C_DATAELAB, PD5C_SEL, PD5C_FASEINTEST, PD5C_INDFASEINTEST, PD5C_CODREP, "
               "PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_PROGSFASE, PD5C_CODART_MG66, "
               "PD5C_DITTA_CG18, PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_DOCUM_MG3G, PD5C_DATADOC, "
               "PD5C_NUMDOC, PD5C_DATAINIFASE, PD5C_DATAFINEFASE, PD5C_INDSTATOCONS, PD5C_INDSTATOORD, "
               "PD5C_QTA1ORD, PD5C_QTA1CONSOLID, PD5C_QTAINLAV, PD5C_QTADAINV, PD5C_GIACPREC",
               QStringList{text(r.key), "'2026-03-14 18:00:00'", "0", inOrOut, n(r.external),
                           text(r.department), text(r.forrep), n(r.sequence), n(r.sequence), "0", "'ART1'",
                           "1", text(r.numreg)} +
                   QStringList{n(r.line), "'ODL'", text(r.documentDate), n(r.numdoc), text(r.start),
                               text(r.end), n(r.state), n(r.phaseState), r.ordered, r.consolid, r.inWork,
                               r.toSend, r.stockBefore});
    }

    // One row into `table`; the values are SQL literals.
    void insert(const char* table, const char* columns, const QStringList& values) {
        exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                 .arg(QLatin1String(table), QLatin1String(columns), values.join(", ")));
    }

    FRMPD_KVB_SCADLAV* open() {
        ScreenHarness::open();
        EXPECT_TRUE(screen && screen->isInitialized());
        return screen;
    }

    // A schedule row of phase `sequence` of an order line, keyed "R1-1-10".
    static PhaseRow phaseOf(const QString& numreg, int line, int sequence) {
        return {.key = QStringLiteral("%1-%2-%3").arg(numreg).arg(line).arg(sequence),
                .numreg = numreg,
                .line = line,
                .sequence = sequence};
    }
    // Stands the schedule grid on the row with `key`, as the planner's click would.
    void goTo(const QString& key) {
        erpctl::Grid* grid = screen->controls().GRID_ORD;
        const int row = grid->findRow("PD5C_KEYGRID", key);
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
            values.insert(rs->value("PD5C_KEYGRID").toText(), v.isNull() ? "null" : v.toText());
        }
        return values;
    }
    QStringList keysInOrder() {
        QStringList keys;
        db::Recordset* rs = screen->results().scheduleRecordset();
        for (rs && rs->moveFirst(); rs && !rs->eof(); rs->moveNext())
            keys << rs->value("PD5C_KEYGRID").toText();
        return keys;
    }
    QStringList registry() { return registryRows(db); }

    QTemporaryDir dir;
    QString path = dir.filePath("erp.db");
    db::Connection db;
};

} // namespace scadlav::testing
