#include "engine/ConnectionError.h"

#include "module/db/Connection.h"

namespace scadlav::engine {

RuntimeError connectionError(const db::Connection& connection, const QString& source) {
    const auto& errors = connection.errors();
    RuntimeError error;
    error.number =
        errors.isEmpty() ? RuntimeError::ApplicationDefined : static_cast<int>(errors.last().number);
    error.description = connection.lastErrorText();
    error.source = source;
    return error;
}

} // namespace scadlav::engine
