// One language on the schedule screen: with the host's catalog in Italian or in English, every
// text a visible control shows is a catalog text of that language (or data), from the first
// moment, after "Visualizza", with the detail and the customer orders open.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/FilterTable.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/host/TextCatalog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

// The catalog's texts of a language as patterns: "%1 rows" matches "5 rows".
QList<QRegularExpression> catalogPatterns(const erphost::TextCatalog& catalog, erphost::Language language) {
    QList<QRegularExpression> patterns;
    for (int id : catalog.ids()) {
        // Mnemonic marks are not read: "&Rebuild" shows as "Rebuild".
        QString pattern = QRegularExpression::escape(catalog.rawText(id, language).remove(QLatin1Char('&')));
        pattern.replace(QRegularExpression("\\\\?%[1-9]"), ".*");
        patterns << QRegularExpression(QStringLiteral("^") + pattern + "$",
                                       QRegularExpression::DotMatchesEverythingOption);
    }
    return patterns;
}

// Every text the visible controls under `root` show to the user, with the control's name.
QStringList shownTexts(QWidget* root) {
    QStringList texts;
    const auto add = [&texts](const QObject* owner, const QString& text) {
        QString plain = text;
        plain.remove(QLatin1Char('&'));
        if (!plain.trimmed().isEmpty())
            texts << owner->objectName() + QStringLiteral(": ") + plain;
    };
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || qobject_cast<erpctl::FilterTable*>(w->parentWidget()))
            continue;
        add(w, w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            add(w, label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            add(w, button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            add(w, group->title());
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            add(w, edit->placeholderText());
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                add(w, combo->itemText(i));
        }
        if (auto* menu = qobject_cast<erpctl::MenuButton*>(w)) {
            for (const QString& key : menu->itemKeys())
                add(w, menu->itemCaption(key));
        }
        if (auto* table = qobject_cast<QTableView*>(w)) {
            for (int c = 0; c < table->model()->columnCount(); ++c) {
                if (!table->isColumnHidden(c))
                    add(w, table->model()->headerData(c, Qt::Horizontal).toString());
            }
        }
    }
    return texts;
}

// Texts that are data, not words: dates, numbers, counts.
bool isData(const QString& text) {
    static const QRegularExpression data(QStringLiteral(R"(^[\d\s/.,:·-]*$)"));
    return data.match(text).hasMatch();
}

class LanguageTest : public QueryScreenTest, public ::testing::WithParamInterface<erphost::Language> {
protected:
    void SetUp() override {
        // The host's catalog in the session's language, for the module's texts and for the
        // control kit's.
        const erphost::Language language = GetParam();
        for (int id : catalog.ids())
            messages.texts.insert(id, catalog.rawText(id, language));
        erpctl::setTextSource([this, language](int id, const QString& italian) {
            const QString text = catalog.rawText(id, language);
            return text.isEmpty() ? italian : text;
        });
        patterns = catalogPatterns(catalog, language);
    }
    void TearDown() override { erpctl::setTextSource({}); }

    QStringList foreignTexts() {
        QStringList foreign;
        for (const QString& entry : shownTexts(screen)) {
            const QString text = entry.section(": ", 1);
            if (isData(text))
                continue;
            const bool known =
                std::any_of(patterns.begin(), patterns.end(),
                            [&text](const QRegularExpression& p) { return p.match(text).hasMatch(); });
            if (!known)
                foreign << entry;
        }
        return foreign;
    }

    const erphost::TextCatalog catalog = erphost::TextCatalog::builtIn();
    QList<QRegularExpression> patterns;
};

} // namespace

TEST_P(LanguageTest, EveryVisibleTextIsInTheCatalogFromTheFirstMomentToTheDetailAndTheOrders) {
    addPhase({.key = "A"});
    open();
    screen->show();
    EXPECT_EQ(foreignTexts(), QStringList()) << "parameter view";
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(foreignTexts(), QStringList()) << "result view";
    EXPECT_EQ(screen->controls().CMD_ELABORA->text(), catalog.rawText(43034, GetParam())); // "Parametri"

    screen->detail().CMD_DETT_Click();
    ASSERT_FALSE(screen->controls().GRID_DETT->isHidden());
    EXPECT_EQ(foreignTexts(), QStringList()) << "order detail";
    screen->controls().CMD_FUNZ->triggerItem("KEY_IMP");
    ASSERT_TRUE(screen->controls().FrameCLI->isVisibleTo(screen));
    EXPECT_EQ(foreignTexts(), QStringList()) << "customer orders";
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, LanguageTest,
                         ::testing::Values(erphost::Language::Italian, erphost::Language::English),
                         [](const ::testing::TestParamInfo<erphost::Language>& info) {
                             return info.param == erphost::Language::Italian ? "Italian" : "English";
                         });
