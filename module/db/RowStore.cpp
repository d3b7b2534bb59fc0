#include "module/db/RowStore.h"

#include "module/db/DateMillis.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace scadlav::db {
namespace {

std::uint8_t tagOf(CellKind kind, int scale) {
    return static_cast<std::uint8_t>(static_cast<int>(kind) | (scale << 3));
}

std::optional<std::int64_t> parseInt(std::string_view t) {
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty())
        return std::nullopt;
    return v;
}

// Units of 10^-scale for a number, when they fit 64 bits.
std::optional<std::int64_t> unitsOf(const Cell& c, int scale) {
    switch (c.kind) {
    case Cell::Kind::Int: {
        std::int64_t out = 0;
        if (__builtin_mul_overflow(c.i, PowersOfTen[scale], &out))
            return std::nullopt;
        return out;
    }
    case Cell::Kind::Double: {
        const double x = c.d * static_cast<double>(PowersOfTen[scale]);
        if (!std::isfinite(x) || std::fabs(x) >= 9.2e18)
            return std::nullopt;
        return std::llround(x);
    }
    case Cell::Kind::Decimal: {
        if (c.scale > 18)
            return std::nullopt;
        if (c.scale <= scale) {
            std::int64_t out = 0;
            if (__builtin_mul_overflow(c.i, PowersOfTen[scale - c.scale], &out))
                return std::nullopt;
            return out;
        }
        return Decimal(c.i, c.scale).rounded(scale).units();
    }
    case Cell::Kind::Text: {
        auto d = Decimal::fromString(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())));
        if (!d || d->scale() > 18)
            return std::nullopt;
        Decimal r = d->rounded(scale);
        if (r.scale() != scale) {
            std::int64_t out = 0;
            if (__builtin_mul_overflow(r.units(), PowersOfTen[scale - r.scale()], &out))
                return std::nullopt;
            return out;
        }
        return r.units();
    }
    default:
        return std::nullopt;
    }
}

QString className(StorageClass c) {
    switch (c) {
    case StorageClass::Int:
        return QStringLiteral("integer");
    case StorageClass::Double:
        return QStringLiteral("floating number");
    case StorageClass::Decimal:
        return QStringLiteral("decimal number");
    case StorageClass::Bool:
        return QStringLiteral("boolean");
    case StorageClass::DateTime:
        return QStringLiteral("date");
    case StorageClass::Text:
        return QStringLiteral("text");
    case StorageClass::Binary:
        return QStringLiteral("binary");
    case StorageClass::Any:
        return QStringLiteral("any value");
    }
    return {};
}

} // namespace

StorageClass storageClassOf(DataType type) {
    switch (type) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
    case DataType::BigInt:
        return StorageClass::Int;
    case DataType::Single:
    case DataType::Double:
        return StorageClass::Double;
    case DataType::Currency:
    case DataType::Decimal:
    case DataType::Numeric:
        return StorageClass::Decimal;
    case DataType::Boolean:
        return StorageClass::Bool;
    case DataType::Date:
    case DataType::DBDate:
    case DataType::DBTime:
    case DataType::DBTimeStamp:
        return StorageClass::DateTime;
    case DataType::Char:
    case DataType::WChar:
    case DataType::VarChar:
    case DataType::LongVarChar:
    case DataType::VarWChar:
    case DataType::LongVarWChar:
    case DataType::Guid:
        return StorageClass::Text;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        return StorageClass::Binary;
    case DataType::Empty:
    case DataType::Variant:
        return StorageClass::Any;
    }
    return StorageClass::Any;
}

RowStore::RowStore(std::vector<FieldInfo> fields) : m_fields(std::move(fields)) {
    m_classes.reserve(m_fields.size());
    m_columns.resize(m_fields.size());
    for (std::size_t k = 0; k < m_fields.size(); ++k) {
        FieldInfo& f = m_fields[k];
        if (f.type == DataType::Currency && f.numericScale < 0)
            f.numericScale = 4;
        if (f.numericScale > 18)
            f.numericScale = 18;
        m_classes.push_back(storageClassOf(f.type));
        const QString key = f.name.toCaseFolded();
        if (!m_index.contains(key)) { // a name selected twice: the first one answers
            m_index.insert(key, static_cast<int>(k));
            m_exact.insert(f.name, static_cast<int>(k));
        }
    }
}

