#pragma once
// What the embedded database's backend hands on: its cells and columns translated to the
// backend interface's, and its errors to provider errors. Shared by the backend and its cursors.

#include "module/db/IBackend.h"
#include "module/db/TsqliteBackend.h"

#include <memory>
#include <tsqlite/tsqlite.h>
#include <vector>

namespace scadlav::db {

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

void moveErrors(std::vector<tsqlite::Error>& from, std::vector<ProviderError>& to);

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

} // namespace scadlav::db
