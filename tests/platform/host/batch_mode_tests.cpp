// Runs the real erp-host in batch mode on generated demo databases, alone, several at once,
// and killed in the middle of a rebuild.
#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "tests/support/ErpDbTesting.h"
#include "tests/support/HandSchedule.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <memory>
#include <vector>

using scadlav::db::Connection;

namespace {

const QString kHost = QStringLiteral(SCADLAV_BINARY_DIR "/bin/erp-host");
const QString kDone = QStringLiteral("message: Ricalcolo terminato correttamente.");
const QString kRefused = QStringLiteral(
    "message: Impossibile eseguire il ricalcolo, i seguenti utenti stanno utilizzando il programma:");
// The first progress text of a rebuild that passed the registry.
const QString kStarted = QStringLiteral("status: Estrazione documenti");

// One erp-host process with each line of its standard output and when it came.
struct HostProcess {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString pending;
    QList<QPair<qint64, QString>> lines;
    QString err;
    int exitCode = -1;

    QString out() const {
        QString text;
        for (const auto& line : lines)
            text += line.second + QLatin1Char('\n');
        return text;
    }
    // When the first line starting with `prefix` came, -1 when none did.
    qint64 timeOf(const QString& prefix) const {
        for (const auto& line : lines) {
            if (line.second.startsWith(prefix))
                return line.first;
        }
        return -1;
    }
};

class BatchMode : public ::testing::Test {
protected:
    BatchMode() {
        database = home.filePath(QStringLiteral("erp.db"));
        QFile::copy(erpdb::testing::demoTemplate(), database);
    }

    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + database; }

    std::unique_ptr<Connection> connect() {
        auto connection = std::make_unique<Connection>();
        EXPECT_TRUE(connection->open(connectionString())) << connection->lastErrorText().toStdString();
        return connection;
    }

    void exec(const QString& sql) {
        auto connection = connect();
        EXPECT_TRUE(connection->execute(sql, scadlav::db::kCmdTextNoRecords))
            << sql.toStdString() << ": " << connection->lastErrorText().toStdString();
    }

    QStringList registry() {
        auto connection = connect();
        QStringList rows;
        auto rs = connection->execute(QStringLiteral(
            "SELECT PD5D_ID_FW07, PD5D_FLGRIC, PD5D_FLGVISU FROM PD5D_ACCESSISCAD ORDER BY PD5D_ID_FW07"));
        if (rs && rs->isOpen()) {
            for (rs->moveFirst(); !rs->eof(); rs->moveNext())
                rows << rs->value(0).toText() + QLatin1Char('/') + rs->value(1).toText() + QLatin1Char('/') +
                            rs->value(2).toText();
        }
        return rows;
    }

    std::unique_ptr<HostProcess> start(const QStringList& arguments) {
        const bool batchJob = arguments.contains(QStringLiteral("--batch"));
        auto host = std::make_unique<HostProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A batch job goes off screen by itself; the interactive host is told to.
        env.remove(QStringLiteral("DISPLAY"));
        if (batchJob)
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        else
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("ERP_FIXED_NOW"), QStringLiteral("2026-03-15 10:00:00"));
        if (!timeZone.isEmpty())
            env.insert(QStringLiteral("TZ"), timeZone);
        host->process->setProcessEnvironment(env);
        HostProcess* raw = host.get();
        QObject::connect(raw->process.get(), &QProcess::readyReadStandardOutput, [raw, this] {
            raw->pending += QString::fromUtf8(raw->process->readAllStandardOutput());
            qsizetype end;
            while ((end = raw->pending.indexOf(QLatin1Char('\n'))) >= 0) {
                raw->lines.append({clock.elapsed(), raw->pending.left(end)});
                raw->pending.remove(0, end + 1);
            }
        });
        host->process->start(kHost, arguments);
        return host;
    }

    // Waits for every process to end (each gets `timeoutMs`).
    void finish(std::vector<std::unique_ptr<HostProcess>>& hosts, int timeoutMs = 120000) {
        QElapsedTimer waited;
        waited.start();
        for (auto& host : hosts) {
            while (host->process->state() != QProcess::NotRunning && waited.elapsed() < timeoutMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (host->process->state() != QProcess::NotRunning) {
                host->process->kill();
                host->process->waitForFinished();
                ADD_FAILURE() << "erp-host did not end";
            }
            QCoreApplication::processEvents();
            host->err = QString::fromUtf8(host->process->readAllStandardError());
            host->exitCode =
                host->process->exitStatus() == QProcess::NormalExit ? host->process->exitCode() : -1;
        }
    }

    // The global temporary tables of the process run with the identity KILLED.
    int killedTables() {
        auto connection = connect();
        auto rs = connection->execute(
            QStringLiteral("SELECT name FROM tempdb..sysobjects WHERE name LIKE '##%KILLED%'"));
        EXPECT_TRUE(rs) << connection->lastErrorText().toStdString();
        return rs && rs->isOpen() ? rs->recordCount() : 0;
    }

    // Every row of the schedule table as text, sorted; the rebuild's own time left out.
    QStringList schedule() {
        auto connection = connect();
        auto rs = connection->execute(QStringLiteral("SELECT * FROM PD5C_SCADLAV"));
        QStringList rows;
        if (!rs || !rs->isOpen())
            return rows;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                if (rs->fieldInfo(i).name != QLatin1String("PD5C_DATAELAB"))
                    cells << rs->value(i).toText();
            }
            rows << cells.join(QLatin1Char('|'));
        }
        rows.sort();
        return rows;
    }

    // The live sessions: user and identity.
    QStringList sessions() {
        auto connection = connect();
        QStringList rows;
        auto rs = connection->execute(
            QStringLiteral("SELECT FWSE_ID_FW07, FWSE_IDENTITA FROM FWSE_SESSIONE ORDER BY FWSE_ID_FW07"));
        if (rs && rs->isOpen()) {
            for (rs->moveFirst(); !rs->eof(); rs->moveNext())
                rows << rs->value(0).toText() + QLatin1Char('/') + rs->value(1).toText();
        }
        return rows;
    }

    // Waits for a line starting with `prefix` and freezes the process there.
    bool stopAt(HostProcess& host, const QString& prefix) {
        QElapsedTimer waited;
        waited.start();
        while (host.timeOf(prefix) < 0 && host.process->state() != QProcess::NotRunning &&
               waited.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (host.timeOf(prefix) < 0)
            return false;
        ::kill(static_cast<pid_t>(host.process->processId()), SIGSTOP);
        return true;
    }

    int runOne(const QStringList& arguments, HostProcess** kept = nullptr) {
        m_single.clear();
        m_single.push_back(start(arguments));
        finish(m_single);
        if (kept)
            *kept = m_single.front().get();
        return m_single.front()->exitCode;
    }

    QStringList batch(int user, const QStringList& more = {}) const {
        return QStringList{QStringLiteral("--batch"),   QStringLiteral("rebuild"),
                           QStringLiteral("--demo-db"), database,
                           QStringLiteral("--user"),    QString::number(user)} +
               more;
    }

    // A job of user 1 on the test's database, and an export of it to `out`.
    QStringList job(const QString& name, const QStringList& more = {}) const {
        return QStringList{QStringLiteral("--batch"),   name,
                           QStringLiteral("--demo-db"), database,
                           QStringLiteral("--user"),    QStringLiteral("1")} +
               more;
    }
    QStringList exportArgs(const QString& out, const QStringList& more = {}) const {
        return job(QStringLiteral("export"), QStringList{QStringLiteral("--out"), out} + more);
    }
    // Documents of every age in the demo order book.
    const QStringList since2020{QStringLiteral("--min-date"), QStringLiteral("2020-01-01")};

    QTemporaryDir home;
    QString database;
    QString timeZone; // TZ of the processes started; empty keeps the machine's
    QElapsedTimer clock;
    std::vector<std::unique_ptr<HostProcess>> m_single;

    void SetUp() override { clock.start(); }
};

