#pragma once
// A backend that answers from a script and remembers every text it was sent, for tests of
// what the database layer sends and how it reads answers.

#include "module/db/IBackend.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scadlav::db::testing {

struct FakeResult {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<Cell>> rows; // text cells view strings that live in the test
    bool fail = false;
    ProviderError error;
    std::int64_t rowsAffected = -1;
};

struct FakeLog {
    std::vector<std::string> texts;
    std::vector<std::pair<std::string, std::vector<ProcedureParameter>>> calls;
    bool open = false;
};

class FakeBackend : public IBackend {
public:
    FakeBackend(std::shared_ptr<FakeLog> log, std::map<std::string, FakeResult> script)
        : m_log(std::move(log)), m_script(std::move(script)) {}

    bool open(const std::string&, const OpenOptions&, std::vector<ProviderError>&) override {
        m_log->open = true;
        return true;
    }
    void close() override { m_log->open = false; }
    bool isOpen() const override { return m_log->open; }
    bool execute(std::string_view text, const ExecuteOptions& options, IRowSink* sink,
                 std::vector<ProviderError>& errors, std::int64_t* rowsAffected) override {
        m_log->texts.emplace_back(text);
        auto it = m_script.find(std::string(text));
        if (it == m_script.end())
            return true; // anything else succeeds without rows
        const FakeResult& r = it->second;
        if (r.fail) {
            errors.push_back(r.error);
            return false;
        }
        if (rowsAffected)
            *rowsAffected = r.rowsAffected;
        if (sink && !options.noRecords && !r.columns.empty()) {
            sink->beginResultSet(r.columns);
            for (const auto& row : r.rows)
                sink->row(row.data(), row.size());
            sink->endResultSet();
        }
        return true;
    }
    bool callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                       const ExecuteOptions&, IRowSink*, std::vector<ProviderError>&) override {
        m_log->calls.emplace_back(std::string(name), parameters);
        return true;
    }
    Dialect dialect() const override { return Dialect::SqlServer; }

private:
    std::shared_ptr<FakeLog> m_log;
    std::map<std::string, FakeResult> m_script;
};

inline Cell intCell(std::int64_t v) {
    Cell c;
    c.kind = Cell::Kind::Int;
    c.i = v;
    return c;
}

inline Cell textCell(std::string_view v) {
    Cell c;
    c.kind = Cell::Kind::Text;
    c.text = v;
    return c;
}

inline ColumnInfo column(const char* name, DataType type, const char* table = "", bool key = false) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.baseTable = table;
    c.baseColumn = *table ? name : "";
    c.inPrimaryKey = key;
    return c;
}

} // namespace scadlav::db::testing
