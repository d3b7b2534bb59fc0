// A record set read in slices: the first rows at once, the rest while the event loop is idle,
// and never a part of the rows for a call that needs all of them.
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;

namespace {

constexpr int kRows = 1000;

class SlicedLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(cn.open("Provider=tsqlite;Data Source=" + m_dir.filePath("db.sqlite") + ";Create=yes"));
        run("CREATE TABLE T (ID int NOT NULL PRIMARY KEY, GRUPPO int NOT NULL, DESCR nvarchar(20) NULL)");
        run("BEGIN TRANSACTION");
        for (int i = 1; i <= kRows; ++i)
            run(QStringLiteral("INSERT INTO T VALUES (%1, %2, 'riga %1')").arg(i).arg(i % 7));
        run("COMMIT");
    }
    void run(const QString& sql) {
        ASSERT_TRUE(cn.execute(sql, kCmdTextNoRecords)) << cn.lastErrorText().toStdString();
    }
    // A record set with its first ten rows read.
    std::unique_ptr<Recordset> opened() {
        auto rs = std::make_unique<Recordset>();
        EXPECT_TRUE(rs->openInSlices("SELECT * FROM T ORDER BY ID", cn, LockType::Optimistic, 10))
            << rs->lastErrorText().toStdString();
        EXPECT_TRUE(rs->isFetching());
        EXPECT_EQ(rs->fetchedCount(), 10);
        return rs;
    }

    QTemporaryDir m_dir;
    Connection cn;
};

int idOf(const Recordset& rs) {
    return static_cast<int>(rs.value(QStringLiteral("ID")).toInt64().value_or(-1));
}

} // namespace

TEST_F(SlicedLoad, EveryCallThatNeedsAllRowsReadsTheRestFirst) {
    EXPECT_EQ(opened()->recordCount(), kRows);
    {
        auto rs = opened();
        auto copy = rs->clone();
        EXPECT_FALSE(rs->isFetching());
        EXPECT_EQ(copy->recordCount(), kRows);
    }
    {
        auto rs = opened();
        ASSERT_TRUE(rs->setFilter("ID > 400"));
        EXPECT_EQ(rs->recordCount(), kRows - 400);
    }
    {
        auto rs = opened();
        ASSERT_TRUE(rs->setSort("ID DESC"));
        EXPECT_EQ(rs->valueAt(0, 0).toInt64(), kRows);
    }
    {
        auto rs = opened();
        ASSERT_TRUE(rs->moveLast());
        EXPECT_EQ(idOf(*rs), kRows);
    }
    {
        auto rs = opened();
        ASSERT_TRUE(rs->moveTo(kRows - 1));
        EXPECT_EQ(rs->valueAt(kRows - 2, 0).toInt64(), kRows - 1);
    }
    {
        // A loop to the end sees every row, not the ten read.
        auto rs = opened();
        int seen = 0;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            ++seen;
        EXPECT_EQ(seen, kRows);
    }
    {
        // A row added goes after the whole result, not after the rows read so far.
        auto rs = opened();
        ASSERT_TRUE(rs->addNew());
        ASSERT_TRUE(rs->setValue("ID", Value(std::int64_t{5000})));
        ASSERT_TRUE(rs->setValue("GRUPPO", Value(std::int64_t{1})));
        ASSERT_TRUE(rs->update()) << rs->lastErrorText().toStdString();
        EXPECT_EQ(rs->recordCount(), kRows + 1);
        EXPECT_EQ(rs->valueAt(kRows, 0).toInt64(), 5000);
    }
    {
        // Running the statement again starts over and reads it whole.
        auto rs = opened();
        ASSERT_TRUE(rs->requery());
        EXPECT_FALSE(rs->isFetching());
        EXPECT_EQ(rs->fetchedCount(), kRows + 1);
    }
}

TEST_F(SlicedLoad, AWriteWhileTheRestIsReadWaitsForItEvenAfterAnotherSessionsCommit) {
    // The half-read result keeps the connection on the database as it was when reading began;
    // once another session has committed, that connection can write only after the reading ends.
    auto rs = opened();
    Connection other;
    ASSERT_TRUE(other.open("Provider=tsqlite;Data Source=" + m_dir.filePath("db.sqlite")));
    ASSERT_TRUE(other.execute("UPDATE T SET DESCR = 'altra' WHERE ID = 900", kCmdTextNoRecords))
        << other.lastErrorText().toStdString();
    ASSERT_TRUE(rs->moveFirst());
    ASSERT_TRUE(rs->setValue("DESCR", Value(QStringLiteral("scritta"))));
    ASSERT_TRUE(rs->update()) << rs->lastErrorText().toStdString();
    EXPECT_FALSE(rs->isFetching());
    EXPECT_EQ(rs->recordCount(), kRows);
    Recordset check;
    ASSERT_TRUE(check.open("SELECT DESCR FROM T WHERE ID = 1", other));
    EXPECT_EQ(check.value(QStringLiteral("DESCR")).toText(), QStringLiteral("scritta"));
}

TEST_F(SlicedLoad, AFailureHalfwayDropsThePartialRowsAndSaysWhy) {
    std::vector<RecordsetEvent::Kind> events;
    auto rs = opened();
    rs->addListener([&events](const RecordsetEvent& e) { events.push_back(e.kind); });
    cn.close();
    EXPECT_EQ(rs->fetchMore(100), -1);
    EXPECT_FALSE(rs->isOpen());
    EXPECT_FALSE(rs->isFetching());
    EXPECT_EQ(rs->recordCount(), -1); // closed, never the ten rows read
    EXPECT_FALSE(rs->lastErrorText().isEmpty());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), RecordsetEvent::Kind::FetchFailed);

    // The same through a call that needs every row.
    ASSERT_TRUE(cn.open());
    auto other = opened();
    cn.close();
    EXPECT_FALSE(other->clone());
    EXPECT_FALSE(other->isOpen());
}

TEST_F(SlicedLoad, TheModelGrowsSliceBySliceWhileTheEventLoopRuns) {
    auto rs = opened();
    RecordsetModel model(rs.get());
    EXPECT_EQ(model.rowCount(), 10);
    EXPECT_TRUE(model.canFetchMore({}));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy finished(&model, &RecordsetModel::fetchFinished);
    model.fetchMore({}); // a view asking for more gets a slice, not everything
    EXPECT_GT(model.rowCount(), 10);
    model.setFetchInBackground(true);
    QElapsedTimer clock;
    clock.start();
    while (model.canFetchMore({}) && clock.elapsed() < 10000)
        QCoreApplication::processEvents();
    EXPECT_FALSE(model.canFetchMore({}));
    EXPECT_EQ(model.rowCount(), kRows);
    EXPECT_GE(inserted.count(), 1);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.front().front().toInt(), kRows);
    EXPECT_EQ(model.data(model.index(kRows - 1, 0), Qt::EditRole).toInt(), kRows);
}

TEST_F(SlicedLoad, ASmallResultIsWholeAtOnce) {
    Recordset rs;
    ASSERT_TRUE(rs.openInSlices("SELECT * FROM T WHERE ID <= 5", cn, LockType::Optimistic, 200));
    EXPECT_FALSE(rs.isFetching());
    EXPECT_EQ(rs.fetchedCount(), 5);
    Recordset bad;
    EXPECT_FALSE(bad.openInSlices("SELECT NOPE FROM T", cn, LockType::Optimistic, 200));
    EXPECT_FALSE(bad.isOpen());
    EXPECT_TRUE(bad.lastErrorText().contains("NOPE")) << bad.lastErrorText().toStdString();
}
