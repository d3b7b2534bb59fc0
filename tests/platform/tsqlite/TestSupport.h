#pragma once
// Helpers shared by the embedded database's tests: a scratch database file and a sink that
// keeps result sets as text.

#include <tsqlite/tsqlite.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tsqlite::testing {

// A result set as text: NULL cells read "NULL", numbers in their shortest form.
struct TextResult {
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

class RecordingSink : public ResultSink {
public:
    void beginResultSet(const std::vector<Column>& columns) override;
    void row(const Cell* cells, std::size_t count) override;
    void endResultSet() override {}
    std::vector<TextResult> results;
};

std::string cellText(const Cell& cell);

// A fresh database file in a temporary folder, removed with the object.
class ScratchDatabase {
public:
    ScratchDatabase();
    ~ScratchDatabase();
    const std::string& path() const { return m_path; }
    std::unique_ptr<Connection> open() const;

private:
    std::filesystem::path m_dir;
    std::string m_path;
};

} // namespace tsqlite::testing
