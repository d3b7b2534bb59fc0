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
#include <atomic>
#include <cctype>
#include <limits>
#include <mutex>
#include <random>
#include <unordered_map>
#include <utility>

namespace tsqlite {

using namespace detail;

namespace {

// The numbering of the outer rows of a query opened FromOuterRow. The statement's plan tests
// `tsqlite_outer_row(<outer table>.rowid, <id>)` once for every outer row it walks; the function
// numbers the row and keeps it when its number is in [first, limit). The limit may be lowered from
// another thread while the query runs, hence the lock (taken once an outer row, never contended
// but at that moment).
struct OuterRows {
    std::mutex mutex;
    std::int64_t walked = 0;
    std::int64_t first = 0;
    std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::atomic<bool> passed{false}; // an outer row at or past the limit was walked
};

// The numberings of the open queries of every connection, by an id written into the statement's
// text. Ids are random, so that no statement of a user finds another query's numbering by guessing.
struct OuterRowRegistry {
    std::mutex mutex;
    std::unordered_map<std::int64_t, OuterRows*> byId;
    std::mt19937_64 ids{std::random_device{}()};
};

OuterRowRegistry& outerRowRegistry() {
    static OuterRowRegistry registry;
    return registry;
}

std::int64_t registerOuterRows(OuterRows* rows) {
    OuterRowRegistry& r = outerRowRegistry();
    std::lock_guard lock(r.mutex);
    for (;;) {
        // Within int: a larger number is a decimal literal in T-SQL.
        const auto id = static_cast<std::int64_t>(r.ids() >> 33);
        if (id != 0 && r.byId.emplace(id, rows).second)
            return id;
    }
}

void unregisterOuterRows(std::int64_t id) {
    OuterRowRegistry& r = outerRowRegistry();
    std::lock_guard lock(r.mutex);
    r.byId.erase(id);
}

void outerRowFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // The numbering is looked up once a statement: SQLite keeps it beside the constant id.
    auto* rows = static_cast<OuterRows*>(sqlite3_get_auxdata(ctx, 1));
    if (!rows) {
        {
            OuterRowRegistry& r = outerRowRegistry();
            std::lock_guard lock(r.mutex);
            const auto it = r.byId.find(sqlite3_value_int64(argv[1]));
            rows = it == r.byId.end() ? nullptr : it->second;
        }
        if (!rows) {
            sqlite3_result_error(ctx, "tsqlite_outer_row() belongs to the reading of a query in parts", -1);
            return;
        }
        sqlite3_set_auxdata(ctx, 1, rows, nullptr);
    }
    std::lock_guard lock(rows->mutex);
    const std::int64_t number = rows->walked++;
    if (number >= rows->limit)
        rows->passed = true;
    sqlite3_result_int(ctx, number >= rows->first && number < rows->limit);
}

// Stops a statement that walked past its limit: the rest of its outer rows are left out anyway.
int stopPastLimit(void* rows) {
    return static_cast<OuterRows*>(rows)->passed.load(std::memory_order_relaxed) ? 1 : 0;
}

} // namespace

int detail::registerOuterRowFunction(sqlite3* db) {
    return sqlite3_create_function_v2(db, "tsqlite_outer_row", 2, SQLITE_UTF8, nullptr, outerRowFunction,
                                      nullptr, nullptr, nullptr);
}

struct Query::Impl {
    Connection::Impl* connection = nullptr; // null once the connection closed
    sqlite3_stmt* stmt = nullptr;
    std::vector<Column> columns;
    std::vector<Cell> cells;
    bool begun = false;
    bool finished = false;
    bool sorts = false;
    int startedRc = 0;                // the result of the first step taken by start(), until fetch() uses it
    std::unique_ptr<OuterRows> outer; // opened FromOuterRow
    std::int64_t outerId = 0;

    ~Impl() {
        if (outerId)
            unregisterOuterRows(outerId);
    }

