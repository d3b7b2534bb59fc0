// How cells from a backend become stored values: each converted to its column's type, none
// lost when it does not fit, computed columns typed by what they hold.
#include "FakeBackend.h"
#include "module/db/RowStore.h"
#include "module/db/StoreLoader.h"

#include <gtest/gtest.h>

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

TEST(RowStore, DecimalsBecomeExactAtTheirScale) {
    ColumnInfo q = column("Q", DataType::Decimal);
    q.scale = 3;
    auto store = load({q}, {{realCell(2.675)}, {intCell(7)}, {textCell("-0.0005")}, {realCell(1e30)}});
    EXPECT_EQ(store->value(0, 0).asDecimal(), Decimal(2675, 3));
    EXPECT_EQ(store->value(1, 0).asDecimal(), Decimal(7000, 3));
    EXPECT_EQ(store->value(2, 0).asDecimal(), Decimal(-1, 3)); // half away from zero
    EXPECT_EQ(store->value(3, 0).kind(), Value::Kind::Double); // too large: kept as it came
}

TEST(RowStore, DatesReadFromEveryServerForm) {
    auto store = load({column("D", DataType::DBTimeStamp)}, {{textCell("2026-08-31 10:15:00.250")},
                                                             {textCell("20260831 10:15:00")},
                                                             {textCell("1899-12-30")},
                                                             {textCell("2026-02-30")}});
    EXPECT_EQ(store->value(0, 0).asDateTime(), QDateTime(QDate(2026, 8, 31), QTime(10, 15, 0, 250)));
    EXPECT_EQ(store->value(1, 0).asDateTime(), QDateTime(QDate(2026, 8, 31), QTime(10, 15)));
    EXPECT_EQ(store->value(2, 0).asDateTime(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(store->value(3, 0).asText(), "2026-02-30"); // no such day: shown as it is
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
