// The function table against what implements, exercises and documents it: each function has a
// case in corpus/functions.test that reaches it, each SQLite function the table names exists
// on a connection and no tsql_* function exists that the table lacks, and docs/tsqlite.md
// lists the same functions with the same SQLite names and types.
#include "CorpusFile.h"
#include "FunctionTable.h"
#include "Lexer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

using namespace tsqlite;
using namespace tsqlite::detail;
using tsqlite::testing::ScratchDatabase;

namespace {

// ASCII case, whatever the locale.
std::string withCase(std::string_view s, char from, char to) {
    std::string out;
    for (char c : s)
        out += c >= from && c <= from + 25 ? static_cast<char>(c - from + to) : c;
    return out;
}
std::string lower(std::string_view s) {
    return withCase(s, 'A', 'a');
}
std::string upper(std::string_view s) {
    return withCase(s, 'a', 'A');
}

std::string describe(const FunctionRow& row) {
    return (row.tsql.empty() ? std::string("(rewriter)") : upper(row.tsql)) + " -> " +
           std::string(row.sqlite);
}

// The words of a text (lower case), and those of them called: followed by "(".
struct Words {
    std::set<std::string> all;
    std::set<std::string> called;
    void add(std::string_view text) {
        const auto tokens = lex(text).tokens;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].kind != TokenKind::Word)
                continue;
            all.insert(lower(tokens[i].text));
            if (i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::LParen)
                called.insert(lower(tokens[i].text));
        }
    }
};

struct CaseWords {
    Words tsql;
    Words translated;
};

// Each case of functions.test as written and as translated, run in order on the fixture
// database so that a case sees the tables the earlier ones created.
std::vector<CaseWords> functionCases() {
    ScratchDatabase scratch;
    auto db = scratch.open();
    tsqlite::testing::run(*db, tsqlite::testing::readTextFile(TSQLITE_CORPUS_DIR "/fixture.sql"));
    std::vector<Error> errors;
    std::vector<CaseWords> out;
    for (const auto& c : tsqlite::testing::parseCorpusFile(TSQLITE_CORPUS_DIR "/functions.test")) {
        CaseWords words;
        words.tsql.add(c.sql);
        std::vector<std::string> statements;
        if (db->translate(c.sql, statements, errors)) {
            for (const auto& s : statements)
                words.translated.add(s);
        }
        db->execute(c.sql, nullptr, errors);
        out.push_back(std::move(words));
    }
    return out;
}

bool reaches(const CaseWords& c, const FunctionRow& row) {
    const std::string tsql(row.tsql), sqlite(row.sqlite);
    switch (row.reached) {
    case Reached::Call:
        return c.tsql.called.contains(tsql) && c.translated.called.contains(sqlite);
    case Reached::Operator:
        return c.tsql.all.contains(tsql);
    case Reached::Rewriter:
        return c.translated.called.contains(sqlite);
    }
    return false;
}

struct Registered {
    std::string name;
    bool builtin = false;
    int args = 0;
    bool deterministic = false;
};

std::vector<Registered> registeredFunctions(sqlite3* db) {
    std::vector<Registered> out;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT name, builtin, narg, flags FROM pragma_function_list", -1, &stmt,
                                 nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        out.push_back({lower(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))),
                       sqlite3_column_int(stmt, 1) != 0, sqlite3_column_int(stmt, 2),
                       (sqlite3_column_int(stmt, 3) & SQLITE_DETERMINISTIC) != 0});
    }
    sqlite3_finalize(stmt);
    return out;
}

// The cells of the lines of the table under "## T-SQL functions" in docs/tsqlite.md.
std::vector<std::vector<std::string>> documentedFunctions() {
    const std::string doc =
        tsqlite::testing::readTextFile(std::string(SCADLAV_SOURCE_DIR) + "/docs/tsqlite.md");
    const auto begin = doc.find("\n## T-SQL functions\n");
    EXPECT_NE(begin, std::string::npos) << "docs/tsqlite.md has no section \"T-SQL functions\"";
    if (begin == std::string::npos)
        return {};
    std::istringstream section(doc.substr(begin + 1, doc.find("\n## ", begin + 1) - begin - 1));
    std::vector<std::vector<std::string>> lines;
    bool header = true;
    for (std::string line; std::getline(section, line);) {
        if (line.rfind("|", 0) != 0)
            continue;
        if (header || line.rfind("|---", 0) == 0) {
            header = false;
            continue;
        }
        std::istringstream fields(line.substr(1));
        lines.emplace_back();
        for (std::string cell; std::getline(fields, cell, '|');) {
            cell.erase(0, cell.find_first_not_of(' '));
            cell.erase(cell.find_last_not_of(' ') + 1);
            lines.back().push_back(cell);
        }
    }
    return lines;
}

bool containsWord(const std::string& text, const std::string& word) {
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
        const bool before = at > 0 && isWordChar(text[at - 1]);
        const bool after = at + word.size() < text.size() && isWordChar(text[at + word.size()]);
        if (!before && !after)
            return true;
    }
    return false;
}

