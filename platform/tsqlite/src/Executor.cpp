// Running T-SQL batches: split, translate (or find the translation by shape), bind the
// statement's literals, step, and keep the "##" catalog up to date.
#include "Dates.h"
#include "Errors.h"
#include "GlobalTemps.h"
#include "Impl.h"
#include "Lexer.h"
#include "Runner.h"

#include <algorithm>

namespace tsqlite {

using namespace detail;

namespace {

bool isDml(const Token& t) {
    return t.is("SELECT") || t.is("INSERT") || t.is("UPDATE") || t.is("DELETE");
}

} // namespace

bool Connection::Impl::runPart(sqlite3_stmt* stmt, const std::vector<ParamRef>& params,
                               const std::vector<const Token*>& literals, ResultSink* sink,
                               const ExecOptions& options, std::int64_t* rowsAffected, CachedPart* cached,
                               std::vector<Error>& errors) {
    for (std::size_t i = 0; i < params.size(); ++i)
        bindLiteral(stmt, static_cast<int>(i + 1), *literals.at(params[i].literal), params[i].asDate);
    const std::vector<Column>* known = nullptr;
    if (cached && sink && !options.noRecords && sqlite3_column_count(stmt) > 0) {
        if (!cached->described) {
            cached->columns = describeColumns(db, stmt);
            cached->described = true;
        }
        known = &cached->columns;
    }
    const int rc = runPrepared(db, stmt, sink, options.noRecords, rowsAffected, known);
    bool ok = rc == SQLITE_DONE;
    if (!ok)
        errors.push_back(errorFromSqlite(db, rc, sqlite3_sql(stmt) ? sqlite3_sql(stmt) : ""));
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return ok;
}

bool Connection::Impl::runCountedUpdate(sqlite3_stmt* update, const std::vector<ParamRef>& updateParams,
                                        sqlite3_stmt* count, const std::vector<ParamRef>& countParams,
                                        const std::vector<const Token*>& literals, const ExecOptions& options,
                                        std::int64_t* rowsAffected, std::vector<Error>& errors) {
    // The rows are counted before the update, whose assignments may take rows out of its WHERE.
    // Outside a transaction the write lock is taken first (waiting for it as any write does), so
    // nobody commits between the count and the update; inside one, a savepoint makes the pair
    // one statement that a failure undoes.
    const bool own = sqlite3_get_autocommit(db) != 0;
    const char* begin = own ? "BEGIN IMMEDIATE" : "SAVEPOINT tsqlite_counted_update";
    const char* end = own ? "COMMIT" : "RELEASE tsqlite_counted_update";
    int rc = sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        errors.push_back(errorFromSqlite(db, rc, begin));
        return false;
    }
    for (std::size_t i = 0; i < countParams.size(); ++i)
        bindLiteral(count, static_cast<int>(i + 1), *literals.at(countParams[i].literal),
                    countParams[i].asDate);
    rc = sqlite3_step(count);
    bool ok = rc == SQLITE_ROW;
    const std::int64_t matched = ok ? sqlite3_column_int64(count, 0) : 0;
    if (!ok)
        errors.push_back(errorFromSqlite(db, rc, sqlite3_sql(count) ? sqlite3_sql(count) : ""));
    sqlite3_reset(count);
    sqlite3_clear_bindings(count);
    std::int64_t written = 0;
    ok = ok && runPart(update, updateParams, literals, nullptr, options, &written, nullptr, errors);
    if (ok) {
        rc = sqlite3_exec(db, end, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            // The commit failed (the disk, a lock): nothing was written.
            errors.push_back(errorFromSqlite(db, rc, end));
            ok = false;
        }
    }
    if (!ok) {
        if (own) {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            sqlite3_exec(db, "ROLLBACK TO tsqlite_counted_update", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "RELEASE tsqlite_counted_update", nullptr, nullptr, nullptr);
        }
        return false;
    }
    if (rowsAffected)
        *rowsAffected = matched;
    return true;
}