TEST_F(BatchMode, BadArgumentsEndWithExitCodeOneAndNameTheOption) {
    struct Case {
        QStringList arguments;
        QString named;
    };
    const QList<Case> cases{
        {{QStringLiteral("--batch"), QStringLiteral("tidy-up")}, QStringLiteral("--batch")},
        {batch(1, {QStringLiteral("--min-date"), QStringLiteral("31/12/2025")}),
         QStringLiteral("--min-date")},
        {batch(1, {QStringLiteral("--min-date"), QStringLiteral("2026-02-30")}),
         QStringLiteral("--min-date")},
        {batch(1, {QStringLiteral("--phase-type"), QStringLiteral("3")}), QStringLiteral("--phase-type")},
        {batch(1, {QStringLiteral("--states"), QStringLiteral("0,5")}), QStringLiteral("--states")},
        {batch(1, {QStringLiteral("--states"), QStringLiteral("1,1")}), QStringLiteral("--states")},
        {batch(1, {QStringLiteral("--states"), QString()}), QStringLiteral("--states")},
        {{QStringLiteral("--batch"), QStringLiteral("export"), QStringLiteral("--out"),
          QStringLiteral("x.csv"), QStringLiteral("--filter"), QString()},
         QStringLiteral("--filter: il valore è vuoto")},
        {{QStringLiteral("--batch"), QStringLiteral("export"), QStringLiteral("--out"),
          QStringLiteral("x.csv"), QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("--filter"),
          QStringLiteral("MG66_CODART=A..B"), QStringLiteral("--filter"), QStringLiteral("mg66_codart=C..D")},
         QStringLiteral("--filter: the field mg66_codart is given more than once")},
    };
    for (const Case& c : cases) {
        HostProcess* host = nullptr;
        EXPECT_EQ(runOne(c.arguments, &host), 1) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(host->err.contains(c.named)) << host->err.toStdString();
    }
    // A value is quoted by its first 200 characters only.
    HostProcess* quoted = nullptr;
    EXPECT_EQ(runOne(batch(1, {QStringLiteral("--min-date"), QString(5000, QLatin1Char('9'))}), &quoted), 1);
    EXPECT_TRUE(quoted->err.contains(QString(200, QLatin1Char('9')) + QChar(0x2026)))
        << quoted->err.toStdString();
    EXPECT_FALSE(quoted->err.contains(QString(201, QLatin1Char('9'))));

    // A job option without a job is a mistake of the interactive host (its own exit code).
    HostProcess* host = nullptr;
    EXPECT_EQ(
        runOne({QStringLiteral("--demo-db"), database, QStringLiteral("--phase-type"), QStringLiteral("1")},
               &host),
        2);
    EXPECT_TRUE(host->err.contains(QStringLiteral("--phase-type"))) << host->err.toStdString();
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(BatchMode, RefusedByTheRegistryEndsWithTwoNamingWhoIsIn) {
    exec(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,1)"));
    HostProcess* host = nullptr;
    EXPECT_EQ(runOne(batch(1), &host), 2) << host->err.toStdString();
    EXPECT_TRUE(host->out().contains(kRefused)) << host->out().toStdString();
    EXPECT_TRUE(host->out().contains(QStringLiteral("Mario Rossi"))) << host->out().toStdString();
    // The confirmation was printed and answered.
    EXPECT_TRUE(
        host->out().contains(QStringLiteral("message: Eseguire ricalcolo con i limiti selezionati ?")));
    EXPECT_EQ(registry(), QStringList{QStringLiteral("2/0/1")});
}

TEST_F(BatchMode, ADatabaseTheScreenCannotOpenEndsWithOneAndTellsTheCause) {
    // Still an ERP database, but the screen's first statement fails on it.
    exec(QStringLiteral("DROP TABLE PD5D_ACCESSISCAD"));
    exec(QStringLiteral("CREATE TABLE PD5D_ACCESSISCAD (ALTRO int NULL)"));
    HostProcess* host = nullptr;
    EXPECT_EQ(runOne(batch(1), &host), 1);
    EXPECT_TRUE(host->err.contains(QStringLiteral("registro errori"))) << host->err.toStdString();
    // The error's own description, not only a pointer to the log.
    EXPECT_TRUE(host->err.contains(QStringLiteral("error: ")) &&
                host->err.contains(QStringLiteral("PD5D_ID_FW07")))
        << host->err.toStdString();
}

TEST_F(BatchMode, RebuildEndsWithZeroAndFillsTheSchedule) {
    HostProcess* host = nullptr;
    EXPECT_EQ(runOne(batch(1, {QStringLiteral("--min-date"), QStringLiteral("2020-01-01"),
                               QStringLiteral("--states"), QStringLiteral("0,1,2,3,4")}),
                     &host),
              0)
        << host->out().toStdString() << host->err.toStdString();
    EXPECT_TRUE(host->out().contains(kDone));
    EXPECT_GE(host->timeOf(kStarted), 0) << host->out().toStdString();
    // Only the job's lines: no notices of the toolkit about the window nobody sees.
    for (const char* noise : {"propagateSizeHints", "XDG_RUNTIME_DIR"})
        EXPECT_FALSE(host->err.contains(QLatin1String(noise)) || host->out().contains(QLatin1String(noise)))
            << host->err.toStdString();
    EXPECT_TRUE(registry().isEmpty());
    auto connection = connect();
    auto rs = connection->execute(QStringLiteral("SELECT COUNT(*) AS N FROM PD5C_SCADLAV"));
    ASSERT_TRUE(rs && rs->isOpen());
    EXPECT_GT(rs->value(0).toInt64().value_or(0), 0);
}

TEST_F(BatchMode, RebuildsStartedTogetherNeverOverlap) {
    std::vector<std::unique_ptr<HostProcess>> hosts;
    const QStringList names{QStringLiteral("Amministratore di sistema"), QStringLiteral("Mario Rossi"),
                            QStringLiteral("Giulia Bianchi"), QStringLiteral("Luca Ferrari")};
    for (int user = 1; user <= 4; ++user)
        hosts.push_back(start(batch(user, since2020)));
    finish(hosts);

    QList<QPair<qint64, qint64>> rebuilds;
    for (const auto& host : hosts) {
        const QString out = host->out();
        if (host->exitCode == 0) {
            const qint64 begin = host->timeOf(kStarted);
            const qint64 end = host->timeOf(kDone);
            ASSERT_GE(begin, 0) << out.toStdString();
            ASSERT_GE(end, begin);
            rebuilds.append({begin, end});
        } else {
            ASSERT_EQ(host->exitCode, 2) << out.toStdString() << host->err.toStdString();
            EXPECT_EQ(host->timeOf(kStarted), -1) << out.toStdString();
            // The refusal names somebody who held the schedule.
            const qsizetype at = out.indexOf(kRefused);
            ASSERT_GE(at, 0) << out.toStdString();
            const QString message = out.mid(at);
            EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&message](const QString& name) {
                return message.contains(name);
            })) << message.toStdString();
        }
    }
    for (int i = 0; i < rebuilds.size(); ++i) {
        for (int j = i + 1; j < rebuilds.size(); ++j) {
            // Lines are stamped in milliseconds when this process reads them: one rebuild's end and
            // the next one's start can be read in the same millisecond.
            const bool apart =
                rebuilds[i].second <= rebuilds[j].first || rebuilds[j].second <= rebuilds[i].first;
            EXPECT_TRUE(apart) << "rebuilds overlap: [" << rebuilds[i].first << "," << rebuilds[i].second
                               << "] [" << rebuilds[j].first << "," << rebuilds[j].second << "]";
        }
    }
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(BatchMode, ARebuildKilledHalfwayLeavesAUsableDatabase) {
    std::vector<std::unique_ptr<HostProcess>> hosts;
    hosts.push_back(start(batch(3, {QStringLiteral("--identity"), QStringLiteral("KILLED"),
                                    QStringLiteral("--min-date"), QStringLiteral("2020-01-01")})));
    HostProcess& host = *hosts.front();
    // Frozen once its working tables exist (the phase extraction comes after them), then killed.
    const QString late = QStringLiteral("status: Estrazione fasi ordini di lavoro");
    QElapsedTimer waited;
    waited.start();
    while (host.timeOf(late) < 0 && host.process->state() != QProcess::NotRunning && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_GE(host.timeOf(late), 0) << host.out().toStdString() << host.err.toStdString();
    const auto pid = static_cast<pid_t>(host.process->processId());
    ::kill(pid, SIGSTOP);
    EXPECT_GT(killedTables(), 0);
    ::kill(pid, SIGKILL);
    host.process->waitForFinished();
    EXPECT_EQ(host.process->exitStatus(), QProcess::CrashExit);

    // The rebuild's row stays; the next opening of the database drops the dead process's tables.
    EXPECT_EQ(registry(), QStringList{QStringLiteral("3/1/0")});
    EXPECT_EQ(killedTables(), 0);
    auto connection = connect();
    EXPECT_TRUE(connection->execute(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(4,0,0)"),
                                    scadlav::db::kCmdTextNoRecords))
        << connection->lastErrorText().toStdString();
    EXPECT_TRUE(connection->execute(QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = 4"),
                                    scadlav::db::kCmdTextNoRecords));
    connection.reset();

    // The same user's next screen clears the stale row; its rebuild then goes through.
    HostProcess* again = nullptr;
    EXPECT_EQ(runOne(batch(3, since2020), &again), 0)
        << again->out().toStdString() << again->err.toStdString();
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(BatchMode, UsersTheErpDoesNotKnowAreRefusedAndCannotSpoilTheSchedule) {
    // The schedule of a rebuild alone, on a copy of the same database.
    const QString alone = database;
    database = home.filePath(QStringLiteral("alone.db"));
    QFile::copy(erpdb::testing::demoTemplate(), database);
    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, since2020), &host), 0) << host->err.toStdString();
    const QStringList clean = schedule();
    ASSERT_FALSE(clean.isEmpty());
    database = alone;

    std::vector<std::unique_ptr<HostProcess>> hosts;
    const QList<int> users{1, 201, 2, 202, 3, 203, 4, 204};
    for (int user : users)
        hosts.push_back(start(batch(user, since2020)));
    finish(hosts);

    QList<QPair<qint64, qint64>> rebuilds;
    for (int i = 0; i < users.size(); ++i) {
        const HostProcess& h = *hosts[i];
        if (users[i] > 200) {
            EXPECT_EQ(h.exitCode, 1) << h.out().toStdString();
            EXPECT_EQ(h.timeOf(QStringLiteral("status:")), -1) << h.out().toStdString();
            EXPECT_TRUE(h.err.contains(QStringLiteral("utente %1 non è registrato").arg(users[i])) &&
                        h.err.contains(database))
                << h.err.toStdString();
        } else if (h.exitCode == 0) {
            rebuilds.append({h.timeOf(kStarted), h.timeOf(kDone)});
        } else {
            EXPECT_EQ(h.exitCode, 2) << h.out().toStdString() << h.err.toStdString();
        }
    }
    for (int i = 0; i < rebuilds.size(); ++i) {
        for (int j = i + 1; j < rebuilds.size(); ++j)
            EXPECT_TRUE(rebuilds[i].second < rebuilds[j].first || rebuilds[j].second < rebuilds[i].first);
    }
    // Known users may all back off from each other; whoever rebuilt left the clean schedule.
    EXPECT_EQ(schedule(), rebuilds.isEmpty() ? QStringList() : clean);
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, TwoSessionsOfOneAccountGetDifferentIdentitiesWhateverTheClock) {
    // Same account, same machine, same fixed time: only the session tells the working tables apart.
    std::vector<std::unique_ptr<HostProcess>> hosts;
    hosts.push_back(start(batch(3, since2020)));
    HostProcess& rebuild = *hosts.front();
    ASSERT_TRUE(stopAt(rebuild, kStarted)) << rebuild.out().toStdString() << rebuild.err.toStdString();
    hosts.push_back(start({QStringLiteral("--demo-db"), database, QStringLiteral("--user"),
                           QStringLiteral("1"), QStringLiteral("--quit-after"), QStringLiteral("3000")}));
    QStringList live;
    QElapsedTimer waited;
    waited.start();
    while ((live = sessions()).size() < 2 && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(live.size(), 2) << live.join(QLatin1Char(' ')).toStdString();
    const QString first = live[0].section(QLatin1Char('/'), 1);
    const QString second = live[1].section(QLatin1Char('/'), 1);
    EXPECT_NE(first, second);
    // Both keep the account and machine, and stay short enough for the working tables' names.
    EXPECT_EQ(first.section(QLatin1Char('_'), 0, -2), second.section(QLatin1Char('_'), 0, -2));
    EXPECT_LE(QStringLiteral("##TempDatiGRP_%1_2026_03_15_10_00_00").arg(first).size(), 116);

    ::kill(static_cast<pid_t>(rebuild.process->processId()), SIGCONT);
    finish(hosts);
    EXPECT_EQ(hosts[0]->exitCode, 0) << hosts[0]->err.toStdString();
    EXPECT_EQ(hosts[1]->exitCode, 0) << hosts[1]->err.toStdString();
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, ASecondSessionOfTheSameUserIsRefusedWhileTheFirstLives) {
    std::vector<std::unique_ptr<HostProcess>> hosts;
    hosts.push_back(start(batch(2, since2020)));
    HostProcess& rebuild = *hosts.front();
    ASSERT_TRUE(stopAt(rebuild, kStarted)) << rebuild.out().toStdString() << rebuild.err.toStdString();
    ASSERT_EQ(registry(), QStringList{QStringLiteral("2/1/0")});

    HostProcess* again = nullptr;
    const QStringList exportArguments{QStringLiteral("--batch"),   QStringLiteral("export"),
                                      QStringLiteral("--demo-db"), database,
                                      QStringLiteral("--user"),    QStringLiteral("2"),
                                      QStringLiteral("--out"),     home.filePath(QStringLiteral("out.csv")),
                                      QStringLiteral("--lang"),    QStringLiteral("en")};
    EXPECT_EQ(runOne(exportArguments, &again), 2);
    EXPECT_TRUE(again->err.contains(QStringLiteral("User 2 already has a session open")))
        << again->err.toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("out.csv"))));
    // The rebuild's row is still there, so nobody else gets in either.
    EXPECT_EQ(registry(), QStringList{QStringLiteral("2/1/0")});

    ::kill(static_cast<pid_t>(rebuild.process->processId()), SIGCONT);
    finish(hosts);
    EXPECT_EQ(rebuild.exitCode, 0) << rebuild.err.toStdString();
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, AKilledSessionNeverBlocksAnybodyAfterItIsGone) {
    std::vector<std::unique_ptr<HostProcess>> hosts;
    hosts.push_back(start(batch(3, since2020)));
    HostProcess& killed = *hosts.front();
    ASSERT_TRUE(stopAt(killed, kStarted)) << killed.out().toStdString();
    ::kill(static_cast<pid_t>(killed.process->processId()), SIGKILL);
    finish(hosts);
    ASSERT_EQ(registry(), QStringList{QStringLiteral("3/1/0")});

    HostProcess* other = nullptr;
    EXPECT_EQ(runOne(batch(4, since2020), &other), 0)
        << other->out().toStdString() << other->err.toStdString();
    EXPECT_TRUE(other->err.contains(QStringLiteral("Rimossa la sessione terminata dell'utente 3")))
        << other->err.toStdString();
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, TerminationSignalsEndABatchJobCleanly) {
    for (int signal : {SIGTERM, SIGINT}) {
        std::vector<std::unique_ptr<HostProcess>> hosts;
        hosts.push_back(start(batch(2, since2020)));
        HostProcess& job = *hosts.front();
        ASSERT_TRUE(stopAt(job, kStarted)) << job.out().toStdString();
        const auto pid = static_cast<pid_t>(job.process->processId());
        ::kill(pid, signal);
        ::kill(pid, SIGCONT);
        finish(hosts);
        EXPECT_EQ(job.exitCode, 128 + signal) << job.err.toStdString();
        EXPECT_EQ(job.timeOf(kDone), -1);
        EXPECT_TRUE(job.err.contains(QStringLiteral("Interrotto dal segnale"))) << job.err.toStdString();
        EXPECT_TRUE(registry().isEmpty()) << signal;
    }
    // Nobody is blocked afterwards.
    HostProcess* next = nullptr;
    EXPECT_EQ(runOne(batch(3, since2020), &next), 0) << next->err.toStdString();
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, AFileThatIsNoErpDatabaseIsRefusedUntouched) {
    QByteArray random(6000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    struct Foreign {
        QString name;
        QByteArray content;
    };
    QList<Foreign> files{{QStringLiteral("empty.db"), {}}, {QStringLiteral("random.db"), random}};
    {
        // Another program's SQLite database.
        const QString path = home.filePath(QStringLiteral("other.db"));
        std::vector<tsqlite::Error> errors;
        auto other = tsqlite::Connection::open(path.toStdString(), errors, true);
        ASSERT_TRUE(other);
        ASSERT_TRUE(other->execute("CREATE TABLE Rubrica (Nome nvarchar(40))", nullptr, errors));
        other.reset();
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        files.append({QStringLiteral("other.db"), file.readAll()});
    }
    for (const Foreign& foreign : files) {
        const QString path = home.filePath(foreign.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(foreign.content);
        file.close();
        const QDateTime written = QFileInfo(path).lastModified();
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("--connect"), QStringLiteral("Provider=tsqlite;Data Source=") + path,
                          QStringLiteral("--quit-after"), QStringLiteral("200")},
              QStringList{QStringLiteral("--batch"), QStringLiteral("rebuild"), QStringLiteral("--demo-db"),
                          path}}) {
            HostProcess* host = nullptr;
            EXPECT_NE(runOne(arguments, &host), 0) << foreign.name.toStdString();
            EXPECT_TRUE(host->err.contains(QStringLiteral("non è un database ERP")))
                << host->err.toStdString();
            QFile after(path);
            ASSERT_TRUE(after.open(QIODevice::ReadOnly));
            EXPECT_EQ(after.readAll(), foreign.content) << foreign.name.toStdString();
            EXPECT_EQ(QFileInfo(path).lastModified(), written) << foreign.name.toStdString();
            EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
        }
    }
}
} // namespace

