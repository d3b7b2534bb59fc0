#include "module/db/odbc/OdbcBackend.h"

#include "module/db/odbc/OdbcCatalog.h"
#include "module/db/odbc/OdbcDiagnostics.h"
#include "module/db/odbc/OdbcHandle.h"
#include "module/db/odbc/OdbcProcedureCall.h"
#include "module/db/odbc/OdbcResultReader.h"
#include "module/db/odbc/OdbcText.h"
#include "module/value/ScopedPlainLocale.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <QString>

namespace scadlav::db {

namespace {

using odbc::appendDiagnostics;
using odbc::OdbcHandle;
using odbc::toWide;
using odbc::wideData;
using odbc::WideText;

ProviderError closedError() {
    ProviderError error;
    error.number = kErrGeneric;
    error.description = "The operation is not allowed because the ODBC connection is closed";
    return error;
}

SQLUINTEGER odbcIsolation(IsolationLevel level) {
    switch (level) {
    case IsolationLevel::ReadUncommitted:
        return SQL_TXN_READ_UNCOMMITTED;
    case IsolationLevel::ReadCommitted:
        return SQL_TXN_READ_COMMITTED;
    case IsolationLevel::RepeatableRead:
        return SQL_TXN_REPEATABLE_READ;
    case IsolationLevel::Serializable:
        return SQL_TXN_SERIALIZABLE;
    case IsolationLevel::Unspecified:
        break;
    }
    return 0;
}

// A text that may create, alter or drop a table makes what the catalog said stale.
bool mayChangeStructure(std::string_view text) {
    const QString upper = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUpper();
    return upper.contains(u"CREATE") || upper.contains(u"ALTER") || upper.contains(u"DROP");
}

class OdbcBackend final : public IBackend {
public:
    explicit OdbcBackend(OdbcCatalogConnection choice)
        : m_catalogChoice(choice), m_catalog([this] { return catalogConnection(); }) {}
    ~OdbcBackend() override { close(); }

    bool open(const std::string& connectionString, const OpenOptions& options,
              std::vector<ProviderError>& errors) override {
        // The driver manager and the drivers compare keywords and convert numbers with the C
        // library, whose rules the machine's locale would otherwise set.
        const ScopedPlainLocale plain;
        close();
        if (QString::fromStdString(connectionString).trimmed().isEmpty()) {
            ProviderError error;
            error.number = kErrGeneric;
            error.description = "The ODBC connection string is empty";
            errors.push_back(std::move(error));
            return false;
        }
        if (!m_env.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE) ||
            !SQL_SUCCEEDED(SQLSetEnvAttr(m_env.get(), SQL_ATTR_ODBC_VERSION,
                                         reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            appendDiagnostics(SQL_HANDLE_ENV, m_env.get(), "starting the ODBC driver manager", errors);
            close();
            return false;
        }
        if (!connect(m_dbc, connectionString, options.connectionTimeoutSeconds, errors)) {
            close();
            return false;
        }
        m_connectionString = connectionString;
        m_loginTimeout = options.connectionTimeoutSeconds;
        m_open = true;

        // The driver applies the isolation level itself (SQL Server: SET TRANSACTION ISOLATION
        // LEVEL). A driver that has no such setting reads as its database always does.
        if (SQLUINTEGER isolation = odbcIsolation(options.isolation))
            SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(isolation),
                              0);

        // SQLite's driver has narrow entry points only and stores UTF-8: it is spoken to in
        // UTF-8 and read dates written 'YYYY-MM-DD HH:MM:SS'. Every other database (SQL Server
        // through FreeTDS) gets wide texts and SQL Server's literals.
        const bool sqlite = dbmsName().contains(u"SQLite", Qt::CaseInsensitive);
        m_dialect = sqlite ? Dialect::Tsqlite : Dialect::SqlServer;
        m_mode = sqlite ? odbc::TextMode::Utf8 : odbc::TextMode::Wide;
        m_catalog.setTextMode(m_mode);
        SQLUSMALLINT activities = 1;
        SQLGetInfo(m_dbc.get(), SQL_MAX_CONCURRENT_ACTIVITIES, &activities, sizeof(activities), nullptr);
        m_concurrentStatements =
            m_catalogChoice == OdbcCatalogConnection::Automatic && (activities == 0 || activities > 1);
        if (m_dialect == Dialect::SqlServer) {
            // With browse information the server names the base table and column of every
            // result column, which record sets need to write edited rows back.
            std::vector<ProviderError> ignored;
            execute("SET NO_BROWSETABLE ON", ExecuteOptions{true, 0, {}}, nullptr, ignored, nullptr);
        }
        return true;
    }

    void close() override {
        const ScopedPlainLocale plain;
        m_catalog.clear();
        disconnect(m_catalogDbc);
        m_catalogTried = false;
        disconnect(m_dbc);
        m_env.reset();
        m_open = false;
        m_connectionString.clear();
    }

    bool isOpen() const override { return m_open; }

    bool execute(std::string_view text, const ExecuteOptions& options, IRowSink* sink,
                 std::vector<ProviderError>& errors, std::int64_t* rowsAffected) override {
        const ScopedPlainLocale plain;
        if (rowsAffected)
            *rowsAffected = -1;
        OdbcHandle stmt;
        if (!newStatement(stmt, options, errors))
            return false;
        const std::size_t before = errors.size();
        SQLRETURN rc = odbc::execDirect(stmt.get(), text, m_mode);
        odbc::OdbcResultReader reader(stmt.get(), m_mode, &m_catalog);
        const bool ok = reader.readAll(rc, options.noRecords, sink, errors, rowsAffected);
        if (mayChangeStructure(text))
            m_catalog.clear();
        if (!ok && m_dialect == Dialect::Tsqlite)
            odbc::refineSqliteErrors(errors, before);
        return ok;
    }

