#pragma once
// The seam between a Connection and the database it talks to. A backend opens one physical
// connection, runs T-SQL text or a stored-procedure call, streams the result sets into a sink
// and reports failures as a list of provider errors. Two backends exist: the embedded database
// (TsqliteBackend) and SQL Server through ODBC (module/db/odbc, makeOdbcBackend()).
//
// Rules every backend follows:
// - Calls are synchronous, on the caller's thread. A backend never throws; failures return
//   false and append one or more ProviderError to the list passed in (never clearing it).
// - Text crosses the interface as UTF-8 (std::string / std::string_view).
// - A sink receives, for each result set of a batch: beginResultSet(columns), row() once per
//   row, endResultSet(). Cell views are valid only during the row() call. Statements that
//   return no rows (INSERT, DDL, ...) produce no result set at all.
// - With ExecuteOptions::noRecords the backend discards result rows (the sink may be null).

#include "module/value/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace scadlav::db {

// Field types, numbered as the ERP's run-time numbers them (ADO DataTypeEnum), so that code
// which appends fields by number and a report that reads them by number agree.
enum class DataType : int {
    Empty = 0,
    SmallInt = 2, // smallint
    Integer = 3,  // int
    Single = 4,   // real
    Double = 5,   // float
    Currency = 6, // money
    Date = 7,     // date and time, OLE form in the run-time
    Boolean = 11, // bit
    Variant = 12, // computed column whose type the database did not say
    Decimal = 14, // decimal(p,s)
    TinyInt = 16,
    UnsignedTinyInt = 17, // tinyint
    BigInt = 20,          // bigint
    Guid = 72,            // uniqueidentifier
    Binary = 128,         // binary(n)
    Char = 129,           // char(n)
    WChar = 130,          // nchar(n)
    Numeric = 131,        // numeric(p,s)
    DBDate = 133,         // date
    DBTime = 134,         // time
    DBTimeStamp = 135,    // datetime, smalldatetime, datetime2
    VarChar = 200,        // varchar(n)
    LongVarChar = 201,    // text, varchar(max)
    VarWChar = 202,       // nvarchar(n)
    LongVarWChar = 203,   // ntext, nvarchar(max)
    VarBinary = 204,      // varbinary(n)
    LongVarBinary = 205,  // image, varbinary(max)
};

// Describes one result column.
struct ColumnInfo {
    std::string name;
    DataType type = DataType::Variant;
    int definedSize = 0;       // characters for text, bytes for binary, 0 when not applicable
    int precision = 0;         // decimal/numeric: total digits
    int scale = -1;            // decimal/numeric: digits after the point; -1 when not known
    std::string baseTable;     // table the column is read from, "" for an expression
    std::string baseColumn;    // its name in that table, "" for an expression
    bool inPrimaryKey = false; // part of baseTable's primary key
    bool nullable = true;
};

// One cell of a row. A backend may deliver a value in whichever of these forms is natural to
// it; the record set converts it to the column's type (e.g. a decimal column read as Double or
// Text, a date read as Text "YYYY-MM-DD HH:MM:SS[.mmm]" or "YYYYMMDD HH:MM:SS").
struct Cell {
    enum class Kind : std::uint8_t {
        Null,
        Int,      // i
        Double,   // d
        Decimal,  // i units of 10^-scale
        Text,     // text, UTF-8
        DateTime, // i milliseconds since 1970-01-01 00:00:00 of the wall clock (no time zone)
        Binary,   // text holds the bytes
    };
    Kind kind = Kind::Null;
    std::uint8_t scale = 0;
    std::int64_t i = 0;
    double d = 0;
    std::string_view text;
};

// Receives the result sets of one execution.
class IRowSink {
public:
    virtual ~IRowSink() = default;
    virtual void beginResultSet(const std::vector<ColumnInfo>& columns) = 0;
    virtual void row(const Cell* cells, std::size_t count) = 0;
    virtual void endResultSet() = 0;
};

// One provider error, as the connection's error list shows it.
struct ProviderError {
    std::int64_t number = 0;      // provider code, e.g. 0x80040E2F widened as a negative 32-bit value
    std::string description;      // readable text naming what failed
    std::string sqlState;         // "23000", "08001", ... or ""
    std::int64_t nativeError = 0; // the server's own error number where it gives one
    std::string statement{};      // the statement as the database ran it, for the error log only
};

// Provider code used by the backends for failures that have no more precise code.
inline constexpr std::int64_t kErrGeneric = static_cast<std::int32_t>(0x80004005);

