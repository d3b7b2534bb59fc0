#pragma once

#include "module/services/IObjectFactory.h"

#include <QHash>
#include <functional>

namespace erphost {

// Creates host objects from a table of class names and identifiers (compared without case).
class ObjectFactory : public scadlav::IObjectFactory {
public:
    using Creator = std::function<std::unique_ptr<scadlav::IHostObject>()>;

    void registerClass(const QString& classNameOrId, Creator creator);
    bool knows(const QString& classNameOrId) const;
    std::unique_ptr<scadlav::IHostObject> createObject(const QString& classNameOrId) override;

private:
    QHash<QString, Creator> m_creators;
};

} // namespace erphost