namespace {

// The rows of a CSV file written by the export: the header and every data line.
QStringList csvLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The fields of one CSV line, with quoted fields holding commas and doubled quotes.
QStringList csvFields(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace

TEST_F(BatchMode, ExportWritesTheClassifiedScheduleAndKeepsFilterValuesLiteral) {
    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, since2020), &host), 0) << host->out().toStdString() << host->err.toStdString();

    auto exportTo = [&](const QString& name, const QStringList& more) {
        const QString out = home.filePath(name);
        return std::make_pair(runOne(exportArgs(out, since2020 + more)), out);
    };

    // Every column of the record set, classification codes included, one line per phase shown.
    auto [code, all] = exportTo(QStringLiteral("all.csv"), {QStringLiteral("--sort"), QStringLiteral("2")});
    ASSERT_EQ(code, 0);
    const QStringList lines = csvLines(all);
    ASSERT_GT(lines.size(), 1);
    const QStringList header = csvFields(lines.first());
    for (const char* column : {"PD5C_KEYGRID", "CTRL_DATE", "CTRL_QTA", "SOLL", "PD5C_SEL"})
        EXPECT_TRUE(header.contains(QString::fromLatin1(column))) << column;
    const qsizetype ctrlDate = header.indexOf(QStringLiteral("CTRL_DATE"));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString value = csvFields(lines[i]).value(ctrlDate);
        EXPECT_TRUE(value == u"1" || value == u"2" || value == u"3") << lines[i].toStdString();
    }
    // View mode: the export neither marks rows nor stays in the registry.
    EXPECT_TRUE(registry().isEmpty());

    // A .xlsx name gets the screen's typed workbook: the grid's captions, numbers as numbers.
    auto [typed, workbook] = exportTo(QStringLiteral("fasi.xlsx"), {});
    ASSERT_EQ(typed, 0);
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                 "sys.stdout.write(z.read('xl/worksheets/sheet1.xml').decode())"),
                  workbook});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QString sheet = QString::fromUtf8(python.readAllStandardOutput());
    EXPECT_TRUE(sheet.contains(QStringLiteral("<t>Forn./Rep.</t>"))) << sheet.left(400).toStdString();
    EXPECT_FALSE(sheet.contains(QStringLiteral("PD5C_KEYGRID")));
    // Quantities are plain number cells: <c r="..." s="N"><v>12.5</v></c>, no text type.
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"re(<c r="[A-Z]+\d+" s="\d+"><v>[\d.]+</v></c>)re"))
                    .match(sheet)
                    .hasMatch());

    // A quote in a filter value is a literal: no supplier has that code, so only the header.
    auto [quoted, none] = exportTo(QStringLiteral("none.csv"),
                                   {QStringLiteral("--filter"), QStringLiteral("MG66_CODART=A'1%..A'1%")});
    EXPECT_EQ(quoted, 0);
    EXPECT_EQ(csvLines(none).size(), 1);

    // A field the filter panel does not have is refused by name, and nothing is written.
    auto [refused, unknown] =
        exportTo(QStringLiteral("unknown.csv"), {QStringLiteral("--filter"), QStringLiteral("NOPE=1..2")});
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(QFile::exists(unknown));

    // A full disk: the write error is reported and the job fails, nothing claims rows written.
    HostProcess* full = nullptr;
    EXPECT_EQ(runOne(exportArgs(QStringLiteral("/dev/full"), since2020), &full), 1);
    EXPECT_TRUE(full->err.contains(QStringLiteral("/dev/full"))) << full->err.toStdString();
    EXPECT_FALSE(full->out().contains(QStringLiteral("righe scritte"))) << full->out().toStdString();
}

