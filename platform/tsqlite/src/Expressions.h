#pragma once
// Rewrites T-SQL expressions and query clauses, one nesting level at a time: functions,
// string "+", table hints, TOP, select-list aliases "name = expr", OUTER/CROSS APPLY, dates
// compared as text.

#include "SchemaInfo.h"
#include "SyntaxTree.h"

#include <cstdint>
#include <string>

namespace tsqlite::detail {

struct FunctionRow;

struct RewriteError {
    std::int64_t number = 0;
    std::string message;
};

class ExpressionRewriter {
public:
    explicit ExpressionRewriter(SchemaInfo& schema) : m_schema(schema) {}

    // Rewrites `seq` and everything nested in it. False with error() set when a construct
    // cannot be translated.
    bool rewrite(Seq& seq);

    // The T-SQL type an expression yields, as far as it can be told without running it.
    std::string typeOf(const Seq& term);
    // "|<type>" when `value`, converted to the text type `target` of a given length, is a number
    // whose type is known; "" otherwise (see SqlType::sourceClass).
    std::string numberSource(const std::string& target, const Seq& value);

    // The declared type of a column reference (a name or qualified name), or "".
    std::string columnTypeOf(const Seq& term, std::size_t begin, std::size_t end);

    const RewriteError& error() const { return m_error; }
    bool inlinedLiterals() const { return m_inlined; }
    // The literals whose type the translation depends on (see literalTypesOf).
    const std::vector<std::size_t>& typedLiterals() const { return m_typedLiterals; }

private:
    bool fail(std::int64_t number, std::string message);
    bool prepass(Seq& seq);
    bool mapCalls(Seq& seq);
    bool rewriteArguments(const FunctionRow& row, const std::string& spelledName, Seq& args,
                          std::string& targetType);
    bool selectClauses(Seq& seq);
    bool applyJoins(Seq& seq);
    void scopeJoins(Seq& seq);
    void qualify(Seq& condition, const std::vector<std::pair<std::string, std::string>>& inScope,
                 const std::vector<std::pair<std::string, std::string>>& all);
    void markDates(Seq& seq);
    void concatenation(Seq& seq);
    void division(Seq& seq);
    // Arithmetic.cpp: exact decimals and division by zero.
    void aggregates(Seq& seq);
    void arithmetic(Seq& seq);
    bool arithmeticRun(Seq& seq, std::size_t begin, std::size_t end);
    std::string operandType(const Seq& operand);
    // TextCollation.cpp: SQL Server's collation for text computed by expressions.
    void collations(Seq& seq);

    SchemaInfo& m_schema;
    RewriteError m_error;
    bool m_inlined = false;
    int m_depth = 0; // nesting level of the sequence being rewritten
    std::vector<std::size_t> m_typedLiterals;
};

// Names of table hints ("WITH (NOLOCK)", ...), and the words that end an operand.
bool isTableHint(const Node& n);
bool isClauseKeyword(const Node& n);
// Nodes that end an operand of an operator: commas, comparisons, clause and predicate words.
bool isBoundary(const Seq& seq, std::size_t i);
// Whether a node can be the last of an operand (so that "+" or "-" after it is binary).
bool endsOperand(const Node& n);
bool isComparison(const Node& n);
bool isNameNode(const Node& n);
TypeClass classOf(const std::string& type);

} // namespace tsqlite::detail
