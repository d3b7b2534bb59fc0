// Two processes on one database file: a writer and a reader at once, a writer and an update of
// every row at once, and global temporary tables seen across processes and dropped when their
// process closes or dies.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>

using namespace tsqlite;
using tsqlite::testing::run;
using tsqlite::testing::scalar;
using tsqlite::testing::ScratchDatabase;

namespace {

void startPeer(QProcess& peer, const std::string& path, const QString& mode, const QString& arg) {
    peer.start(TSQLITE_PEER, {QString::fromStdString(path), mode, arg});
    ASSERT_TRUE(peer.waitForStarted(10000));
}

// A writing or refilling peer ended without a failed statement.
void expectDone(QProcess& peer) {
    ASSERT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
    EXPECT_EQ(peer.readAllStandardOutput().trimmed().toStdString(), "done 0");
}

// A database whose table SHARED another process fills row by row while the test works on it.
class InsertingPeer : public ::testing::Test {
protected:
    void startInserting(int rows) {
        ASSERT_TRUE(db->execute(
            "CREATE TABLE SHARED (ID int NOT NULL PRIMARY KEY, TESTO varchar(10), SEGNO smallint)", nullptr,
            errors));
        startPeer(writer, scratch.path(), "write", QString::number(rows));
    }

    ScratchDatabase scratch;
    std::unique_ptr<Connection> db = scratch.open();
    std::vector<Error> errors;
    QProcess writer;
};

} // namespace

TEST_F(InsertingPeer, WriterAndReaderWorkAtOnce) {
    ASSERT_NO_FATAL_FAILURE(startInserting(300));
    // Read while the other process writes: counts only grow and reads never fail.
    long last = 0;
    while (writer.state() != QProcess::NotRunning) {
        const long now = std::stol(scalar(*db, "SELECT COUNT(*) FROM SHARED WITH (NOLOCK)"));
        EXPECT_GE(now, last);
        last = now;
        writer.waitForFinished(5);
    }
    ASSERT_NO_FATAL_FAILURE(expectDone(writer));
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SHARED"), "300");
    // And this process can write after it.
    EXPECT_TRUE(db->execute("INSERT INTO SHARED (ID, TESTO) VALUES (301, 'ultima')", nullptr, errors));
}

// Setting a flag on every row while another process inserts: the count and the update of the
// rows that change run under one write lock, so neither process fails and every count holds
// the rows of one moment.
TEST_F(InsertingPeer, FlagsSetWhileAnotherProcessInserts) {
    ASSERT_NO_FATAL_FAILURE(startInserting(1000));
    std::int64_t last = 0;
    int updates = 0;
    while (writer.state() != QProcess::NotRunning) {
        std::int64_t affected = -1;
        ASSERT_TRUE(db->execute("UPDATE SHARED SET SEGNO = 1", nullptr, errors, {}, &affected))
            << errors.front().description;
        EXPECT_GE(affected, last);
        last = affected;
        ++updates;
        // A pause between updates, as between a planner's clicks: SQLite's lock is not fair, and
        // an updater that takes it back at once can starve the writer past its busy timeout.
        writer.waitForFinished(1);
    }
    ASSERT_NO_FATAL_FAILURE(expectDone(writer));
    EXPECT_GT(updates, 1);
    std::int64_t affected = -1;
    ASSERT_TRUE(db->execute("UPDATE SHARED SET SEGNO = 1", nullptr, errors, {}, &affected));
    EXPECT_EQ(affected, 1000) << "rows already flagged are counted too";
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SHARED WHERE SEGNO = 1"), "1000");
}

