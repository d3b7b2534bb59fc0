#include "module/db/Connection.h"

#include "module/db/BackendFactory.h"
#include "module/db/Recordset.h"
#include "module/db/Session.h"
#include "module/db/StoreLoader.h"

namespace scadlav::db {

Connection::Connection() : m_session(std::make_shared<Session>()) {}

Connection::Connection(std::unique_ptr<IBackend> backend)
    : m_session(std::make_shared<Session>()), m_injectedBackend(std::move(backend)), m_fixedBackend(true) {}

Connection::~Connection() {
    close();
}

void Connection::setConnectionString(const QString& text) {
    m_connectionString = text;
}
QString Connection::connectionString() const {
    return m_connectionString;
}
void Connection::setCursorLocation(CursorLocation location) {
    m_cursorLocation = location;
}
CursorLocation Connection::cursorLocation() const {
    return m_cursorLocation;
}
void Connection::setIsolationLevel(IsolationLevel level) {
    m_openOptions.isolation = level;
}
IsolationLevel Connection::isolationLevel() const {
    return m_openOptions.isolation;
}
void Connection::setCommandTimeout(int seconds) {
    m_session->commandTimeout = seconds < 0 ? 0 : seconds;
}
void Connection::setLockWaitNotice(std::function<void(bool waiting)> notice) {
    m_session->lockWaitNotice = std::move(notice);
}

int Connection::commandTimeout() const {
    return m_session->commandTimeout;
}
void Connection::setConnectionTimeout(int seconds) {
    m_openOptions.connectionTimeoutSeconds = seconds;
}

bool Connection::open(const QString& connectionString) {
    if (isOpen()) {
        m_session->addError(kErrBadArgument, QStringLiteral("The connection is already open."));
        return false;
    }
    m_connectionString = connectionString;
    return open();
}

bool Connection::open() {
    if (isOpen()) {
        m_session->addError(kErrBadArgument, QStringLiteral("The connection is already open."));
        return false;
    }
    if (m_fixedBackend && !m_injectedBackend && m_session->backend)
        m_injectedBackend = std::move(m_session->backend); // reopening: take it back
    if (m_connectionString.trimmed().isEmpty() && !m_injectedBackend) {
        m_session->addError(kErrBadArgument, QStringLiteral("The connection string is empty."));
        return false;
    }
    std::unique_ptr<IBackend> backend =
        m_injectedBackend ? std::move(m_injectedBackend) : makeBackend(m_connectionString);
    // A new session, so that record sets of an earlier opening keep failing cleanly on theirs.
    auto session = std::make_shared<Session>();
    session->commandTimeout = m_session->commandTimeout;
    session->lockWaitNotice = m_session->lockWaitNotice;
    session->errors = m_session->errors;
    std::vector<ProviderError> errors;
    const bool ok = backend->open(m_connectionString.toStdString(), m_openOptions, errors);
    session->addErrors(errors);
    if (!ok) {
        if (errors.empty())
            session->addError(kErrGeneric, QStringLiteral("The database could not be opened."));
        m_session->errors = session->errors;
        return false;
    }
    session->backend = std::move(backend);
    m_session = std::move(session);
    return true;
}

void Connection::close() {
    if (m_session->backend)
        m_session->backend->close();
}

ObjectState Connection::state() const {
    return m_session->isOpen() ? ObjectState::Open : ObjectState::Closed;
}

std::unique_ptr<Recordset> Connection::execute(const QString& text, int options,
                                               std::int64_t* recordsAffected) {
    const bool noRecords = options != kExecUnspecified && (options & kExecNoRecords) != 0;
    StoreLoader loader;
    const QByteArray utf8 = text.toUtf8();
    if (!m_session->execute(std::string_view(utf8.constData(), utf8.size()), noRecords, &loader,
                            recordsAffected))
        return nullptr;
    auto records = std::make_unique<Recordset>();
    if (std::shared_ptr<RowStore> store = loader.take(); store && !noRecords) {
        store->source = text;
        store->session = m_session;
        store->updatable = false;
        records->openOnStore(std::move(store), LockType::ReadOnly);
    }
    return records;
}

QString Connection::EliminaTabellaTemp(const QString& name) {
    if (!name.startsWith(u'#'))
        return {};
    const QString statement =
        QStringLiteral("IF OBJECT_ID('tempdb..") + name + QStringLiteral("') IS NOT NULL DROP TABLE ") + name;
    execute(statement, kCmdTextNoRecords);
    // A drop that fails (no such table, no connection) is of no interest to the caller.
    clearErrors();
    return statement;
}

const QList<DbError>& Connection::errors() const {
    return m_session->errors;
}

void Connection::clearErrors() {
    m_session->errors.clear();
}

QString Connection::lastErrorText() const {
    return m_session->errors.isEmpty() ? QString() : m_session->errors.last().description;
}

Dialect Connection::dialect() const {
    return m_session->dialect();
}

bool Connection::dataVersion(const QStringList& tables, std::uint64_t& version) const {
    if (!m_session || !m_session->isOpen())
        return false;
    std::vector<std::string> names;
    for (const QString& table : tables)
        names.push_back(table.toStdString());
    return m_session->backend->dataVersion(names, version);
}

} // namespace scadlav::db
