// A large result read on two connections and two threads: the record set gets exactly the rows
// of one read, on one snapshot, or fails as a whole.
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/SplitReadCursor.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;

namespace {

// Enough rows for the read to be split; GRUPPO holds many equal keys, so the two parts must
// continue the very order of the index, ties included.
constexpr int kRows = 50000;
const QString kSelect = QStringLiteral("SELECT * FROM T WHERE ID > 3 ORDER BY GRUPPO");

class SplitRead : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_source = "Provider=tsqlite;Data Source=" + m_dir.filePath("db.sqlite");
        ASSERT_TRUE(cn.open(m_source + ";Create=yes"));
        run("CREATE TABLE T (ID int NOT NULL PRIMARY KEY, GRUPPO int NOT NULL, DESCR nvarchar(40) NULL, "
            "QTA decimal(14,3) NULL, DATA datetime NULL)");
        run("CREATE INDEX IX_T_GRUPPO ON T (GRUPPO)");
        run("BEGIN TRANSACTION");
        for (int i = 1; i <= kRows; ++i)
            run(QStringLiteral("INSERT INTO T VALUES (%1, %2, %3, %4, %5)")
                    .arg(i)
                    .arg(i % 13)
                    .arg(i % 11 == 0 ? QStringLiteral("NULL")
                                     : QStringLiteral("N'riga %1 è l''ultima'").arg(i))
                    .arg(i % 7 == 0 ? QStringLiteral("NULL") : QStringLiteral("%1.125").arg(i - 20000))
                    .arg(i % 5 == 0 ? QStringLiteral("NULL")
                                    : QStringLiteral("'2026-%1-%2 %3:15:00'")
                                          .arg(1 + i % 12, 2, 10, QChar('0'))
                                          .arg(1 + i % 28, 2, 10, QChar('0'))
                                          .arg(i % 24, 2, 10, QChar('0'))));
        run("COMMIT");
    }
    void run(const QString& sql, Connection* on = nullptr) {
        Connection& c = on ? *on : cn;
        ASSERT_TRUE(c.execute(sql, kCmdTextNoRecords)) << c.lastErrorText().toStdString();
    }
    // Every cell of every row, as text.
    static QStringList rowsOf(const Recordset& rs) {
        QStringList out;
        const int count = rs.recordCount();
        for (int r = 0; r < count; ++r) {
            QStringList cells;
            for (int c = 0; c < rs.fieldCount(); ++c)
                cells << rs.valueAt(r, c).toText();
            out << cells.join(u'|');
        }
        return out;
    }
    QStringList wholeRead() {
        Recordset rs;
        EXPECT_TRUE(rs.open(kSelect, cn)) << rs.lastErrorText().toStdString();
        return rowsOf(rs);
    }

    // Waits until `splits` helpers have started their part: a record set read at once races the
    // helper's count, and on a busy machine the first part can reach the end alone.
    static void waitForTheSplit(std::int64_t before, int splits = 1) {
        QElapsedTimer waited;
        waited.start();
        while (splitReadsStarted() < before + splits && waited.elapsed() < 10000)
            QThread::msleep(2);
    }

    QTemporaryDir m_dir;
    QString m_source;
    Connection cn;
};

} // namespace

TEST_F(SplitRead, TheRowsAreThoseOfOneReadOnTheSnapshotOfTheFirstRows) {
    Connection other;
    ASSERT_TRUE(other.open(m_source));
    for (int round = 0; round < 2; ++round) { // the second read knows its row count
        const QStringList expected = wholeRead();
        ASSERT_EQ(expected.size(), kRows - 3 - round);
        const std::int64_t splitsBefore = splitReadsStarted();
        Recordset rs;
        ASSERT_TRUE(rs.openInSlices(kSelect, cn, LockType::ReadOnly, 200))
            << rs.lastErrorText().toStdString();
        // Another planner commits while the rows are read: neither part may see it.
        run(QStringLiteral("UPDATE T SET DESCR = 'cambiata' WHERE ID IN (10, %1)").arg(kRows - 5 - round),
            &other);
        run(QStringLiteral("DELETE FROM T WHERE ID = %1").arg(kRows / 2 + round), &other);
        waitForTheSplit(splitsBefore);
        ASSERT_TRUE(rs.fetchAll()) << rs.lastErrorText().toStdString();
        EXPECT_EQ(splitReadsStarted(), splitsBefore + 1) << "round " << round;
        const QStringList got = rowsOf(rs);
        ASSERT_EQ(got.size(), expected.size());
        for (int r = 0; r < got.size(); ++r)
            ASSERT_EQ(got[r], expected[r]) << "row " << r << ", round " << round;
    }
}

