#include "module/db/Command.h"

#include "module/db/Recordset.h"
#include "module/db/Session.h"
#include "module/db/StoreLoader.h"

namespace scadlav::db {

void Command::setActiveConnection(Connection* connection) {
    m_connection = connection;
}
void Command::setCommandText(const QString& text) {
    m_text = text;
}
void Command::setCommandType(int type) {
    m_type = type;
}
void Command::setCommandTimeout(int seconds) {
    m_timeout = seconds < 0 ? 0 : seconds;
}

void Command::setParameter(const QString& name, const Value& value, bool smallInt) {
    const std::string key = name.trimmed().toStdString();
    for (ProcedureParameter& p : m_parameters)
        if (QString::fromStdString(p.name).compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
            p.value = value;
            p.smallInt = smallInt;
            return;
        }
    m_parameters.push_back(ProcedureParameter{key, value, smallInt});
}

std::unique_ptr<Recordset> Command::execute(std::int64_t* recordsAffected, int options) {
    if (!m_connection)
        return nullptr;
    std::shared_ptr<Session> session = m_connection->session();
    if (m_text.trimmed().isEmpty()) {
        session->addError(kErrBadArgument, QStringLiteral("The command has no text."));
        return nullptr;
    }
    const bool noRecords = options != -1 && (options & kExecNoRecords) != 0;
    StoreLoader loader;
    const QByteArray text = m_text.trimmed().toUtf8();
    bool ok = false;
    if (m_type == kCmdStoredProc) {
        ok = session->callProcedure(std::string_view(text.constData(), text.size()), m_parameters, m_timeout,
                                    noRecords, &loader);
        if (recordsAffected)
            *recordsAffected = -1;
    } else {
        const int saved = session->commandTimeout;
        session->commandTimeout = m_timeout;
        ok = session->execute(std::string_view(text.constData(), text.size()), noRecords, &loader,
                              recordsAffected);
        session->commandTimeout = saved;
    }
    if (!ok)
        return nullptr;
    auto records = std::make_unique<Recordset>();
    if (std::shared_ptr<RowStore> store = loader.take(); store && !noRecords) {
        store->session = session;
        store->updatable = false;
        records->openOnStore(std::move(store), LockType::ReadOnly);
    }
    return records;
}

} // namespace scadlav::db
