#include "FakeBackend.h"
#include "module/db/Command.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;
using namespace scadlav::db::testing;

namespace {

struct Fixture {
    std::shared_ptr<FakeLog> log = std::make_shared<FakeLog>();
    std::unique_ptr<Connection> cn;
    std::vector<std::string> keep; // text the scripted cells view

    explicit Fixture(std::map<std::string, FakeResult> script = {}) {
        cn = std::make_unique<Connection>(std::make_unique<FakeBackend>(log, std::move(script)));
        cn->setConnectionString("Driver={Fake}");
        EXPECT_TRUE(cn->open());
    }
};

FakeResult twoRows() {
    FakeResult r;
    r.columns = {column("ID", DataType::Integer, "T", true), column("NAME", DataType::VarWChar, "T")};
    r.rows = {{intCell(1), textCell("a")}, {intCell(2), Cell{}}};
    return r;
}

FakeResult failure(std::int64_t number, const char* text, const char* state) {
    FakeResult r;
    r.fail = true;
    r.error = ProviderError{number, text, state, 0, {}};
    return r;
}

} // namespace

TEST(Connection, EliminaTabellaTempDropsOnlyGlobalTempsAndSwallowsItsError) {
    const std::string drop = "IF OBJECT_ID('tempdb..##T_1') IS NOT NULL DROP TABLE ##T_1";
    Fixture f({{drop, failure(-2147217865, "Invalid object name", "42S02")}});
    EXPECT_EQ(f.cn->EliminaTabellaTemp("TempDati_x"), ""); // no ##: nothing is sent
    EXPECT_EQ(f.cn->EliminaTabellaTemp(""), "");
    EXPECT_TRUE(f.log->texts.empty());
    EXPECT_EQ(f.cn->EliminaTabellaTemp("##T_1").toStdString(), drop);
    ASSERT_EQ(f.log->texts.size(), 1u);
    EXPECT_EQ(f.log->texts[0], drop);
    EXPECT_TRUE(f.cn->errors().isEmpty());
}

TEST(Connection, ExecuteReturnsRowsUnlessAskedForNone) {
    Fixture f({{"SELECT * FROM T", twoRows()}});
    auto rs = f.cn->execute("SELECT * FROM T", kCmdText);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->isOpen());
    EXPECT_EQ(rs->recordCount(), 2);
    rs->moveLast();
    EXPECT_TRUE(rs->value("NAME").isNull());
    EXPECT_FALSE(rs->setValue("NAME", "x")); // rows of a statement are read-only
    EXPECT_EQ(rs->lastError().number, kErrReadOnly);

    auto none = f.cn->execute("SELECT * FROM T", kCmdTextNoRecords);
    ASSERT_TRUE(none);            // success ...
    EXPECT_FALSE(none->isOpen()); // ... with no rows
    EXPECT_EQ(none->recordCount(), -1);

    auto plain = f.cn->execute("DELETE FROM T", kCmdText);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->isOpen());
}

TEST(Connection, FailuresFillTheErrorListUntilCleared) {
    Fixture f({{"BAD", failure(-2147217900, "Incorrect syntax near 'BAD'", "42000")}});
    EXPECT_EQ(f.cn->execute("BAD"), nullptr);
    ASSERT_EQ(f.cn->errors().size(), 1);
    EXPECT_EQ(f.cn->errors()[0].number, -2147217900);
    EXPECT_EQ(f.cn->errors()[0].description, "Incorrect syntax near 'BAD'");
    EXPECT_EQ(f.cn->errors()[0].sqlState, "42000");
    Recordset rs;
    EXPECT_FALSE(rs.open("BAD", *f.cn));
    EXPECT_EQ(rs.state(), ObjectState::Closed);
    EXPECT_EQ(rs.lastError().description, "Incorrect syntax near 'BAD'");
    EXPECT_EQ(f.cn->errors().size(), 2);
    f.cn->clearErrors();
    EXPECT_TRUE(f.cn->errors().isEmpty());
}

TEST(Connection, ReopeningAfterCloseWorksAndOldRecordSetsStayDetached) {
    Fixture f({{"SELECT * FROM T", twoRows()}});
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM T", *f.cn));
    f.cn->close();
    EXPECT_EQ(f.cn->state(), ObjectState::Closed);
    ASSERT_TRUE(f.cn->open()) << f.cn->lastErrorText().toStdString();
    EXPECT_FALSE(rs.requery()); // bound to the earlier opening
    Recordset again;
    EXPECT_TRUE(again.open("SELECT * FROM T", *f.cn));
}

TEST(Connection, ClosedConnectionFailsCleanlyAndRecordSetsOutliveIt) {
    Fixture f({{"SELECT * FROM T", twoRows()}});
    Recordset rs;
    ASSERT_TRUE(rs.open("SELECT * FROM T", *f.cn));
    f.cn.reset(); // the connection object is gone
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_FALSE(rs.requery());
    EXPECT_FALSE(rs.lastErrorText().isEmpty());
    ASSERT_TRUE(rs.setValue("NAME", "x"));
    EXPECT_FALSE(rs.update());
    EXPECT_EQ(rs.editMode(), EditMode::InProgress); // the edit is kept, not lost
}

TEST(Connection, OpeningNeedsAUsableConnectionString) {
    Connection empty;
    EXPECT_FALSE(empty.open());
    EXPECT_FALSE(empty.errors().isEmpty());
    EXPECT_EQ(empty.execute("SELECT 1"), nullptr);

    Connection missing;
    EXPECT_FALSE(missing.open("Provider=tsqlite;Data Source=/nonexistent/dir/x.db"));
    ASSERT_FALSE(missing.errors().isEmpty());
    EXPECT_EQ(missing.state(), ObjectState::Closed);
}

TEST(Command, StoredProcedureGetsItsNamedParametersOnce) {
    Fixture f;
    Command cmd;
    cmd.setActiveConnection(f.cn.get());
    cmd.setCommandType(kCmdStoredProc);
    cmd.setCommandText("SPPD_SITCLAVORO");
    cmd.setCommandTimeout(0);
    cmd.setParameter("@Ditta", 1, true);
    cmd.setParameter("@DataElab", Value::null());
    cmd.setParameter("@ditta", 7, true); // the same parameter, set again
    ASSERT_TRUE(cmd.execute());
    ASSERT_EQ(f.log->calls.size(), 1u);
    const auto& [name, params] = f.log->calls[0];
    EXPECT_EQ(name, "SPPD_SITCLAVORO");
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].value.asInt(), 7);
    EXPECT_TRUE(params[0].smallInt);
    EXPECT_TRUE(params[1].value.isNull());
}
