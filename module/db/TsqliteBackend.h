#pragma once

#include "module/db/IBackend.h"

#include <memory>

namespace tsqlite {
class Connection;
}

namespace scadlav::db {

class RowCountMemory;

// The embedded database as a backend. Connection string: "Provider=tsqlite;Data Source=<file>"
// (the file must exist; "Create=yes" creates it).
class TsqliteBackend : public IBackend {
public:
    TsqliteBackend();
    ~TsqliteBackend() override;

    bool open(const std::string& connectionString, const OpenOptions& options,
              std::vector<ProviderError>& errors) override;
    void close() override;
    bool isOpen() const override;
    bool execute(std::string_view text, const ExecuteOptions& options, IRowSink* sink,
                 std::vector<ProviderError>& errors, std::int64_t* rowsAffected = nullptr) override;
    bool executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                             const ExecuteOptions& options, IRowSink* sink,
                             std::vector<ProviderError>& errors,
                             std::int64_t* rowsAffected = nullptr) override;
    bool callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                       const ExecuteOptions& options, IRowSink* sink,
                       std::vector<ProviderError>& errors) override;
    Dialect dialect() const override { return Dialect::Tsqlite; }
    std::unique_ptr<IRowCursor> openCursor(std::string_view text,
                                           std::vector<ProviderError>& errors) override;
    bool dataVersion(const std::vector<std::string>& tables, std::uint64_t& version) override;

private:
    std::unique_ptr<tsqlite::Connection> m_connection;
    std::shared_ptr<RowCountMemory> m_rowCounts;
};

// What a declared T-SQL type ("decimal(14,3)", "nvarchar(20)", "datetime", "") means for a
// record-set field.
ColumnInfo columnInfoFromDeclaredType(const std::string& declType);

} // namespace scadlav::db