// A transaction that reads and then writes, while another process inserts row after row: in WAL
// mode a transaction that began by reading cannot write once another connection wrote after its
// read, and SQLite refuses at once; T-SQL's transaction must wait for its turn instead.
TEST_F(InsertingPeer, ATransactionThatReadsThenWritesWaitsForAnotherProcess) {
    // Enough rows that the writer is still inserting after this process's first transactions.
    ASSERT_NO_FATAL_FAILURE(startInserting(3000));
    int transactions = 0;
    while (writer.state() != QProcess::NotRunning) {
        ASSERT_TRUE(db->execute("BEGIN TRANSACTION", nullptr, errors)) << errors.front().description;
        const std::string before = scalar(*db, "SELECT COUNT(*) FROM SHARED");
        writer.waitForFinished(2); // room for the writer's next insert
        ASSERT_TRUE(db->execute("UPDATE SHARED SET SEGNO = 1 WHERE ID > 0", nullptr, errors))
            << errors.front().description;
        EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SHARED"), before) << "the transaction saw another's rows";
        ASSERT_TRUE(db->execute("COMMIT TRANSACTION", nullptr, errors)) << errors.front().description;
        ++transactions;
        writer.waitForFinished(2);
    }
    ASSERT_NO_FATAL_FAILURE(expectDone(writer));
    EXPECT_GT(transactions, 1);
}

// Another process empties a table and fills it again with INSERT ... SELECT, its index built
// after the rows each time: this one, reading through that index, sees the table either empty
// or whole, never without its index, and never fails.
TEST(MultiProcess, ReadsWhileAnotherProcessRefillsATable) {
    ScratchDatabase scratch;
    auto db = scratch.open();
    run(*db,
        "CREATE TABLE SHARED (ID int NOT NULL PRIMARY KEY, TESTO varchar(10));"
        "CREATE TABLE COPY (ID int NOT NULL, TESTO varchar(10)); CREATE INDEX IX_COPY_TESTO ON COPY (TESTO)");
    for (int i = 1; i <= 2000; ++i)
        run(*db,
            "INSERT INTO SHARED VALUES (" + std::to_string(i) + ", 'riga" + std::to_string(i % 2) + "')");
    QProcess refiller;
    startPeer(refiller, scratch.path(), "refill", "40");
    int reads = 0;
    while (refiller.state() != QProcess::NotRunning) {
        const std::string rows = scalar(*db, "SELECT COUNT(*) FROM COPY WHERE TESTO = 'riga1'");
        EXPECT_TRUE(rows == "0" || rows == "1000") << rows;
        EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'IX_COPY_TESTO'"), "1");
        ++reads;
        refiller.waitForFinished(0);
    }
    ASSERT_NO_FATAL_FAILURE(expectDone(refiller));
    EXPECT_GT(reads, 1);
    EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM COPY WHERE TESTO = 'riga0'"), "1000");
}

TEST(MultiProcess, GlobalTemporaryTableOfAnotherProcess) {
    ScratchDatabase scratch;
    auto db = scratch.open();
    QProcess peer;
    startPeer(peer, scratch.path(), "hold", "##TabODL_PEER");
    ASSERT_TRUE(peer.waitForReadyRead(10000)) << peer.readAllStandardError().toStdString();
    EXPECT_EQ(peer.readLine().trimmed().toStdString(), "ready");
    EXPECT_EQ(scalar(*db, "SELECT A FROM ##TabODL_PEER"), "42");
    EXPECT_NE(scalar(*db, "SELECT OBJECT_ID('tempdb..##TabODL_PEER')"), "NULL");
    peer.closeWriteChannel();
    ASSERT_TRUE(peer.waitForFinished(10000));
    EXPECT_EQ(scalar(*db, "SELECT OBJECT_ID('tempdb..##TabODL_PEER')"), "NULL");
}

TEST(MultiProcess, TableOfACrashedProcessGoesAtTheNextOpen) {
    ScratchDatabase scratch;
    auto db = scratch.open();
    QProcess peer;
    startPeer(peer, scratch.path(), "crash", "##TempDati_PEER");
    ASSERT_TRUE(peer.waitForFinished(10000));
    EXPECT_EQ(peer.readAllStandardOutput().trimmed().toStdString(), "ready");
    EXPECT_EQ(scalar(*db, "SELECT A FROM ##TempDati_PEER"), "42"); // still there: nobody closed it
    auto next = scratch.open();
    EXPECT_EQ(scalar(*next, "SELECT OBJECT_ID('tempdb..##TempDati_PEER')"), "NULL");
}