int RowStore::fieldIndex(const QString& name) const {
    // Most callers spell the name as the result does: no folding needed.
    if (auto it = m_exact.constFind(name); it != m_exact.cend())
        return it.value();
    QString key = name.trimmed();
    if (key.size() > 2 && key.front() == u'[' && key.back() == u']')
        key = key.mid(1, key.size() - 2);
    return m_index.value(key.toCaseFolded(), -1);
}

Value RowStore::value(std::uint32_t row, int column) const {
    const CellRef c = cell(row, column);
    switch (c.kind) {
    case CellKind::Null:
        return Value::null();
    case CellKind::Int:
        return Value(static_cast<std::int64_t>(c.i));
    case CellKind::Double:
        return Value(c.d);
    case CellKind::Decimal:
        return Value(Decimal(c.i, c.scale));
    case CellKind::Text:
        return Value(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())));
    case CellKind::DateTime:
        return Value(dateTimeFromMillis(c.i));
    case CellKind::Bool:
        return Value(c.i != 0);
    case CellKind::Binary:
        return Value(QString::fromLatin1(c.text.data(), static_cast<qsizetype>(c.text.size())));
    }
    return Value::null();
}

void RowStore::put(Column& column, CellKind kind, int scale, std::uint64_t payload) {
    column.push(tagOf(kind, scale), payload, m_memory);
}

std::uint64_t RowStore::loadingText(std::string_view text) {
    return m_loading.add(text) | CellColumn::kLoadingText;
}

void RowStore::rowsAdded() {
    if ((m_rows & (CellColumn::kBlockRows - 1)) == 0)
        packBlock((m_rows >> CellColumn::kBlockShift) - 1);
}

void RowStore::packBlock(std::uint32_t block) {
    for (Column& c : m_columns)
        c.pack(block, m_memory);
    m_loading.rewind();
}

