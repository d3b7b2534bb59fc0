// Runs the real erp-host in batch mode on generated demo databases, alone, several at once,
// and killed in the middle of a rebuild.
#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "tests/platform/host/host_process_fixture.h" // the processes, gtest and the demo template
#include "tests/platform/tsqlite/TestSupport.h"
#include "tests/support/HandSchedule.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>

using erphost::testing::HostProcess;
using scadlav::db::Connection;

namespace {

const QString kDone = QStringLiteral("message: Ricalcolo terminato correttamente.");
const QString kRefused = QStringLiteral(
    "message: Impossibile eseguire il ricalcolo, i seguenti utenti stanno utilizzando il programma:");
// The first progress text of a rebuild that passed the registry.
const QString kStarted = QStringLiteral("status: Estrazione documenti");

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The rows of a CSV file written by the export: the header and every data line; none without a file.
QStringList csvLines(const QString& path) {
    QStringList lines = QString::fromUtf8(bytesOf(path)).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The fields of one CSV line, with quoted fields holding commas and doubled quotes.
QStringList csvFields(const QString& line) {
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
            fields.last() += line[++i];
        else if (line[i] == u'"')
            quoted = !quoted;
        else if (line[i] == u',' && !quoted)
            fields << QString();
        else
            fields.last() += line[i];
    }
    return fields;
}

class BatchMode : public erphost::testing::HostProcessTest {
protected:
    std::unique_ptr<Connection> connect() {
        auto connection = std::make_unique<Connection>();
        EXPECT_TRUE(connection->open("Provider=tsqlite;Data Source=" + database))
            << connection->lastErrorText();
        return connection;
    }

    void exec(const QString& sql) {
        auto connection = connect();
        EXPECT_TRUE(connection->execute(sql, scadlav::db::kCmdTextNoRecords))
            << sql << ": " << connection->lastErrorText();
    }

    // The rows of a query, each as its cells' texts joined by `separator`, the column `skip` left out.
    QStringList rowsOf(const QString& sql, QChar separator = u'/', const QString& skip = {}) {
        auto connection = connect();
        auto rs = connection->execute(sql);
        EXPECT_TRUE(rs && rs->isOpen()) << sql << ": " << connection->lastErrorText();
        QStringList rows;
        if (!rs || !rs->isOpen())
            return rows;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                if (skip.isEmpty() || rs->fieldInfo(i).name != skip)
                    cells << rs->value(i).toText();
            }
            rows << cells.join(separator);
        }
        return rows;
    }
    QStringList registry() {
        return rowsOf(
            "SELECT PD5D_ID_FW07, PD5D_FLGRIC, PD5D_FLGVISU FROM PD5D_ACCESSISCAD ORDER BY PD5D_ID_FW07");
    }
    // The live sessions: user and identity.
    QStringList sessions() {
        return rowsOf("SELECT FWSE_ID_FW07, FWSE_IDENTITA FROM FWSE_SESSIONE ORDER BY FWSE_ID_FW07");
    }
    // The global temporary tables of the process run with the identity KILLED.
    qsizetype killedTables() {
        return rowsOf("SELECT name FROM tempdb..sysobjects WHERE name LIKE '##%KILLED%'").size();
    }
    // Every row of the schedule table as text, sorted; the rebuild's own time left out.
    QStringList schedule() {
        QStringList rows = rowsOf("SELECT * FROM PD5C_SCADLAV", u'|', "PD5C_DATAELAB");
        rows.sort();
        return rows;
    }

    // A job on the test's database, by user 1 unless told.
    QStringList job(const QString& name, const QStringList& more = {}, int user = 1) const {
        return QStringList{"--batch", name, "--demo-db", database, "--user", QString::number(user)} + more;
    }
    QStringList batch(int user, const QStringList& more = {}) const { return job("rebuild", more, user); }
    // Exports into the test's folder (or to a device): the exit code and the file's path.
    std::pair<int, QString> exportTo(const QString& name, const QStringList& more) {
        const QString out = name.startsWith(u'/') ? name : home.filePath(name);
        return {run(job("export", QStringList{"--out", out} + more)).exitCode, out};
    }
    // Documents of every age in the demo order book.
    const QStringList since2020{"--min-date", "2020-01-01"};
};

} // namespace

