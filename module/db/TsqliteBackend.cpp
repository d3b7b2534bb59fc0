#include "module/db/TsqliteBackend.h"

#include "module/db/BackendFactory.h"
#include "module/db/SplitReadCursor.h"
#include "module/db/TsqliteRows.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <tsqlite/tsqlite.h>

namespace scadlav::db {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return s;
}

tsqlite::Parameter toParameter(const ProcedureParameter& p) {
    tsqlite::Parameter out;
    out.name = p.name;
    const Value& v = p.value;
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
    case Value::Kind::Array:
        out.value.kind = tsqlite::Cell::Kind::Null;
        break;
    case Value::Kind::Bool:
        out.value.kind = tsqlite::Cell::Kind::Integer;
        out.value.i = v.asBool() ? 1 : 0;
        break;
    case Value::Kind::Int:
        out.value.kind = tsqlite::Cell::Kind::Integer;
        out.value.i = v.asInt();
        break;
    case Value::Kind::Decimal:
        if (v.asDecimal().scale() == 0) {
            out.value.kind = tsqlite::Cell::Kind::Integer;
            out.value.i = v.asDecimal().units();
        } else {
            out.value.kind = tsqlite::Cell::Kind::Real;
            out.value.r = v.asDecimal().toDouble();
        }
        break;
    case Value::Kind::Double:
        out.value.kind = tsqlite::Cell::Kind::Real;
        out.value.r = v.asDouble();
        break;
    case Value::Kind::Text:
        out.value.kind = tsqlite::Cell::Kind::Text;
        out.textStorage = v.asText().toStdString();
        break;
    case Value::Kind::DateTime:
        out.value.kind = tsqlite::Cell::Kind::Text;
        out.textStorage = v.asDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
        break;
    }
    return out;
}

tsqlite::ExecOptions execOptions(const ExecuteOptions& options) {
    tsqlite::ExecOptions exec;
    exec.noRecords = options.noRecords;
    // A command timeout of 0 waits for a locked table as long as it takes, as on the server.
    exec.timeoutSeconds = options.timeoutSeconds > 0 ? options.timeoutSeconds : -1;
    exec.onLongWait = options.onLongWait;
    return exec;
}

// Runs one call on the connection with the options and sink of the backend interface, moving
// its errors over.
template <typename Call>
bool runOn(tsqlite::Connection* connection, const ExecuteOptions& options, IRowSink* sink,
           std::vector<ProviderError>& errors, Call&& call) {
    if (!connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is closed.", "", 0, {}});
        return false;
    }
    const tsqlite::ExecOptions exec = execOptions(options);
    SinkAdapter adapter(sink);
    std::vector<tsqlite::Error> list;
    const bool ok = call(sink && !options.noRecords ? &adapter : nullptr, list, exec);
    moveErrors(list, errors);
    return ok;
}

} // namespace

ColumnInfo columnInfoFromDeclaredType(const std::string& declType) {
    ColumnInfo info;
    std::string t = lower(declType);
    int a = -1, b = -1;
    std::string base = t;
    if (auto open = t.find('('); open != std::string::npos) {
        base = t.substr(0, open);
        std::string args = t.substr(open + 1);
        if (args.rfind("max", 0) == 0)
            a = -2; // (max)
        else if (std::sscanf(args.c_str(), "%d , %d", &a, &b) < 1)
            a = -1;
    }
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    auto text = [&](DataType type, DataType longType) {
        info.type = a == -2 ? longType : type;
        info.definedSize = a > 0 ? a : (a == -2 ? 0x3FFFFFFF : 1);
    };
    if (base.empty()) {
        info.type = DataType::Variant;
    } else if (base == "int" || base == "integer") {
        info.type = DataType::Integer;
        info.definedSize = 4;
    } else if (base == "smallint") {
        info.type = DataType::SmallInt;
        info.definedSize = 2;
    } else if (base == "tinyint") {
        info.type = DataType::UnsignedTinyInt;
        info.definedSize = 1;
    } else if (base == "bigint") {
        info.type = DataType::BigInt;
        info.definedSize = 8;
    } else if (base == "bit") {
        info.type = DataType::Boolean;
        info.definedSize = 2;
    } else if (base == "float" || base == "double" || base == "double precision") {
        info.type = DataType::Double;
        info.definedSize = 8;
    } else if (base == "real") {
        info.type = DataType::Single;
        info.definedSize = 4;
    } else if (base == "money" || base == "smallmoney") {
        info.type = DataType::Currency;
        info.precision = 19;
        info.scale = 4;
        info.definedSize = 8;
    } else if (base == "decimal" || base == "numeric") {
        info.type = base == "decimal" ? DataType::Decimal : DataType::Numeric;
        info.precision = a > 0 ? a : 18;
        info.scale = b >= 0 ? b : 0;
        info.definedSize = 19;
    } else if (base == "char") {
        text(DataType::Char, DataType::LongVarChar);
    } else if (base == "nchar") {
        text(DataType::WChar, DataType::LongVarWChar);
    } else if (base == "varchar") {
        text(DataType::VarChar, DataType::LongVarChar);
    } else if (base == "nvarchar") {
        text(DataType::VarWChar, DataType::LongVarWChar);
    } else if (base == "text") {
        info.type = DataType::LongVarChar;
        info.definedSize = 0x7FFFFFFF;
    } else if (base == "ntext") {
        info.type = DataType::LongVarWChar;
        info.definedSize = 0x3FFFFFFF;
    } else if (base == "datetime" || base == "smalldatetime" || base == "datetime2") {
        info.type = DataType::DBTimeStamp;
        info.definedSize = 16;
    } else if (base == "date") {
        info.type = DataType::DBDate;
        info.definedSize = 3;
    } else if (base == "time") {
        info.type = DataType::DBTime;
        info.definedSize = 5;
    } else if (base == "uniqueidentifier") {
        info.type = DataType::Guid;
        info.definedSize = 16;
    } else if (base == "binary") {
        info.type = DataType::Binary;
        info.definedSize = a > 0 ? a : 1;
    } else if (base == "varbinary" || base == "image" || base == "blob") {
        info.type = a == -2 || base != "varbinary" ? DataType::LongVarBinary : DataType::VarBinary;
        info.definedSize = a > 0 ? a : 0x7FFFFFFF;
    } else if (base.find("int") != std::string::npos) {
        info.type = DataType::BigInt;
        info.definedSize = 8;
    } else if (base.find("char") != std::string::npos || base.find("clob") != std::string::npos) {
        info.type = DataType::VarWChar;
        info.definedSize = a > 0 ? a : 4000;
    } else if (base.find("real") != std::string::npos || base.find("floa") != std::string::npos ||
               base.find("doub") != std::string::npos) {
        info.type = DataType::Double;
        info.definedSize = 8;
    } else {
        info.type = DataType::Variant;
    }
    return info;
}

