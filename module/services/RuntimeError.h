#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace scadlav {

// The run-time's pending error: what a failing step leaves behind for the error log.
struct RuntimeError {
    int number = 0;
    QString description;
    QString source;
    QString statement{}; // the statement as the database ran it: written to the error log, never shown

    bool isSet() const { return number != 0; }

    // Error numbers the module raises itself, in the run-time's numbering.
    static constexpr int TypeMismatch = 13;
    static constexpr int Overflow = 6;
    static constexpr int ObjectNotSet = 91;
    static constexpr int CannotCreateObject = 429;
    static constexpr int ApplicationDefined = 5;

    // What an exception caught by a handler stands for: a RuntimeException keeps its own
    // number, anything else becomes an application-defined error with its text.
    static RuntimeError fromException(std::exception_ptr exception);
};

// Thrown by module code where the run-time would raise an error; handlers catch it and hand
// the RuntimeError to the error log.
class RuntimeException : public std::runtime_error {
public:
    explicit RuntimeException(RuntimeError error);
    const RuntimeError& error() const { return m_error; }

private:
    RuntimeError m_error;
};

} // namespace scadlav
