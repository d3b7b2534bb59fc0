#pragma once

#include "platform/host/HostSettings.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace erphost {

// A value as a message quotes it: at most its first 200 characters, an ellipsis after a cut.
QString quotedValue(const QString& value);

// What the command line asks of the host besides its settings.
struct CommandLineRequest {
    bool help = false;
    QString configPath;             // --config; empty: the default config file, if it exists
    std::optional<int> quitAfterMs; // --quit-after: test switch, see docs/host.md
    QString screenshotFolder;       // --screenshots: the user guide's pictures, see docs/host.md
    // Values of the batch-mode options by option name (--batch, --min-date, ...), checked by
    // the batch runner.
    QHash<QString, QString> batchOptions;
    QString demoDatabase; // --demo-db; empty: the demo database only when no database is set
};

// The host's command line. Options are kept in a table so that new ones (batch jobs, ...) are
// one entry each. Options may be given as "--name value" or "--name=value".
class CommandLine {
public:
    struct Option {
        QString name;      // without the leading "--"
        QString valueName; // empty for a switch
        QString help;
        // Applies the value; returns a problem text naming the option, or empty.
        std::function<QString(const QString& value, HostSettings&, CommandLineRequest&)> apply;
    };

    CommandLine();
    void addOption(Option option);

    // Splits `arguments` (without the program name). Settings options are collected and applied
    // later with applySettings, after the config file, so the command line wins.
    // Returns the problems found.
    QStringList parse(const QStringList& arguments, CommandLineRequest& request);
    QStringList applySettings(HostSettings& settings, CommandLineRequest& request) const;

    // A paragraph printed after the options by usage().
    void addNote(const QString& text);
    QString usage() const;

private:
    const Option* find(const QString& name) const;

    std::vector<Option> m_options;
    QStringList m_notes;
    std::vector<std::pair<const Option*, QString>> m_given;
};

} // namespace erphost