TsqliteBackend::TsqliteBackend() = default;

TsqliteBackend::~TsqliteBackend() {
    close();
}

bool TsqliteBackend::open(const std::string& connectionString, const OpenOptions&,
                          std::vector<ProviderError>& errors) {
    if (m_connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is already open.", "", 0, {}});
        return false;
    }
    const QString cs = QString::fromStdString(connectionString);
    const QString path = connectionStringValue(cs, QStringLiteral("Data Source"));
    if (path.isEmpty()) {
        errors.push_back(
            ProviderError{kErrGeneric, "The connection string names no Data Source file.", "", 0, {}});
        return false;
    }
    const QString create = connectionStringValue(cs, QStringLiteral("Create"));
    const bool mayCreate = create.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0 ||
                           create.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 || create == u"1";
    std::vector<tsqlite::Error> list;
    m_connection = tsqlite::Connection::open(path.toStdString(), list, mayCreate);
    moveErrors(list, errors);
    if (!m_connection && errors.empty())
        errors.push_back(ProviderError{kErrGeneric, "The database could not be opened.", "", 0, {}});
    return m_connection != nullptr;
}

void TsqliteBackend::close() {
    m_connection.reset();
}

bool TsqliteBackend::isOpen() const {
    return m_connection != nullptr;
}

bool TsqliteBackend::execute(std::string_view text, const ExecuteOptions& options, IRowSink* sink,
                             std::vector<ProviderError>& errors, std::int64_t* rowsAffected) {
    return runOn(
        m_connection.get(), options, sink, errors,
        [&](tsqlite::ResultSink* to, std::vector<tsqlite::Error>& list, const tsqlite::ExecOptions& exec) {
            return m_connection->execute(text, to, list, exec, rowsAffected);
        });
}

bool TsqliteBackend::executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                                         const ExecuteOptions& options, IRowSink* sink,
                                         std::vector<ProviderError>& errors, std::int64_t* rowsAffected) {
    std::vector<tsqlite::Literal> values;
    values.reserve(literals.size());
    for (const StatementLiteral& l : literals)
        values.push_back({l.kind == StatementLiteral::Kind::Number ? tsqlite::Literal::Kind::Number
                                                                   : tsqlite::Literal::Kind::String,
                          l.text, l.unicode});
    return runOn(
        m_connection.get(), options, sink, errors,
        [&](tsqlite::ResultSink* to, std::vector<tsqlite::Error>& list, const tsqlite::ExecOptions& exec) {
            return m_connection->executeWithLiterals(text, values, to, list, exec, rowsAffected);
        });
}

std::unique_ptr<IRowCursor> TsqliteBackend::openCursor(std::string_view text,
                                                       std::vector<ProviderError>& errors) {
    if (!m_connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is closed.", "", 0, {}});
        return nullptr;
    }
    if (!m_rowCounts)
        m_rowCounts = std::make_shared<RowCountMemory>();
    if (std::unique_ptr<IRowCursor> split = openSplitRead(*m_connection, text, m_rowCounts))
        return split;
    std::vector<tsqlite::Error> list;
    std::unique_ptr<tsqlite::Query> query = m_connection->openQuery(text, list);
    moveErrors(list, errors);
    if (!query)
        return nullptr;
    return std::make_unique<QueryCursor>(std::move(query));
}

bool TsqliteBackend::dataVersion(const std::vector<std::string>& tables, std::uint64_t& version) {
    if (!m_connection)
        return false;
    version = m_connection->dataVersion(tables);
    return true;
}

bool TsqliteBackend::callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                                   const ExecuteOptions& options, IRowSink* sink,
                                   std::vector<ProviderError>& errors) {
    if (!m_connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is closed.", "", 0, {}});
        return false;
    }
    std::vector<tsqlite::Parameter> list;
    list.reserve(parameters.size());
    for (const ProcedureParameter& p : parameters)
        list.push_back(toParameter(p));
    // Text parameters view their own storage; the vector no longer moves.
    for (tsqlite::Parameter& p : list)
        if (p.value.kind == tsqlite::Cell::Kind::Text)
            p.value.text = p.textStorage;
    SinkAdapter adapter(sink);
    std::vector<tsqlite::Error> errs;
    const bool ok = m_connection->callProcedure(name, list, sink && !options.noRecords ? &adapter : nullptr,
                                                errs, execOptions(options));
    moveErrors(errs, errors);
    return ok;
}

} // namespace scadlav::db
