#pragma once

#include "library/ModuleEntry.h"
#include "platform/host/HostSettings.h"

#include <QLibrary>
#include <QString>

namespace erphost {

// Loads the module library at run time and creates its module class through the library's
// C factory.
class ModuleLoader {
public:
    // `folder` holds libPDUO_KVB_SCADLAV.so (the host's own folder); errorString() speaks
    // `language`.
    ModuleLoader(const QString& folder, Language language);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // False with errorString() set when the library or its factory cannot be found.
    bool load();
    QString errorString() const { return m_error; }

    // A new module class, nullptr on failure. Destroy it with destroy().
    scadlav::Cinterface* create();
    void destroy(scadlav::Cinterface* object);

private:
    QLibrary m_library;
    PDUO_KVB_SCADLAV_CreateObjectFn m_create = nullptr;
    PDUO_KVB_SCADLAV_DestroyObjectFn m_destroy = nullptr;
    Language m_language;
    QString m_error;
};

} // namespace erphost