// The summary line speaks the session's language, the count grouped in Italian and plain in
// English, as scripts read it; the file itself is the same in both languages.
TEST_F(BatchMode, TheExportSummarySpeaksTheSessionLanguageAndTheFileDoesNot) {
    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, since2020), &host), 0) << host->out().toStdString() << host->err.toStdString();
    const auto exportIn = [&](const QString& language) {
        const QString out = home.filePath(language + QStringLiteral(".csv"));
        HostProcess* run = nullptr;
        EXPECT_EQ(runOne(exportArgs(out, since2020 + QStringList{QStringLiteral("--lang"), language}), &run),
                  0)
            << run->err.toStdString();
        return std::make_pair(run->out(), out);
    };
    const auto [italian, italianFile] = exportIn(QStringLiteral("it"));
    const auto [english, englishFile] = exportIn(QStringLiteral("en"));

    const qsizetype rows = csvLines(englishFile).size() - 1;
    ASSERT_GT(rows, 999) << "too few rows to show the grouping";
    EXPECT_TRUE(italian.contains(QStringLiteral("export: %1 righe scritte in %2\n")
                                     .arg(QLocale(QLocale::Italian).toString(rows), italianFile)))
        << italian.toStdString();
    EXPECT_TRUE(
        english.contains(QStringLiteral("export: %1 rows written to %2\n").arg(rows).arg(englishFile)))
        << english.toStdString();
    QFile first(italianFile);
    QFile second(englishFile);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    EXPECT_TRUE(first.readAll() == second.readAll());

    // A problem with an option, before any session, in the language asked.
    HostProcess* refused = nullptr;
    EXPECT_EQ(runOne(batch(1, {QStringLiteral("--sort"), QStringLiteral("9")}), &refused), 1);
    EXPECT_TRUE(
        refused->err.contains(QStringLiteral("erp-host: l'opzione --sort vale solo per i lavori export e "
                                             "reminders\nerp-host: vedere erp-host --help\n")))
        << refused->err.toStdString();
}