bool Connection::Impl::afterSuccess(const Translation& translation, std::vector<Error>& errors) {
    bool ok = true;
    for (const auto& name : translation.createdGlobals)
        ok = recordGlobalTemp(db, name, token, errors) && ok;
    for (const auto& name : translation.droppedGlobals)
        ok = forgetGlobalTemp(db, name, errors) && ok;
    return ok;
}

bool Connection::Impl::runCached(CacheEntry& entry, const std::vector<const Token*>& literals,
                                 ResultSink* sink, const ExecOptions& options, std::int64_t* rowsAffected,
                                 std::vector<Error>& errors) {
    ++statistics.reused;
    bool changed = false;
    bool ok = true;
    auto& parts = entry.parts;
    if (entry.countedUpdate)
        ok = runCountedUpdate(parts[0].stmt, parts[0].params, parts[1].stmt, parts[1].params, literals,
                              options, rowsAffected, errors);
    else
        for (auto& part : parts) {
            ok = runPart(part.stmt, part.params, literals, sink, options, rowsAffected, &part, errors);
            if (!ok)
                break;
        }
    for (auto& part : parts) {
        const int reprepares = sqlite3_stmt_status(part.stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
        changed = changed || reprepares != part.reprepares;
        part.reprepares = reprepares;
    }
    if (changed)
        schema->invalidate();
    return ok;
}

bool Connection::Impl::executeStatement(const std::vector<Token>& tokens, std::size_t bodyStart,
                                        ResultSink* sink, std::vector<Error>& errors,
                                        const ExecOptions& options, std::int64_t* rowsAffected) {
    if (bodyStart == 0 && !buildingIndexesAfter && tokens.front().is("INSERT")) {
        bool handled = false;
        const bool ok = executeBuildingIndexesAfter(tokens, sink, errors, options, rowsAffected, handled);
        if (handled)
            return ok;
    }
    const auto literals = statementLiterals(tokens);
    const bool tryCache = bodyStart == 0 && isDml(tokens.front());
    std::string shape;
    if (tryCache) {
        // The hot path reads no schema cookie: this connection's own DDL refreshes the
        // generation, and a change made by another connection shows as a re-prepare.
        shape = shapeKey(tokens);
        CacheEntry* entry = cache.find(shape, schema->generation());
        if (entry && !entry->typedLiterals.empty() &&
            entry->literalTypes != literalTypesOf(entry->typedLiterals, literals))
            entry = nullptr; // same shape, numbers of other types: translated again below
        if (entry)
            return runCached(*entry, literals, sink, options, rowsAffected, errors);
    }
    const std::uint64_t generation = schema->refresh();

    Translation translation;
    Error error;
    Translator translator(db, *schema);
    ++statistics.translated;
    if (!translator.translate(tokens, bodyStart, translation, error, true)) {
        errors.push_back(std::move(error));
        return false;
    }
    switch (translation.kind) {
    case Translation::Kind::Nothing:
        return true;
    case Translation::Kind::Procedure: {
        for (auto& p : translation.parameters) {
            if (p.value.kind == Cell::Kind::Text)
                p.value.text = p.textStorage;
        }
        return owner->callProcedure(translation.procedure, translation.parameters, sink, errors);
    }
    case Translation::Kind::Conditional: {
        sqlite3_stmt* stmt = nullptr;
        const std::string& sql = translation.parts.front().sql;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        bool holds = false;
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            holds = rc == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 1;
            if (rc == SQLITE_ROW)
                rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK) {
            errors.push_back(errorFromSqlite(db, rc, sql));
            sqlite3_finalize(stmt);
            return false;
        }
        sqlite3_finalize(stmt);
        if (!holds)
            return true;
        const auto inner = splitBatch(translation.body);
        for (const auto& statement : inner) {
            if (!executeStatement(statement.tokens, statement.bodyStart, sink, errors, options, rowsAffected))
                return false;
        }
        return true;
    }
    case Translation::Kind::Sql:
        break;
    }

    if (translation.cacheable && tryCache) {
        Error prepareError;
        CacheEntry* entry = cache.add(db, shape, generation, translation, prepareError);
        if (!entry) {
            errors.push_back(std::move(prepareError));
            return false;
        }
        entry->typedLiterals = translation.typedLiterals;
        entry->literalTypes = literalTypesOf(translation.typedLiterals, literals);
        if (entry->countedUpdate) {
            auto& parts = entry->parts;
            return runCountedUpdate(parts[0].stmt, parts[0].params, parts[1].stmt, parts[1].params, literals,
                                    options, rowsAffected, errors) &&
                   afterSuccess(translation, errors);
        }
        for (auto& part : entry->parts) {
            if (!runPart(part.stmt, part.params, literals, sink, options, rowsAffected, &part, errors))
                return false;
        }
        return afterSuccess(translation, errors);
    }
    if (translation.countedUpdate) {
        sqlite3_stmt* statements[2] = {nullptr, nullptr};
        bool ok = true;
        for (int k = 0; k < 2 && ok; ++k) {
            const std::string& sql = translation.parts[static_cast<std::size_t>(k)].sql;
            const int rc =
                sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statements[k], nullptr);
            if (rc != SQLITE_OK) {
                errors.push_back(errorFromSqlite(db, rc, sql));
                ok = false;
            }
        }
        ok = ok && runCountedUpdate(statements[0], translation.parts[0].params, statements[1],
                                    translation.parts[1].params, literals, options, rowsAffected, errors);
        sqlite3_finalize(statements[0]);
        sqlite3_finalize(statements[1]);
        return ok && afterSuccess(translation, errors);
    }
    // Parts prepared one after the other: a CREATE TABLE must run before the INSERT that fills it.
    for (const auto& part : translation.parts) {
        sqlite3_stmt* stmt = nullptr;
        const int rc =
            sqlite3_prepare_v2(db, part.sql.c_str(), static_cast<int>(part.sql.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            errors.push_back(errorFromSqlite(db, rc, part.sql));
            sqlite3_finalize(stmt);
            return false;
        }
        const bool ok = runPart(stmt, part.params, literals, sink, options, rowsAffected, nullptr, errors);
        sqlite3_finalize(stmt);
        if (!ok) {
            schema->refresh();
            return false;
        }
    }
    // Statements run this way may change the schema: the cached translations learn it here.
    schema->refresh();
    return afterSuccess(translation, errors);
}

