// How cells from a backend become stored values: each converted to its column's type, none
// lost when it does not fit, computed columns typed by what they hold.
#include "FakeBackend.h"
#include "module/db/RowStore.h"
#include "module/db/StoreLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

using namespace scadlav;
using namespace scadlav::db;
using namespace scadlav::db::testing;

namespace {

Cell realCell(double d) {
    Cell c;
    c.kind = Cell::Kind::Double;
    c.d = d;
    return c;
}

std::shared_ptr<RowStore> load(std::vector<ColumnInfo> columns, const std::vector<std::vector<Cell>>& rows) {
    StoreLoader loader;
    loader.beginResultSet(columns);
    for (const auto& row : rows)
        loader.row(row.data(), row.size());
    loader.endResultSet();
    return loader.take();
}

} // namespace

TEST(RowStore, DecimalsBecomeExactAtTheirScaleAndDatesReadFromEveryServerForm) {
    ColumnInfo q = column("Q", DataType::Decimal);
    q.scale = 3;
    auto store =
        load({q, column("D", DataType::DBTimeStamp)}, {{realCell(2.675), textCell("2026-08-31 10:15:00.250")},
                                                       {intCell(7), textCell("20260831 10:15:00")},
                                                       {textCell("-0.0005"), textCell("1899-12-30")},
                                                       {realCell(1e30), textCell("2026-02-30")}});
    EXPECT_EQ(store->value(0, 0).asDecimal(), Decimal(2675, 3));
    EXPECT_EQ(store->value(1, 0).asDecimal(), Decimal(7000, 3));
    EXPECT_EQ(store->value(2, 0).asDecimal(), Decimal(-1, 3)); // half away from zero
    EXPECT_EQ(store->value(3, 0).kind(), Value::Kind::Double); // too large: kept as it came
    EXPECT_EQ(store->value(0, 1).asDateTime(),
              wallClock(QDateTime(QDate(2026, 8, 31), QTime(10, 15, 0, 250))));
    EXPECT_EQ(store->value(1, 1).asDateTime(), wallClock(QDateTime(QDate(2026, 8, 31), QTime(10, 15))));
    EXPECT_EQ(store->value(2, 1).asDateTime(), wallClock(QDateTime(QDate(1899, 12, 30), QTime(0, 0))));
    EXPECT_EQ(store->value(3, 1).asText(), "2026-02-30"); // no such day: shown as it is
}

TEST(RowStore, ComputedColumnsTakeTheTypeOfTheirCells) {
    auto store = load(
        {column("CTRL_QTA", DataType::Variant), column("MIX", DataType::Variant),
         column("NONE", DataType::Variant)},
        {{intCell(1), intCell(1), Cell{}}, {intCell(3), textCell("a"), Cell{}}, {Cell{}, Cell{}, Cell{}}});
    EXPECT_EQ(store->field(0).type, DataType::Integer);
    EXPECT_EQ(store->field(1).type, DataType::Variant);
    EXPECT_EQ(store->field(2).type, DataType::Variant);
    EXPECT_EQ(store->value(1, 1).asText(), "a");
    EXPECT_TRUE(store->value(2, 0).isNull());
}

TEST(RowStore, LongTextsAndManyRowsSurviveTheBlocks) {
    const std::string longText(100000, 'x'); // beyond a shared arena chunk's limit
    std::vector<std::vector<Cell>> rows;
    for (int k = 0; k < 10000; ++k)
        rows.push_back(
            {intCell(k), textCell(k == 5000 ? std::string_view(longText) : std::string_view("ab"))});
    auto store = load({column("N", DataType::Integer), column("T", DataType::VarWChar)}, rows);
    ASSERT_EQ(store->rowCount(), 10000u);
    EXPECT_EQ(store->value(9999, 0).asInt(), 9999);
    EXPECT_EQ(store->value(5000, 1).asText().size(), 100000);
    EXPECT_EQ(store->value(5001, 1).asText(), "ab");
    EXPECT_EQ(store->value(0, 1).asText(), "ab");
}

