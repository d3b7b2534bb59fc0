#include "platform/controls/FilterCondition.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateText.h"

#include <QRegularExpression>

namespace erpctl {

namespace {

struct Bound {
    QString sql;   // the literal written into the condition
    QString order; // for numbers the value, for dates the ISO day, for texts the text
    bool ok = true;
};

int compareNumbers(const QString& a, const QString& b) {
    const double x = a.toDouble();
    const double y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}

QString rowName(const FilterRowDefinition& definition) {
    return definition.caption.isEmpty() ? definition.field : definition.caption;
}

} // namespace

QString unseparatedDateLiteral(const QDate& date) {
    return QLatin1Char('\'') + date.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('\'');
}

QString quoteSqlText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

std::optional<QString> sqlNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^([+-]?)(\d+)(?:[.,](\d+))?$)"));
    const auto m = number.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    QString out = m.captured(1) == QLatin1String("-") ? QStringLiteral("-") : QString();
    out += m.captured(2);
    if (!m.captured(3).isEmpty())
        out += QLatin1Char('.') + m.captured(3);
    return out;
}

FilterConditionResult buildFilterCondition(const QList<FilterEntry>& entries,
                                           const DateLiteralFormatter& dateLiteral) {
    FilterConditionResult result;
    QStringList conditions;
    const DateLiteralFormatter literal =
        dateLiteral ? dateLiteral : DateLiteralFormatter(unseparatedDateLiteral);

    for (int row = 0; row < entries.size(); ++row) {
        const FilterEntry& entry = entries[row];
        const FilterRowDefinition& def = entry.definition;
        const QString values[2] = {entry.from.trimmed(), entry.to.trimmed()};
        if (values[0].isEmpty() && values[1].isEmpty())
            continue;

        Bound bounds[2];
        bool rowOk = true;
        for (int side = 0; side < 2; ++side) {
            const QString& v = values[side];
            if (v.isEmpty())
                continue;
            Bound& bound = bounds[side];
            switch (def.kind) {
            case FilterKind::Number:
                if (const auto n = sqlNumber(v)) {
                    bound.sql = *n;
                    bound.order = *n;
                } else {
                    bound.ok = false;
                    result.problems.append(
                        {row, side + 1,
                         QStringLiteral("«%1»: \"%2\" non è un numero.").arg(rowName(def), v)});
                }
                break;
            case FilterKind::Date:
                if (const auto d = parseDateText(v)) {
                    // The "to" day is taken whole: a date-time of that afternoon still matches.
                    bound.sql = literal(side == 0 ? *d : d->addDays(1));
                    bound.order = d->toString(Qt::ISODate);
                } else {
                    bound.ok = false;
                    result.problems.append({row, side + 1,
                                            QStringLiteral("«%1»: \"%2\" non è una data valida (gg/mm/aaaa).")
                                                .arg(rowName(def), v)});
                }
                break;
            case FilterKind::Text:
            case FilterKind::ArticleCode:
                if (def.maxLength > 0 && v.size() > def.maxLength) {
                    bound.ok = false;
                    result.problems.append(
                        {row, side + 1,
                         QStringLiteral("«%1»: \"%2\" supera la lunghezza massima di %3 caratteri.")
                             .arg(rowName(def), v, QString::number(def.maxLength))});
                } else {
                    bound.sql = quoteSqlText(v);
                    bound.order = v;
                }
                break;
            }
            rowOk = rowOk && bound.ok;
        }
        if (!rowOk)
            continue;

        const bool both = !values[0].isEmpty() && !values[1].isEmpty();
        if (both) {
            int order = 0;
            switch (def.kind) {
            case FilterKind::Number:
                order = compareNumbers(bounds[0].order, bounds[1].order);
                break;
            case FilterKind::Date:
                order = QString::compare(bounds[0].order, bounds[1].order);
                break;
            default:
                // The database compares codes without case, so "a" to "B" is a valid range.
                order = QString::compare(bounds[0].order, bounds[1].order, Qt::CaseInsensitive);
                break;
            }
            if (order > 0) {
                result.problems.append(
                    {row, 0,
                     controlText(91417,
                                 QStringLiteral(
                                     "«%1»: il valore iniziale \"%2\" è maggiore del valore finale \"%3\"."))
                         .arg(rowName(def), values[0], values[1])});
                continue;
            }
            if (order == 0 && def.kind != FilterKind::Date) {
                conditions << QStringLiteral("AND %1 = %2").arg(def.field, bounds[0].sql);
                continue;
            }
        }
        if (!values[0].isEmpty())
            conditions << QStringLiteral("AND %1 >= %2").arg(def.field, bounds[0].sql);
        if (!values[1].isEmpty())
            conditions << QStringLiteral("AND %1 %2 %3")
                              .arg(def.field,
                                   def.kind == FilterKind::Date ? QStringLiteral("<") : QStringLiteral("<="),
                                   bounds[1].sql);
    }
    result.text = conditions.join(QLatin1Char(' '));
    return result;
}

} // namespace erpctl
