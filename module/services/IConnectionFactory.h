#pragma once

#include "module/services/IHostObject.h"

#include <memory>

namespace scadlav {

namespace db {
class Connection;
} // namespace db

// Gives a screen a new, closed database connection; the screen sets its connection string,
// opens it and owns it.
class IConnectionFactory : public IHostObject {
public:
    ~IConnectionFactory() override;
    virtual std::unique_ptr<db::Connection> createConnection() = 0;
};

} // namespace scadlav