namespace {

bool negative(const Literal& v) {
    return v.kind == Literal::Kind::Number && !v.text.empty() && v.text.front() == '-';
}

// The literals as the lexer gives them from a statement that has them written in. A negative
// number is read there as a minus before the number, which is what is bound.
std::vector<Token> literalTokens(const std::vector<Literal>& values) {
    std::vector<Token> out(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Literal& v = values[i];
        out[i].kind = v.kind == Literal::Kind::Number ? TokenKind::Number : TokenKind::String;
        out[i].text = negative(v) ? v.text.substr(1) : v.text;
        out[i].unicode = v.kind == Literal::Kind::String && v.unicode;
    }
    return out;
}

// The text and, per literal, what the statement cache's shape tells apart: a string or a Unicode
// string, a whole number or another, and the minus of a negative one.
std::string literalsKey(std::string_view tsql, const std::vector<Literal>& values) {
    std::string key(tsql);
    key += '\x1f';
    for (const Literal& v : values) {
        if (v.kind == Literal::Kind::String)
            key += v.unicode ? 'N' : 'S';
        else if (v.text.find_first_of(".eE") == std::string::npos)
            key += negative(v) ? 'i' : 'I';
        else
            key += negative(v) ? 'r' : 'R';
    }
    return key;
}

constexpr std::size_t kLiteralShapesKept = 256;

} // namespace