// Dates are wall-clock readings: the export writes the same digits whatever the zone, also a
// midnight or a time of day that the zone skips when its daylight-saving time starts.
TEST_F(BatchMode, ExportWritesTheSameDatesInEveryTimeZone) {
    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, {QStringLiteral("--min-date"), QStringLiteral("2000-01-01")}), &host), 0)
        << host->out().toStdString() << host->err.toStdString();
    // Skipped in Sao Paulo (midnight of 4 November 2018), Rome (02:30 of 29 March 2026) and
    // Chatham (02:50 of 27 September 2026).
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_DATAINIFASE = '2018-11-04 00:00:00', "
                        "PD5C_DATAFINEFASE = '2026-03-29 02:30:00', PD5C_DATADOC = '2026-09-27 02:50:00'"));
    QByteArray reference;
    for (const char* zone : {"UTC", "Europe/Rome", "America/Sao_Paulo", "Pacific/Chatham"}) {
        timeZone = QString::fromLatin1(zone);
        const QString out = home.filePath(QStringLiteral("dates-%1.csv").arg(timeZone.section(u'/', -1)));
        HostProcess* run = nullptr;
        ASSERT_EQ(runOne(exportArgs(out, {QStringLiteral("--min-date"), QStringLiteral("2000-01-01")}), &run),
                  0)
            << zone << ": " << run->err.toStdString();
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        if (reference.isEmpty()) {
            reference = written;
            EXPECT_GT(csvLines(out).size(), 10);
            for (const char* date :
                 {",2018-11-04 00:00:00,", ",2026-03-29 02:30:00,", ",2026-09-27 02:50:00,"})
                EXPECT_TRUE(written.contains(date)) << date;
        } else {
            EXPECT_TRUE(written == reference) << zone << " wrote other bytes than UTC";
        }
    }
}

