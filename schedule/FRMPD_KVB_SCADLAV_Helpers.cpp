// The screen's own message functions, SQL text helpers, statement runner and error logging,
// shared by every concern of the screen.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IErrorLog.h"
#include "module/services/IObjectFactory.h"

namespace scadlav {

std::int32_t FRMPD_KVB_SCADLAV::QRX_MSGBOX(const QString& testo, std::int32_t IDTesto,
                                           std::int32_t parButtons, const QString& parTitle,
                                           const Value& Parametri) {
    return m_messages.QRX_MSGBOX(testo, IDTesto, parButtons, parTitle, Parametri);
}

QString FRMPD_KVB_SCADLAV::TraduzioneTesto(const QString& testo, std::int32_t ID_Testo,
                                           const Value& Parametri, std::int16_t UtilizzoSQL) {
    return m_messages.TraduzioneTesto(testo, ID_Testo, Parametri, UtilizzoSQL);
}

QString FRMPD_KVB_SCADLAV::RTrimN(const Value& Expression) {
    return scadlav::RTrimN(Expression);
}

Value FRMPD_KVB_SCADLAV::NVL(const Value& value, const Value& defaultValue) {
    return scadlav::NVL(value, defaultValue);
}

Value FRMPD_KVB_SCADLAV::NVL_DOP(const Value& Valore, const Value& ValIfNull) {
    return scadlav::NVL_DOP(Valore, ValIfNull);
}

QString FRMPD_KVB_SCADLAV::Escapa(const QString& st) {
    return scadlav::Escapa(st);
}

Value FRMPD_KVB_SCADLAV::FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable) const {
    SqlFormatters formatters;
    formatters.connectionString = m_connectionString;
    return scadlav::FormattaValoreSQL(value, kind, nullable, formatters);
}

QString FRMPD_KVB_SCADLAV::ParseTableName(const QString& fstr_Name) {
    return scadlav::ParseTableName(fstr_Name);
}

void FRMPD_KVB_SCADLAV::EliminaTabellaTemp(const QString& name) {
    if (!m_connection)
        return;
    const QString statement = m_connection->EliminaTabellaTemp(name);
    if (!statement.isEmpty())
        m_strSQL = statement;
}

std::unique_ptr<db::Recordset> FRMPD_KVB_SCADLAV::EseguiSQL(const QString& text, int options) {
    m_strSQL = text;
    if (!m_connection)
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"), ScreenName});
    std::unique_ptr<db::Recordset> rs = m_connection->execute(text, options);
    if (!rs) {
        const auto& errors = m_connection->errors();
        RuntimeError error;
        error.number =
            errors.isEmpty() ? RuntimeError::ApplicationDefined : static_cast<int>(errors.last().number);
        error.description = m_connection->lastErrorText();
        error.source = ScreenName;
        throw RuntimeException(error);
    }
    if (options == db::kCmdTextNoRecords)
        return nullptr;
    return rs;
}

void FRMPD_KVB_SCADLAV::ScriviErroreLog(const QString& moduleText, const QString& routine,
                                        const RuntimeError& error) {
    // A failure before the first activation created the log still gets written.
    if (!m_errorLog) {
        if (IObjectFactory* factory = HostRuntime::objectFactory())
            m_errorLog = factory->create<IErrorLog>(classnames::ErrorLog);
    }
    if (!m_errorLog)
        return;
    m_errorLog->takeError(error);
    m_errorLog->writeRecord(IErrorLog::DefaultPosition, moduleText, routine);
}

void FRMPD_KVB_SCADLAV::ScriviLogErrore(const QString& label, const RuntimeError& error) {
    ScriviErroreLog(LibraryName, label, error);
}

} // namespace scadlav
