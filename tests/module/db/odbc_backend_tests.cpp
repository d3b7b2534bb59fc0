// The ODBC backend against real drivers: SQLite's ODBC driver on a temporary database file
// (so that nothing needs registering in odbcinst.ini), and FreeTDS aimed at a port where no
// server listens.
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/odbc/OdbcBackend.h"
#include "module/db/odbc/OdbcDiagnostics.h"
#include "module/db/odbc/OdbcProcedureCall.h"
#include "tests/support/MachineLocale.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace scadlav;
using namespace scadlav::db;

namespace {

const char* const kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr std::int64_t kIntegrityViolation = static_cast<std::int32_t>(0x80040E2F);

struct StoredCell {
    Cell::Kind kind = Cell::Kind::Null;
    std::int64_t i = 0;
    double d = 0;
    int scale = 0;
    std::string text;
};

struct ResultSet {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<StoredCell>> rows;

    const ColumnInfo& column(const std::string& name) const {
        for (const ColumnInfo& c : columns) {
            if (c.name == name)
                return c;
        }
        ADD_FAILURE() << "no column " << name;
        return columns.front();
    }
};

// Keeps copies of everything a backend streams.
class Collector : public IRowSink {
public:
    void beginResultSet(const std::vector<ColumnInfo>& columns) override { sets.push_back({columns, {}}); }
    void row(const Cell* cells, std::size_t count) override {
        std::vector<StoredCell> row;
        for (std::size_t i = 0; i < count; ++i)
            row.push_back(
                {cells[i].kind, cells[i].i, cells[i].d, cells[i].scale, std::string(cells[i].text)});
        sets.back().rows.push_back(std::move(row));
    }
    void endResultSet() override {}

    std::vector<ResultSet> sets;
};

std::string firstError(const std::vector<ProviderError>& errors) {
    return errors.empty() ? std::string() : errors.front().description;
}

std::string sqliteConnectionString(const QString& file) {
    return std::string("Driver=") + kSqliteDriver + ";Database=" + file.toStdString();
}

// A TCP port on the loopback interface where nothing listens: taken from the system and let go.
int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound ? ntohs(address.sin_port) : 1;
}

class OdbcSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(kSqliteDriver)) << "SQLite's ODBC driver is missing: install libsqliteodbc";
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("odbc.db"));
        std::vector<ProviderError> errors;
        ASSERT_TRUE(m_backend->open(sqliteConnectionString(m_file), {}, errors)) << firstError(errors);
        run("CREATE TABLE ORDINI (NUMERO int NOT NULL, RIGA int NOT NULL, NOTE nvarchar(40), "
            "QTA decimal(14,3), PESO float, CONSEGNA datetime, PRIMARY KEY (NUMERO, RIGA))");
        run("INSERT INTO ORDINI VALUES (7, 1, 'Attività più lunga €', 12.5, 0.25, '2026-08-31 10:11:12')");
        run("INSERT INTO ORDINI VALUES (7, 2, NULL, NULL, NULL, NULL)");
    }

    void run(const std::string& text) {
        std::vector<ProviderError> errors;
        ASSERT_TRUE(m_backend->execute(text, {}, nullptr, errors)) << text << ": " << firstError(errors);
    }

    ResultSet select(const std::string& text) {
        Collector collector;
        std::vector<ProviderError> errors;
        EXPECT_TRUE(m_backend->execute(text, {}, &collector, errors)) << text << ": " << firstError(errors);
        EXPECT_EQ(collector.sets.size(), 1u);
        return collector.sets.empty() ? ResultSet{} : collector.sets.front();
    }

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<IBackend> m_backend = makeOdbcBackend();
};

} // namespace

// The driver manager reads the connection string's keywords with the C library, which follows
// the machine's locale: under a Turkish one "Driver" is not "DRIVER".
class OdbcMachineLocale : public OdbcSqlite {};

TEST_F(OdbcMachineLocale, ConnectsAndReadsNumbersUnderTurkishAndItalianLocales) {
    for (const char* name : {"tr_TR.UTF-8", "it_IT.UTF-8"}) {
        SCOPED_TRACE(name);
        const scadlav::testing::MachineLocale locale(name);
        if (!locale.active())
            GTEST_SKIP() << "the locale " << name << " cannot be made on this machine (package locales)";
        m_backend = makeOdbcBackend();
        std::vector<ProviderError> errors;
        ASSERT_TRUE(m_backend->open(sqliteConnectionString(m_file), {}, errors)) << firstError(errors);
        const ResultSet rs = select("SELECT QTA, PESO FROM ORDINI WHERE RIGA = 1");
        ASSERT_EQ(rs.rows.size(), 1u);
        const auto& row = rs.rows[0];
        ASSERT_EQ(row[0].kind, Cell::Kind::Decimal);
        EXPECT_EQ(Decimal(row[0].i, row[0].scale), Decimal(125, 1));
        EXPECT_DOUBLE_EQ(row[1].d, 0.25);
    }
}

