// The record grid over a model that names its fields in the header and holds raw values in
// EditRole, as the module's record-set model does.
#include "platform/controls/Grid.h"
#include "platform/controls/GridModel.h"
#include "platform/controls/ImageList.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace erpctl;

namespace {

// A model that can re-read its rows in place, as a record set's requery does.
class ScheduleModel : public QStandardItemModel {
public:
    using QStandardItemModel::QStandardItemModel;
    void reRead() {
        beginResetModel();
        endResetModel();
    }
};

// A row of items holding `values` in EditRole; invalid values leave the cell empty.
QList<QStandardItem*> itemsOf(const QList<QVariant>& values) {
    QList<QStandardItem*> items;
    for (const auto& v : values) {
        items << new QStandardItem;
        if (v.isValid())
            items.last()->setData(v, Qt::EditRole);
    }
    return items;
}

template <class Model = QStandardItemModel>
std::unique_ptr<Model> modelOf(const QStringList& fields, const QList<QList<QVariant>>& rows) {
    auto model = std::make_unique<Model>(0, fields.size());
    model->setHorizontalHeaderLabels(fields);
    for (const auto& values : rows)
        model->appendRow(itemsOf(values));
    return model;
}

// Rows of a small schedule: key, phase state, quantity, end date, class, mark.
std::unique_ptr<ScheduleModel> scheduleModel() {
    return modelOf<ScheduleModel>(
        {"PD5C_KEYGRID", "PD5C_INDSTATOORD", "PD5C_QTARES", "PD5C_DATAFINEFASE", "SOLL", "PD5C_SEL",
         "PD5C_DATAELAB"},
        {
            {"K1  ", 2.0, 1234.5, QDateTime(QDate(2026, 3, 7), QTime(0, 0)), qlonglong(3), qlonglong(0), "x"},
            {"K2", qlonglong(99), 0.0, QVariant(), QVariant(), qlonglong(0), "y"},
            {"K3", qlonglong(7), QVariant(), QDateTime(QDate(2026, 12, 31), QTime(15, 0)), qlonglong(4),
             qlonglong(1), "z"},
        });
}

QList<ListItem> phaseStates() {
    return {{0, "Generata"}, {1, "Stampata"}, {2, "Avanzata"}, {3, "Saldata"}, {4, "Lista/DDT"}, {99, ""}};
}

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        images.addStatusImages();
        grid.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
        addColumns(grid);
        model = scheduleModel();
        grid.resize(800, 300);
    }

    // The screen's columns: a hidden key, a list, a number, a date, an image and one the model lacks.
    void addColumns(Grid& g) {
        g.addColumn("PD5C_KEYGRID", "Key", ColumnKind::Text, 500, false);
        g.addListColumn("PD5C_INDSTATOORD", "Stato fase", phaseStates(), 1000);
        g.addColumn("PD5C_QTARES", "Qta res.", ColumnKind::Number, 1000, true, "###,###,###,##0.00");
        g.addColumn("PD5C_DATAFINEFASE", "Data fine", ColumnKind::Date, 1000);
        g.addImageColumn("SOLL", "Soll.", &images, 700);
        g.addColumn("NOT_IN_MODEL", "Assente", ColumnKind::Text, 700);
    }
    QModelIndex cell(int row, const QString& field) {
        return grid.model()->index(row, grid.columnIndex(field));
    }

    ImageList images;
    Grid grid;
    std::unique_ptr<ScheduleModel> model;
};

} // namespace

