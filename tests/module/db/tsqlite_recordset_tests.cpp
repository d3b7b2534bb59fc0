// Record sets over the embedded database: rows read with their types and Nulls, edits written
// back to the table, requery, and the statements the module relies on.
#include "module/db/Command.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <tsqlite/tsqlite.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace scadlav;
using namespace scadlav::db;

namespace {

class TsqliteRecordset : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_cs = "Provider=tsqlite;Data Source=" + m_dir.filePath("db.sqlite") + ";Create=yes";
        ASSERT_TRUE(cn.open(m_cs)) << cn.lastErrorText().toStdString();
        run("CREATE TABLE PD5C_SCADLAV (PD5C_KEYGRID varchar(40) NOT NULL PRIMARY KEY, "
            "PD5C_DESCART nvarchar(80) NULL, PD5C_QTARES decimal(14,3) NULL, "
            "PD5C_DATAFINEFASE datetime NULL, PD5C_SEL smallint NULL)");
        run("INSERT INTO PD5C_SCADLAV VALUES ('K1', 'Vite', 10.5, '2026-03-01 00:00:00', 0), "
            "('K2', NULL, NULL, NULL, 0), ('K3', 'Dado', 2.125, '2026-01-10 08:30:00', 1)");
        run("CREATE TABLE NOKEY (A int NULL, B nvarchar(10) NULL)");
        run("INSERT INTO NOKEY VALUES (1, 'x'), (2, 'y'), (2, 'y')");
    }

    void run(const QString& sql) {
        ASSERT_TRUE(cn.execute(sql, kCmdTextNoRecords)) << cn.lastErrorText().toStdString();
    }

    Value scalar(const QString& sql) {
        auto rs = cn.execute(sql);
        if (!rs || !rs->isOpen() || rs->eof())
            return Value();
        return rs->value(0);
    }

    QTemporaryDir m_dir;
    QString m_cs;
    Connection cn;
};

} // namespace

TEST_F(TsqliteRecordset, ReadsTypedValuesAndKeepsNull) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM PD5C_SCADLAV ORDER BY PD5C_KEYGRID", cn))
        << rs.lastErrorText().toStdString();
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fieldInfo(rs.fieldIndex("PD5C_QTARES")).type, DataType::Decimal);
    EXPECT_EQ(rs.value("PD5C_QTARES").asDecimal(), Decimal(10500, 3));
    EXPECT_EQ(rs.value("PD5C_DATAFINEFASE").asDateTime(),
              wallClock(QDateTime(QDate(2026, 3, 1), QTime(0, 0))));
    rs.moveNext();
    EXPECT_TRUE(rs.value("PD5C_DESCART").isNull());
    EXPECT_TRUE(rs.value("PD5C_QTARES").isNull());
    EXPECT_TRUE(rs.value("PD5C_DATAFINEFASE").isNull());
    rs.moveNext();
    EXPECT_EQ(rs.value("PD5C_QTARES").asDecimal(), Decimal(2125, 3));
    auto none = cn.execute("SELECT * FROM PD5C_SCADLAV", kCmdTextNoRecords); // runs, rows dropped
    EXPECT_TRUE(none && !none->isOpen());
}

TEST_F(TsqliteRecordset, UpdateWritesBackByKeyAndClonesSeeIt) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM PD5C_SCADLAV ORDER BY PD5C_KEYGRID", cn));
    auto clone = rs.clone();
    ASSERT_TRUE(clone->setFilter("PD5C_KEYGRID = 'k3'"));
    ASSERT_TRUE(clone->setValue("PD5C_SEL", 1));
    ASSERT_TRUE(clone->setValue("PD5C_DESCART", "Dado d'acciaio"));
    ASSERT_TRUE(clone->update()) << clone->lastErrorText().toStdString();
    EXPECT_EQ(scalar("SELECT PD5C_DESCART FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = 'K3'").toText(),
              "Dado d'acciaio");
    rs.moveLast();
    EXPECT_EQ(rs.value("PD5C_DESCART").asText(), "Dado d'acciaio");
    // Only the located row changed.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM PD5C_SCADLAV WHERE PD5C_SEL = 1").toInt64(), 1);
}

TEST_F(TsqliteRecordset, UpdateWithoutKeyUsesOriginalValuesAndRefusesAmbiguousRows) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT A, B FROM NOKEY ORDER BY A", cn));
    ASSERT_TRUE(rs.setValue("B", "z"));
    ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();
    EXPECT_EQ(scalar("SELECT B FROM NOKEY WHERE A = 1").toText(), "z");
    rs.moveNext(); // one of two identical rows
    ASSERT_TRUE(rs.setValue("B", "w"));
    EXPECT_FALSE(rs.update());
    EXPECT_EQ(rs.lastError().number, kErrRowNotLocated);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM NOKEY WHERE B = 'w'").toInt64(), 0);
}

TEST_F(TsqliteRecordset, ARowChangedBehindTheRecordSetCannotBeUpdatedSilently) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM PD5C_SCADLAV ORDER BY PD5C_KEYGRID", cn));
    run("DELETE FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = 'K1'");
    ASSERT_TRUE(rs.setValue("PD5C_SEL", 1));
    EXPECT_FALSE(rs.update());
    EXPECT_EQ(rs.lastError().number, kErrRowNotLocated);
}

