#pragma once

#include "module/services/IErrorLog.h"

#include <QList>

namespace scadlav::doubles {

// An error log that keeps its records in memory.
class MemoryErrorLog : public IErrorLog {
public:
    struct Record {
        QString position;
        QString moduleText;
        QString routine;
        RuntimeError error;
    };

    QList<Record> records;

    void takeError(const RuntimeError& error) override { m_pending = error; }
    void writeRecord(const QString& position, const QString& moduleText, const QString& routine) override {
        records << Record{position, moduleText, routine, m_pending};
        m_pending = {};
    }

private:
    RuntimeError m_pending;
};

// The log the host hands out to each object that asks: all of them write to one test's log.
class SharedErrorLog : public IErrorLog {
public:
    explicit SharedErrorLog(MemoryErrorLog& log) : m_log(log) {}
    void takeError(const RuntimeError& error) override { m_log.takeError(error); }
    void writeRecord(const QString& position, const QString& moduleText, const QString& routine) override {
        m_log.writeRecord(position, moduleText, routine);
    }

private:
    MemoryErrorLog& m_log;
};

} // namespace scadlav::doubles