TEST(RowStore, LargeStoresLoadedOneAfterAnotherKeepTheirOwnCells) {
    // Large stores take their blocks from memory that closed stores gave back, which is not
    // cleared: every cell must come from its own load, nulls included.
    std::deque<std::string> texts; // the cells only view their text
    auto rowsOf = [&texts](int count, const std::string& text, bool nulls) {
        std::vector<std::vector<Cell>> rows;
        for (int k = 0; k < count; ++k) {
            texts.push_back(text + std::to_string(k));
            rows.push_back({nulls && k % 3 == 0 ? Cell{} : intCell(k),
                            nulls && k % 2 == 0 ? Cell{} : textCell(texts.back())});
        }
        return rows;
    };
    const std::vector<ColumnInfo> columns{column("N", DataType::Integer), column("T", DataType::VarWChar)};
    const std::string padding(150, 'p'); // 20 000 of these fill several text chunks
    {
        auto first = load(columns, rowsOf(20000, padding, false));
        EXPECT_EQ(first->value(19999, 1).asText(), QString::fromStdString(padding + "19999"));
    }
    auto second = load(columns, rowsOf(20000, "r", true));
    auto third = load(columns, rowsOf(30000, "t", false));
    ASSERT_EQ(second->rowCount(), 20000u);
    for (std::uint32_t k = 0; k < 20000; ++k) {
        ASSERT_EQ(second->value(k, 0).isNull(), k % 3 == 0) << k;
        ASSERT_EQ(second->value(k, 1).isNull(), k % 2 == 0) << k;
        if (k % 2 == 1) {
            ASSERT_EQ(second->value(k, 1).asText(), "r" + QString::number(k)) << k;
        }
    }
    EXPECT_EQ(second->value(19999, 0).asInt(), 19999);
    EXPECT_EQ(third->value(29999, 1).asText(), "t29999");
    EXPECT_EQ(third->value(4096, 0).asInt(), 4096);
}

TEST(RowStore, FieldsAreFoundWithoutCaseAndTheFirstOfTwoNamesWins) {
    auto store = load({column("Alfa", DataType::Integer), column("ALFA", DataType::Integer)},
                      {{intCell(1), intCell(2)}});
    EXPECT_EQ(store->fieldIndex("alfa"), 0);
    EXPECT_EQ(store->fieldIndex("[ALFA]"), 0);
    EXPECT_EQ(store->fieldIndex("beta"), -1);
}

// --- packed blocks ---------------------------------------------------------------------------
// Full blocks of 4096 rows are packed to what their cells need, the last one when loading ends;
// every cell must read back as it was stored, whichever form its block took.

namespace {

constexpr std::int64_t kDay = 86400000;
constexpr std::int64_t k2026 = 20454 * kDay; // 2026-01-01 in milliseconds since 1970

Cell cellOf(Cell::Kind kind, std::int64_t i, std::uint8_t scale = 0) {
    Cell c;
    c.kind = kind;
    c.i = i;
    c.scale = scale;
    return c;
}

// Columns of every kind and of every packed form, with a cell per row computed from the row
// alone; their texts are kept in `texts` for as long as the cells view them.
struct Sample {
    std::vector<ColumnInfo> columns{column("SMALL", DataType::Variant),   column("WIDE", DataType::Variant),
                                    column("SAME", DataType::Variant),    column("DEC", DataType::Variant),
                                    column("REAL", DataType::Variant),    column("DAY", DataType::Variant),
                                    column("SECOND", DataType::Variant),  column("MILLI", DataType::Variant),
                                    column("CODE", DataType::Variant),    column("NAME", DataType::Variant),
                                    column("BYTES", DataType::Variant),   column("MIXED", DataType::Variant),
                                    column("NOTHING", DataType::Variant), column("FLAG", DataType::Boolean)};
    std::deque<std::string> texts;

