#pragma once
// A database connection as the module uses it: set the connection string and options, open,
// run T-SQL text, read the provider errors of the last failure, close.
//
// The connection string chooses the database: "Provider=tsqlite;Data Source=<file>" opens the
// embedded database, any other string is handed to ODBC unchanged (SQL Server in production).
//
// Nothing here throws. Operations that can fail return false (or nullptr) and leave the
// reason in errors(); the list keeps growing until clearErrors(), the way the run-time's
// Errors collection is cleared by the next failing call or explicitly.

#include "module/db/DbError.h"
#include "module/db/IBackend.h"
#include "module/value/Value.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace scadlav::db {

class Recordset;
struct Session;

enum class ObjectState { Closed = 0, Open = 1 };
enum class CursorLocation { Server = 2, Client = 3 };

// Options of execute(), numbered as the run-time numbers them.
inline constexpr int kExecUnspecified = -1;
inline constexpr int kCmdText = 1;
inline constexpr int kExecNoRecords = 128;
inline constexpr int kCmdTextNoRecords = kCmdText | kExecNoRecords; // 129

class Connection {
public:
    Connection();
    // A connection that uses the given backend whatever the connection string says (tests,
    // tools that bring their own backend).
    explicit Connection(std::unique_ptr<IBackend> backend);
    ~Connection(); // closes
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& text);
    QString connectionString() const;
    // Record sets are always held on the client; the value is kept for whoever reads it back.
    void setCursorLocation(CursorLocation location);
    CursorLocation cursorLocation() const;
    void setIsolationLevel(IsolationLevel level); // takes effect at the next open()
    IsolationLevel isolationLevel() const;
    void setCommandTimeout(int seconds); // 0 means no limit; default 30
    int commandTimeout() const;
    void setConnectionTimeout(int seconds);
    // Told true when a command starts waiting noticeably long for another session's lock and
    // false when that command ends, so that whoever shows the session can say it is waiting.
    void setLockWaitNotice(std::function<void(bool waiting)> notice);

    // Opens with the current connection string. Fails (false, errors() tells why) when already
    // open, when the string is empty, or when the database cannot be reached.
    bool open();
    bool open(const QString& connectionString);
    // Closes; harmless when closed. Record sets opened on it stay readable; their writes and
    // requeries then fail with a clear error.
    void close();
    ObjectState state() const;
    bool isOpen() const { return state() == ObjectState::Open; }

    // Runs T-SQL text. `options` is -1, 1 or 129 (kCmdTextNoRecords: result rows are dropped).
    // Returns nullptr on failure. Otherwise returns the first result set of the text as an
    // open, read-only record set, or a closed record set when the text returned no rows or
    // the options asked for none. `recordsAffected` gets the count of changed rows.
    std::unique_ptr<Recordset> execute(const QString& text, int options = kExecUnspecified,
                                       std::int64_t* recordsAffected = nullptr);

    // Drops a temporary table if it exists. A name that does not start with "#" sends nothing
    // and returns "". Otherwise the statement
    //   IF OBJECT_ID('tempdb..<name>') IS NOT NULL DROP TABLE <name>
    // is run without records, any error it causes is cleared, and the statement text is
    // returned so that the caller can keep it as its current statement.
    QString EliminaTabellaTemp(const QString& name);

    // The provider errors since the last clearErrors().
    const QList<DbError>& errors() const;
    void clearErrors();
    // Description of the most recent error, "" when the list is empty.
    QString lastErrorText() const;

    // How literals must be written for the connected server.
    Dialect dialect() const;
    // A number that changes whenever the rows of `tables` may have changed (a commit by another
    // connection, a change by this one to one of them); false when closed or when the database
    // cannot tell.
    bool dataVersion(const QStringList& tables, std::uint64_t& version) const;

    // Shared with the record sets and commands created on this connection.
    std::shared_ptr<Session> session() const { return m_session; }

private:
    std::shared_ptr<Session> m_session;
    QString m_connectionString;
    CursorLocation m_cursorLocation = CursorLocation::Server;
    OpenOptions m_openOptions;
    std::unique_ptr<IBackend> m_injectedBackend;
    bool m_fixedBackend = false; // the backend given at construction serves every opening
};

} // namespace scadlav::db