TEST_F(OdbcSqlite, ReadsTypedValuesAndKeepsNullsApart) {
    const ResultSet rs = select("SELECT NUMERO, RIGA, NOTE, QTA, PESO, CONSEGNA FROM ORDINI ORDER BY RIGA");
    ASSERT_EQ(rs.rows.size(), 2u);
    const auto& full = rs.rows[0];
    EXPECT_EQ(full[0].kind, Cell::Kind::Int);
    EXPECT_EQ(full[0].i, 7);
    EXPECT_EQ(full[2].kind, Cell::Kind::Text);
    EXPECT_EQ(full[2].text, "Attività più lunga €");
    // The quantity arrives as an exact decimal, not as a double that would drift.
    ASSERT_EQ(full[3].kind, Cell::Kind::Decimal);
    EXPECT_EQ(Decimal(full[3].i, full[3].scale), Decimal(125, 1));
    EXPECT_EQ(full[4].kind, Cell::Kind::Double);
    EXPECT_DOUBLE_EQ(full[4].d, 0.25);
    ASSERT_EQ(full[5].kind, Cell::Kind::DateTime);
    EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(full[5].i, Qt::UTC),
              QDateTime(QDate(2026, 8, 31), QTime(10, 11, 12), Qt::UTC));

    // Null is Null for every type: not an empty text, not zero, not a default date.
    for (std::size_t i = 2; i < 6; ++i)
        EXPECT_EQ(rs.rows[1][i].kind, Cell::Kind::Null) << rs.columns[i].name;

    for (const auto& [name, type] :
         {std::pair{"NUMERO", DataType::Integer}, std::pair{"QTA", DataType::Decimal},
          std::pair{"PESO", DataType::Double}, std::pair{"CONSEGNA", DataType::DBTimeStamp}})
        EXPECT_EQ(rs.column(name).type, type) << name;
    EXPECT_EQ(rs.column("NOTE").definedSize, 40);
}

TEST_F(OdbcSqlite, LongTextsAndBinaryValuesArriveWholeAcrossReadPieces) {
    // Longer than one 4 KiB read, with two-byte letters that may fall across a piece boundary.
    run("CREATE TABLE NOTE_LUNGHE (ID int PRIMARY KEY, TESTO nvarchar(8000), DATI varbinary(8000))");
    run("INSERT INTO NOTE_LUNGHE VALUES (1, replace(hex(zeroblob(3000)), '00', 'àb'), zeroblob(5000))");
    const ResultSet rs = select("SELECT TESTO, DATI FROM NOTE_LUNGHE");
    ASSERT_EQ(rs.rows.size(), 1u);
    EXPECT_EQ(rs.rows[0][0].kind, Cell::Kind::Text);
    EXPECT_EQ(rs.rows[0][0].text, QStringLiteral("àb").repeated(3000).toStdString());
    EXPECT_EQ(rs.rows[0][1].kind, Cell::Kind::Binary);
    EXPECT_EQ(rs.rows[0][1].text, std::string(5000, '\0'));
}

TEST_F(OdbcSqlite, NamesBaseTableAndKeyOnlyForPlainColumns) {
    const ResultSet rs = select("SELECT NUMERO, RIGA, NOTE, QTA AS QUANTITA, QTA * 2 AS DOPPIO FROM ORDINI");
    EXPECT_EQ(rs.column("NUMERO").baseTable, "ORDINI");
    EXPECT_TRUE(rs.column("NUMERO").inPrimaryKey);
    EXPECT_TRUE(rs.column("RIGA").inPrimaryKey);
    EXPECT_EQ(rs.column("NOTE").baseColumn, "NOTE");
    EXPECT_FALSE(rs.column("NOTE").inPrimaryKey);
    // The driver reports an alias as if it were a column of the table; writing to it would
    // name a column that does not exist, so it is treated as an expression.
    EXPECT_EQ(rs.column("QUANTITA").baseColumn, "");
    EXPECT_EQ(rs.column("DOPPIO").baseTable, "");
}

