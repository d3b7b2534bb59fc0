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
        const QString supplier = RTrimN(rows.valueAt(row, supplierField));
        auto it = bandOf.find(supplier);
        if (it == bandOf.end()) {
            it = bandOf.insert(supplier, int(bands.size()));
            bands.append({supplier, nameField < 0 ? QString() : RTrimN(rows.valueAt(row, nameField)), 0, {}});
        }
        SupplierBand& band = bands[*it];
        const Decimal toSend = decimalOf(rows.valueAt(row, toSendField));
        const Decimal stock = decimalOf(rows.valueAt(row, stockField));
        band.sendable = band.sendable + std::min(toSend, stock);
        ++band.phases;
    }
    std::stable_sort(bands.begin(), bands.end(), [](const SupplierBand& a, const SupplierBand& b) {
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
