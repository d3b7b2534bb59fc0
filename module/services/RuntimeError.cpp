#include "module/services/RuntimeError.h"

namespace scadlav {

RuntimeException::RuntimeException(RuntimeError error)
    : std::runtime_error(error.description.toStdString()), m_error(std::move(error)) {}

RuntimeError RuntimeError::fromException(std::exception_ptr exception) {
    RuntimeError result;
    result.number = ApplicationDefined;
    if (!exception) {
        result.number = 0;
        return result;
    }
    try {
        std::rethrow_exception(exception);
    } catch (const RuntimeException& e) {
        result = e.error();
    } catch (const std::exception& e) {
        result.description = QString::fromUtf8(e.what());
    } catch (...) {
        result.description = QStringLiteral("Unknown error");
    }
    return result;
}

} // namespace scadlav
