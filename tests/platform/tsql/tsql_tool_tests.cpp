// The tsql executable as a user runs it: scripts in, CSV and error lines out, exit status.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const char* const kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTsql(const QStringList& arguments, const QString& input = {},
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SCADLAV_BINARY_DIR "/bin/tsql"), arguments);
    ToolRun run;
    if (!process.waitForStarted(10'000)) {
        ADD_FAILURE() << "tsql did not start: " << process.errorString().toStdString();
        return run;
    }
    process.write(input.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000)) {
        process.kill();
        ADD_FAILURE() << "tsql did not finish";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList errorLines(const QString& err) {
    QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
    const QRegularExpression shape(QStringLiteral("^error -?\\d+: \\S.*$"));
    for (const QString& line : lines)
        EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    return lines;
}

class TsqlTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString embedded() const {
        return QStringLiteral("Provider=tsqlite;Data Source=%1;Create=yes").arg(m_dir.filePath("t.db"));
    }
    QString odbc() const {
        return QStringLiteral("Driver=%1;Database=%2")
            .arg(QString::fromLatin1(kSqliteDriver), m_dir.filePath("o.db"));
    }
    QString writeScript(const QString& text) const {
        const QString path = m_dir.filePath(QStringLiteral("script.sql"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(TsqlTool, EmbeddedDatabaseBatchesPrintCsvAndAFailingBatchDoesNotStopTheRest) {
    const QString script =
        QStringLiteral("CREATE TABLE T (ID int PRIMARY KEY, NOME nvarchar(30), QTA decimal(14,3), PESO "
                       "float, DATA datetime)\n"
                       "go\n"
                       "INSERT INTO T VALUES (1, 'Rossi, \"Mario\"', 12.5, 0.1, '2026-08-31 10:11:12')\n"
                       "INSERT INTO T VALUES (2, NULL, NULL, 1e20, NULL)\n"
                       "INSERT INTO T VALUES (3, 'riga\ndue', -0.001, 2.5, '2026-01-02')\n"
                       "  Go  \r\n"
                       "SELECT ID, NOME, QTA, PESO, DATA FROM T ORDER BY ID\n"
                       "SELECT COUNT(*) AS N FROM T\n"
                       "GO\n"
                       "SELECT * FROM NESSUNA\n"
                       "GO\n"
                       "SELECT 'GO' AS G\n");
    const ToolRun run =
        runTsql({QStringLiteral("--connect"), embedded(), QStringLiteral("--file"), writeScript(script)});

    EXPECT_EQ(run.out, QStringLiteral("ID,NOME,QTA,PESO,DATA\r\n"
                                      "1,\"Rossi, \"\"Mario\"\"\",12.5,0.1,2026-08-31 10:11:12\r\n"
                                      "2,,,100000000000000000000,\r\n"
                                      "3,\"riga\ndue\",-0.001,2.5,2026-01-02 00:00:00\r\n"
                                      "\r\n"
                                      "N\r\n"
                                      "3\r\n"
                                      "\r\n"
                                      "G\r\n"
                                      "GO\r\n"));
    const QStringList errors = errorLines(run.err);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("NESSUNA"))) << errors[0].toStdString();
    EXPECT_EQ(run.exitCode, 1);
}

// The process survives a statement nested 15 000 levels deep: one short error line, and the
// batches after it still run.
TEST_F(TsqlTool, DeeplyNestedStatementIsRefusedWithoutCrashing) {
    const int depth = 15000;
    const QString parentheses =
        QStringLiteral("SELECT ") + QString(depth, u'(') + QStringLiteral("1") + QString(depth, u')');
    QString subqueries = QStringLiteral("SELECT 1 AS A WHERE EXISTS ");
    for (int i = 0; i < depth; ++i)
        subqueries += QStringLiteral("(SELECT 1 WHERE EXISTS ");
    subqueries += QStringLiteral("(SELECT 1)") + QString(depth, u')');
    const ToolRun run = runTsql({QStringLiteral("--connect"), embedded()},
                                parentheses + QStringLiteral("\nGO\n") + subqueries +
                                    QStringLiteral("\nGO\nSELECT 2 AS B\n"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("B\r\n2\r\n"));
    const QStringList errors = errorLines(run.err);
    ASSERT_EQ(errors.size(), 2);
    for (const QString& line : errors)
        EXPECT_EQ(line,
                  QStringLiteral("error -2147217900: Some part of your SQL statement is nested too deeply. "
                                 "Rewrite the query or break it up into smaller queries."));
}

TEST_F(TsqlTool, ScriptFromStandardInputKnowsTheErpFunctionsAndSucceedsWithStatusZero) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ERP_FIXED_NOW"), QStringLiteral("2026-03-04 05:06:07"));
    const ToolRun run = runTsql({QStringLiteral("--connect=") + embedded()},
                                QStringLiteral("CREATE TABLE U (A int)\nGO\nSELECT A FROM U\nGO\n"
                                               "SELECT dbo.QRX_GETDATE() AS OGGI\n"),
                                environment);
    // An empty result still has its header; a computed date is printed like a date column: no
    // fraction of a second.
    EXPECT_EQ(run.out, QStringLiteral("A\r\n\r\nOGGI\r\n2026-03-04 05:06:07\r\n"));
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(TsqlTool, OdbcDataSourceGoesThroughTheSameConnection) {
    ASSERT_TRUE(QFile::exists(kSqliteDriver)) << "SQLite's ODBC driver is missing: install libsqliteodbc";
    // SQLite's driver takes one statement per call, so every statement is a batch of its own.
    const QString script =
        QStringLiteral("CREATE TABLE T (ID int PRIMARY KEY, NOME nvarchar(30), QTA decimal(14,3), "
                       "DATA datetime)\nGO\n"
                       "INSERT INTO T VALUES (1, 'Attività €', 3.25, '2026-08-31 10:11:12')\nGO\n"
                       "INSERT INTO T VALUES (2, NULL, NULL, NULL)\nGO\n"
                       "INSERT INTO T VALUES (2, 'doppia', 1, NULL)\nGO\n"
                       "SELECT * FROM T ORDER BY ID\n");
    const ToolRun run = runTsql({QStringLiteral("--connect"), odbc()}, script);
    EXPECT_EQ(run.out, QStringLiteral("ID,NOME,QTA,DATA\r\n"
                                      "1,Attività €,3.25,2026-08-31 10:11:12\r\n"
                                      "2,,,\r\n"));
    const QStringList errors = errorLines(run.err);
    ASSERT_EQ(errors.size(), 1);
    // The duplicate key is reported with the provider's integrity-violation code.
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("error -2147217873: "))) << errors[0].toStdString();
    EXPECT_EQ(run.exitCode, 1);
}

TEST_F(TsqlTool, UnreachableServerPrintsTheConnectionErrors) {
    const ToolRun run =
        runTsql({QStringLiteral("--connect"),
                 QStringLiteral("Driver={FreeTDS};Server=127.0.0.1;Port=1;Database=ERP;UID=sa;PWD=x;"
                                "TDS_Version=7.4")},
                QStringLiteral("SELECT 1\n"));
    EXPECT_EQ(run.out, QString());
    const QStringList errors = errorLines(run.err);
    EXPECT_FALSE(errors.isEmpty());
    EXPECT_EQ(run.exitCode, 1);
}

TEST_F(TsqlTool, BadArgumentsAndUnreadableFilesExitWithTwo) {
    const auto refused = [](const QStringList& arguments, const QString& named) {
        const ToolRun run = runTsql(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(named)) << run.err.toStdString();
    };
    refused({QStringLiteral("--file"), m_dir.filePath("script.sql")}, QStringLiteral("--connect"));
    refused({QStringLiteral("--connect"), embedded(), QStringLiteral("--file"), m_dir.filePath("none.sql")},
            QStringLiteral("none.sql"));
    refused({QStringLiteral("--connect"), embedded(), QStringLiteral("--verbose")},
            QStringLiteral("--verbose"));
    refused({QStringLiteral("--connect")}, QString());

    const ToolRun help = runTsql({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: tsql")));
}
