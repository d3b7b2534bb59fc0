#include "schedule/OrderDetail.h"

#include "engine/ConnectionError.h"
#include "engine/RebuildStatements.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/HostRuntime.h"
#include "module/sql/SqlText.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QTimer>

namespace scadlav {

namespace {

// Share of the height the schedule grid keeps while the detail is open.
constexpr int kScheduleShare = 70;

// A text placed inside a quoted literal or filter value, its quotes doubled.
QString quoted(const QString& text) {
    return QString(text).replace(QLatin1Char('\''), QStringLiteral("''"));
}

} // namespace

OrderDetail::OrderDetail(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

OrderDetail::~OrderDetail() = default;

ScheduleControls& OrderDetail::ui() const {
    return m_screen.controls();
}

ScreenSession& OrderDetail::session() const {
    return m_screen.session();
}

void OrderDetail::PreparaDettaglio() {
    ChiudiDettaglio();
    ui().GRID_DETT->unbind();
    if (m_modelDett)
        m_modelDett->setRecordset(nullptr);
    m_rsDettaglio.reset();

    const QString now = HostRuntime::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    m_tabellaDettaglio = ParseTableName(QStringLiteral("##TempTableDett_") + session().userIdentity() +
                                        QStringLiteral("_") + now);
    const QString& name = m_tabellaDettaglio;
    static const QStringList columns{
        QStringLiteral("KEY_GRID varchar(10) COLLATE DATABASE_DEFAULT NOT NULL"),
        QStringLiteral("DO46_NUMREG_CO99 varchar(12) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DO46_PROGRIGA decimal(6,0) NULL"),
        QStringLiteral("FASE_IE varchar(2) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("FORREP varchar(60) COLLATE DATABASE_DEFAULT NOT NULL"),
        QStringLiteral("DO46_CODSEQFASE decimal(5,0) NULL"),
        QStringLiteral("DO46_CODFASE decimal(5,0) NULL"),
        QStringLiteral("PD12_DESCR Nvarchar(60) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DO46_PROGSFASE decimal(4,0) NULL"),
        QStringLiteral("DO46_INDSTATOORD decimal(2,0) NULL"),
        QStringLiteral("DO46_DATAINIZIO datetime NULL"),
        QStringLiteral("DO46_DATAFINE datetime NULL"),
        QStringLiteral("DO46_QTA1ORD decimal(14,3) NULL"),
        QStringLiteral("DO46_QTA1CONSOLID decimal(14,3) NULL"),
        QStringLiteral("DO46_QTA1SCARTO decimal(14,3) NULL"),
        QStringLiteral("QTARES decimal(14,3) NULL"),
        QStringLiteral("QTA_INLAV decimal(14,3) NULL"),
        QStringLiteral("NUMREG_OCL varchar(12) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("RIGA_OCL decimal(6,0) NULL"),
        QStringLiteral("RIF_OCL varchar(60) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DATACONS_OCL datetime NULL"),
        QStringLiteral("DATA_INI datetime NULL"),
        QStringLiteral("DATA_FINE datetime NULL"),
        QStringLiteral("DO46_IDCICLO_PD48 decimal(18,0) NULL"),
        QStringLiteral("IND_DIR decimal(2,0) NULL"),
    };
    QString create = engine::dropTempTableSql(name) + QStringLiteral("CREATE TABLE ") + name +
                     QStringLiteral(" ( ") + CRLF;
    create += columns.join(QStringLiteral(",") + CRLF) + CRLF + QStringLiteral(")") + CRLF;
    session().EseguiSQL(create, db::kCmdTextNoRecords);

    const QString select =
        QStringLiteral("SELECT * FROM ") + name + QStringLiteral(" ORDER BY DO46_CODSEQFASE,DO46_PROGSFASE");
    session().setCurrentStatement(select);
    auto rs = std::make_unique<db::Recordset>();
    if (!rs->open(select, *session().connection(), db::CursorType::Dynamic, db::LockType::Optimistic,
                  db::kExecUnspecified))
        throw RuntimeException(engine::recordsetError(*rs, FRMPD_KVB_SCADLAV::ScreenName));
    m_rsDettaglio = std::move(rs);
    if (!m_modelDett)
        m_modelDett = std::make_unique<db::RecordsetModel>();
    m_modelDett->setRecordset(m_rsDettaglio.get());
    ui().GRID_DETT->bind(m_modelDett.get());
}

QString OrderDetail::FiltroRiga(const QString& numreg, const QString& line) {
    return QStringLiteral("DO46_NUMREG_CO99 = '") + quoted(numreg) +
           QStringLiteral("' AND DO46_PROGRIGA = ") + line;
}

QString OrderDetail::InserimentoRiga(const QString& table, const QString& numreg, const QString& line) {
    QString sql;
    sql += QStringLiteral("INSERT INTO ") + table +
           QStringLiteral(
               " (KEY_GRID,DO46_NUMREG_CO99,DO46_PROGRIGA,FASE_IE,FORREP,DO46_CODSEQFASE,DO46_CODFASE,"
               "PD12_DESCR,DO46_PROGSFASE,DO46_INDSTATOORD,") +
           QStringLiteral(
               "DO46_DATAINIZIO,DO46_DATAFINE,DO46_QTA1ORD,DO46_QTA1CONSOLID,DO46_QTA1SCARTO,QTARES,"
               "QTA_INLAV,NUMREG_OCL,RIGA_OCL,RIF_OCL,DATACONS_OCL,DATA_INI,DATA_FINE,DO46_IDCICLO_PD48,"
               "IND_DIR)") +
           CRLF;
    sql += QStringLiteral(
               "SELECT 'A' + CAST([PD5C_SEQUENZA] AS VARCHAR(5)) + CAST([PD5C_PROGSFASE] AS VARCHAR(4)) "
               "AS KEYGRID,PD5C_NUMREG_CO99,PD5C_PROGRIGA_DO30,CASE PD5C_INDFASEINTEST WHEN 0 THEN 'I' "
               "WHEN 1 THEN 'E' ELSE '' END AS FASE_IE,") +
           CRLF;
    sql += QStringLiteral(
               "ISNULL(PD5C_FORREP, ''),PD5C_SEQUENZA,PD5C_CODFASE_PD12,PD5C_DESCFASE,PD5C_PROGSFASE, ") +
           CRLF;
    sql += QStringLiteral(
               "PD5C_INDSTATOORD,PD5C_DATAINIFASE,PD5C_DATAFINEFASE,PD5C_QTA1ORD,PD5C_QTA1CONSOLID,"
               "PD5C_QTA1SCARTO,(PD5C_QTA1ORD-ISNULL(PD5C_QTA1CONSOLID,0)-ISNULL(PD5C_QTA1SCARTO,0)) AS "
               "QTARES,PD5C_QTAINLAV,PD5C_NUMREGCLAV,PD5C_PROGRIGACLAV,") +
           CRLF;
    sql += QStringLiteral("PD5C_RIFOCLAV,PD5C_DATACONSOCLAV,CAST(NULL AS DATETIME) AS DATAINI,CAST(NULL AS "
                          "DATETIME) AS DATAFINE,PD5C_IDCICLO,0 ") +
           CRLF;
    sql += QStringLiteral("FROM PD5C_SCADLAV ") + CRLF;
    sql += QStringLiteral("WHERE PD5C_NUMREG_CO99 = '") + quoted(numreg) + QStringLiteral("'") + CRLF;
    sql += QStringLiteral("AND PD5C_PROGRIGA_DO30 = ") + line + CRLF;
    sql += QStringLiteral("ORDER BY PD5C_SEQUENZA,PD5C_PROGSFASE  ") + CRLF;
    return sql;
}

bool OrderDetail::CaricaRigaOrdine() {
    db::Recordset* schedule = m_screen.results().scheduleRecordset();
    if (!schedule || !schedule->isOpen() || schedule->eof() || schedule->bof() || !m_rsDettaglio)
        return false;
    const QString numreg = RTrimN(schedule->value(QStringLiteral("PD5C_NUMREG_CO99")));
    const QString line = NVL(schedule->value(QStringLiteral("PD5C_PROGRIGA_DO30")), Value(0)).toText();
    const std::int64_t sequence =
        NVL(schedule->value(QStringLiteral("PD5C_SEQUENZA")), Value(0)).toInt64().value_or(0);
    const auto fail = [this] {
        throw RuntimeException(engine::recordsetError(*m_rsDettaglio, FRMPD_KVB_SCADLAV::ScreenName));
    };

    const QString filter = FiltroRiga(numreg, line);
    m_rsDettaglio->clearFilter();
    if (!m_rsDettaglio->setFilter(filter))
        fail();
    if (m_rsDettaglio->recordCount() == 0) {
        // First opening of this line (or the table was emptied by a recalculation): its phases
        // are copied once, whatever their state. The copy writes: the schedule's rows still to
        // come are read first (see ScheduleResults::CompletaLettura).
        if (!m_screen.results().CompletaLettura())
            return false;
        session().EseguiSQL(InserimentoRiga(m_tabellaDettaglio, numreg, line), db::kCmdTextNoRecords);
        m_rsDettaglio->clearFilter();
        if (!m_rsDettaglio->requery() || !m_rsDettaglio->setFilter(filter))
            fail();
    }

    ui().GRID_DETT->unbind();
    m_modelDett->setRecordset(m_rsDettaglio.get());
    ui().GRID_DETT->bind(m_modelDett.get());
    ui().GRID_DETT->show();

    // The first sub-phase of the schedule row's phase; the first row when the line no longer
    // has that phase (the table was filled before a rebuild changed the line).
    int current = 0;
    for (m_rsDettaglio->moveFirst(); !m_rsDettaglio->eof(); m_rsDettaglio->moveNext()) {
        if (NVL(m_rsDettaglio->value(QStringLiteral("DO46_CODSEQFASE")), Value(0)).toInt64().value_or(0) ==
            sequence) {
            current = m_rsDettaglio->currentIndex();
            break;
        }
    }
    if (m_rsDettaglio->recordCount() > 0) {
        m_rsDettaglio->moveTo(current);
        ui().GRID_DETT->setCurrentRow(current);
    }
    return true;
}

void OrderDetail::CMD_DETT_Click() {
    try {
        if (m_open) {
            ChiudiDettaglio();
            return;
        }
        // Without a current schedule row (an empty schedule) there is no order line to open.
        if (!CaricaRigaOrdine())
            return;
        ui().SPLITTER->setOffset(ScheduleControls::scaledY(&m_screen, 300));
        ui().SPLITTER->setSplitPercent(kScheduleShare);
        ui().SPLITTER->show();
        ui().SPLITTER->arrange();
        ui().CMD_DETT->setCaption(session().TraduzioneTesto(QStringLiteral("Dett. Ord. -"), 78528));
        m_open = true;
    } catch (...) {
        session().MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

void OrderDetail::GRID_ORD_RowChanged() {
    if (!m_open)
        return;
    try {
        CaricaRigaOrdine();
    } catch (...) {
        session().ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("GRID_ORD_RowChanged"),
                                  RuntimeError::fromException(std::current_exception()));
    }
}

void OrderDetail::ChiudiDettaglio() {
    // The schedule grid takes the whole region again: the detail pane is hidden.
    ui().SPLITTER->setOffset(0);
    ui().GRID_DETT->hide();
    ui().SPLITTER->arrange();
    ui().CMD_DETT->setCaption(session().TraduzioneTesto(QStringLiteral("Dett. Ord. +"), 78529));
    ui().Timer1->start();
    m_open = false;
}

void OrderDetail::ImpostaModalita(bool modifica) {
    ui().GRID_DETT->setEditable(modifica);
    if (modifica) {
        ui().GRID_DETT->setColumnEditable(QStringLiteral("DATA_INI"));
        ui().GRID_DETT->setColumnEditable(QStringLiteral("DATA_FINE"));
    }
    if (m_modelDett)
        m_modelDett->setEditable(modifica);
}

void OrderDetail::release() {
    ui().GRID_DETT->unbind();
    if (m_modelDett)
        m_modelDett->setRecordset(nullptr);
    m_rsDettaglio.reset();
}

} // namespace scadlav