    Cell text(std::string s, Cell::Kind kind = Cell::Kind::Text) {
        texts.push_back(std::move(s));
        Cell c = textCell(texts.back());
        c.kind = kind;
        return c;
    }
    Cell at(std::int64_t r, int column) {
        switch (column) {
        case 0: // one byte from the block's smallest value, some Null
            return r % 5 == 0 ? Cell{} : intCell((r * 7) % 200 - 100);
        case 1: // the whole 64-bit range
            return intCell(r == 3 ? INT64_MIN : r == 4 ? INT64_MAX : r * 1000000000007);
        case 2: // one value: no bytes per cell
            return intCell(42);
        case 3:
            return cellOf(Cell::Kind::Decimal, r * 13 - 5000, 3);
        case 4:
            return r % 7 == 0 ? Cell{} : realCell(static_cast<double>(r) * 0.25 - 3);
        case 5: // dates at midnight
            return cellOf(Cell::Kind::DateTime, k2026 + (r % 400) * kDay);
        case 6: // whole seconds
            return cellOf(Cell::Kind::DateTime, k2026 + r * 1000 + 3600000);
        case 7: // milliseconds, before 1970 too
            return cellOf(Cell::Kind::DateTime, -k2026 + r * 37);
        case 8: // a few codes, an empty one among them: a dictionary
            return r % 11 == 0 ? Cell{} : text(r % 4 == 0 ? "" : "K" + std::to_string(r % 3));
        case 9: // mostly different texts
            return r % 13 == 0 ? Cell{} : text("testo " + std::to_string(r * 31));
        case 10:
            return text(std::string("\x01\x00", 2) + std::to_string(r % 500), Cell::Kind::Binary);
        case 11: // mixed kinds: the block stays as filled
            return r % 2 ? intCell(r) : text("t" + std::to_string(r));
        case 12:
            return Cell{};
        default:
            return intCell(r % 2);
        }
    }
    std::vector<Cell> row(std::int64_t r) {
        std::vector<Cell> out;
        for (int k = 0; k < static_cast<int>(columns.size()); ++k)
            out.push_back(at(r, k));
        return out;
    }
    std::vector<FieldInfo> fields() const {
        std::vector<FieldInfo> out;
        for (const ColumnInfo& c : columns)
            out.push_back(fieldFromColumn(c));
        return out;
    }
};

CellKind kindOf(Cell::Kind kind) {
    constexpr CellKind kinds[] = {CellKind::Null, CellKind::Int,      CellKind::Double, CellKind::Decimal,
                                  CellKind::Text, CellKind::DateTime, CellKind::Binary};
    return kinds[static_cast<int>(kind)];
}

// Empty when the stored cell is the cell given; else what differs.
std::string differs(const RowStore& store, std::uint32_t row, int column, const Cell& want) {
    const CellRef got = store.cell(row, column);
    CellKind kind = kindOf(want.kind);
    if (store.field(column).type == DataType::Boolean && kind == CellKind::Int)
        kind = CellKind::Bool;
    const std::string where = "row " + std::to_string(row) + " column " + std::to_string(column) + ": ";
    if (got.kind != kind)
        return where + "kind " + std::to_string(int(got.kind)) + " instead of " + std::to_string(int(kind));
    switch (kind) {
    case CellKind::Null:
        return {};
    case CellKind::Double:
        return got.d == want.d ? std::string() : where + "double " + std::to_string(got.d);
    case CellKind::Text:
    case CellKind::Binary:
        return got.text == want.text ? std::string() : where + "text '" + std::string(got.text) + "'";
    default:
        return got.i == want.i && got.scale == want.scale ? std::string()
                                                          : where + "value " + std::to_string(got.i);
    }
}

// Every cell of rows [from, to) of the store against the sample, but `skip` (row, column).
void expectSampleRows(const RowStore& store, Sample& sample, std::uint32_t from, std::uint32_t to,
                      std::pair<std::uint32_t, int> skip = {UINT32_MAX, -1}) {
    for (std::uint32_t r = from; r < to; ++r)
        for (int k = 0; k < store.columnCount(); ++k)
            if (std::pair{r, k} != skip) {
                ASSERT_EQ(differs(store, r, k, sample.at(r, k)), "");
            }
}

constexpr std::uint32_t kSampleRows = 2 * 4096 + 100; // two full blocks and a partial one

std::shared_ptr<RowStore> loadSample(Sample& sample, std::uint32_t rows = kSampleRows) {
    auto store = std::make_shared<RowStore>(sample.fields());
    for (std::uint32_t r = 0; r < rows; ++r) {
        const std::vector<Cell> cells = sample.row(r);
        store->appendBackendRow(cells.data(), cells.size());
    }
    store->finishLoading();
    sample.texts.clear(); // the store must hold its own copies
    return store;
}

} // namespace

