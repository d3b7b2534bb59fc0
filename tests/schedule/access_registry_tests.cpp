#include "schedule/AccessRegistry.h"

#include "module/db/Recordset.h"
#include "module/services/IMessageService.h"
#include "module/services/RuntimeError.h"
#include "tests/schedule/ScheduleTestDatabase.h"

#include <QQueue>
#include <gtest/gtest.h>

using namespace scadlav;
using scadlav::testing::ScheduleTestDatabase;

namespace {

struct Message {
    QString text;
    std::int32_t id;
    std::int32_t buttons;
    QStringList parameters;
};

// The registry of user 7 on a fresh database, with the statements it runs and the messages it
// shows recorded, and the answers of its questions scripted.
class AccessRegistryTest : public ::testing::Test {
protected:
    AccessRegistryTest()
        : registry(
              [this](const QString& text, int options) {
                  statements << text;
                  if (beforeStatement)
                      beforeStatement(text);
                  return AccessRegistry::runnerFor(db.connection())(text, options);
              },
              7,
              [this](const QString& text, std::int32_t id, std::int32_t buttons, const Value& parameters) {
                  Message m{text, id, buttons, {}};
                  for (const Value& p : parameters.asArray())
                      m.parameters << p.toText();
                  messages << m;
                  return answers.isEmpty() ? msgbox::ResultOk : answers.dequeue();
              }) {}

    ScheduleTestDatabase db;
    QStringList statements;
    std::function<void(const QString&)> beforeStatement;
    QList<Message> messages;
    QQueue<std::int32_t> answers;
    AccessRegistry registry;
};

TEST_F(AccessRegistryTest, NobodyModifyingOrViewModeAskedGetsInWithoutQuestion) {
    // An empty registry, then others only viewing: in the mode asked.
    QString mode = "1";
    EXPECT_TRUE(registry.ControlloVisualizzazione(mode));
    EXPECT_EQ(db.registry(), QStringList{"7/0/1"});
    registry.RimuoviUtente();
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,0)");
    EXPECT_TRUE(registry.ControlloVisualizzazione(mode));
    EXPECT_EQ(mode, "1");

    // Somebody modifying, but view mode asked.
    registry.RimuoviUtente();
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(3,0,1)");
    mode = "0";
    EXPECT_TRUE(registry.ControlloVisualizzazione(mode));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(db.registry(), (QStringList{"2/0/0", "3/0/1", "7/0/0"}));
}

TEST_F(AccessRegistryTest, SomebodyInModificationModeAsksWhetherToViewOnly) {
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,1)");

    // No: refused.
    answers.enqueue(msgbox::ResultNo);
    QString mode = "1";
    EXPECT_FALSE(registry.ControlloVisualizzazione(mode));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].id, 78508);
    EXPECT_EQ(messages[0].buttons, msgbox::YesNo | msgbox::Information);
    // The name comes trimmed on the right.
    EXPECT_EQ(messages[0].parameters, QStringList{"Mario Rossi"});
    EXPECT_EQ(messages[0].text, "Impossibile accedere in modifica. Accesso in modifica effettuato "
                                "dall'utente Mario Rossi\r\nEseguire accesso in visualizzazione?");

    // Yes: view mode.
    answers.enqueue(msgbox::ResultYes);
    EXPECT_TRUE(registry.ControlloVisualizzazione(mode));
    EXPECT_EQ(mode, "0");
}

TEST_F(AccessRegistryTest, OnlyARebuildRowReturnedFirstKeepsViewersOut) {
    // The rebuilding user has the lower ID and was registered first: first in any order.
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,1,0)");
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(3,0,0)");
    QString mode = "0";
    EXPECT_FALSE(registry.ControlloVisualizzazione(mode));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].id, 78507);
    EXPECT_EQ(messages[0].buttons, msgbox::Information);
    EXPECT_EQ(messages[0].parameters, QStringList{"Mario Rossi"});
    EXPECT_EQ(db.registry(), (QStringList{"2/1/0", "3/0/0"}));

    // A rebuild row behind a viewer's row does not refuse.
    db.exec("DELETE FROM PD5D_ACCESSISCAD");
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,0)");
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(3,1,0)");
    EXPECT_TRUE(registry.ControlloVisualizzazione(mode));
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(AccessRegistryTest, RebuildRefusedWhileAnybodyIsRegisteredListingEveryNameAndRegisteredOtherwise) {
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,1)");
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(7,0,0)");
    const QStringList before = db.registry();

    EXPECT_FALSE(registry.ControlloRicalcolo());
    EXPECT_EQ(db.registry(), before);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].id, 78511);
    EXPECT_EQ(messages[0].buttons, msgbox::Information);
    ASSERT_EQ(messages[0].parameters.size(), 1);
    // Every registered user, the caller included, comma-separated with no blank.
    QStringList names = messages[0].parameters[0].split(QLatin1Char(','));
    names.sort();
    EXPECT_EQ(names, (QStringList{"Luca Ferrari", "Mario Rossi"}));
    // Nothing but the first query ran.
    EXPECT_EQ(statements.size(), 1);

    // Nobody left: the rebuild gets in and holds a rebuild row.
    db.exec("DELETE FROM PD5D_ACCESSISCAD");
    EXPECT_TRUE(registry.ControlloRicalcolo());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(db.registry(), QStringList{"7/1/0"});
}

TEST_F(AccessRegistryTest, SomebodyRegisteringDuringTheRebuildCheckMakesItBackOff) {
    // Another planner opens the schedule between the first query and the insert.
    beforeStatement = [this](const QString& text) {
        if (text.startsWith("INSERT"))
            db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(3,0,1)");
    };
    EXPECT_FALSE(registry.ControlloRicalcolo());
    EXPECT_EQ(db.registry(), QStringList{"3/0/1"});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].id, 78511);
    EXPECT_EQ(messages[0].parameters, QStringList{"Giulia Bianchi"});
}

TEST_F(AccessRegistryTest, AFailingStatementThrowsWithTheProviderText) {
    db.exec("DROP TABLE PD5D_ACCESSISCAD");
    QString mode = "1";
    try {
        registry.ControlloVisualizzazione(mode);
        ADD_FAILURE() << "no error";
    } catch (const RuntimeException& e) {
        EXPECT_TRUE(e.error().isSet());
        EXPECT_TRUE(e.error().description.contains("PD5D_ACCESSISCAD", Qt::CaseInsensitive))
            << e.error().description.toStdString();
    }
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
