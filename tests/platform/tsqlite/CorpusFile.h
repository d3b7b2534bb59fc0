#pragma once
// The statement corpus files corpus/*.test: cases of a T-SQL batch with the rows or the error
// it must give (the format is described at the top of corpus/module.test).

#include <cstdint>
#include <string>
#include <vector>

namespace tsqlite::testing {

struct CorpusCase {
    std::string file; // the file's name without ".test"
    std::size_t index = 0;
    std::string name;
    std::string sql;
    enum class Expect { Rows, RowSet, Error, Ok, Affected } expect = Expect::Ok;
    std::int64_t number = 0;      // error number or affected rows
    std::int64_t nativeError = 0; // SQL Server's error number, when the case names one
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

std::string readTextFile(const std::string& path);

// The cases of one file, in order.
std::vector<CorpusCase> parseCorpusFile(const std::string& path);

// The cases of every file of a folder, files in name order.
std::vector<CorpusCase> parseCorpusFolder(const std::string& folder);

} // namespace tsqlite::testing
