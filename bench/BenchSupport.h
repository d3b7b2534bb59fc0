#pragma once
// What the timed drivers share: ending on a failure with its reason, and running a statement
// that must succeed.

#include "module/db/Connection.h"

#include <QString>
#include <cstdio>
#include <cstdlib>

namespace scadlav::bench {

[[noreturn]] inline void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

inline void exec(db::Connection& c, const QString& sql) {
    if (!c.execute(sql, db::kCmdTextNoRecords))
        die(QStringLiteral("statement failed: ") + c.lastErrorText());
}

} // namespace scadlav::bench
