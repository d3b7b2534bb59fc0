#include "engine/DateRecalcJournal.h"

#include "engine/ConnectionError.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"

namespace scadlav::engine {

namespace {

const QString kHead = QStringLiteral("PD5R_RICALCDATE");
const QString kRows = QStringLiteral("PD5S_RICALCDATEVAL");

// Both null or equal.
QString same(const QString& a, const QString& b) {
    return QStringLiteral("(%1 = %2 OR (%1 IS NULL AND %2 IS NULL))").arg(a, b);
}

// The journal rows of one table, as the write-back changes them: which table, how a journal
// row finds its row, and the dates it keeps (at most four).
struct Written {
    QString code;      // PD5S_TABELLA
    QString table;     // the ERP table
    QString match;     // condition joining the table's row to PD5S (company as %1)
    QStringList dates; // the columns written, in the order of PD5S_PREC1..4
};

const QList<Written>& writtenTables() {
    static const QList<Written> tables{
        {QStringLiteral("DO46"),
         QStringLiteral("DO46_DOCCORORDDET"),
         QStringLiteral(
             "DO46_DITTA_CG18 = %1 AND DO46_NUMREG_CO99 = PD5S_NUMREG AND DO46_PROGRIGA = PD5S_RIGA "
             "AND DO46_CODSEQFASE = PD5S_SEQ AND DO46_PROGSFASE = PD5S_PROGSFASE AND DO46_CODFASE = "
             "PD5S_CODFASE"),
         {QStringLiteral("DO46_DATAINIZIO"), QStringLiteral("DO46_DATAFINE")}},
        {QStringLiteral("PD5C"),
         QStringLiteral("PD5C_SCADLAV"),
         QStringLiteral("PD5C_DITTA_CG18 = %1 AND PD5C_KEYGRID = PD5S_CHIAVE"),
         {QStringLiteral("PD5C_DATAINIFASE"), QStringLiteral("PD5C_DATAFINEFASE"),
          QStringLiteral("PD5C_DATACONS"), QStringLiteral("PD5C_DATACONSOCLAV")}},
        {QStringLiteral("DO31"),
         QStringLiteral("DO31_DOCCORPOORD"),
         QStringLiteral(
             "DO31_DITTA_CG18 = %1 AND DO31_NUMREG_CO99 = PD5S_NUMREG AND DO31_PROGRIGA = PD5S_RIGA"),
         {QStringLiteral("DO31_DATAINIZLAV"), QStringLiteral("DO31_DATACONS"),
          QStringLiteral("DO31_DATACONSINT")}},
    };
    return tables;
}

QString slot(const char* kind, int index) {
    return QStringLiteral("PD5S_%1%2").arg(QLatin1String(kind)).arg(index + 1);
}

// " AND the date columns of `t` equal the values the recalculation wrote".
QString holdsWritten(const Written& t) {
    QString sql;
    for (int i = 0; i < t.dates.size(); ++i)
        sql += QStringLiteral(" AND ") + same(t.dates[i], slot("NUOVO", i));
    return sql;
}

} // namespace

QStringList dateJournalTableStatements() {
    return {
        QStringLiteral("CREATE TABLE PD5R_RICALCDATE (\n"
                       "    PD5R_ID int NOT NULL,\n"
                       "    PD5R_DITTA_CG18 smallint NOT NULL,\n"
                       "    PD5R_ID_FW07 smallint NOT NULL,\n"
                       "    PD5R_DATAORA datetime NOT NULL,\n"
                       "    PD5R_ANNULLATO smallint NOT NULL DEFAULT 0,\n"
                       "    PD5R_DATAANNULL datetime NULL,\n"
                       "    CONSTRAINT PK_PD5R_RICALCDATE PRIMARY KEY (PD5R_ID))"),
        QStringLiteral("CREATE TABLE PD5S_RICALCDATEVAL (\n"
                       "    PD5S_ID_PD5R int NOT NULL,\n"
                       "    PD5S_TABELLA varchar(4) NOT NULL,\n"
                       "    PD5S_NUMREG varchar(12) NOT NULL,\n"
                       "    PD5S_RIGA decimal(6,0) NOT NULL,\n"
                       "    PD5S_SEQ decimal(5,0) NOT NULL DEFAULT 0,\n"
                       "    PD5S_PROGSFASE decimal(4,0) NOT NULL DEFAULT 0,\n"
                       "    PD5S_CODFASE decimal(5,0) NOT NULL DEFAULT 0,\n"
                       "    PD5S_CHIAVE nvarchar(40) NOT NULL DEFAULT '',\n"
                       "    PD5S_PREC1 datetime NULL,\n"
                       "    PD5S_PREC2 datetime NULL,\n"
                       "    PD5S_PREC3 datetime NULL,\n"
                       "    PD5S_PREC4 datetime NULL,\n"
                       "    PD5S_NUOVO1 datetime NULL,\n"
                       "    PD5S_NUOVO2 datetime NULL,\n"
                       "    PD5S_NUOVO3 datetime NULL,\n"
                       "    PD5S_NUOVO4 datetime NULL,\n"
                       "    PD5S_SIGILLATO smallint NOT NULL DEFAULT 0,\n"
                       "    PD5S_CAMBIATO smallint NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX IX_PD5S_RICALCOLO ON PD5S_RICALCDATEVAL (PD5S_ID_PD5R, PD5S_SIGILLATO, "
                       "PD5S_TABELLA)"),
        // Whether a row is already kept is asked for every row the write-back touches.
        QStringLiteral(
            "CREATE INDEX IX_PD5S_RIGA ON PD5S_RICALCDATEVAL (PD5S_ID_PD5R, PD5S_TABELLA, PD5S_NUMREG, "
            "PD5S_RIGA, PD5S_SEQ)"),
        QStringLiteral("CREATE INDEX IX_PD5S_CHIAVE ON PD5S_RICALCDATEVAL (PD5S_ID_PD5R, PD5S_CHIAVE)"),
    };
}

DateRecalcJournal::DateRecalcJournal(db::Connection& connection, Runner run, std::int16_t company,
                                     std::int16_t user)
    : m_connection(connection), m_run(std::move(run)), m_company(company), m_user(user) {}

void DateRecalcJournal::ensureTables() {
    auto exists = [this] {
        auto rs = m_connection.execute(QStringLiteral("SELECT OBJECT_ID('PD5S_RICALCDATEVAL') AS ID"));
        m_connection.clearErrors();
        return rs && rs->isOpen() && rs->recordCount() > 0 && !rs->value(0).isNull();
    };
    if (exists())
        return;
    try {
        for (const QString& sql : dateJournalTableStatements())
            m_run(sql);
    } catch (const RuntimeException&) {
        // Another planner may have created them meanwhile.
        if (!exists())
            throw;
    }
}

void DateRecalcJournal::begin() {
    const QString owner =
        QStringLiteral("PD5R_DITTA_CG18 = %1 AND PD5R_ID_FW07 = %2").arg(m_company).arg(m_user);
    m_run(QStringLiteral("DELETE FROM PD5S_RICALCDATEVAL WHERE PD5S_ID_PD5R IN (SELECT PD5R_ID FROM "
                         "PD5R_RICALCDATE WHERE ") +
          owner + QStringLiteral(")"));
    m_run(QStringLiteral("DELETE FROM PD5R_RICALCDATE WHERE ") + owner);
    const QString insert =
        QStringLiteral(
            "INSERT INTO PD5R_RICALCDATE (PD5R_ID,PD5R_DITTA_CG18,PD5R_ID_FW07,PD5R_DATAORA,"
            "PD5R_ANNULLATO) SELECT ISNULL(MAX(PD5R_ID),0) + 1,%1,%2,GETDATE(),0 FROM PD5R_RICALCDATE")
            .arg(m_company)
            .arg(m_user);
    // Two planners starting at the same moment may pick the same number: the key refuses the
    // second, which takes the next one.
    for (int attempt = 0;; ++attempt) {
        try {
            m_run(insert);
            break;
        } catch (const RuntimeException&) {
            if (attempt == 4)
                throw;
        }
    }
    auto rs = m_connection.execute(QStringLiteral("SELECT MAX(PD5R_ID) FROM PD5R_RICALCDATE WHERE ") + owner);
    if (!rs || !rs->isOpen() || rs->recordCount() == 0 || rs->value(0).isNull())
        throw RuntimeException(connectionError(m_connection));
    m_id = rs->value(0).toInt64().value_or(0);
}

void DateRecalcJournal::keepBefore(const QString& linesTable, const QString& detailTable) {
    const QString id = QString::number(m_id);
    const QString company = QString::number(m_company);
    // The subcontract order lines the detail links to its phases, as the write-back compares them.
    const QString linked =
        QStringLiteral("(SELECT DISTINCT ISNULL(NUMREG_OCL,'') AS N_OCL, ISNULL(RIGA_OCL,0) AS "
                       "R_OCL FROM ") +
        detailTable + QStringLiteral(" D INNER JOIN ") + linesTable +
        QStringLiteral(" L ON L.NUMREG = D.DO46_NUMREG_CO99 AND L.RIGA = D.DO46_PROGRIGA) O");
    const QString lines = linesTable + QStringLiteral(" L");

    // Order phases of the lines to recalculate.
    m_run(QStringLiteral("INSERT INTO PD5S_RICALCDATEVAL (PD5S_ID_PD5R,PD5S_TABELLA,PD5S_NUMREG,PD5S_RIGA,"
                         "PD5S_SEQ,PD5S_PROGSFASE,PD5S_CODFASE,PD5S_PREC1,PD5S_PREC2) ") +
          CRLF + QStringLiteral("SELECT ") + id +
          QStringLiteral(",'DO46',DO46_NUMREG_CO99,DO46_PROGRIGA,DO46_CODSEQFASE,DO46_PROGSFASE,DO46_CODFASE,"
                         "DO46_DATAINIZIO,DO46_DATAFINE FROM ") +
          lines + QStringLiteral(" INNER JOIN DO46_DOCCORORDDET ON DO46_DITTA_CG18 = ") + company +
          QStringLiteral(" AND DO46_NUMREG_CO99 = L.NUMREG AND DO46_PROGRIGA = L.RIGA"));

    const QString pd5c =
        QStringLiteral("INSERT INTO PD5S_RICALCDATEVAL (PD5S_ID_PD5R,PD5S_TABELLA,PD5S_NUMREG,PD5S_RIGA,"
                       "PD5S_SEQ,PD5S_PROGSFASE,PD5S_CODFASE,PD5S_CHIAVE,PD5S_PREC1,PD5S_PREC2,PD5S_PREC3,"
                       "PD5S_PREC4) ") +
        CRLF + QStringLiteral("SELECT DISTINCT ") + id +
        QStringLiteral(
            ",'PD5C',ISNULL(PD5C_NUMREG_CO99,''),ISNULL(PD5C_PROGRIGA_DO30,0),ISNULL(PD5C_SEQUENZA,0),"
            "ISNULL(PD5C_PROGSFASE,0),ISNULL(PD5C_CODFASE_PD12,0),PD5C_KEYGRID,PD5C_DATAINIFASE,"
            "PD5C_DATAFINEFASE,PD5C_DATACONS,PD5C_DATACONSOCLAV FROM ");
    // Schedule rows of the lines, then those that refer to a linked subcontract order line.
    m_run(pd5c + lines +
          QStringLiteral(" INNER JOIN PD5C_SCADLAV ON PD5C_NUMREG_CO99 = L.NUMREG AND "
                         "PD5C_PROGRIGA_DO30 = L.RIGA") +
          CRLF + QStringLiteral("WHERE PD5C_DITTA_CG18 = ") + company +
          QStringLiteral(" AND PD5C_KEYGRID IS NOT NULL"));
    m_run(pd5c + linked +
          QStringLiteral(
              " INNER JOIN PD5C_SCADLAV ON PD5C_NUMREGCLAV = O.N_OCL AND PD5C_PROGRIGACLAV = O.R_OCL") +
          CRLF + QStringLiteral("WHERE PD5C_DITTA_CG18 = ") + company +
          QStringLiteral(
              " AND PD5C_KEYGRID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM PD5S_RICALCDATEVAL K WHERE "
              "K.PD5S_ID_PD5R = ") +
          id + QStringLiteral(" AND K.PD5S_CHIAVE = PD5C_KEYGRID)"));

    const QString do31 =
        QStringLiteral("INSERT INTO PD5S_RICALCDATEVAL (PD5S_ID_PD5R,PD5S_TABELLA,PD5S_NUMREG,PD5S_RIGA,"
                       "PD5S_PREC1,PD5S_PREC2,PD5S_PREC3) ") +
        CRLF + QStringLiteral("SELECT DISTINCT ") + id +
        QStringLiteral(
            ",'DO31',DO31_NUMREG_CO99,DO31_PROGRIGA,DO31_DATAINIZLAV,DO31_DATACONS,DO31_DATACONSINT FROM ");
    // The order lines, then the linked subcontract order lines.
    m_run(do31 + lines + QStringLiteral(" INNER JOIN DO31_DOCCORPOORD ON DO31_DITTA_CG18 = ") + company +
          QStringLiteral(" AND DO31_NUMREG_CO99 = L.NUMREG AND DO31_PROGRIGA = L.RIGA"));
    m_run(
        do31 + linked + QStringLiteral(" INNER JOIN DO31_DOCCORPOORD ON DO31_DITTA_CG18 = ") + company +
        QStringLiteral(" AND DO31_NUMREG_CO99 = O.N_OCL AND DO31_PROGRIGA = O.R_OCL") + CRLF +
        QStringLiteral("WHERE NOT EXISTS (SELECT 1 FROM PD5S_RICALCDATEVAL K WHERE K.PD5S_ID_PD5R = ") + id +
        QStringLiteral(" AND K.PD5S_TABELLA = 'DO31' AND K.PD5S_NUMREG = DO31_NUMREG_CO99 AND K.PD5S_RIGA = "
                       "DO31_PROGRIGA)"));
}

void DateRecalcJournal::keepAfter() {
    if (m_id == 0)
        return;
    const QString id = QString::number(m_id);
    const QString company = QString::number(m_company);
    for (const Written& t : writtenTables()) {
        QString set;
        for (int i = 0; i < t.dates.size(); ++i)
            set += slot("NUOVO", i) + QStringLiteral(" = ") + t.dates[i] + QStringLiteral(",");
        m_run(QStringLiteral("UPDATE PD5S_RICALCDATEVAL SET ") + set + QStringLiteral("PD5S_SIGILLATO = 1 ") +
              CRLF + QStringLiteral("FROM PD5S_RICALCDATEVAL INNER JOIN ") + t.table +
              QStringLiteral(" ON ") + t.match.arg(company) + CRLF + QStringLiteral("WHERE PD5S_ID_PD5R = ") +
              id + QStringLiteral(" AND PD5S_SIGILLATO = 0 AND PD5S_TABELLA = '") + t.code +
              QStringLiteral("'"));
    }
    // Rows the recalculation did not change (lines skipped, phases before a forward anchor) are
    // no business of its undo.
    QString unchanged;
    for (int i = 0; i < 4; ++i)
        unchanged += QStringLiteral(" AND ") + same(slot("PREC", i), slot("NUOVO", i));
    m_run(QStringLiteral("DELETE FROM PD5S_RICALCDATEVAL WHERE PD5S_ID_PD5R = ") + id +
          QStringLiteral(" AND PD5S_SIGILLATO = 1") + unchanged);
    m_run(QStringLiteral("DELETE FROM PD5R_RICALCDATE WHERE PD5R_ID = %1 AND NOT EXISTS (SELECT 1 FROM "
                         "PD5S_RICALCDATEVAL WHERE PD5S_ID_PD5R = %1)")
              .arg(id));
    m_id = 0;
}

UndoOutcome DateRecalcJournal::undoLast(db::Connection& connection, std::int16_t company, std::int16_t user) {
    UndoOutcome outcome;
    bool inTransaction = false;
    auto run = [&](const QString& sql, std::int64_t* affected = nullptr) {
        if (!connection.execute(sql, db::kCmdTextNoRecords, affected))
            throw RuntimeException(connectionError(connection));
    };
    try {
        auto exists = connection.execute(QStringLiteral("SELECT OBJECT_ID('PD5R_RICALCDATE') AS ID"));
        connection.clearErrors();
        if (!exists || !exists->isOpen() || exists->recordCount() == 0 || exists->value(0).isNull())
            return outcome;
        auto last = connection.execute(
            QStringLiteral(
                "SELECT TOP 1 PD5R_ID, PD5R_DATAORA FROM PD5R_RICALCDATE WHERE PD5R_DITTA_CG18 = %1 "
                "AND PD5R_ID_FW07 = %2 AND PD5R_ANNULLATO = 0 ORDER BY PD5R_ID DESC")
                .arg(company)
                .arg(user));
        if (!last || !last->isOpen())
            throw RuntimeException(connectionError(connection));
        if (last->recordCount() == 0)
            return outcome;
        const QString id = last->value(0).toText();
        outcome.recalculatedAt = last->value(1).toDateTime().value_or(QDateTime());

        run(QStringLiteral("BEGIN TRANSACTION"));
        inTransaction = true;
        // Another undo of the same user may have taken it meanwhile.
        std::int64_t taken = 0;
        run(QStringLiteral("UPDATE PD5R_RICALCDATE SET PD5R_ANNULLATO = 1, PD5R_DATAANNULL = GETDATE() WHERE "
                           "PD5R_ID = %1 AND PD5R_ANNULLATO = 0")
                .arg(id),
            &taken);
        if (taken == 0) {
            run(QStringLiteral("ROLLBACK TRANSACTION"));
            return outcome;
        }
        // A line whose write-back was never confirmed (the program stopped in between) counts as
        // unchanged: its rows are put back only where they still hold the old values anyway.
        run(QStringLiteral(
                "UPDATE PD5S_RICALCDATEVAL SET PD5S_NUOVO1 = PD5S_PREC1, PD5S_NUOVO2 = PD5S_PREC2, "
                "PD5S_NUOVO3 = PD5S_PREC3, PD5S_NUOVO4 = PD5S_PREC4 WHERE PD5S_ID_PD5R = %1 AND "
                "PD5S_SIGILLATO = 0")
                .arg(id));
        const QString companyText = QString::number(company);
        for (const Written& t : writtenTables()) {
            run(QStringLiteral(
                    "UPDATE PD5S_RICALCDATEVAL SET PD5S_CAMBIATO = CASE WHEN EXISTS (SELECT 1 FROM ") +
                t.table + QStringLiteral(" WHERE ") + t.match.arg(companyText) + holdsWritten(t) +
                QStringLiteral(") THEN 0 ELSE 1 END") + CRLF + QStringLiteral("WHERE PD5S_ID_PD5R = ") + id +
                QStringLiteral(" AND PD5S_TABELLA = '") + t.code + QStringLiteral("'"));
            QString set;
            for (int i = 0; i < t.dates.size(); ++i)
                set += (i ? QStringLiteral(",") : QString()) + t.dates[i] + QStringLiteral(" = ") +
                       slot("PREC", i);
            std::int64_t restored = 0;
            run(QStringLiteral("UPDATE ") + t.table + QStringLiteral(" SET ") + set + CRLF +
                    QStringLiteral("FROM ") + t.table + QStringLiteral(" INNER JOIN PD5S_RICALCDATEVAL ON ") +
                    t.match.arg(companyText) + CRLF + QStringLiteral("WHERE PD5S_ID_PD5R = ") + id +
                    QStringLiteral(" AND PD5S_TABELLA = '") + t.code +
                    QStringLiteral("' AND PD5S_CAMBIATO = 0"),
                &restored);
            outcome.restored += int(restored);
        }
        run(QStringLiteral("COMMIT TRANSACTION"));
        inTransaction = false;
        outcome.status = UndoOutcome::Status::Done;

        auto changed = connection.execute(
            QStringLiteral("SELECT PD5S_TABELLA, PD5S_NUMREG, PD5S_RIGA, PD5S_SEQ, PD5S_PROGSFASE FROM "
                           "PD5S_RICALCDATEVAL WHERE PD5S_ID_PD5R = %1 AND PD5S_CAMBIATO = 1 ORDER BY "
                           "PD5S_TABELLA, PD5S_NUMREG, PD5S_RIGA, PD5S_SEQ, PD5S_PROGSFASE")
                .arg(id));
        if (!changed || !changed->isOpen())
            throw RuntimeException(connectionError(connection));
        for (changed->moveFirst(); !changed->eof(); changed->moveNext())
            outcome.changed << JournalRow{changed->value(0).toText(), RTrimN(changed->value(1)),
                                          changed->value(2).toInt64().value_or(0),
                                          changed->value(3).toInt64().value_or(0),
                                          changed->value(4).toInt64().value_or(0)};
    } catch (const RuntimeException& e) {
        // Once committed the undo stands, even when the list of rows left alone cannot be read.
        if (outcome.status == UndoOutcome::Status::Done)
            return outcome;
        outcome.status = UndoOutcome::Status::Failed;
        outcome.error = e.error();
        if (inTransaction) {
            connection.execute(QStringLiteral("ROLLBACK TRANSACTION"), db::kCmdTextNoRecords);
            connection.clearErrors();
        }
    }
    return outcome;
}

} // namespace scadlav::engine
