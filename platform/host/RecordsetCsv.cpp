#include "platform/host/RecordsetCsv.h"

#include "module/db/DateMillis.h"
#include "module/db/Recordset.h"
#include "module/value/Decimal.h"

#include <QIODevice>
#include <QString>
#include <charconv>
#include <cmath>
#include <string_view>

namespace erphost {

using scadlav::db::CellKind;
using scadlav::db::CellRef;

namespace {

// The buffer goes to the device once it holds this much.
constexpr std::size_t kFlushBytes = 1 << 20;

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendUnsigned(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// Units of 10^-scale as the exact decimal text: no trailing zeros after the point, no point
// for a whole number.
void appendDecimal(std::string& out, std::int64_t units, int scale) {
    const std::uint64_t magnitude =
        units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    const auto factor = static_cast<std::uint64_t>(scadlav::PowersOfTen[static_cast<std::size_t>(scale)]);
    if (units < 0)
        out += '-';
    appendUnsigned(out, magnitude / factor);
    std::uint64_t fraction = magnitude % factor;
    if (fraction == 0)
        return;
    int places = scale;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    char digits[24];
    for (int k = places - 1; k >= 0; --k) {
        digits[k] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    out += '.';
    out.append(digits, static_cast<std::size_t>(places));
}

// UTF-8 text as a CSV field: quoted, its quotes doubled, when it holds a comma, a quote or a
// line break.
void appendText(std::string& out, std::string_view text) {
    bool quote = false;
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(text);
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void appendQString(std::string& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    appendText(out, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

void appendCsvCell(std::string& out, const CellRef& cell) {
    switch (cell.kind) {
    case CellKind::Null:
        return;
    case CellKind::Int:
        appendInteger(out, cell.i);
        return;
    case CellKind::Bool:
        out += cell.i != 0 ? "True" : "False";
        return;
    case CellKind::Decimal:
        if (cell.scale < scadlav::PowersOfTen.size())
            appendDecimal(out, cell.i, cell.scale);
        else
            appendQString(out, scadlav::Decimal(cell.i, cell.scale).toString());
        return;
    case CellKind::Double:
        // Whole numbers without exponent or point, the rest with 15 significant digits.
        if (cell.d == std::floor(cell.d) && std::fabs(cell.d) < 1e15)
            appendInteger(out, static_cast<std::int64_t>(cell.d));
        else
            appendQString(out, QString::number(cell.d, 'g', 15));
        return;
    case CellKind::DateTime: {
        char text[scadlav::db::kDateTimeTextLength];
        if (scadlav::db::formatDateTime(cell.i, text))
            out.append(text, sizeof text);
        else
            appendQString(
                out, scadlav::db::dateTimeFromMillis(cell.i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        return;
    }
    case CellKind::Text:
        // Text that is not plain ASCII goes through QString, which writes a byte sequence that
        // is not UTF-8 as the replacement character, as every other text the host writes.
        if (isAscii(cell.text))
            appendText(out, cell.text);
        else
            appendQString(out, QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size())));
        return;
    case CellKind::Binary:
        appendQString(out, QString::fromLatin1(cell.text.data(), static_cast<qsizetype>(cell.text.size())));
        return;
    }
}

bool writeRecordsetCsv(const scadlav::db::Recordset& rows, QIODevice& device, int& written) {
    written = 0;
    std::string buffer;
    buffer.reserve(kFlushBytes + (64 << 10));
    auto flush = [&] {
        const bool ok = device.write(buffer.data(), static_cast<qint64>(buffer.size())) ==
                        static_cast<qint64>(buffer.size());
        buffer.clear();
        return ok;
    };
    const int columns = rows.fieldCount();
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            buffer += ',';
        appendQString(buffer, rows.fieldInfo(c).name);
    }
    buffer += "\r\n";
    // Counting the rows first: a record set still loading has all its rows once counted.
    const int count = rows.recordCount();
    if (count < 0)
        return false;
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                buffer += ',';
            appendCsvCell(buffer, rows.cellAt(r, c));
        }
        buffer += "\r\n";
        if (buffer.size() >= kFlushBytes && !flush())
            return false;
    }
    if (!flush())
        return false;
    written = count;
    return true;
}

} // namespace erphost