TEST_F(BatchMode, ExportOfTheProposalsAndOfTheCustomerCommitmentViews) {
    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, since2020), &host), 0) << host->out().toStdString() << host->err.toStdString();
    auto exportTo = [&](const QString& name, const QStringList& more, HostProcess** run = nullptr) {
        const QString out = home.filePath(name);
        return std::make_pair(runOne(exportArgs(out, more), run), out);
    };

    // The proposals: the covered and partly covered phases of the schedule, fully covered first,
    // then by supplier and order date.
    auto [scheduleCode, schedulePath] = exportTo(QStringLiteral("schedule.csv"), since2020);
    ASSERT_EQ(scheduleCode, 0);
    const QStringList scheduleLines = csvLines(schedulePath);
    const qsizetype scheduleQta = csvFields(scheduleLines.value(0)).indexOf(QStringLiteral("CTRL_QTA"));
    int covered = 0;
    for (qsizetype i = 1; i < scheduleLines.size(); ++i) {
        const QString code = csvFields(scheduleLines[i]).value(scheduleQta);
        covered += code == u"1" || code == u"2";
    }
    ASSERT_GT(covered, 0);
    auto [code, path] =
        exportTo(QStringLiteral("proposals.csv"), since2020 + QStringList{"--view", "proposals"});
    ASSERT_EQ(code, 0);
    const QStringList lines = csvLines(path);
    ASSERT_EQ(lines.size() - 1, covered);
    const QStringList header = csvFields(lines.first());
    const qsizetype qta = header.indexOf(QStringLiteral("CTRL_QTA"));
    const qsizetype supplier = header.indexOf(QStringLiteral("PD5C_CLIFOR_CG44"));
    const qsizetype date = header.indexOf(QStringLiteral("PD5C_DATADOC"));
    ASSERT_TRUE(qta >= 0 && supplier >= 0 && date >= 0);
    auto key = [&](const QString& line) {
        const QStringList f = csvFields(line);
        return std::make_tuple(f.value(qta).toInt(), f.value(supplier).toLongLong(), f.value(date));
    };
    for (qsizetype i = 2; i < lines.size(); ++i)
        EXPECT_LE(key(lines[i - 1]), key(lines[i])) << lines[i].toStdString();

    // The customer commitment of an article that both companies sell: the lines of both.
    auto connection = connect();
    auto shared = connection->execute(QStringLiteral(
        "SELECT DO30_CODART_MG66, COUNT(*) FROM DO11_DOCTESTATA JOIN DO30_DOCCORPO "
        "ON DO30_DITTA_CG18 = DO11_DITTA_CG18 AND DO30_NUMREG_CO99 = DO11_NUMREG_CO99 "
        "WHERE DO11_TIPODOC = 21 AND DO11_STIPODOC = 1 AND DO30_FLGANNULLATA = 0 AND DO30_FLGEVASA = 0 "
        "AND DO30_QTA1EVASA < DO30_QTA1 GROUP BY DO30_CODART_MG66 "
        "HAVING COUNT(DISTINCT DO11_DITTA_CG18) > 1 ORDER BY DO30_CODART_MG66"));
    ASSERT_TRUE(shared && shared->isOpen() && !shared->eof()) << connection->lastErrorText().toStdString();
    const QString article = shared->value(0).toText();
    const int open = int(shared->value(1).toInt64().value_or(0));
    auto [commitmentCode, commitmentPath] =
        exportTo(QStringLiteral("commitment.csv"), {QStringLiteral("--view"), QStringLiteral("commitment"),
                                                    QStringLiteral("--article"), article});
    ASSERT_EQ(commitmentCode, 0);
    const QStringList commitment = csvLines(commitmentPath);
    EXPECT_EQ(commitment.size() - 1, open);
    EXPECT_EQ(csvFields(commitment.value(0)).value(0), QStringLiteral("DO11_DOCUM_MG36"));
    const qsizetype residual = csvFields(commitment.value(0)).indexOf(QStringLiteral("VFW_QTA1RES"));
    for (qsizetype i = 1; i < commitment.size(); ++i)
        EXPECT_GT(csvFields(commitment[i]).value(residual).toDouble(), 0.0) << commitment[i].toStdString();

    // A quote in the article reaches the server as typed: the job fails and says why; no
    // article, or an article for another view, is refused by its option.
    HostProcess* quoted = nullptr;
    auto [quoteCode, quotePath] = exportTo(QStringLiteral("quote.csv"),
                                           {QStringLiteral("--view"), QStringLiteral("commitment"),
                                            QStringLiteral("--article"), QStringLiteral("A'B")},
                                           &quoted);
    EXPECT_EQ(quoteCode, 1);
    EXPECT_TRUE(quoted->err.contains(QStringLiteral("A'B"))) << quoted->err.toStdString();
    EXPECT_TRUE(quoted->err.contains(QStringLiteral("contiene un apice"))) << quoted->err.toStdString();
    EXPECT_FALSE(QFile::exists(quotePath));
    HostProcess* missing = nullptr;
    EXPECT_EQ(
        exportTo(QStringLiteral("x.csv"), {QStringLiteral("--view"), QStringLiteral("commitment")}, &missing)
            .first,
        1);
    EXPECT_TRUE(missing->err.contains(QStringLiteral("--article"))) << missing->err.toStdString();
    EXPECT_EQ(exportTo(QStringLiteral("y.csv"), {QStringLiteral("--view"), QStringLiteral("nope")}).first, 1);
}

