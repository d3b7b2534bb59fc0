#include "module/db/IBackend.h"

#include "module/db/SqlLiteral.h"

namespace scadlav::db {

bool IBackend::executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                                   const ExecuteOptions& options, IRowSink* sink,
                                   std::vector<ProviderError>& errors, std::int64_t* rowsAffected) {
    const std::optional<std::string> written = withLiteralsWritten(text, literals);
    if (!written) {
        errors.push_back(ProviderError{kErrGeneric, "The statement's placeholders and values do not match.",
                                       "", 0, std::string(text)});
        return false;
    }
    return execute(*written, options, sink, errors, rowsAffected);
}

} // namespace scadlav::db
