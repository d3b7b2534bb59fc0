#include "platform/host/ObjectFactory.h"

namespace erphost {

void ObjectFactory::registerClass(const QString& classNameOrId, Creator creator) {
    m_creators.insert(classNameOrId.toUpper(), std::move(creator));
}

bool ObjectFactory::knows(const QString& classNameOrId) const {
    return m_creators.contains(classNameOrId.toUpper());
}

std::unique_ptr<scadlav::IHostObject> ObjectFactory::createObject(const QString& classNameOrId) {
    const auto it = m_creators.constFind(classNameOrId.toUpper());
    if (it == m_creators.cend())
        return nullptr;
    return (*it)();
}

} // namespace erphost