void RowStore::storeCell(int index, const Cell& c) {
    Column& column = m_columns[static_cast<std::size_t>(index)];
    if (c.kind == Cell::Kind::Null) {
        put(column, CellKind::Null, 0, 0);
        return;
    }
    const StorageClass cls = m_classes[static_cast<std::size_t>(index)];
    const int scale = m_fields[static_cast<std::size_t>(index)].numericScale;
    switch (cls) {
    case StorageClass::Int:
        if (c.kind == Cell::Kind::Int) {
            put(column, CellKind::Int, 0, static_cast<std::uint64_t>(c.i));
            return;
        }
        if (c.kind == Cell::Kind::Double && c.d == std::floor(c.d) && std::fabs(c.d) < 9e18) {
            put(column, CellKind::Int, 0, static_cast<std::uint64_t>(static_cast<std::int64_t>(c.d)));
            return;
        }
        if (c.kind == Cell::Kind::Text) {
            if (auto v = parseInt(c.text)) {
                put(column, CellKind::Int, 0, static_cast<std::uint64_t>(*v));
                return;
            }
        }
        break;
    case StorageClass::Double:
        if (c.kind == Cell::Kind::Double || c.kind == Cell::Kind::Int || c.kind == Cell::Kind::Decimal) {
            double d =
                c.kind == Cell::Kind::Double ? c.d
                : c.kind == Cell::Kind::Int
                    ? static_cast<double>(c.i)
                    : static_cast<double>(c.i) / static_cast<double>(PowersOfTen[std::min<int>(c.scale, 18)]);
            put(column, CellKind::Double, 0, std::bit_cast<std::uint64_t>(d));
            return;
        }
        break;
    case StorageClass::Decimal:
        if (scale >= 0) {
            if (auto units = unitsOf(c, scale)) {
                put(column, CellKind::Decimal, scale, static_cast<std::uint64_t>(*units));
                return;
            }
        } else if (c.kind == Cell::Kind::Int) {
            put(column, CellKind::Decimal, 0, static_cast<std::uint64_t>(c.i));
            return;
        } else if (c.kind == Cell::Kind::Decimal && c.scale <= 18) {
            put(column, CellKind::Decimal, c.scale, static_cast<std::uint64_t>(c.i));
            return;
        }
        break;
    case StorageClass::Bool:
        if (c.kind == Cell::Kind::Int || c.kind == Cell::Kind::Decimal) {
            put(column, CellKind::Bool, 0, c.i != 0 ? 1 : 0);
            return;
        }
        break;
    case StorageClass::DateTime:
        if (c.kind == Cell::Kind::DateTime) {
            put(column, CellKind::DateTime, 0, static_cast<std::uint64_t>(c.i));
            return;
        }
        if (c.kind == Cell::Kind::Text) {
            if (auto ms = millisFromText(c.text)) {
                put(column, CellKind::DateTime, 0, static_cast<std::uint64_t>(*ms));
                return;
            }
        }
        break;
    case StorageClass::Binary:
        if (c.kind == Cell::Kind::Text || c.kind == Cell::Kind::Binary) {
            put(column, CellKind::Binary, 0, loadingText(c.text));
            return;
        }
        break;
    case StorageClass::Text:
    case StorageClass::Any:
        break;
    }
    // Kept as it came: a cell the column's type does not describe is still shown and compared.
    switch (c.kind) {
    case Cell::Kind::Null:
        put(column, CellKind::Null, 0, 0);
        break;
    case Cell::Kind::Int:
        put(column, CellKind::Int, 0, static_cast<std::uint64_t>(c.i));
        break;
    case Cell::Kind::Double:
        put(column, CellKind::Double, 0, std::bit_cast<std::uint64_t>(c.d));
        break;
    case Cell::Kind::Decimal:
        if (c.scale <= 18)
            put(column, CellKind::Decimal, c.scale, static_cast<std::uint64_t>(c.i));
        else
            put(column, CellKind::Double, 0,
                std::bit_cast<std::uint64_t>(static_cast<double>(c.i) * std::pow(10.0, -c.scale)));
        break;
    case Cell::Kind::Text:
        put(column, CellKind::Text, 0, loadingText(c.text));
        break;
    case Cell::Kind::DateTime:
        put(column, CellKind::DateTime, 0, static_cast<std::uint64_t>(c.i));
        break;
    case Cell::Kind::Binary:
        put(column, CellKind::Binary, 0, loadingText(c.text));
        break;
    }
}

void RowStore::appendBackendRow(const Cell* cells, std::size_t count) {
    static const Cell nullCell;
    const int columns = columnCount();
    for (int k = 0; k < columns; ++k)
        storeCell(k, static_cast<std::size_t>(k) < count ? cells[k] : nullCell);
    ++m_rows;
    rowsAdded();
}

void RowStore::finishLoading() {
    // The last, partly filled block is packed too; rows added later unpack it again.
    if (m_rows & (CellColumn::kBlockRows - 1))
        packBlock(m_rows >> CellColumn::kBlockShift);
    for (Column& c : m_columns)
        c.finishLoading();
    m_loading.clear();
    BlockArena().swap(m_filling);
    m_loaded = true;
    m_memory.filling = nullptr;
    for (std::size_t k = 0; k < m_fields.size(); ++k) {
        if (m_classes[k] != StorageClass::Any)
            continue;
        // A computed column: take the type its cells share.
        unsigned seen = 0;
        bool fits32 = true;
        for (std::uint32_t r = 0; r < m_rows; ++r) {
            const CellRef c = cell(r, static_cast<int>(k));
            seen |= 1u << static_cast<unsigned>(c.kind);
            if (c.kind == CellKind::Int) {
                const std::int64_t v = c.i;
                fits32 = fits32 && v >= std::numeric_limits<std::int32_t>::min() &&
                         v <= std::numeric_limits<std::int32_t>::max();
            }
        }
        seen &= ~1u; // Nulls say nothing
        auto only = [&](CellKind kind) { return seen == (1u << static_cast<unsigned>(kind)); };
        FieldInfo& f = m_fields[k];
        if (only(CellKind::Int))
            f.type = fits32 ? DataType::Integer : DataType::BigInt;
        else if (only(CellKind::Double))
            f.type = DataType::Double;
        else if (only(CellKind::Decimal))
            f.type = DataType::Decimal;
        else if (only(CellKind::Text))
            f.type = DataType::VarWChar;
        else if (only(CellKind::DateTime))
            f.type = DataType::DBTimeStamp;
        else if (only(CellKind::Bool))
            f.type = DataType::Boolean;
        else
            continue;
        m_classes[k] = storageClassOf(f.type);
    }
}

