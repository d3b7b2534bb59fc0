#pragma once

#include "module/value/Value.h"
#include "platform/host/HostSettings.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace erphost {

// A value as a message quotes it: at most its first 200 characters, an ellipsis after a cut.
QString quotedValue(const QString& value);

// The language of the host's texts before its settings are read: that of --lang when the
// arguments give one, else the Session/Language of the config file they name (or of the
// default one), else Italian. The settings end in the same language, so the help, the
// problems with the command line and those found later all speak alike.
Language languageOfArguments(const QStringList& arguments);

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
// one entry each. Options may be given as "--name value" or "--name=value". Its help and its
// problems are written in the language given at construction.
class CommandLine {
public:
    struct Option {
        QString name;      // without the leading "--"
        QString valueName; // empty for a switch
        QString help;
        // Applies the value; returns a problem text naming the option, or empty.
        std::function<QString(const QString& value, HostSettings&, CommandLineRequest&)> apply;
    };

    explicit CommandLine(Language language = Language::Italian);
    void addOption(Option option);

    Language language() const { return m_language; }
    // The host's text `id` in the command line's language.
    QString text(int id, const QList<scadlav::Value>& parameters = {}) const;

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

    Language m_language;
    std::vector<Option> m_options;
    QStringList m_notes;
    std::vector<std::pair<const Option*, QString>> m_given;
};

} // namespace erphost