TEST_F(OdbcSqlite, CountsChangedRowsAndDropsRowsWhenAskedTo) {
    std::vector<ProviderError> errors;
    std::int64_t affected = 99;
    ASSERT_TRUE(
        m_backend->execute("UPDATE ORDINI SET PESO = 1 WHERE NUMERO = 7", {}, nullptr, errors, &affected));
    EXPECT_EQ(affected, 2);
    ASSERT_TRUE(m_backend->execute("DELETE FROM ORDINI WHERE NUMERO = 99", {}, nullptr, errors, &affected));
    EXPECT_EQ(affected, 0);
    ASSERT_TRUE(m_backend->execute("SELECT * FROM ORDINI", {}, nullptr, errors, &affected));
    EXPECT_EQ(affected, -1);

    Collector collector;
    ExecuteOptions noRecords;
    noRecords.noRecords = true;
    ASSERT_TRUE(m_backend->execute("SELECT * FROM ORDINI", noRecords, &collector, errors));
    EXPECT_TRUE(collector.sets.empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(OdbcSqlite, FailuresAppendTheDriverErrorsToTheList) {
    std::vector<ProviderError> errors{ProviderError{1, "earlier", "", 0, {}}};
    EXPECT_FALSE(m_backend->execute("SELECT * FROM NESSUNA", {}, nullptr, errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].description, "earlier");
    EXPECT_NE(errors[1].description.find("NESSUNA"), std::string::npos);
    EXPECT_FALSE(errors[1].sqlState.empty());
    EXPECT_NE(errors[1].number, 0);

    // A duplicate key carries the integrity-violation code the rebuild tests for.
    errors.clear();
    EXPECT_FALSE(m_backend->execute("INSERT INTO ORDINI (NUMERO, RIGA) VALUES (7, 1)", {}, nullptr, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().number, kIntegrityViolation);

    // The connection stays usable after a failure.
    EXPECT_EQ(select("SELECT COUNT(*) AS N FROM ORDINI").rows.at(0).at(0).i, 2);
}

// Several statements in one SQLExecDirect. SQL Server answers with one result per statement and
// the reader walks them with SQLMoreResults; SQLite's driver cannot: it refuses a batch of more
// than one statement, except one that starts with DDL, which it runs whole without any result.
// What is tested here is that the backend reports the refusal with nothing half-run or half-read;
// the walk over several result sets needs a server that sends them.
TEST_F(OdbcSqlite, BatchesOfSeveralStatementsAsThisDriverRunsThem) {
    for (const char* batch : {"SELECT NUMERO FROM ORDINI; SELECT RIGA FROM ORDINI",
                              "INSERT INTO ORDINI (NUMERO, RIGA) VALUES (8, 1); "
                              "UPDATE ORDINI SET PESO = 3 WHERE NUMERO = 8"}) {
        Collector collector;
        std::vector<ProviderError> errors;
        EXPECT_FALSE(m_backend->execute(batch, {}, &collector, errors));
        EXPECT_TRUE(collector.sets.empty());
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].description.find("only one SQL statement allowed"), std::string::npos)
            << errors[0].description;
    }
    EXPECT_EQ(select("SELECT COUNT(*) AS N FROM ORDINI WHERE NUMERO = 8").rows.at(0).at(0).i, 0);

    // A batch led by DDL runs whole, and the driver drops the rows of its query.
    Collector collector;
    std::vector<ProviderError> errors;
    EXPECT_TRUE(
        m_backend->execute("CREATE TABLE FASI (ID int); INSERT INTO FASI VALUES (1); SELECT ID FROM FASI", {},
                           &collector, errors))
        << firstError(errors);
    EXPECT_TRUE(collector.sets.empty());
    EXPECT_EQ(select("SELECT COUNT(*) AS N FROM FASI").rows.at(0).at(0).i, 1);
}

// Separate: the way SQL Server through FreeTDS works, where the catalog cannot be asked on the
// connection that is still reading the result.
TEST_F(OdbcSqlite, RecordsetWritesEditsBackToTheRowByKeyWithTheCatalogOnEitherConnection) {
    for (const OdbcCatalogConnection catalog :
         {OdbcCatalogConnection::Automatic, OdbcCatalogConnection::Separate}) {
        SCOPED_TRACE(catalog == OdbcCatalogConnection::Automatic ? "catalog on the same connection"
                                                                 : "catalog on a second connection");
        Connection connection(makeOdbcBackend(catalog));
        ASSERT_TRUE(connection.open(QString::fromStdString(sqliteConnectionString(m_file))));
        Recordset rs;
        ASSERT_TRUE(rs.open(
            QStringLiteral("SELECT NUMERO, RIGA, NOTE, QTA, QTA AS Q, CONSEGNA FROM ORDINI ORDER BY RIGA"),
            connection))
            << connection.lastErrorText().toStdString();
        EXPECT_TRUE(rs.fieldInfo(rs.fieldIndex(QStringLiteral("RIGA"))).inPrimaryKey);
        EXPECT_TRUE(rs.fieldInfo(rs.fieldIndex(QStringLiteral("Q"))).baseColumn.isEmpty());
        ASSERT_TRUE(rs.moveTo(1));
        // Other values each round, so that a write that did nothing shows.
        const int round = catalog == OdbcCatalogConnection::Automatic ? 0 : 1;
        const QDateTime delivery(QDate(2026, 9, 1), QTime(8, 30 * round));
        const QString note = QStringLiteral("Verniciatura d'urto %1").arg(round);
        ASSERT_TRUE(rs.setValue(QStringLiteral("NOTE"), Value(note)));
        ASSERT_TRUE(rs.setValue(QStringLiteral("QTA"), Value(Decimal(3 + round, 0))));
        ASSERT_TRUE(rs.setValue(QStringLiteral("CONSEGNA"), Value(delivery)));
        ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();

        const ResultSet after = select("SELECT RIGA, NOTE, QTA, CONSEGNA FROM ORDINI ORDER BY RIGA");
        ASSERT_EQ(after.rows.size(), 2u);
        EXPECT_EQ(after.rows[0][1].text, "Attività più lunga €"); // the other row is untouched
        EXPECT_EQ(after.rows[1][1].text, note.toStdString());
        EXPECT_EQ(Decimal(after.rows[1][2].i, after.rows[1][2].scale), Decimal(3 + round, 0));
        EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(after.rows[1][3].i, Qt::UTC),
                  QDateTime(delivery.date(), delivery.time(), Qt::UTC));
    }
}

