#include "module/sql/SqlText.h"

#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IDateObject.h"
#include "module/services/INumericFormatter.h"
#include "module/services/IObjectFactory.h"

#include <memory>

namespace scadlav {

namespace {

// Trailing blanks only: the run-time's RTrim removes spaces, not tabs or line breaks.
QString trimRightBlanks(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

QString trimBlanks(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    return trimRightBlanks(text.mid(start));
}

QString quoted(const QString& prefix, const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return prefix + QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

template <class T> std::unique_ptr<T> createFromFactory(const QString& className) {
    IObjectFactory* factory = HostRuntime::objectFactory();
    return factory ? factory->create<T>(className) : nullptr;
}

Value formatDate(const Value& value, const SqlFormatters& formatters) {
    std::unique_ptr<IDateObject> own;
    IDateObject* date = formatters.date;
    if (!date) {
        own = createFromFactory<IDateObject>(classnames::DateObject);
        date = own.get();
        if (date)
            date->setConnectionString(formatters.connectionString);
    }
    if (!date)
        return Value();
    date->setText(value.toText());
    if (date->status() != IDateObject::StatusValid)
        return Value();
    return Value(QLatin1Char('\'') + date->sqlText() + QLatin1Char('\''));
}

Value formatNumber(const Value& value, const SqlFormatters& formatters) {
    std::unique_ptr<INumericFormatter> own;
    INumericFormatter* numeric = formatters.numeric;
    if (!numeric) {
        own = createFromFactory<INumericFormatter>(classnames::NumericFormatter);
        numeric = own.get();
    }
    return numeric ? numeric->format(value) : Value();
}

} // namespace

QString RTrimN(const Value& Expression) {
    if (Expression.isEmptyOrNull())
        return QString(QLatin1String(""));
    return trimRightBlanks(Expression.toText());
}

Value NVL(const Value& value, const Value& defaultValue) {
    return value.isEmptyOrNull() ? defaultValue : value;
}

Value NVL_DOP(const Value& Valore, const Value& ValIfNull) {
    if (!Valore.isEmptyOrNull() && !trimBlanks(Valore.toText()).isEmpty())
        return Valore;
    return ValIfNull;
}

QString Escapa(const QString& st) {
    QString result = st;
    result.replace(QLatin1Char('\''), QStringLiteral("' + char(39) + '"));
    return result;
}

Value FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable,
                        const SqlFormatters& formatters) {
    try {
        if (trimRightBlanks(value.toText()).isEmpty()) {
            if (nullable)
                return Value(QStringLiteral("null"));
            if (kind == sqlkind::Text)
                return Value(QStringLiteral("''"));
            if (kind == sqlkind::UnicodeText)
                return Value(QStringLiteral("N''"));
            return Value();
        }
        switch (kind) {
        case sqlkind::Text:
            return Value(quoted(QString(), value.toText()));
        case sqlkind::Number: {
            std::optional<Decimal> number = value.toDecimal();
            return number ? Value(*number) : Value();
        }
        case sqlkind::FormattedNumber:
            return formatNumber(value, formatters);
        case sqlkind::Date:
            return formatDate(value, formatters);
        case sqlkind::UnicodeText:
            return Value(quoted(QStringLiteral("N"), value.toText()));
        default:
            return Value();
        }
    } catch (...) {
        return Value();
    }
}

QString ParseTableName(const QString& fstr_Name) {
    QString result = fstr_Name;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        const bool keep =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'#';
        if (!keep)
            c = QLatin1Char('_');
    }
    return result;
}

} // namespace scadlav
