#pragma once
// State of one open connection, shared by the files that implement Connection.

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <string>

namespace tsqlite {

struct Connection::Impl {
    sqlite3* db = nullptr;
    std::string path;
    std::string token; // identifies this connection among the process's connections
    int busyTimeoutMs = 10000;

    ~Impl();
};

} // namespace tsqlite
