#include "CorpusFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tsqlite::testing {
namespace {

// One CSV line: fields separated by commas, "..." quotes a field ("" inside is a quote).
std::vector<std::string> csv(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
            out.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

} // namespace

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<CorpusCase> parseCorpusFile(const std::string& path) {
    std::vector<CorpusCase> cases;
    std::istringstream in(readTextFile(path));
    std::string line;
    bool inExpect = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("=== ", 0) == 0) {
            CorpusCase c;
            c.file = std::filesystem::path(path).stem().string();
            c.index = cases.size();
            c.name = line.substr(4);
            cases.push_back(std::move(c));
            inExpect = false;
            continue;
        }
        if (cases.empty())
            continue; // the file's header
        CorpusCase& c = cases.back();
        if (line.rfind("--- ", 0) == 0) {
            inExpect = true;
            std::istringstream words(line.substr(4));
            std::string kind, value;
            words >> kind >> value;
            if (kind == "rows") {
                c.expect = CorpusCase::Expect::Rows;
            } else if (kind == "rowset") {
                c.expect = CorpusCase::Expect::RowSet;
            } else if (kind == "error") {
                c.expect = CorpusCase::Expect::Error;
                c.number = static_cast<std::int32_t>(std::stoul(value, nullptr, 16));
                // Optionally SQL Server's own number and its message.
                if (words >> c.nativeError) {
                    std::getline(words >> std::ws, c.description);
                }
            } else if (kind == "affected") {
                c.expect = CorpusCase::Expect::Affected;
                c.number = std::stoll(value);
            } else {
                c.expect = CorpusCase::Expect::Ok;
            }
            continue;
        }
        if (!inExpect) {
            c.sql += line + "\r\n";
        } else if (!line.empty() && line[0] == '#') {
            c.columns = csv(line.substr(1));
        } else if (!line.empty()) {
            c.rows.push_back(csv(line));
        }
    }
    return cases;
}

std::vector<CorpusCase> parseCorpusFolder(const std::string& folder) {
    std::vector<CorpusCase> out;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".test")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        auto cases = parseCorpusFile(f);
        out.insert(out.end(), cases.begin(), cases.end());
    }
    return out;
}

} // namespace tsqlite::testing
