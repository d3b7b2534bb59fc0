#pragma once
// Rewrites one T-SQL statement into the SQLite statements that do the same, at the token level.

#include "Lexer.h"
#include "SchemaInfo.h"

#include <tsqlite/tsqlite.h>

#include <string>
#include <vector>

namespace tsqlite::detail {

// A statement of a batch; an IF owns the statement after its condition, from `bodyStart`.
struct Statement {
    std::vector<Token> tokens;
    std::size_t bodyStart = 0;
};

// Splits a batch into statements at ";" and where a new statement keyword begins.
// Takes the tokens over: each one moves into its statement.
std::vector<Statement> splitBatch(std::vector<Token> tokens);

// A literal of the statement lifted out as a parameter: its index among the statement's
// literals, and whether it is a date to be written in the canonical form.
struct ParamRef {
    std::size_t literal = 0;
    bool asDate = false;
};

struct SqlPart {
    std::string sql;
    std::vector<ParamRef> params;
};

struct Translation {
    enum class Kind { Sql, Procedure, Conditional, Nothing };
    Kind kind = Kind::Sql;
    std::vector<SqlPart> parts; // run in order; for Conditional, parts[0] yields 1 or 0
    bool cacheable = false;     // same shape, same translation: literals are all parameters
    std::string procedure;      // Procedure
    std::vector<Parameter> parameters;
    std::vector<Token> body;                 // Conditional: the statement run when the condition holds
    std::vector<std::string> createdGlobals; // "##" tables this statement creates
    std::vector<std::string> droppedGlobals; // and drops
    std::vector<std::size_t> typedLiterals;  // literals whose type the translation depends on
    // An UPDATE writing only the rows that change (parts[0]) and the count of the rows its WHERE
    // selects (parts[1]), which is what the statement reports as affected.
    bool countedUpdate = false;
};

// The literals of a statement, in order, as the parameters refer to them.
std::vector<const Token*> statementLiterals(const std::vector<Token>& tokens);

// The statement with its literals replaced by their kind: equal keys, equal translations, as
// long as the literals whose type the translation depends on (`typedLiterals`: numbers in
// decimal arithmetic, whose precision and scale set the result's) have the same types.
std::string shapeKey(const std::vector<Token>& tokens);
std::string literalTypesOf(const std::vector<std::size_t>& typedLiterals,
                           const std::vector<const Token*>& literals);

class Translator {
public:
    Translator(sqlite3* db, SchemaInfo& schema) : m_db(db), m_schema(schema) {}

    // `lift` lifts literals out as parameters; otherwise they stay in the text.
    bool translate(const std::vector<Token>& tokens, std::size_t bodyStart, Translation& out, Error& error,
                   bool lift = true);

private:
    sqlite3* m_db;
    SchemaInfo& m_schema;
};

} // namespace tsqlite::detail
