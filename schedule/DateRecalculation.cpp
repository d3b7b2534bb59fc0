#include "schedule/DateRecalculation.h"

#include "engine/ConnectionError.h"
#include "engine/DateRecalcJournal.h"
#include "engine/DetailDateRules.h"
#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IDateObject.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IPhaseScheduler.h"
#include "module/services/IStatusBar.h"
#include "module/sql/SqlText.h"
#include "module/value/Decimal.h"
#include "platform/controls/DateText.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSet>

namespace scadlav {

namespace {

const QString kRoutine = QStringLiteral("DeterminaDateFasiCiclo");
constexpr std::int64_t kSaldata = 3;

// Pieces of a statement, each followed by CRLF.
QString lines(std::initializer_list<QString> pieces) {
    QString sql;
    for (const QString& piece : pieces)
        sql += piece + CRLF;
    return sql;
}

std::int64_t wholeOf(const Value& value) {
    return NVL(value, Value(0)).toInt64().value_or(0);
}

QString lineKey(const QString& numreg, std::int64_t line) {
    return numreg + QLatin1Char('\x1f') + QString::number(line);
}

// A runtime error already shown to the user by DeterminaDateFasiCiclo: the click ends without
// a second message.
struct ShownError {
    RuntimeError error;
};

} // namespace

DateRecalculation::DateRecalculation(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

DateRecalculation::~DateRecalculation() = default;

ScreenSession& DateRecalculation::session() const {
    return m_screen.session();
}

IPhaseScheduler* DateRecalculation::scheduler() const {
    return dynamic_cast<IPhaseScheduler*>(m_scheduler.get());
}

void DateRecalculation::release() {
    m_journal.reset();
    m_scheduler.reset();
}

QString DateRecalculation::statementFasi() const {
    const QString t = m_screen.detail().detailTableName();
    const QString company = QString::number(session().companyCode());
    return lines({
        QStringLiteral(
            "SELECT DATA_INI,DATA_FINE,NUMREG_OCL,RIGA_OCL,PD48_CICLO_PD52,IND_DIR,DO46_DOCCORORDDET.*,"
            "PD95_DISBA.*,DO30_DOCCORPO.* FROM ") +
            t + QStringLiteral(" LEFT JOIN pd48_cicli WITH (NOLOCK) on "),
        QStringLiteral("[DO46_IDCICLO_PD48] = PD48_IDCICLO  "),
        QStringLiteral("LEFT join DO30_DOCCORPO WITH (NOLOCK) on "),
        QStringLiteral("DO30_DITTA_CG18 = ") + company,
        QStringLiteral("AND DO30_NUMREG_CO99 = DO46_NUMREG_CO99 "),
        QStringLiteral("AND DO30_PROGRIGA = DO46_PROGRIGA  "),
        QStringLiteral("left join PD95_DISBA WITH (NOLOCK) on "),
        QStringLiteral("PD95_IDDISBA = CAST(") + t +
            QStringLiteral(".DO46_NUMREG_CO99 AS CHAR(12)) + CAST(") + t +
            QStringLiteral(".DO46_PROGRIGA AS NVARCHAR(5))  "),
        QStringLiteral("INNER join DO46_DOCCORORDDET WITH (NOLOCK) on "),
        QStringLiteral("DO46_DOCCORORDDET.DO46_DITTA_CG18 = ") + company,
        QStringLiteral("AND DO46_DOCCORORDDET.DO46_NUMREG_CO99 = ") + t +
            QStringLiteral(".DO46_NUMREG_CO99 "),
        QStringLiteral("AND DO46_DOCCORORDDET.DO46_PROGRIGA = ") + t + QStringLiteral(".DO46_PROGRIGA  "),
        QStringLiteral("AND DO46_DOCCORORDDET.DO46_CODSEQFASE = ") + t + QStringLiteral(".DO46_CODSEQFASE "),
        QStringLiteral("AND DO46_DOCCORORDDET.DO46_PROGSFASE = ") + t + QStringLiteral(".DO46_PROGSFASE  "),
        QStringLiteral("inner join ##TEMP_ELAB on "),
        QStringLiteral("NUMREG = ") + t + QStringLiteral(".DO46_NUMREG_CO99  "),
        QStringLiteral("AND RIGA = ") + t + QStringLiteral(".DO46_PROGRIGA  "),
        QStringLiteral("ORDER BY DO46_NUMREG_CO99,DO46_PROGRIGA,DO46_CODSEQFASE  "),
    });
}

QSet<QString> DateRecalculation::righeCambiate(const db::Recordset& fasi) {
    // Phases of each line as the detail holds them and as the order holds them now: when the
    // order gained or lost phases since the detail was filled (a rebuild in between), the line's
    // typed dates no longer fit its routing.
    const QString t = m_screen.detail().detailTableName();
    const QString company = QString::number(session().companyCode());
    auto counts = session().EseguiSQL(
        QStringLiteral(
            "SELECT E.NUMREG, E.RIGA, ISNULL(D.N, 0) AS NDETT, ISNULL(F.N, 0) AS NFASI FROM ##TEMP_ELAB E ") +
        CRLF + QStringLiteral("LEFT JOIN (SELECT DO46_NUMREG_CO99, DO46_PROGRIGA, COUNT(*) AS N FROM ") + t +
        QStringLiteral(" GROUP BY DO46_NUMREG_CO99, DO46_PROGRIGA) D ON D.DO46_NUMREG_CO99 = E.NUMREG AND "
                       "D.DO46_PROGRIGA = E.RIGA ") +
        CRLF +
        QStringLiteral(
            "LEFT JOIN (SELECT DO46_NUMREG_CO99, DO46_PROGRIGA, COUNT(*) AS N FROM DO46_DOCCORORDDET "
            "INNER JOIN ##TEMP_ELAB L ON L.NUMREG = DO46_NUMREG_CO99 AND L.RIGA = DO46_PROGRIGA WHERE "
            "DO46_DITTA_CG18 = ") +
        company +
        QStringLiteral(" GROUP BY DO46_NUMREG_CO99, DO46_PROGRIGA) F ON F.DO46_NUMREG_CO99 = E.NUMREG AND "
                       "F.DO46_PROGRIGA = E.RIGA"));
    QHash<QString, int> joined;
    const int numregIndex = fasi.fieldIndex(QStringLiteral("DO46_NUMREG_CO99"));
    const int rigaIndex = fasi.fieldIndex(QStringLiteral("DO46_PROGRIGA"));
    for (int row = 0; row < fasi.recordCount(); ++row)
        ++joined[lineKey(RTrimN(fasi.valueAt(row, numregIndex)), wholeOf(fasi.valueAt(row, rigaIndex)))];
    QSet<QString> changed;
    for (counts->moveFirst(); !counts->eof(); counts->moveNext()) {
        const QString key = lineKey(RTrimN(counts->value(0)), wholeOf(counts->value(1)));
        const std::int64_t detail = wholeOf(counts->value(2));
        if (detail != wholeOf(counts->value(3)) || detail != joined.value(key))
            changed.insert(key);
    }
    return changed;
}

void DateRecalculation::CMD_DATE_Click() {
    ScreenSession& s = session();
    const QString title = m_screen.windowTitle();
    m_outcome = {ActionOutcome::Status::Failed, QString()};
    bool started = false;
    // On the status bar: the phases walked (step 1 of 2), then the schedule and detail read
    // again (step 2).
    ProgressSteps progress(s.module() ? s.module()->Cinterface_StatusBar() : nullptr, 2);
    try {
        // Everything below writes: the schedule's rows still to come are read first (see
        // ScheduleResults::CompletaLettura); they are read again at the end anyway.
        if (!m_screen.results().CompletaLettura()) {
            m_outcome.description =
                s.TraduzioneTesto(QStringLiteral("Lettura delle fasi non riuscita."), 91800);
            return;
        }
        const QString t = m_screen.detail().detailTableName();
        const QString drop =
            QStringLiteral("IF OBJECT_ID('tempdb..##TEMP_ELAB') IS NOT NULL DROP TABLE ##TEMP_ELAB");
        s.setCurrentStatement(drop);
        s.EseguiSQL(drop, db::kCmdTextNoRecords);
        s.EseguiSQL(QStringLiteral("SELECT DISTINCT DO46_NUMREG_CO99 AS NUMREG,DO46_PROGRIGA AS RIGA INTO "
                                   "##TEMP_ELAB FROM ") +
                        t + QStringLiteral(" WHERE DATA_INI IS NOT NULL OR DATA_FINE IS NOT NULL "),
                    db::kCmdTextNoRecords);
        auto any = s.EseguiSQL(QStringLiteral("SELECT 1 FROM ##TEMP_ELAB"));
        if (!any || any->eof()) {
            const QString text = QStringLiteral("Nessun dato da elaborare !!");
            s.QRX_MSGBOX(text, 78504, msgbox::Information, title);
            m_outcome = {ActionOutcome::Status::NoData, s.TraduzioneTesto(text, 78504)};
            return;
        }
        std::unique_ptr<db::Recordset> rs = s.EseguiSQL(statementFasi());
        if (!rs || rs->eof()) {
            const QString text =
                QStringLiteral("Impossibile recuperare le informazioni relative al ciclo di origine !!");
            s.QRX_MSGBOX(text, 78505, msgbox::Information, title);
            m_outcome = {ActionOutcome::Status::NoData, s.TraduzioneTesto(text, 78505)};
            return;
        }
        const QSet<QString> changed = righeCambiate(*rs);

        started = true;
        m_screen.setCursor(Qt::WaitCursor);
        s.MostraStato(QStringLiteral("Ricalcolo date in corso ......"), 78526);
        progress.step(1);

        m_scheduler.reset();
        m_journal.reset();
        IObjectFactory* factory = HostRuntime::objectFactory();
        std::unique_ptr<IHostObject> object =
            factory ? factory->createObject(classnames::PhaseScheduler) : nullptr;
        auto* phaseScheduler = dynamic_cast<IPhaseScheduler*>(object.get());
        if (!phaseScheduler)
            throw RuntimeException(
                {RuntimeError::CannotCreateObject,
                 QStringLiteral("Impossibile creare l'oggetto %1").arg(classnames::PhaseScheduler),
                 FRMPD_KVB_SCADLAV::ScreenName,
                 {}});
        m_scheduler = std::move(object);
        phaseScheduler->setModulo(s.module());
        phaseScheduler->setConnessione(s.connection());
        phaseScheduler->setStringaConnessione(s.connectionString());
        phaseScheduler->setDitta(Value(Decimal::fromInt(s.companyCode())));

        m_journal = std::make_unique<engine::DateRecalcJournal>(
            *s.connection(), [&s](const QString& sql) { s.EseguiSQL(sql, db::kCmdTextNoRecords); },
            s.companyCode(), s.userId());
        m_journal->ensureTables();
        m_journal->begin();
        m_journal->keepBefore(QStringLiteral("##TEMP_ELAB"), t);

        rs->moveFirst();
        std::unique_ptr<db::Recordset> riga = rs->clone();
        QString numregPrec;
        std::int64_t rigaPrec = 0;
        const int phases = rs->recordCount();
        int phasesWalked = 0;
        QElapsedTimer shown; // the rows done, a few times a second
        for (; !rs->eof(); rs->moveNext(), ++phasesWalked) {
            if (!shown.isValid() || shown.elapsed() >= 250) {
                progress.rows(phasesWalked, phases);
                shown.start();
            }
            const QString numreg = RTrimN(rs->value(QStringLiteral("DO46_NUMREG_CO99")));
            const std::int64_t line = wholeOf(rs->value(QStringLiteral("DO46_PROGRIGA")));
            if (numreg == numregPrec && line == rigaPrec)
                continue;
            numregPrec = numreg;
            rigaPrec = line;
            if (changed.contains(lineKey(numreg, line))) {
                s.QRX_MSGBOX(
                    QStringLiteral("La riga %2 dell'ordine %1 è cambiata dopo l'apertura del dettaglio: "
                                   "le date non sono state ricalcolate. Riaprire il dettaglio e "
                                   "inserirle di nuovo."),
                    90800, msgbox::Information, title, Value(QList<Value>{numreg, Value(line)}));
                continue;
            }
            const QString filtro = QStringLiteral("DO46_NUMREG_CO99 = '") +
                                   QString(numreg).replace(QLatin1Char('\''), QStringLiteral("''")) +
                                   QStringLiteral("' AND DO46_PROGRIGA = ") + QString::number(line);
            if (!riga->setFilter(filtro))
                throw RuntimeException(engine::recordsetError(*riga, FRMPD_KVB_SCADLAV::ScreenName));

            // The line's first and last sequence, as its rows sorted by sequence give them.
            const int sequenceField = riga->fieldIndex(QStringLiteral("DO46_CODSEQFASE"));
            std::int64_t first = 0;
            std::int64_t last = 0;
            for (int row = 0; row < riga->recordCount(); ++row) {
                const std::int64_t sequence = wholeOf(riga->valueAt(row, sequenceField));
                first = row == 0 ? sequence : std::min(first, sequence);
                last = row == 0 ? sequence : std::max(last, sequence);
            }
            const auto seqPrima = std::int16_t(first);
            const auto seqUltima = std::int16_t(last);

            riga->moveFirst();
            while (!riga->eof() && wholeOf(riga->value(QStringLiteral("IND_DIR"))) == engine::direction::None)
                riga->moveNext();
            // A line without an anchor cannot come from the detail's editing rules: it is skipped.
            if (riga->eof()) {
                riga->clearFilter();
                continue;
            }
            const std::int64_t direzione = wholeOf(riga->value(QStringLiteral("IND_DIR")));
            if (direzione == engine::direction::Phase) {
                const QString sequenza =
                    NVL(riga->value(QStringLiteral("DO46_CODSEQFASE")), Value(0)).toText();
                if (!riga->setFilter(filtro + QStringLiteral(" AND DO46_CODSEQFASE = ") + sequenza))
                    throw RuntimeException(engine::recordsetError(*riga, FRMPD_KVB_SCADLAV::ScreenName));
                riga->moveFirst();
            }
            const Value ciclo = Value(RTrimN(riga->value(QStringLiteral("PD48_CICLO_PD52"))));
            const Value opzione = Value(RTrimN(riga->value(QStringLiteral("DO30_OPZIONE_MG5E"))));
            const Value tipoDistinta = Value(RTrimN(riga->value(QStringLiteral("PD95_TIPO_DISTINTA"))));
            const Value codiceDB = Value(RTrimN(riga->value(QStringLiteral("PD95_CODICE_DB"))));
            const Value qta = NVL(riga->value(QStringLiteral("DO30_QTA1")), Value(0));
            Value dataRif;
            bool avanti = true;
            switch (direzione) {
            case engine::direction::Forward:
                dataRif = Value(RTrimN(riga->value(QStringLiteral("DATA_INI"))));
                break;
            case engine::direction::Backward:
                dataRif = Value(RTrimN(riga->value(QStringLiteral("DATA_FINE"))));
                avanti = false;
                break;
            case engine::direction::Phase: {
                const QString inizio = RTrimN(riga->value(QStringLiteral("DATA_INI")));
                avanti = !inizio.isEmpty();
                dataRif = Value(avanti ? inizio : RTrimN(riga->value(QStringLiteral("DATA_FINE"))));
                break;
            }
            default:
                riga->clearFilter();
                continue;
            }
            DeterminaDateFasiCiclo(ciclo, opzione, tipoDistinta, codiceDB, *riga, dataRif, qta, avanti,
                                   seqPrima, seqUltima);
            riga->clearFilter();
        }
        m_journal->keepAfter();
        progress.rows(phases, phases);

        progress.step(2);
        s.EseguiSQL(QStringLiteral("DELETE FROM ") + t, db::kCmdTextNoRecords);
        db::Recordset* schedule = m_screen.results().scheduleRecordset();
        if (schedule && !schedule->requery())
            throw RuntimeException(engine::recordsetError(*schedule, FRMPD_KVB_SCADLAV::ScreenName));
        db::Recordset* detail = m_screen.detail().detailRecordset();
        if (detail && !detail->requery())
            throw RuntimeException(engine::recordsetError(*detail, FRMPD_KVB_SCADLAV::ScreenName));
        m_screen.controls().GRID_DETT->viewport()->update();
        if (schedule && schedule->recordCount() > 0) {
            schedule->moveLast();
            schedule->moveFirst();
        }

        m_screen.unsetCursor();
        s.MostraStato(QStringLiteral("Pronto ......"), 78527);
        const QString done = QStringLiteral("Elaborazione terminata correttamente !!");
        s.QRX_MSGBOX(done, 78506, msgbox::Information, title);
        m_outcome = {ActionOutcome::Status::Done, s.TraduzioneTesto(done, 78506)};
    } catch (const ShownError& shown) {
        // Its message was shown; lines already written keep their dates and the journal keeps
        // them undoable.
        s.ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("CMD_DATE_Click"), shown.error);
        m_outcome = {ActionOutcome::Status::Failed, shown.error.description};
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        s.MostraErroreOperazione(error);
        m_outcome = {ActionOutcome::Status::Failed, error.description};
    }
    if (started && m_outcome.status == ActionOutcome::Status::Failed) {
        // The lines written before the failure stay undoable.
        if (m_journal) {
            try {
                m_journal->keepAfter();
            } catch (...) {
                s.ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("CMD_DATE_Click"),
                                  RuntimeError::fromException(std::current_exception()));
            }
        }
        // The planner can go on working: the pointer comes back and the status bar says so.
        m_screen.unsetCursor();
        s.MostraStato(QStringLiteral("Pronto ......"), 78527);
    }
}