TEST_F(TsqliteRecordset, RequeryReplacesTheRowsOfEveryClone) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM PD5C_SCADLAV ORDER BY PD5C_KEYGRID", cn));
    auto clone = rs.clone();
    ASSERT_TRUE(clone->setFilter("PD5C_SEL = 0"));
    EXPECT_EQ(clone->recordCount(), 2);
    run("UPDATE PD5C_SCADLAV SET PD5C_SEL = 0");
    run("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES ('K4')");
    ASSERT_TRUE(rs.requery()) << rs.lastErrorText().toStdString();
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(clone->recordCount(), 3); // its filter applied to the new rows
    EXPECT_EQ(clone->filter(), "PD5C_SEL = 0");
}

TEST_F(TsqliteRecordset, EliminaTabellaTempIsSilentForMissingTablesAndDropsExistingOnes) {
    EXPECT_FALSE(cn.EliminaTabellaTemp("##Missing_1").isEmpty());
    EXPECT_TRUE(cn.errors().isEmpty());
    run("CREATE TABLE ##Work_1 (X int)");
    cn.EliminaTabellaTemp("##Work_1");
    EXPECT_TRUE(cn.errors().isEmpty());
    EXPECT_EQ(cn.execute("SELECT * FROM ##Work_1"), nullptr); // gone
}

TEST_F(TsqliteRecordset, AQuoteInAValueNeverBreaksTheStatement) {
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = 'K2'", cn));
    const QString nasty = "'; DELETE FROM PD5C_SCADLAV; --";
    ASSERT_TRUE(rs.setValue("PD5C_DESCART", nasty));
    ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM PD5C_SCADLAV").toInt64(), 3);
    EXPECT_EQ(scalar("SELECT PD5C_DESCART FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = 'K2'").toText(), nasty);
}

// Another session holds the write lock longer than the embedded database's usual 10 s wait. A
// command with a time limit gives up at its limit; one without (command timeout 0, as the schedule
// screen and the rebuild set it) waits until the lock is given back, as on the server. Both tell
// their notice once when the wait becomes noticeable and again when the command ends.
TEST_F(TsqliteRecordset, ACommandWithoutTimeLimitWaitsForALockHeldPastTheUsualWait) {
    Connection holder;
    ASSERT_TRUE(holder.open(m_cs)) << holder.lastErrorText().toStdString();
    ASSERT_TRUE(holder.execute(QStringLiteral("BEGIN TRANSACTION"), kCmdTextNoRecords));
    ASSERT_TRUE(holder.execute(
        QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 2 WHERE PD5C_KEYGRID = 'K1'"), kCmdTextNoRecords));

    Connection limited;
    QList<bool> limitedNotices;
    limited.setLockWaitNotice([&](bool waiting) { limitedNotices << waiting; });
    ASSERT_TRUE(limited.open(m_cs));
    limited.setCommandTimeout(1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(limited.execute(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 3"), kCmdTextNoRecords));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(limitedNotices, QList<bool>({true, false}));
    EXPECT_TRUE(limited.lastErrorText().contains(QStringLiteral("locked")))
        << limited.lastErrorText().toStdString();

    // A stored procedure called without a time limit waits the same way, its statements too.
    tsqlite::registerProcedure("SP_TEST_MARK", [](tsqlite::Connection& connection,
                                                  const std::vector<tsqlite::Parameter>&,
                                                  tsqlite::ResultSink*, std::vector<tsqlite::Error>& errors) {
        return connection.execute("UPDATE PD5C_SCADLAV SET PD5C_SEL = 5", nullptr, errors, {true, 0, {}});
    });
    std::atomic<bool> called = false, written = false;
    std::atomic<qint64> waitedMs = 0;
    QList<bool> notices; // read after the thread ends
    std::thread waiter([&] {
        Connection unlimited;
        unlimited.setLockWaitNotice([&](bool waiting) { notices << waiting; });
        if (!unlimited.open(m_cs))
            return;
        Command procedure;
        procedure.setActiveConnection(&unlimited);
        procedure.setCommandType(kCmdStoredProc);
        procedure.setCommandText(QStringLiteral("SP_TEST_MARK"));
        procedure.setCommandTimeout(0);
        QElapsedTimer waited;
        waited.start();
        called = procedure.execute(nullptr, kExecNoRecords) != nullptr;
        waitedMs = waited.elapsed();
        unlimited.setCommandTimeout(0);
        written = unlimited.execute(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 4"),
                                    kCmdTextNoRecords) != nullptr;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(11000));
    EXPECT_TRUE(holder.execute(QStringLiteral("COMMIT TRANSACTION"), kCmdTextNoRecords));
    waiter.join();
    EXPECT_TRUE(called) << "the procedure without a time limit gave up";
    EXPECT_GE(waitedMs.load(), 10500);
    EXPECT_TRUE(written) << "the write without a time limit failed";
    EXPECT_EQ(notices, QList<bool>({true, false})) << "one wait for the procedure, none for the free lock";
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM PD5C_SCADLAV WHERE PD5C_SEL = 4")).toInt64(),
              std::optional<std::int64_t>(3));
}
