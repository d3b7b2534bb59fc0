#pragma once
// The translation of one statement, by statement kind. Translator.cpp dispatches on the first
// keyword and holds the short rewrites; the long ones have a file each: TranslateSelectInto.cpp,
// TranslateInsert.cpp, TranslateUpdate.cpp, TranslateSchema.cpp (CREATE, ALTER, DROP) and
// TranslateExec.cpp.

#include "Expressions.h"
#include "SyntaxTree.h"
#include "Translator.h"

#include <string>
#include <string_view>
#include <vector>

namespace tsqlite::detail {

bool failWith(Error& error, std::int64_t number, std::string message);

bool isName(const Node& n);
std::string nameOf(const Node& n);
bool isGlobalTemp(const std::string& name);
bool isLocalTemp(const std::string& name);
bool sameName(std::string_view a, std::string_view b);

// The first top-level `word` of a sequence from `from`, or seq.size().
std::size_t findTop(const Seq& seq, std::string_view word, std::size_t from = 0);

// Join keywords and the comma of a FROM list.
bool isJoinWord(const Node& n);

// The declared T-SQL type of `column` among `cols`; empty when it is not there.
std::string typeIn(const std::vector<ColumnInfo>& cols, const std::string& column);

// Whether writing into a column of this type needs the write conversion, and the value wrapped
// in it.
bool needsWrite(const std::string& type);
Seq wrapWrite(Seq value, const std::string& type);

// INSERT ... SELECT and SELECT INTO read the query as a common table expression "tsqlite_src"
// with positional columns c1, c2, ... (duplicate or unnamed columns are then safe) and
// convert each column on the way in.
struct ConvertedColumns {
    std::string names;  // "c1,c2,..."
    std::string values; // "c1, tsql_write(c2, 'type'), ..."
};
ConvertedColumns convertedColumns(const std::vector<std::string>& types);

class StatementTranslator {
public:
    StatementTranslator(sqlite3* db, SchemaInfo& schema, Translation& out, Error& error, bool lift)
        : m_db(db), m_schema(schema), m_out(out), m_error(error), m_lift(lift), m_rewriter(schema) {}

    bool run(const std::vector<Token>& tokens, std::size_t bodyStart);
    std::vector<std::size_t> typedLiterals() const { return m_rewriter.typedLiterals(); }

private:
    bool rewriteFailed() { return failWith(m_error, m_rewriter.error().number, m_rewriter.error().message); }
    bool tree(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, Seq& seq);
    void emitPart(const Seq& seq);
    void rawPart(std::string sql) { m_out.parts.push_back(SqlPart{std::move(sql), {}}); }
    const std::vector<ColumnInfo>* tableColumns(const std::string& table);

    bool select(const std::vector<Token>& tokens);
    bool selectInto(Seq seq, std::size_t into);
    bool insert(const std::vector<Token>& tokens);
    bool insertValues(const Seq& seq, std::size_t valuesAt, const std::string& head,
                      const std::vector<std::string>& types);
    bool insertSelect(const Seq& seq, std::size_t selectAt, const std::string& head,
                      const std::vector<std::string>& types);
    bool update(const std::vector<Token>& tokens);
    bool assignments(const Seq& setList, const std::vector<ColumnInfo>& tableCols, Seq& out);
    bool remove(const std::vector<Token>& tokens);
    bool createTable(const std::vector<Token>& tokens);
    bool createOther(const std::vector<Token>& tokens);
    bool drop(const std::vector<Token>& tokens);
    bool dropIndex(const Seq& item, bool ifExists);
    bool conditional(const std::vector<Token>& tokens, std::size_t bodyStart);
    bool exec(const std::vector<Token>& tokens);
    std::string createTableSql(const std::string& name, const std::vector<ColumnInfo>& columns);
    bool columnDefinition(const Seq& def, std::string& sql);
    bool alterTable(const std::vector<Token>& tokens);

    sqlite3* m_db;
    SchemaInfo& m_schema;
    Translation& m_out;
    Error& m_error;
    bool m_lift;
    ExpressionRewriter m_rewriter;
};

} // namespace tsqlite::detail
