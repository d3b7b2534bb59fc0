#pragma once

#include "module/services/IGlobalContext.h"
#include "platform/host/ReportSettings.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace erphost {

enum class Language { Italian, English };

// Everything the host reads from its config file and command line.
struct HostSettings {
    QString connectionString;
    // Whether the config file or the command line set the connection string at all (even to
    // nothing): only when neither did does the host fall back to the demo database.
    bool connectionStringGiven = false;
    std::int16_t company = 1;
    std::int16_t userId = 1;
    QString userName;
    QString identity;
    Language language = Language::Italian;
    QString subcontractWarehouse;
    scadlav::ConnectionInfo connectionInfo;
    QString reportValue;
    QString caption;
    bool modal = false;
    std::int16_t windowState = 0;
    // Printing, mail and fax of the report service.
    ReportSettings report;
    // Where logs and layouts go; empty means the user's data folder.
    QString dataFolder;

    // The data folder actually used.
    QString effectiveDataFolder() const;
    QString errorLogPath() const;
    QString usageLogPath() const;
    QString layoutFolder() const;
};

// "it" or "en" (any case, blanks around allowed) as a language; nothing for anything else.
std::optional<Language> parseLanguage(const QString& text);

// Reads `[Section] Key` settings from an INI file into `settings`. Returns the problems found
// (each names the setting), empty when all is well. A file that cannot be read is a problem.
// The problems are written in `textLanguage`; without it in the file's own Session/Language,
// else in the language `settings` already had.
QStringList readConfigFile(const QString& path, HostSettings& settings,
                           std::optional<Language> textLanguage = std::nullopt);

// The config file used when none is named: erp-host/erp-host.ini in the user's config folder
// ($XDG_CONFIG_HOME, usually ~/.config).
QString defaultConfigPath();

// Fills what was left unset: the user name from the system, the identity from the user name
// and the machine's name, the caption.
void fillDefaults(HostSettings& settings);

// Problems that keep the host from starting (each names the setting, in the settings'
// language), empty when none.
QStringList validate(const HostSettings& settings);

// A 16-bit setting from text: std::nullopt when it is no integer or out of 0..32767.
std::optional<std::int16_t> parseSmallInt(const QString& text);

} // namespace erphost
