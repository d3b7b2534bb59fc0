#pragma once

#include "platform/tsql/CsvSink.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace scadlav::db {
class Connection;
}

namespace tsql {

// Sends the batches of a script one by one over an open connection: result sets go to `out`
// as CSV, the error list of a failing batch goes to `err` one line per entry, and the next
// batch runs all the same.
class TsqlRunner {
public:
    TsqlRunner(scadlav::db::Connection& connection, std::FILE* out, std::FILE* err)
        : m_connection(connection), m_out(out), m_err(err), m_sink(out) {}

    // Returns the number of batches that failed.
    int run(const QStringList& batches);
    bool runBatch(const QString& batch);
    // Writes "error NUMBER: DESCRIPTION" for every entry of the connection's error list, then
    // empties the list.
    void reportErrors();

private:
    scadlav::db::Connection& m_connection;
    std::FILE* m_out;
    std::FILE* m_err;
    CsvSink m_sink; // one for the whole script, so that result sets of every batch are separated
};

// The whole tool: arguments (without the program name) in, exit status out.
int runTool(const QStringList& arguments, std::FILE* in, std::FILE* out, std::FILE* err);

} // namespace tsql
