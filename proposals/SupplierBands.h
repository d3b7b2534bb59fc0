#pragma once
// What each supplier could be sent now: one band per supplier of the proposal rows, with the
// number of phases and the quantity the previous phases' stock lets go out (all of the
// quantity to send when the stock covers it, the stock itself when it covers it in part).

#include "module/value/Decimal.h"

#include <QList>
#include <QString>

namespace scadlav {

namespace db {
class Recordset;
}

struct SupplierBand {
    QString supplier; // PD5C_CLIFOR_CG44 as text; "" for a department's internal phases
    QString name;     // PD5C_FORREP: the supplier's (of its first row) or the department's name
    int phases = 0;
    Decimal sendable;
};

// The bands of every visible row of `rows`: one per department of the internal phases, by
// name, then one per supplier, by code (numerically when the codes are numbers), whatever the
// record set's own order. The cursor's position is kept.
QList<SupplierBand> supplierBands(db::Recordset& rows);

} // namespace scadlav
