#pragma once

#include "module/db/IBackend.h"

#include <cstdio>
#include <vector>

namespace tsql {

// Writes the result sets a connection streams as CSV to a stream, row by row as they arrive,
// so that a large result is never held in memory. Result sets after the first are preceded by
// an empty line.
class CsvSink : public scadlav::db::IRowSink {
public:
    explicit CsvSink(std::FILE* out) : m_out(out) {}

    void beginResultSet(const std::vector<scadlav::db::ColumnInfo>& columns) override;
    void row(const scadlav::db::Cell* cells, std::size_t count) override;
    void endResultSet() override;

    // The value a cell stands for, read as its column's type says: a decimal column delivered
    // as floating point is rounded to its scale, a date column delivered as text is a date.
    static scadlav::Value cellValue(const scadlav::db::Cell& cell, const scadlav::db::ColumnInfo& column);

private:
    void write(const QString& text);

    std::FILE* m_out;
    std::vector<scadlav::db::ColumnInfo> m_columns;
    int m_resultSets = 0;
};

} // namespace tsql
