// The host's desktop: the frame the module's screen lives in, the progress indicator of its
// status bar, and the session's language for formats and Qt's own texts.
#include "platform/controls/ControlTexts.h"
#include "platform/host/HostWindow.h"
#include "platform/host/SessionLanguage.h"
#include "platform/host/StatusBar.h"
#include "platform/host/TextCatalog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QStackedWidget>
#include <QStatusBar>
#include <gtest/gtest.h>

using namespace erphost;

namespace {

// Restores the machine's locale, Qt's texts and the control kit's texts after a test.
class SessionLanguageTest : public ::testing::Test {
protected:
    void TearDown() override {
        QLocale::setDefault(m_machine);
        applySessionLanguage(Language::English, catalog); // drops Qt's Italian texts
        erpctl::setTextSource({});
    }
    const TextCatalog catalog = TextCatalog::builtIn();

private:
    QLocale m_machine;
};

} // namespace

TEST(HostFrame, TheScreenLivesInTheWindowAndLeavesItWhenClosed) {
    const HostSettings settings;
    HostWindow window(settings);
    auto* screen = new QDialog;
    screen->setWindowTitle(QStringLiteral("Situazione fasi di lavorazione"));
    screen->resize(900, 600);
    ASSERT_TRUE(window.embedScreen(screen));
    screen->show();
    window.show();

    EXPECT_EQ(screen->window(), &window);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Situazione fasi di lavorazione"));
    EXPECT_GE(window.width(), 900);
    EXPECT_GE(window.height(), 600);
    screen->setWindowTitle(QStringLiteral("Altro titolo"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Altro titolo"));

    // Closing the screen (a dialog hides when done) shows who is working again.
    screen->reject();
    auto* area = window.findChild<QStackedWidget*>(QStringLiteral("ModuleArea"));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->currentWidget()->objectName(), QStringLiteral("LBL_SESSION"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("erp-host"));
    screen->show();
    EXPECT_EQ(area->currentWidget(), screen);
    delete screen;
    EXPECT_EQ(window.embeddedScreen(), nullptr);
    EXPECT_EQ(area->currentWidget()->objectName(), QStringLiteral("LBL_SESSION"));
}

TEST_F(SessionLanguageTest, ProgressShowsStepTimeAndRowsInTheSessionLanguage) {
    applySessionLanguage(Language::Italian, catalog);
    QStatusBar bar;
    StatusBar status(&bar);
    EXPECT_FALSE(status.progressShown());
    status.setPanelText(2, QStringLiteral("Estrazione documenti ......"));
    status.setProgress(3, 10, 1234, 5000);
    EXPECT_TRUE(status.progressShown());
    EXPECT_EQ(status.progressText(), QStringLiteral("Passo 3 di 10 · 00:00 · 1.234 di 5.000 righe"));
    EXPECT_EQ(status.panelText(2), QStringLiteral("Estrazione documenti ......"));
    status.setProgress(4, 10);
    EXPECT_EQ(status.progressText(), QStringLiteral("Passo 4 di 10 · 00:00"));
    status.endProgress();
    EXPECT_FALSE(status.progressShown());

    // A wait for another session's lock takes panel 2 and the pointer, and gives both back.
    status.showLockWait(QStringLiteral("In attesa"));
    status.showLockWait(QStringLiteral("In attesa")); // told twice, undone once
    EXPECT_EQ(status.panelText(2), QStringLiteral("In attesa"));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    status.endLockWait();
    EXPECT_EQ(status.panelText(2), QStringLiteral("Estrazione documenti ......"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    applySessionLanguage(Language::English, catalog);
    status.setProgress(11, 10, 1234, -1); // a step past the end is shown as the last
    EXPECT_EQ(status.progressText(), QStringLiteral("Step 10 of 10 · 00:00 · 1,234 rows"));
}

TEST_F(SessionLanguageTest, FormatsAndQtTextsFollowTheSessionNotTheMachine) {
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(applySessionLanguage(Language::Italian, catalog), QString());
    const QLocale italian;
    EXPECT_EQ(italian.toString(1234.56, 'f', 2), QStringLiteral("1.234,56"));
    EXPECT_EQ(erpctl::controlText(91423, QStringLiteral("Cerca...")), QStringLiteral("Cerca..."));
    // Qt's own buttons come from the distribution's translation.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Sì"));

    EXPECT_EQ(applySessionLanguage(Language::English, catalog), QString());
    const QLocale english;
    EXPECT_EQ(english.toString(1234.56, 'f', 2), QStringLiteral("1,234.56"));
    EXPECT_EQ(erpctl::controlText(91423, QStringLiteral("Cerca...")), QStringLiteral("Search..."));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
}
