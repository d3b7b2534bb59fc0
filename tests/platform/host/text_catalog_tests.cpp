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
    EXPECT_GT(catalog.ids().size(), 100);
    EXPECT_EQ(catalog.rawText(58728, Language::Italian), QStringLiteral("Tutte"));
    EXPECT_EQ(catalog.rawText(58728, Language::English), QStringLiteral("All"));
    EXPECT_EQ(catalog.rawText(52385, Language::Italian), QStringLiteral("Sì"));
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

TEST(TextCatalog, ParametersLineBreaksAndMissingIds) {
    const TextCatalog catalog = TextCatalog::fromText(
        QStringLiteral("# comment\n1\tUtente %1:\\n%2 %3\tUser %1:\\n%2 %3\n2\t100%\t100%\n"));
    EXPECT_EQ(catalog.text(1, Language::Italian, {Value(QStringLiteral("ROSSI")), Value(4)}),
              QStringLiteral("Utente ROSSI:\n4 %3"));
    EXPECT_EQ(catalog.text(2, Language::English), QStringLiteral("100%"));
    EXPECT_EQ(catalog.text(99999, Language::English), QStringLiteral("[x99999x] 99999"));
}

TEST(TextCatalog, MalformedLinesAreReportedNotLoaded) {
    QStringList problems;
    const TextCatalog catalog = TextCatalog::fromText(
        QStringLiteral("10\tsolo italiano\nabc\tx\ty\n11\ta\tb\n11\tc\td\n"), &problems);
    EXPECT_EQ(problems.size(), 3);
    EXPECT_EQ(catalog.ids(), QList<int>{11});
    EXPECT_EQ(catalog.rawText(11, Language::Italian), QStringLiteral("a"));
}

namespace {

// The numbers the pattern captures in the sources of a folder; counts the files read.
QSet<int> idsIn(const char* folder, const QRegularExpression& pattern, QDirIterator::IteratorFlags flags,
                int* files = nullptr) {
    QSet<int> ids;
    QDirIterator it(QStringLiteral(SCADLAV_SOURCE_DIR "/") + QLatin1String(folder),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, flags);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        if (files)
            ++*files;
        const QString source = QString::fromUtf8(file.readAll());
        for (auto match = pattern.globalMatch(source); match.hasNext();)
            ids.insert(match.next().captured(1).toInt());
    }
    return ids;
}

void expectInBothLanguages(const QSet<int>& ids) {
    const TextCatalog catalog = TextCatalog::builtIn();
    for (int id : ids) {
        EXPECT_FALSE(catalog.rawText(id, Language::Italian).isEmpty())
            << "text ID " << id << " has no Italian text";
        EXPECT_FALSE(catalog.rawText(id, Language::English).isEmpty())
            << "text ID " << id << " has no English text";
    }
}

} // namespace

// Every text ID the module's code passes to TraduzioneTesto or QRX_MSGBOX must be in the host's
// catalog in both languages, or the user would see a bare marker.
TEST(TextCatalog, HoldsEveryTextIdTheModuleUses) {
    // The ID is the second argument: after the text (a literal, possibly wrapped) comes a number.
    static const QRegularExpression call(QStringLiteral(
        R"((?:TraduzioneTesto|QRX_MSGBOX)\s*\(\s*(?:QStringLiteral\s*\()?\s*"(?:[^"\\]|\\.)*"\s*\)?\s*,\s*(\d+))"));
    QSet<int> used;
    int filesScanned = 0;
    for (const char* folder : {"module", "schedule", "engine", "reminders", "proposals"})
        used += idsIn(folder, call, QDirIterator::Subdirectories, &filesScanned);
    ASSERT_GT(filesScanned, 0);
    used.remove(0);
    expectInBothLanguages(used);
}

// The host names its own texts by constants (kTextSomething = ID, one per text); each must be in
// the catalog in both languages, or a batch job or the command line would print a bare marker.
TEST(TextCatalog, HoldsEveryTextIdTheHostAndItsControlsUse) {
    static const QRegularExpression constant(QStringLiteral(R"(constexpr\s+int\s+kText\w+\s*=\s*(\d+)\s*;)"));
    // The control kit's texts are asked for by number where they are shown.
    static const QRegularExpression controlText(QStringLiteral(R"(controlText\(\s*(\d+))"));
    const QSet<int> host = idsIn("platform/host", constant, QDirIterator::NoIteratorFlags);
    const QSet<int> controls = idsIn("platform/controls", controlText, QDirIterator::NoIteratorFlags);
    const QSet<int> used = host + controls;
    ASSERT_GT(used.size(), 100) << "the scan no longer finds the host's text constants";
    ASSERT_GT(controls.size(), 10) << "the scan no longer finds the control kit's texts";
    expectInBothLanguages(used);
}