TEST(RowStorePacking, EveryKindReadsBackFromEveryForm) {
    Sample sample;
    auto store = loadSample(sample);
    expectSampleRows(*store, sample, 0, kSampleRows);
    // A small result too: its only block is packed when loading ends.
    Sample small;
    auto few = loadSample(small, 9);
    expectSampleRows(*few, small, 0, 9);
}

TEST(RowStorePacking, RowsAreReadableBetweenAppendsAndAcrossBlockEnds) {
    Sample sample;
    RowStore store(sample.fields());
    for (std::uint32_t r = 0; r < kSampleRows; ++r) {
        const std::vector<Cell> cells = sample.row(r);
        store.appendBackendRow(cells.data(), cells.size());
        ASSERT_EQ(store.rowCount(), r + 1);
        expectSampleRows(store, sample, r, r + 1);
        expectSampleRows(store, sample, r / 2, r / 2 + 1);
        if (r == 4095 || r == 4096 || r == 8191)
            expectSampleRows(store, sample, 0, r + 1);
    }
    store.finishLoading();
    // A row added afterwards goes into the packed last block, which takes it.
    const std::uint32_t added = store.appendRow({{0, Value(std::int64_t{7})}, {9, Value("nuova")}});
    ASSERT_EQ(added, kSampleRows);
    expectSampleRows(store, sample, 0, kSampleRows);
    EXPECT_EQ(store.value(added, 0).asInt(), 7);
    EXPECT_EQ(store.value(added, 9).asText(), "nuova");
    EXPECT_TRUE(store.value(added, 2).isNull());
    // Rows added until the block is full: it is packed again and still reads back.
    while (store.rowCount() < 3 * 4096)
        store.appendRow({{0, Value(std::int64_t{store.rowCount()})}});
    EXPECT_EQ(store.value(3 * 4096 - 1, 0).asInt(), 3 * 4096 - 1);
    EXPECT_EQ(store.value(added, 9).asText(), "nuova");
    EXPECT_TRUE(store.value(added + 1, 9).isNull());
}