TEST_F(GridTest, ColumnsPickTheirFieldsByNameAndOtherFieldsStayOut) {
    grid.bind(model.get());
    EXPECT_EQ(grid.gridColumnCount(), 6);
    EXPECT_EQ(grid.model()->columnCount(), 6); // PD5C_SEL and PD5C_DATAELAB are not shown
    EXPECT_EQ(grid.columnIndex("pd5c_qtares"), 2);
    EXPECT_EQ(grid.cellText(0, "PD5C_KEYGRID"), "K1");
    EXPECT_TRUE(grid.isColumnHidden(grid.columnIndex("PD5C_KEYGRID")));
    EXPECT_EQ(grid.cellText(0, "NOT_IN_MODEL"), "");
    EXPECT_EQ(grid.value(2, "PD5C_SEL").toLongLong(), 1); // fields outside the grid are still readable
    EXPECT_EQ(grid.addColumn("PD5C_QTARES", "Again", ColumnKind::Text, 100), -1);

    // A second model with the fields in another order shows the same columns.
    auto other = modelOf({"PD5C_QTARES", "PD5C_KEYGRID"}, {{2.0, "Z9"}});
    grid.bind(other.get());
    EXPECT_EQ(grid.gridColumnCount(), 6);
    EXPECT_EQ(grid.cellText(0, "PD5C_KEYGRID"), "Z9");
    EXPECT_EQ(grid.cellText(0, "PD5C_QTARES"), "2,00");
    EXPECT_TRUE(grid.isColumnHidden(grid.columnIndex("PD5C_KEYGRID")));
    // Keys of many digits are found as text: read as numbers these two would be equal.
    auto digits = modelOf({"PD5C_KEYGRID"}, {{"0000123456789012345678"}, {"0000123456789012345679"}});
    grid.bind(digits.get());
    EXPECT_EQ(grid.findRow("PD5C_KEYGRID", QStringLiteral("0000123456789012345679")), 1);
    EXPECT_EQ(grid.findRow("PD5C_KEYGRID", QStringLiteral("123456789012345678")), -1);
    grid.unbind();
    EXPECT_EQ(grid.rowCount(), 0);

    grid.bind(model.get());
    grid.setKeyField("PD5C_KEYGRID");
    EXPECT_EQ(grid.findRow("PD5C_KEYGRID", "k1"), 0); // the stored "K1  " matches as the database compares
    EXPECT_EQ(grid.findRow("PD5C_INDSTATOORD", qlonglong(7)), 2);
    EXPECT_EQ(grid.findRow("PD5C_KEYGRID", "K9"), -1);
    grid.setCurrentRow(2);
    EXPECT_EQ(grid.currentKey().toString(), "K3");
}

TEST_F(GridTest, CellsFollowKindFormatListAndLocale) {
    grid.bind(model.get());
    EXPECT_EQ(grid.cellText(0, "PD5C_QTARES"), "1.234,50");
    EXPECT_EQ(grid.cellText(1, "PD5C_QTARES"), "0,00");
    EXPECT_EQ(grid.cellText(2, "PD5C_QTARES"), "");
    EXPECT_EQ(grid.cellText(0, "PD5C_DATAFINEFASE"), "07/03/2026");
    EXPECT_EQ(grid.cellText(2, "PD5C_DATAFINEFASE"), "31/12/2026");
    EXPECT_EQ(grid.cellText(1, "PD5C_DATAFINEFASE"), "");
    EXPECT_EQ(grid.cellText(0, "PD5C_INDSTATOORD"), "Avanzata"); // 2.0 from a decimal column matches code 2
    EXPECT_EQ(grid.cellText(1, "PD5C_INDSTATOORD"), "");         // 99 has an empty caption
    EXPECT_EQ(grid.cellText(2, "PD5C_INDSTATOORD"), "");         // a code outside the list

    grid.setLocale(QLocale::c());
    EXPECT_EQ(grid.cellText(0, "PD5C_QTARES"), "1,234.50");
}

TEST_F(GridTest, ImageColumnsDrawTheStatusLightOfTheCode) {
    grid.bind(model.get());
    const auto icon = [&](int row) { return grid.model()->data(cell(row, "SOLL"), Qt::DecorationRole); };
    EXPECT_FALSE(icon(1).isValid()); // null code: no image
    ASSERT_TRUE(icon(2).isValid());
    const QImage grey = icon(2).value<QIcon>().pixmap(16, 16).toImage();
    const QColor centre = grey.pixelColor(8, 8);
    EXPECT_LT(std::abs(centre.red() - centre.green()), 30); // grey, not a colour
    const QImage red = icon(0).value<QIcon>().pixmap(16, 16).toImage();
    EXPECT_GT(red.pixelColor(8, 8).red(), red.pixelColor(8, 8).green() + 60);
    EXPECT_EQ(grid.cellText(0, "SOLL"), "");

    model->setData(model->index(0, 4), qlonglong(6), Qt::EditRole); // no sixth image
    EXPECT_FALSE(icon(0).isValid());
}

