// Files the host writes: a failed write (a full disk, here a file-size limit) never costs the
// previous file, and is reported.
#include "module/value/SafeFile.h"
#include "platform/host/LayoutStore.h"
#include "platform/host/LineLog.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(SafeFile, AFailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.csv"));
    QString error;
    ASSERT_TRUE(scadlav::writeFileSafely(path, "old,good\r\n", &error)) << error.toStdString();
    {
        const scadlav::testing::FileSizeLimit limit(4096);
        EXPECT_FALSE(scadlav::writeFileSafely(path, QByteArray(1 << 20, 'x'), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contentOf(path), QByteArray("old,good\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("export.csv")});

    ASSERT_TRUE(scadlav::writeFileSafely(path, "new\r\n", &error)) << error.toStdString();
    EXPECT_EQ(contentOf(path), QByteArray("new\r\n"));

    // A device is written in place, and its errors come back the same way.
    error.clear();
    EXPECT_FALSE(scadlav::writeFileSafely(QStringLiteral("/dev/full"), "row\r\n", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(SafeFile, LayoutsAreKeptPerUserAndKeyAndSurviveAFailedStore) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("layouts"));
    erphost::LayoutStore store(folder);
    {
        // Layouts of the older INI file are read and carried over.
        QSettings ini(dir.filePath(QStringLiteral("layouts/layouts-7.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("layouts/Form%2Fstampa%20solleciti"), QByteArray("s"));
    }
    const QString form = QStringLiteral("Form/stampa solleciti");
    EXPECT_EQ(store.restoreLayout(7, form).value_or(QByteArray()), "s");
    ASSERT_TRUE(store.storeLayout(7, QStringLiteral("GRID_ORD"), QByteArray("a\0b", 3)));
    ASSERT_TRUE(store.storeLayout(8, QStringLiteral("GRID_ORD"), "other"));
    const QByteArray before = contentOf(store.fileFor(7));
    {
        const scadlav::testing::FileSizeLimit limit(before.size() + 100);
        EXPECT_FALSE(store.storeLayout(7, QStringLiteral("GRID_DETT"), QByteArray(64 * 1024, 'w')));
    }
    EXPECT_EQ(contentOf(store.fileFor(7)), before);

    // A store opened later reads every user's own layouts back, the carried-over one too.
    const erphost::LayoutStore reopened(folder);
    EXPECT_EQ(reopened.restoreLayout(7, QStringLiteral("GRID_ORD")).value_or(QByteArray()),
              QByteArray("a\0b", 3));
    EXPECT_EQ(reopened.restoreLayout(7, form).value_or(QByteArray()), "s");
    EXPECT_EQ(reopened.restoreLayout(8, QStringLiteral("GRID_ORD")).value_or(QByteArray()), "other");
    EXPECT_FALSE(reopened.restoreLayout(9, QStringLiteral("GRID_ORD")).has_value());
}

TEST(SafeFile, ALogLineThatCannotBeAppendedIsReported) {
    QStringList reported;
    erphost::LineLog::setFailureReporter([&reported](const QString& path, const QString& reason) {
        reported << path + QStringLiteral(": ") + reason;
    });
    EXPECT_FALSE(erphost::LineLog(QStringLiteral("/dev/full"))
                     .append({QStringLiteral("2026-03-15"), QStringLiteral("x")}));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported.first().startsWith(QStringLiteral("/dev/full: "))) << reported.first().toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logs/usage.log"));
    EXPECT_TRUE(erphost::LineLog(path).append({QStringLiteral("a\tb"), QStringLiteral("c")}));
    EXPECT_EQ(contentOf(path), QByteArray("a b\tc\n"));
    EXPECT_EQ(reported.size(), 1);
    erphost::LineLog::setFailureReporter(nullptr);
}
