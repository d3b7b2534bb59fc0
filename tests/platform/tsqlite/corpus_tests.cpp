// The statement corpus: each case of corpus/*.test is a T-SQL batch exactly as the module
// writes it, run on a database loaded from corpus/fixture.sql, with the rows or the error it
// must give. The cases of one file run in order on one database.
#include "CorpusFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <mutex>

using namespace tsqlite;
using tsqlite::testing::CorpusCase;
using tsqlite::testing::parseCorpusFolder;
using tsqlite::testing::readTextFile;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::ScratchDatabase;

namespace {

// Stand-ins for the ERP database objects the module calls, registered through the embedded
// database's API: a fixed dbo.QRX_GETDATE(), the table functions FNMG62_TESTIFIS and
// FNMG36_DOCUMENTI, and a small SPPD_SITCLAVORO that fills the stock-in-phase table.
void fixedNow(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_text(ctx, "2024-03-15 12:00:00.000", -1, SQLITE_STATIC);
}

// Fills the quantity-in-work table the caller names with two phases of the production order.
bool sitcLavoro(Connection& connection, const std::vector<Parameter>& parameters, ResultSink*,
                std::vector<Error>& errors) {
    std::string dati;
    for (const auto& p : parameters)
        if (p.name == "@Tabella_Dati" && p.value.kind == Cell::Kind::Text)
            dati = p.value.text;
    if (dati.empty()) {
        errors.push_back({kErrSyntax, "SPPD_SITCLAVORO: @Tabella_Dati missing", "42000", 0, {}});
        return false;
    }
    return connection.execute(
        "CREATE TABLE " + dati +
            " (NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT, PROGRIGA_ODL int, FASE int, "
            "CLIFOR int, ARTICOLO varchar(20) COLLATE DATABASE_DEFAULT, GIACENZA decimal(14,3))\r\n"
            "INSERT INTO " +
            dati +
            " VALUES ('ODL000000001', 1, 200, 1234, 'ART-A', 35.5), "
            "('ODL000000001', 1, 100, 0, 'ART-A', -3)",
        nullptr, errors);
}

// Once per process, before any connection opens.
void registerErpFixtureObjects() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerConnectionInitializer([](sqlite3* db) {
            sqlite3_create_function_v2(db, "QRX_GETDATE", 0, SQLITE_UTF8, nullptr, fixedNow, nullptr, nullptr,
                                       nullptr);
        });
        registerTableFunction(
            "dbo.FNMG62_TESTIFIS", {"MG62_DESCR"},
            "SELECT MG62_DESCR FROM MG62_TESTIFIS WHERE MG62_CODICE = ?1 AND MG62_DITTA_CG18 = ?2");
        registerTableFunction("dbo.FNMG36_DOCUMENTI", {"MG36_DESCDOCUM"},
                              "SELECT MG36_DESCDOCUM || CASE WHEN ?3 = 1 THEN ' (periodo)' ELSE '' END FROM "
                              "MG36_DOCUMENTI WHERE MG36_CODDOCUM = ?1 AND MG36_DITTA_CG18 = ?2");
        registerProcedure("SPPD_SITCLAVORO", sitcLavoro);
    });
}

// One database per corpus file, advanced case by case; a case asked for out of order replays
// the file's earlier cases on a fresh database.
struct FileDatabase {
    std::unique_ptr<ScratchDatabase> scratch;
    std::unique_ptr<Connection> connection;
    std::size_t next = 0;
};

std::map<std::string, FileDatabase>& databases() {
    static std::map<std::string, FileDatabase> instance;
    return instance;
}

Connection& databaseFor(const CorpusCase& c, const std::vector<CorpusCase>& all) {
    FileDatabase& db = databases()[c.file];
    if (!db.connection || db.next > c.index) {
        db.connection.reset();
        db.scratch = std::make_unique<ScratchDatabase>();
        db.connection = db.scratch->open();
        std::vector<Error> errors;
        const bool loaded =
            db.connection->execute(readTextFile(TSQLITE_CORPUS_DIR "/fixture.sql"), nullptr, errors);
        EXPECT_TRUE(loaded) << (errors.empty() ? "" : errors.front().description);
        db.next = 0;
    }
    for (const CorpusCase& earlier : all) {
        if (earlier.file == c.file && earlier.index >= db.next && earlier.index < c.index) {
            std::vector<Error> ignored;
            db.connection->execute(earlier.sql, nullptr, ignored);
        }
    }
    db.next = c.index + 1;
    return *db.connection;
}

const std::vector<CorpusCase>& cases() {
    static const std::vector<CorpusCase> instance = parseCorpusFolder(TSQLITE_CORPUS_DIR);
    return instance;
}

class Corpus : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() { registerErpFixtureObjects(); }
};

} // namespace

TEST_P(Corpus, StatementGivesExpectedResult) {
    const CorpusCase& c = cases()[GetParam()];
    SCOPED_TRACE(c.file + ": " + c.name + "\n" + c.sql);
    Connection& db = databaseFor(c, cases());
    RecordingSink sink;
    std::vector<Error> errors;
    std::int64_t affected = -1;
    const bool ok = db.execute(c.sql, &sink, errors, {}, &affected);
    if (c.expect == CorpusCase::Expect::Error) {
        ASSERT_FALSE(ok);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().number, c.number) << errors.front().description;
        if (c.nativeError != 0) {
            EXPECT_EQ(errors.front().nativeError, c.nativeError) << errors.front().description;
        }
        if (!c.description.empty()) {
            EXPECT_EQ(errors.front().description, c.description);
        }
        return;
    }
    ASSERT_TRUE(ok) << errors.front().description;
    if (c.expect == CorpusCase::Expect::Affected) {
        EXPECT_EQ(affected, c.number);
        return;
    }
    if (c.expect != CorpusCase::Expect::Rows && c.expect != CorpusCase::Expect::RowSet)
        return;
    ASSERT_FALSE(sink.results.empty());
    const auto& result = sink.results.back();
    if (!c.columns.empty()) {
        std::vector<std::string> names;
        for (const auto& col : result.columns)
            names.push_back(col.name);
        EXPECT_EQ(names, c.columns);
    }
    auto actual = result.rows;
    auto expected = c.rows;
    if (c.expect == CorpusCase::Expect::RowSet) {
        std::sort(actual.begin(), actual.end());
        std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Statements, Corpus, ::testing::Range<std::size_t>(0, cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             const CorpusCase& c = cases()[info.param];
                             std::string name = c.file + "_" + std::to_string(c.index) + "_" + c.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });
