#include "Registry.h"
#include "LocaleFree.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tsqlite::detail {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, Procedure> procedures;
    std::vector<std::function<void(sqlite3*)>> initializers;
    std::map<std::string, TableFunction> tableFunctions;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The highest ?N a body reads is the number of arguments the function takes.
int countArguments(const std::string& body) {
    int highest = 0;
    for (std::size_t i = 0; i + 1 < body.size(); ++i) {
        if (body[i] != '?' || !isAsciiDigit(body[i + 1]))
            continue;
        int n = 0;
        std::size_t j = i + 1;
        while (j < body.size() && isAsciiDigit(body[j]))
            n = n * 10 + (body[j++] - '0');
        highest = std::max(highest, n);
    }
    return highest;
}

} // namespace

std::string normaliseObjectName(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == '[' || c == ']' || c == '"')
            continue;
        out += asciiLower(c);
    }
    if (out.rfind("dbo.", 0) == 0)
        out.erase(0, 4);
    return out;
}

std::optional<Procedure> findProcedure(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.procedures.find(normaliseObjectName(name));
    if (it == r.procedures.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::function<void(sqlite3*)>> connectionInitializers() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.initializers;
}

std::vector<TableFunction> tableFunctions() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<TableFunction> out;
    for (const auto& [name, fn] : r.tableFunctions)
        out.push_back(fn);
    return out;
}

std::optional<TableFunction> findTableFunction(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.tableFunctions.find(normaliseObjectName(name));
    if (it == r.tableFunctions.end())
        return std::nullopt;
    return it->second;
}

} // namespace tsqlite::detail

namespace tsqlite {

void registerProcedure(const std::string& name, Procedure procedure) {
    auto& r = detail::registry();
    std::lock_guard lock(r.mutex);
    r.procedures[detail::normaliseObjectName(name)] = std::move(procedure);
}

void registerConnectionInitializer(std::function<void(sqlite3* db)> initializer) {
    auto& r = detail::registry();
    std::lock_guard lock(r.mutex);
    r.initializers.push_back(std::move(initializer));
}

void registerTableFunction(const std::string& name, const std::vector<std::string>& columns,
                           const std::string& body) {
    auto& r = detail::registry();
    std::lock_guard lock(r.mutex);
    detail::TableFunction fn{detail::normaliseObjectName(name), columns, body, detail::countArguments(body)};
    r.tableFunctions[fn.name] = std::move(fn);
}

} // namespace tsqlite
