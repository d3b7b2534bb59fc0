#pragma once
// Phase dates worked out the way a planner checks them by hand, independently of the host's
// phase scheduler: the working calendar (no weekends, no national holidays, Easter Monday by the
// Gregorian computus, no company closures), each phase's length from its routing row or its
// phase's own lead time, and the walk forward or backward from one phase of an order line.

#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace scadlav::testing {

struct HandCalendar {
    QSet<QDate> closures;

    static QDate easterMonday(int y) {
        const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25,
                  g = (b - f + 1) / 3;
        const int h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4,
                  l = (32 + 2 * e + 2 * i - h - k) % 7;
        const int m = (a + 11 * h + 22 * l) / 451, month = (h + l - 7 * m + 114) / 31;
        const int day = (h + l - 7 * m + 114) % 31 + 1;
        return QDate(y, month, day).addDays(1);
    }
    bool working(const QDate& d) const {
        static const QList<QPair<int, int>> holidays{{1, 1},  {1, 6},  {4, 25}, {5, 1},   {6, 2},
                                                     {8, 15}, {11, 1}, {12, 8}, {12, 25}, {12, 26}};
        return d.dayOfWeek() < 6 && !holidays.contains({d.month(), d.day()}) && d != easterMonday(d.year()) &&
               !closures.contains(d);
    }
    // `d` when worked, else the first working day from it in the direction of `step` (1 or -1).
    QDate nearest(QDate d, int step) const {
        while (!working(d))
            d = d.addDays(step);
        return d;
    }
    QDate move(QDate d, int days) const {
        for (int step = days > 0 ? 1 : -1; days != 0; days -= step)
            d = nearest(d.addDays(step), step);
        return d;
    }

    // The closures the company keeps in PDCA_CALENDARIO.
    static HandCalendar of(db::Connection& c, int company) {
        HandCalendar calendar;
        auto closed = c.execute(
            QStringLiteral("SELECT PDCA_DATA FROM PDCA_CALENDARIO WHERE PDCA_DITTA_CG18 = %1").arg(company));
        if (!closed || !closed->isOpen())
            return calendar;
        for (closed->moveFirst(); !closed->eof(); closed->moveNext())
            calendar.closures.insert(closed->value(0).toDateTime()->date());
        return calendar;
    }
};

struct HandPhase {
    qint64 sequence = 0;
    qint64 subPhase = 0;
    qint64 code = 0;
    QString resource; // DO46_CLIFOR_CG44 as text, empty when null
    int days = 1;
    QDate start; // as the order holds them
    QDate end;
};

// An order line of company 1 with four phases or more, none settled, one schedule row per phase:
// the first by order number, or the last when `last`. Empty when the schedule has none.
inline std::optional<QPair<QString, qint64>> lineOfFourPhases(db::Connection& c, bool last = false) {
    auto lines = c.execute(
        QStringLiteral(
            "SELECT TOP 1 PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30 FROM PD5C_SCADLAV INNER JOIN "
            "DO46_DOCCORORDDET ON "
            "DO46_DITTA_CG18 = PD5C_DITTA_CG18 AND DO46_NUMREG_CO99 = PD5C_NUMREG_CO99 AND DO46_PROGRIGA = "
            "PD5C_PROGRIGA_DO30 AND DO46_CODSEQFASE = PD5C_SEQUENZA AND DO46_PROGSFASE = PD5C_PROGSFASE "
            "WHERE "
            "PD5C_DITTA_CG18 = 1 AND PD5C_TIPODOC = 24 GROUP BY PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30 HAVING "
            "COUNT(*) >= 4 AND COUNT(DISTINCT PD5C_SEQUENZA) = COUNT(*) AND MAX(ISNULL(DO46_INDSTATOORD, 3)) "
            "< 3 "
            "AND MIN(ISNULL(DO46_INDSTATOORD, 3)) >= 0 ORDER BY PD5C_NUMREG_CO99 %1, PD5C_PROGRIGA_DO30")
            .arg(last ? QStringLiteral("DESC") : QString()));
    if (!lines || !lines->isOpen() || lines->recordCount() != 1)
        return std::nullopt;
    return qMakePair(lines->value(0).toText().trimmed(), lines->value(1).toInt64().value_or(0));
}