TEST_F(GridTest, EditingAsksBeforeAndAfterAndCanBeRefused) {
    grid.bind(model.get());
    grid.show();
    int before = 0;
    int after = 0;
    bool refuseBefore = false;
    QString refuseValue;
    QObject::connect(&grid, &Grid::beforeEdit, [&](int, const QString& field, bool& cancel) {
        ++before;
        EXPECT_EQ(field, "PD5C_DATAFINEFASE");
        cancel = refuseBefore;
    });
    QObject::connect(&grid, &Grid::validateCell,
                     [&](int, const QString&, const QVariant&, bool& cancel, QString& message) {
                         if (!refuseValue.isEmpty()) {
                             cancel = true;
                             message = refuseValue;
                         }
                     });
    QVariant written;
    QObject::connect(&grid, &Grid::afterEdit, [&](int row, const QString& field) {
        ++after;
        written = grid.value(row, field);
    });
    QSignalSpy rejected(&grid, &Grid::editRejected);

    const QModelIndex date = cell(0, "PD5C_DATAFINEFASE");
    grid.edit(date); // a read-only grid opens no editor and asks nothing
    EXPECT_EQ(before, 0);
    grid.setEditable(true);
    grid.edit(date); // the column is still closed to editing
    EXPECT_EQ(before, 0);

    grid.setColumnEditable("PD5C_DATAFINEFASE");
    refuseBefore = true;
    grid.edit(date);
    EXPECT_EQ(before, 1);
    EXPECT_FALSE(grid.isEditing());
    EXPECT_EQ(grid.currentField(), "PD5C_DATAFINEFASE");

    refuseBefore = false;
    grid.edit(date);
    EXPECT_TRUE(grid.isEditing());
    EXPECT_EQ(grid.editorText(date), "07/03/2026");

    grid.commitCellInput(date, "31/04/2026", true); // no such day: nothing written
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(grid.value(0, "PD5C_DATAFINEFASE").toDateTime().date(), QDate(2026, 3, 7));
    EXPECT_EQ(grid.editorText(date), "31/04/2026"); // the typed text comes back to be corrected

    refuseValue = "Data fuori sequenza";
    grid.commitCellInput(date, "30/04/2026", true);
    EXPECT_EQ(rejected.count(), 2);
    EXPECT_EQ(rejected.last().at(2).toString(), "Data fuori sequenza");
    EXPECT_EQ(grid.value(0, "PD5C_DATAFINEFASE").toDateTime().date(), QDate(2026, 3, 7));
    EXPECT_EQ(after, 0);

    refuseValue.clear();
    grid.commitCellInput(date, "30/04/2026", true);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(written.toDateTime(), QDate(2026, 4, 30).startOfDay(Qt::UTC));

    grid.commitCellInput(date, "", true); // emptying a date writes a null
    EXPECT_EQ(after, 2);
    EXPECT_FALSE(written.isValid());
}

TEST(GridFocus, AHandlerShowingADialogAfterTheEditRunsOnce) {
    // A message box shown from the after-edit handler takes the focus from the open editor;
    // the value must still be committed once, and the grid must survive it.
    QWidget window;
    auto* grid = new Grid(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 250);
    QStandardItemModel model(1, 1);
    model.setHorizontalHeaderLabels({"DATA_INI"});
    grid->addColumn("DATA_INI", "Nuova data ini.", ColumnKind::Date, 1000);
    grid->bind(&model);
    grid->setEditable(true);
    grid->setColumnEditable("DATA_INI");
    window.show();
    QApplication::setActiveWindow(&window);
    int edits = 0;
    QObject::connect(grid, &Grid::afterEdit, [&](int, const QString&) {
        ++edits;
        // What a modal message box does to the editor: the focus goes elsewhere while an
        // event loop runs.
        other->setFocus();
        QDialog message(&window);
        QTimer::singleShot(0, &message, &QDialog::reject);
        message.exec();
    });
    const QModelIndex cell = grid->model()->index(0, 0);
    grid->setFocus();
    grid->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell));
    ASSERT_NE(editor, nullptr);
    editor->setText("15/05/2026");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(edits, 1);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(model.data(model.index(0, 0), Qt::EditRole).toDateTime().date(), QDate(2026, 5, 15));
}

