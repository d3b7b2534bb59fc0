// tsql: runs T-SQL scripts through the module's own database layer and prints the results as
// CSV, to prepare, inspect and repair a database from the command line.
#include "platform/tsql/TsqlRunner.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#ifdef TSQL_HAVE_ERPDB
#include "erpdb.h"
#endif

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
#ifdef TSQL_HAVE_ERPDB
    // The ERP's functions and stored procedure, on every embedded database this tool opens.
    erpdb::registerDatabaseObjects();
#endif
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tsql::runTool(arguments, stdin, stdout, stderr);
}