// The phases of an order line of `company` in sequence order, with what each lasts by the
// routing row of the line's cycle (or the phase's own lead time) for the line's quantity.
inline QList<HandPhase> handPhases(db::Connection& c, int company, const QString& order, qint64 line) {
    const QString routing = QStringLiteral(
        "(SELECT TOP 1 ISNULL(%1, 0) FROM PD53_FASICICLO WHERE PD53_DITTA_CG18 = DO46_DITTA_CG18 AND "
        "PD53_CODCICLO_PD52 = PD48_CICLO_PD52 AND PD53_CODSEQFASE = DO46_CODSEQFASE AND PD53_CODFASE_PD12 = "
        "DO46_CODFASE ORDER BY PD53_PROGSFASE)");
    auto rows = c.execute(
        QStringLiteral(
            "SELECT DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, ISNULL(CAST(DO46_CLIFOR_CG44 AS "
            "VARCHAR(12)), ''), ISNULL(DO30_QTA1, 0), %1, %2, (SELECT ISNULL(PD12_GGLAV, 0) FROM "
            "PD12_FASILAVORO WHERE PD12_DITTA_CG18 = DO46_DITTA_CG18 AND PD12_CODFASE = DO46_CODFASE), "
            "DO46_DATAINIZIO, DO46_DATAFINE FROM DO46_DOCCORORDDET LEFT JOIN PD48_CICLI ON PD48_IDCICLO = "
            "DO46_IDCICLO_PD48 LEFT JOIN DO30_DOCCORPO ON DO30_DITTA_CG18 = DO46_DITTA_CG18 AND "
            "DO30_NUMREG_CO99 = DO46_NUMREG_CO99 AND DO30_PROGRIGA = DO46_PROGRIGA WHERE DO46_DITTA_CG18 = "
            "%3 AND DO46_NUMREG_CO99 = '%4' AND DO46_PROGRIGA = %5 ORDER BY DO46_CODSEQFASE, DO46_PROGSFASE")
            .arg(routing.arg(QStringLiteral("PD53_GGLAV")), routing.arg(QStringLiteral("PD53_TEMPOUNIT")))
            .arg(company)
            .arg(order)
            .arg(line));
    QList<HandPhase> phases;
    if (!rows || !rows->isOpen())
        return phases;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
        HandPhase p;
        p.sequence = rows->value(0).toInt64().value_or(0);
        p.subPhase = rows->value(1).toInt64().value_or(0);
        p.code = rows->value(2).toInt64().value_or(0);
        p.resource = rows->value(3).toText().trimmed();
        const double quantity = rows->value(4).toDouble().value_or(0);
        const bool routed = !rows->value(5).isNull();
        const double fixed =
            routed ? rows->value(5).toDouble().value_or(0) : rows->value(7).toDouble().value_or(0);
        const double perUnit = routed ? rows->value(6).toDouble().value_or(0) : 0;
        p.days = std::max(1, int(fixed + std::ceil(quantity * perUnit / 480.0 - 1e-9)));
        if (const auto when = rows->value(8).toDateTime())
            p.start = when->date();
        if (const auto when = rows->value(9).toDateTime())
            p.end = when->date();
        phases << p;
    }
    return phases;
}

// Forward from phase `from` (an index) starting on `day`, or backward from it ending on `day`:
// each phase starts where the previous one ended (forward) or ends where the next one starts
// (backward), one working day more when the resource changes. The phases the walk does not
// reach keep their dates.
inline QList<HandPhase> handWalk(QList<HandPhase> phases, const HandCalendar& calendar, int from,
                                 const QDate& day, bool forward) {
    const int step = forward ? 1 : -1;
    QString current = phases[from].resource;
    QDate running = day;
    for (int i = from; i >= 0 && i < phases.size(); i += step) {
        HandPhase& p = phases[i];
        // The day the walk reaches first (the start forward, the end backward) and the other one.
        QDate first = calendar.nearest(running, step);
        if (p.resource != current)
            first = calendar.move(first, step);
        current = p.resource;
        running = calendar.move(first, step * (p.days - 1));
        (forward ? p.start : p.end) = first;
        (forward ? p.end : p.start) = running;
    }
    return phases;
}

// "SEQ;PROGSFASE;CODFASE;START;END" per phase, as the reschedule job prints them.
inline QStringList handLines(const QList<HandPhase>& phases) {
    QStringList out;
    for (const HandPhase& p : phases)
        out << QStringLiteral("%1;%2;%3;%4;%5")
                   .arg(p.sequence)
                   .arg(p.subPhase)
                   .arg(p.code)
                   .arg(p.start.toString(Qt::ISODate), p.end.toString(Qt::ISODate));
    return out;
}

} // namespace scadlav::testing
