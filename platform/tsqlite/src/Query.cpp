// A SELECT read a slice at a time. It is translated like any statement but prepared on its own
// (never taken from the statement cache), because it stays half-stepped between slices while
// the connection runs other statements, some of which may have the same shape.
#include "Clock.h"
#include "Errors.h"
#include "Impl.h"
#include "Lexer.h"
#include "LocaleFree.h"
#include "Runner.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tsqlite {

using namespace detail;

struct Query::Impl {
    Connection::Impl* connection = nullptr; // null once the connection closed
    sqlite3_stmt* stmt = nullptr;
    std::vector<Column> columns;
    std::vector<Cell> cells;
    bool begun = false;
    bool finished = false;
    bool sorts = false;
    int startedRc = 0; // the result of the first step taken by start(), until fetch() uses it

    void end() {
        if (stmt)
            sqlite3_finalize(stmt);
        stmt = nullptr;
        finished = true;
        if (connection)
            std::erase(connection->openQueries, this);
        connection = nullptr;
    }
};

Query::Query(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Query::~Query() {
    m_impl->end();
}

bool Query::done() const {
    return m_impl->finished;
}

bool Query::fetch(ResultSink& sink, std::size_t maxRows, std::vector<Error>& errors) {
    Impl& q = *m_impl;
    if (q.finished)
        return true;
    if (!q.connection || !q.stmt) {
        errors.push_back(makeError(kErrCannotOpen, "The connection of the query was closed", "08003"));
        q.end();
        return false;
    }
    if (!q.begun) {
        sink.beginResultSet(q.columns);
        q.begun = true;
    }
    for (std::size_t n = 0; n < maxRows; ++n) {
        const int rc = q.startedRc ? std::exchange(q.startedRc, 0) : sqlite3_step(q.stmt);
        if (rc == SQLITE_ROW) {
            readRow(q.stmt, q.cells);
            sink.row(q.cells.data(), q.cells.size());
            continue;
        }
        if (rc == SQLITE_DONE) {
            sink.endResultSet();
            q.end();
            return true;
        }
        const char* sql = sqlite3_sql(q.stmt);
        errors.push_back(errorFromSqlite(q.connection->db, rc, sql ? sql : ""));
        q.end();
        return false;
    }
    return true;
}

bool Query::start(std::vector<Error>& errors) {
    Impl& q = *m_impl;
    if (q.finished || q.begun || q.startedRc)
        return true;
    if (!q.connection || !q.stmt) {
        errors.push_back(makeError(kErrCannotOpen, "The connection of the query was closed", "08003"));
        q.end();
        return false;
    }
    const int rc = sqlite3_step(q.stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const char* sql = sqlite3_sql(q.stmt);
        errors.push_back(errorFromSqlite(q.connection->db, rc, sql ? sql : ""));
        q.end();
        return false;
    }
    q.startedRc = rc;
    return true;
}

bool Query::sortsRows() const {
    return m_impl->sorts;
}

namespace {

// Calls `visit(parent, detail)` for each row of the query plan of `sql` until it returns false;
// false when the plan cannot be had.
template <typename Visit> bool visitPlan(sqlite3* db, const std::string& sql, Visit visit) {
    const std::string explain = "EXPLAIN QUERY PLAN " + sql;
    sqlite3_stmt* stmt = nullptr;
    const bool prepared = sqlite3_prepare_v2(db, explain.c_str(), static_cast<int>(explain.size()), &stmt,
                                             nullptr) == SQLITE_OK;
    while (prepared && sqlite3_step(stmt) == SQLITE_ROW) {
        const char* detail = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
        if (!visit(sqlite3_column_int(stmt, 1), std::string_view(detail ? detail : "")))
            break;
    }
    sqlite3_finalize(stmt);
    return prepared;
}

// Whether the plan of `sql` builds a temporary tree or joins several SELECTs before its first row.
bool planSorts(sqlite3* db, const std::string& sql) {
    bool sorts = false;
    const bool planned = visitPlan(db, sql, [&](int, std::string_view d) {
        sorts = d.find("TEMP B-TREE") != std::string_view::npos ||
                d.find("COMPOUND") != std::string_view::npos || d.find("MERGE") != std::string_view::npos ||
                d.find("UNION") != std::string_view::npos;
        return !sorts;
    });
    return sorts || !planned;
}

// The first token from `start` on, outside any parentheses, for which `matches(i)` holds, or
// tokens.size().
template <typename Match>
std::size_t firstTopLevel(const std::vector<Token>& tokens, std::size_t start, Match matches) {
    int depth = 0;
    for (std::size_t i = start; i < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::LParen)
            ++depth;
        else if (tokens[i].kind == TokenKind::RParen)
            --depth;
        else if (depth == 0 && matches(i))
            return i;
    }
    return tokens.size();
}

// Where the statement's own ORDER BY starts (not one inside parentheses), or tokens.size().
std::size_t topLevelOrderBy(const std::vector<Token>& tokens) {
    return firstTopLevel(tokens, 0, [&](std::size_t i) {
        return i + 1 < tokens.size() && tokens[i].is("ORDER") && tokens[i + 1].is("BY");
    });
}

bool isAggregateName(const Token& t) {
    static constexpr std::string_view names[] = {
        "COUNT",      "COUNT_BIG",    "SUM",      "AVG",         "MIN",
        "MAX",        "STDEV",        "STDEVP",   "VAR",         "VARP",
        "STRING_AGG", "CHECKSUM_AGG", "GROUPING", "GROUPING_ID", "APPROX_COUNT_DISTINCT"};
    for (std::string_view n : names)
        if (t.is(n))
            return true;
    return false;
}

// Counting needs none of the columns. With a select list of `1`, SQLite leaves out every outer
// join whose table nothing else reads and that matches at most one row by a unique key, so a
// wide join counts in a fraction of the time. Only a plain SELECT ... FROM ... is so rewritten:
// with DISTINCT, TOP, an aggregate or window in its list, grouping or a compound, the columns
// decide how many rows there are. True when the list was replaced.
bool selectOneInstead(std::vector<Token>& tokens) {
    if (tokens.size() < 3 || tokens[1].is("DISTINCT") || tokens[1].is("TOP") || tokens[1].is("ALL"))
        return false;
    const std::size_t from = firstTopLevel(tokens, 0, [&](std::size_t i) { return tokens[i].is("FROM"); });
    if (from >= tokens.size() || from < 2)
        return false;
    for (std::size_t i = 1; i < from; ++i) {
        const Token& t = tokens[i];
        if (t.is("OVER") || t.is("INTO") ||
            (i + 1 < from && tokens[i + 1].kind == TokenKind::LParen && isAggregateName(t)))
            return false;
    }
    const std::size_t grouped = firstTopLevel(tokens, from, [&](std::size_t i) {
        const Token& t = tokens[i];
        return t.is("GROUP") || t.is("HAVING") || t.is("UNION") || t.is("EXCEPT") || t.is("INTERSECT") ||
               t.is("WINDOW");
    });
    if (grouped < tokens.size())
        return false;
    Token one;
    one.kind = TokenKind::Number;
    one.text = "1";
    one.offset = tokens[1].offset;
    tokens.erase(tokens.begin() + 1, tokens.begin() + static_cast<std::ptrdiff_t>(from));
    tokens.insert(tokens.begin() + 1, std::move(one));
    return true;
}

// The table (or its alias) the plan of `sql` reads in its outermost loop, or "" when the plan
// starts with anything else (a subquery, a constant row).
std::string drivingTable(sqlite3* db, const std::string& sql) {
    std::string name;
    visitPlan(db, sql, [&](int parent, std::string_view d) {
        if (parent != 0)
            return true;
        for (std::string_view loop : {std::string_view("SCAN "), std::string_view("SEARCH ")})
            if (d.starts_with(loop))
                name = std::string(d.substr(loop.size(), d.find(' ', loop.size()) - loop.size()));
        return false;
    });
    if (name.empty() || name.front() == '(' || name == "CONSTANT")
        return {};
    return name;
}

// Keeps the rows of `table` whose row number is a multiple of the sample step, besides the
// statement's own conditions. `tokens` is a plain SELECT ... FROM ... [WHERE ...] without
// grouping or order (see selectOneInstead).
bool addSample(std::vector<Token>& tokens, const std::string& table) {
    std::string quoted;
    for (char ch : table)
        quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
    LexResult predicate = lex("[" + quoted + "].rowid % " + std::to_string(Connection::kSampleStep) + " = 0");
    if (!predicate.error.empty())
        return false;
    const std::size_t from = firstTopLevel(tokens, 0, [&](std::size_t i) { return tokens[i].is("FROM"); });
    const std::size_t where =
        firstTopLevel(tokens, from, [&](std::size_t i) { return tokens[i].is("WHERE"); });
    const std::size_t end = firstTopLevel(tokens, from, [&](std::size_t i) {
        return tokens[i].is("OPTION") || tokens[i].is("FOR") || tokens[i].kind == TokenKind::Semicolon;
    });
    const bool hasWhere = where < tokens.size();
    if (from >= tokens.size() || (hasWhere && where > end))
        return false;
    const std::size_t offset = tokens[from].offset;
    auto token = [&](TokenKind kind, const char* text) {
        Token t;
        t.kind = kind;
        t.text = text;
        t.offset = offset;
        return t;
    };
    std::vector<Token> added;
    if (hasWhere)
        added = {token(TokenKind::RParen, ")"), token(TokenKind::Word, "AND")};
    else
        added = {token(TokenKind::Word, "WHERE")};
    for (Token& t : predicate.tokens) {
        t.offset = offset;
        added.push_back(std::move(t));
    }
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(end), added.begin(), added.end());
    if (hasWhere)
        tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(where + 1), token(TokenKind::LParen, "("));
    return true;
}

} // namespace

