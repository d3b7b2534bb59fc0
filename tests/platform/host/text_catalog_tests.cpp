#include "platform/host/TextCatalog.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace erphost;
using scadlav::Value;

TEST(TextCatalog, BuiltInCatalogIsWellFormedAndTranslated) {
    QStringList problems;
    const TextCatalog catalog = TextCatalog::fromFile(
        QStringLiteral(SCADLAV_SOURCE_DIR "/platform/host/resources/texts.tsv"), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(TextCatalog::builtIn().ids(), catalog.ids());
    // A translation that loses or adds a parameter would show a bare %n or drop a value.
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    const auto placeholders = [](const QString& text) {
        QSet<QString> found;
        for (auto match = placeholder.globalMatch(text); match.hasNext();)
            found.insert(match.next().captured());
        return found;
    };
    for (int id : catalog.ids()) {
        EXPECT_FALSE(catalog.rawText(id, Language::Italian).isEmpty()) << "text ID " << id;
        EXPECT_FALSE(catalog.rawText(id, Language::English).isEmpty()) << "text ID " << id;
        EXPECT_EQ(placeholders(catalog.rawText(id, Language::Italian)),
                  placeholders(catalog.rawText(id, Language::English)))
            << "text ID " << id;
    }
}

TEST(TextCatalog, ParametersLineBreaksMissingIdsAndMalformedLines) {
    const TextCatalog catalog = TextCatalog::fromText(
        QStringLiteral("# comment\n1\tUtente %1:\\n%2 %3\tUser %1:\\n%2 %3\n2\t100%\t100%\n"));
    EXPECT_EQ(catalog.text(1, Language::Italian, {Value(QStringLiteral("ROSSI")), Value(4)}),
              QStringLiteral("Utente ROSSI:\n4 %3"));
    EXPECT_EQ(catalog.text(2, Language::English), QStringLiteral("100%"));
    EXPECT_EQ(catalog.text(99999, Language::English), QStringLiteral("[x99999x] 99999"));

    // A line without English, an ID that is no number, an ID given twice: reported, not loaded.
    QStringList problems;
    const TextCatalog malformed = TextCatalog::fromText(
        QStringLiteral("10\tsolo italiano\nabc\tx\ty\n11\ta\tb\n11\tc\td\n"), &problems);
    EXPECT_EQ(problems.size(), 3);
    EXPECT_EQ(malformed.ids(), QList<int>{11});
    EXPECT_EQ(malformed.rawText(11, Language::Italian), QStringLiteral("a"));
}

namespace {

// The numbers the pattern captures in the sources of a folder.
QSet<int> idsIn(const char* folder, const QRegularExpression& pattern, QDirIterator::IteratorFlags flags) {
    QSet<int> ids;
    QDirIterator it(QStringLiteral(SCADLAV_SOURCE_DIR "/") + QLatin1String(folder),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, flags);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QString source = QString::fromUtf8(file.readAll());
        for (auto match = pattern.globalMatch(source); match.hasNext();)
            ids.insert(match.next().captured(1).toInt());
    }
    return ids;
}

} // namespace

// Every text ID the module's code passes to TraduzioneTesto or QRX_MSGBOX, every text constant of
// the host (kTextSomething = ID) and every text the control kit asks for by number must be in the
// host's catalog in both languages, or the user would see a bare marker.
TEST(TextCatalog, HoldsEveryTextIdTheModuleTheHostAndItsControlsUse) {
    // The ID is the second argument: after the text (a literal, possibly wrapped) comes a number.
    static const QRegularExpression call(QStringLiteral(
        R"((?:TraduzioneTesto|QRX_MSGBOX)\s*\(\s*(?:QStringLiteral\s*\()?\s*"(?:[^"\\]|\\.)*"\s*\)?\s*,\s*(\d+))"));
    static const QRegularExpression constant(QStringLiteral(R"(constexpr\s+int\s+kText\w+\s*=\s*(\d+)\s*;)"));
    static const QRegularExpression controlText(QStringLiteral(R"(controlText\(\s*(\d+))"));
    QSet<int> module;
    for (const char* folder : {"module", "schedule", "engine", "reminders", "proposals"})
        module += idsIn(folder, call, QDirIterator::Subdirectories);
    module.remove(0);
    const QSet<int> host = idsIn("platform/host", constant, QDirIterator::NoIteratorFlags);
    const QSet<int> controls = idsIn("platform/controls", controlText, QDirIterator::NoIteratorFlags);
    // The scans still find what they look for.
    ASSERT_GT(module.size(), 50);
    ASSERT_GT((host + controls).size(), 100);
    ASSERT_GT(controls.size(), 10);
    // BuiltInCatalogIsWellFormedAndTranslated holds every text of the catalog to both languages.
    const TextCatalog catalog = TextCatalog::builtIn();
    for (int id : module + host + controls)
        EXPECT_FALSE(catalog.rawText(id, Language::Italian).isEmpty()) << "text ID " << id << " is missing";
}
