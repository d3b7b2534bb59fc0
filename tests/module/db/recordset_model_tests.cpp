#include "InMemorySet.h"
#include "module/db/RecordsetModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::db;
using namespace scadlav::db::testing;

namespace {

std::unique_ptr<Recordset> sample() {
    return makeSet({
        {1, "Rossi", Decimal(1500, 3), QDate(2026, 3, 1), 1},
        {2, Value::null(), Value::null(), QDateTime(QDate(2026, 1, 15), QTime(8, 30)), 3},
        {3, "Verdi", Decimal(250, 3), Value::null(), 2},
    });
}

} // namespace

TEST(RecordsetModel, ShowsFieldsAndRawValues) {
    auto rs = sample();
    RecordsetModel model(rs.get());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "QTA");
    EXPECT_EQ(model.data(model.index(0, 2), Qt::EditRole).toDouble(), 1.5);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::EditRole).typeId(), QMetaType::LongLong);
    EXPECT_FALSE(model.data(model.index(1, 1), Qt::EditRole).isValid()); // Null
    EXPECT_EQ(model.data(model.index(1, 1), Qt::DisplayRole).toString(), "");
    EXPECT_EQ(model.data(model.index(0, 3), Qt::DisplayRole).toString(), "01/03/2026");
    EXPECT_EQ(model.data(model.index(1, 3), Qt::DisplayRole).toString(), "15/01/2026 08:30:00");
    EXPECT_FALSE(model.data(model.index(9, 0)).isValid());
}

TEST(RecordsetModel, FollowsFilterSortAndTheCursor) {
    auto rs = sample();
    RecordsetModel model(rs.get());
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy current(&model, &RecordsetModel::currentRowChanged);
    rs->setFilter("SOLL > 1");
    EXPECT_EQ(model.rowCount(), 2);
    rs->setSort("SOLL DESC");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::EditRole).toLongLong(), 2);
    EXPECT_EQ(resets.count(), 2);
    ASSERT_TRUE(model.setCurrentRow(1));
    ASSERT_FALSE(current.isEmpty());
    EXPECT_EQ(current.last().at(0).toInt(), 1);
    EXPECT_EQ(rs->value("ID").asInt(), 3);
    rs->setFilter("");
    EXPECT_EQ(model.rowCount(), 3);
}

TEST(RecordsetModel, EditsWriteThroughAndReachModelsOfClones) {
    auto rs = sample();
    auto clone = rs->clone();
    RecordsetModel model(rs.get());
    RecordsetModel cloneModel(clone.get());
    QSignalSpy edited(&model, &RecordsetModel::edited);
    QSignalSpy cloneChanged(&cloneModel, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(model.setData(model.index(2, 1), QString("Neri")));
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(clone->valueAt(2, 1).asText(), "Neri");
    EXPECT_EQ(cloneChanged.count(), 1);
    ASSERT_TRUE(model.setData(model.index(0, 2), 2.5));
    EXPECT_EQ(rs->valueAt(0, 2).asDecimal(), Decimal(25, 1));
    ASSERT_TRUE(model.setData(model.index(0, 1), QVariant())); // clearing writes Null
    EXPECT_TRUE(rs->valueAt(0, 1).isNull());
}

TEST(RecordsetModel, RefusedEditsAreReportedAndChangeNothing) {
    auto rs = sample();
    RecordsetModel model(rs.get());
    QSignalSpy failed(&model, &RecordsetModel::editFailed);
    EXPECT_FALSE(model.setData(model.index(0, 4), QString("many")));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_FALSE(failed.last().at(2).toString().isEmpty());
    EXPECT_EQ(rs->valueAt(0, 4).asInt(), 1);
    EXPECT_EQ(rs->editMode(), EditMode::None);
    rs->close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(RecordsetModel, OutlivesItsRecordSet) {
    auto rs = sample();
    auto model = std::make_unique<RecordsetModel>(rs.get());
    rs.reset();
    EXPECT_EQ(model->recordset(), nullptr);
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_FALSE(model->setData(model->index(0, 0), 1));
    model.reset(); // must not touch the record set that is gone
}
