#pragma once
// The statement of the customer-commitment view: the lines of open customer orders (type 21,
// sub-type 1, customer side) that still ask for an article, with the customer's name and the
// quantity left to deliver, oldest order first. It carries no company condition, so the lines
// of every company are listed.

#include <QString>

namespace scadlav::schedule_sql {

// `article` goes between the quotes exactly as given: a code holding a quote is not doubled,
// and the statement then fails at the server like any other malformed text.
QString customerCommitmentStatement(const QString& article);

} // namespace scadlav::schedule_sql
