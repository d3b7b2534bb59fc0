#pragma once

#include "module/services/CodeKind.h"
#include "module/services/IHostObject.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace scadlav {

class Cinterface;
class IGlobalContext;

// One column of a lookup list: its caption and a setting the list window reads (width,
// format), empty when the list's default is fine.
struct LookupColumn {
    QString caption;
    QString setting;
};

// What a lookup hands to the list window: the SQL text of the list, its columns, the window's
// title and the lookup name under which the host keeps the list's own settings.
struct LookupList {
    QString sql;
    QList<LookupColumn> columns;
    QString title;
    QString lookupName;
};

// The host's lookup for a kind of code, optionally narrowed by parent codes (the family of a
// subfamily, the project of a sub-project). Created by a screen and given the module
// reference; the screen hands it an empty reference before releasing it.
class ILookup : public IHostObject {
public:
    ~ILookup() override;
    virtual void setModule(Cinterface* module) = 0;
    virtual void setGlobalContext(IGlobalContext* context) = 0;
    // std::nullopt when the host has no list for the kind.
    virtual std::optional<LookupList> list(CodeKind kind, const QStringList& parentCodes) = 0;
};

} // namespace scadlav