TEST(GridFocus, LeavingTheGridCanBeRefusedAndTheGridKeepsTheFocus) {
    QWidget window;
    auto* grid = new Grid(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 200);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    bool hold = true;
    int asked = 0;
    QObject::connect(grid, &Grid::validate, [&](bool& cancel) {
        ++asked;
        cancel = hold;
    });
    grid->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(grid->hasFocus());

    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(grid->hasFocus());

    hold = false;
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(GridTest, RowMarksAreWrittenToTheModelOnlyWhileMarkingIsOn) {
    grid.bind(model.get());
    EXPECT_FALSE(grid.setFeatureEnabled("SEL", true)); // no field to write the marks to
    EXPECT_FALSE(grid.setFeatureEnabled("OTHER", true));
    grid.setSelectionField("PD5C_SEL");
    ASSERT_TRUE(grid.setFeatureEnabled("SEL", true));
    EXPECT_EQ(grid.gridColumnCount(), 7); // a mark column of the grid's own
    EXPECT_EQ(grid.visualFields().first(), "PD5C_SEL");
    EXPECT_EQ(grid.model()->data(cell(2, "PD5C_SEL"), Qt::CheckStateRole).toInt(), Qt::Checked);

    QSignalSpy marks(&grid, &Grid::rowMarkChanged);
    emit grid.clicked(cell(0, "PD5C_SEL"));
    EXPECT_EQ(model->data(model->index(0, 5), Qt::EditRole).toLongLong(), 1);
    EXPECT_TRUE(grid.isRowMarked(0));
    EXPECT_TRUE(grid.toggleRowMark(0));
    EXPECT_EQ(model->data(model->index(0, 5), Qt::EditRole).toLongLong(), 0);
    EXPECT_EQ(marks.count(), 2);

    // The layout is the screen's columns only.
    EXPECT_FALSE(grid.saveLayout().contains("PD5C_SEL"));

    grid.setFeatureEnabled("SEL", false);
    EXPECT_EQ(grid.gridColumnCount(), 6);
    EXPECT_FALSE(grid.setRowMarked(1, true));
    EXPECT_EQ(model->data(model->index(1, 5), Qt::EditRole).toLongLong(), 0);
}

TEST_F(GridTest, CheckColumnOfTheMarkFieldServesAsTheMarkColumn) {
    Grid reminders;
    reminders.addCheckColumn("PD5C_SEL", "Sel.", 400);
    reminders.addColumn("PD5C_KEYGRID", "Key", ColumnKind::Text, 500);
    reminders.bind(model.get());
    QSignalSpy clicks(&reminders, &Grid::cellClicked);
    emit reminders.clicked(reminders.model()->index(1, 0));
    EXPECT_EQ(model->data(model->index(1, 5), Qt::EditRole).toLongLong(), 0); // marking is off
    reminders.setSelectionField("PD5C_SEL");
    reminders.setFeatureEnabled("SEL", true);
    EXPECT_EQ(reminders.gridColumnCount(), 2);
    emit reminders.clicked(reminders.model()->index(1, 0));
    EXPECT_EQ(model->data(model->index(1, 5), Qt::EditRole).toLongLong(), 1);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks.last().at(1).toString(), "PD5C_SEL");
}

TEST_F(GridTest, LayoutRoundTripsOrderWidthsAndVisibility) {
    grid.bind(model.get());
    grid.setColumnWidthTwips("PD5C_QTARES", 2400);
    grid.setColumnVisible("PD5C_KEYGRID", true);
    grid.setColumnVisible("SOLL", false);
    QHeaderView* header = grid.horizontalHeader();
    header->moveSection(header->visualIndex(grid.columnIndex("PD5C_DATAFINEFASE")), 0);
    const QByteArray saved = grid.saveLayout();

    Grid restored;
    addColumns(restored);
    const QStringList defaultOrder = restored.visualFields();
    EXPECT_FALSE(restored.restoreLayout("not a layout"));
    EXPECT_FALSE(restored.restoreLayout(R"({"columns":[{"field":"SOLL","width":"wide","visible":true}]})"));
    EXPECT_EQ(restored.visualFields(), defaultOrder);
    EXPECT_TRUE(restored.isColumnVisible("SOLL"));

    ASSERT_TRUE(restored.restoreLayout(saved));
    EXPECT_EQ(restored.visualFields(), grid.visualFields());
    EXPECT_EQ(restored.visualFields().first(), "PD5C_DATAFINEFASE");
    EXPECT_EQ(restored.columnWidthTwips("PD5C_QTARES"), 2400);
    EXPECT_TRUE(restored.isColumnVisible("PD5C_KEYGRID"));
    EXPECT_FALSE(restored.isColumnVisible("SOLL"));
    EXPECT_TRUE(restored.isColumnHidden(restored.columnIndex("SOLL")));

    // Binding a record set afterwards keeps the user's layout.
    restored.bind(model.get());
    EXPECT_EQ(restored.visualFields().first(), "PD5C_DATAFINEFASE");
    EXPECT_TRUE(restored.isColumnHidden(restored.columnIndex("SOLL")));

    // Fields the grid no longer has are ignored.
    EXPECT_TRUE(restored.restoreLayout(R"({"columns":[{"field":"GONE","width":10,"visible":false}]})"));
}

