#include "platform/host/ReminderLetter.h"

#include "module/db/Recordset.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace erphost {

using scadlav::Value;

std::optional<ReportDefinition> ReportDefinition::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        if (error)
            *error = QStringLiteral("not a report definition (%1 at byte %2)")
                         .arg(parse.errorString())
                         .arg(parse.offset);
        return std::nullopt;
    }
    if (doc.object().value(QStringLiteral("format")).toString() != QLatin1String("erp-host report 1")) {
        if (error)
            *error = QStringLiteral(
                "not a report definition of this host (format \"erp-host report 1\" expected)");
        return std::nullopt;
    }
    ReportDefinition def;
    def.m_json = doc.object();
    return def;
}

QStringList ReportDefinition::parameterNames() const {
    QStringList names;
    for (const QJsonValue& v : m_json.value(QStringLiteral("parameters")).toArray())
        names << v.toString();
    return names;
}

QStringList ReportDefinition::subreportNames() const {
    return m_json.value(QStringLiteral("subreports")).toObject().keys();
}

QList<Record> readRecords(const scadlav::db::Recordset* recordset) {
    QList<Record> records;
    if (!recordset || !recordset->isOpen())
        return records;
    std::unique_ptr<scadlav::db::Recordset> cursor = recordset->clone();
    if (!cursor || !cursor->setFilter(recordset->filter()) || !cursor->setSort(recordset->sort()))
        return records;
    const int fields = cursor->fieldCount();
    for (cursor->moveFirst(); !cursor->eof(); cursor->moveNext()) {
        Record r;
        for (int i = 0; i < fields; ++i)
            r.insert(cursor->fieldInfo(i).name.toUpper(), cursor->value(i));
        records.append(r);
    }
    return records;
}

