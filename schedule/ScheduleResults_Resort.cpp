// The re-sort without reading the rows again. The re-sort statement selects exactly the rows of
// the statement shown; only its ORDER BY differs. When nothing was committed to the database
// since those rows were read (by this connection or any other), and the server's clock has not
// passed a phase date since (the classification codes compare the phase dates with it), running
// the statement again would return the same rows: they are then put in the statement's order
// in memory, which on a large schedule takes a fraction of the time of reading it again.
#include "schedule/ScheduleResults.h"

#include "engine/ScheduleStatement.h"
#include "module/db/Connection.h"
#include "module/db/DateMillis.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

namespace scadlav {

namespace {

const QString kOrderBy = QStringLiteral(" ORDER BY ");

// The statement without its sort: equal texts select equal rows.
QString selectionOf(const QString& statement) {
    const qsizetype at = statement.lastIndexOf(kOrderBy, -1, Qt::CaseInsensitive);
    return at < 0 ? statement : statement.left(at);
}

// The sort of the statement as a record-set sort list ("A,B desc").
QString sortOf(const QString& statement) {
    const qsizetype at = statement.lastIndexOf(kOrderBy, -1, Qt::CaseInsensitive);
    return at < 0 ? QString() : statement.mid(at + kOrderBy.size()).trimmed();
}

} // namespace

std::optional<std::int64_t> ScheduleResults::OraServer() const {
    db::Connection* connection = session().connection();
    if (!connection)
        return std::nullopt;
    std::unique_ptr<db::Recordset> rs = connection->execute(QStringLiteral("SELECT dbo.QRX_GETDATE()"));
    if (!rs || !rs->isOpen() || rs->eof()) {
        connection->clearErrors(); // a server without the function simply reads the rows again
        return std::nullopt;
    }
    const std::optional<QDateTime> now = rs->value(0).toDateTime();
    if (!now)
        return std::nullopt;
    return db::millisFromDateTime(*now);
}

void ScheduleResults::RicordaLettura() {
    // Taken before the rows are read: a commit in between makes the version differ later,
    // which only costs a reading.
    m_lettura = {};
    db::Connection* connection = session().connection();
    const std::optional<QString> resort =
        schedule_sql::resortStatement(m_screen.parameters().LeggiParametri());
    if (!connection || !resort || !connection->dataVersion(schedule_sql::tablesRead(), m_lettura.versione))
        return;
    m_lettura.ora = OraServer();
    if (!m_lettura.ora)
        return;
    m_lettura.selezione = selectionOf(*resort);
    m_lettura.valida = true;
}

bool ScheduleResults::RiordinaInMemoria(const QString& statement) {
    if (!m_lettura.valida || !m_rsScadlav || !m_rsScadlav->isOpen() ||
        selectionOf(statement) != m_lettura.selezione)
        return false;
    // Rows still to come are read: fewer than reading them all again. A failure has already
    // taken the screen back to the parameters with its reason.
    if (!m_rsScadlav->fetchAll())
        return true;
    std::uint64_t version = 0;
    db::Connection* connection = session().connection();
    if (!connection || !connection->dataVersion(schedule_sql::tablesRead(), version) ||
        version != m_lettura.versione)
        return false;
    const std::optional<std::int64_t> now = OraServer();
    if (!now || *now < *m_lettura.ora)
        return false;
    // A phase date reached since the reading may change a classification code.
    const int inizio = m_rsScadlav->fieldIndex(QStringLiteral("PD5C_DATAINIFASE"));
    const int fine = m_rsScadlav->fieldIndex(QStringLiteral("PD5C_DATAFINEFASE"));
    if (inizio < 0 || fine < 0)
        return false;
    const int rows = m_rsScadlav->recordCount();
    for (int row = 0; row < rows; ++row) {
        for (const int field : {inizio, fine}) {
            const db::CellRef cell = m_rsScadlav->cellAt(row, field);
            if (cell.kind == db::CellKind::DateTime && cell.i >= *m_lettura.ora && cell.i <= *now)
                return false;
        }
    }

    std::unique_ptr<db::Recordset> riordinate = m_rsScadlav->clone();
    if (!riordinate || !riordinate->setSort(sortOf(statement)) || !riordinate->moveFirst())
        return false;
    RilasciaSchedulazione();
    session().setCurrentStatement(statement);
    m_rsScadlav = std::move(riordinate);
    MostraSchedulazione();
    return true;
}

} // namespace scadlav