std::string documentedType(const FunctionRow& row) {
    switch (row.result) {
    case Result::Fixed:
        return "`" + std::string(row.type) + "`";
    case Result::TargetType:
        return "`T`";
    case Result::FirstTyped:
        return "first argument";
    case Result::Unknown:
        return "";
    }
    return "?";
}

// A line of the documentation's table describes a row when it names the T-SQL function, calls
// the SQLite function and gives the same type.
bool documents(const std::vector<std::string>& cells, const FunctionRow& row) {
    if (cells.size() < 3)
        return false;
    const std::string sqlite = "`" + std::string(row.sqlite);
    const bool names = row.tsql.empty() || containsWord(cells[0], upper(row.tsql));
    const bool calls = cells[1].find(sqlite + "(") != std::string::npos || cells[1] == sqlite + "`";
    return names && calls && cells[2] == documentedType(row);
}

} // namespace

TEST(FunctionTable, EveryFunctionHasACaseInTheCorpusThatReachesIt) {
    const auto cases = functionCases();
    for (const FunctionRow& row : functionTable()) {
        const bool reached =
            std::any_of(cases.begin(), cases.end(), [&](const CaseWords& c) { return reaches(c, row); });
        EXPECT_TRUE(reached) << "no case of corpus/functions.test calls " << describe(row);
    }
}

TEST(FunctionTable, RowsOfOneSqliteFunctionAgreeAndNamesAreUnique) {
    // Registration takes the implementation, and the type pass the result, of the first row
    // naming a SQLite function: the others must not say otherwise.
    const auto table = functionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = i + 1; j < table.size(); ++j) {
            const FunctionRow& a = table[i];
            const FunctionRow& b = table[j];
            if (!a.tsql.empty() && a.tsql == b.tsql)
                ADD_FAILURE() << "two rows for " << describe(a);
            if (a.sqlite != b.sqlite)
                continue;
            EXPECT_TRUE(a.native.fn == b.native.fn && a.native.deterministic == b.native.deterministic)
                << describe(a) << " and " << describe(b) << " register different implementations";
            EXPECT_TRUE(a.result == b.result && a.type == b.type)
                << describe(a) << " and " << describe(b) << " give different result types";
        }
    }
}

TEST(FunctionTable, ConnectionsHaveEveryFunctionOfTheTableAndNoOtherOfOurs) {
    ScratchDatabase scratch;
    const auto db = scratch.open();
    const auto registered = registeredFunctions(db->handle());
    constexpr int kAnyArity = -2; // pragma_function_list gives -1 for "any number"
    auto find = [&](const std::string& name, bool builtin, int args) {
        return std::find_if(registered.begin(), registered.end(), [&](const Registered& r) {
            return r.name == name && r.builtin == builtin && (args == kAnyArity || r.args == args);
        });
    };
    for (const FunctionRow& row : functionTable()) {
        const std::string name(row.sqlite);
        if (!row.native.fn) {
            EXPECT_NE(find(name, true, kAnyArity), registered.end())
                << "SQLite has no function " << describe(row);
            continue;
        }
        for (int args = row.native.minArgs; args <= row.native.maxArgs; ++args) {
            const auto it = find(name, false, args);
            ASSERT_NE(it, registered.end())
                << describe(row) << " is not registered with " << args << " arguments";
            EXPECT_EQ(it->deterministic, row.native.deterministic) << describe(row);
        }
    }
    // Ours: every tsql_* function, and every function that replaces a built-in of SQLite.
    const auto table = functionTable();
    for (const Registered& r : registered) {
        if (r.builtin ||
            !(r.name.rfind("tsql_", 0) == 0 || find(r.name, true, kAnyArity) != registered.end()))
            continue;
        const bool inTable = std::any_of(table.begin(), table.end(), [&](const FunctionRow& row) {
            return row.sqlite == r.name && row.native.fn && row.native.minArgs <= r.args &&
                   r.args <= row.native.maxArgs;
        });
        EXPECT_TRUE(inTable) << r.name << " with " << r.args
                             << " arguments is registered but not in the table";
    }
}

TEST(FunctionTable, DocumentationListsTheSameFunctions) {
    const auto lines = documentedFunctions();
    ASSERT_FALSE(lines.empty());
    for (const FunctionRow& row : functionTable()) {
        const bool documented =
            std::any_of(lines.begin(), lines.end(), [&](const auto& cells) { return documents(cells, row); });
        EXPECT_TRUE(documented) << "docs/tsqlite.md has no line for " << describe(row) << " typed as \""
                                << documentedType(row) << "\"";
    }
    for (const auto& cells : lines) {
        const auto table = functionTable();
        const bool known = std::any_of(table.begin(), table.end(),
                                       [&](const FunctionRow& row) { return documents(cells, row); });
        EXPECT_TRUE(known) << "docs/tsqlite.md lists a function the table lacks: " << cells[0];
    }
}
