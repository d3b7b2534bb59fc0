#pragma once
// What every concern of the schedule screen works with: the screen's own connection, who works
// for which company, the per-user working tables, the error log, the translated messages and
// the access registry. The screen opens it at its first activation and closes it at unload.

#include "engine/RebuildStatements.h"
#include "module/contract/TranslatedMessages.h"
#include "module/services/RuntimeError.h"
#include "module/value/Value.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace scadlav {

class AccessRegistry;
class Cinterface;
class IConnectionFactory;
class IErrorLog;
class IGlobalContext;
namespace db {
class Connection;
class Recordset;
} // namespace db

class ScreenSession {
public:
    // `module` gives the host's module reference, `caption` the screen's title for messages.
    ScreenSession(std::function<Cinterface*()> module, std::function<QString()> caption);
    ~ScreenSession();
    ScreenSession(const ScreenSession&) = delete;
    ScreenSession& operator=(const ScreenSession&) = delete;

    // Reads the connection string, company, user and identity from the host's global context,
    // opens the screen's own connection (no command time limit) and creates the error log.
    // Throws when the connection cannot be opened.
    void open(IGlobalContext& global);
    // Releases the registry unit and closes the connection (record sets on it go first).
    void close();

    db::Connection* connection() const { return m_connection.get(); }
    const QString& connectionString() const { return m_connectionString; }
    std::int16_t companyCode() const { return m_companyCode; }
    std::int16_t userId() const { return m_userId; }
    const QString& userIdentity() const { return m_userIdentity; }
    IErrorLog* errorLog() const { return m_errorLog.get(); }
    Cinterface* module() const { return m_module(); }
    QString caption() const { return m_caption(); }

    const engine::WorkTables& workTables() const { return m_workTables; }
    // Names the working tables after the user's identity and the time of this call; the clock is
    // read again for each name, as each is built.
    void CreaNomiTabelleLavoro();

    // The last statement the screen built or ran.
    const QString& currentStatement() const { return m_strSQL; }
    void setCurrentStatement(const QString& statement) { m_strSQL = statement; }

    // ---- Messages and SQL text helpers -------------------------------------------------------
    std::int32_t QRX_MSGBOX(const QString& testo, std::int32_t IDTesto, std::int32_t parButtons,
                            const QString& parTitle, const Value& Parametri = Value());
    QString TraduzioneTesto(const QString& testo, std::int32_t ID_Testo, const Value& Parametri = Value(),
                            std::int16_t UtilizzoSQL = 0);
    // Dates (kind 3) are written by the host's date object for the screen's server.
    Value FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable) const;
    // Drops a temporary table if it exists; the statement becomes the current statement.
    void EliminaTabellaTemp(const QString& name);

    // Runs `text` on the screen's connection and keeps it as the current statement. A failure
    // throws a RuntimeException carrying the connection's last error, so that the calling
    // handler's error handling applies. The result set is nullptr for options 129.
    std::unique_ptr<db::Recordset> EseguiSQL(const QString& text, int options = -1);

    // Writes `error` to the error log as ("0_0_0_0", module text, routine) and clears it.
    void ScriviErroreLog(const QString& moduleText, const QString& routine, const RuntimeError& error);
    // The lifecycle's logging procedure: the same record with the library name as module text.
    void ScriviLogErrore(const QString& label, const RuntimeError& error);
    // Puts the translated text into panel 2 of the host's status bar and paints it at once.
    void MostraStato(const QString& text, std::int32_t id, const Value& parameters = Value());
    // Tells the user that an action of the screen failed, with the error's description.
    void MostraErroreOperazione(const RuntimeError& error);

    // ---- Access registry ---------------------------------------------------------------------
    AccessRegistry& accessRegistry();
    // Removes the user's row: "Parametri", the rebuild's end and closing.
    void RimuoviRegistrazione();

private:
    void ApriConnessione();

    std::function<Cinterface*()> m_module;
    std::function<QString()> m_caption;
    TranslatedMessages m_messages;
    QString m_connectionString;
    std::unique_ptr<IConnectionFactory> m_connectionFactory;
    std::unique_ptr<db::Connection> m_connection;
    std::unique_ptr<IErrorLog> m_errorLog;
    std::unique_ptr<AccessRegistry> m_accessRegistry;
    std::int16_t m_companyCode = 0;
    std::int16_t m_userId = 0;
    QString m_userIdentity;
    engine::WorkTables m_workTables;
    QString m_strSQL;
};

} // namespace scadlav
