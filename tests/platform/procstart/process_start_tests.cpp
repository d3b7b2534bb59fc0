// A process's start time tells a live owner from a later process with the same pid: it must be
// read past a command name holding blanks and parentheses, and a process that ended (gone, or a
// zombie not yet collected) has none.
#include "platform/procstart/ProcessStart.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

TEST(ProcessStart, ReadPastAnOddCommandNameAndNoneOnceEnded) {
    const std::int64_t own = procstart::startTicks(::getpid());
    EXPECT_GT(own, 0);
    EXPECT_EQ(procstart::startTicks(::getpid()), own);

    // A command name with blanks and a closing parenthesis, as /proc shows it between brackets.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString oddName = dir.filePath(QStringLiteral("x) 1 2 (y"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), oddName));
    QProcess odd;
    odd.start(oddName, {QStringLiteral("30")});
    ASSERT_TRUE(odd.waitForStarted(10000));
    const std::int64_t oddStart = procstart::startTicks(odd.processId());
    EXPECT_GE(oddStart, own);
    odd.kill();
    odd.waitForFinished(10000);
    EXPECT_EQ(procstart::startTicks(odd.processId()), -1);

    // A child that ended and is not collected yet is a zombie: ended all the same.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    int status = 0;
    for (int i = 0; i < 500 && procstart::startTicks(child) != -1; ++i)
        ::usleep(10000);
    EXPECT_EQ(procstart::startTicks(child), -1);
    ASSERT_EQ(::waitpid(child, &status, 0), child); // collected only now
}
