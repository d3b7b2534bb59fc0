#include "module/db/TsqliteRows.h"

namespace scadlav::db {

void moveErrors(std::vector<tsqlite::Error>& from, std::vector<ProviderError>& to) {
    for (tsqlite::Error& e : from)
        to.push_back(ProviderError{e.number, std::move(e.description), std::move(e.sqlState), e.nativeError,
                                   std::move(e.statement)});
    from.clear();
}

} // namespace scadlav::db
