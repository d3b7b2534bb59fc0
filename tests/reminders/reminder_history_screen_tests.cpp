// "Storico solleciti" of the schedule screen on rows without a supplier: a message, no list.
// The list of the current row's supplier is walked in the demo round (reminder_demo_tests).
#include "tests/schedule/query_fixture.h"

#include "platform/controls/MenuButton.h"

#include <QApplication>
#include <QTimer>

namespace scadlav::testing {
namespace {

// Without a supplier: none at all, or the 0 a department's row carries.
TEST_F(QueryScreenTest, ReminderHistoryOfARowWithoutASupplierSaysSo) {
    addPhase({.key = QStringLiteral("B")});
    addPhase({.key = QStringLiteral("C"), .numreg = QStringLiteral("R2"), .numdoc = 2});
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_CLIFOR_CG44 = 0 WHERE PD5C_KEYGRID = 'C'"));
    open()->results().CMD_ELABORA_ButtonClick();
    // Were a list opened all the same, it is closed so that the test ends.
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    for (int row : {0, 1}) {
        screen->controls().GRID_ORD->setCurrentRow(row);
        screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_STSOLL"));
    }
    EXPECT_EQ(boxIds(), (QList<int>{91032, 91032}));
}

} // namespace
} // namespace scadlav::testing
