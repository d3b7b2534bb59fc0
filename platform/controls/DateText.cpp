#include "platform/controls/DateText.h"

#include <QRegularExpression>

namespace erpctl {

namespace {

int widenYear(int year, int digits) {
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

std::optional<QDate> makeDate(int year, int month, int day) {
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> parseDateText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;

    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ].*)?$)"));
    if (const auto m = iso.match(t); m.hasMatch())
        return makeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());

    static const QRegularExpression dayFirst(
        QStringLiteral(R"(^(\d{1,2})[/.\-](\d{1,2})[/.\-](\d{2}|\d{4})(?:\s+\d{1,2}:\d{2}(?::\d{2})?)?$)"));
    if (const auto m = dayFirst.match(t); m.hasMatch()) {
        const QString year = m.captured(3);
        return makeDate(widenYear(year.toInt(), int(year.size())), m.captured(2).toInt(),
                        m.captured(1).toInt());
    }

    static const QRegularExpression digits(QStringLiteral(R"(^(\d{2})(\d{2})(\d{2}|\d{4})$)"));
    if (const auto m = digits.match(t); m.hasMatch()) {
        const QString year = m.captured(3);
        return makeDate(widenYear(year.toInt(), int(year.size())), m.captured(2).toInt(),
                        m.captured(1).toInt());
    }
    return std::nullopt;
}

QString formatDateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString localeDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // A locale that writes the month as a word (the C locale: "5 Dec 2026") gets the day-first
    // digits the date fields read, so a date column never depends on the machine's language.
    if (format.contains(QLatin1String("MMM")))
        return QStringLiteral("dd/MM/yyyy");
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    // Single-letter day and month make columns ragged; a grid reads better with two digits.
    static const QRegularExpression singleDay(QStringLiteral("(?<!d)d(?!d)"));
    static const QRegularExpression singleMonth(QStringLiteral("(?<!M)M(?!M)"));
    format.replace(singleDay, QStringLiteral("dd"));
    format.replace(singleMonth, QStringLiteral("MM"));
    return format;
}

} // namespace erpctl
