#include "engine/PhaseReferencePass.h"

#include "engine/ConnectionError.h"
#include "engine/RebuildStatements.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/RuntimeError.h"
#include "module/sql/SqlText.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

namespace scadlav::engine {

namespace {

constexpr int kProductionOrder = 24;

[[noreturn]] void fail(std::int64_t number, const QString& description) {
    throw RuntimeException(
        {static_cast<int>(number), description, QStringLiteral("CompletaRiferimentiFasi"), {}});
}

std::int64_t wholeNumber(const Value& v) {
    return NVL(v, Value(0)).toInt64().value_or(0);
}

// Order numbers compare as the server compares text: without case and trailing blanks.
QString textKey(const Value& v) {
    return RTrimN(v).toCaseFolded();
}

// Resolves field names once, so the walk reads cells by position.
int field(const db::Recordset& rs, const char* name) {
    const int index = rs.fieldIndex(QLatin1String(name));
    if (index < 0)
        fail(db::kErrNotFound, QStringLiteral("Campo mancante: ") + QLatin1String(name));
    return index;
}

// Groups the pass's row writes into transactions of a few hundred rows. Each write committed on
// its own costs the database a log append, file locks and a checksum of every page it touched,
// which was half the pass; a batch pays that once. Every row written before a failure stays
// written, as it would row by row.
//
// A batch holds the write lock for about ten milliseconds. Nobody queues for the lock: a session
// waiting to write tries again every few milliseconds (every 100 at most) and gets it only if it
// is free at that moment. So after each batch the pass leaves the lock free for a millisecond;
// without that pause a planner saving a date during the pass could wait until it ends.
class WriteBatch {
public:
    explicit WriteBatch(db::Connection& connection) : m_connection(connection) {}
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;
    ~WriteBatch() {
        // Leaving by an exception: keep what was written, then let the exception go on.
        if (m_open && !send("COMMIT TRANSACTION"))
            send("ROLLBACK TRANSACTION"); // may find none left open: its error is of no use
    }

    void beforeWrite() {
        if (!m_open) {
            if (!send("BEGIN TRANSACTION"))
                failFromConnection();
            m_open = true;
        }
    }
    void afterWrite() {
        if (++m_written >= kRowsPerBatch)
            finish();
    }
    // Commits the open batch; throws when the commit fails.
    void finish() {
        m_written = 0;
        if (!m_open)
            return;
        m_open = false;
        if (!send("COMMIT TRANSACTION")) {
            const RuntimeError error = connectionError(m_connection);
            send("ROLLBACK TRANSACTION"); // may find none left open: its error is of no use
            throw RuntimeException(error);
        }
        std::this_thread::sleep_for(kPause);
    }

private:
    static constexpr int kRowsPerBatch = 500;
    static constexpr std::chrono::milliseconds kPause{1};

    bool send(const char* sql) {
        m_connection.clearErrors();
        m_connection.execute(QLatin1String(sql), db::kCmdTextNoRecords);
        return m_connection.errors().isEmpty();
    }
    [[noreturn]] void failFromConnection() { throw RuntimeException(connectionError(m_connection)); }

