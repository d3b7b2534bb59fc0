#pragma once
// Turns the values typed in the filter rows into an SQL condition, and tells which values
// cannot be used. Each condition is introduced by AND, so the text can follow the fixed
// conditions of a statement directly; it is empty when no row is filled.

#include "platform/controls/FilterRow.h"

#include <QDate>
#include <functional>
#include <optional>

namespace erpctl {

struct FilterEntry {
    FilterRowDefinition definition;
    QString from;
    QString to;
};

struct FilterProblem {
    int row = -1;
    int side = 0; // 1 from, 2 to, 0 the pair
    QString message;
};

struct FilterConditionResult {
    QString text;
    QList<FilterProblem> problems;
};

// Writes a date as an SQL literal, quotes included.
using DateLiteralFormatter = std::function<QString(const QDate&)>;

// 'YYYYMMDD': read as the same day by SQL Server whatever the login's language.
QString unseparatedDateLiteral(const QDate& date);

// The value between single quotes, quotes inside doubled. Percent signs and brackets need
// nothing: the panel compares with = >= <=, never LIKE, so they are plain characters.
QString quoteSqlText(const QString& text);

// A number as typed ("12", "-3", "1,5", "1.5") in plain SQL form ("1.5"); nullopt when the
// text is no number.
std::optional<QString> sqlNumber(const QString& text);

// Rows with a problem add nothing to the text; the problems list them.
FilterConditionResult buildFilterCondition(const QList<FilterEntry>& entries,
                                           const DateLiteralFormatter& dateLiteral);

} // namespace erpctl