// The function menu on the demo order book, in the real host off screen (the user guide's
// tour): "Impegnato cliente", "Situazione giacenze" and "Proposte C/Lav." each show rows of the
// order book, and the batch export views write the same number of rows.
TEST_F(BatchMode, TheFunctionMenuShowsTheOrderBookAndTheExportViewsWriteTheSameRows) {
    // Before any rebuild there is no schedule: the proposals view says so and writes nothing.
    const QString early = home.filePath(QStringLiteral("early.csv"));
    HostProcess* empty = nullptr;
    EXPECT_EQ(runOne(exportArgs(early, {QStringLiteral("--view"), QStringLiteral("proposals")}), &empty), 1);
    EXPECT_TRUE(empty->err.contains(QStringLiteral("rebuild"))) << empty->err.toStdString();
    EXPECT_FALSE(QFile::exists(early));

    HostProcess* host = nullptr;
    ASSERT_EQ(runOne(batch(1, {}), &host), 0) << host->out().toStdString() << host->err.toStdString();
    const QString pictures = home.filePath(QStringLiteral("pictures"));
    HostProcess* tour = nullptr;
    ASSERT_EQ(runOne({QStringLiteral("--demo-db"), database, QStringLiteral("--user"), QStringLiteral("1"),
                      QStringLiteral("--screenshots"), pictures},
                     &tour),
              0)
        << tour->out().toStdString() << tour->err.toStdString();
    const QString shown = tour->out();
    const QRegularExpressionMatch commitment =
        QRegularExpression(QStringLiteral("shown: commitment (\\S+) (\\d+) rows")).match(shown);
    const QRegularExpressionMatch stock =
        QRegularExpression(QStringLiteral("shown: stock (\\S+) (\\d+) warehouses")).match(shown);
    const QRegularExpressionMatch proposals =
        QRegularExpression(QStringLiteral("shown: proposals (\\d+) rows, first (.+), last (.+)\n"))
            .match(shown);
    ASSERT_TRUE(commitment.hasMatch() && stock.hasMatch() && proposals.hasMatch()) << shown.toStdString();
    const QString article = commitment.captured(1);
    EXPECT_EQ(stock.captured(1), article);
    EXPECT_GT(commitment.captured(2).toInt(), 0);
    EXPECT_GT(stock.captured(2).toInt(), 0);
    for (const char* picture : {"schedule-commitment.png", "stock-console.png", "proposals.png"})
        EXPECT_TRUE(QFileInfo(QDir(pictures).filePath(QString::fromLatin1(picture))).size() > 0) << picture;

    QStringList lines; // of the last view exported
    auto exported = [&](const QStringList& view) {
        const QString out = home.filePath(QStringLiteral("view.csv"));
        QFile::remove(out);
        HostProcess* run = nullptr;
        const int code = runOne(exportArgs(out, view), &run);
        EXPECT_EQ(code, 0) << run->err.toStdString();
        lines = csvLines(out);
        return lines.size() - 1;
    };
    EXPECT_EQ(exported({QStringLiteral("--view"), QStringLiteral("commitment"), QStringLiteral("--article"),
                        article}),
              commitment.captured(2).toInt());
    EXPECT_EQ(exported({QStringLiteral("--view"), QStringLiteral("proposals")}),
              proposals.captured(1).toInt());
    // In the screen's order: the same first and last phase.
    const qsizetype key = csvFields(lines.value(0)).indexOf(QStringLiteral("PD5C_KEYGRID"));
    ASSERT_GE(key, 0);
    EXPECT_EQ(csvFields(lines.value(1)).value(key).trimmed(), proposals.captured(2));
    EXPECT_EQ(csvFields(lines.last()).value(key).trimmed(), proposals.captured(3));
}

// ---- reschedule and undo-reschedule --------------------------------------------------------

class BatchReschedule : public BatchMode {
protected:
    // A demo order line with at least four phases in the schedule, none of them settled, and what
    // each phase lasts by its routing row (or the phase's own lead time).
    void SetUp() override {
        BatchMode::SetUp();
        HostProcess* host = nullptr;
        ASSERT_EQ(runOne(batch(1, since2020), &host), 0) << host->out().toStdString();
        auto c = connect();
        const auto chosen = scadlav::testing::lineOfFourPhases(*c);
        ASSERT_TRUE(chosen) << c->lastErrorText().toStdString();
        order = chosen->first;
        line = chosen->second;
        phases = scadlav::testing::handPhases(*c, 1, order, line);
        calendar = scadlav::testing::HandCalendar::of(*c, 1);
        before = storedDates();
    }

    // Forward from phase `from` (an index) starting on `day`, or backward from it ending on
    // `day`, as the routing and the calendar say; the other phases keep their dates.
    QStringList expected(int from, const QDate& day, bool forward) const {
        const QStringList walked =
            scadlav::testing::handLines(scadlav::testing::handWalk(phases, calendar, from, day, forward));
        QStringList out = before;
        for (int i = forward ? from : 0; i <= (forward ? int(phases.size()) - 1 : from); ++i)
            out[i] = walked[i];
        return out;
    }

    // The phases of the order line as the job prints them.
    QStringList storedDates() {
        auto c = connect();
        auto rs = c->execute(
            QStringLiteral("SELECT DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_DATAINIZIO, "
                           "DO46_DATAFINE FROM DO46_DOCCORORDDET WHERE DO46_DITTA_CG18 = 1 AND "
                           "DO46_NUMREG_CO99 = '%1' AND DO46_PROGRIGA = %2 ORDER BY 1, 2")
                .arg(order)
                .arg(line));
        QStringList out;
        for (rs->moveFirst(); rs && rs->isOpen() && !rs->eof(); rs->moveNext())
            out << QStringLiteral("%1;%2;%3;%4;%5")
                       .arg(rs->value(0).toText(), rs->value(1).toText(), rs->value(2).toText(),
                            rs->value(3).toDateTime()->date().toString(Qt::ISODate),
                            rs->value(4).toDateTime()->date().toString(Qt::ISODate));
        return out;
    }
    QStringList reschedule(int phase, const QStringList& more) const {
        return job(QStringLiteral("reschedule"),
                   {QStringLiteral("--order"), order, QStringLiteral("--line"), QString::number(line),
                    QStringLiteral("--phase"), QString::number(phases[phase].sequence)}) +
               more;
    }
    // The phase lines of the job's output.
    static QStringList printed(const HostProcess& host) {
        QStringList out;
        for (const auto& l : host.lines)
            if (!l.second.startsWith(QLatin1String("message:")) &&
                !l.second.startsWith(QLatin1String("status:")))
                out << l.second;
        return out;
    }