    bool callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                       const ExecuteOptions& options, IRowSink* sink,
                       std::vector<ProviderError>& errors) override {
        const ScopedPlainLocale plain;
        std::string text;
        std::string problem;
        if (!odbc::buildProcedureCall(name, parameters, m_dialect, text, problem)) {
            ProviderError error;
            error.number = static_cast<std::int32_t>(0x80040E14);
            error.description = problem;
            errors.push_back(std::move(error));
            return false;
        }
        OdbcHandle stmt;
        if (!newStatement(stmt, options, errors))
            return false;
        odbc::OdbcParameterBinder binder;
        if (!binder.bind(stmt.get(), parameters, m_mode, errors))
            return false;
        const std::size_t before = errors.size();
        SQLRETURN rc = odbc::execDirect(stmt.get(), text, m_mode);
        odbc::OdbcResultReader reader(stmt.get(), m_mode, &m_catalog);
        // Procedures such as the schedule rebuild fill tables: what the catalog said may be stale.
        const bool ok = reader.readAll(rc, options.noRecords, sink, errors, nullptr);
        m_catalog.clear();
        if (!ok && m_dialect == Dialect::Tsqlite)
            odbc::refineSqliteErrors(errors, before);
        return ok;
    }

    Dialect dialect() const override { return m_dialect; }

private:
    bool connect(OdbcHandle& dbc, const std::string& connectionString, int loginTimeoutSeconds,
                 std::vector<ProviderError>& errors) {
        if (!dbc.allocate(SQL_HANDLE_DBC, m_env.get())) {
            appendDiagnostics(SQL_HANDLE_ENV, m_env.get(), "allocating an ODBC connection", errors);
            return false;
        }
        if (loginTimeoutSeconds > 0)
            SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
        WideText wide = toWide(connectionString);
        SQLWCHAR completed[1024];
        SQLSMALLINT completedLength = 0;
        SQLRETURN rc = SQLDriverConnectW(
            dbc.get(), nullptr, wideData(wide), static_cast<SQLSMALLINT>(wide.size()), completed,
            static_cast<SQLSMALLINT>(std::size(completed)), &completedLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            appendDiagnostics(SQL_HANDLE_DBC, dbc.get(), "connecting", errors);
            dbc.reset();
            return false;
        }
        return true;
    }

    static void disconnect(OdbcHandle& dbc) {
        if (dbc)
            SQLDisconnect(dbc.get());
        dbc.reset();
    }

    QString dbmsName() {
        char name[256] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetInfo(m_dbc.get(), SQL_DBMS_NAME, name, sizeof(name), &length)))
            return {};
        return QString::fromLatin1(name,
                                   std::min<qsizetype>(std::max<SQLSMALLINT>(length, 0), sizeof(name) - 1));
    }

    bool newStatement(OdbcHandle& stmt, const ExecuteOptions& options, std::vector<ProviderError>& errors) {
        if (!m_open) {
            errors.push_back(closedError());
            return false;
        }
        if (!stmt.allocate(SQL_HANDLE_STMT, m_dbc.get())) {
            appendDiagnostics(SQL_HANDLE_DBC, m_dbc.get(), "allocating a statement", errors, m_mode);
            return false;
        }
        const auto timeout = static_cast<SQLULEN>(options.timeoutSeconds > 0 ? options.timeoutSeconds : 0);
        SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
        return true;
    }

    // The catalog is read on the same connection when the driver runs several statements at
    // once; otherwise (SQL Server without MARS) a result being read keeps the connection busy,
    // and a second connection, opened on first need, answers instead.
    SQLHDBC catalogConnection() {
        if (!m_open)
            return SQL_NULL_HANDLE;
        if (m_concurrentStatements)
            return m_dbc.get();
        if (!m_catalogDbc && !m_catalogTried) {
            m_catalogTried = true;
            std::vector<ProviderError> ignored;
            connect(m_catalogDbc, m_connectionString, m_loginTimeout, ignored);
        }
        return m_catalogDbc ? m_catalogDbc.get() : SQL_NULL_HANDLE;
    }

    OdbcHandle m_env{SQL_HANDLE_ENV, SQL_NULL_HANDLE};
    OdbcHandle m_dbc{SQL_HANDLE_DBC, SQL_NULL_HANDLE};
    OdbcHandle m_catalogDbc{SQL_HANDLE_DBC, SQL_NULL_HANDLE};
    bool m_catalogTried = false;
    bool m_open = false;
    OdbcCatalogConnection m_catalogChoice;
    bool m_concurrentStatements = true;
    int m_loginTimeout = 0;
    Dialect m_dialect = Dialect::SqlServer;
    odbc::TextMode m_mode = odbc::TextMode::Wide;
    std::string m_connectionString;
    odbc::OdbcCatalog m_catalog;
};

} // namespace

std::unique_ptr<IBackend> makeOdbcBackend() {
    return makeOdbcBackend(OdbcCatalogConnection::Automatic);
}

std::unique_ptr<IBackend> makeOdbcBackend(OdbcCatalogConnection catalogConnection) {
    return std::make_unique<OdbcBackend>(catalogConnection);
}

} // namespace scadlav::db
