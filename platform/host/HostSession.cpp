#include "platform/host/HostSession.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/SqlLiteral.h"
#include "platform/controls/DateText.h"
#include "platform/host/ConnectionKind.h"
#include "platform/procstart/ProcessStart.h"

#include <QFile>
#include <QLocale>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace erphost {

namespace {

constexpr int kTextUnknownUser = 90700;
constexpr int kTextUserBusy = 90701;
constexpr int kTextCannotRegister = 90702;
constexpr int kTextEndedBySignal = 90703;
constexpr int kTextDeadRemoved = 90704;
constexpr int kTextRebuildUnfinished = 90708;
constexpr int kTextWaitingForLock = 92144;

// The configured identity is cut to this length so that the working tables' names (prefix,
// identity, session number and time) stay far below SQL Server's 128 characters.
constexpr int kIdentityBaseLength = 40;
// A session row whose process ended on a signal: dead whatever its heartbeat says.
constexpr int kEndedPid = 0;

// Start time of a process in clock ticks since boot; empty when the process has ended.
QString startTicks(qint64 pid) {
    const std::int64_t ticks = procstart::startTicks(pid);
    return ticks < 0 ? QString() : QString::number(ticks);
}

QString bootId() {
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().trimmed()) : QString();
}

// Tells this machine's processes apart across pid reuse and reboots.
QString processStamp(qint64 pid) {
    const QString ticks = startTicks(pid);
    return ticks.isEmpty() ? QString() : bootId() + QLatin1Char('/') + ticks;
}

bool processAlive(qint64 pid, const QString& stamp) {
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString now = processStamp(pid);
    return !now.isEmpty() && now == stamp;
}

bool run(scadlav::db::Connection& connection, const QString& sql) {
    return connection.execute(sql, scadlav::db::kCmdTextNoRecords) != nullptr;
}

// Notes that session `sessionId` leaves a rebuild unfinished, when its user's rebuild row is
// still in the access registry: only the module removes it, at the rebuild's end. Run before the
// host removes the registry rows. The time is the ERP's clock, the one the rebuild stamps the
// schedule with, so that a later rebuild's rows tell that the note is out of date.
bool noteUnfinishedRebuild(scadlav::db::Connection& connection, int sessionId, const QString& sameProcess) {
    return run(
        connection,
        QStringLiteral("INSERT INTO FWSR_RICINTERROTTI (FWSR_ID_FW07, FWSR_IDENTITA, FWSR_AVVIO, "
                       "FWSR_RILEVATO) SELECT FWSE_ID_FW07, FWSE_IDENTITA, FWSE_AVVIO, dbo.QRX_GETDATE() "
                       "FROM FWSE_SESSIONE WHERE FWSE_ID = %1%2 AND EXISTS (SELECT PD5D_ID_FW07 FROM "
                       "PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = FWSE_ID_FW07 AND PD5D_FLGRIC = 1)")
            .arg(sessionId)
            .arg(sameProcess));
}

// What the signal thread needs to know of the running session.
struct Watched {
    std::mutex mutex;
    bool active = false;
    QString connectionString;
    int sessionId = 0;
    int userId = 0;
    QString signalMessage; // %1: the signal's name, already translated otherwise
};

Watched& watched() {
    static Watched* instance = new Watched; // never destroyed: the thread outlives main()
    return *instance;
}

void beat() {
    Watched& w = watched();
    const std::lock_guard lock(w.mutex);
    if (!w.active)
        return;
    scadlav::db::Connection connection;
    if (!connection.open(w.connectionString))
        return; // the next beat tries again; a long silence makes the session look dead
    run(connection, QStringLiteral("UPDATE FWSE_SESSIONE SET FWSE_BATTITO = GETDATE() WHERE FWSE_ID = %1")
                        .arg(w.sessionId));
}

