#pragma once

#include "module/services/IObjectFactory.h"

#include <QHash>
#include <QStringList>
#include <functional>

namespace scadlav::doubles {

// An object factory with creators registered by the test; records every request, known or not.
class FakeObjectFactory : public IObjectFactory {
public:
    using Creator = std::function<std::unique_ptr<IHostObject>()>;

    QStringList requests;

    void registerClass(const QString& name, Creator creator) {
        m_creators.insert(name.toUpper(), std::move(creator));
    }
    int requestCount(const QString& name) const { return requests.count(name); }

    std::unique_ptr<IHostObject> createObject(const QString& classNameOrId) override {
        requests << classNameOrId;
        const auto it = m_creators.constFind(classNameOrId.toUpper());
        return it == m_creators.cend() ? nullptr : (*it)();
    }

private:
    QHash<QString, Creator> m_creators;
};

} // namespace scadlav::doubles
