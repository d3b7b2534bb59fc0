// The sqlite3 shell on a file written by the embedded database: without the extension it cannot
// compare the ERPCI columns; with it, it compares and calls the T-SQL functions as we do.
#include "TestSupport.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

using namespace tsqlite;
using tsqlite::testing::ScratchDatabase;

namespace {

struct ShellRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ShellRun runShell(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("sqlite3"), arguments);
    ShellRun run;
    if (!process.waitForStarted(10'000)) {
        ADD_FAILURE() << "sqlite3 did not start: " << process.errorString().toStdString();
        return run;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(30'000)) {
        process.kill();
        ADD_FAILURE() << "sqlite3 did not finish";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace

TEST(Extension, LetsTheSqliteShellReadTheDatabase) {
    ScratchDatabase scratch;
    {
        auto db = scratch.open();
        ASSERT_TRUE(db);
        tsqlite::testing::run(
            *db, "CREATE TABLE CLIENTI (ID int NOT NULL PRIMARY KEY, NOME nvarchar(30), DATA datetime)\n"
                 "INSERT INTO CLIENTI VALUES (1, 'bianchi', '20240131'), (2, 'Alfa', '20240229'), "
                 "(3, 'ROSSI', '20240301')");
    }
    const QString file = QString::fromStdString(scratch.path());
    const QString query = QStringLiteral("SELECT NOME FROM CLIENTI ORDER BY NOME;");

    const ShellRun without = runShell({file, query});
    EXPECT_NE(without.exitCode, 0);
    EXPECT_NE(without.err.find("no such collation sequence: ERPCI"), std::string::npos) << without.err;

    // Bytewise, ROSSI would come before bianchi; comparisons ignore case and trailing blanks, and
    // the T-SQL functions answer as through tsqlite.
    const ShellRun with =
        runShell({QStringLiteral("-cmd"), QStringLiteral(".load ") + TSQLITE_EXTENSION, file,
                  query + "SELECT ID FROM CLIENTI WHERE NOME = 'rossi ';"
                          "SELECT tsql_dateadd('month', 1, DATA) FROM CLIENTI WHERE ID = 1;"});
    EXPECT_EQ(with.exitCode, 0) << with.err;
    EXPECT_EQ(with.out, "Alfa\nbianchi\nROSSI\n3\n2024-02-29 00:00:00.000\n");
}