std::unique_ptr<Query> Connection::openQuery(std::string_view tsql, std::vector<Error>& errors) {
    return openQuery(tsql, QueryForm::AsWritten, 0, errors);
}

bool Connection::beginSnapshot(std::vector<Error>& errors) {
    Impl& c = *m_impl;
    // BEGIN alone takes no snapshot; the first read does.
    const int rc = sqlite3_exec(c.db, "BEGIN; SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        errors.push_back(errorFromSqlite(c.db, rc, "BEGIN"));
        if (!sqlite3_get_autocommit(c.db))
            sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

void Connection::endSnapshot() {
    if (!sqlite3_get_autocommit(m_impl->db))
        sqlite3_exec(m_impl->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Connection::isIdle() const {
    if (!sqlite3_get_autocommit(m_impl->db))
        return false;
    for (sqlite3_stmt* s = sqlite3_next_stmt(m_impl->db, nullptr); s; s = sqlite3_next_stmt(m_impl->db, s))
        if (sqlite3_stmt_busy(s))
            return false;
    return true;
}

void Connection::interrupt() {
    sqlite3_interrupt(m_impl->db);
}

void Connection::freezeClock(std::shared_ptr<ClockFreeze> freeze) {
    detail::setClockFreeze(m_impl->db, std::move(freeze));
}

std::unique_ptr<WriteHold> WriteHold::tryHold(const std::string& path, int waitMs) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, waitMs);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<WriteHold>(new WriteHold(db));
}

WriteHold::~WriteHold() {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
}

std::unique_ptr<Query> Connection::openQuery(std::string_view tsql, QueryForm form, std::int64_t firstRow,
                                             std::vector<Error>& errors) {
    Impl& c = *m_impl;
    const bool plain = form == QueryForm::AsWritten;
    LexResult lexed = lex(tsql);
    if (!lexed.error.empty()) {
        errors.push_back(statementError(lexed.error));
        return nullptr;
    }
    const std::vector<Statement> statements = splitBatch(std::move(lexed.tokens));
    if (statements.size() != 1 || statements.front().bodyStart != 0 || statements.front().tokens.empty() ||
        !statements.front().tokens.front().is("SELECT"))
        return nullptr;
    std::vector<Token> tokens = statements.front().tokens;
    bool countsWithoutColumns = false;
    if (form == QueryForm::Count || form == QueryForm::SampledCount) {
        // Counting needs no order, and SQLite would put every row in order before counting it.
        const std::size_t orderBy = topLevelOrderBy(tokens);
        if (orderBy < tokens.size())
            tokens.resize(orderBy);
        countsWithoutColumns = selectOneInstead(tokens);
        if (form == QueryForm::SampledCount && !countsWithoutColumns)
            return nullptr;
    }
    c.schema->refresh();
    Translation translation;
    Error error;
    Translator translator(c.db, *c.schema);
    const auto translated = [&] {
        translation = {};
        if (!translator.translate(tokens, 0, translation, error, true)) {
            errors.push_back(std::move(error));
            return false;
        }
        return translation.kind == Translation::Kind::Sql && translation.parts.size() == 1 &&
               translation.createdGlobals.empty() && translation.droppedGlobals.empty();
    };
    if (!translated())
        return nullptr;
    if (form == QueryForm::SampledCount) {
        // The sample is taken in the plan's outermost loop, where the condition costs one test a
        // row and the joins run for the sampled rows only.
        const std::string table = drivingTable(c.db, translation.parts.front().sql);
        if (table.empty() || !addSample(tokens, table) || !translated())
            return nullptr;
    }
    const SqlPart& part = translation.parts.front();
    // A part is read with a row range appended, the same text on every connection whatever the
    // range, so that every connection's plan is the same. A SELECT that limits its own rows
    // (TOP) does not take one: it fails to prepare and is read whole.
    std::string sql = part.sql;
    if (form == QueryForm::FromRow)
        sql += " LIMIT -1 OFFSET :tsqlite_first_row";
    else if (form == QueryForm::Count && countsWithoutColumns)
        // A subquery with an OFFSET is never merged into the count, so it keeps the joins left out.
        sql = "SELECT count(*) FROM (" + sql + " LIMIT -1 OFFSET 0)";
    else if (form == QueryForm::Count)
        sql = "SELECT count(*) FROM (" + sql + ")";
    else if (form == QueryForm::SampledCount)
        sql = "SELECT count(*) * " + std::to_string(kSampleStep) + " FROM (" + sql + " LIMIT -1 OFFSET 0)";
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(c.db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        if (plain)
            errors.push_back(errorFromSqlite(c.db, rc, sql));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (sqlite3_column_count(stmt) == 0 || !sqlite3_stmt_readonly(stmt)) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    const std::vector<const Token*> literals = statementLiterals(tokens);
    for (std::size_t i = 0; i < part.params.size(); ++i)
        bindLiteral(stmt, static_cast<int>(i + 1), *literals.at(part.params[i].literal),
                    part.params[i].asDate);
    if (const int index = sqlite3_bind_parameter_index(stmt, ":tsqlite_first_row"); index > 0)
        sqlite3_bind_int64(stmt, index, std::max<std::int64_t>(firstRow, 0));

    auto impl = std::make_unique<Query::Impl>();
    impl->connection = &c;
    impl->stmt = stmt;
    impl->sorts = !plain && planSorts(c.db, sql);
    impl->columns = describeColumns(c.db, stmt);
    impl->cells.resize(impl->columns.size());
    c.openQueries.push_back(impl.get());
    return std::make_unique<Query>(std::move(impl));
}

namespace {

void countChange(void* log, int, const char*, const char* table, sqlite3_int64) {
    auto& changes = *static_cast<Connection::Impl::ChangeLog*>(log);
    ++changes.counted;
    ++changes.byTable[upperCase(table ? table : "")];
}

} // namespace

std::uint64_t Connection::dataVersion(const std::vector<std::string>& tables) {
    Impl& c = *m_impl;
    if (!c.changes.watching) {
        sqlite3_update_hook(c.db, countChange, &c.changes);
        c.changes.watching = true;
    }
    // PRAGMA data_version moves with the commits of other connections only.
    std::uint64_t version = 0;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(c.db, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = static_cast<std::uint64_t>(sqlite3_column_int64(stmt, 0));
    sqlite3_finalize(stmt);
    std::uint64_t own = 0;
    for (const std::string& table : tables)
        if (const auto it = c.changes.byTable.find(upperCase(table)); it != c.changes.byTable.end())
            own += it->second;
    // Rows changed without a call of the hook (a DELETE without WHERE empties a table at once).
    const std::uint64_t unattributed =
        static_cast<std::uint64_t>(sqlite3_total_changes64(c.db)) - c.changes.counted;
    return (version * 1000003u + own) * 1000003u + unattributed;
}

void endOpenQueries(Connection::Impl& connection) {
    // The statements go before the connection; the next fetch reports the closed connection.
    for (Query::Impl* query : connection.openQueries) {
        sqlite3_finalize(query->stmt);
        query->stmt = nullptr;
        query->connection = nullptr;
    }
    connection.openQueries.clear();
}

} // namespace tsqlite
