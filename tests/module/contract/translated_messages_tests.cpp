#include "module/contract/TranslatedMessages.h"

#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/services/ClassNames.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/RecordingFallback.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace scadlav;
using namespace scadlav::doubles;

namespace {

class ThrowingMessageService : public IMessageService {
public:
    int messageBox(const QString&, int, const QString&, IHostObject*) override {
        throw std::runtime_error("down");
    }
    int messageBoxById(int, int, const QString&, const QList<Value>&) override {
        throw std::runtime_error("down");
    }
    QString textById(int, const QList<Value>&) override { throw std::runtime_error("down"); }
};

class TranslatedMessagesTest : public ::testing::Test {
protected:
    TranslatedMessagesTest() : runtime(&factory) {
        factory.registerClass(classnames::FallbackTranslation, [this] {
            auto fallback = std::make_unique<RecordingFallback>();
            fallback->calls = &fallbackCalls;
            fallback->answer = fallbackAnswer;
            return fallback;
        });
    }

    // The module reference every message goes through: a module class with the fake context.
    void connectHost() {
        module.Cinterface_SetClsGlobal(&global);
        global.messages = &service;
    }

    int fallbackCreations() const { return factory.requestCount(classnames::FallbackTranslation); }

    FakeObjectFactory factory;
    ScopedHostRuntime runtime;
    QList<RecordingFallback::Call> fallbackCalls;
    Value fallbackAnswer = Value(1);
    ScriptedMessageService service;
    FakeGlobalContext global;
    CLSPD_KVB_SCADLAV module;
    TranslatedMessages messages{[this] { return static_cast<Cinterface*>(&module); }};
};

} // namespace

TEST_F(TranslatedMessagesTest, WithoutHostTheTextCarriesItsIdMarker) {
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("Tutte"), 58728), QStringLiteral("[x58728x] Tutte"));
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("Tutte"), 0), QStringLiteral("Tutte"));
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("Tutte"), -3), QStringLiteral("Tutte"));
    // Preparing the stand-by box does not show anything.
    EXPECT_TRUE(fallbackCalls.isEmpty());
}

TEST_F(TranslatedMessagesTest, SqlUseDoublesQuotesOfTheFinalText) {
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("l'utente"), 0, Value(), 1),
              QStringLiteral("l''utente"));
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("l'utente"), 0, Value(), 0),
              QStringLiteral("l'utente"));
    connectHost();
    service.texts[900] = QStringLiteral("dell'ordine");
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("x"), 900, Value(), 1), QStringLiteral("dell''ordine"));
}

TEST_F(TranslatedMessagesTest, HostTextReplacesTheDefaultAndGetsOnlyArrayParameters) {
    connectHost();
    const QList<Value> params{Value(QStringLiteral("ROSSI")), Value(3)};
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("ignorato"), 78507, Value(params)),
              QStringLiteral("T78507|ROSSI|3"));
    messages.TraduzioneTesto(QStringLiteral("ignorato"), 78507, Value(QStringLiteral("ROSSI")));
    ASSERT_EQ(service.records.size(), 2);
    EXPECT_EQ(service.records[0].parameters, params);
    EXPECT_TRUE(service.records[1].parameters.isEmpty());
    EXPECT_EQ(fallbackCreations(), 0);
}

TEST_F(TranslatedMessagesTest, MessageBoxShowsLiteralTextOnlyWithoutId) {
    connectHost();
    service.answerNext(msgbox::ResultNo);
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("Errore 5"), 0, 16, QStringLiteral("Titolo")),
              msgbox::ResultNo);
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("qualsiasi"), 500, 4 + 32, QStringLiteral("T"),
                                  Value(QList<Value>{Value(1)})),
              msgbox::ResultOk);
    const auto boxes = service.boxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].call, ScriptedMessageService::Call::Literal);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Errore 5"));
    EXPECT_EQ(boxes[0].flags, 16);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Titolo"));
    EXPECT_EQ(boxes[1].call, ScriptedMessageService::Call::ById);
    EXPECT_EQ(boxes[1].textId, 500);
    EXPECT_EQ(boxes[1].text, QStringLiteral("T500|1")); // the host's text, not testo
    EXPECT_EQ(boxes[1].flags, 36);
}

TEST_F(TranslatedMessagesTest, UnreachableServiceFallsBackWithTheMarker) {
    // Each link of the chain missing in turn: no global context, then no message service.
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("Pronto"), 45817, 64, QStringLiteral("Fasi")), 1);
    module.Cinterface_SetClsGlobal(&global);
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("Testo libero"), 0, 48, QStringLiteral("Fasi")), 1);
    ASSERT_EQ(fallbackCalls.size(), 2);
    EXPECT_EQ(fallbackCalls[0].text, QStringLiteral("[x45817x] Pronto"));
    EXPECT_EQ(fallbackCalls[0].flags, 64);
    EXPECT_EQ(fallbackCalls[0].title, QStringLiteral("Fasi"));
    EXPECT_EQ(fallbackCalls[1].text, QStringLiteral("[x0x] Testo libero"));
}

TEST_F(TranslatedMessagesTest, StandByBoxIsCreatedAtMostOncePerOwnerAndItsAnswerIsConvertedOrZero) {
    fallbackAnswer = Value(QStringLiteral("6"));
    messages.TraduzioneTesto(QStringLiteral("a"), 1);
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("b"), 2, 4, QString()), 6);
    messages.QRX_MSGBOX(QStringLiteral("c"), 0, 0, QString());
    EXPECT_EQ(fallbackCreations(), 1);
    EXPECT_TRUE(messages.holdsFallback());

    // Another owner has its own.
    fallbackAnswer = Value(QStringLiteral("si"));
    TranslatedMessages other{[] { return static_cast<Cinterface*>(nullptr); }};
    EXPECT_EQ(other.QRX_MSGBOX(QStringLiteral("d"), 3, 4, QString()), 0) << "an answer that is no number";
    EXPECT_EQ(fallbackCreations(), 2);

    messages.releaseFallback();
    EXPECT_FALSE(messages.holdsFallback());
}

TEST_F(TranslatedMessagesTest, FailuresNeverReachTheCaller) {
    ThrowingMessageService broken;
    module.Cinterface_SetClsGlobal(&global);
    global.messages = &broken;
    EXPECT_EQ(messages.QRX_MSGBOX(QStringLiteral("x"), 10, 0, QString()), 0);
    EXPECT_EQ(messages.TraduzioneTesto(QStringLiteral("x'y"), 10, Value(), 1), QStringLiteral("x'y"));

    // No object factory at all: nothing to show, still no failure.
    HostRuntime::setObjectFactory(nullptr);
    TranslatedMessages orphan{[] { return static_cast<Cinterface*>(nullptr); }};
    EXPECT_EQ(orphan.QRX_MSGBOX(QStringLiteral("x"), 0, 0, QString()), 0);
    EXPECT_EQ(orphan.TraduzioneTesto(QStringLiteral("x"), 4), QStringLiteral("[x4x] x"));
}

TEST_F(TranslatedMessagesTest, ModuleClassUsesItsActiveDll) {
    connectHost();
    EXPECT_EQ(module.TraduzioneTesto(QStringLiteral("Tutte"), 58728), QStringLiteral("T58728"));
    // With ActiveDll taken away the class no longer reaches the host.
    module.Cinterface_SetActiveDll(nullptr);
    EXPECT_EQ(module.TraduzioneTesto(QStringLiteral("Tutte"), 58728), QStringLiteral("[x58728x] Tutte"));
}
