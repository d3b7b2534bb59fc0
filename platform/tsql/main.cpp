// tsql: runs T-SQL scripts through the module's own database layer and prints the results as
// CSV, to prepare, inspect and repair a database from the command line.
#include "erpdb.h"
#include "platform/tsql/TsqlRunner.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // The ERP's functions and stored procedure, on every embedded database this tool opens.
    erpdb::registerDatabaseObjects();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tsql::runTool(arguments, stdin, stdout, stderr);
}
