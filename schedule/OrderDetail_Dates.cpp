// Typing new phase dates in the order detail: which phases may be edited, the ordering rules a
// new date must respect against the other phases of the line, the direction of the recalculation
// anchored on the edited phase, and the schedule row's selection mark.
#include "schedule/OrderDetail.h"

#include "engine/ConnectionError.h"
#include "engine/DetailDateRules.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/IMessageService.h"
#include "module/sql/SqlText.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

namespace scadlav {

namespace {

const QString kDataIni = QStringLiteral("DATA_INI");
const QString kDataFine = QStringLiteral("DATA_FINE");
const QString kIndDir = QStringLiteral("IND_DIR");
const QString kKeyGrid = QStringLiteral("KEY_GRID");
constexpr std::int64_t kSaldata = 3;

std::optional<QDate> dateOf(const Value& value) {
    if (RTrimN(value).isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> when = value.toDateTime();
    return when ? std::optional<QDate>(when->date()) : std::nullopt;
}

std::int64_t wholeOf(const Value& value) {
    return NVL(value, Value(0)).toInt64().value_or(0);
}

} // namespace

QString OrderDetail::FiltroRigaCorrente() const {
    db::Recordset* schedule = m_screen.results().scheduleRecordset();
    if (!schedule || schedule->eof() || schedule->bof())
        return QString();
    return FiltroRiga(RTrimN(schedule->value(QStringLiteral("PD5C_NUMREG_CO99"))),
                      NVL(schedule->value(QStringLiteral("PD5C_PROGRIGA_DO30")), Value(0)).toText());
}

void OrderDetail::SegnaRigaOrdine(int mark) {
    db::Recordset* schedule = m_screen.results().scheduleRecordset();
    if (!schedule || schedule->eof() || schedule->bof())
        return;
    // The mark writes: the rows still to come are read first (see ScheduleResults::CompletaLettura).
    if (!m_screen.results().CompletaLettura())
        throw RuntimeException(engine::recordsetError(*schedule, FRMPD_KVB_SCADLAV::ScreenName));
    if (!schedule->setValue(QStringLiteral("PD5C_SEL"), Value(mark)) || !schedule->update())
        throw RuntimeException(engine::recordsetError(*schedule, FRMPD_KVB_SCADLAV::ScreenName));
    ui().GRID_ORD->viewport()->update();
}

void OrderDetail::ScriviDettaglio(const QString& field, const Value& value) {
    if (!m_rsDettaglio->setValue(field, value) || !m_rsDettaglio->update())
        throw RuntimeException(engine::recordsetError(*m_rsDettaglio, FRMPD_KVB_SCADLAV::ScreenName));
}

void OrderDetail::AzzeraAncoraPrecedente(const QString& key) {
    std::unique_ptr<db::Recordset> others = m_rsDettaglio->clone();
    const QString filter = FiltroRigaCorrente() + QStringLiteral(" AND KEY_GRID <> '") +
                           QString(key).replace(QLatin1Char('\''), QStringLiteral("''")) +
                           QStringLiteral("' AND IND_DIR > 0 ");
    if (!others || !others->setFilter(filter))
        throw RuntimeException(
            engine::recordsetError(others ? *others : *m_rsDettaglio, FRMPD_KVB_SCADLAV::ScreenName));
    if (others->recordCount() > 0) {
        others->moveFirst();
        if (!others->setValue(kIndDir, Value(engine::direction::None)) || !others->update())
            throw RuntimeException(engine::recordsetError(*others, FRMPD_KVB_SCADLAV::ScreenName));
    }
}

void OrderDetail::RinfrescaDettaglio() {
    ui().GRID_DETT->viewport()->update();
}

void OrderDetail::GRID_DETT_OnEditing(int row, const QString& field, bool& cancel) {
    try {
        if (field != kDataIni && field != kDataFine)
            return;
        if (!m_rsDettaglio || !m_rsDettaglio->moveTo(row))
            return;
        if (wholeOf(m_rsDettaglio->value(QStringLiteral("DO46_INDSTATOORD"))) == kSaldata) {
            cancel = true;
            return;
        }
        m_dateEditPending = true;
    } catch (...) {
        session().ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("GRID_DETT_OnEditing"),
                                  RuntimeError::fromException(std::current_exception()));
    }
}

void OrderDetail::GRID_DETT_Validate(bool& cancel) {
    if (m_dateEditPending)
        cancel = true;
}

void OrderDetail::GRID_DETT_ValidateCell(const QString& field, const QVariant& value, bool& cancel,
                                         QString& message) {
    if ((field != kDataIni && field != kDataFine) || value.isNull())
        return;
    const QDate date = value.toDate();
    if (date.isValid() && date.year() >= 1753 && date.year() <= 9999)
        return;
    cancel = true;
    message = session().TraduzioneTesto(
        QStringLiteral("La data %1 è fuori dall'intervallo ammesso (01/01/1753 - 31/12/9999)."), 90424,
        Value(QList<Value>{date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : value.toString()}));
}

void OrderDetail::GRID_DETT_OnEdited(int row, const QString& field) {
    try {
        if (!m_dateEditPending || !m_rsDettaglio || !m_rsDettaglio->isOpen() || !m_rsDettaglio->moveTo(row) ||
            m_rsDettaglio->eof())
            return;
        const std::optional<QDate> start = dateOf(m_rsDettaglio->value(kDataIni));
        const std::optional<QDate> end = dateOf(m_rsDettaglio->value(kDataFine));
        const std::int64_t anchor = wholeOf(m_rsDettaglio->value(kIndDir));
        const QString key = RTrimN(m_rsDettaglio->value(kKeyGrid));
        if (!start && !end && anchor <= 0) {
            m_dateEditPending = false;
            return;
        }

        const bool startColumn = field == kDataIni;
        if ((start || end) && (startColumn || field == kDataFine)) {
            const std::optional<QDate> date = startColumn ? start : end;
            // The typed date was cleared while the other one is kept: nothing to record yet.
            if (!date)
                return;
            QList<engine::DetailPhase> line;
            const int keyIndex = m_rsDettaglio->fieldIndex(kKeyGrid);
            const int sequenceIndex = m_rsDettaglio->fieldIndex(QStringLiteral("DO46_CODSEQFASE"));
            const int startIndex = m_rsDettaglio->fieldIndex(kDataIni);
            const int endIndex = m_rsDettaglio->fieldIndex(kDataFine);
            for (int i = 0; i < m_rsDettaglio->recordCount(); ++i)
                line << engine::DetailPhase{RTrimN(m_rsDettaglio->valueAt(i, keyIndex)),
                                            wholeOf(m_rsDettaglio->valueAt(i, sequenceIndex)),
                                            dateOf(m_rsDettaglio->valueAt(i, startIndex)),
                                            dateOf(m_rsDettaglio->valueAt(i, endIndex))};
            const auto refusal = engine::checkDetailDate(
                line, key, startColumn ? engine::DetailDateColumn::Start : engine::DetailDateColumn::End,
                *date);
            if (refusal) {
                session().QRX_MSGBOX(refusal->text, refusal->textId, msgbox::Information,
                                     m_screen.windowTitle());
                // The refused date is not kept; the edit stays pending until a date is accepted.
                ScriviDettaglio(field, Value::null());
                RinfrescaDettaglio();
                return;
            }
            SegnaRigaOrdine(1);
        }

        if (startColumn || field == kDataFine) {
            const std::optional<QDate>& typed = startColumn ? start : end;
            if (!typed) {
                ScriviDettaglio(kIndDir, Value(engine::direction::None));
                SegnaRigaOrdine(0);
            } else {
                ScriviDettaglio(
                    kIndDir, Value(startColumn ? engine::direction::Forward : engine::direction::Backward));
                AzzeraAncoraPrecedente(key);
            }
        }
        RinfrescaDettaglio();
        m_dateEditPending = false;
    } catch (...) {
        session().ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, QStringLiteral("GRID_DETT_OnEdited"),
                                  RuntimeError::fromException(std::current_exception()));
    }
}

void OrderDetail::GRID_DETT_Click(int row, const QString& field) {
    if (field != kIndDir || !m_rsDettaglio || !m_rsDettaglio->moveTo(row))
        return;
    try {
        if (!dateOf(m_rsDettaglio->value(kDataIni)) && !dateOf(m_rsDettaglio->value(kDataFine)))
            return;
        const int next = engine::nextDirection(int(wholeOf(m_rsDettaglio->value(kIndDir))));
        ScriviDettaglio(kIndDir, Value(next));
        AzzeraAncoraPrecedente(RTrimN(m_rsDettaglio->value(kKeyGrid)));
        RinfrescaDettaglio();
    } catch (...) {
        session().MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

} // namespace scadlav
