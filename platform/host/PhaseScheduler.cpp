#include "platform/host/PhaseScheduler.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"

namespace erphost {

using scadlav::Value;

namespace {

QString textLiteral(const QString& text) {
    return QStringLiteral("N'") + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

} // namespace

PhaseScheduler::PhaseScheduler(QString connectionString) : m_connectionString(std::move(connectionString)) {}

PhaseScheduler::~PhaseScheduler() = default;

void PhaseScheduler::setStringaConnessione(const QString& connectionString) {
    // An empty string keeps the host's database.
    if (connectionString.isEmpty() || connectionString == m_connectionString)
        return;
    m_connectionString = connectionString;
    m_ownConnection.reset();
    if (!m_connection)
        forgetReads();
}

void PhaseScheduler::setConnessione(scadlav::db::Connection* connection) {
    if (connection == m_connection)
        return;
    m_connection = connection;
    forgetReads();
}

void PhaseScheduler::setDitta(const Value& company) {
    const std::int64_t code = company.toInt64().value_or(0);
    if (code == m_company)
        return;
    m_company = code;
    forgetReads();
}

void PhaseScheduler::forgetReads() {
    m_calendar.reset();
    m_routings.clear();
    m_phases.clear();
}

Value PhaseScheduler::CalcolaDaInizio(const scadlav::PhaseScheduleArgs& args) {
    return compute(args, Direction::FromStart);
}

Value PhaseScheduler::CalcolaDaFine(const scadlav::PhaseScheduleArgs& args, std::int16_t) {
    return compute(args, Direction::FromEnd);
}

Value PhaseScheduler::compute(const scadlav::PhaseScheduleArgs& args, Direction direction) {
    m_failed = false;
    m_error.clear();
    m_reference = m_start = m_end = Value::null();
    // The transfer day is counted by this computation, whatever its outcome: the caller
    // passes the flag again only when the resource changes again.
    m_resourceChange = false;

    const std::optional<QDate> reference = readReferenceDate(args.referenceDate);
    if (!reference)
        return fail(schedulertexts::InvalidReferenceDate);
    const std::optional<scadlav::Decimal> quantity = readQuantity(args.quantity);
    if (!quantity)
        return fail(schedulertexts::InvalidQuantity);

    QString cycle = args.cycle.toText().trimmed();
    if (cycle.isEmpty())
        cycle = m_cycle.toText().trimmed();
    std::optional<PhaseTimes> times;
    if (!phaseTimes(cycle, args.phaseSequence, args.phaseCode, times))
        return fail(m_error);
    if (!times)
        return fail(schedulertexts::phaseNotInCycle(args.phaseCode, cycle));
    const std::int64_t duration = phaseDuration(*times, *quantity);
    if (duration > kMaxPhaseDuration)
        return fail(schedulertexts::InvalidQuantity);
    const WorkingCalendar* workingDays = calendar();
    if (!workingDays)
        return fail(m_error);

    const PhaseSpan span = direction == Direction::FromStart
                               ? scheduleFromStart(*workingDays, *reference, duration, args.resourceChange)
                               : scheduleFromEnd(*workingDays, *reference, duration, args.resourceChange);
    m_start = Value(span.start);
    m_end = Value(span.end);
    m_reference = direction == Direction::FromStart ? m_start : m_end;
    return m_reference;
}

Value PhaseScheduler::fail(const QString& description) {
    m_failed = true;
    m_error = description;
    return Value::null();
}

scadlav::db::Connection* PhaseScheduler::connection() {
    if (m_connection)
        return m_connection;
    if (!m_ownConnection)
        m_ownConnection = std::make_unique<scadlav::db::Connection>();
    if (!m_ownConnection->isOpen() && !m_ownConnection->open(m_connectionString)) {
        m_error = m_ownConnection->lastErrorText();
        return nullptr;
    }
    return m_ownConnection.get();
}

std::unique_ptr<scadlav::db::Recordset> PhaseScheduler::read(const QString& sql) {
    scadlav::db::Connection* db = connection();
    if (!db)
        return nullptr;
    std::unique_ptr<scadlav::db::Recordset> rows = db->execute(sql);
    if (!rows)
        m_error = db->lastErrorText();
    return rows;
}

const WorkingCalendar* PhaseScheduler::calendar() {
    if (m_calendar)
        return &*m_calendar;
    const auto rows = read(QStringLiteral("SELECT PDCA_DATA FROM PDCA_CALENDARIO WITH (NOLOCK) "
                                          "WHERE PDCA_DITTA_CG18 = %1")
                               .arg(m_company));
    if (!rows)
        return nullptr;
    QSet<QDate> closures;
    for (bool more = rows->isOpen() && rows->moveFirst(); more && !rows->eof(); more = rows->moveNext()) {
        if (const std::optional<QDateTime> day = rows->value(0).toDateTime())
            closures.insert(day->date());
    }
    m_calendar.emplace(std::move(closures));
    return &*m_calendar;
}

const QList<PhaseScheduler::RoutingRow>* PhaseScheduler::routing(const QString& cycle) {
    const QString key = cycle.toUpper();
    if (const auto it = m_routings.constFind(key); it != m_routings.cend())
        return &*it;
    // The whole cycle at once, in sequence and sub-phase order: the first row that matches a
    // phase is the one with the lowest sub-phase.
    const auto rows =
        read(QStringLiteral("SELECT PD53_CODSEQFASE, PD53_CODFASE_PD12, PD53_GGLAV, PD53_TEMPOUNIT "
                            "FROM PD53_FASICICLO WITH (NOLOCK) "
                            "WHERE PD53_DITTA_CG18 = %1 AND PD53_CODCICLO_PD52 = %2 "
                            "ORDER BY PD53_CODSEQFASE, PD53_PROGSFASE")
                 .arg(m_company)
                 .arg(textLiteral(cycle)));
    if (!rows)
        return nullptr;
    QList<RoutingRow> routingRows;
    for (bool more = rows->isOpen() && rows->moveFirst(); more && !rows->eof(); more = rows->moveNext())
        routingRows.append({rows->value(0), rows->value(1), {rows->value(2), rows->value(3)}});
    return &*m_routings.insert(key, std::move(routingRows));
}

bool PhaseScheduler::phaseTimes(const QString& cycle, const Value& sequence, const Value& phase,
                                std::optional<PhaseTimes>& times) {
    const std::optional<scadlav::Decimal> phaseCode =
        phase.isEmptyOrNull() ? std::nullopt : phase.toDecimal();
    if (!phaseCode)
        return true;
    const QList<RoutingRow>* rows = routing(cycle);
    if (!rows)
        return false;
    const std::optional<scadlav::Decimal> sequenceNumber =
        sequence.isEmptyOrNull() ? std::nullopt : sequence.toDecimal();
    for (const RoutingRow& row : *rows) {
        if (sequenceNumber && row.sequence.toDecimal() == sequenceNumber &&
            row.phase.toDecimal() == phaseCode) {
            times = row.times;
            return true;
        }
    }

    // Not in the cycle: the phase's usual lead time, no time per unit.
    const QString key = phaseCode->toString();
    auto known = m_phases.constFind(key);
    if (known == m_phases.cend()) {
        const auto phaseRow = read(QStringLiteral("SELECT PD12_GGLAV FROM PD12_FASILAVORO WITH (NOLOCK) "
                                                  "WHERE PD12_DITTA_CG18 = %1 AND PD12_CODFASE = %2")
                                       .arg(m_company)
                                       .arg(key));
        if (!phaseRow)
            return false;
        std::optional<Value> fixedDays;
        if (phaseRow->isOpen() && phaseRow->moveFirst() && !phaseRow->eof())
            fixedDays = phaseRow->value(0);
        known = m_phases.insert(key, fixedDays);
    }
    if (*known)
        times = PhaseTimes{**known, Value()};
    return true;
}

} // namespace erphost