namespace {

// A field's text as a letter shows it: trailing blanks gone, the zero date as nothing.
QString fieldText(const Record& record, const QString& field, const QLocale& locale,
                  const QString& kind = {}) {
    const Value v = record.value(field.toUpper());
    if (v.isEmptyOrNull())
        return QString();
    if (kind == QLatin1String("date") || v.kind() == Value::Kind::DateTime) {
        const std::optional<QDateTime> dt = v.toDateTime();
        if (!dt || dt->date() == QDate(1899, 12, 30))
            return QString();
        return locale.toString(dt->date(), QStringLiteral("dd/MM/yyyy"));
    }
    if (kind == QLatin1String("quantity")) {
        const std::optional<double> d = v.toDouble();
        return d ? locale.toString(*d, 'f', 2) : v.toText();
    }
    QString text = v.toText();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// "CG16_CAP_COR CG16_CITTA_COR (CG16_PROV_COR)": field names replaced by their texts; a
// bracketed field disappears with its brackets when empty.
QString lineOf(const Record& record, const QString& pattern, const QLocale& locale) {
    QStringList parts;
    for (QString word : pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool bracketed = word.startsWith(QLatin1Char('(')) && word.endsWith(QLatin1Char(')'));
        if (bracketed)
            word = word.mid(1, word.size() - 2);
        const QString text = fieldText(record, word, locale).trimmed();
        if (!text.isEmpty())
            parts << (bracketed ? QLatin1Char('(') + text + QLatin1Char(')') : text);
    }
    return parts.join(QLatin1Char(' '));
}

class LetterPainter {
public:
    LetterPainter(QPagedPaintDevice& device, QPainter& painter, const QJsonObject& def,
                  const LetterInputs& in)
        : m_device(device), m_p(painter), m_def(def), m_in(in) {
        const QJsonObject font = def.value(QStringLiteral("font")).toObject();
        m_font = QFont(font.value(QStringLiteral("family")).toString(QStringLiteral("DejaVu Sans")));
        m_font.setPointSizeF(font.value(QStringLiteral("size_pt")).toDouble(9.5));
        // No ligatures: "ffi" stays three letters in the PDF, so a name can be searched and
        // copied as it is written.
        m_font.setStyleStrategy(QFont::PreferNoShaping);
        const QJsonObject margins =
            def.value(QStringLiteral("page")).toObject().value(QStringLiteral("margins_mm")).toObject();
        m_left = mm(margins.value(QStringLiteral("left")).toDouble(20));
        m_top = mm(margins.value(QStringLiteral("top")).toDouble(12));
        m_right = m_device.width() - mm(margins.value(QStringLiteral("right")).toDouble(15));
        m_bottom = m_device.height() - mm(margins.value(QStringLiteral("bottom")).toDouble(18));
    }

    int pages() const { return m_pages; }

    void letter(const QList<Record>& rows, bool first) {
        if (!first)
            m_device.newPage();
        m_pageInLetter = 1;
        ++m_pages;
        const Record& row = rows.constFirst();
        letterhead();
        recipient(row);
        m_y = mm(m_def.value(QStringLiteral("place_date"))
                     .toObject()
                     .value(QStringLiteral("top_mm"))
                     .toDouble(98));
        placeAndDate();
        title();
        paragraph(joinParameters(QStringLiteral("opening")));
        table(rows);
        paragraph(joinParameters(QStringLiteral("closing")));
        footer();
    }

private:
    double mm(double v) const { return v * m_device.logicalDpiY() / 25.4; }

    QString tr(const QJsonObject& o, const QList<Value>& params = {}) const {
        const QString italian = o.value(QStringLiteral("text")).toString();
        const int id = o.value(QStringLiteral("text_id")).toInt();
        if (id != 0 && m_in.translate)
            return m_in.translate(italian, id, params);
        QString text = italian;
        for (int i = 0; i < params.size(); ++i)
            text.replace(QStringLiteral("%") + QString::number(i + 1), params.at(i).toText());
        return text;
    }

    QString parameter(const QString& name) const { return m_in.parameters.value(name).toText(); }

    QString joinParameters(const QString& key) const {
        QString text;
        for (const QJsonValue& v : m_def.value(key).toArray())
            text += parameter(v.toString());
        return text;
    }

    double drawWrapped(const QRectF& area, const QString& text, const QFont& font,
                       int flags = Qt::AlignLeft) {
        m_p.setFont(font);
        QRectF used;
        m_p.drawText(area, flags | Qt::TextWordWrap | Qt::AlignTop, text, &used);
        return used.height();
    }

    double measure(double width, const QString& text, const QFont& font, int flags = 0) {
        m_p.setFont(font);
        return m_p.boundingRect(QRectF(0, 0, width, 1e6), flags | Qt::TextWordWrap | Qt::AlignTop, text)
            .height();
    }

    void letterhead() {
        const int type = parameter(QStringLiteral("TIPOLOGO")).toInt();
        const QJsonObject logo =
            m_def.value(QStringLiteral("subreports")).toObject().value(QStringLiteral("LOGO_MAN")).toObject();
        const double height = mm(logo.value(QStringLiteral("height_mm")).toDouble(32));
        if (type == 0)
            return;
        const QImage image = m_in.logos.value(type);
        if (type >= 2 && !image.isNull()) {
            // Horizontal pictures span the top of the page; vertical ones stand at its left.
            const bool vertical = type == 3 || type == 5;
            const QRectF box = vertical ? QRectF(m_left, m_top, mm(40), mm(80))
                                        : QRectF(m_left, m_top, m_right - m_left, height);
            const QSizeF size = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
            m_p.drawImage(QRectF(box.topLeft(), size), image);
            return;
        }
        // The company's own name and numbers, as text.
        if (m_in.company.isEmpty())
            return;
        QFont bold = m_font;
        bold.setBold(true);
        bold.setPointSizeF(m_font.pointSizeF() + 3);
        double y = m_top;
        y += drawWrapped(
            QRectF(m_left, y, m_right - m_left, height),
            fieldText(m_in.company, logo.value(QStringLiteral("name_field")).toString(), m_in.locale), bold);
        QFont small = m_font;
        small.setPointSizeF(m_font.pointSizeF() - 1);
        for (const QJsonValue& v : logo.value(QStringLiteral("lines")).toArray()) {
            const QJsonObject line = v.toObject();
            QList<Value> values;
            bool any = false;
            for (const QJsonValue& f : line.value(QStringLiteral("fields")).toArray()) {
                const QString text = lineOf(m_in.company, f.toString(), m_in.locale);
                any = any || !text.isEmpty();
                values << Value(text);
            }
            if (!any)
                continue;
            QString text;
            if (line.contains(QStringLiteral("text")))
                text = tr(line, values);
            else {
                QStringList parts;
                for (const Value& val : values)
                    parts << val.toText();
                text = parts.join(QLatin1Char(' '));
            }
            y += drawWrapped(QRectF(m_left, y, m_right - m_left, mm(6)), text, small);
        }
        QPen pen(Qt::darkGray);
        pen.setWidthF(mm(0.2));
        m_p.setPen(pen);
        m_p.drawLine(QPointF(m_left, m_top + height), QPointF(m_right, m_top + height));
        m_p.setPen(Qt::black);
    }

    void recipient(const Record& row) {
        const QJsonObject r = m_def.value(QStringLiteral("recipient")).toObject();
        const QRectF box(mm(r.value(QStringLiteral("left_mm")).toDouble(110)),
                         mm(r.value(QStringLiteral("top_mm")).toDouble(50)),
                         mm(r.value(QStringLiteral("width_mm")).toDouble(85)),
                         mm(r.value(QStringLiteral("height_mm")).toDouble(40)));
        // The correspondence address when the supplier has one, the general one otherwise.
        QStringList lines;
        for (const QString& key : {QStringLiteral("correspondence"), QStringLiteral("general")}) {
            lines.clear();
            for (const QJsonValue& v : r.value(key).toArray()) {
                const QString text = lineOf(row, v.toString(), m_in.locale);
                if (!text.isEmpty())
                    lines << text;
            }
            const QJsonArray fields = r.value(key).toArray();
            const bool hasStreet =
                fields.size() > 2 && !lineOf(row, fields.at(2).toString(), m_in.locale).isEmpty();
            if (hasStreet)
                break;
        }
        QString text = tr(r.value(QStringLiteral("salutation")).toObject()) + QLatin1Char('\n') +
                       lines.join(QLatin1Char('\n'));
        const double used = drawWrapped(box, text, m_font);
        const QJsonObject supplier = r.value(QStringLiteral("supplier")).toObject();
        QFont small = m_font;
        small.setPointSizeF(m_font.pointSizeF() - 1.5);
        drawWrapped(QRectF(box.left(), box.top() + used + mm(1), box.width(), mm(6)),
                    tr(supplier, {Value(fieldText(row, supplier.value(QStringLiteral("field")).toString(),
                                                  m_in.locale))}),
                    small);
    }

    void placeAndDate() {
        const QString field = m_def.value(QStringLiteral("place_date"))
                                  .toObject()
                                  .value(QStringLiteral("company_field"))
                                  .toString();
        const QString place = fieldText(m_in.company, field, m_in.locale).trimmed();
        const QString date = m_in.locale.toString(m_in.today, QStringLiteral("dd/MM/yyyy"));
        m_y += drawWrapped(QRectF(m_left, m_y, m_right - m_left, mm(8)),
                           place.isEmpty() ? date : place + QStringLiteral(", ") + date, m_font);
        m_y += mm(6);
    }

    void title() {
        const QJsonObject t = m_def.value(QStringLiteral("title")).toObject();
        const QString text = parameter(t.value(QStringLiteral("parameter")).toString());
        if (text.isEmpty())
            return;
        QFont font = m_font;
        font.setBold(t.value(QStringLiteral("bold")).toBool(true));
        font.setPointSizeF(t.value(QStringLiteral("size_pt")).toDouble(11));
        ensureRoom(measure(m_right - m_left, text, font));
        m_y += drawWrapped(QRectF(m_left, m_y, m_right - m_left, m_bottom - m_y), text, font);
        m_y += mm(4);
    }

    void paragraph(const QString& text) {
        if (text.trimmed().isEmpty())
            return;
        // A long text continues on the next page line by line.
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const double h = measure(m_right - m_left, line.isEmpty() ? QStringLiteral(" ") : line, m_font);
            ensureRoom(std::min(h, m_bottom - m_top - mm(40)));
            m_y += drawWrapped(QRectF(m_left, m_y, m_right - m_left, m_bottom - m_y), line, m_font);
        }
        m_y += mm(4);
    }

    void ensureRoom(double height) {
        if (m_y + height <= m_bottom - mm(6))
            return;
        footer();
        m_device.newPage();
        ++m_pages;
        ++m_pageInLetter;
        m_y = m_top;
    }

    void footer() {
        QFont small = m_font;
        small.setPointSizeF(m_font.pointSizeF() - 1.5);
        drawWrapped(QRectF(m_left, m_bottom - mm(4), m_right - m_left, mm(5)),
                    tr(m_def.value(QStringLiteral("footer")).toObject(), {Value(m_pageInLetter)}), small,
                    Qt::AlignRight);
    }

    void tableHeader(const QJsonArray& columns, const QList<double>& widths) {
        QFont bold = m_font;
        bold.setBold(true);
        double h = 0;
        for (int i = 0; i < columns.size(); ++i)
            h = std::max(h, measure(widths[i] - mm(1), tr(columns[i].toObject()), bold));
        ensureRoom(h * 3);
        double x = m_left;
        m_p.fillRect(QRectF(m_left, m_y, m_right - m_left, h + mm(1)), QColor(230, 230, 230));
        m_p.setPen(Qt::black);
        for (int i = 0; i < columns.size(); ++i) {
            drawWrapped(QRectF(x + mm(0.5), m_y + mm(0.5), widths[i] - mm(1), h), tr(columns[i].toObject()),
                        bold);
            x += widths[i];
        }
        m_y += h + mm(1.5);
    }

    // Quantities stand at the right; a code (one word of letters and digits) is broken where the
    // column ends rather than run into the next column.
    static int cellFlags(const QString& kind) {
        if (kind == QLatin1String("quantity"))
            return Qt::AlignRight;
        if (kind == QLatin1String("code"))
            return Qt::AlignLeft | Qt::TextWrapAnywhere;
        return Qt::AlignLeft;
    }

    void table(const QList<Record>& rows) {
        const QJsonArray columns =
            m_def.value(QStringLiteral("table")).toObject().value(QStringLiteral("columns")).toArray();
        double total = 0;
        for (const QJsonValue& c : columns)
            total += c.toObject().value(QStringLiteral("width")).toDouble(10);
        QList<double> widths;
        for (const QJsonValue& c : columns)
            widths << (m_right - m_left) * c.toObject().value(QStringLiteral("width")).toDouble(10) / total;
        tableHeader(columns, widths);
        for (const Record& row : rows) {
            QStringList cells;
            double h = 0;
            for (int i = 0; i < columns.size(); ++i) {
                const QJsonObject c = columns[i].toObject();
                cells << fieldText(row, c.value(QStringLiteral("field")).toString(), m_in.locale,
                                   c.value(QStringLiteral("kind")).toString());
                h = std::max(h, measure(widths[i] - mm(1), cells.constLast(), m_font,
                                        cellFlags(c.value(QStringLiteral("kind")).toString())));
            }
            if (m_y + h > m_bottom - mm(6)) {
                ensureRoom(m_bottom);
                tableHeader(columns, widths);
            }
            double x = m_left;
            for (int i = 0; i < columns.size(); ++i) {
                const QString kind = columns[i].toObject().value(QStringLiteral("kind")).toString();
                drawWrapped(QRectF(x + mm(0.5), m_y, widths[i] - mm(1), h), cells[i], m_font,
                            cellFlags(kind));
                x += widths[i];
            }
            m_y += h + mm(1);
            QPen pen(QColor(200, 200, 200));
            pen.setWidthF(mm(0.1));
            m_p.setPen(pen);
            m_p.drawLine(QPointF(m_left, m_y - mm(0.5)), QPointF(m_right, m_y - mm(0.5)));
            m_p.setPen(Qt::black);
        }
        m_y += mm(4);
    }

    QPagedPaintDevice& m_device;
    QPainter& m_p;
    const QJsonObject& m_def;
    const LetterInputs& m_in;
    QFont m_font;
    double m_left = 0, m_top = 0, m_right = 0, m_bottom = 0, m_y = 0;
    int m_pages = 0;
    int m_pageInLetter = 1;
};

} // namespace

int paintLetters(QPagedPaintDevice& device, const ReportDefinition& definition, const LetterInputs& inputs,
                 QString* error) {
    // One letter per supplier, in the order the suppliers first appear, each with all its rows.
    const QString key = definition.json().value(QStringLiteral("letter_field")).toString().toUpper();
    QList<QString> order;
    QHash<QString, QList<Record>> letters;
    for (const Record& r : inputs.rows) {
        const QString k = r.value(key).toText();
        if (!letters.contains(k))
            order << k;
        letters[k].append(r);
    }
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = QStringLiteral("the page could not be prepared");
        return -1;
    }
    LetterPainter letterPainter(device, painter, definition.json(), inputs);
    bool first = true;
    for (const QString& k : order) {
        letterPainter.letter(letters.value(k), first);
        first = false;
    }
    painter.end();
    return letterPainter.pages();
}

bool writeLettersPdf(const QString& path, const ReportDefinition& definition, const LetterInputs& inputs,
                     QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(inputs.parameters.value(QStringLiteral("TITOLO")).toText());
        writer.setCreator(QStringLiteral("erp-host"));
        if (paintLetters(writer, definition, inputs, error) < 0) {
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace erphost