    QString order;
    qint64 line = 0;
    QList<scadlav::testing::HandPhase> phases;
    scadlav::testing::HandCalendar calendar;
    QStringList before;
};

TEST_F(BatchReschedule, ForwardAndBackwardRunsFollowTheRoutingAndTheCalendarAndUndoPutsThemBack) {
    ASSERT_GE(phases.size(), 4);
    ASSERT_EQ(before.size(), phases.size());
    HostProcess* host = nullptr;
    // A Saturday before Easter Monday 2026: the start moves to Tuesday 7 April.
    ASSERT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-04-04")}), &host), 0)
        << host->out().toStdString() << host->err.toStdString();
    const QStringList forward = expected(1, QDate(2026, 4, 4), true);
    EXPECT_EQ(printed(*host), forward);
    EXPECT_EQ(storedDates(), forward);
    EXPECT_TRUE(host->out().contains(QStringLiteral("message: Elaborazione terminata correttamente !!")));

    // Backward from the last phase, ending on Ferragosto: the end moves to Friday 14 August.
    const int last = int(phases.size()) - 1;
    ASSERT_EQ(runOne(reschedule(last, {QStringLiteral("--end"), QStringLiteral("2026-08-15")}), &host), 0)
        << host->out().toStdString() << host->err.toStdString();
    before = forward;
    EXPECT_EQ(storedDates(), expected(last, QDate(2026, 8, 15), false));

    // Only the last recalculation is undone: the dates of the forward run come back; a second
    // undo finds nothing.
    ASSERT_EQ(runOne(job(QStringLiteral("undo-reschedule")), &host), 0) << host->out().toStdString();
    EXPECT_EQ(storedDates(), forward);
    EXPECT_EQ(runOne(job(QStringLiteral("undo-reschedule")), &host), 5);
    EXPECT_TRUE(host->out().contains(QStringLiteral("nessun ricalcolo"))) << host->out().toStdString();
}

TEST_F(BatchReschedule, ADirectionClickedOnTheTypedPhaseMovesThatPhaseAlone) {
    HostProcess* host = nullptr;
    // "Mod." clicked from "Avanti" to "Fase corr.": the phase starts on the Tuesday after Easter
    // Monday and lasts what its routing says; the others keep their dates.
    ASSERT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-04-04"),
                                    QStringLiteral("--direction"), QStringLiteral("phase")}),
                     &host),
              0)
        << host->out().toStdString() << host->err.toStdString();
    QStringList alone = before;
    alone[1] = expected(1, QDate(2026, 4, 4), true)[1];
    EXPECT_EQ(printed(*host), alone);
    EXPECT_EQ(storedDates(), alone);
}

TEST_F(BatchReschedule, RefusedDatesEndWithThreeAndUnknownPhasesWithOneWritingNothing) {
    HostProcess* host = nullptr;
    // An end before the start typed on the same phase is refused by the detail's ordering rules.
    EXPECT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-05-10"),
                                    QStringLiteral("--end"), QStringLiteral("2026-05-01")}),
                     &host),
              3)
        << host->out().toStdString() << host->err.toStdString();
    EXPECT_TRUE(host->out().contains(QStringLiteral("message: "))) << "the refusal is printed";
    EXPECT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("1700-01-01")}), &host), 3)
        << host->out().toStdString();
    EXPECT_EQ(runOne(job(QStringLiteral("reschedule"),
                         {QStringLiteral("--order"), QStringLiteral("NOPE"), QStringLiteral("--line"),
                          QStringLiteral("1"), QStringLiteral("--phase"), QStringLiteral("10"),
                          QStringLiteral("--start"), QStringLiteral("2026-05-10")}),
                     &host),
              1);
    EXPECT_TRUE(host->err.contains(QStringLiteral("NOPE"))) << host->err.toStdString();
    // A line or a phase the order does not have.
    EXPECT_EQ(runOne(job(QStringLiteral("reschedule"),
                         {QStringLiteral("--order"), order, QStringLiteral("--line"), QStringLiteral("999"),
                          QStringLiteral("--phase"), QString::number(phases[1].sequence),
                          QStringLiteral("--start"), QStringLiteral("2026-05-10")}),
                     &host),
              1);
    EXPECT_TRUE(host->err.contains(QStringLiteral("999"))) << host->err.toStdString();
    EXPECT_EQ(runOne(job(QStringLiteral("reschedule"),
                         {QStringLiteral("--order"), order, QStringLiteral("--line"), QString::number(line),
                          QStringLiteral("--phase"), QStringLiteral("9999"), QStringLiteral("--start"),
                          QStringLiteral("2026-05-10")}),
                     &host),
              1);
    EXPECT_TRUE(host->err.contains(QStringLiteral("9999"))) << host->err.toStdString();
    EXPECT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-02-30")}), &host), 1);
    EXPECT_TRUE(host->err.contains(QStringLiteral("--start"))) << host->err.toStdString();
    EXPECT_EQ(storedDates(), before);
    EXPECT_EQ(runOne(job(QStringLiteral("undo-reschedule")), &host), 5) << "nothing was recalculated";
}

TEST_F(BatchReschedule, ARebuildInProgressKeepsTheRecalculationOutAndAKilledOneNoLonger) {
    std::vector<std::unique_ptr<HostProcess>> hosts;
    hosts.push_back(start(batch(2, since2020)));
    HostProcess& rebuild = *hosts.front();
    ASSERT_TRUE(stopAt(rebuild, kStarted)) << rebuild.out().toStdString() << rebuild.err.toStdString();

    HostProcess* host = nullptr;
    EXPECT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-04-04")}), &host), 2)
        << host->out().toStdString() << host->err.toStdString();
    EXPECT_EQ(storedDates(), before) << "nothing written while the schedule is being rebuilt";

    // The rebuild dies halfway: its session and registry row go with it, the dates can be moved.
    ::kill(static_cast<pid_t>(rebuild.process->processId()), SIGKILL);
    finish(hosts);
    ASSERT_EQ(runOne(reschedule(1, {QStringLiteral("--start"), QStringLiteral("2026-04-04")}), &host), 0)
        << host->out().toStdString() << host->err.toStdString();
    EXPECT_EQ(storedDates(), expected(1, QDate(2026, 4, 4), true));
}
