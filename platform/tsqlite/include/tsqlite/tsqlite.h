#pragma once
// The embedded database: a SQLite file that accepts the T-SQL the module sends to SQL Server.
// This header is the whole public surface; clients (the module's database backend, the ERP
// database objects, the tools) use nothing else.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tsqlite {

// One entry of a connection's error list, as a provider reports it.
struct Error {
    std::int64_t number = 0;      // e.g. 0x80040E2F (as a negative 32-bit HRESULT widened) for a unique key
    std::string description;      // short, as SQL Server words it; names the construct or object at fault
    std::string sqlState;         // "23000", "42S02", "HYT00", ... where one applies
    std::int64_t nativeError = 0; // SQL Server's own number for the same failure (8115, 517, ...), or 0
    std::string statement;        // the SQLite statement that failed, for the error log only
};

// Provider codes the module can rely on.
inline constexpr std::int64_t kErrIntegrityViolation = static_cast<std::int32_t>(0x80040E2F);
inline constexpr std::int64_t kErrSyntax = static_cast<std::int32_t>(0x80040E14);
inline constexpr std::int64_t kErrUnsupported = static_cast<std::int32_t>(0x80040E21);
inline constexpr std::int64_t kErrNoSuchObject = static_cast<std::int32_t>(0x80040E37);
inline constexpr std::int64_t kErrCannotOpen = static_cast<std::int32_t>(0x80004005);
// A value that cannot be converted or does not fit (SQL state 22xxx), and text too long for its
// column (22001): the codes the module's ODBC path gives the same SQL states.
inline constexpr std::int64_t kErrDataValue = static_cast<std::int32_t>(0x80040E07);
inline constexpr std::int64_t kErrTooLong = static_cast<std::int32_t>(0x80040E57);

// What a result column is: its name, the SQL type it was declared with (T-SQL spelling,
// lower case: "int", "smallint", "decimal(14,3)", "nvarchar(20)", "char(12)", "datetime",
// "bit", "float", ... or "" for a computed expression whose type is not known), and, for a
// column read straight from a table, that table and column and whether the column belongs to
// the table's primary key.
struct Column {
    std::string name;
    std::string declType;
    std::string baseTable;
    std::string baseColumn;
    bool inPrimaryKey = false;
};

// One cell as SQLite returns it. Dates come back as text "YYYY-MM-DD HH:MM:SS[.mmm]"; the
// declared type tells the client to read them as dates. Views are valid only during the call.
struct Cell {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t i = 0;
    double r = 0;
    std::string_view text; // Text and Blob
};

// Receives the result sets of a statement batch, row by row, without copies in between.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void beginResultSet(const std::vector<Column>& columns) = 0;
    virtual void row(const Cell* cells, std::size_t count) = 0;
    virtual void endResultSet() = 0;
};

// A named parameter of a stored-procedure call ("@Ditta", ...).
struct Parameter {
    std::string name;
    Cell value; // text parameters: value.text views `textStorage`
    std::string textStorage;
};

// The value standing for one '?' of a statement sent with its values apart
// (Connection::executeWithLiterals): the statement runs exactly as if the literal were written in
// its place, a number as its text, a string quoted (N'...' when unicode).
struct Literal {
    enum class Kind { Number, String };
    Kind kind = Kind::String;
    std::string text;
    bool unicode = false;
};

class Connection;

// The rows of one SELECT read a slice at a time, so that a client can show the first rows of a
// large result while the rest are still to be read. The statement stays open on its connection
// between slices (other statements may run on the connection meanwhile); closing the
// connection ends it. Destroying it before the end discards the rest.
class Query {
public:
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Hands up to `maxRows` further rows to `sink`: beginResultSet() before the first slice's
    // rows, endResultSet() once the last row is handed over. Returns false on failure, with the
    // reason appended to `errors`; the query is then done.
    bool fetch(ResultSink& sink, std::size_t maxRows, std::vector<Error>& errors);
    // Every row has been handed over (or the query failed, or its connection closed).
    bool done() const;
    // Runs the statement up to its first row now, so that the rows it reads are those committed
    // at this moment (its snapshot); the first fetch() hands that row over. False on failure.
    bool start(std::vector<Error>& errors);
    // The plan puts rows in order through a temporary tree (ORDER BY without an index, DISTINCT,
    // GROUP BY) or joins several SELECTs: its first row comes only after every row was read.
    // Known for a query opened with a QueryForm; false for one opened as written.
    bool sortsRows() const;
    // For a query opened FromOuterRow: the outer rows its plan has walked so far, those before
    // its first one included (all of them once it is done, unless it was limited).
    std::int64_t outerRowsWalked() const;
    // For a query opened FromOuterRow: leaves out the rows of the outer rows from number `limit`
    // on, and ends the query once its plan walks one of them. A limit below the outer rows already
    // walked is raised to their number, so no row already handed over (or being read) is left
    // out. Returns the limit taken. Any thread may call both, while the query is being fetched.
    std::int64_t limitOuterRows(std::int64_t limit);