// Ends the process on a termination signal: the session's registry rows go at once, and its
// session row is marked ended so that any host removes it (and whatever the main thread may
// still have written meanwhile) at its next start.
[[noreturn]] void terminate(int signal) {
    Watched& w = watched();
    w.mutex.lock(); // kept: nothing may register or beat any more
    if (w.active) {
        scadlav::db::Connection connection;
        if (connection.open(w.connectionString)) {
            noteUnfinishedRebuild(connection, w.sessionId, {});
            run(connection,
                QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = %1").arg(w.userId));
            run(connection, QStringLiteral("UPDATE FWSE_SESSIONE SET FWSE_PID = %1 WHERE FWSE_ID = %2")
                                .arg(kEndedPid)
                                .arg(w.sessionId));
            connection.close();
        }
        std::fflush(stdout);
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(w.signalMessage.arg(QString::fromLatin1(sigabbrev_np(signal)))));
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(128 + signal);
}

// The handler only hands the signal to the session thread: nothing else is safe inside it.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void onBrokenPipe(int) {}

void sessionThread() {
    pollfd wait{signalPipe[0], POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&wait, 1, HostSession::kHeartbeatSeconds * 1000);
        unsigned char signal = 0;
        if (ready > 0 && ::read(signalPipe[0], &signal, 1) == 1)
            terminate(signal);
        if (ready == 0)
            beat();
    }
}

} // namespace

struct HostSession::Row {
    int id = 0;
    int userId = 0;
    QString identity;
    QString host;
    qint64 pid = 0;
    QString stamp;
    QString started;
    qint64 silence = 0;
};

void HostSession::installSignalHandling() {
    // Handlers rather than a blocked signal mask or SIG_IGN: programs the host starts get the
    // default behaviour back when they are executed.
    if (::pipe2(signalPipe, O_CLOEXEC) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A reader that went away makes writes fail instead of killing the job halfway.
    action.sa_handler = onBrokenPipe;
    sigaction(SIGPIPE, &action, nullptr);
    std::thread(sessionThread).detach();
}

QList<QPair<QString, QStringList>> HostSession::tableStatements() {
    return {{QStringLiteral("FWSE_SESSIONE"),
             {QStringLiteral("CREATE TABLE FWSE_SESSIONE (\n"
                             "    FWSE_ID int NOT NULL,\n"
                             "    FWSE_ID_FW07 smallint NOT NULL,\n"
                             "    FWSE_IDENTITA nvarchar(60) NOT NULL,\n"
                             "    FWSE_HOST nvarchar(128) NOT NULL,\n"
                             "    FWSE_PID int NOT NULL,\n"
                             "    FWSE_PROCESSO nvarchar(80) NOT NULL,\n"
                             "    FWSE_AVVIO datetime NOT NULL,\n"
                             "    FWSE_BATTITO datetime NOT NULL,\n"
                             "    CONSTRAINT PK_FWSE_SESSIONE PRIMARY KEY (FWSE_ID))"),
              QStringLiteral("CREATE UNIQUE INDEX UX_FWSE_UTENTE ON FWSE_SESSIONE (FWSE_ID_FW07)")}},
            {QStringLiteral("FWSR_RICINTERROTTI"),
             {QStringLiteral("CREATE TABLE FWSR_RICINTERROTTI (\n"
                             "    FWSR_ID_FW07 smallint NOT NULL,\n"
                             "    FWSR_IDENTITA nvarchar(60) NOT NULL,\n"
                             "    FWSR_AVVIO datetime NOT NULL,\n"
                             "    FWSR_RILEVATO datetime NOT NULL)")}}};
}

HostSession::HostSession(const HostSettings& settings, const TextCatalog& catalog)
    : m_settings(settings), m_catalog(catalog), m_host(QSysInfo::machineHostName().left(128)),
      m_stamp(processStamp(::getpid())) {}

HostSession::~HostSession() {
    end();
}

QString HostSession::text(int id, const QList<scadlav::Value>& parameters) const {
    return m_catalog.text(id, m_settings.language, parameters);
}

QString HostSession::databaseName() const {
    return describeDatabase(m_settings.connectionString);
}

QString HostSession::lastError() const {
    const QString error = m_connection->lastErrorText();
    return error.isEmpty() ? QStringLiteral("?") : error;
}

HostSession::Status HostSession::start() {
    m_connection = std::make_unique<scadlav::db::Connection>();
    // Registering waits for a session that is writing (a rebuild's insert can hold the database
    // for a minute): say so, as the module's own commands do, before any window is up.
    m_connection->setLockWaitNotice([this](bool waiting) {
        if (waiting) {
            std::printf("status: %s\n", qPrintable(text(kTextWaitingForLock, {})));
            std::fflush(stdout);
        }
    });
    auto fail = [this](const QString& why) {
        m_message = text(kTextCannotRegister, {databaseName(), why});
        m_connection.reset();
        return Status::Failed;
    };
    if (!m_connection->open(m_settings.connectionString))
        return fail(lastError());

    // The access registry only sees users of the ERP's user table: anybody else would pass it.
    auto user = m_connection->execute(
        QStringLiteral("SELECT FW07_ID FROM FW07_APPUSER WHERE FW07_ID = %1").arg(m_settings.userId));
    if (!user)
        return fail(lastError());
    if (!user->isOpen() || user->recordCount() == 0) {
        m_message = text(kTextUnknownUser, {int(m_settings.userId), databaseName()});
        m_connection.reset();
        return Status::UnknownUser;
    }
    user.reset();
    if (!ensureTables())
        return fail(lastError());

    // Two hosts may clean up or register at the same moment: the losing insert tries again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto rs = m_connection->execute(
            QStringLiteral("SELECT FWSE_ID, FWSE_ID_FW07, FWSE_IDENTITA, FWSE_HOST, FWSE_PID, FWSE_PROCESSO, "
                           "FWSE_AVVIO, DATEDIFF(second, FWSE_BATTITO, GETDATE()) AS SILENZIO "
                           "FROM FWSE_SESSIONE"));
        if (!rs)
            return fail(lastError());
        QList<Row> rows;
        if (rs->isOpen()) {
            for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
                Row row;
                row.id = int(rs->value(0).toInt64().value_or(0));
                row.userId = int(rs->value(1).toInt64().value_or(0));
                row.identity = rs->value(2).toText();
                row.host = rs->value(3).toText();
                row.pid = rs->value(4).toInt64().value_or(0);
                row.stamp = rs->value(5).toText();
                row.started = rs->value(6).toText();
                row.silence = rs->value(7).toInt64().value_or(0);
                rows << row;
            }
        }
        rs.reset();
        for (const Row& row : rows) {
            if (isDead(row)) {
                removeDead(row);
            } else if (row.userId == m_settings.userId) {
                m_message = text(kTextUserBusy, {int(m_settings.userId), databaseName(), row.identity,
                                                 row.pid, row.host, row.started});
                m_connection.reset();
                return Status::UserBusy;
            }
        }
        if (insertSelf()) {
            readUnfinishedRebuilds();
            Watched& w = watched();
            const std::lock_guard lock(w.mutex);
            w.active = true;
            w.connectionString = m_settings.connectionString;
            w.sessionId = m_id;
            w.userId = m_settings.userId;
            w.signalMessage = text(kTextEndedBySignal, {QStringLiteral("%1"), int(m_settings.userId)});
            m_connection.reset();
            return Status::Started;
        }
    }
    return fail(lastError());
}

