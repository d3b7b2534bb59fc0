// Arithmetic with SQL Server's meaning. SQLite computes decimals in binary floating point and
// returns NULL for a division by zero; SQL Server computes decimals exactly, with a precision
// and scale per operator, and fails on a zero divisor. Operators between exact operands with
// a decimal among them become calls of our decimal functions, which are told the scales of
// their operands and the type of their result; other divisors are checked for zero.
#include "Decimal.h"
#include "Expressions.h"
#include "FunctionTable.h"

#include <optional>

namespace tsqlite::detail {
namespace {

bool isArithmeticOperator(const Node& n) {
    return n.isOp("+") || n.isOp("-") || n.isOp("*") || n.isOp("/") || n.isOp("%");
}

bool isSign(const Node& n) {
    return n.isOp("+") || n.isOp("-");
}

DecimalOp decimalOp(const Node& op) {
    if (op.isOp("+"))
        return DecimalOp::Add;
    if (op.isOp("-"))
        return DecimalOp::Subtract;
    if (op.isOp("*"))
        return DecimalOp::Multiply;
    if (op.isOp("/"))
        return DecimalOp::Divide;
    return DecimalOp::Modulo;
}

std::string_view decimalFunction(DecimalOp op) {
    switch (op) {
    case DecimalOp::Add:
        return kDecimalAddFunction;
    case DecimalOp::Subtract:
        return kDecimalSubtractFunction;
    case DecimalOp::Multiply:
        return kDecimalMultiplyFunction;
    case DecimalOp::Divide:
        return kDecimalDivideFunction;
    case DecimalOp::Modulo:
        return kDecimalModuloFunction;
    }
    return {};
}

std::string decimalSpelling(DecimalType t) {
    return "decimal(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
}

Node comma() {
    Node n;
    n.tok.kind = TokenKind::Comma;
    n.tok.text = ",";
    return n;
}

// The number literal an operand is, signs aside, or null.
const Node* numberLiteral(const Seq& operand) {
    std::size_t i = 0;
    while (i < operand.size() && isSign(operand[i]))
        ++i;
    return i + 1 == operand.size() && operand[i].isKind(TokenKind::Number) ? &operand[i] : nullptr;
}

// An operand as SQL Server converts it for decimal arithmetic: integers as decimals of their
// precision, an integer literal with as many digits as it has.
std::optional<DecimalType> exactType(const std::string& type, const Seq& operand) {
    const SqlType t = parseSqlType(type);
    if (t.cls == TypeClass::Decimal)
        return DecimalType{std::min(t.precision, kMaxDecimalPrecision), t.scale};
    if (t.cls == TypeClass::Bit)
        return DecimalType{1, 0};
    if (t.cls != TypeClass::Integer)
        return std::nullopt;
    if (const Node* literal = numberLiteral(operand))
        return DecimalType{static_cast<int>(std::min<std::size_t>(literal->tok.text.size(), 38)), 0};
    switch (t.integerBits) {
    case 8:
        return DecimalType{3, 0};
    case 16:
        return DecimalType{5, 0};
    case 64:
        return DecimalType{19, 0};
    default:
        return DecimalType{10, 0};
    }
}

struct Operand {
    Seq nodes;
    std::string type; // "" when not known
};

} // namespace

// The type of one operand of an arithmetic run: a signed literal is typed from its digits.
std::string ExpressionRewriter::operandType(const Seq& operand) {
    if (const Node* literal = numberLiteral(operand))
        return numberLiteralType(literal->tok.text);
    std::size_t i = 0;
    while (i < operand.size() && isSign(operand[i]))
        ++i;
    return typeOf(i == 0 ? operand : Seq(operand.begin() + static_cast<long>(i), operand.end()));
}

// SUM and AVG of decimals add up exactly, and AVG of integers is an integer (not with
// DISTINCT, which SQLite allows only for aggregates of one argument).
void ExpressionRewriter::aggregates(Seq& seq) {
    for (std::size_t i = 0; i + 1 < seq.size(); ++i) {
        Node& name = seq[i];
        Node& args = seq[i + 1];
        if (!(name.isWord("sum") || name.isWord("avg")) || args.type != Node::Type::Group ||
            (i > 0 && seq[i - 1].isOp(".")) || args.kids.empty() || args.kids.front().isWord("DISTINCT") ||
            args.kids.front().isWord("ALL") || (i + 2 < seq.size() && seq[i + 2].isWord("OVER")))
            continue; // with DISTINCT or ALL, and as a window function, SQLite's own
        const SqlType t = parseSqlType(typeOf(args.kids));
        const bool sum = name.isWord("sum");
        if (!sum && t.cls == TypeClass::Integer) {
            name.tok.text = std::string(kIntegerAverageFunction);
            name.declType = t.integerBits == 64 ? "bigint" : "int";
            args.kids.push_back(comma());
            args.kids.push_back(rawNode("0"));
            continue;
        }
        if (t.cls != TypeClass::Decimal)
            continue;
        name.tok.text = std::string(sum ? kDecimalSumFunction : kDecimalAverageFunction);
        name.declType = decimalSpelling({kMaxDecimalPrecision, sum ? t.scale : std::max(t.scale, 6)});
        args.kids.push_back(comma());
        args.kids.push_back(rawNode(std::to_string(t.scale)));
    }
}

// Each run of operands between boundaries (commas, comparisons, clause words) of this level.
void ExpressionRewriter::arithmetic(Seq& seq) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= seq.size(); ++i) {
        if (i < seq.size() && !isBoundary(seq, i))
            continue;
        if (i > begin && arithmeticRun(seq, begin, i)) {
            // The run was replaced: find where it ends now.
            std::size_t j = begin;
            while (j < seq.size() && !isBoundary(seq, j))
                ++j;
            i = j;
        }
        begin = i + 1;
    }
}

// Rewrites seq[begin, end) when it holds decimal arithmetic or a division; true when changed.
bool ExpressionRewriter::arithmeticRun(Seq& seq, std::size_t begin, std::size_t end) {
    // A select-list alias written without AS is no part of the expression.
    if (end - begin >= 3 && isNameNode(seq[end - 1]) && endsOperand(seq[end - 2]) && !seq[end - 2].isOp("."))
        --end;
    std::vector<std::size_t> ops;
    for (std::size_t i = begin + 1; i < end; ++i) {
        if (isArithmeticOperator(seq[i]) && endsOperand(seq[i - 1]))
            ops.push_back(i);
    }
    if (ops.empty())
        return false;
    std::vector<Operand> operands;
    std::size_t from = begin;
    for (std::size_t k = 0; k <= ops.size(); ++k) {
        const std::size_t to = k < ops.size() ? ops[k] : end;
        if (to == from)
            return false;
        Operand o;
        o.nodes.assign(seq.begin() + static_cast<long>(from), seq.begin() + static_cast<long>(to));
        o.type = operandType(o.nodes);
        operands.push_back(std::move(o));
        from = to + 1;
    }

    bool changed = false;
    auto combine = [&](Operand a, const Node& op, Operand b) {
        const TypeClass ca = classOf(a.type), cb = classOf(b.type);
        const auto ta = exactType(a.type, a.nodes), tb = exactType(b.type, b.nodes);
        if (ta && tb && (ca == TypeClass::Decimal || cb == TypeClass::Decimal)) {
            for (const Operand* o : {&a, &b}) {
                if (const Node* literal = numberLiteral(o->nodes); literal && literal->literal >= 0)
                    m_typedLiterals.push_back(static_cast<std::size_t>(literal->literal));
            }
            const DecimalOp dop = decimalOp(op);
            const DecimalType result = resultType(dop, *ta, *tb);
            Node call = wordNode(std::string(decimalFunction(dop)));
            call.declType = decimalSpelling(result);
            Seq args = std::move(a.nodes);
            args.push_back(comma());
            args.insert(args.end(), b.nodes.begin(), b.nodes.end());
            args.push_back(comma());
            args.push_back(rawNode(std::to_string(ta->scale) + ", " + std::to_string(tb->scale) + ", " +
                                   std::to_string(result.precision) + ", " + std::to_string(result.scale)));
            changed = true;
            std::string type = call.declType;
            return Operand{Seq{std::move(call), groupNode(std::move(args))}, std::move(type)};
        }
        std::string type;
        if (ca == TypeClass::Float || cb == TypeClass::Float)
            type = "float";
        else if (ta && tb && ca != TypeClass::Decimal && cb != TypeClass::Decimal)
            type = (ta->precision > 10 || tb->precision > 10) ? "bigint" : "int";
        Seq nodes = std::move(a.nodes);
        nodes.push_back(op);
        if (op.isOp("/") || op.isOp("%")) {
            // SQLite gives NULL for a zero divisor; SQL Server fails.
            nodes.push_back(wordNode(std::string(kDivisorFunction)));
            nodes.push_back(groupNode(std::move(b.nodes)));
            changed = true;
        } else {
            nodes.insert(nodes.end(), b.nodes.begin(), b.nodes.end());
        }
        return Operand{std::move(nodes), type};
    };

    // "*", "/" and "%" bind first, then "+" and "-", each from left to right.
    std::vector<Operand> terms;
    std::vector<std::size_t> termOps;
    Operand current = std::move(operands[0]);
    for (std::size_t k = 0; k < ops.size(); ++k) {
        const Node& op = seq[ops[k]];
        if (op.isOp("+") || op.isOp("-")) {
            terms.push_back(std::move(current));
            termOps.push_back(ops[k]);
            current = std::move(operands[k + 1]);
        } else {
            current = combine(std::move(current), op, std::move(operands[k + 1]));
        }
    }
    terms.push_back(std::move(current));
    Operand result = std::move(terms[0]);
    for (std::size_t k = 0; k < termOps.size(); ++k)
        result = combine(std::move(result), seq[termOps[k]], std::move(terms[k + 1]));
    if (!changed)
        return false;
    seq.erase(seq.begin() + static_cast<long>(begin), seq.begin() + static_cast<long>(end));
    seq.insert(seq.begin() + static_cast<long>(begin), result.nodes.begin(), result.nodes.end());
    return true;
}

} // namespace tsqlite::detail
