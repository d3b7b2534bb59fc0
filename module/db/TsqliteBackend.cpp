#include "module/db/TsqliteBackend.h"

#include "module/db/BackendFactory.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <tsqlite/tsqlite.h>

namespace scadlav::db {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Passes a tsqlite result straight on, translating columns and cells.
class SinkAdapter : public tsqlite::ResultSink {
public:
    explicit SinkAdapter(IRowSink* target) : m_target(target) {}
    void setTarget(IRowSink* target) { m_target = target; }

    void beginResultSet(const std::vector<tsqlite::Column>& columns) override {
        std::vector<ColumnInfo> infos;
        infos.reserve(columns.size());
        for (const tsqlite::Column& c : columns) {
            ColumnInfo info = columnInfoFromDeclaredType(c.declType);
            info.name = c.name;
            info.baseTable = c.baseTable;
            info.baseColumn = c.baseColumn;
            info.inPrimaryKey = c.inPrimaryKey;
            infos.push_back(std::move(info));
        }
        m_cells.resize(columns.size());
        m_target->beginResultSet(infos);
    }

    void row(const tsqlite::Cell* cells, std::size_t count) override {
        if (m_cells.size() < count)
            m_cells.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const tsqlite::Cell& in = cells[k];
            Cell& out = m_cells[k];
            out.scale = 0;
            switch (in.kind) {
            case tsqlite::Cell::Kind::Null:
                out.kind = Cell::Kind::Null;
                break;
            case tsqlite::Cell::Kind::Integer:
                out.kind = Cell::Kind::Int;
                out.i = in.i;
                break;
            case tsqlite::Cell::Kind::Real:
                out.kind = Cell::Kind::Double;
                out.d = in.r;
                break;
            case tsqlite::Cell::Kind::Text:
                out.kind = Cell::Kind::Text;
                out.text = in.text;
                break;
            case tsqlite::Cell::Kind::Blob:
                out.kind = Cell::Kind::Binary;
                out.text = in.text;
                break;
            }
        }
        m_target->row(m_cells.data(), count);
    }

    void endResultSet() override { m_target->endResultSet(); }

private:
    IRowSink* m_target;
    std::vector<Cell> m_cells;
};

void moveErrors(std::vector<tsqlite::Error>& from, std::vector<ProviderError>& to) {
    for (tsqlite::Error& e : from)
        to.push_back(ProviderError{e.number, std::move(e.description), std::move(e.sqlState), e.nativeError,
                                   std::move(e.statement)});
    from.clear();
}

// A tsqlite query read a slice at a time.
class QueryCursor : public IRowCursor {
public:
    explicit QueryCursor(std::unique_ptr<tsqlite::Query> query) : m_query(std::move(query)) {}

    bool fetch(IRowSink& sink, std::size_t maxRows, std::vector<ProviderError>& errors) override {
        m_adapter.setTarget(&sink);
        std::vector<tsqlite::Error> list;
        const bool ok = m_query->fetch(m_adapter, maxRows, list);
        moveErrors(list, errors);
        return ok;
    }
    bool done() const override { return m_query->done(); }

private:
    std::unique_ptr<tsqlite::Query> m_query;
    SinkAdapter m_adapter{nullptr};
};

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
    if (!m_connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is closed.", "", 0, {}});
        return false;
    }
    tsqlite::ExecOptions exec;
    exec.noRecords = options.noRecords;
    exec.timeoutSeconds = options.timeoutSeconds;
    SinkAdapter adapter(sink);
    std::vector<tsqlite::Error> list;
    const bool ok = m_connection->execute(text, sink && !options.noRecords ? &adapter : nullptr, list, exec,
                                          rowsAffected);
    moveErrors(list, errors);
    return ok;
}

std::unique_ptr<IRowCursor> TsqliteBackend::openCursor(std::string_view text,
                                                       std::vector<ProviderError>& errors) {
    if (!m_connection) {
        errors.push_back(ProviderError{kErrGeneric, "The connection is closed.", "", 0, {}});
        return nullptr;
    }
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
    const bool ok =
        m_connection->callProcedure(name, list, sink && !options.noRecords ? &adapter : nullptr, errs);
    moveErrors(errs, errors);
    return ok;
}

} // namespace scadlav::db
