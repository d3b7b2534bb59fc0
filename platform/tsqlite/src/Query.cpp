// A SELECT read a slice at a time. It is translated like any statement but prepared on its own
// (never taken from the statement cache), because it stays half-stepped between slices while
// the connection runs other statements, some of which may have the same shape.
#include "Errors.h"
#include "Impl.h"
#include "Lexer.h"
#include "Runner.h"

#include <algorithm>
#include <cctype>

namespace tsqlite {

using namespace detail;

struct Query::Impl {
    Connection::Impl* connection = nullptr; // null once the connection closed
    sqlite3_stmt* stmt = nullptr;
    std::vector<Column> columns;
    std::vector<Cell> cells;
    bool begun = false;
    bool finished = false;

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
        const int rc = sqlite3_step(q.stmt);
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

std::unique_ptr<Query> Connection::openQuery(std::string_view tsql, std::vector<Error>& errors) {
    Impl& c = *m_impl;
    LexResult lexed = lex(tsql);
    if (!lexed.error.empty()) {
        errors.push_back(statementError(lexed.error));
        return nullptr;
    }
    const std::vector<Statement> statements = splitBatch(std::move(lexed.tokens));
    if (statements.size() != 1 || statements.front().bodyStart != 0 || statements.front().tokens.empty() ||
        !statements.front().tokens.front().is("SELECT"))
        return nullptr;
    const std::vector<Token>& tokens = statements.front().tokens;
    c.schema->refresh();
    Translation translation;
    Error error;
    Translator translator(c.db, *c.schema);
    if (!translator.translate(tokens, 0, translation, error, true)) {
        errors.push_back(std::move(error));
        return nullptr;
    }
    if (translation.kind != Translation::Kind::Sql || translation.parts.size() != 1 ||
        !translation.createdGlobals.empty() || !translation.droppedGlobals.empty())
        return nullptr;
    const SqlPart& part = translation.parts.front();
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(c.db, part.sql.c_str(), static_cast<int>(part.sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        errors.push_back(errorFromSqlite(c.db, rc, part.sql));
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

    auto impl = std::make_unique<Query::Impl>();
    impl->connection = &c;
    impl->stmt = stmt;
    impl->columns = describeColumns(c.db, stmt);
    impl->cells.resize(impl->columns.size());
    c.openQueries.push_back(impl.get());
    return std::make_unique<Query>(std::move(impl));
}

namespace {

std::string upper(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

void countChange(void* log, int, const char*, const char* table, sqlite3_int64) {
    auto& changes = *static_cast<Connection::Impl::ChangeLog*>(log);
    ++changes.counted;
    ++changes.byTable[upper(table ? table : "")];
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
        if (const auto it = c.changes.byTable.find(upper(table)); it != c.changes.byTable.end())
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