TEST_F(BatchMode, BadArgumentsEndWithExitCodeOneAndNameTheOption) {
    struct Case {
        QStringList arguments;
        QString named;
        int code = 1;
    };
    const QList<Case> cases{
        {{"--batch", "tidy-up"}, "--batch"},
        {batch(1, {"--min-date", "31/12/2025"}), "--min-date"},
        {batch(1, {"--min-date", "2026-02-30"}), "--min-date"},
        {batch(1, {"--phase-type", "3"}), "--phase-type"},
        {batch(1, {"--states", "0,5"}), "--states"},
        {batch(1, {"--states", "1,1"}), "--states"},
        {batch(1, {"--states", QString()}), "--states"},
        {{"--batch", "export", "--out", "x.csv", "--filter", QString()}, "--filter: il valore è vuoto"},
        {{"--batch", "export", "--out", "x.csv", "--lang", "en", "--filter", "MG66_CODART=A..B", "--filter",
          "mg66_codart=C..D"},
         "--filter: the field mg66_codart is given more than once"},
        // An option of other jobs, in the session's language.
        {batch(1, {"--sort", "9"}), "erp-host: l'opzione --sort vale solo per i lavori export e "
                                    "reminders\nerp-host: vedere erp-host --help\n"},
        // A job option without a job is a mistake of the interactive host (its own exit code).
        {{"--demo-db", database, "--phase-type", "1"}, "--phase-type", 2},
    };
    for (const Case& c : cases) {
        const HostProcess& host = run(c.arguments);
        EXPECT_EQ(host.exitCode, c.code) << c.arguments.join(QLatin1Char(' '));
        EXPECT_TRUE(host.err.contains(c.named)) << host.err;
    }
    // A value is quoted by its first 200 characters only.
    const HostProcess& quoted = run(batch(1, {"--min-date", QString(5000, QLatin1Char('9'))}));
    EXPECT_EQ(quoted.exitCode, 1);
    EXPECT_TRUE(quoted.err.contains(QString(200, QLatin1Char('9')) + QChar(0x2026))) << quoted.err;
    EXPECT_FALSE(quoted.err.contains(QString(201, QLatin1Char('9'))));
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(BatchMode, RefusedByTheRegistryEndsWithTwoNamingWhoIsIn) {
    exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,1)");
    const HostProcess& host = run(batch(1));
    EXPECT_EQ(host.exitCode, 2) << host.err;
    // The refusal names who is in; the confirmation was printed and answered.
    for (const QString& text : {kRefused, QStringLiteral("Mario Rossi"),
                                QStringLiteral("message: Eseguire ricalcolo con i limiti selezionati ?")})
        EXPECT_TRUE(host.out().contains(text)) << host.out();
    EXPECT_EQ(registry(), QStringList{"2/0/1"});
}

// Another session holds the write lock when the job starts: the job says in its log that it
// waits (whether its registration or the rebuild meets the lock first), and completes once the
// lock is given back.
TEST_F(BatchMode, AJobThatWaitsForAnotherSessionsLockSaysSoAndCompletes) {
    auto holder = connect();
    ASSERT_TRUE(holder->execute(QStringLiteral("BEGIN TRANSACTION"), scadlav::db::kCmdTextNoRecords));
    ASSERT_TRUE(holder->execute(QStringLiteral("UPDATE CG18_ANADITTABASE SET CG18_DITTA = CG18_DITTA"),
                                scadlav::db::kCmdTextNoRecords))
        << holder->lastErrorText();
    HostProcess& host = launch(batch(1));
    const QString waiting = QStringLiteral("status: In attesa del database");
    waitUntil([&] { return host.timeOf(waiting) >= 0 || host.process->state() == QProcess::NotRunning; },
              20000);
    const qint64 released = clock.elapsed();
    EXPECT_TRUE(holder->execute(QStringLiteral("COMMIT TRANSACTION"), scadlav::db::kCmdTextNoRecords));
    finish();
    EXPECT_EQ(host.exitCode, 0) << host.log();
    EXPECT_GE(host.timeOf(waiting), 0) << host.out();
    EXPECT_GE(host.timeOf(kDone), released) << host.out();
}

TEST_F(BatchMode, ADatabaseTheScreenCannotOpenEndsWithOneAndTellsTheCause) {
    // Still an ERP database, but the screen's first statement fails on it.
    exec("DROP TABLE PD5D_ACCESSISCAD");
    exec("CREATE TABLE PD5D_ACCESSISCAD (ALTRO int NULL)");
    const HostProcess& host = run(batch(1));
    EXPECT_EQ(host.exitCode, 1);
    EXPECT_TRUE(host.err.contains("registro errori")) << host.err;
    // The error's own description, not only a pointer to the log.
    EXPECT_TRUE(host.err.contains("error: ") && host.err.contains("PD5D_ID_FW07")) << host.err;
}