TEST_F(GridTest, ColumnChooserShowsAndHidesColumns) {
    grid.bind(model.get());
    QSignalSpy changes(&grid, &Grid::columnVisibilityChanged);
    const auto actionOf = [](QMenu& menu, const QString& field) -> QAction* {
        for (QAction* action : menu.actions()) {
            if (action->data().toString() == field)
                return action;
        }
        return nullptr;
    };
    std::unique_ptr<QMenu> menu(grid.createColumnChooser(nullptr));
    QAction* key = actionOf(*menu, "PD5C_KEYGRID");
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(key->isChecked());
    key->trigger();
    EXPECT_TRUE(grid.isColumnVisible("PD5C_KEYGRID"));
    EXPECT_FALSE(grid.isColumnHidden(grid.columnIndex("PD5C_KEYGRID")));
    EXPECT_GT(grid.columnWidth(grid.columnIndex("PD5C_KEYGRID")), 0);
    key->trigger();
    EXPECT_FALSE(grid.isColumnVisible("PD5C_KEYGRID"));
    EXPECT_EQ(changes.count(), 2);

    // The last visible column cannot be hidden from the menu.
    for (const QString& field : grid.visualFields())
        grid.setColumnVisible(field, field == "SOLL");
    std::unique_ptr<QMenu> last(grid.createColumnChooser(nullptr));
    ASSERT_NE(actionOf(*last, "SOLL"), nullptr);
    EXPECT_FALSE(actionOf(*last, "SOLL")->isEnabled());
}

TEST_F(GridTest, FollowsTheBoundModelAndReportsRowChangesOnlyWhenTheRowMoves) {
    QList<std::pair<int, int>> moves;
    QObject::connect(&grid, &Grid::rowChanged, [&](int row, int previous) { moves.append({row, previous}); });
    grid.bind(model.get());
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0], std::make_pair(0, -1));
    grid.setCurrentRow(2);
    EXPECT_EQ(moves.last(), std::make_pair(2, 0));
    // Writes and refreshes repaint but leave the row where it is, without a notice.
    model->setData(model->index(2, 2), 5.0, Qt::EditRole);
    grid.refresh();
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(moves.size(), 2);
    EXPECT_EQ(grid.cellText(2, "PD5C_QTARES"), "5,00");

    model->appendRow(itemsOf({"K4", qlonglong(0), 7.25, QVariant(), qlonglong(1), qlonglong(0), "w"}));
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.cellText(3, "PD5C_QTARES"), "7,25");
    model->removeRow(0);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cellText(0, "PD5C_KEYGRID"), "K2");

    // A model that re-reads its rows (a requery) keeps the columns and the row position.
    grid.setCurrentRow(2);
    const qsizetype before = moves.size();
    model->reRead();
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(moves.size(), before);
    EXPECT_EQ(grid.gridColumnCount(), 6);
    EXPECT_EQ(grid.cellText(2, "PD5C_QTARES"), "7,25");

    // A new model starts on its first row again.
    auto again = scheduleModel();
    grid.bind(again.get());
    EXPECT_EQ(moves.last(), std::make_pair(0, 2));
}

TEST_F(GridTest, SuspendedDisplayRepaintsOnceAtResume) {
    grid.bind(model.get());
    QSignalSpy repaints(grid.model(), &QAbstractItemModel::dataChanged);
    grid.suspendDisplay();
    for (int row = 0; row < 3; ++row)
        model->setData(model->index(row, 5), qlonglong(1), Qt::EditRole);
    EXPECT_EQ(repaints.count(), 0);
    grid.resumeDisplay();
    EXPECT_EQ(repaints.count(), 1);
    EXPECT_FALSE(grid.isDisplaySuspended());
}

TEST(GridLargeModel, BindsAHundredThousandRowsWithoutReadingThem) {
    // Counts the cells read: a grid that walked every row at bind time would read 100 000.
    class CountingModel : public QAbstractTableModel {
    public:
        int rowCount(const QModelIndex& = {}) const override { return 100000; }
        int columnCount(const QModelIndex& = {}) const override { return 2; }
        QVariant headerData(int section, Qt::Orientation o, int role) const override {
            if (o == Qt::Horizontal && role == Qt::DisplayRole)
                return section == 0 ? QStringLiteral("ID") : QStringLiteral("QTA");
            return {};
        }
        QVariant data(const QModelIndex& index, int role) const override {
            if (role != Qt::EditRole)
                return {};
            ++reads;
            return index.column() == 0 ? QVariant(qlonglong(index.row())) : QVariant(index.row() * 0.5);
        }
        mutable int reads = 0;
    };
    CountingModel source;
    Grid grid;
    grid.setLocale(QLocale::c());
    grid.addColumn("ID", "Id", ColumnKind::Number, 800);
    grid.addColumn("QTA", "Qta", ColumnKind::Number, 1000, true, "0.00");
    grid.resize(400, 300);
    grid.bind(&source);
    grid.show();
    grid.scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.rowCount(), 100000);
    EXPECT_LT(source.reads, 2000);
    EXPECT_EQ(grid.cellText(99999, "QTA"), "49999.50");
}
