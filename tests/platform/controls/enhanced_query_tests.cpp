// The filter panel as a screen uses it: rows, values typed in its table, decode and lookup
// events, validation and the condition text.
#include "platform/controls/DefaultLookupPresenter.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FilterTable.h"
#include "platform/controls/ILookupPresenter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidgetItem>
#include <QTest>
#include <gtest/gtest.h>

using namespace erpctl;

namespace {

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.addRow("Default", "Data inizio fase", "DO46_DATAINIZIO", true, 1, false, FilterKind::Date);
        panel.addRow("Default", "Famiglia", "MG66_FAM_MG53", true, 4, true, FilterKind::Text, 4);
        panel.addRow("Default", "Sottofamiglia", "MG66_SFAM_MG54", true, 5, true, FilterKind::Text, 4);
        panel.addRow("Default", "Numero Documento", "DO11_NUMDOC", true, 16, false, FilterKind::Number, 7);
        panel.addRow("Default", "Nodo", "DO41_NODORIF_PD0C", false, 24, true, FilterKind::Text, 25);
        panel.setParentFields("MG66_SFAM_MG54", {"MG66_FAM_MG53"});
        panel.completeInitialization();
    }

    // Types a value into a cell of the table, as the user does.
    void type(const QString& field, int side, const QString& text) {
        const int row = panel.rowOf(field);
        panel.table()->item(row, side == 1 ? FilterTable::FromColumn : FilterTable::ToColumn)->setText(text);
    }

    EnhancedQuery panel;
};

class ScriptedPresenter : public ILookupPresenter {
public:
    bool present(const LookupRequest& request, QWidget*, QString& picked) override {
        seen = request;
        picked = answer;
        return !answer.isEmpty();
    }
    LookupRequest seen;
    QString answer;
};

} // namespace

TEST_F(PanelTest, RowsRefuseDuplicateOrEmptyFields) {
    EXPECT_EQ(panel.addRow("Default", "Again", "mg66_fam_mg53", true, 6, false, FilterKind::Text), -1);
    EXPECT_EQ(panel.addRow("Default", "None", " ", true, 7, false, FilterKind::Text), -1);
    EXPECT_EQ(panel.rowCount(), 5);
    EXPECT_EQ(panel.rowOfCaption("Nodo"), 4);
}

TEST_F(PanelTest, TypedValuesBuildTheConditionAndReadBackByField) {
    type("MG66_FAM_MG53", 1, "A1");
    type("MG66_FAM_MG53", 2, "B2");
    type("DO46_DATAINIZIO", 1, "1/2/26");
    EXPECT_EQ(panel.fromValue("DO46_DATAINIZIO"), "01/02/2026"); // shown the one way
    EXPECT_EQ(panel.toValue("MG66_FAM_MG53"), "B2");
    EXPECT_EQ(panel.conditionText(),
              "AND DO46_DATAINIZIO >= '20260201' AND MG66_FAM_MG53 >= 'A1' AND MG66_FAM_MG53 <= 'B2'");

    panel.clear();
    EXPECT_EQ(panel.conditionText(), "");
    EXPECT_EQ(panel.fromValue("MG66_FAM_MG53"), "");
    EXPECT_EQ(panel.table()->item(1, FilterTable::FromColumn)->text(), "");
}

TEST_F(PanelTest, BadValuesAreFlaggedKeptAsTypedAndLeftOutOfTheCondition) {
    QStringList reported;
    QObject::connect(&panel, &EnhancedQuery::validationChanged, [&](const QStringList& e) { reported = e; });
    type("DO11_NUMDOC", 1, "12a");
    type("DO46_DATAINIZIO", 1, "31/02/2026");
    type("MG66_FAM_MG53", 1, "Z");
    type("MG66_FAM_MG53", 2, "A");
    EXPECT_FALSE(panel.isValid());
    EXPECT_EQ(panel.validationErrors().size(), 3);
    EXPECT_EQ(reported.size(), 3);
    EXPECT_EQ(panel.fromValue("DO46_DATAINIZIO"), "31/02/2026"); // nothing the user typed is lost
    const QTableWidgetItem* bad = panel.table()->item(panel.rowOf("DO11_NUMDOC"), FilterTable::FromColumn);
    EXPECT_TRUE(bad->background().style() != Qt::NoBrush);
    EXPECT_FALSE(bad->toolTip().isEmpty());

    type("DO11_NUMDOC", 1, "12");
    type("DO46_DATAINIZIO", 1, "");
    type("MG66_FAM_MG53", 2, "");
    EXPECT_TRUE(panel.isValid());
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_EQ(panel.conditionText(), "AND MG66_FAM_MG53 >= 'Z' AND DO11_NUMDOC >= 12");
}

TEST_F(PanelTest, TypingACodeRaisesDecodeAndShowsTheDescriptions) {
    int decodes = 0;
    QObject::connect(&panel, &EnhancedQuery::StartDecode, [&](DecodeRequest& request) {
        ++decodes;
        EXPECT_EQ(request.caption, "Famiglia");
        if (!request.fromValue.isEmpty())
            request.fromDescription = "Desc " + request.fromValue;
        if (!request.toValue.isEmpty())
            request.toDescription = "Desc " + request.toValue;
    });
    type("MG66_FAM_MG53", 1, "F1");
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(panel.fromDescription("MG66_FAM_MG53"), "Desc F1");
    EXPECT_EQ(panel.table()->item(1, FilterTable::FromDescriptionColumn)->text(), "Desc F1");

    // Emptying a value empties its description, even though the handler leaves it alone.
    type("MG66_FAM_MG53", 1, "");
    EXPECT_EQ(panel.fromDescription("MG66_FAM_MG53"), "");
    EXPECT_EQ(decodes, 2);

    // Rows without a lookup have nothing to decode; retyping the same value changes nothing.
    type("DO11_NUMDOC", 1, "5");
    type("MG66_FAM_MG53", 2, "F2");
    type("MG66_FAM_MG53", 2, "F2 ");
    EXPECT_EQ(decodes, 3);
}

