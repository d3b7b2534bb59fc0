#pragma once
// What the host knows of each kind of code: the ERP table it lives in, its code and
// description columns, how its parent codes narrow it, and the statements that list the codes
// and describe one of them. Every value is written into the text as an SQL literal, so a quote
// in a code stays a character of the code.

#include "module/services/CodeKind.h"
#include "module/services/ILookup.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace erphost {

// The statement that describes one code: its first column is the description; no row when
// the code does not exist.
struct DecodeStatement {
    QString sql;
};

class LookupCatalog {
public:
    // The list of `kind` for `company`, narrowed by the parent codes that are not empty.
    // Qualifiers (statistical group "1".."4", project class "A".."C") come first among the
    // parent codes; the job's list with a job code as parent lists that job's sub-jobs.
    // std::nullopt for a kind or qualifier the host does not know.
    static std::optional<scadlav::LookupList> list(scadlav::CodeKind kind, const QStringList& parentCodes,
                                                   std::int16_t company);

    // The statement describing `code`; std::nullopt when the code cannot exist (empty, or not
    // a number for a numeric kind) or the kind is unknown. The job's decode takes the sub-job
    // number as its parent code (none: the job itself, sub-job 0).
    static std::optional<DecodeStatement> decode(scadlav::CodeKind kind, const QString& code,
                                                 const QStringList& parentCodes, std::int16_t company);
};

} // namespace erphost