    // One step; a query that walked past its outer-row limit is stopped and done.
    int step() {
        if (!outer)
            return sqlite3_step(stmt);
        sqlite3* db = sqlite3_db_handle(stmt);
        sqlite3_progress_handler(db, 100, stopPastLimit, outer.get());
        int rc = sqlite3_step(stmt);
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        if (rc == SQLITE_INTERRUPT && outer->passed)
            rc = SQLITE_DONE;
        return rc;
    }

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
        const int rc = q.startedRc ? std::exchange(q.startedRc, 0) : q.step();
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
    const int rc = q.step();
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

std::int64_t Query::outerRowsWalked() const {
    if (!m_impl->outer)
        return 0;
    std::lock_guard lock(m_impl->outer->mutex);
    return m_impl->outer->walked;
}

std::int64_t Query::limitOuterRows(std::int64_t limit) {
    if (!m_impl->outer)
        return 0;
    OuterRows& rows = *m_impl->outer;
    std::lock_guard lock(rows.mutex);
    rows.limit = std::max(limit, rows.walked);
    return rows.limit;
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

// Whether `tokens` is a plain SELECT ... FROM ... whose rows each come from one row of the tables
// it reads: no DISTINCT, TOP, aggregate or window in its list, no grouping, no compound, and no
// RIGHT or FULL join (whose rows may come from no row of the first table). Only such a SELECT can
// be cut by the rows its plan walks first.
bool rowPerJoinedRow(const std::vector<Token>& tokens) {
    if (tokens.size() < 3 || tokens[1].is("DISTINCT") || tokens[1].is("TOP"))
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
    const std::size_t other = firstTopLevel(tokens, from, [&](std::size_t i) {
        const Token& t = tokens[i];
        return t.is("GROUP") || t.is("HAVING") || t.is("UNION") || t.is("EXCEPT") || t.is("INTERSECT") ||
               t.is("WINDOW") || t.is("RIGHT") || t.is("FULL") || t.is("OFFSET");
    });
    return other == tokens.size();
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

// Adds to the statement's conditions the numbering of the outer rows of `table` under `id`,
// before its ORDER BY.
bool addOuterRowCondition(std::vector<Token>& tokens, const std::string& table, std::int64_t id) {
    std::string quoted;
    for (char ch : table)
        quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
    LexResult predicate = lex("tsqlite_outer_row([" + quoted + "].rowid, " + std::to_string(id) + ") = 1");
    if (!predicate.error.empty())
        return false;
    const std::size_t from = firstTopLevel(tokens, 0, [&](std::size_t i) { return tokens[i].is("FROM"); });
    const std::size_t where =
        firstTopLevel(tokens, from, [&](std::size_t i) { return tokens[i].is("WHERE"); });
    const std::size_t end = firstTopLevel(tokens, from, [&](std::size_t i) {
        return tokens[i].is("OPTION") || tokens[i].is("FOR") || tokens[i].kind == TokenKind::Semicolon ||
               (i + 1 < tokens.size() && tokens[i].is("ORDER") && tokens[i + 1].is("BY"));
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
    if (!plain && !rowPerJoinedRow(tokens))
        return nullptr;
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
    auto outer = plain ? nullptr : std::make_unique<OuterRows>();
    std::int64_t outerId = 0;
    if (outer) {
        // The numbering is tested in the plan's outermost loop, once an outer row, before the joins.
        const std::string table = drivingTable(c.db, translation.parts.front().sql);
        if (table.empty())
            return nullptr;
        outer->first = std::max<std::int64_t>(firstRow, 0);
        outerId = registerOuterRows(outer.get());
        const std::size_t errorsBefore = errors.size();
        if (!addOuterRowCondition(tokens, table, outerId) || !translated() ||
            drivingTable(c.db, translation.parts.front().sql) != table) {
            errors.resize(errorsBefore); // the statement as written is fine: it is read whole
            unregisterOuterRows(outerId);
            return nullptr;
        }
    }
    const SqlPart& part = translation.parts.front();
    const std::string& sql = part.sql;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(c.db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || sqlite3_column_count(stmt) == 0 || !sqlite3_stmt_readonly(stmt)) {
        if (rc != SQLITE_OK && plain)
            errors.push_back(errorFromSqlite(c.db, rc, sql));
        sqlite3_finalize(stmt);
        if (outerId)
            unregisterOuterRows(outerId);
        return nullptr;
    }
    const std::vector<const Token*> literals = statementLiterals(tokens);
    for (std::size_t i = 0; i < part.params.size(); ++i)
        bindLiteral(stmt, static_cast<int>(i + 1), *literals.at(part.params[i].literal),
                    part.params[i].asDate);

    auto impl = std::make_unique<Query::Impl>();
    impl->connection = &c;
    impl->stmt = stmt;
    impl->sorts = !plain && planSorts(c.db, sql);
    impl->columns = describeColumns(c.db, stmt);
    impl->outer = std::move(outer);
    impl->outerId = outerId;
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
