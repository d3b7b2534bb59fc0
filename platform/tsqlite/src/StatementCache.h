#pragma once
// Prepared SQLite statements kept by the shape of the T-SQL statement they came from, so that
// a statement sent once per row with different literals is translated and prepared once.

#include "Translator.h"

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tsqlite::detail {

struct CachedPart {
    sqlite3_stmt* stmt = nullptr;
    std::vector<ParamRef> params;
    std::vector<Column> columns; // described at the first run
    bool described = false;
    int reprepares = 0; // SQLite re-prepares a statement whose tables changed
};

struct CacheEntry {
    std::uint64_t generation = 0; // schema generation the translation was made for
    std::vector<CachedPart> parts;
    std::vector<std::size_t> typedLiterals; // see literalTypesOf
    std::string literalTypes;
    bool countedUpdate = false; // see Translation::countedUpdate
    ~CacheEntry();
};

class StatementCache {
public:
    // The entry of this shape, valid for the schema generation, or null.
    CacheEntry* find(const std::string& shape, std::uint64_t generation);
    // Takes a translation; prepares its parts. Null (and an error) when a part does not prepare.
    CacheEntry* add(sqlite3* db, const std::string& shape, std::uint64_t generation,
                    const Translation& translation, Error& error);
    void clear() { m_entries.clear(); }
    std::size_t size() const { return m_entries.size(); }

private:
    static constexpr std::size_t kCapacity = 512;
    std::unordered_map<std::string, std::unique_ptr<CacheEntry>> m_entries;
};

} // namespace tsqlite::detail
