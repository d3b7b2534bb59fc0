#pragma once

#include "module/services/IErrorLog.h"
#include "platform/host/LineLog.h"

namespace erphost {

// The host's error log: one line per record in the error log file: time, position, module,
// routine, error number, description and, after a database error, the statement as the database
// ran it. The error taken last goes with the next record.
class ErrorLog : public scadlav::IErrorLog {
public:
    explicit ErrorLog(QString path) : m_log(std::move(path)) {}

    void takeError(const scadlav::RuntimeError& error) override { m_error = error; }
    void writeRecord(const QString& position, const QString& moduleText, const QString& routine) override;

private:
    LineLog m_log;
    scadlav::RuntimeError m_error;
};

} // namespace erphost
