#include "platform/host/HostSettings.h"

#include "platform/host/CommandLine.h"
#include "platform/host/TextCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

namespace erphost {

QString HostSettings::effectiveDataFolder() const {
    if (!dataFolder.isEmpty())
        return dataFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/erp-host");
}

QString HostSettings::errorLogPath() const {
    return effectiveDataFolder() + QStringLiteral("/errors.log");
}

QString HostSettings::usageLogPath() const {
    return effectiveDataFolder() + QStringLiteral("/usage.log");
}

QString HostSettings::layoutFolder() const {
    return effectiveDataFolder() + QStringLiteral("/layouts");
}

QString defaultConfigPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/erp-host/erp-host.ini");
}

std::optional<std::int16_t> parseSmallInt(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 32767)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

namespace {

constexpr int kTextConfigMissing = 92030;
constexpr int kTextConfigUnreadable = 92031;
constexpr int kTextConfigNotIni = 92032;
constexpr int kTextSettingNotSmallInt = 92033;
constexpr int kTextSettingLanguage = 92034;
constexpr int kTextSettingModal = 92035;
constexpr int kTextNoConnectionString = 92036;
constexpr int kTextSettingWindowState = 92037;

std::optional<bool> parseBool(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("yes"))
        return true;
    if (t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no") || t.isEmpty())
        return false;
    return std::nullopt;
}

} // namespace

std::optional<Language> parseLanguage(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("it"))
        return Language::Italian;
    if (t == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

QStringList readConfigFile(const QString& path, HostSettings& s, std::optional<Language> textLanguage) {
    QStringList problems;
    Language language = textLanguage.value_or(s.language);
    const QFileInfo info(path);
    if (!info.exists())
        return {hostText(kTextConfigMissing, language, {path})};
    if (!info.isFile() || !info.isReadable())
        return {hostText(kTextConfigUnreadable, language, {path})};

    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return {hostText(kTextConfigNotIni, language, {path})};
    std::optional<Language> fileLanguage;
    if (ini.contains(QStringLiteral("Session/Language")))
        fileLanguage = parseLanguage(ini.value(QStringLiteral("Session/Language")).toString());
    if (!textLanguage && fileLanguage)
        language = *fileLanguage;

    auto text = [&](const char* key, QString& target) {
        const QString k = QString::fromLatin1(key);
        if (ini.contains(k))
            target = ini.value(k).toString();
    };
    auto smallInt = [&](const char* key, std::int16_t& target) {
        const QString k = QString::fromLatin1(key);
        if (!ini.contains(k))
            return;
        const QString value = ini.value(k).toString();
        if (std::optional<std::int16_t> n = parseSmallInt(value))
            target = *n;
        else
            problems << hostText(kTextSettingNotSmallInt, language, {k, path, quotedValue(value)});
    };

    text("Database/ConnectionString", s.connectionString);
    if (ini.contains(QStringLiteral("Database/ConnectionString")))
        s.connectionStringGiven = true;
    text("Database/Server", s.connectionInfo.server);
    text("Database/Name", s.connectionInfo.database);
    text("Database/User", s.connectionInfo.user);
    text("Database/Password", s.connectionInfo.password);
    smallInt("Session/Company", s.company);
    smallInt("Session/UserId", s.userId);
    text("Session/UserName", s.userName);
    text("Session/Identity", s.identity);
    text("Session/SubcontractWarehouse", s.subcontractWarehouse);
    text("Session/ReportValue", s.reportValue);
    if (ini.contains(QStringLiteral("Session/Language"))) {
        if (fileLanguage)
            s.language = *fileLanguage;
        else
            problems << hostText(
                kTextSettingLanguage, language,
                {path,
                 quotedValue(ini.value(QStringLiteral("Session/Language")).toString().trimmed().toLower())});
    }
    text("Window/Caption", s.caption);
    if (ini.contains(QStringLiteral("Window/Modal"))) {
        const QString value = ini.value(QStringLiteral("Window/Modal")).toString();
        if (std::optional<bool> b = parseBool(value))
            s.modal = *b;
        else
            problems << hostText(kTextSettingModal, language, {path, quotedValue(value)});
    }
    smallInt("Window/State", s.windowState);
    text("Files/DataFolder", s.dataFolder);
    if (!s.dataFolder.isEmpty() && QDir::isRelativePath(s.dataFolder))
        s.dataFolder = info.absoluteDir().absoluteFilePath(s.dataFolder);
    problems << readReportSettings(ini, path, info.absolutePath(), s.report, language);
    return problems;
}

void fillDefaults(HostSettings& s) {
    if (s.userName.isEmpty())
        s.userName = qEnvironmentVariable("USER", QStringLiteral("utente"));
    if (s.identity.isEmpty())
        s.identity = s.userName + QLatin1Char('_') + QSysInfo::machineHostName();
    if (s.caption.isEmpty())
        s.caption = QStringLiteral("Situazione fasi di lavorazione");
}

QStringList validate(const HostSettings& s) {
    QStringList problems;
    if (s.connectionString.trimmed().isEmpty())
        problems << hostText(kTextNoConnectionString, s.language);
    if (s.windowState > 2)
        problems << hostText(kTextSettingWindowState, s.language, {int(s.windowState)});
    return problems;
}

} // namespace erphost
