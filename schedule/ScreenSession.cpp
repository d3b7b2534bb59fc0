#include "schedule/ScreenSession.h"

#include "engine/ConnectionError.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IStatusBar.h"
#include "module/contract/Cinterface.h"
#include "module/sql/SqlText.h"
#include "schedule/AccessRegistry.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"

namespace scadlav {

namespace {

[[noreturn]] void failFromConnection(const db::Connection& connection) {
    throw RuntimeException(engine::connectionError(connection, FRMPD_KVB_SCADLAV::ScreenName));
}

} // namespace

ScreenSession::ScreenSession(std::function<Cinterface*()> module, std::function<QString()> caption)
    : m_module(std::move(module)), m_caption(std::move(caption)), m_messages(m_module) {}

ScreenSession::~ScreenSession() = default;

void ScreenSession::open(IGlobalContext& global) {
    // The screen's own connection, without a command time limit.
    m_connectionString = global.connectionString();
    ApriConnessione();

    if (IObjectFactory* factory = HostRuntime::objectFactory())
        m_errorLog = factory->create<IErrorLog>(classnames::ErrorLog);

    m_companyCode = global.companyCode();
    m_userId = global.userId();
    m_userIdentity = global.userIdentity();
    m_accessRegistry.reset();
}

void ScreenSession::ApriConnessione() {
    // The host's connection factory gives a fresh connection; a host without one leaves the
    // screen to make its own.
    if (IObjectFactory* factory = HostRuntime::objectFactory())
        m_connectionFactory = factory->create<IConnectionFactory>(classnames::ConnectionFactory);
    m_connection = m_connectionFactory ? m_connectionFactory->createConnection() : nullptr;
    if (!m_connection)
        m_connection = std::make_unique<db::Connection>();
    m_connection->setConnectionString(m_connectionString);
    if (!m_connection->open()) {
        const QString reason = m_connection->lastErrorText();
        m_connection.reset();
        throw RuntimeException({RuntimeError::ApplicationDefined, reason, FRMPD_KVB_SCADLAV::ScreenName, {}});
    }
    m_connection->setCommandTimeout(0);
}

void ScreenSession::close() {
    m_connectionFactory.reset();
    if (m_connection)
        m_connection->close();
    m_accessRegistry.reset();
    m_connection.reset();
    m_errorLog.reset();
}

void ScreenSession::CreaNomiTabelleLavoro() {
    m_workTables = engine::WorkTables::named([this](const QString& prefix) {
        const QString now = HostRuntime::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        return ParseTableName(prefix + m_userIdentity + QStringLiteral("_") + now);
    });
}

std::int32_t ScreenSession::QRX_MSGBOX(const QString& testo, std::int32_t IDTesto, std::int32_t parButtons,
                                       const QString& parTitle, const Value& Parametri) {
    return m_messages.QRX_MSGBOX(testo, IDTesto, parButtons, parTitle, Parametri);
}

QString ScreenSession::TraduzioneTesto(const QString& testo, std::int32_t ID_Testo, const Value& Parametri,
                                       std::int16_t UtilizzoSQL) {
    return m_messages.TraduzioneTesto(testo, ID_Testo, Parametri, UtilizzoSQL);
}

Value ScreenSession::FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable) const {
    SqlFormatters formatters;
    formatters.connectionString = m_connectionString;
    return scadlav::FormattaValoreSQL(value, kind, nullable, formatters);
}

void ScreenSession::EliminaTabellaTemp(const QString& name) {
    if (!m_connection)
        return;
    const QString statement = m_connection->EliminaTabellaTemp(name);
    if (!statement.isEmpty())
        m_strSQL = statement;
}

std::unique_ptr<db::Recordset> ScreenSession::EseguiSQL(const QString& text, int options) {
    m_strSQL = text;
    if (!m_connection)
        throw RuntimeException({RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"),
                                FRMPD_KVB_SCADLAV::ScreenName});
    std::unique_ptr<db::Recordset> rs = m_connection->execute(text, options);
    if (!rs)
        failFromConnection(*m_connection);
    if (options == db::kCmdTextNoRecords)
        return nullptr;
    return rs;
}

void ScreenSession::ScriviErroreLog(const QString& moduleText, const QString& routine,
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

void ScreenSession::ScriviLogErrore(const QString& label, const RuntimeError& error) {
    ScriviErroreLog(FRMPD_KVB_SCADLAV::LibraryName, label, error);
}

void ScreenSession::MostraErroreOperazione(const RuntimeError& error) {
    QRX_MSGBOX(QStringLiteral("Operazione non riuscita:\n%1"), 90403, msgbox::Critical, caption(),
               Value(QList<Value>{error.description}));
}

AccessRegistry& ScreenSession::accessRegistry() {
    if (!m_accessRegistry) {
        m_accessRegistry = std::make_unique<AccessRegistry>(
            [this](const QString& text, int options) { return EseguiSQL(text, options); }, m_userId,
            [this](const QString& text, std::int32_t id, std::int32_t buttons, const Value& parameters) {
                return QRX_MSGBOX(text, id, buttons, caption(), parameters);
            });
    }
    return *m_accessRegistry;
}

void ScreenSession::RimuoviRegistrazione() {
    accessRegistry().RimuoviUtente();
}

void ScreenSession::MostraStato(const QString& text, std::int32_t id, const Value& parameters) {
    Cinterface* cls = module();
    IStatusBar* bar = cls ? cls->Cinterface_StatusBar() : nullptr;
    if (!bar)
        return;
    bar->setPanelText(IStatusBar::ProgressPanel, TraduzioneTesto(text, id, parameters));
    bar->repaint();
}

} // namespace scadlav
