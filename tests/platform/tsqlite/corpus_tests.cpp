// The statement corpus: each case of corpus/*.test is a T-SQL batch exactly as the module
// writes it, run on a database loaded from corpus/fixture.sql, with the rows or the error it
// must give. The cases of one file run in order on one database.
#include "ErpFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace tsqlite;
using tsqlite::testing::RecordingSink;
using tsqlite::testing::ScratchDatabase;

namespace {

struct Case {
    std::string file;
    std::size_t index = 0;
    std::string name;
    std::string sql;
    enum class Expect { Rows, RowSet, Error, Ok, Affected } expect = Expect::Ok;
    std::int64_t number = 0; // error number or affected rows
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

std::string corpusDir() {
    return TSQLITE_CORPUS_DIR;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One CSV line: fields separated by commas, "..." quotes a field ("" inside is a quote).
std::vector<std::string> csv(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

std::vector<Case> parseFile(const std::string& path) {
    std::vector<Case> cases;
    std::istringstream in(readFile(path));
    std::string line;
    bool inExpect = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("=== ", 0) == 0) {
            Case c;
            c.file = std::filesystem::path(path).stem().string();
            c.index = cases.size();
            c.name = line.substr(4);
            cases.push_back(std::move(c));
            inExpect = false;
            continue;
        }
        if (cases.empty())
            continue; // the file's header
        Case& c = cases.back();
        if (line.rfind("--- ", 0) == 0) {
            inExpect = true;
            std::istringstream words(line.substr(4));
            std::string kind, value;
            words >> kind >> value;
            if (kind == "rows") {
                c.expect = Case::Expect::Rows;
            } else if (kind == "rowset") {
                c.expect = Case::Expect::RowSet;
            } else if (kind == "error") {
                c.expect = Case::Expect::Error;
                c.number = static_cast<std::int32_t>(std::stoul(value, nullptr, 16));
            } else if (kind == "affected") {
                c.expect = Case::Expect::Affected;
                c.number = std::stoll(value);
            } else {
                c.expect = Case::Expect::Ok;
            }
            continue;
        }
        if (!inExpect) {
            c.sql += line + "\r\n";
        } else if (!line.empty() && line[0] == '#') {
            c.columns = csv(line.substr(1));
        } else if (!line.empty()) {
            c.rows.push_back(csv(line));
        }
    }
    return cases;
}

std::vector<Case> allCases() {
    std::vector<Case> out;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        if (entry.path().extension() == ".test")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        auto cases = parseFile(f);
        out.insert(out.end(), cases.begin(), cases.end());
    }
    return out;
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

Connection& databaseFor(const Case& c, const std::vector<Case>& all) {
    FileDatabase& db = databases()[c.file];
    if (!db.connection || db.next > c.index) {
        db.connection.reset();
        db.scratch = std::make_unique<ScratchDatabase>();
        db.connection = db.scratch->open();
        std::vector<Error> errors;
        const bool loaded = db.connection->execute(readFile(corpusDir() + "/fixture.sql"), nullptr, errors);
        EXPECT_TRUE(loaded) << (errors.empty() ? "" : errors.front().description);
        db.next = 0;
    }
    for (const Case& earlier : all) {
        if (earlier.file == c.file && earlier.index >= db.next && earlier.index < c.index) {
            std::vector<Error> ignored;
            db.connection->execute(earlier.sql, nullptr, ignored);
        }
    }
    db.next = c.index + 1;
    return *db.connection;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> instance = allCases();
    return instance;
}

class Corpus : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() { tsqlite::testing::registerErpFixtureObjects(); }
};

} // namespace

TEST_P(Corpus, StatementGivesExpectedResult) {
    const Case& c = cases()[GetParam()];
    SCOPED_TRACE(c.file + ": " + c.name + "\n" + c.sql);
    Connection& db = databaseFor(c, cases());
    RecordingSink sink;
    std::vector<Error> errors;
    std::int64_t affected = -1;
    const bool ok = db.execute(c.sql, &sink, errors, {}, &affected);
    if (c.expect == Case::Expect::Error) {
        ASSERT_FALSE(ok);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().number, c.number) << errors.front().description;
        return;
    }
    ASSERT_TRUE(ok) << errors.front().description;
    if (c.expect == Case::Expect::Affected) {
        EXPECT_EQ(affected, c.number);
        return;
    }
    if (c.expect != Case::Expect::Rows && c.expect != Case::Expect::RowSet)
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
    if (c.expect == Case::Expect::RowSet) {
        std::sort(actual.begin(), actual.end());
        std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Statements, Corpus, ::testing::Range<std::size_t>(0, cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             const Case& c = cases()[info.param];
                             std::string name = c.file + "_" + std::to_string(c.index) + "_" + c.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });
