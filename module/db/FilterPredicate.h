#pragma once
// A record-set filter, parsed once and then tested row by row without building Values.
// Grammar: comparison { AND comparison }, where a comparison is
//   field  ( = | <> | < | > | <= | >= )  literal
// a field is a name (optionally in brackets), a literal a number (optional sign, optional
// fraction) or a text in single quotes with '' for a quote inside. Text compares without case
// and without trailing blanks; a Null never matches.

#include "module/db/CellRef.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scadlav::db {

class RowStore;

class FilterPredicate {
public:
    // Parses `text` against the fields of `store`. nullptr with a reason in `error` when the
    // text is outside the grammar, names an unknown field or compares a field with a literal
    // of another type.
    static std::shared_ptr<FilterPredicate> parse(const QString& text, const RowStore& store, QString* error);

    bool matches(const RowStore& store, std::uint32_t row) const;

private:
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge };
    struct Term {
        int column = -1;
        Op op = Op::Eq;
        CellRef literal;
        std::string storage; // text of a text literal, viewed by literal.text
    };
    std::vector<Term> m_terms;
};

} // namespace scadlav::db
