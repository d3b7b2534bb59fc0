#include "platform/controls/GridColumn.h"

namespace erpctl {

namespace {

QString rightTrimmed(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

bool listCodeMatches(const QVariant& code, const QVariant& value) {
    if (!value.isValid() || value.isNull() || !code.isValid() || code.isNull())
        return false;
    const QString codeNumber = plainDecimal(code);
    const QString valueNumber = plainDecimal(value);
    if (!codeNumber.isEmpty() && !valueNumber.isEmpty()) {
        bool ok1 = false;
        bool ok2 = false;
        const double a = codeNumber.toDouble(&ok1);
        const double b = valueNumber.toDouble(&ok2);
        if (ok1 && ok2)
            return a == b;
    }
    return rightTrimmed(code.toString()).compare(rightTrimmed(value.toString()), Qt::CaseInsensitive) == 0;
}

bool isTicked(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed().toLower();
        return t == QLatin1String("1") || t == QLatin1String("-1") || t == QLatin1String("true");
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    return ok && d != 0.0;
}

} // namespace erpctl
