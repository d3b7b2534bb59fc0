// The simple controls: code combo, menu button, check list, flag check box, date field,
// image list and split pane.
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/CodeField.h"
#include "platform/controls/DateField.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace erpctl;

TEST(CodeCombo, ShowsCaptionsAndReadsCodes) {
    CodeCombo combo;
    QSignalSpy changes(&combo, &CodeCombo::codeChanged);
    EXPECT_TRUE(combo.addItem("0", "Tutte"));
    EXPECT_TRUE(combo.addItem("1", "Interne"));
    EXPECT_TRUE(combo.addItem("2", "Esterne"));
    EXPECT_FALSE(combo.addItem("1", "Doppione"));
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.text(), "0"); // the first item is chosen when added
    EXPECT_TRUE(combo.setText("2"));
    EXPECT_EQ(combo.currentText(), "Esterne");
    EXPECT_FALSE(combo.setText("7"));
    EXPECT_EQ(combo.text(), "2");
    ASSERT_GE(changes.count(), 2);
    EXPECT_EQ(changes.last().at(0).toString(), "2");
    combo.clear();
    EXPECT_EQ(combo.text(), "");
}

TEST(MenuButton, ItemsNeedAUniqueKeyAndAnEmptyMenuIsAPlainButton) {
    MenuButton button;
    button.setCaption("Funz.Coll.");
    QSignalSpy clicks(&button, &MenuButton::itemClicked);
    EXPECT_TRUE(button.addItem("Impegnato cliente", "KEY_IMP"));
    EXPECT_TRUE(button.addItem("Proposte C/Lav.", "KEY_PROP"));
    EXPECT_FALSE(button.addItem("Again", "KEY_IMP"));
    EXPECT_FALSE(button.addItem("No key", ""));
    EXPECT_EQ(button.itemKeys(), QStringList({"KEY_IMP", "KEY_PROP"}));
    EXPECT_EQ(button.itemCaption("KEY_PROP"), "Proposte C/Lav.");
    EXPECT_FALSE(button.triggerItem("KEY_SOLL"));
    EXPECT_TRUE(clicks.isEmpty());
    EXPECT_EQ(button.popupMode(), QToolButton::InstantPopup);

    // Without items the button is a plain button again.
    button.clearItems();
    EXPECT_EQ(button.itemCount(), 0);
    EXPECT_EQ(button.menu(), nullptr);
    QSignalSpy plain(&button, &QToolButton::clicked);
    button.click();
    EXPECT_EQ(plain.count(), 1);
}

TEST(CheckList, KeysCaptionsAndTicksInListOrder) {
    CheckList list;
    EXPECT_TRUE(list.addItem("K0", "Emesso"));
    EXPECT_TRUE(list.addItem("K1", "Confermato", true));
    EXPECT_TRUE(list.addItem("K2", "Lanciato"));
    EXPECT_FALSE(list.addItem("K1", "Doppione"));
    EXPECT_EQ(list.checkedKeys(), QStringList({"K1"}));
    QSignalSpy changes(&list, &CheckList::itemCheckChanged);
    list.setAllChecked(true);
    EXPECT_EQ(list.checkedKeys(), QStringList({"K0", "K1", "K2"}));
    EXPECT_TRUE(list.setChecked("K1", false));
    EXPECT_FALSE(list.setChecked("K9", true));
    EXPECT_EQ(list.checkedKeys(), QStringList({"K0", "K2"}));
    EXPECT_FALSE(list.isChecked("K1"));
    EXPECT_EQ(list.caption("K2"), "Lanciato");
    EXPECT_EQ(changes.last().at(0).toString(), "K1");
    EXPECT_FALSE(changes.last().at(1).toBool());
}

TEST(FlagCheckBox, ReadsAndWritesZeroOrOne) {
    FlagCheckBox box("Modifica");
    EXPECT_EQ(box.valueText(), "0");
    EXPECT_TRUE(box.setValueText("1"));
    EXPECT_TRUE(box.isChecked());
    EXPECT_FALSE(box.setValueText("maybe"));
    EXPECT_EQ(box.valueText(), "1");
    EXPECT_TRUE(box.setValueText("0"));
    EXPECT_EQ(box.valueText(), "0");
}