    struct Impl;
    explicit Query(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> m_impl;
};

// A moment shared by the connections that read parts of one result (Connection::freezeClock):
// while a connection is attached to it, each of its clock functions gives the value that function
// gave first on any of them, so every part sees the same "now", as a single statement would.
class ClockFreeze {
public:
    // The value `function` is frozen at, read with `read` on its first call.
    std::string value(const std::string& function, const std::function<std::string()>& read);

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_values;
};

// For a clock function (GETDATE(), or one a database defines through registerConnectionInitializer):
// the time it should give on connection `db`: read() unless that connection's clock is frozen.
std::string readClock(sqlite3* db, const std::string& function, const std::function<std::string()>& read);

// The milliseconds a datetime holds for `ms` written (0..999): SQL Server keeps 1/300 s, so
// they come back as .000, .003 or .007 (999 gives 1000, the next second). A clock function that
// returns a datetime rounds with it.
inline int datetimeMilliseconds(int ms) {
    const int ticks = (ms * 3 + 5) / 10;
    return (ticks * 10 + 1) / 3;
}

// A stored procedure of the database, implemented natively (see registerProcedure).
using Procedure = std::function<bool(Connection& connection, const std::vector<Parameter>& parameters,
                                     ResultSink* sink, std::vector<Error>& errors)>;

// Registers a procedure for every connection of this process (name compared without case and
// without a "dbo." prefix). Called by whoever provides the database's objects at start-up.
void registerProcedure(const std::string& name, Procedure procedure);

// Registers a hook run on every connection right after it is opened, to define functions,
// collations, table functions, ... on the raw SQLite handle.
void registerConnectionInitializer(std::function<void(sqlite3* db)> initializer);

// Registers an inline table-valued function: `body` is a SELECT in SQLite's dialect that
// reads its arguments as ?1, ?2, ...; `columns` name its result columns. T-SQL
// "OUTER APPLY dbo.NAME(a, b) AS T" and "CROSS APPLY" over it are then accepted.
void registerTableFunction(const std::string& name, const std::vector<std::string>& columns,
                           const std::string& body);

// Defines this database's collation ERPCI, its T-SQL functions and the registered table
// functions on a raw SQLite handle; returns a SQLite result code. Every connection calls it, and
// so does the loadable extension libtsqlite_ext that lets SQLite's own tools read our files.
int registerDialect(sqlite3* db);

// Options of one execution.
struct ExecOptions {
    bool noRecords = false; // like adExecuteNoRecords: result rows are discarded
    // Wait for another connection's write lock: 0 the connection's usual busy timeout (10 s), a
    // positive number that many seconds, a negative one as long as the lock is held.
    int timeoutSeconds = 0;
    // Called once, on the calling thread, when the command has waited half a second for
    // another connection's lock, so that the caller can say so. It must not use the connection.
    std::function<void()> onLongWait;
};

// Holds the write lock of a database file for a moment, so that no connection commits while
// several connections take their snapshots: they then read the same rows. Released when
// destroyed.
class WriteHold {
public:
    // nullptr when the lock is not free within `waitMs` (another connection is writing) or the
    // file cannot be opened.
    static std::unique_ptr<WriteHold> tryHold(const std::string& path, int waitMs);
    ~WriteHold();
    WriteHold(const WriteHold&) = delete;
    WriteHold& operator=(const WriteHold&) = delete;

private:
    explicit WriteHold(sqlite3* db) : m_db(db) {}
    sqlite3* m_db;
};

class Connection {
public:
    // Opens (creating it when `create` is true) the database file. On failure returns nullptr
    // and appends the reason to `errors` (missing file, not a database, read-only, locked).
    static std::unique_ptr<Connection> open(const std::string& path, std::vector<Error>& errors,
                                            bool create = false);
    // A connection that only reads beside another: it leaves the database as it found it, even
    // the planner's statistics other connections gather as they close.
    static std::unique_ptr<Connection> openReader(const std::string& path, std::vector<Error>& errors);
    ~Connection(); // closes: drops the ## tables this connection created

