#include "StatementCache.h"

#include "Errors.h"

namespace tsqlite::detail {

CacheEntry::~CacheEntry() {
    for (auto& p : parts)
        sqlite3_finalize(p.stmt);
}

CacheEntry* StatementCache::find(const std::string& shape, std::uint64_t generation) {
    auto it = m_entries.find(shape);
    if (it == m_entries.end())
        return nullptr;
    if (it->second->generation != generation) {
        m_entries.erase(it);
        return nullptr;
    }
    return it->second.get();
}

CacheEntry* StatementCache::add(sqlite3* db, const std::string& shape, std::uint64_t generation,
                                const Translation& translation, Error& error) {
    auto entry = std::make_unique<CacheEntry>();
    entry->generation = generation;
    entry->countedUpdate = translation.countedUpdate;
    for (const auto& part : translation.parts) {
        CachedPart cached;
        cached.params = part.params;
        const int rc = sqlite3_prepare_v3(db, part.sql.c_str(), static_cast<int>(part.sql.size()),
                                          SQLITE_PREPARE_PERSISTENT, &cached.stmt, nullptr);
        if (rc != SQLITE_OK) {
            error = errorFromSqlite(db, rc, part.sql);
            sqlite3_finalize(cached.stmt);
            return nullptr;
        }
        entry->parts.push_back(std::move(cached));
    }
    // A simple bound: when full, start afresh rather than track use.
    if (m_entries.size() >= kCapacity)
        m_entries.clear();
    auto* raw = entry.get();
    m_entries[shape] = std::move(entry);
    return raw;
}

} // namespace tsqlite::detail