void DateRecalculation::CreaTabellaDateFasi() {
    session().EliminaTabellaTemp(QStringLiteral("##TMP_DATEFASICICLO"));
    const QString create =
        QStringLiteral(" CREATE TABLE ##TMP_DATEFASICICLO ") + QStringLiteral(" ( ") +
        QStringLiteral("       CODFASE decimal (5,0), ") + QStringLiteral("       SEQFASE decimal (3,0), ") +
        QStringLiteral("       TIPOFASE decimal (2,0), ") +
        QStringLiteral("       NUMREG_OCL char (12) COLLATE DATABASE_DEFAULT , ") +
        QStringLiteral("       RIGA_OCL decimal (6,0), ") + QStringLiteral("       DTINIZ  datetime, ") +
        QStringLiteral("       DTFIN  datetime ") + QStringLiteral(" ) ");
    session().EseguiSQL(create, db::kCmdTextNoRecords);
}

bool DateRecalculation::DeterminaDateFasiCiclo(const Value& Ciclo, const Value& Opzione,
                                               const Value& TipoDistinta, const Value& CodiceDB,
                                               db::Recordset& rsFasi, const Value& DataRif, const Value& Qta,
                                               bool Avanti, std::int16_t SeqPrima, std::int16_t SeqUltima) {
    ScreenSession& s = session();
    IPhaseScheduler* calc = scheduler();
    try {
        CreaTabellaDateFasi();
        calc->setModalita(0);
        if (rsFasi.eof() || rsFasi.bof() || rsFasi.recordCount() == 0)
            return false;
        s.EseguiSQL(QStringLiteral("DELETE FROM ##TMP_DATEFASICICLO"), db::kCmdTextNoRecords);

        const QString numreg = RTrimN(rsFasi.value(QStringLiteral("DO46_NUMREG_CO99")));
        const auto riga = std::int16_t(wholeOf(rsFasi.value(QStringLiteral("DO46_PROGRIGA"))));
        QString fornitoreCorrente = RTrimN(rsFasi.value(QStringLiteral("DO46_CLIFOR_CG44")));
        const Value distintaValue = rsFasi.value(QStringLiteral("PD95_IDDISBA"));
        const Value idDistinta = distintaValue.isEmptyOrNull() || RTrimN(distintaValue) == QLatin1String("0")
                                     ? Value::null()
                                     : distintaValue;

        Value inizioCorrente = DataRif;
        Value fineCorrente = DataRif;
        bool cambioFornitore = false;
        bool interrotto = false;
        // One date object writes every date of the line.
        IObjectFactory* factory = HostRuntime::objectFactory();
        std::unique_ptr<IDateObject> dateObject =
            factory ? factory->create<IDateObject>(classnames::DateObject) : nullptr;
        if (dateObject)
            dateObject->setConnectionString(s.connectionString());
        const SqlFormatters formatters{nullptr, dateObject.get(), s.connectionString()};

        for (;;) {
            const Value stato = rsFasi.value(QStringLiteral("DO46_INDSTATOORD"));
            if (!stato.isEmptyOrNull() && wholeOf(stato) != kSaldata) {
                std::int64_t tipoFase = 0;
                const QString dataIni = RTrimN(rsFasi.value(QStringLiteral("DATA_INI")));
                const QString dataFine = RTrimN(rsFasi.value(QStringLiteral("DATA_FINE")));
                Value inizio;
                Value fine;
                if (!dataIni.isEmpty() && !dataFine.isEmpty()) {
                    inizio = Value(dataIni);
                    fine = Value(dataFine);
                } else {
                    const Value clifor = rsFasi.value(QStringLiteral("DO46_CLIFOR_CG44"));
                    const QString fornitore = RTrimN(clifor);
                    if (fornitore != fornitoreCorrente) {
                        fornitoreCorrente = fornitore;
                        cambioFornitore = true;
                    }
                    PhaseScheduleArgs args;
                    args.cycle = Value(RTrimN(rsFasi.value(QStringLiteral("PD48_CICLO_PD52"))));
                    args.billType = TipoDistinta;
                    args.billCode = CodiceDB;
                    args.phaseSequence = rsFasi.value(QStringLiteral("DO46_CODSEQFASE"));
                    args.phaseCode = rsFasi.value(QStringLiteral("DO46_CODFASE"));
                    if (wholeOf(clifor) != 0) {
                        args.resourceKind = 1;
                        args.resource = clifor;
                    } else {
                        args.resourceKind = 0;
                        args.resource =
                            NVL(rsFasi.value(QStringLiteral("DO46_CODREPARTO")), Value(QString()));
                    }
                    args.quantity = Qta;
                    args.resourceChange = cambioFornitore;
                    args.billId = idDistinta;
                    calc->setCiclo(Ciclo);
                    calc->setOpzione(NVL(Opzione, Value(QString())));

                    bool daInizio = Avanti;
                    if (!dataIni.isEmpty()) {
                        daInizio = true;
                        args.referenceDate = Value(dataIni);
                    } else if (!dataFine.isEmpty()) {
                        daInizio = false;
                        args.referenceDate = Value(dataFine);
                    } else {
                        args.referenceDate = Avanti ? inizioCorrente : fineCorrente;
                    }
                    if (daInizio)
                        calc->CalcolaDaInizio(args);
                    else
                        calc->CalcolaDaFine(args, 0);
                    if (calc->Errore()) {
                        interrotto = true;
                        break;
                    }
                    if (daInizio) {
                        inizio = calc->DataRiferimento();
                        fine = calc->DataFineCalcolata();
                    } else {
                        fine = calc->DataRiferimento();
                        inizio = calc->DataInizioCalcolata();
                    }
                    cambioFornitore = calc->CambioFornitore();
                }

                const std::int64_t sequenza = wholeOf(rsFasi.value(QStringLiteral("DO46_CODSEQFASE")));
                if (sequenza == SeqPrima)
                    tipoFase = 1;
                if (sequenza == SeqUltima)
                    tipoFase = 2;
                const QString numregOcl = RTrimN(rsFasi.value(QStringLiteral("NUMREG_OCL")));
                const auto rigaOcl = std::int16_t(wholeOf(rsFasi.value(QStringLiteral("RIGA_OCL"))));

                QString insert = QStringLiteral(" INSERT INTO ##TMP_DATEFASICICLO ") + QStringLiteral(" ( ") +
                                 QStringLiteral("     CODFASE, ") + QStringLiteral("     SEQFASE, ") +
                                 QStringLiteral("     TIPOFASE, ") + QStringLiteral("     NUMREG_OCL, ") +
                                 QStringLiteral("     RIGA_OCL, ") + QStringLiteral("     DTINIZ, ") +
                                 QStringLiteral("     DTFIN ") + QStringLiteral(" ) ") +
                                 QStringLiteral(" VALUES ") + QStringLiteral(" ( ");
                insert += rsFasi.value(QStringLiteral("DO46_CODFASE")).toText() + QStringLiteral(", ");
                insert += rsFasi.value(QStringLiteral("DO46_CODSEQFASE")).toText() + QStringLiteral(", ");
                insert += QString::number(tipoFase) + QStringLiteral(", ");
                insert += QStringLiteral("'") + numregOcl + QStringLiteral("', ");
                insert += QString::number(rigaOcl) + QStringLiteral(", ");
                insert += QStringLiteral(" ") +
                          FormattaValoreSQL(inizio, sqlkind::Date, true, formatters).toText() +
                          QStringLiteral(", ");
                insert += QStringLiteral(" ") +
                          FormattaValoreSQL(fine, sqlkind::Date, true, formatters).toText() +
                          QStringLiteral(" ");
                insert += QStringLiteral(" ) ");
                s.EseguiSQL(insert, db::kCmdTextNoRecords);

                if (Avanti)
                    inizioCorrente = fine;
                else
                    fineCorrente = inizio;
            }
            if (Avanti ? !rsFasi.moveNext() || rsFasi.eof() : !rsFasi.movePrevious() || rsFasi.bof())
                break;
        }

        if (interrotto) {
            const QString descrizione = calc->DescrizioneErroreFase();
            if (!descrizione.isEmpty())
                s.QRX_MSGBOX(descrizione + (Avanti ? QStringLiteral(" (Routine : DeterminaDateFasiCiclo)")
                                                   : QStringLiteral(" (Routine : DeterminaDateFasiCiclo )")),
                             0, 0, m_screen.windowTitle());
        }
        scriviDate(numreg, riga);
        return true;
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        s.QRX_MSGBOX(error.description, 0, 0, m_screen.windowTitle());
        throw ShownError{error};
    }
}