    // Runs a T-SQL batch (one or more statements). Result sets go to `sink` (may be null).
    // Returns false at the first failing statement, with its errors appended to `errors`;
    // `rowsAffected` gets the count of the last data-changing statement.
    bool execute(std::string_view tsql, ResultSink* sink, std::vector<Error>& errors,
                 const ExecOptions& options = {}, std::int64_t* rowsAffected = nullptr);
    // Runs one statement whose literals are written as '?' and given in `literals`, in order. A
    // statement sent once per row with other values is lexed and translated the first time only;
    // after that only its values are bound. The result is the one execute() gives for the same
    // statement with the literals written in.
    bool executeWithLiterals(std::string_view tsql, const std::vector<Literal>& literals, ResultSink* sink,
                             std::vector<Error>& errors, const ExecOptions& options = {},
                             std::int64_t* rowsAffected = nullptr);

    // Opens a single SELECT for reading in slices (see Query). Returns nullptr without an error
    // when the text is anything else (several statements, SELECT ... INTO, a procedure call):
    // run that with execute(). Returns nullptr with the reason in `errors` when it fails.
    std::unique_ptr<Query> openQuery(std::string_view tsql, std::vector<Error>& errors);
    // The same SELECT read in part, so that connections on one snapshot can share the reading of
    // one result. The parts are cut by the rows of the table the plan walks first, its "outer
    // rows", numbered from 0 as the plan walks them: the same numbers on every connection that
    // reads the same snapshot with the same plan. Passing over outer rows costs one test each, the
    // joins run only for the rows kept. Returns nullptr without an error when the SELECT cannot be
    // cut that way (TOP, DISTINCT, grouping, an aggregate or window, a compound, or a plan that
    // starts with anything but a table that has row numbers).
    enum class QueryForm {
        AsWritten,    // the statement as it is (the overload above)
        FromOuterRow, // the rows of the outer rows from number `firstRow` on (0: every row)
    };
    std::unique_ptr<Query> openQuery(std::string_view tsql, QueryForm form, std::int64_t firstRow,
                                     std::vector<Error>& errors);

    // A read transaction: every statement until endSnapshot() reads the rows committed when it
    // began. False, with the reason, when one cannot begin (a transaction is already open).
    bool beginSnapshot(std::vector<Error>& errors);
    void endSnapshot();
    // No transaction is open and no statement is half read: a statement run now reads the rows
    // committed now.
    bool isIdle() const;
    // Stops the statement running on this connection, from any thread; it fails with SQLite's
    // "interrupted".
    void interrupt();
    // Attaches this connection's clock functions to `freeze` (see ClockFreeze); nullptr lets the
    // clock run again.
    void freezeClock(std::shared_ptr<ClockFreeze> freeze);

    // A number that changes whenever the rows of `tables` may have changed since it was last
    // taken: a commit by another connection (of any table: the file's version), a change this
    // connection made to one of the tables, or one it made that it could not attribute to a
    // table. Changes this connection makes to other tables (its work tables) leave it alone.
    // Equal numbers mean the same rows. Table names compare without case.
    std::uint64_t dataVersion(const std::vector<std::string>& tables);

    // Calls a stored procedure with named parameters (command type 4). Its statements wait for a
    // locked database as `options.timeoutSeconds` says.
    bool callProcedure(std::string_view name, const std::vector<Parameter>& parameters, ResultSink* sink,
                       std::vector<Error>& errors, const ExecOptions& options = {});

    // The T-SQL statement rewritten into SQLite, for diagnostics and tests.
    bool translate(std::string_view tsql, std::vector<std::string>& sqliteStatements,
                   std::vector<Error>& errors);

    sqlite3* handle() const;
    const std::string& path() const;

    // Statements translated since the connection opened, statements whose translation and
    // prepared statement were found by shape and reused, and of those the ones sent with their
    // literals apart that were run without being read again.
    struct CacheStatistics {
        std::int64_t translated = 0;
        std::int64_t reused = 0;
        std::int64_t boundOnly = 0;
    };
    CacheStatistics cacheStatistics() const;

    struct Impl;

private:
    explicit Connection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace tsqlite
