#pragma once
// Text IDs of the host's list titles and column captions, so that the lists speak the user's
// language through the host's text catalog.

#include <QString>

namespace erphost {

// The catalog ID of one of the host's lookup texts given in Italian; 0 for any other text.
int lookupTextId(const QString& italian);

} // namespace erphost