TEST_F(SplitRead, ARowCountFarTooHighSplitsAgainAfterCounting) {
    // The count remembered from the last read puts the split past the last row once most rows are
    // gone: the helper's first part is empty, and having walked every outer row it must split
    // again behind the first part, which holds its first slice meanwhile.
    // More rows for the first read, so that the split of the second falls past its last row.
    run("INSERT INTO T SELECT ID + 50000, GRUPPO, DESCR, QTA, DATA FROM T WHERE ID <= 30000");
    {
        Recordset first;
        ASSERT_TRUE(first.openInSlices(kSelect, cn, LockType::ReadOnly, 200));
        ASSERT_TRUE(first.fetchAll());
        ASSERT_EQ(first.recordCount(), kRows + 30000 - 3);
    }
    run("DELETE FROM T WHERE ID > 20503");
    const QStringList expected = wholeRead();
    ASSERT_EQ(expected.size(), 20500);
    const std::int64_t splitsBefore = splitReadsStarted();
    Recordset rs;
    ASSERT_TRUE(rs.openInSlices(kSelect, cn, LockType::ReadOnly, 200)) << rs.lastErrorText().toStdString();
    waitForTheSplit(splitsBefore, 2);
    EXPECT_EQ(splitReadsStarted(), splitsBefore + 2);
    ASSERT_TRUE(rs.fetchAll()) << rs.lastErrorText().toStdString();
    EXPECT_EQ(rowsOf(rs), expected);
}

TEST_F(SplitRead, AFailureInTheSecondPartFailsTheWholeRead) {
    // Division by zero on one of the last rows, which the helper reads.
    const std::int64_t splitsBefore = splitReadsStarted();
    Recordset rs;
    ASSERT_TRUE(
        rs.openInSlices(QStringLiteral("SELECT ID, 100 / (ID - %1) AS X FROM T ORDER BY ID").arg(kRows - 2),
                        cn, LockType::ReadOnly, 200))
        << rs.lastErrorText().toStdString();
    waitForTheSplit(splitsBefore);
    EXPECT_FALSE(rs.fetchAll());
    EXPECT_EQ(splitReadsStarted(), splitsBefore + 1);
    EXPECT_FALSE(rs.isOpen());
    EXPECT_TRUE(rs.lastErrorText().contains(QStringLiteral("Divide by zero")))
        << rs.lastErrorText().toStdString();
}

TEST_F(SplitRead, BothPartsReadTheClockAtTheSameMoment) {
    // The helper's statement starts after its count, milliseconds later than the first part's:
    // every row must still compare with the one moment a single statement would have read.
    const std::int64_t splitsBefore = splitReadsStarted();
    Recordset rs;
    ASSERT_TRUE(
        rs.openInSlices(QStringLiteral("SELECT ID, GETDATE() AS ORA FROM T WHERE ID > 3 ORDER BY GRUPPO"), cn,
                        LockType::ReadOnly, 200))
        << rs.lastErrorText().toStdString();
    waitForTheSplit(splitsBefore);
    ASSERT_TRUE(rs.fetchAll()) << rs.lastErrorText().toStdString();
    ASSERT_EQ(splitReadsStarted(), splitsBefore + 1);
    const QString first = rs.valueAt(0, 1).toText();
    int differing = 0;
    for (int r = 1; r < rs.recordCount(); ++r)
        differing += rs.valueAt(r, 1).toText() != first;
    EXPECT_EQ(differing, 0) << "last row at " << rs.valueAt(rs.recordCount() - 1, 1).toText().toStdString()
                            << ", first at " << first.toStdString();
}