TEST(RowStorePacking, WritesThatThePackedFormCannotHoldWidenTheBlock) {
    Sample sample;
    auto store = loadSample(sample);
    struct Write {
        std::uint32_t row;
        int column;
        Value value;
    };
    const QDateTime notMidnight(QDate(2026, 3, 4), QTime(10, 30, 0, 5));
    const std::vector<Write> writes{
        {10, 2, Value(std::int64_t{42})},               // the block's one value: fits
        {11, 0, Value(std::int64_t{-50})},              // within the block's range: fits
        {12, 0, Value::null()},                         // the block has Nulls: fits
        {13, 2, Value(std::int64_t{1} << 40)},          // out of the block's range
        {14, 2, Value::null()},                         // no Null in the block before
        {4100, 5, Value(notMidnight)},                  // dates in days, this one is not
        {15, 8, Value("a code longer than any other")}, // text: never in place
        {16, 9, Value("")},
        {17, 12, Value(std::int64_t{5})},             // a block of Nulls only
        {18, 0, Value("testo in colonna di numeri")}, // another kind
        {kSampleRows - 1, 4, Value(std::int64_t{3})}, // the packed last block
    };
    for (const Write& w : writes) {
        store->setValue(w.row, w.column, w.value);
        EXPECT_EQ(store->value(w.row, w.column), w.value) << w.row << " " << w.column;
        // The rest of the column is untouched.
        for (std::uint32_t r = 0; r < kSampleRows; ++r) {
            const bool written = std::any_of(writes.begin(), writes.end(), [&](const Write& o) {
                return o.row == r && o.column == w.column && &o <= &w;
            });
            if (!written) {
                ASSERT_EQ(differs(*store, r, w.column, sample.at(r, w.column)), "");
            }
        }
    }
    for (const Write& w : writes)
        EXPECT_EQ(store->value(w.row, w.column), w.value) << w.row << " " << w.column;
}

TEST(RowStorePacking, TextsAtTheLimitsOfTheDictionaryAndOfShortOffsets) {
    // 255 distinct texts in a block still make a dictionary, 256 do not; a block's texts of
    // 65 535 bytes take 2-byte offsets, of 65 536 bytes 4-byte ones (4096 texts of 16 bytes, the
    // first one shorter).
    struct Case {
        int distinct; // codes repeated; 0: texts of `bytes` in all
        std::size_t bytes;
    };
    for (const Case c : {Case{255, 0}, Case{256, 0}, Case{0, 65535}, Case{0, 65536}}) {
        SCOPED_TRACE(::testing::Message() << c.distinct << " " << c.bytes);
        std::deque<std::string> texts;
        std::vector<std::vector<Cell>> rows;
        for (std::size_t r = 0; r < 4096; ++r) {
            texts.push_back(c.distinct ? "codice " + std::to_string(r % c.distinct) : std::to_string(r));
            if (!c.distinct)
                texts.back().resize(r == 0 ? 16 - (65536 - c.bytes) : 16, '.');
            rows.push_back({textCell(texts.back())});
        }
        auto store = load({column("T", DataType::VarWChar)}, rows);
        for (std::uint32_t r = 0; r < 4096; ++r)
            ASSERT_EQ(store->cell(r, 0).text, texts[r]);
    }
}

TEST(RowStorePacking, ScheduleLikeRowsTakeLessThanTwiceTheirRawData) {
    // Nulls, short codes, small numbers and dates at midnight: 9 bytes a cell would be several
    // times the data.
    std::deque<std::string> texts;
    std::vector<std::vector<Cell>> rows;
    for (int r = 0; r < 20000; ++r) {
        texts.push_back("ORD" + std::to_string(r / 7) + "_" + std::to_string(r % 7));
        std::vector<Cell> row{textCell(texts.back()), textCell(r % 3 ? "K1" : "K2"), intCell(r % 7),
                              cellOf(Cell::Kind::DateTime, k2026 + (r % 90) * kDay)};
        for (int k = 0; k < 8; ++k)
            row.push_back(r % 9 == 0 ? intCell(k) : Cell{});
        rows.push_back(row);
    }
    std::vector<ColumnInfo> columns{column("KEY", DataType::VarWChar), column("STATE", DataType::VarWChar),
                                    column("PHASE", DataType::Integer), column("END", DataType::DBTimeStamp)};
    for (int k = 0; k < 8; ++k)
        columns.push_back(column("OPT", DataType::Integer));
    auto store = load(columns, rows);
    EXPECT_LT(store->memoryBytes(), 2 * store->rawBytes());
    EXPECT_EQ(store->value(19999, 0).asText(), "ORD2857_0");
}