TEST_F(PanelTest, LookupHandsParentValuesAndWritesThePickedCode) {
    panel.setFromValue("MG66_FAM_MG53", "FA");
    panel.setToValue("MG66_FAM_MG53", "FZ");
    QObject::connect(&panel, &EnhancedQuery::StartLookup, [&](LookupRequest& request) {
        EXPECT_EQ(request.caption, "Sottofamiglia");
        EXPECT_EQ(request.parentValues.value("MG66_FAM_MG53"), request.side == 1 ? "FA" : "FZ");
        request.pickedCode = request.side == 1 ? "S1" : "";
    });
    EXPECT_TRUE(panel.requestLookup("MG66_SFAM_MG54", 1));
    EXPECT_EQ(panel.fromValue("MG66_SFAM_MG54"), "S1");

    // No code picked by the handler: the host's presenter shows the list.
    ScriptedPresenter presenter;
    presenter.answer = "S9";
    panel.setLookupPresenter(&presenter);
    EXPECT_TRUE(panel.requestLookup("MG66_SFAM_MG54", 2));
    EXPECT_EQ(presenter.seen.side, 2);
    EXPECT_EQ(panel.toValue("MG66_SFAM_MG54"), "S9");

    presenter.answer.clear(); // cancelled: the value stays
    EXPECT_TRUE(panel.requestLookup("MG66_SFAM_MG54", 2));
    EXPECT_EQ(panel.toValue("MG66_SFAM_MG54"), "S9");

    // A panel without a presenter of its own uses the one the host registered.
    ScriptedPresenter hostPresenter;
    hostPresenter.answer = "S5";
    setDefaultLookupPresenter(&hostPresenter);
    panel.setLookupPresenter(nullptr);
    EXPECT_TRUE(panel.requestLookup("MG66_SFAM_MG54", 2));
    setDefaultLookupPresenter(nullptr);
    EXPECT_EQ(panel.toValue("MG66_SFAM_MG54"), "S5");

    EXPECT_FALSE(panel.requestLookup("DO11_NUMDOC", 1)); // no list on this row
    EXPECT_FALSE(panel.requestLookup("NOT_A_FIELD", 1));
}

TEST_F(PanelTest, SecondaryRowsShowWithAllFiltersOrWhenTheyHoldAValue) {
    const int node = panel.rowOf("DO41_NODORIF_PD0C");
    EXPECT_TRUE(panel.table()->isRowHidden(node));
    panel.setShowAllRows(true);
    EXPECT_FALSE(panel.table()->isRowHidden(node));
    panel.setShowAllRows(false);
    panel.setFromValue("DO41_NODORIF_PD0C", "N1");
    EXPECT_FALSE(panel.table()->isRowHidden(node));
    EXPECT_EQ(panel.conditionText(), "AND DO41_NODORIF_PD0C >= 'N1'");
}

TEST_F(PanelTest, KeyboardMovesBetweenValuesAndAsksForLists) {
    FilterTable* table = panel.table();
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(table, &event);
    };
    table->setCurrentCell(0, FilterTable::FromColumn);
    press(Qt::Key_Tab);
    EXPECT_EQ(table->currentColumn(), FilterTable::ToColumn); // descriptions are skipped
    press(Qt::Key_Tab);
    EXPECT_EQ(table->currentRow(), 1);
    EXPECT_EQ(table->currentColumn(), FilterTable::FromColumn);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(table->currentRow(), 0);
    EXPECT_EQ(table->currentColumn(), FilterTable::ToColumn);

    // Tab past the last visible row stays there: the hidden "Nodo" row is not entered.
    table->setCurrentCell(3, FilterTable::ToColumn);
    press(Qt::Key_Tab);
    EXPECT_EQ(table->currentRow(), 3);

    QList<int> sides;
    QObject::connect(&panel, &EnhancedQuery::StartLookup,
                     [&](LookupRequest& request) { sides << request.side; });
    table->setCurrentCell(1, FilterTable::ToColumn);
    press(Qt::Key_F4);
    EXPECT_EQ(sides, QList<int>({2}));

    panel.setFromValue("MG66_FAM_MG53", "F1");
    table->setCurrentCell(1, FilterTable::FromColumn);
    press(Qt::Key_Delete);
    EXPECT_EQ(panel.fromValue("MG66_FAM_MG53"), "");
    press(Qt::Key_Return);
    EXPECT_EQ(table->currentRow(), 2);
}

TEST_F(PanelTest, F4WhileTypingKeepsTheTextAndOpensTheList) {
    FilterTable* table = panel.table();
    table->show();
    QList<QString> typedWhenAsked;
    QObject::connect(&panel, &EnhancedQuery::StartLookup,
                     [&](LookupRequest&) { typedWhenAsked << panel.fromValue("MG66_FAM_MG53"); });
    table->setCurrentCell(1, FilterTable::FromColumn);
    table->editItem(table->item(1, FilterTable::FromColumn));
    auto* editor = table->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "F2");
    QTest::keyClick(editor, Qt::Key_F4);
    EXPECT_EQ(typedWhenAsked, QList<QString>{"F2"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(table->findChildren<QLineEdit*>().size(), 0) << "the editor closed";
}