TEST(OdbcConnect, UnreachableServerFailsWithConnectionErrors) {
    auto backend = makeOdbcBackend();
    OpenOptions options;
    options.connectionTimeoutSeconds = 5;
    const std::string text = "Driver={FreeTDS};Server=127.0.0.1;Port=" + std::to_string(unusedPort()) +
                             ";Database=ERP;UID=sa;PWD=x;TDS_Version=7.4";
    std::vector<ProviderError> errors;
    EXPECT_FALSE(backend->open(text, options, errors));
    EXPECT_FALSE(backend->isOpen());
    const bool has08001 = std::any_of(errors.begin(), errors.end(),
                                      [](const ProviderError& e) { return e.sqlState == "08001"; });
    EXPECT_TRUE(has08001);
    for (const ProviderError& error : errors)
        EXPECT_FALSE(error.description.empty());

    // Closed: a statement is refused with a reason instead of reaching a dead handle.
    errors.clear();
    EXPECT_FALSE(backend->execute("SELECT 1", {}, nullptr, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].description.find("closed"), std::string::npos);
}

TEST(OdbcConnect, BadConnectionStringsAreReported) {
    auto backend = makeOdbcBackend();
    std::vector<ProviderError> errors;
    EXPECT_FALSE(backend->open("  ", {}, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].description.find("empty"), std::string::npos);

    errors.clear();
    EXPECT_FALSE(backend->open("Driver={No Such Driver};Server=x", {}, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_FALSE(errors[0].description.empty());
}

TEST(OdbcProcedureCall, PassesParametersByNameAndRefusesInjectedNames) {
    const std::vector<ProcedureParameter> parameters{{"@Ditta", Value(1)},
                                                     {"Utente", Value(QStringLiteral("x"))}};
    std::string text;
    std::string problem;
    ASSERT_TRUE(
        odbc::buildProcedureCall("dbo.SPPD_SITCLAVORO", parameters, Dialect::SqlServer, text, problem));
    EXPECT_EQ(text, "EXEC dbo.SPPD_SITCLAVORO @Ditta=?, @Utente=?");
    ASSERT_TRUE(odbc::buildProcedureCall("[dbo].[P]", parameters, Dialect::Tsqlite, text, problem));
    EXPECT_EQ(text, "{call [dbo].[P](?, ?)}");

    EXPECT_FALSE(odbc::buildProcedureCall("P; DROP TABLE X", parameters, Dialect::SqlServer, text, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(odbc::buildProcedureCall("P", {{"@a=1;--", Value(1)}}, Dialect::SqlServer, text, problem));
}

TEST_F(OdbcSqlite, ProcedureValuesThatCannotBePassedAreRefusedBeforeTheCall) {
    std::vector<ProviderError> errors;
    ProcedureParameter small{"@Anno", Value(70000), true};
    EXPECT_FALSE(m_backend->callProcedure("P", {small}, {}, nullptr, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].description.find("smallint"), std::string::npos);
}

TEST(OdbcDiagnostics, SqlStatesMapToTheProviderCodesTheModuleTests) {
    EXPECT_EQ(odbc::providerCodeForSqlState("23000"), kIntegrityViolation);
    EXPECT_EQ(odbc::providerCodeForSqlState("42S02"), static_cast<std::int32_t>(0x80040E37));
    EXPECT_EQ(odbc::providerCodeForSqlState("42000"), static_cast<std::int32_t>(0x80040E14));
    EXPECT_EQ(odbc::providerCodeForSqlState("HYT00"), static_cast<std::int32_t>(0x80040E31));
    EXPECT_EQ(odbc::providerCodeForSqlState("08001"), kErrGeneric);
}
