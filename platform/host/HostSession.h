#pragma once
// The host's sessions on an ERP database. Each running host registers one row in
// FWSE_SESSIONE (a table of the host's own, created when missing): session number, user,
// identity, machine, process and a heartbeat. The unique key on the user keeps one live
// session per user and database; the session number makes the identity, and so the names
// of the working tables, unique among live sessions. A session is dead when it ended by a
// signal, when its process is gone (same machine), or when its heartbeat stopped (another
// machine); at start every host removes the dead sessions and their access registry rows.
// See docs/sessions.md.

#include "platform/host/HostSettings.h"
#include "platform/host/TextCatalog.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

namespace scadlav::db {
class Connection;
}

namespace erphost {

class HostSession {
public:
    enum class Status { Started, UnknownUser, UserBusy, Failed };

    HostSession(const HostSettings& settings, const TextCatalog& catalog);
    ~HostSession(); // ends the session
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Checks the user, removes dead sessions and registers this one. Anything but Started
    // leaves nothing registered and message() tells why, in the user's language.
    Status start();
    const QString& message() const { return m_message; }
    // The identity the module names its working tables after: the configured identity and
    // the session number.
    const QString& identity() const { return m_identity; }
    int sessionNumber() const { return m_id; }
    // Removes this session's registry rows and its session row; harmless when not started.
    void end();

    // Hands SIGTERM, SIGINT and SIGHUP to a thread of the session, which also beats the
    // heartbeat; a closed pipe no longer kills the process. Call first in main().
    static void installSignalHandling();

    // The host's tables and the statements creating each (the ERP schema of the embedded
    // database holds the same tables): the sessions, and the rebuilds they left unfinished.
    static QList<QPair<QString, QStringList>> tableStatements();

    // Rebuilds of the schedule that sessions left unfinished and that no rebuild has made good
    // since, one message each in the user's language; filled by start().
    const QStringList& warnings() const { return m_warnings; }

    // Seconds between heartbeats, and the silence after which a session of another machine
    // counts as dead.
    static constexpr int kHeartbeatSeconds = 20;
    static constexpr int kSilenceSeconds = 120;

private:
    struct Row;
    bool ensureTables();
    void readUnfinishedRebuilds();
    bool isDead(const Row& row) const;
    void removeDead(const Row& row);
    bool insertSelf();
    QString text(int id, const QList<scadlav::Value>& parameters) const;
    QString databaseName() const;
    QString lastError() const;

    const HostSettings& m_settings;
    const TextCatalog& m_catalog;
    std::unique_ptr<scadlav::db::Connection> m_connection;
    QString m_message;
    QStringList m_warnings;
    QString m_identity;
    QString m_host;
    QString m_stamp;
    int m_id = 0;
};

} // namespace erphost
