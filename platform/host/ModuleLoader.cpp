#include "platform/host/ModuleLoader.h"

#include "platform/host/TextCatalog.h"

#include <QDir>

namespace erphost {

namespace {
constexpr int kTextLibraryNotLoaded = 92025;
constexpr int kTextLibraryNoFactory = 92026;
} // namespace

ModuleLoader::ModuleLoader(const QString& folder, Language language)
    : m_library(QDir(folder).absoluteFilePath(QStringLiteral("PDUO_KVB_SCADLAV"))), m_language(language) {}

ModuleLoader::~ModuleLoader() = default; // the library stays mapped until the process ends

bool ModuleLoader::load() {
    if (!m_library.load()) {
        m_error = hostText(kTextLibraryNotLoaded, m_language, {m_library.errorString()});
        return false;
    }
    m_create =
        reinterpret_cast<PDUO_KVB_SCADLAV_CreateObjectFn>(m_library.resolve("PDUO_KVB_SCADLAV_CreateObject"));
    m_destroy = reinterpret_cast<PDUO_KVB_SCADLAV_DestroyObjectFn>(
        m_library.resolve("PDUO_KVB_SCADLAV_DestroyObject"));
    if (!m_create || !m_destroy) {
        m_error = hostText(kTextLibraryNoFactory, m_language, {m_library.fileName()});
        return false;
    }
    return true;
}

scadlav::Cinterface* ModuleLoader::create() {
    return m_create ? m_create(PDUO_KVB_SCADLAV_CLASS_NAME) : nullptr;
}

void ModuleLoader::destroy(scadlav::Cinterface* object) {
    if (m_destroy && object)
        m_destroy(object);
}

} // namespace erphost
