#include "platform/host/CommandLine.h"
#include "platform/host/HostSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace erphost;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

// Command-line arguments written as one line.
QStringList args(const char* line) {
    return QString::fromUtf8(line).split(u' ');
}

} // namespace

TEST(HostSettings, ConfigFileFillsEverySetting) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("h.ini"),
                                   "[Database]\nConnectionString=\"Provider=tsqlite;Data Source=erp.db\"\n"
                                   "Server=srv\nName=ERP\nUser=sa\nPassword=pw\n"
                                   "[Session]\nCompany=3\nUserId=12\nUserName=rossi\nIdentity=ROSSI_PC\n"
                                   "Language=en\nSubcontractWarehouse=CL1\n"
                                   "[Window]\nCaption=Fasi\nModal=true\nState=2\n[Files]\nDataFolder=data\n");
    HostSettings s;
    EXPECT_TRUE(readConfigFile(path, s).isEmpty());
    EXPECT_EQ(s.connectionString, QStringLiteral("Provider=tsqlite;Data Source=erp.db"));
    EXPECT_EQ(s.company, 3);
    EXPECT_EQ(s.userId, 12);
    EXPECT_EQ(s.identity, QStringLiteral("ROSSI_PC"));
    EXPECT_EQ(s.language, Language::English);
    EXPECT_EQ(s.subcontractWarehouse, QStringLiteral("CL1"));
    EXPECT_EQ(s.connectionInfo.database, QStringLiteral("ERP"));
    EXPECT_TRUE(s.modal);
    EXPECT_EQ(s.windowState, 2);
    EXPECT_EQ(s.dataFolder, dir.filePath(QStringLiteral("data")));
    EXPECT_TRUE(validate(s).isEmpty());
}

TEST(HostSettings, BadValuesNameTheirSetting) {
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("bad.ini"),
                  "[Session]\nCompany=70000\nUserId=abc\nLanguage=fr\n[Window]\nModal=forse\n");
    HostSettings s;
    const QStringList problems = readConfigFile(path, s);
    ASSERT_EQ(problems.size(), 4);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("Session/Company")));
    EXPECT_TRUE(problems[1].contains(QStringLiteral("Session/UserId")));
    EXPECT_TRUE(problems[2].contains(QStringLiteral("Session/Language")));
    EXPECT_TRUE(problems[3].contains(QStringLiteral("Window/Modal")));
    EXPECT_EQ(s.company, 1); // the default stays
}

TEST(CommandLine, OptionsOverrideTheConfigAndReportMistakes) {
    CommandLine line;
    CommandLineRequest request;
    EXPECT_TRUE(
        line.parse(args("--config /x.ini --company=4 --user 9 --lang en --connect DSN=erp --quit-after 250"),
                   request)
            .isEmpty());
    EXPECT_EQ(request.configPath, QStringLiteral("/x.ini"));
    EXPECT_EQ(request.quitAfterMs, 250);
    HostSettings s;
    s.company = 1;
    EXPECT_TRUE(line.applySettings(s, request).isEmpty());
    EXPECT_EQ(s.company, 4);
    EXPECT_EQ(s.userId, 9);
    EXPECT_EQ(s.language, Language::English);
    EXPECT_EQ(s.connectionString, QStringLiteral("DSN=erp"));

    CommandLine bad;
    CommandLineRequest badRequest;
    const QStringList problems = bad.parse(args("--colour stray --help=yes --user -1 --company"), badRequest);
    EXPECT_EQ(problems.size(), 4); // unknown option, stray argument, value for a switch, missing value
    HostSettings t;
    const QStringList settingProblems = bad.applySettings(t, badRequest);
    ASSERT_EQ(settingProblems.size(), 1);
    EXPECT_TRUE(settingProblems[0].contains(QStringLiteral("--user")));
}

// The host's own texts follow --lang, else the config file's language, else Italian: from the
// first problem with the command line to the last with the settings.
TEST(CommandLine, TextsFollowTheLanguageAskedThenTheConfigFile) {
    QTemporaryDir dir;
    const QString english = writeFile(dir, QStringLiteral("en.ini"), "[Session]\nLanguage=EN\nCompany=abc\n");
    const QString none = dir.filePath(QStringLiteral("none.ini"));
    EXPECT_EQ(languageOfArguments(args("--config") << english), Language::English);
    EXPECT_EQ(languageOfArguments(QStringList{QStringLiteral("--config=") + english} + args("--lang it")),
              Language::Italian);
    // A --lang the host refuses leaves the choice to the file.
    EXPECT_EQ(languageOfArguments(args("--lang=fr --config") << english), Language::English);
    EXPECT_EQ(languageOfArguments((args("--config") << none) + args("--lang en")), Language::English);
    EXPECT_EQ(languageOfArguments(args("--config") << none), Language::Italian);

    // The file's own language writes its problems, unless the caller names one.
    HostSettings s;
    EXPECT_EQ(readConfigFile(english, s),
              QStringList{QStringLiteral("setting Session/Company in %1: 'abc' is not a whole number from 0 "
                                         "to 32767")
                              .arg(english)});
    HostSettings t;
    EXPECT_EQ(
        readConfigFile(english, t, Language::Italian),
        QStringList{QStringLiteral("impostazione Session/Company in %1: 'abc' non è un numero intero da "
                                   "0 a 32767")
                        .arg(english)});

    CommandLine italian(Language::Italian);
    CommandLineRequest request;
    EXPECT_EQ(italian.parse(args("--colour"), request),
              QStringList{QStringLiteral("opzione sconosciuta --colour")});
    EXPECT_TRUE(italian.usage().startsWith(QStringLiteral("Uso: erp-host [opzioni]")));
    CommandLine inEnglish(Language::English);
    EXPECT_EQ(inEnglish.parse(args("--colour"), request),
              QStringList{QStringLiteral("unknown option --colour")});
    EXPECT_TRUE(inEnglish.usage().startsWith(QStringLiteral("Usage: erp-host [options]")));
}

TEST(HostSettings, DefaultsFillIdentityAndCaption) {
    HostSettings s;
    s.userName = QStringLiteral("bianchi");
    fillDefaults(s);
    EXPECT_TRUE(s.identity.startsWith(QStringLiteral("bianchi_")));
    EXPECT_FALSE(s.caption.isEmpty());
}