    db::Connection& m_connection;
    bool m_open = false;
    int m_written = 0;
};

} // namespace

PhaseReferencePass::PhaseReferencePass(db::Connection& connection, std::int16_t company,
                                       const QString& groupedTable)
    : m_connection(connection), m_company(company), m_groupedTable(groupedTable) {}

QString PhaseReferencePass::subcontractReferencesSql(std::int16_t company) {
    QString sql;
    const auto line = [&sql](const char* text) {
        sql += QLatin1String(text);
        sql += CRLF;
    };
    line("SELECT ODL.DO30_NUMREG_CO99 AS ODL_NUMREG,ODL.DO30_PROGRIGA AS ODL_RIGA,DO46_CODFASE,"
         "LTRIM(RTRIM(DO11_DOCUM_MG36)) + ',' + convert(nvarchar(8),DO11_DATADOC,3) + ',' + CAST(DO11_NUMDOC "
         "AS "
         "VARCHAR(7)) AS OCLAV,ISNULL(DO31_CLAV.DO31_DATACONSINT,DO31_CLAV.DO31_DATACONS) AS "
         "DATACONS,CLAV.DO30_NUMREG_CO99 AS NUMREG,CLAV.DO30_PROGRIGA AS RIGA,DO46_CODSEQFASE ");
    line("FROM DO30_DOCCORPO ODL WITH (NOLOCK) ");
    line("INNER JOIN DO33_DOCCORPORIF WITH (NOLOCK) ON ");
    line("ODL.DO30_DITTA_CG18 = DO33_DITTA_CG18  ");
    line("AND ODL.DO30_NUMREG_CO99 = DO33_NUMREGRIF_CO99  ");
    line("AND ODL.DO30_PROGRIGA = DO33_PROGRIGARIF_DO30  ");
    line("INNER JOIN DO30_DOCCORPO CLAV WITH (NOLOCK) ON ");
    line("CLAV.DO30_DITTA_CG18 = DO33_DITTA_CG18  ");
    line("AND CLAV.DO30_NUMREG_CO99 = DO33_NUMREG_CO99  ");
    line("AND CLAV.DO30_PROGRIGA = DO33_PROGRIGA  ");
    line("INNER JOIN DO11_DOCTESTATA WITH (NOLOCK) ON ");
    line("DO11_DITTA_CG18 = CLAV.DO30_DITTA_CG18  ");
    line("AND DO11_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  ");
    line("INNER JOIN DO31_DOCCORPOORD DO31_CLAV WITH (NOLOCK) ON ");
    line("CLAV.DO30_DITTA_CG18 = DO31_CLAV.DO31_DITTA_CG18  ");
    line("AND CLAV.DO30_NUMREG_CO99 = DO31_CLAV.DO31_NUMREG_CO99  ");
    line("AND CLAV.DO30_PROGRIGA = DO31_CLAV.DO31_PROGRIGA  ");
    line("INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON ");
    line("DO46_DITTA_CG18 = CLAV.DO30_DITTA_CG18  ");
    line("AND DO46_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  ");
    line("AND DO46_PROGRIGA = CLAV.DO30_PROGRIGA  ");
    sql += QStringLiteral("WHERE DO11_DITTA_CG18 = ") + QString::number(company) + CRLF;
    line("AND DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 ");
    return sql;
}

QString PhaseReferencePass::linePhasesSql(std::int16_t company, const QString& groupedTable) {
    QString sql;
    const auto line = [&sql](const QString& text) {
        sql += text;
        sql += CRLF;
    };
    line(QStringLiteral(
        "SELECT DO46_NUMREG_CO99,DO46_PROGRIGA,DO46_PROGSFASE,DO46_CODSEQFASE,DO46_CODFASE,PD12_DESCR,"
        "ISNULL(CG16_RAGSOANAG,PD07_DESCR) AS FORREP,DO46_QTA1CONSOLID,ABS(GIACENZA) AS "
        "QTA_IN_LAV  "));
    line(QStringLiteral("FROM DO46_DOCCORORDDET WITH (NOLOCK) "));
    line(QStringLiteral("INNER JOIN VPD12_FASILAVORO WITH (NOLOCK) ON "));
    line(QStringLiteral("PD12_DITTA_CG18 = DO46_DITTA_CG18 "));
    line(QStringLiteral("AND PD12_CODFASE = DO46_CODFASE "));
    line(QStringLiteral("LEFT JOIN VPD07_REPARTO WITH (NOLOCK) ON "));
    line(QStringLiteral("PD07_DITTA_CG18 = DO46_DITTA_CG18 "));
    line(QStringLiteral("AND PD07_CODREP = DO46_CODREPARTO "));
    line(QStringLiteral("LEFT JOIN CG44_CLIFOR WITH (NOLOCK) ON "));
    line(QStringLiteral("CG44_DITTA_CG18 = DO46_DITTA_CG18 "));
    line(QStringLiteral("AND CG44_CLIFOR = DO46_CLIFOR_CG44 "));
    line(QStringLiteral("AND CG44_TIPOCF = DO46_TIPOCF_CG44 "));
    line(QStringLiteral("LEFT JOIN CG16_ANAGGEN WITH (NOLOCK) ON "));
    line(QStringLiteral("CG16_CODICE = CG44_CODICE_CG16 "));
    line(QStringLiteral("LEFT JOIN ") + groupedTable + QStringLiteral(" ON "));
    line(QStringLiteral("   NUMREG_ODL = DO46_NUMREG_CO99 "));
    line(QStringLiteral("   AND PROGRIGA_ODL = DO46_PROGRIGA "));
    line(QStringLiteral("   AND FASE = DO46_CODFASE "));
    line(QStringLiteral("   AND CLIFOR = DO46_CLIFOR_CG44 "));
    line(QStringLiteral("WHERE DO46_DITTA_CG18 = ") + QString::number(company));
    // Only the lines of schedule rows that ask for their previous phase.
    line(QStringLiteral("AND EXISTS (SELECT 1 FROM PD5C_SCADLAV WITH (NOLOCK) "
                        "WHERE PD5C_NUMREG_CO99 = DO46_NUMREG_CO99 AND PD5C_PROGRIGA_DO30 = DO46_PROGRIGA "
                        "AND PD5C_TIPODOC = 24 AND PD5C_QTADAINV > 0) "));
    return sql;
}

QString PhaseReferencePass::lineKey(const Value& numreg, const Value& line) {
    return textKey(numreg) + QLatin1Char('|') + QString::number(wholeNumber(line));
}

std::unique_ptr<db::Recordset> PhaseReferencePass::read(const QString& sql) {
    m_lastStatement = sql;
    std::unique_ptr<db::Recordset> rs = m_connection.execute(sql, db::kExecUnspecified);
    if (!rs)
        throw RuntimeException(connectionError(m_connection, QStringLiteral("CompletaRiferimentiFasi")));
    return rs;
}

void PhaseReferencePass::load() {
    m_references.clear();
    m_phases.clear();

    std::unique_ptr<db::Recordset> refs = read(subcontractReferencesSql(m_company));
    if (refs->isOpen()) {
        const int numregOdl = field(*refs, "ODL_NUMREG"), lineOdl = field(*refs, "ODL_RIGA"),
                  phase = field(*refs, "DO46_CODFASE"), text = field(*refs, "OCLAV"),
                  date = field(*refs, "DATACONS"), numreg = field(*refs, "NUMREG"),
                  line = field(*refs, "RIGA"), sequence = field(*refs, "DO46_CODSEQFASE");
        const int count = refs->recordCount();
        for (int r = 0; r < count; ++r) {
            const QString key = lineKey(refs->valueAt(r, numregOdl), refs->valueAt(r, lineOdl)) +
                                QLatin1Char('|') + QString::number(wholeNumber(refs->valueAt(r, phase))) +
                                QLatin1Char('|') + QString::number(wholeNumber(refs->valueAt(r, sequence)));
            // The first line the server returns for the phase is the one kept.
            if (m_references.contains(key))
                continue;
            m_references.insert(key, Reference{refs->valueAt(r, text), refs->valueAt(r, date),
                                               refs->valueAt(r, numreg), refs->valueAt(r, line),
                                               refs->valueAt(r, sequence)});
        }
    }

    std::unique_ptr<db::Recordset> phases = read(linePhasesSql(m_company, m_groupedTable));
    if (phases->isOpen()) {
        const int numreg = field(*phases, "DO46_NUMREG_CO99"), line = field(*phases, "DO46_PROGRIGA"),
                  subPhase = field(*phases, "DO46_PROGSFASE"), sequence = field(*phases, "DO46_CODSEQFASE"),
                  phase = field(*phases, "DO46_CODFASE"), description = field(*phases, "PD12_DESCR"),
                  worker = field(*phases, "FORREP"), done = field(*phases, "DO46_QTA1CONSOLID"),
                  inWork = field(*phases, "QTA_IN_LAV");
        const int count = phases->recordCount();
        for (int r = 0; r < count; ++r) {
            Phase p;
            p.sequenceValue = phases->valueAt(r, sequence);
            p.sequence = wholeNumber(p.sequenceValue);
            p.subPhase = wholeNumber(phases->valueAt(r, subPhase));
            p.phase = phases->valueAt(r, phase);
            p.phaseCode = wholeNumber(p.phase);
            p.description = phases->valueAt(r, description);
            p.worker = phases->valueAt(r, worker);
            p.done = phases->valueAt(r, done);
            p.inWork = phases->valueAt(r, inWork);
            m_phases[lineKey(phases->valueAt(r, numreg), phases->valueAt(r, line))].push_back(std::move(p));
        }
    }
    // Highest sequence first. Among phases sharing a sequence the one with the highest
    // sub-phase and phase code comes first, as a backward scan of the phase table's key gives
    // it to the row-by-row lookup.
    for (auto& list : m_phases)
        std::stable_sort(list.begin(), list.end(), [](const Phase& a, const Phase& b) {
            return std::tie(a.sequence, a.subPhase, a.phaseCode) >
                   std::tie(b.sequence, b.subPhase, b.phaseCode);
        });
}

int PhaseReferencePass::run(db::Recordset& schedule) {
    const int tipoDoc = field(schedule, "PD5C_TIPODOC"), numreg = field(schedule, "PD5C_NUMREG_CO99"),
              line = field(schedule, "PD5C_PROGRIGA_DO30"), phase = field(schedule, "PD5C_CODFASE_PD12"),
              sequence = field(schedule, "PD5C_SEQUENZA"), toSend = field(schedule, "PD5C_QTADAINV");
    const int rifOclav = field(schedule, "PD5C_RIFOCLAV"),
              dataConsOclav = field(schedule, "PD5C_DATACONSOCLAV"),
              numregClav = field(schedule, "PD5C_NUMREGCLAV"),
              rigaClav = field(schedule, "PD5C_PROGRIGACLAV"), seqClav = field(schedule, "PD5C_SEQCLAV");
    const int seqPrec = field(schedule, "PD5C_SEQPREC"), fasePrec = field(schedule, "PD5C_FASEPREC"),
              descFasePrec = field(schedule, "PD5C_DESCFASEPREC"),
              forRepPrec = field(schedule, "PD5C_FORREPPREC"), dispPrec = field(schedule, "PD5C_DISPPREC"),
              giacPrec = field(schedule, "PD5C_GIACPREC");

    const auto set = [&schedule](int index, const Value& value) {
        if (!schedule.setValue(index, value))
            fail(schedule.lastError().number, schedule.lastErrorText());
    };

    int written = 0;
    WriteBatch batch(m_connection);
    for (; !schedule.eof(); schedule.moveNext()) {
        if (NVL(schedule.value(tipoDoc), Value(0)).toInt64().value_or(0) != kProductionOrder)
            continue;
        const QString key = lineKey(schedule.value(numreg), schedule.value(line));
        const std::int64_t ownSequence = wholeNumber(schedule.value(sequence));
        bool changed = false;

        const auto ref = m_references.constFind(key + QLatin1Char('|') +
                                                QString::number(wholeNumber(schedule.value(phase))) +
                                                QLatin1Char('|') + QString::number(ownSequence));
        if (ref != m_references.cend()) {
            set(rifOclav, Value(RTrimN(ref->text)));
            set(dataConsOclav, ref->deliveryDate);
            set(numregClav, Value(RTrimN(ref->numreg)));
            set(rigaClav, NVL(ref->line, Value(0)));
            set(seqClav, NVL(ref->sequence, Value(0)));
            changed = true;
        }

        const std::optional<Decimal> quantity = NVL(schedule.value(toSend), Value(0)).toDecimal();
        if (quantity && *quantity > Decimal()) {
            const auto phases = m_phases.constFind(key);
            if (phases != m_phases.cend()) {
                const auto previous = std::find_if(phases->cbegin(), phases->cend(),
                                                   [&](const Phase& p) { return p.sequence < ownSequence; });
                if (previous != phases->cend()) {
                    set(seqPrec, NVL(previous->sequenceValue, Value(0)));
                    set(fasePrec, NVL(previous->phase, Value(0)));
                    set(descFasePrec, Value(RTrimN(previous->description)));
                    set(forRepPrec, Value(RTrimN(previous->worker)));
                    set(dispPrec, NVL(previous->done, Value(0)));
                    set(giacPrec, NVL(previous->inWork, Value(0)));
                    changed = true;
                }
            }
        }

        // One write per row carries both groups of columns.
        if (changed) {
            batch.beforeWrite();
            if (!schedule.update())
                fail(schedule.lastError().number, schedule.lastErrorText());
            batch.afterWrite();
            ++written;
        }
    }
    batch.finish();
    return written;
}

} // namespace scadlav::engine