void DateRecalculation::scriviDate(const QString& numreg, std::int16_t riga) {
    ScreenSession& s = session();
    const QString company = QString::number(s.companyCode());
    const QString n = numreg;
    const QString r = QString::number(riga);
    const QStringList statements{
        lines({QStringLiteral("UPDATE DO46_DOCCORORDDET SET DO46_DATAINIZIO = DTINIZ,DO46_DATAFINE = DTFIN "),
               QStringLiteral("FROM DO46_DOCCORORDDET INNER JOIN ##TMP_DATEFASICICLO "),
               QStringLiteral("ON DO46_DITTA_CG18 = ") + company,
               QStringLiteral("AND DO46_NUMREG_CO99 = '") + n + QStringLiteral("'"),
               QStringLiteral("AND DO46_PROGRIGA = ") + r, QStringLiteral("AND DO46_CODSEQFASE = SEQFASE "),
               QStringLiteral("AND DO46_CODFASE = CODFASE ")}),
        lines({QStringLiteral(
                   "UPDATE PD5C_SCADLAV SET [PD5C_DATAINIFASE] = DTINIZ,[PD5C_DATAFINEFASE] = DTFIN "),
               QStringLiteral("FROM PD5C_SCADLAV INNER JOIN ##TMP_DATEFASICICLO "),
               QStringLiteral("ON PD5C_DITTA_CG18 = ") + company,
               QStringLiteral("AND PD5C_NUMREG_CO99 = '") + n + QStringLiteral("'"),
               QStringLiteral("AND PD5C_PROGRIGA_DO30 = ") + r,
               QStringLiteral("AND PD5C_SEQUENZA = SEQFASE "),
               QStringLiteral("AND PD5C_CODFASE_PD12 = CODFASE ")}),
        lines({QStringLiteral("UPDATE DO31_DOCCORPOORD SET DO31_DATAINIZLAV = DTINIZ "),
               QStringLiteral("FROM DO31_DOCCORPOORD INNER JOIN ##TMP_DATEFASICICLO ON "),
               QStringLiteral("DO31_DITTA_CG18 = ") + company,
               QStringLiteral("AND DO31_NUMREG_CO99 = '") + n + QStringLiteral("'"),
               QStringLiteral("AND DO31_PROGRIGA = ") + r, QStringLiteral("AND TIPOFASE = 1 "),
               QStringLiteral(" ")}),
        lines({QStringLiteral("UPDATE DO31_DOCCORPOORD SET DO31_DATACONS = DTFIN ,DO31_DATACONSINT = DTFIN "),
               QStringLiteral("FROM DO31_DOCCORPOORD INNER JOIN ##TMP_DATEFASICICLO ON "),
               QStringLiteral("DO31_DITTA_CG18 = ") + company,
               QStringLiteral("AND DO31_NUMREG_CO99 = '") + n + QStringLiteral("'"),
               QStringLiteral("AND DO31_PROGRIGA = ") + r, QStringLiteral("AND TIPOFASE = 2 "),
               QStringLiteral(" ")}),
        lines({QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_DATACONS = DTFIN "),
               QStringLiteral("FROM PD5C_SCADLAV INNER JOIN ##TMP_DATEFASICICLO ON "),
               QStringLiteral("PD5C_DITTA_CG18 = ") + company,
               QStringLiteral("AND PD5C_NUMREG_CO99 = '") + n + QStringLiteral("'"),
               QStringLiteral("AND PD5C_PROGRIGA_DO30 = ") + r, QStringLiteral("AND TIPOFASE = 2 "),
               QStringLiteral(" ")}),
        lines({QStringLiteral("UPDATE DO31_DOCCORPOORD SET DO31_DATACONS = DTFIN ,DO31_DATACONSINT = DTFIN "),
               QStringLiteral("FROM DO31_DOCCORPOORD INNER JOIN ##TMP_DATEFASICICLO ON "),
               QStringLiteral("DO31_DITTA_CG18 = ") + company,
               QStringLiteral("AND DO31_NUMREG_CO99 = NUMREG_OCL"),
               QStringLiteral("AND DO31_PROGRIGA = RIGA_OCL"), QStringLiteral(" ")}),
        lines({QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_DATACONSOCLAV = DTFIN "),
               QStringLiteral("FROM PD5C_SCADLAV INNER JOIN ##TMP_DATEFASICICLO ON "),
               QStringLiteral("PD5C_DITTA_CG18 = ") + company,
               QStringLiteral("AND PD5C_NUMREGCLAV = NUMREG_OCL"),
               QStringLiteral("AND PD5C_PROGRIGACLAV = RIGA_OCL"), QStringLiteral(" ")}),
    };
    for (const QString& statement : statements)
        s.EseguiSQL(statement, db::kCmdTextNoRecords);
}

