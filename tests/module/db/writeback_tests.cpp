// What an update sends to SQL Server: the row located by key or by every original value,
// values quoted through one formatter.
#include "FakeBackend.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;
using namespace scadlav::db::testing;

namespace {

struct Server {
    std::shared_ptr<FakeLog> log = std::make_shared<FakeLog>();
    std::unique_ptr<Connection> cn;
    Recordset rs;

    Server(FakeResult rows, std::map<std::string, FakeResult> more = {}) {
        more["SELECT * FROM T"] = std::move(rows);
        cn = std::make_unique<Connection>(std::make_unique<FakeBackend>(log, std::move(more)));
        cn->open("Driver={Fake}");
        EXPECT_TRUE(rs.open("SELECT * FROM T", *cn));
        log->texts.clear();
    }
};

FakeResult affected(std::int64_t n) {
    FakeResult r;
    r.rowsAffected = n;
    return r;
}

FakeResult count(std::int64_t n) {
    FakeResult r;
    r.columns = {column("", DataType::Integer)};
    r.rows = {{intCell(n)}};
    return r;
}

} // namespace

TEST(WriteBack, LocatesTheRowByItsKeyAndQuotesText) {
    FakeResult rows;
    rows.columns = {column("K", DataType::VarChar, "T", true), column("NAME", DataType::VarWChar, "T"),
                    column("D", DataType::DBTimeStamp, "T"), column("CALC", DataType::Integer)};
    rows.rows = {{textCell("it's"), textCell("a"), textCell("2026-03-01 10:00:00"), intCell(1)}};
    const std::string update =
        "UPDATE [T] SET [NAME] = N'O''Brien?', [D] = '20260402 08:30:00' WHERE [K] = 'it''s'";
    Server s(rows, {{update, affected(1)}});
    ASSERT_TRUE(s.rs.setValue("NAME", "O'Brien?"));
    ASSERT_TRUE(s.rs.setValue("D", QDateTime(QDate(2026, 4, 2), QTime(8, 30))));
    ASSERT_TRUE(s.rs.setValue("CALC", 5)); // computed: kept on the client only
    ASSERT_TRUE(s.rs.update()) << s.rs.lastErrorText().toStdString();
    ASSERT_EQ(s.log->texts.size(), 1u);
    EXPECT_EQ(s.log->texts[0], update);
    EXPECT_EQ(s.rs.value("NAME").asText(), "O'Brien?");
    EXPECT_EQ(s.rs.value("CALC").asInt(), 5);
}

TEST(WriteBack, WithoutKeyEveryOriginalValueLocatesTheRowAfterACount) {
    FakeResult rows;
    rows.columns = {column("A", DataType::Integer, "T"), column("B", DataType::VarChar, "T"),
                    column("Q", DataType::Decimal, "T"), column("D", DataType::DBTimeStamp, "T")};
    rows.columns[2].scale = 3;
    rows.rows = {{intCell(1), Cell{}, textCell("2.5"), textCell("2026-03-01 10:00:00.050")}};
    const std::string where =
        " WHERE [A] = 1 AND [B] IS NULL AND [Q] = 2.5 AND [D] = '20260301 10:00:00.050'";
    const std::string countSql = "SELECT COUNT(*) FROM [T]" + where;
    const std::string update = "UPDATE [T] SET [Q] = 3.25" + where;
    Server s(rows, {{countSql, count(1)}, {update, affected(1)}});
    ASSERT_TRUE(s.rs.setValue("Q", Decimal(325, 2)));
    ASSERT_TRUE(s.rs.update()) << s.rs.lastErrorText().toStdString();
    EXPECT_EQ(s.log->texts, (std::vector<std::string>{countSql, update}));
}

TEST(WriteBack, ARowThatCannotBeLocatedIsAnErrorAndTheEditStays) {
    FakeResult rows;
    rows.columns = {column("A", DataType::Integer, "T", true), column("B", DataType::Integer, "T")};
    rows.rows = {{intCell(1), intCell(2)}};
    Server s(rows, {{"UPDATE [T] SET [B] = 3 WHERE [A] = 1", affected(0)}});
    ASSERT_TRUE(s.rs.setValue("B", 3));
    EXPECT_FALSE(s.rs.update());
    EXPECT_EQ(s.rs.lastError().number, kErrRowNotLocated);
    EXPECT_EQ(s.rs.editMode(), EditMode::InProgress);
    ASSERT_FALSE(s.cn->errors().isEmpty());
    EXPECT_EQ(s.cn->errors().last().number, kErrRowNotLocated);
    s.rs.cancelUpdate();
    EXPECT_EQ(s.rs.value("B").asInt(), 2); // the shared rows were not touched
}

TEST(WriteBack, SeveralIdenticalRowsWithoutKeyAreRefusedBeforeWriting) {
    FakeResult rows;
    rows.columns = {column("A", DataType::Integer, "T")};
    rows.rows = {{intCell(1)}, {intCell(1)}};
    Server s(rows, {{"SELECT COUNT(*) FROM [T] WHERE [A] = 1", count(2)}});
    ASSERT_TRUE(s.rs.setValue("A", 5));
    EXPECT_FALSE(s.rs.update());
    EXPECT_EQ(s.rs.lastError().number, kErrRowNotLocated);
    EXPECT_EQ(s.log->texts.size(), 1u); // only the count ran
}

TEST(WriteBack, AddNewInsertsIntoTheBaseTable) {
    FakeResult rows;
    rows.columns = {column("A", DataType::Integer, "T", true), column("B", DataType::VarChar, "T")};
    Server s(rows);
    ASSERT_TRUE(s.rs.addNew());
    s.rs.setValue("A", 9);
    s.rs.setValue("B", "x'y");
    ASSERT_TRUE(s.rs.update());
    ASSERT_EQ(s.log->texts.size(), 1u);
    EXPECT_EQ(s.log->texts[0], "INSERT INTO [T] ([A], [B]) VALUES (9, 'x''y')");
    EXPECT_EQ(s.rs.recordCount(), 1);
}