bool HostSession::ensureTables() {
    for (const auto& [table, statements] : tableStatements()) {
        auto exists = [this, &table] {
            auto rs = m_connection->execute(QStringLiteral("SELECT OBJECT_ID('%1') AS ID").arg(table));
            return rs && rs->isOpen() && rs->recordCount() > 0 && !rs->value(0).isNull();
        };
        if (exists())
            continue;
        bool created = true;
        for (const QString& sql : statements)
            created = created && run(*m_connection, sql);
        // Another host may have created it meanwhile.
        if (!created && !exists())
            return false;
    }
    return true;
}

void HostSession::readUnfinishedRebuilds() {
    m_warnings.clear();
    // The schedule is read only when there is a note: its oldest stamp costs a scan.
    auto count = m_connection->execute(QStringLiteral("SELECT COUNT(*) AS N FROM FWSR_RICINTERROTTI"));
    if (!count || !count->isOpen() || count->recordCount() == 0 || count->value(0).toInt64().value_or(0) == 0)
        return;
    count.reset();
    // A rebuild that stamped every row of the schedule after the note made it good.
    run(*m_connection, QStringLiteral("DELETE FROM FWSR_RICINTERROTTI WHERE FWSR_RILEVATO < "
                                      "(SELECT MIN(PD5C_DATAELAB) FROM PD5C_SCADLAV)"));
    auto rs = m_connection->execute(QStringLiteral(
        "SELECT FWSR_ID_FW07, FWSR_IDENTITA, FWSR_AVVIO, FWSR_RILEVATO FROM FWSR_RICINTERROTTI "
        "ORDER BY FWSR_RILEVATO"));
    if (!rs || !rs->isOpen())
        return;
    const QLocale locale; // the session's language
    const auto when = [&locale](const scadlav::Value& v) {
        const std::optional<QDateTime> at = v.toDateTime();
        return at ? locale.toString(*at, erpctl::localeDateFormat(locale) + QStringLiteral(" HH:mm"))
                  : v.toText();
    };
    for (rs->moveFirst(); !rs->eof(); rs->moveNext())
        m_warnings << text(kTextRebuildUnfinished,
                           {int(rs->value(0).toInt64().value_or(0)), rs->value(1).toText(),
                            when(rs->value(2)), when(rs->value(3))});
}