void DateRecalculation::AnnullaUltimoRicalcolo() {
    ScreenSession& s = session();
    const QString title = m_screen.windowTitle();
    // The undo writes: the schedule's rows still to come are read first.
    if (!m_screen.results().CompletaLettura()) {
        m_outcome = {ActionOutcome::Status::Failed,
                     s.TraduzioneTesto(QStringLiteral("Lettura delle fasi non riuscita."), 91800)};
        return;
    }
    m_screen.setCursor(Qt::WaitCursor);
    const engine::UndoOutcome undo =
        engine::DateRecalcJournal::undoLast(*s.connection(), s.companyCode(), s.userId());
    m_screen.unsetCursor();
    switch (undo.status) {
    case engine::UndoOutcome::Status::Nothing: {
        const QString text = QStringLiteral("Non c'è nessun ricalcolo date da annullare.");
        s.QRX_MSGBOX(text, 90801, msgbox::Information, title);
        m_outcome = {ActionOutcome::Status::NoData, s.TraduzioneTesto(text, 90801)};
        return;
    }
    case engine::UndoOutcome::Status::Failed:
        s.ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("AnnullaUltimoRicalcolo"),
                          undo.error);
        s.MostraErroreOperazione(undo.error);
        m_outcome = {ActionOutcome::Status::Failed, undo.error.description};
        return;
    case engine::UndoOutcome::Status::Done:
        break;
    }
    QString text = s.TraduzioneTesto(
        QStringLiteral("Annullato il ricalcolo date del %1: %2 righe riportate ai valori precedenti."), 90802,
        // The time in the session language's form, like the dates in the grids.
        Value(QList<Value>{QLocale().toString(undo.recalculatedAt,
                                              erpctl::localeDateFormat(QLocale()) + QStringLiteral(" HH:mm")),
                           Value(undo.restored)}));
    if (!undo.changed.isEmpty()) {
        QStringList rows;
        for (const engine::JournalRow& row : undo.changed) {
            if (row.table == QLatin1String("DO31"))
                rows << s.TraduzioneTesto(QStringLiteral("riga ordine %1/%2"), 90803,
                                          Value(QList<Value>{row.order, Value(row.line)}));
            else
                rows << s.TraduzioneTesto(
                    row.table == QLatin1String("DO46")
                        ? QStringLiteral("fase %3.%4 della riga ordine %1/%2")
                        : QStringLiteral("riga della situazione fasi %1/%2, fase %3.%4"),
                    row.table == QLatin1String("DO46") ? 90804 : 90805,
                    Value(
                        QList<Value>{row.order, Value(row.line), Value(row.sequence), Value(row.subPhase)}));
        }
        text += QStringLiteral("\n") +
                s.TraduzioneTesto(
                    QStringLiteral("Modificate da altri dopo il ricalcolo, sono state lasciate come sono:"),
                    90806) +
                QStringLiteral("\n") + rows.join(QStringLiteral("\n"));
    }
    s.QRX_MSGBOX(text, 0, msgbox::Information, title);
    m_outcome = {ActionOutcome::Status::Done, text};
    // The grids show the dates as they are now.
    if (db::Recordset* schedule = m_screen.results().scheduleRecordset(); schedule && schedule->isOpen())
        schedule->requery();
}

} // namespace scadlav
