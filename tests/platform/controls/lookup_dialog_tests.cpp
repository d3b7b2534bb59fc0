// The list of values a lookup offers: search, current value, picked code.
#include "platform/controls/LookupDialog.h"

#include <QApplication>
#include <QStandardItemModel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace erpctl;

namespace {

std::unique_ptr<QStandardItemModel> families() {
    auto model = std::make_unique<QStandardItemModel>(0, 2);
    model->setHorizontalHeaderLabels({"MG53_CODICE", "MG53_DESCR"});
    const QList<std::pair<QString, QString>> rows = {
        {"F01 ", "Viteria"}, {"F02", "Bulloneria"}, {"X10", "Minuteria viti"}};
    for (const auto& [code, text] : rows)
        model->appendRow({new QStandardItem(code), new QStandardItem(text)});
    return model;
}

// Answers the next modal lookup dialog as soon as it is shown.
void answerNextDialog(bool accept) {
    QTimer::singleShot(0, [accept] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<LookupDialog*>(widget); dialog && dialog->isVisible()) {
                if (accept) {
                    dialog->selectRow(0);
                    dialog->accept();
                } else {
                    dialog->reject();
                }
            }
        }
    });
}

} // namespace

TEST(LookupDialog, SearchesEveryColumnAndPicksTheFirstColumnTrimmed) {
    auto model = families();
    LookupRequest request;
    request.title = "Famiglie";
    request.columns = {{"Codice", ""}, {"Descrizione", ""}};
    request.currentValue = "f02";
    LookupDialog dialog;
    dialog.setModel(model.get());
    dialog.setRequest(request);
    EXPECT_EQ(dialog.windowTitle(), "Famiglie");
    EXPECT_EQ(dialog.pickedCode(), "F02"); // starts on the current value
    dialog.setFilterText("VIT");
    EXPECT_EQ(dialog.visibleRowCount(), 2); // "Viteria" and "Minuteria viti"
    ASSERT_TRUE(dialog.selectRow(1));
    EXPECT_EQ(dialog.pickedCode(), "X10");
    EXPECT_FALSE(dialog.selectRow(2));
    dialog.setFilterText("nessuna");
    EXPECT_EQ(dialog.visibleRowCount(), 0);
    EXPECT_EQ(dialog.pickedCode(), "");
}

TEST(LookupDialog, ModalPickReturnsTheCodeOrNothingWhenCancelled) {
    auto model = families();
    LookupRequest request;
    QString code;
    answerNextDialog(true);
    EXPECT_TRUE(LookupDialog::pick(nullptr, request, model.get(), code));
    EXPECT_EQ(code, "F01");

    code.clear();
    answerNextDialog(false);
    EXPECT_FALSE(LookupDialog::pick(nullptr, request, model.get(), code));
    EXPECT_EQ(code, "");
}
