// "Storico solleciti" of the schedule screen: the current row's supplier's reminders, or a
// message when the row has no supplier.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"

#include <QApplication>
#include <QTimer>

namespace scadlav::testing {
namespace {

TEST_F(QueryScreenTest, ReminderHistoryListsTheCurrentSuppliersReminders) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    PhaseRow b;
    b.key = QStringLiteral("B");
    b.line = 2;
    addPhase(b);
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_CLIFOR_CG44 = 601 WHERE PD5C_KEYGRID = 'A'"));
    for (const auto& [supplier, outcome] : {std::pair{601, 1}, {601, 3}, {602, 1}})
        exec(QStringLiteral("INSERT INTO PD5E_STORICOSOLL (PD5E_DITTA_CG18, PD5E_CLIFOR_CG44, PD5E_CANALE, "
                            "PD5E_DATAORA, PD5E_ESITO) VALUES (1, %1, 'mail', '2026-03-14 09:00:00', %2)")
                 .arg(supplier)
                 .arg(outcome));
    open();
    screen->results().CMD_ELABORA_ButtonClick();

    int rows = -1;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* grid = modal->findChild<erpctl::Grid*>(QStringLiteral("GRID_STORICO")))
                rows = grid->rowCount();
            modal->close();
        }
    });
    screen->controls().GRID_ORD->setCurrentRow(
        screen->controls().GRID_ORD->findRow(QStringLiteral("PD5C_KEYGRID"), "A"));
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_STSOLL"));
    EXPECT_EQ(rows, 2);

    screen->controls().GRID_ORD->setCurrentRow(
        screen->controls().GRID_ORD->findRow(QStringLiteral("PD5C_KEYGRID"), "B"));
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_STSOLL"));
    EXPECT_EQ(boxIds(), QList<int>{91032});
}

} // namespace
} // namespace scadlav::testing
