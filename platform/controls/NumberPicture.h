#pragma once
// Display pictures for numbers: "#" a digit shown only when significant, "0" a digit always
// shown, "," thousands grouping, "." the decimal mark. "#####" shows 42 as "42" and 0 as "";
// "###,###,##0.00" shows 1234.5 as "1.234,50" under an Italian locale.

#include <QLocale>
#include <QString>
#include <QVariant>

namespace erpctl {

class NumberPicture {
public:
    NumberPicture() = default;
    explicit NumberPicture(const QString& picture);

    bool isEmpty() const { return m_picture.isEmpty(); }
    const QString& picture() const { return m_picture; }

    // Formats a plain decimal text ("-1234.5", as produced by plainDecimal) with the
    // locale's separators. Rounds half away from zero to the picture's decimals.
    QString formatDecimal(const QString& plain, const QLocale& locale) const;
    // Formats a number held in a variant (integer, floating, or text that reads as a plain
    // decimal); a null value or one that is no number gives "".
    QString format(const QVariant& value, const QLocale& locale) const;

private:
    QString m_picture;
    int m_minIntegerDigits = 0;
    int m_minDecimals = 0;
    int m_maxDecimals = 0;
    bool m_grouping = false;
};

// The exact plain decimal text of a numeric variant: integers as they are, floating values by
// their shortest round-trip form (so 2.675 stays "2.675", not 2.67499...), text when it reads
// as a plain decimal. Empty for null and for values that are no number.
QString plainDecimal(const QVariant& value);

// Formats a number with no picture: the locale's decimal mark, no grouping, only the decimals
// the value has.
QString formatPlainNumber(const QVariant& value, const QLocale& locale);

} // namespace erpctl