// A rebuild killed once it has inserted the schedule and before the per-row pass has completed
// it: the next opening of the database drops its working tables, the next start of anybody
// removes its session and registry row, and every start tells that it did not end until a
// rebuild later than the note has stamped the whole schedule.
TEST_F(BatchMode, ARebuildKilledHalfwayBlocksNobodyAndIsToldUntilALaterRebuild) {
    HostProcess& host = launch(batch(3, QStringList{"--identity", "KILLED"} + since2020));
    ASSERT_TRUE(stopAt(host, "status: Elaborazione fase precedente")) << host.log();
    EXPECT_GT(killedTables(), 0);
    host.send(SIGKILL);
    finish();
    EXPECT_EQ(host.process->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(registry(), QStringList{"3/1/0"});
    EXPECT_EQ(killedTables(), 0);
    exec("INSERT INTO PD5D_ACCESSISCAD VALUES(4,0,0)");
    exec("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = 4");

    const QString unfinished =
        QStringLiteral("Il ricalcolo delle fasi avviato dall'utente 3 (identità KILLED_");
    const HostProcess& other = run(batch(4, since2020));
    EXPECT_EQ(other.exitCode, 0) << other.log();
    EXPECT_TRUE(other.err.contains("Rimossa la sessione terminata dell'utente 3")) << other.err;
    EXPECT_TRUE(other.err.contains(unfinished)) << other.err;
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
    // That rebuild ran in the same second as the note, so it cannot tell it is later: the note stays.
    EXPECT_EQ(exportTo("situazione.csv", since2020).first, 0) << last().log();
    EXPECT_TRUE(last().err.contains(unfinished)) << last().err;

    // A killed session whose process its parent has not collected yet (a zombie) is gone too.
    const tsqlite::testing::Zombie zombie;
    ASSERT_GE(zombie.startTicks(), 0);
    QFile boot(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    ASSERT_TRUE(boot.open(QIODevice::ReadOnly));
    exec(QStringLiteral("INSERT INTO FWSE_SESSIONE VALUES (77, 5, 'ZOMBIE', '%1', %2, '%3/%4', GETDATE(), "
                        "GETDATE())")
             .arg(QSysInfo::machineHostName().left(128))
             .arg(zombie.pid())
             .arg(QString::fromLatin1(boot.readAll().trimmed()))
             .arg(zombie.startTicks()));
    fixedNow = QStringLiteral("2026-03-15 10:05:00");
    const HostProcess& later = run(batch(6, since2020));
    EXPECT_EQ(later.exitCode, 0) << later.log();
    EXPECT_TRUE(later.err.contains("Rimossa la sessione terminata dell'utente 5")) << later.err;
    EXPECT_TRUE(sessions().isEmpty());
    EXPECT_EQ(exportTo("situazione.csv", since2020).first, 0) << last().log();
    EXPECT_FALSE(last().err.contains(QStringLiteral("Il ricalcolo delle fasi"))) << last().err;
    EXPECT_TRUE(rowsOf("SELECT * FROM FWSR_RICINTERROTTI").isEmpty());
}

// Known and unknown users start a rebuild together: the known ones never rebuild at once, the
// unknown ones are refused before they touch anything.
TEST_F(BatchMode, RebuildsStartedTogetherNeverOverlapAndUnknownUsersCannotSpoilTheSchedule) {
    // The schedule of a rebuild alone, on a copy of the same database (every order state named).
    const QString alone = database;
    database = home.filePath("alone.db");
    QFile::copy(erpdb::testing::demoTemplate(), database);
    const HostProcess& single = run(batch(1, since2020 + QStringList{"--states", "0,1,2,3,4"}));
    ASSERT_EQ(single.exitCode, 0) << single.log();
    EXPECT_TRUE(single.out().contains(kDone));
    // Only the job's lines: no notices of the toolkit about the window nobody sees.
    for (const char* noise : {"propagateSizeHints", "XDG_RUNTIME_DIR"})
        EXPECT_FALSE(single.log().contains(QLatin1String(noise))) << single.err;
    EXPECT_TRUE(registry().isEmpty());
    const QStringList clean = schedule();
    ASSERT_FALSE(clean.isEmpty());
    database = alone;

    const QList<int> users{1, 201, 2, 202, 3, 203, 4, 204};
    for (int user : users)
        launch(batch(user, since2020));
    finish();

    // The users' names: a refusal names somebody who held the schedule.
    const QRegularExpression holder("Amministratore di sistema|Mario Rossi|Giulia Bianchi|Luca Ferrari");
    QList<QPair<qint64, qint64>> rebuilds; // when each rebuild started and ended
    for (int i = 0; i < users.size(); ++i) {
        const HostProcess& h = *hosts[i];
        const QString out = h.out();
        if (users[i] > 200) {
            EXPECT_EQ(h.exitCode, 1) << out;
            EXPECT_EQ(h.timeOf("status:"), -1) << out;
            EXPECT_TRUE(h.err.contains(QStringLiteral("utente %1 non è registrato").arg(users[i])) &&
                        h.err.contains(database))
                << h.err;
        } else if (h.exitCode == 0) {
            const qint64 begin = h.timeOf(kStarted);
            const qint64 end = h.timeOf(kDone);
            ASSERT_GE(begin, 0) << out;
            ASSERT_GE(end, begin);
            rebuilds.append({begin, end});
        } else {
            ASSERT_EQ(h.exitCode, 2) << h.log();
            EXPECT_EQ(h.timeOf(kStarted), -1) << out;
            const qsizetype at = out.indexOf(kRefused);
            ASSERT_GE(at, 0) << out;
            EXPECT_TRUE(out.mid(at).contains(holder)) << out.mid(at);
        }
    }
    for (int i = 0; i < rebuilds.size(); ++i) {
        for (int j = i + 1; j < rebuilds.size(); ++j)
            EXPECT_TRUE(rebuilds[i].second < rebuilds[j].first || rebuilds[j].second < rebuilds[i].first)
                << "rebuilds overlap: [" << rebuilds[i].first << "," << rebuilds[i].second << "] ["
                << rebuilds[j].first << "," << rebuilds[j].second << "]";
    }
    // Known users may all back off from each other; whoever rebuilt left the clean schedule.
    EXPECT_EQ(schedule(), rebuilds.isEmpty() ? QStringList() : clean);
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, TerminationSignalsEndABatchJobCleanly) {
    for (int signal : {SIGTERM, SIGINT}) {
        hosts.clear();
        HostProcess& job = launch(batch(2, since2020));
        ASSERT_TRUE(stopAt(job, kStarted)) << job.out();
        job.send(signal);
        job.send(SIGCONT);
        finish();
        EXPECT_EQ(job.exitCode, 128 + signal) << job.err;
        EXPECT_EQ(job.timeOf(kDone), -1);
        EXPECT_TRUE(job.err.contains("Interrotto dal segnale")) << job.err;
        EXPECT_TRUE(registry().isEmpty()) << signal;
    }
    // Nobody is blocked afterwards, and the next start tells that the rebuild did not end.
    EXPECT_EQ(run(batch(3, since2020)).exitCode, 0) << last().err;
    EXPECT_TRUE(last().err.contains(QStringLiteral("Il ricalcolo delle fasi avviato dall'utente 2 ")))
        << last().err;
    EXPECT_TRUE(sessions().isEmpty());
}

TEST_F(BatchMode, AFileThatIsNoErpDatabaseIsRefusedUntouched) {
    QByteArray random(6000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    QList<std::pair<QString, QByteArray>> files{{"empty.db", {}}, {"random.db", random}};
    {
        // Another program's SQLite database.
        std::vector<tsqlite::Error> errors;
        auto other = tsqlite::Connection::open(home.filePath("other.db").toStdString(), errors, true);
        ASSERT_TRUE(other && other->execute("CREATE TABLE Rubrica (Nome nvarchar(40))", nullptr, errors));
    }
    QFile::remove(home.filePath("other.db-wal"));
    QFile::remove(home.filePath("other.db-shm"));
    files.append({"other.db", bytesOf(home.filePath("other.db"))});
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name.toStdString());
        const QString path = home.filePath(name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const QDateTime written = QFileInfo(path).lastModified();
        for (const QStringList& arguments :
             {QStringList{"--connect", "Provider=tsqlite;Data Source=" + path, "--quit-after", "200"},
              QStringList{"--batch", "rebuild", "--demo-db", path}}) {
            const HostProcess& host = run(arguments);
            EXPECT_NE(host.exitCode, 0);
            EXPECT_TRUE(host.err.contains("non è un database ERP")) << host.err;
            EXPECT_EQ(bytesOf(path), content);
            EXPECT_EQ(QFileInfo(path).lastModified(), written);
            EXPECT_FALSE(QFile::exists(path + "-wal"));
        }
    }
}

TEST_F(BatchMode, ExportWritesTheClassifiedScheduleItsViewsAndKeepsFilterValuesLiteral) {
    ASSERT_EQ(run(batch(1, since2020)).exitCode, 0) << last().log();

    // Every column of the record set, classification codes included, one line per phase shown.
    const auto [code, all] = exportTo("all.csv", since2020 + QStringList{"--sort", "2"});
    ASSERT_EQ(code, 0);
    const QStringList lines = csvLines(all);
    // The summary line speaks the session's language, the count grouped in Italian and plain in
    // English, as scripts read it; the file itself is the same in both languages.
    const qsizetype rows = lines.size() - 1;
    ASSERT_GT(rows, 999) << "too few rows to show the grouping";
    EXPECT_TRUE(last().out().contains(QStringLiteral("export: %1 righe scritte in %2\n")
                                          .arg(QLocale(QLocale::Italian).toString(rows), all)))
        << last().out();
    const auto [inEnglish, english] =
        exportTo("all-en.csv", since2020 + QStringList{"--sort", "2", "--lang", "en"});
    EXPECT_EQ(inEnglish, 0) << last().err;
    EXPECT_TRUE(
        last().out().contains(QStringLiteral("export: %1 rows written to %2\n").arg(rows).arg(english)))
        << last().out();
    EXPECT_TRUE(bytesOf(all) == bytesOf(english));

    const QStringList header = csvFields(lines.first());
    for (const char* column : {"PD5C_KEYGRID", "CTRL_DATE", "CTRL_QTA", "SOLL", "PD5C_SEL"})
        EXPECT_TRUE(header.contains(QString::fromLatin1(column))) << column;
    const qsizetype ctrlDate = header.indexOf("CTRL_DATE");
    const qsizetype ctrlQta = header.indexOf("CTRL_QTA");
    const qsizetype endDate = header.indexOf("PD5C_DATAFINEFASE");
    ASSERT_GE(endDate, 0);
    int covered = 0; // fully or partly
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // --sort 2: by end date (the text form YYYY-MM-DD HH:MM:SS sorts as the dates do).
        if (i > 1) {
            EXPECT_LE(csvFields(lines[i - 1]).value(endDate), csvFields(lines[i]).value(endDate)) << i;
        }
        const QString value = csvFields(lines[i]).value(ctrlDate);
        EXPECT_TRUE(value == u"1" || value == u"2" || value == u"3") << lines[i];
        const QString coverage = csvFields(lines[i]).value(ctrlQta);
        covered += coverage == u"1" || coverage == u"2";
    }
    // View mode: the export neither marks rows nor stays in the registry.
    EXPECT_TRUE(registry().isEmpty());

    // A .xlsx name gets the screen's typed workbook: the grid's captions, numbers as numbers.
    const auto [typed, workbook] = exportTo("fasi.xlsx", since2020);
    ASSERT_EQ(typed, 0);
    QProcess python;
    python.start("python3", {"-c",
                             "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                             "sys.stdout.write(z.read('xl/worksheets/sheet1.xml').decode())",
                             workbook});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QString sheet = QString::fromUtf8(python.readAllStandardOutput());
    EXPECT_TRUE(sheet.contains("<t>Forn./Rep.</t>")) << sheet.left(400);
    EXPECT_FALSE(sheet.contains("PD5C_KEYGRID"));
    // Quantities are plain number cells: <c r="..." s="N"><v>12.5</v></c>, no text type.
    EXPECT_TRUE(
        QRegularExpression(R"re(<c r="[A-Z]+\d+" s="\d+"><v>[\d.]+</v></c>)re").match(sheet).hasMatch());

    // A quote in a filter value is a literal: no supplier has that code, so only the header.
    const auto [quoted, none] =
        exportTo("none.csv", since2020 + QStringList{"--filter", "MG66_CODART=A'1%..A'1%"});
    EXPECT_EQ(quoted, 0);
    EXPECT_EQ(csvLines(none).size(), 1);

    // A field the filter panel does not have is refused by name, and nothing is written.
    const auto [refused, unknown] = exportTo("unknown.csv", since2020 + QStringList{"--filter", "NOPE=1..2"});
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(QFile::exists(unknown));

    // The proposals: the covered and partly covered phases of the schedule, fully covered first,
    // then by supplier and order date.
    ASSERT_GT(covered, 0);
    const auto [proposalsCode, path] =
        exportTo("proposals.csv", since2020 + QStringList{"--view", "proposals"});
    ASSERT_EQ(proposalsCode, 0);
    const QStringList proposals = csvLines(path);
    ASSERT_EQ(proposals.size() - 1, covered);
    const QStringList columns = csvFields(proposals.first());
    const qsizetype qta = columns.indexOf("CTRL_QTA");
    const qsizetype supplier = columns.indexOf("PD5C_CLIFOR_CG44");
    const qsizetype date = columns.indexOf("PD5C_DATADOC");
    ASSERT_TRUE(qta >= 0 && supplier >= 0 && date >= 0);
    auto key = [&](const QString& line) {
        const QStringList f = csvFields(line);
        return std::make_tuple(f.value(qta).toInt(), f.value(supplier).toLongLong(), f.value(date));
    };
    for (qsizetype i = 2; i < proposals.size(); ++i)
        EXPECT_LE(key(proposals[i - 1]), key(proposals[i])) << proposals[i];

    // The customer commitment of an article that both companies sell: the lines of both.
    const QStringList shared = rowsOf(
        "SELECT DO30_CODART_MG66, COUNT(*) FROM DO11_DOCTESTATA JOIN DO30_DOCCORPO "
        "ON DO30_DITTA_CG18 = DO11_DITTA_CG18 AND DO30_NUMREG_CO99 = DO11_NUMREG_CO99 "
        "WHERE DO11_TIPODOC = 21 AND DO11_STIPODOC = 1 AND DO30_FLGANNULLATA = 0 AND DO30_FLGEVASA = 0 "
        "AND DO30_QTA1EVASA < DO30_QTA1 GROUP BY DO30_CODART_MG66 "
        "HAVING COUNT(DISTINCT DO11_DITTA_CG18) > 1 ORDER BY DO30_CODART_MG66");
    ASSERT_FALSE(shared.isEmpty());
    const QString article = shared.first().section(u'/', 0, -2);
    const int open = shared.first().section(u'/', -1).toInt();
    const auto [commitmentCode, commitmentPath] =
        exportTo("commitment.csv", {"--view", "commitment", "--article", article});
    ASSERT_EQ(commitmentCode, 0) << last().log();
    const QStringList commitment = csvLines(commitmentPath);
    EXPECT_EQ(commitment.size() - 1, open);
    EXPECT_EQ(csvFields(commitment.value(0)).value(0), "DO11_DOCUM_MG36");
    const qsizetype residual = csvFields(commitment.value(0)).indexOf("VFW_QTA1RES");
    for (qsizetype i = 1; i < commitment.size(); ++i)
        EXPECT_GT(csvFields(commitment[i]).value(residual).toDouble(), 0.0) << commitment[i];

    // A quote in the article reaches the server as typed: the job fails and says why; no
    // article, or an article for another view, is refused by its option.
    const auto [quoteCode, quotePath] = exportTo("quote.csv", {"--view", "commitment", "--article", "A'B"});
    EXPECT_EQ(quoteCode, 1);
    EXPECT_TRUE(last().err.contains("A'B") && last().err.contains("contiene un apice")) << last().err;
    EXPECT_FALSE(QFile::exists(quotePath));
    EXPECT_EQ(exportTo("x.csv", {"--view", "commitment"}).first, 1);
    EXPECT_TRUE(last().err.contains("--article")) << last().err;
    EXPECT_EQ(exportTo("y.csv", {"--view", "nope"}).first, 1);

    // A full disk: the write error is reported and the job fails, nothing claims rows written.
    EXPECT_EQ(exportTo("/dev/full", since2020).first, 1);
    EXPECT_TRUE(last().err.contains("/dev/full")) << last().err;
    EXPECT_FALSE(last().out().contains("righe scritte")) << last().out();
}

// Dates are wall-clock readings: the export writes the same digits whatever the zone, also a
// midnight or a time of day that the zone skips when its daylight-saving time starts.
TEST_F(BatchMode, ExportWritesTheSameDatesInEveryTimeZone) {
    const QStringList since2000{"--min-date", "2000-01-01"};
    ASSERT_EQ(run(batch(1, since2000)).exitCode, 0) << last().log();
    // Skipped in Sao Paulo (midnight of 4 November 2018), Rome (02:30 of 29 March 2026) and
    // Chatham (02:50 of 27 September 2026).
    exec("UPDATE PD5C_SCADLAV SET PD5C_DATAINIFASE = '2018-11-04 00:00:00', "
         "PD5C_DATAFINEFASE = '2026-03-29 02:30:00', PD5C_DATADOC = '2026-09-27 02:50:00'");
    QByteArray reference;
    for (const char* zone : {"UTC", "Europe/Rome", "America/Sao_Paulo", "Pacific/Chatham"}) {
        timeZone = QString::fromLatin1(zone);
        const auto [code, out] =
            exportTo(QStringLiteral("dates-%1.csv").arg(timeZone.section(u'/', -1)), since2000);
        ASSERT_EQ(code, 0) << zone << ": " << last().err;
        const QByteArray written = bytesOf(out);
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

// The function menu on the demo order book, in the real host off screen (the user guide's
// tour): "Impegnato cliente", "Situazione giacenze" and "Proposte C/Lav." each show rows of the
// order book, and the batch export views write the same number of rows.
TEST_F(BatchMode, TheFunctionMenuShowsTheOrderBookAndTheExportViewsWriteTheSameRows) {
    // Before any rebuild there is no schedule: the proposals view says so and writes nothing.
    const auto [early, earlyPath] = exportTo("early.csv", {"--view", "proposals"});
    EXPECT_EQ(early, 1);
    EXPECT_TRUE(last().err.contains("rebuild")) << last().err;
    EXPECT_FALSE(QFile::exists(earlyPath));

    ASSERT_EQ(run(batch(1)).exitCode, 0) << last().log();
    const QString pictures = home.filePath("pictures");
    ASSERT_EQ(run({"--demo-db", database, "--user", "1", "--screenshots", pictures}).exitCode, 0)
        << last().log();
    const QString shown = last().out();
    const QRegularExpressionMatch commitment =
        QRegularExpression("shown: commitment (\\S+) (\\d+) rows").match(shown);
    const QRegularExpressionMatch stock =
        QRegularExpression("shown: stock (\\S+) (\\d+) warehouses").match(shown);
    const QRegularExpressionMatch proposals =
        QRegularExpression("shown: proposals (\\d+) rows, first (.+), last (.+)\n").match(shown);
    ASSERT_TRUE(commitment.hasMatch() && stock.hasMatch() && proposals.hasMatch()) << shown;
    const QString article = commitment.captured(1);
    EXPECT_EQ(stock.captured(1), article);
    EXPECT_GT(commitment.captured(2).toInt(), 0);
    EXPECT_GT(stock.captured(2).toInt(), 0);
    for (const char* picture : {"schedule-commitment.png", "stock-console.png", "proposals.png"})
        EXPECT_TRUE(QFileInfo(QDir(pictures).filePath(QString::fromLatin1(picture))).size() > 0) << picture;

    QStringList lines; // of the last view exported
    auto exported = [&](const QStringList& view) {
        QFile::remove(home.filePath("view.csv"));
        const auto [code, out] = exportTo("view.csv", view);
        EXPECT_EQ(code, 0) << last().err;
        lines = csvLines(out);
        return lines.size() - 1;
    };
    EXPECT_EQ(exported({"--view", "commitment", "--article", article}), commitment.captured(2).toInt());
    EXPECT_EQ(exported({"--view", "proposals"}), proposals.captured(1).toInt());
    // In the screen's order: the same first and last phase.
    const qsizetype key = csvFields(lines.value(0)).indexOf("PD5C_KEYGRID");
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
        ASSERT_EQ(run(batch(1, since2020)).exitCode, 0) << last().out();
        auto c = connect();
        const auto chosen = scadlav::testing::lineOfFourPhases(*c);
        ASSERT_TRUE(chosen) << c->lastErrorText();
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
        return rowsOf(
            QStringLiteral("SELECT DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, CONVERT(char(10), "
                           "DO46_DATAINIZIO, 120), CONVERT(char(10), DO46_DATAFINE, 120) FROM "
                           "DO46_DOCCORORDDET WHERE DO46_DITTA_CG18 = 1 AND DO46_NUMREG_CO99 = '%1' "
                           "AND DO46_PROGRIGA = %2 ORDER BY 1, 2")
                .arg(order)
                .arg(line),
            u';');
    }
    QStringList reschedule(const QString& orderNo, const QString& lineNo, const QString& sequence,
                           const QStringList& more) const {
        return job("reschedule", {"--order", orderNo, "--line", lineNo, "--phase", sequence}) + more;
    }
    QStringList reschedule(int phase, const QStringList& more) const {
        return reschedule(order, QString::number(line), QString::number(phases[phase].sequence), more);
    }
    // The phase lines of the job's output.
    static QStringList printed(const HostProcess& host) {
        QStringList out = host.out().split(u'\n');
        out.removeLast(); // the empty rest after the last line's end
        out.removeIf([](const QString& l) { return l.startsWith("message:") || l.startsWith("status:"); });
        return out;
    }

    QString order;
    qint64 line = 0;
    QList<scadlav::testing::HandPhase> phases;
    scadlav::testing::HandCalendar calendar;
    QStringList before;
};

TEST_F(BatchReschedule, ForwardBackwardAndSinglePhaseRunsFollowTheRoutingAndTheCalendarAndUndoPutsThemBack) {
    ASSERT_GE(phases.size(), 4);
    ASSERT_EQ(before.size(), phases.size());
    // "Mod." clicked from "Avanti" to "Fase corr.": the phase typed on a Saturday before Easter
    // Monday starts on Tuesday 7 April and lasts what its routing says; the others keep their dates.
    const HostProcess& alone = run(reschedule(1, {"--start", "2026-04-04", "--direction", "phase"}));
    ASSERT_EQ(alone.exitCode, 0) << alone.log();
    QStringList phaseAlone = before;
    phaseAlone[1] = expected(1, QDate(2026, 4, 4), true)[1];
    EXPECT_EQ(printed(alone), phaseAlone);
    EXPECT_EQ(storedDates(), phaseAlone);
    ASSERT_EQ(run(job("undo-reschedule")).exitCode, 0) << last().out();
    ASSERT_EQ(storedDates(), before);

    // Forward from the same day: the following phases move with it.
    const HostProcess& host = run(reschedule(1, {"--start", "2026-04-04"}));
    ASSERT_EQ(host.exitCode, 0) << host.log();
    const QStringList forward = expected(1, QDate(2026, 4, 4), true);
    EXPECT_EQ(printed(host), forward);
    EXPECT_EQ(storedDates(), forward);
    EXPECT_TRUE(host.out().contains("message: Elaborazione terminata correttamente !!"));

    // Backward from the last phase, ending on Ferragosto: the end moves to Friday 14 August.
    const int lastPhase = int(phases.size()) - 1;
    ASSERT_EQ(run(reschedule(lastPhase, {"--end", "2026-08-15"})).exitCode, 0) << last().log();
    before = forward;
    EXPECT_EQ(storedDates(), expected(lastPhase, QDate(2026, 8, 15), false));

    // Only the last recalculation is undone: the dates of the forward run come back; a second
    // undo finds nothing.
    ASSERT_EQ(run(job("undo-reschedule")).exitCode, 0) << last().out();
    EXPECT_EQ(storedDates(), forward);
    EXPECT_EQ(run(job("undo-reschedule")).exitCode, 5);
    EXPECT_TRUE(last().out().contains("nessun ricalcolo")) << last().out();
}

TEST_F(BatchReschedule, RefusedDatesEndWithThreeAndUnknownPhasesWithOneWritingNothing) {
    const QString sequence = QString::number(phases[1].sequence);
    const QStringList may10{"--start", "2026-05-10"};
    struct Case {
        QStringList arguments;
        int code;
        QString named; // a refused date is printed as a message, a bad argument on standard error
    };
    const QList<Case> cases{
        // An end before the start typed on the same phase is refused by the detail's ordering rules.
        {reschedule(1, {"--start", "2026-05-10", "--end", "2026-05-01"}), 3, "message: "},
        {reschedule(1, {"--start", "1700-01-01"}), 3, {}},
        {reschedule("NOPE", "1", "10", may10), 1, "NOPE"},
        // A line or a phase the order does not have.
        {reschedule(order, "999", sequence, may10), 1, "999"},
        {reschedule(order, QString::number(line), "9999", may10), 1, "9999"},
        {reschedule(1, {"--start", "2026-02-30"}), 1, "--start"},
    };
    for (const Case& c : cases) {
        const HostProcess& host = run(c.arguments);
        EXPECT_EQ(host.exitCode, c.code) << c.arguments.join(' ') << "\n" << host.log();
        EXPECT_TRUE((c.code == 3 ? host.out() : host.err).contains(c.named)) << host.log();
    }
    EXPECT_EQ(storedDates(), before);
    EXPECT_EQ(run(job("undo-reschedule")).exitCode, 5) << "nothing was recalculated";
}

// While a rebuild of user 2 lives, a second session of user 2 and a recalculation are refused,
// and a session of another user from the same account and machine, at the same fixed time, gets
// its own identity. Once the rebuild is killed the dates can be moved.
TEST_F(BatchReschedule, ARebuildInProgressKeepsOutASecondSessionAndTheRecalculationAndAKilledOneNoLonger) {
    HostProcess& rebuild = launch(batch(2, since2020));
    ASSERT_TRUE(stopAt(rebuild, kStarted)) << rebuild.log();
    ASSERT_EQ(registry(), QStringList{"2/1/0"});

    const QString out = home.filePath("out.csv");
    const HostProcess& again = run(job("export", {"--out", out, "--lang", "en"}, 2));
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_TRUE(again.err.contains("User 2 already has a session open")) << again.err;
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(run(reschedule(1, {"--start", "2026-04-04"})).exitCode, 2) << last().log();
    EXPECT_EQ(storedDates(), before) << "nothing written while the schedule is being rebuilt";
    // The rebuild's row is still there, so nobody else gets in either.
    EXPECT_EQ(registry(), QStringList{"2/1/0"});

    // Only the session tells the working tables of the two apart.
    const HostProcess& window = launch({"--demo-db", database, "--user", "1", "--quit-after", "3000"});
    QStringList live;
    waitUntil([&] { return (live = sessions()).size() >= 2; }, 20000, 50);
    ASSERT_EQ(live.size(), 2) << live.join(QLatin1Char(' '));
    const QString first = live[0].section(QLatin1Char('/'), 1);
    const QString second = live[1].section(QLatin1Char('/'), 1);
    EXPECT_NE(first, second);
    // Both keep the account and machine, and stay short enough for the working tables' names.
    EXPECT_EQ(first.section(QLatin1Char('_'), 0, -2), second.section(QLatin1Char('_'), 0, -2));
    EXPECT_LE(QStringLiteral("##TempDatiGRP_%1_2026_03_15_10_00_00").arg(first).size(), 116);

    // The rebuild dies halfway: its session and registry row go with it, the dates can be moved.
    rebuild.send(SIGKILL);
    finish();
    EXPECT_EQ(window.exitCode, 0) << window.err;
    ASSERT_EQ(run(reschedule(1, {"--start", "2026-04-04"})).exitCode, 0) << last().log();
    EXPECT_EQ(storedDates(), expected(1, QDate(2026, 4, 4), true));
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(sessions().isEmpty());
}