std::optional<Value> RowStore::normalize(int column, const Value& value, QString* error) const {
    const FieldInfo& f = m_fields[static_cast<std::size_t>(column)];
    const StorageClass cls = m_classes[static_cast<std::size_t>(column)];
    if (value.isEmptyOrNull())
        return Value::null();
    auto refuse = [&]() -> std::optional<Value> {
        if (error)
            *error = QStringLiteral("The value \"%1\" does not fit field %2 (%3).")
                         .arg(value.toText(), f.name, className(cls));
        return std::nullopt;
    };
    if (value.isArray())
        return refuse();
    switch (cls) {
    case StorageClass::Int: {
        auto v = value.kind() == Value::Kind::DateTime ? std::nullopt : value.toInt64();
        if (!v)
            return refuse();
        std::int64_t lo = std::numeric_limits<std::int64_t>::min(),
                     hi = std::numeric_limits<std::int64_t>::max();
        if (f.type == DataType::SmallInt)
            lo = -32768, hi = 32767;
        else if (f.type == DataType::Integer)
            lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
        else if (f.type == DataType::UnsignedTinyInt)
            lo = 0, hi = 255;
        else if (f.type == DataType::TinyInt)
            lo = -128, hi = 127;
        if (*v < lo || *v > hi)
            return refuse();
        return Value(*v);
    }
    case StorageClass::Double: {
        auto v = value.kind() == Value::Kind::DateTime ? std::nullopt : value.toDouble();
        if (!v)
            return refuse();
        return Value(*v);
    }
    case StorageClass::Decimal: {
        auto v = value.kind() == Value::Kind::DateTime ? std::nullopt : value.toDecimal();
        if (!v)
            return refuse();
        return Value(f.numericScale >= 0 ? v->rounded(f.numericScale) : *v);
    }
    case StorageClass::Bool: {
        auto v = value.kind() == Value::Kind::DateTime ? std::nullopt : value.toBool();
        if (!v)
            return refuse();
        return Value(*v);
    }
    case StorageClass::DateTime: {
        if (value.kind() == Value::Kind::DateTime)
            return value;
        if (value.isNumeric()) {
            auto days = value.toDouble();
            if (!days)
                return refuse();
            return Value(dateTimeFromMillis(millisFromOleDate(*days)));
        }
        if (value.isText() && value.asText().trimmed().isEmpty())
            return Value::null();
        auto v = value.toDateTime();
        if (!v)
            return refuse();
        return Value(*v);
    }
    case StorageClass::Text:
    case StorageClass::Binary:
        return Value(value.toText());
    case StorageClass::Any:
        return value;
    }
    return refuse();
}

std::pair<std::uint8_t, std::uint64_t> RowStore::encode(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
    case Value::Kind::Array:
        break;
    case Value::Kind::Bool:
        return {tagOf(CellKind::Bool, 0), v.asBool() ? 1 : 0};
    case Value::Kind::Int:
        return {tagOf(CellKind::Int, 0), static_cast<std::uint64_t>(v.asInt())};
    case Value::Kind::Decimal: {
        Decimal d = v.asDecimal();
        if (d.scale() > 18)
            d = d.rounded(18);
        return {tagOf(CellKind::Decimal, d.scale()), static_cast<std::uint64_t>(d.units())};
    }
    case Value::Kind::Double:
        return {tagOf(CellKind::Double, 0), std::bit_cast<std::uint64_t>(v.asDouble())};
    case Value::Kind::Text: {
        const QByteArray utf8 = v.asText().toUtf8();
        return {tagOf(CellKind::Text, 0), m_text.add(std::string_view(utf8.constData(), utf8.size()))};
    }
    case Value::Kind::DateTime:
        return {tagOf(CellKind::DateTime, 0), static_cast<std::uint64_t>(millisFromDateTime(v.asDateTime()))};
    }
    return {tagOf(CellKind::Null, 0), 0};
}