bool Connection::Impl::executeWithLiterals(std::string_view tsql, const std::vector<Literal>& values,
                                           ResultSink* sink, std::vector<Error>& errors,
                                           const ExecOptions& options, std::int64_t* rowsAffected) {
    const std::vector<Token> literals = literalTokens(values);
    std::vector<const Token*> bound;
    bound.reserve(literals.size());
    for (const Token& t : literals)
        bound.push_back(&t);
    const std::string key = literalsKey(tsql, values);
    if (const auto it = literalShapes.find(key); it != literalShapes.end()) {
        CacheEntry* entry = cache.find(it->second, schema->generation());
        if (entry && (entry->typedLiterals.empty() ||
                      entry->literalTypes == literalTypesOf(entry->typedLiterals, bound))) {
            ++statistics.boundOnly;
            const LockWait wait(db, options, busyTimeoutMs);
            return runCached(*entry, bound, sink, options, rowsAffected, errors);
        }
    }
    // The first time, or after the schema changed: the literals put in the place of the
    // placeholders and the statement run as any other, which keeps its translation by shape.
    LexResult lexed = lex(tsql, true);
    if (!lexed.error.empty()) {
        errors.push_back(statementError(lexed.error));
        return false;
    }
    std::vector<Token> tokens;
    tokens.reserve(lexed.tokens.size() + literals.size());
    std::size_t used = 0;
    std::size_t placeholders = 0;
    for (Token& t : lexed.tokens) {
        if (t.kind != TokenKind::Param) {
            tokens.push_back(std::move(t));
            continue;
        }
        if (used == literals.size()) {
            ++placeholders;
            continue;
        }
        if (negative(values[used])) {
            Token minus;
            minus.kind = TokenKind::Operator;
            minus.text = "-";
            minus.offset = t.offset;
            tokens.push_back(std::move(minus));
        }
        tokens.push_back(literals[used++]);
        tokens.back().offset = t.offset;
    }
    if (placeholders > 0 || used != literals.size()) {
        errors.push_back(statementError("The statement has " + std::to_string(used + placeholders) +
                                        " placeholders for " + std::to_string(literals.size()) + " values."));
        return false;
    }
    std::vector<Statement> statements = splitBatch(std::move(tokens));
    if (statements.size() != 1) {
        errors.push_back(
            statementError("A statement sent with its values apart must be a single statement."));
        return false;
    }
    const Statement& statement = statements.front();
    // Kept for the next time only where the cache's own path would find it: a statement other than
    // an INSERT (which may build its indexes afterwards), whose only literals are the values given,
    // each of them lifted out of the shape.
    const Token& first = statement.tokens.front();
    if (statement.bodyStart == 0 && (first.is("SELECT") || first.is("UPDATE") || first.is("DELETE")) &&
        statementLiterals(statement.tokens).size() == literals.size()) {
        std::string shape = shapeKey(statement.tokens);
        if (static_cast<std::size_t>(std::count(shape.begin(), shape.end(), '\x01')) == literals.size()) {
            if (literalShapes.size() >= kLiteralShapesKept)
                literalShapes.clear();
            literalShapes[key] = std::move(shape);
        }
    }
    const LockWait wait(db, options, busyTimeoutMs);
    return executeStatement(statement.tokens, statement.bodyStart, sink, errors, options, rowsAffected);
}

bool Connection::Impl::executeBatch(std::string_view tsql, ResultSink* sink, std::vector<Error>& errors,
                                    const ExecOptions& options, std::int64_t* rowsAffected) {
    LexResult lexed = lex(tsql);
    if (!lexed.error.empty()) {
        errors.push_back(statementError(lexed.error));
        return false;
    }
    const LockWait wait(db, options, busyTimeoutMs);
    for (const auto& statement : splitBatch(std::move(lexed.tokens)))
        if (!executeStatement(statement.tokens, statement.bodyStart, sink, errors, options, rowsAffected))
            return false;
    return true;
}

} // namespace tsqlite
