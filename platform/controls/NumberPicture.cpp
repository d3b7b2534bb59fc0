#include "platform/controls/NumberPicture.h"

#include <algorithm>
#include <cmath>

namespace erpctl {

namespace {

// Splits a plain decimal text ("-1234.5", blanks around allowed) into its sign, integer digits
// and fraction digits; false for anything else. Written out rather than as a pattern: grids
// format every visible number through here.
bool splitPlain(QStringView text, bool& negative, QStringView& integer, QStringView& fraction) {
    text = text.trimmed();
    negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    const qsizetype point = text.indexOf(u'.');
    integer = point < 0 ? text : text.left(point);
    fraction = point < 0 ? QStringView() : text.mid(point + 1);
    const auto digits = [](QStringView part) {
        return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    return digits(integer) && digits(fraction) && !(integer.isEmpty() && fraction.isEmpty());
}

// Adds one to the decimal digit string; "999" becomes "1000".
QString incrementDigits(QString digits) {
    int i = int(digits.size()) - 1;
    while (i >= 0) {
        if (digits[i] == QLatin1Char('9')) {
            digits[i] = QLatin1Char('0');
            --i;
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
    }
    return QLatin1Char('1') + digits;
}

QString groupDigits(const QString& digits, const QString& separator) {
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

} // namespace

NumberPicture::NumberPicture(const QString& picture) : m_picture(picture.trimmed()) {
    const qsizetype point = m_picture.indexOf(QLatin1Char('.'));
    const QString integerPart = point < 0 ? m_picture : m_picture.left(point);
    const QString decimalPart = point < 0 ? QString() : m_picture.mid(point + 1);
    m_grouping = integerPart.contains(QLatin1Char(','));
    m_minIntegerDigits = int(integerPart.count(QLatin1Char('0')));
    m_maxDecimals = int(decimalPart.count(QLatin1Char('0')) + decimalPart.count(QLatin1Char('#')));
    m_minDecimals = int(decimalPart.count(QLatin1Char('0')));
}

QString NumberPicture::formatDecimal(const QString& plain, const QLocale& locale) const {
    bool negative = false;
    QStringView integerDigits, fractionDigits;
    if (!splitPlain(plain, negative, integerDigits, fractionDigits))
        return {};
    QString integer = integerDigits.toString();
    QString fraction = fractionDigits.toString();

    // Round half away from zero on the digits themselves: no binary error creeps in.
    if (fraction.size() > m_maxDecimals) {
        const bool up = fraction[m_maxDecimals] >= QLatin1Char('5');
        fraction.truncate(m_maxDecimals);
        if (up) {
            const QString all = incrementDigits(integer + fraction);
            integer = all.left(all.size() - fraction.size());
            fraction = all.right(fraction.size());
        }
    }
    while (fraction.size() > m_minDecimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    while (fraction.size() < m_minDecimals)
        fraction += QLatin1Char('0');

    while (integer.startsWith(QLatin1Char('0')))
        integer.remove(0, 1);
    while (integer.size() < m_minIntegerDigits)
        integer.prepend(QLatin1Char('0'));

    const auto nonZero = [](QChar c) { return c >= u'1' && c <= u'9'; };
    const bool zero = std::none_of(integer.begin(), integer.end(), nonZero) &&
                      std::none_of(fraction.begin(), fraction.end(), nonZero);
    if (zero)
        negative = false;
    if (integer.isEmpty() && fraction.isEmpty())
        return {}; // a zero under a picture of "#" only shows nothing

    QString out;
    if (negative)
        out += locale.negativeSign();
    out += m_grouping ? groupDigits(integer, locale.groupSeparator()) : integer;
    if (!fraction.isEmpty())
        out += locale.decimalPoint() + fraction;
    return out;
}

QString NumberPicture::format(const QVariant& value, const QLocale& locale) const {
    const QString plain = plainDecimal(value);
    if (plain.isEmpty())
        return {};
    if (isEmpty())
        return formatPlainNumber(value, locale);
    return formatDecimal(plain, locale);
}

QString plainDecimal(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return {};
        return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        bool negative = false;
        QStringView integer, fraction;
        return splitPlain(text, negative, integer, fraction) ? text : QString();
    }
    default:
        return {};
    }
}

QString formatPlainNumber(const QVariant& value, const QLocale& locale) {
    QString plain = plainDecimal(value);
    if (plain.isEmpty())
        return {};
    if (plain.startsWith(QLatin1Char('+')))
        plain.remove(0, 1);
    if (plain.startsWith(QLatin1Char('-')))
        plain.replace(0, 1, locale.negativeSign());
    plain.replace(QLatin1Char('.'), locale.decimalPoint());
    return plain;
}

} // namespace erpctl