TEST(DateField, AcceptsDatesFlagsNonDatesAndMayBeEmpty) {
    DateField field;
    QSignalSpy invalid(&field, &DateField::invalidDate);
    QSignalSpy dates(&field, &DateField::dateChanged);
    EXPECT_TRUE(field.isEmpty());
    EXPECT_TRUE(field.isValid());
    field.setText("2026-06-05");
    EXPECT_EQ(field.text(), "05/06/2026");
    EXPECT_EQ(field.date(), QDate(2026, 6, 5));
    field.setText("31/02/2026");
    EXPECT_EQ(field.text(), "31/02/2026"); // kept for the user to correct
    EXPECT_FALSE(field.isValid());
    EXPECT_FALSE(field.date().isValid());
    ASSERT_EQ(invalid.count(), 1);
    EXPECT_TRUE(invalid.at(0).at(0).toString().contains("31/02/2026"));
    field.clear();
    EXPECT_TRUE(field.isValid());
    EXPECT_EQ(field.text(), "");
    field.setDate(QDate(2026, 2, 28));
    EXPECT_EQ(field.text(), "28/02/2026");
    EXPECT_EQ(dates.last().at(0).toDate(), QDate(2026, 2, 28));

    // Typed and confirmed by the user: shown the one way.
    field.lineEdit()->setText("1.3.26");
    emit field.lineEdit()->editingFinished();
    EXPECT_EQ(field.text(), "01/03/2026");
}

TEST(ImageList, StatusLightsByIndexKeyAndTag) {
    ImageList images;
    images.addStatusImages();
    ASSERT_EQ(images.count(), 5);
    const QStringList keys = {"VERDE", "GIALLO", "ROSSO", "GRIGIO", "ROSA"};
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(images.key(i), keys[i - 1]);
        EXPECT_EQ(images.tag(i), QString::number(i));
        EXPECT_FALSE(images.icon(i).isNull());
    }
    EXPECT_TRUE(images.icon(0).isNull());
    EXPECT_TRUE(images.icon(6).isNull());
    EXPECT_EQ(images.indexOf("rosso"), 3);
    EXPECT_FALSE(images.addImage("VERDE", "9", QIcon()));
    const QColor green = images.icon("VERDE").pixmap(16, 16).toImage().pixelColor(8, 8);
    EXPECT_GT(green.green(), green.red() + 40);
    const QColor yellow = images.icon(2).pixmap(16, 16).toImage().pixelColor(8, 8);
    EXPECT_GT(yellow.red(), yellow.blue() + 80);
    EXPECT_GT(yellow.green(), yellow.blue() + 80);
}

TEST(SplitPane, SplitsByPercentAndGivesThePanesBack) {
    QWidget frame;
    frame.resize(400, 400);
    auto* top = new QWidget(&frame);
    auto* bottom = new QWidget(&frame);
    bottom->hide();
    auto* split = new SplitPane(&frame);
    split->setGeometry(0, 0, 400, 306);
    frame.show();
    split->setPanes(top, bottom);
    split->setSplitPercent(70);
    const QList<int> sizes = split->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_NEAR(100.0 * sizes[0] / (sizes[0] + sizes[1]), 70.0, 2.0);
    EXPECT_EQ(split->splitPercent(), 70);
    EXPECT_TRUE(bottom->isVisible());

    split->clearPanes();
    EXPECT_EQ(split->count(), 0);
    EXPECT_EQ(top->parentWidget(), &frame);
    EXPECT_EQ(bottom->parentWidget(), &frame);
    EXPECT_FALSE(bottom->isVisibleTo(&frame)); // hidden before, hidden again
    EXPECT_TRUE(top->isVisibleTo(&frame));
    EXPECT_EQ(split->firstPane(), nullptr);
}

TEST(CodeField, LookupPicksDecodesAndReportsChangedCodes) {
    CodeField code;
    QLineEdit description;
    code.setDescriptionField(&description);
    code.setUpperCase(true);
    QStringList changes;
    QObject::connect(&code, &CodeField::codeChanged, [&](const QString& c) { changes << c; });
    QObject::connect(&code, &CodeField::StartLookup, [](LookupRequest& request) {
        request.lookupName = "TESTI_FISSI";
        request.pickedCode = "tf01";
    });
    QObject::connect(&code, &CodeField::StartDecode, [](DecodeRequest& request) {
        request.fromDescription = request.fromValue == "TF01" ? "Sollecito cortese" : "";
    });

    QKeyEvent f4(QEvent::KeyPress, Qt::Key_F4, Qt::NoModifier);
    QCoreApplication::sendEvent(&code, &f4);
    EXPECT_EQ(code.text(), "TF01");
    EXPECT_EQ(code.lookupName(), "TESTI_FISSI");
    EXPECT_EQ(description.text(), "Sollecito cortese");
    EXPECT_EQ(changes, QStringList({"TF01"}));

    code.setCode("TF01 "); // the same code again: nothing to tell
    EXPECT_EQ(changes.size(), 1);
    code.setCode("");
    EXPECT_EQ(changes.last(), "");
    EXPECT_EQ(description.text(), "Sollecito cortese");
    code.setCode("xx");
    EXPECT_EQ(code.text(), "XX");
    EXPECT_EQ(description.text(), "");
}
