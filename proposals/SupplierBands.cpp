#include "proposals/SupplierBands.h"

#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"

#include <QMap>
#include <algorithm>

namespace scadlav {

namespace {

Decimal decimalOf(const Value& value) {
    return value.isEmptyOrNull() ? Decimal() : value.toDecimal().value_or(Decimal());
}

} // namespace

QList<SupplierBand> supplierBands(db::Recordset& rows) {
    const int supplierField = rows.fieldIndex(QStringLiteral("PD5C_CLIFOR_CG44"));
    const int nameField = rows.fieldIndex(QStringLiteral("PD5C_FORREP"));
    const int toSendField = rows.fieldIndex(QStringLiteral("PD5C_QTADAINV"));
    const int stockField = rows.fieldIndex(QStringLiteral("PD5C_GIACPREC"));
    QList<SupplierBand> bands;
    if (supplierField < 0 || toSendField < 0 || stockField < 0)
        return bands;

    QMap<QString, int> bandOf;
    const int count = rows.recordCount();
    for (int row = 0; row < count; ++row) {
        QString supplier = RTrimN(rows.valueAt(row, supplierField));
        const QString name = nameField < 0 ? QString() : RTrimN(rows.valueAt(row, nameField));
        // An internal phase has no supplier (code 0): its department, named in the same
        // column, gets a band of its own.
        bool numeric = false;
        const double code = supplier.toDouble(&numeric);
        const bool internal = supplier.isEmpty() || (numeric && code == 0);
        if (internal)
            supplier.clear();
        const QString key = internal ? QStringLiteral("R|") + name : QStringLiteral("F|") + supplier;
        auto it = bandOf.find(key);
        if (it == bandOf.end()) {
            it = bandOf.insert(key, int(bands.size()));
            bands.append({supplier, name, 0, {}});
        }
        SupplierBand& band = bands[*it];
        const Decimal toSend = decimalOf(rows.valueAt(row, toSendField));
        const Decimal stock = decimalOf(rows.valueAt(row, stockField));
        band.sendable = band.sendable + std::min(toSend, stock);
        ++band.phases;
    }
    // Departments first, as the list shows their phases (code 0) first, by name; then the
    // suppliers by code.
    std::stable_sort(bands.begin(), bands.end(), [](const SupplierBand& a, const SupplierBand& b) {
        if (a.supplier.isEmpty() || b.supplier.isEmpty())
            return a.supplier.isEmpty() && (!b.supplier.isEmpty() || a.name < b.name);
        bool numericA = false, numericB = false;
        const qlonglong x = a.supplier.toLongLong(&numericA);
        const qlonglong y = b.supplier.toLongLong(&numericB);
        if (numericA && numericB)
            return x < y;
        return a.supplier < b.supplier;
    });
    return bands;
}

} // namespace scadlav
