#pragma once
// The order book of the schedule's timed drivers: a demo database of about the given number of
// production phases, and its schedule table filled straight from the order phases as a rebuild
// leaves them (much faster than a rebuild, which has its own benchmark).

#include "bench/BenchSupport.h"
#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <QDate>
#include <QString>
#include <algorithm>

namespace scadlav::bench {

// A schedule row for every phase of the demo order book, as a rebuild leaves them.
inline void fillSchedule(db::Connection& c) {
    exec(c, QStringLiteral(
                "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DATAELAB, PD5C_SEL, PD5C_FASEINTEST, "
                "PD5C_INDFASEINTEST, "
                "PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_PROGSFASE, PD5C_CODART_MG66, "
                "PD5C_DITTA_CG18, "
                "PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_DOCUM_MG3G, PD5C_DATADOC, PD5C_NUMDOC, "
                "PD5C_DATAINIFASE, "
                "PD5C_DATAFINEFASE, PD5C_INDSTATOCONS, PD5C_INDSTATOORD, PD5C_QTA1ORD, PD5C_QTAINLAV, "
                "PD5C_QTADAINV, "
                "PD5C_GIACPREC) "
                "SELECT DO46_NUMREG_CO99 + '_' + CAST(DO46_PROGRIGA AS VARCHAR(6)) + '_' + "
                "CAST(DO46_CODSEQFASE AS "
                "VARCHAR(5)) + '_' + CAST(DO46_PROGSFASE AS VARCHAR(4)) + '_' + CAST(DO46_CODFASE AS "
                "VARCHAR(5)), "
                "'2026-12-01 08:00:00', 0, 'I', ISNULL(DO46_INDFASEINTEST, 0), ISNULL(DO46_CODREPARTO, "
                "'Reparto'), "
                "DO46_CODSEQFASE, DO46_CODFASE, DO46_PROGSFASE, DO30_CODART_MG66, DO46_DITTA_CG18, "
                "DO46_NUMREG_CO99, "
                "DO46_PROGRIGA, DO11_DOCUM_MG36, DO11_DATADOC, DO11_NUMDOC, DO46_DATAINIZIO, DO46_DATAFINE, "
                "2, 0, "
                "DO46_QTA1ORD, 1, 5, 3 "
                "FROM DO46_DOCCORORDDET INNER JOIN DO30_DOCCORPO ON DO30_DITTA_CG18 = DO46_DITTA_CG18 AND "
                "DO30_NUMREG_CO99 = DO46_NUMREG_CO99 AND DO30_PROGRIGA = DO46_PROGRIGA INNER JOIN "
                "DO11_DOCTESTATA ON "
                "DO11_DITTA_CG18 = DO30_DITTA_CG18 AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99"));
}

struct DemoSchedule {
    int phases = 0;       // phases of the demo order book
    int scheduleRows = 0; // rows of the schedule table
};

// Creates `path` (replacing it) with about `phases` phases; the database objects must be
// registered. Ends the program on failure.
inline DemoSchedule createDemoSchedule(const QString& path, int phases) {
    erpdb::DemoOptions options;
    options.seed = 5;
    options.today = QDate(2026, 12, 5);
    options.lines = 200;
    erpdb::DemoSummary summary;
    QString error;
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    options.lines = std::max(1, int(double(phases) * options.lines / std::max(1, summary.phases)));
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    db::Connection c;
    if (!c.open(QStringLiteral("Provider=tsqlite;Data Source=") + path))
        die(c.lastErrorText());
    fillSchedule(c);
    auto rs = c.execute(QStringLiteral("SELECT COUNT(*) FROM PD5C_SCADLAV"));
    if (!rs)
        die(c.lastErrorText());
    return {summary.phases, static_cast<int>(rs->value(0).toInt64().value_or(0))};
}

} // namespace scadlav::bench
