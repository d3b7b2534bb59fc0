#include "engine/ConnectionError.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"

namespace scadlav::engine {

RuntimeError connectionError(const db::Connection& connection, const QString& source) {
    const auto& errors = connection.errors();
    RuntimeError error;
    error.number =
        errors.isEmpty() ? RuntimeError::ApplicationDefined : static_cast<int>(errors.last().number);
    error.description = connection.lastErrorText();
    // The statement as the database ran it goes to the error log, not into the description.
    if (!errors.isEmpty())
        error.statement = errors.last().statement;
    error.source = source;
    return error;
}

RuntimeError recordsetError(const db::Recordset& recordset, const QString& source) {
    RuntimeError error;
    error.number = recordset.lastError().number != 0 ? static_cast<int>(recordset.lastError().number)
                                                     : RuntimeError::ApplicationDefined;
    error.description = recordset.lastErrorText();
    error.source = source;
    return error;
}

} // namespace scadlav::engine
