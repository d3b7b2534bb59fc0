#pragma once
// The host's lookups and decodes over the ERP tables, as the module creates them by class name.

#include "module/services/IDecode.h"
#include "module/services/ILookup.h"

#include <QString>
#include <memory>

namespace scadlav::db {
class Connection;
}

namespace erphost {

// Reads the company (and, for decodes, the connection string) from the global context it is
// given directly or through the module reference.
class ContextHolder {
protected:
    void holdModule(scadlav::Cinterface* module);
    void holdContext(scadlav::IGlobalContext* context) { m_context = context; }
    scadlav::IGlobalContext* context() const;

private:
    scadlav::Cinterface* m_module = nullptr;
    scadlav::IGlobalContext* m_context = nullptr;
};

// The list of a kind of code: SQL, columns, title and lookup name; the list window runs it.
class LookupService : public scadlav::ILookup, private ContextHolder {
public:
    void setModule(scadlav::Cinterface* module) override { holdModule(module); }
    void setGlobalContext(scadlav::IGlobalContext* context) override { holdContext(context); }
    std::optional<scadlav::LookupList> list(scadlav::CodeKind kind, const QStringList& parentCodes) override;
};

// The description of a code, read on a connection of its own to the context's database (opened
// at the first decode). A code that does not exist gives std::nullopt; a database failure
// throws a scadlav::RuntimeException with the provider's error.
class DecodeService : public scadlav::IDecode, private ContextHolder {
public:
    DecodeService();
    ~DecodeService() override;
    void setModule(scadlav::Cinterface* module) override;
    void setGlobalContext(scadlav::IGlobalContext* context) override;
    std::optional<QString> describe(scadlav::CodeKind kind, const QString& code,
                                    const QStringList& parentCodes) override;

private:
    scadlav::db::Connection& connection();

    std::unique_ptr<scadlav::db::Connection> m_connection;
};

} // namespace erphost