// A connection that does not read the latest commit (its own transaction, or a statement of its
// own still half read, whose snapshot a new statement shares) reads alone: a helper would read
// other rows.
TEST_F(SplitRead, AConnectionNotReadingTheLatestCommitReadsAlone) {
    const auto descrOf = [](Recordset& rs, int id) {
        rs.setFilter(QStringLiteral("ID = %1").arg(id));
        return rs.recordCount() == 1 ? rs.value(QStringLiteral("DESCR")).toText() : QStringLiteral("?");
    };
    run("BEGIN TRANSACTION");
    run("UPDATE T SET DESCR = 'non ancora confermata' WHERE ID = 49997");
    std::int64_t splitsBefore = splitReadsStarted();
    {
        Recordset rs;
        ASSERT_TRUE(rs.openInSlices(kSelect, cn, LockType::ReadOnly, 200))
            << rs.lastErrorText().toStdString();
        ASSERT_TRUE(rs.fetchAll());
        EXPECT_EQ(descrOf(rs, 49997), QStringLiteral("non ancora confermata"));
    }
    EXPECT_EQ(splitReadsStarted(), splitsBefore);
    run("ROLLBACK");

    Recordset first;
    ASSERT_TRUE(first.openInSlices(kSelect, cn, LockType::ReadOnly, 200));
    Connection other;
    ASSERT_TRUE(other.open(m_source));
    run("UPDATE T SET DESCR = 'dopo' WHERE ID = 49997", &other);
    waitForTheSplit(splitsBefore); // the first read's own helper, started before
    splitsBefore = splitReadsStarted();
    Recordset second;
    ASSERT_TRUE(second.openInSlices(kSelect, cn, LockType::ReadOnly, 200));
    ASSERT_TRUE(second.fetchAll());
    EXPECT_EQ(splitReadsStarted(), splitsBefore);
    EXPECT_EQ(second.recordCount(), kRows - 3);
    EXPECT_EQ(descrOf(second, 49997), QStringLiteral("riga 49997 è l'ultima"));
}

TEST_F(SplitRead, ATemporaryTableOfTheConnectionIsReadByItAloneEveryTime) {
    // The helper cannot see the connection's own temporary table: neither the first read, nor
    // the second that knows the number of rows from the first, may hand it a part.
    run("CREATE TABLE #LAVORO (ID int NOT NULL PRIMARY KEY, GRUPPO int NOT NULL)");
    run("INSERT INTO #LAVORO SELECT ID, GRUPPO FROM T");
    const QString select = QStringLiteral("SELECT ID, GRUPPO FROM #LAVORO WHERE ID > 3 ORDER BY ID");
    for (int round = 0; round < 2; ++round) {
        const std::int64_t splitsBefore = splitReadsStarted();
        Recordset rs;
        ASSERT_TRUE(rs.openInSlices(select, cn, LockType::ReadOnly, 200)) << rs.lastErrorText().toStdString();
        ASSERT_TRUE(rs.fetchAll()) << "round " << round << ": " << rs.lastErrorText().toStdString();
        EXPECT_EQ(rs.recordCount(), kRows - 3);
        EXPECT_EQ(splitReadsStarted(), splitsBefore);
    }
}

TEST_F(SplitRead, ClosingHalfwayStopsTheHelperAndReleasesItsSnapshot) {
    const std::int64_t splitsBefore = splitReadsStarted();
    {
        Recordset rs;
        ASSERT_TRUE(rs.openInSlices(kSelect, cn, LockType::ReadOnly, 200));
        waitForTheSplit(splitsBefore);
        ASSERT_GT(splitReadsStarted(), splitsBefore);
    }
    // Nothing holds the database: a write and a full checkpoint go through at once.
    Connection other;
    ASSERT_TRUE(other.open(m_source));
    run("UPDATE T SET GRUPPO = 0 WHERE ID = 1", &other);
    Recordset rs;
    ASSERT_TRUE(rs.openInSlices(kSelect, cn, LockType::ReadOnly, 200));
    ASSERT_TRUE(rs.fetchAll());
    EXPECT_EQ(rs.recordCount(), kRows - 3);
}