void RowStore::writeSlot(std::uint32_t row, int column, const Value& value) {
    auto [tag, payload] = encode(value);
    if (m_classes[static_cast<std::size_t>(column)] == StorageClass::Binary &&
        static_cast<CellKind>(tag & 7) == CellKind::Text)
        tag = tagOf(CellKind::Binary, 0);
    m_columns[static_cast<std::size_t>(column)].set(row, tag, payload, m_memory);
}

void RowStore::setValue(std::uint32_t row, int column, const Value& normalized) {
    writeSlot(row, column, normalized);
}

std::uint32_t RowStore::appendRow(const std::vector<std::pair<int, Value>>& normalized) {
    for (Column& c : m_columns)
        put(c, CellKind::Null, 0, 0);
    const std::uint32_t row = m_rows++;
    for (const auto& [column, value] : normalized)
        writeSlot(row, column, value);
    rowsAdded();
    return row;
}

void RowStore::replaceRows(RowStore& fresh) {
    std::swap(m_columns, fresh.m_columns);
    m_arena.swap(fresh.m_arena);
    m_text.swap(fresh.m_text);
    m_loading.swap(fresh.m_loading);
    m_filling.swap(fresh.m_filling);
    std::swap(m_loaded, fresh.m_loaded);
    m_memory.filling = m_loaded ? nullptr : &m_filling;
    fresh.m_memory.filling = fresh.m_loaded ? nullptr : &fresh.m_filling;
    std::swap(m_rows, fresh.m_rows);
    // Keep the field list (clones hold indices into it) but take inferred types.
    if (fresh.m_fields.size() == m_fields.size()) {
        for (std::size_t k = 0; k < m_fields.size(); ++k) {
            m_fields[k].type = fresh.m_fields[k].type;
            m_classes[k] = fresh.m_classes[k];
        }
    }
}

std::size_t RowStore::memoryBytes() const {
    std::size_t total = sizeof(*this) + m_text.bytesAllocated() + m_loading.bytesAllocated() +
                        m_arena.bytesUsed() + m_filling.bytesUsed();
    for (const Column& c : m_columns)
        total += c.bytes();
    return total;
}

std::size_t RowStore::rawBytes() const {
    std::size_t total = 0;
    for (int k = 0; k < columnCount(); ++k) {
        for (std::uint32_t r = 0; r < m_rows; ++r) {
            const CellRef c = cell(r, k);
            if (c.kind == CellKind::Text || c.kind == CellKind::Binary)
                total += c.text.size();
            else if (c.kind != CellKind::Null)
                total += 8;
        }
    }
    return total;
}

void RowStore::attach(Recordset* cursor) {
    m_cursors.push_back(cursor);
}

void RowStore::detach(Recordset* cursor) {
    std::erase(m_cursors, cursor);
}

void RowStore::notifyRowChanged(std::uint32_t row) {
    forEachCursor([row](Recordset* c) { c->storeRowChanged(row); });
}

void RowStore::notifyRowAppended(std::uint32_t row) {
    forEachCursor([row](Recordset* c) { c->storeRowAppended(row); });
}

void RowStore::notifyRowsReplaced() {
    forEachCursor([](Recordset* c) { c->storeRowsReplaced(); });
}

void RowStore::forEachCursor(const std::function<void(Recordset*)>& action) {
    // A listener may close or destroy a cursor meanwhile: call only those still attached.
    const auto cursors = m_cursors;
    for (Recordset* c : cursors)
        if (std::find(m_cursors.begin(), m_cursors.end(), c) != m_cursors.end())
            action(c);
}

} // namespace scadlav::db
