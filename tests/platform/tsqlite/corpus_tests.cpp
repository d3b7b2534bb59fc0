// The statement corpus: each case of corpus/*.test is a T-SQL batch exactly as the module
// writes it, run on a database loaded from corpus/fixture.sql, with the rows or the error it
// must give. The cases of one file run in order on one database.
#include "CorpusFile.h"
#include "ErpFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace tsqlite;
using tsqlite::testing::CorpusCase;
using tsqlite::testing::parseCorpusFolder;
using tsqlite::testing::readTextFile;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::ScratchDatabase;

namespace {

std::string corpusDir() {
    return TSQLITE_CORPUS_DIR;
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
            db.connection->execute(readTextFile(corpusDir() + "/fixture.sql"), nullptr, errors);
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
    static const std::vector<CorpusCase> instance = parseCorpusFolder(corpusDir());
    return instance;
}

class Corpus : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() { tsqlite::testing::registerErpFixtureObjects(); }
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
