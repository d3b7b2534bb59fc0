#pragma once

#include "module/services/IErrorLog.h"
#include "platform/host/LineLog.h"

namespace erphost {

// The host's error log: one line per record in the error log file: time, position, module,
// routine, error number, description and, after a database error, the statement as the database
// ran it. The error taken last goes with the next record.
// With `echo` (batch jobs) each record is also printed on standard error, so that a failed
// job tells its cause where it is read.
class ErrorLog : public scadlav::IErrorLog {
public:
    explicit ErrorLog(QString path, bool echo = false) : m_log(std::move(path)), m_echo(echo) {}

    void takeError(const scadlav::RuntimeError& error) override { m_error = error; }
    void writeRecord(const QString& position, const QString& moduleText, const QString& routine) override;

private:
    LineLog m_log;
    bool m_echo;
    scadlav::RuntimeError m_error;
};

} // namespace erphost