bool HostSession::isDead(const Row& row) const {
    if (row.pid == kEndedPid)
        return true;
    if (row.host == m_host)
        return !processAlive(row.pid, row.stamp);
    return row.silence > kSilenceSeconds;
}

void HostSession::removeDead(const Row& row) {
    // The session row is what keeps its user from starting again, so the registry rows go
    // first and only while it still exists: a new session of that user is never touched.
    const QString sameProcess = QStringLiteral(" AND FWSE_PID = %1").arg(row.pid);
    const bool removed =
        noteUnfinishedRebuild(*m_connection, row.id, sameProcess) &&
        run(*m_connection,
            QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = %1 AND EXISTS (SELECT FWSE_ID "
                           "FROM FWSE_SESSIONE WHERE FWSE_ID = %2 AND FWSE_PID = %3)")
                .arg(row.userId)
                .arg(row.id)
                .arg(row.pid)) &&
        run(*m_connection, QStringLiteral("DELETE FROM FWSE_SESSIONE WHERE FWSE_ID = %1 AND FWSE_PID = %2")
                               .arg(row.id)
                               .arg(row.pid));
    if (removed)
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(text(kTextDeadRemoved, {row.userId, row.identity, row.pid, row.host})));
}

bool HostSession::insertSelf() {
    using scadlav::db::sqlLiteral;
    const scadlav::db::Dialect dialect = m_connection->dialect();
    const QString base = m_settings.identity.left(kIdentityBaseLength);
    const qint64 pid = ::getpid();
    // The next free number: the key on FWSE_ID turns a tie into a failed insert.
    const QString insert =
        QStringLiteral(
            "INSERT INTO FWSE_SESSIONE (FWSE_ID, FWSE_ID_FW07, FWSE_IDENTITA, FWSE_HOST, FWSE_PID, "
            "FWSE_PROCESSO, FWSE_AVVIO, FWSE_BATTITO) SELECT ISNULL(MAX(FWSE_ID), 0) + 1, %1, %2 + '_' + "
            "CAST(ISNULL(MAX(FWSE_ID), 0) + 1 AS varchar(10)), %3, %4, %5, GETDATE(), GETDATE() FROM "
            "FWSE_SESSIONE")
            .arg(m_settings.userId)
            .arg(sqlLiteral(base, dialect, true), sqlLiteral(m_host, dialect, true))
            .arg(pid)
            .arg(sqlLiteral(m_stamp, dialect, true));
    if (!run(*m_connection, insert))
        return false;
    auto rs = m_connection->execute(
        QStringLiteral(
            "SELECT FWSE_ID, FWSE_IDENTITA FROM FWSE_SESSIONE WHERE FWSE_ID_FW07 = %1 AND FWSE_PID = "
            "%2 AND FWSE_HOST = %3")
            .arg(m_settings.userId)
            .arg(pid)
            .arg(sqlLiteral(m_host, dialect, true)));
    if (!rs || !rs->isOpen() || rs->recordCount() == 0)
        return false;
    rs->moveFirst();
    m_id = int(rs->value(0).toInt64().value_or(0));
    m_identity = rs->value(1).toText();
    return m_id > 0;
}

void HostSession::end() {
    if (m_id == 0)
        return;
    {
        Watched& w = watched();
        const std::lock_guard lock(w.mutex);
        w.active = false;
    }
    // A connection of its own: the one of the start may have been dropped by the server since.
    scadlav::db::Connection connection;
    if (connection.open(m_settings.connectionString)) {
        // One live session per user: whatever registry rows the user still has are this one's. A
        // rebuild row left means the module's rebuild stopped on a failure before its end.
        noteUnfinishedRebuild(connection, m_id, {});
        run(connection,
            QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = %1").arg(m_settings.userId));
        run(connection, QStringLiteral("DELETE FROM FWSE_SESSIONE WHERE FWSE_ID = %1").arg(m_id));
    }
    m_id = 0;
}

} // namespace erphost
