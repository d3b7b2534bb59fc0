#pragma once
// A command on a connection: a stored-procedure call with named parameters (command type 4)
// or plain T-SQL text (command type 1), with its own time limit.

#include "module/db/Connection.h"
#include "module/value/Value.h"

#include <QString>
#include <memory>
#include <vector>

namespace scadlav::db {

class Recordset;

inline constexpr int kCmdStoredProc = 4;

class Command {
public:
    void setActiveConnection(Connection* connection);
    void setCommandText(const QString& text); // procedure name for type 4
    QString commandText() const { return m_text; }
    void setCommandType(int type); // kCmdText (1) or kCmdStoredProc (4)
    int commandType() const { return m_type; }
    void setCommandTimeout(int seconds); // 0 means no limit
    int commandTimeout() const { return m_timeout; }

    // Sets a named parameter ("@Ditta"); setting the same name again replaces its value.
    // Parameters never set keep the procedure's defaults. `smallInt` passes it as smallint.
    void setParameter(const QString& name, const Value& value, bool smallInt = false);
    void clearParameters() { m_parameters.clear(); }

    // Runs the command. nullptr on failure (the connection's errors() tell why); otherwise
    // the first result set as a read-only record set, or a closed one when there is none or
    // `options` is 129.
    std::unique_ptr<Recordset> execute(std::int64_t* recordsAffected = nullptr, int options = -1);

private:
    Connection* m_connection = nullptr;
    QString m_text;
    int m_type = 1;
    int m_timeout = 30;
    std::vector<ProcedureParameter> m_parameters;
};

} // namespace scadlav::db