// Transaction isolation, numbered as the run-time numbers it.
enum class IsolationLevel : int {
    Unspecified = -1,
    ReadUncommitted = 256,
    ReadCommitted = 4096,
    RepeatableRead = 65536,
    Serializable = 1048576,
};

struct OpenOptions {
    IsolationLevel isolation = IsolationLevel::Unspecified;
    int connectionTimeoutSeconds = 15;
};

struct ExecuteOptions {
    bool noRecords = false;  // result rows are discarded, the sink is not called
    int timeoutSeconds = 30; // 0 means no limit
    // Called once, on the calling thread, when the command has been waiting noticeably long for
    // another session's lock; a backend that cannot tell never calls it.
    std::function<void()> onLongWait;
};

// A named stored-procedure parameter ("@Ditta"). Its SQL type follows the value's kind:
// Int -> int, Decimal -> decimal, Double -> float, Text -> nvarchar, DateTime -> datetime,
// Bool -> bit, Null/Empty -> a null of unspecified type. `smallInt` asks for smallint.
struct ProcedureParameter {
    std::string name;
    scadlav::Value value;
    bool smallInt = false;
};

// A literal of a statement sent with its values apart (IBackend::executeWithLiterals): a number
// as written, or a string (its value, unquoted), N'...' when `unicode`.
struct StatementLiteral {
    enum class Kind { Number, String };
    Kind kind = Kind::String;
    std::string text;
    bool unicode = false;
};

// Which SQL dialect the server reads; it decides how literals are written (dates above all).
enum class Dialect {
    Tsqlite,   // embedded database: dates as 'YYYY-MM-DD HH:MM:SS'
    SqlServer, // SQL Server: dates as 'YYYYMMDD HH:MM:SS', Unicode text as N'...'
};

// The rows of one SELECT read a slice at a time (IBackend::openCursor). The sink receives
// beginResultSet() with the first slice and endResultSet() after the last row, as for execute().
class IRowCursor {
public:
    virtual ~IRowCursor() = default;
    // Hands up to `maxRows` further rows to `sink`. False on failure, with the reason appended
    // to `errors`; the cursor is then done.
    virtual bool fetch(IRowSink& sink, std::size_t maxRows, std::vector<ProviderError>& errors) = 0;
    virtual bool done() const = 0;
};

class IBackend {
public:
    virtual ~IBackend() = default;

    // Opens the physical connection described by the full connection string. On failure the
    // backend stays closed and the reason is in `errors` (an ODBC backend keeps the SQLSTATE).
    virtual bool open(const std::string& connectionString, const OpenOptions& options,
                      std::vector<ProviderError>& errors) = 0;
    // Closes; harmless when already closed.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Runs a T-SQL batch as the text says. Result sets go to `sink` (unless noRecords or sink
    // is null). Returns false at the first failure. `rowsAffected`, when given, receives the
    // row count of the last data-changing statement (-1 when none changed data).
    virtual bool execute(std::string_view text, const ExecuteOptions& options, IRowSink* sink,
                         std::vector<ProviderError>& errors, std::int64_t* rowsAffected = nullptr) = 0;

    // Runs one statement whose literals are written as '?' (outside quotes and brackets) and
    // given in `literals`, in order: the same as execute() of the statement with the literals
    // written in, which is what this default does. A backend may instead translate the
    // statement once and bind only the values of each later call.
    virtual bool executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                                     const ExecuteOptions& options, IRowSink* sink,
                                     std::vector<ProviderError>& errors,
                                     std::int64_t* rowsAffected = nullptr);

    // Calls a stored procedure by name with named parameters; parameters not given keep the
    // procedure's defaults. Result sets go to `sink` as for execute().
    virtual bool callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                               const ExecuteOptions& options, IRowSink* sink,
                               std::vector<ProviderError>& errors) = 0;

    virtual Dialect dialect() const = 0;

    // Opens `text` for reading in slices when it is a single SELECT the backend can read that
    // way while other statements run on the same connection. nullptr without errors when it
    // cannot (the caller runs execute() instead); nullptr with errors when the statement fails.
    // A backend may read part of the rows ahead on a thread and connection of its own, on the
    // same snapshot; the rows still reach the sink on the caller's thread, in the statement's order.
    virtual std::unique_ptr<IRowCursor> openCursor(std::string_view text,
                                                   std::vector<ProviderError>& errors) {
        (void)text;
        (void)errors;
        return nullptr;
    }
    // A number that changes whenever the rows of `tables` may have changed since it was last
    // taken, by this connection or any other; false when the backend cannot tell.
    virtual bool dataVersion(const std::vector<std::string>& tables, std::uint64_t& version) {
        (void)tables;
        (void)version;
        return false;
    }
};

} // namespace scadlav::db
