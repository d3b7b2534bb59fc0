#include "platform/host/CommandLine.h"

#include "platform/host/TextCatalog.h"

#include <QFileInfo>
#include <QSettings>

namespace erphost {

QString quotedValue(const QString& value) {
    constexpr qsizetype kShown = 200;
    return value.size() <= kShown ? value : value.left(kShown) + QChar(0x2026);
}

namespace {

constexpr int kTextUsage = 92000;
constexpr int kTextHelpHelp = 92001;
constexpr int kTextHelpConfig = 92002;
constexpr int kTextHelpConnect = 92003;
constexpr int kTextHelpCompany = 92004;
constexpr int kTextHelpUser = 92005;
constexpr int kTextHelpIdentity = 92006;
constexpr int kTextHelpLang = 92007;
constexpr int kTextHelpQuitAfter = 92008;
constexpr int kTextHelpScreenshots = 92009;
constexpr int kTextNotSmallInt = 92010;
constexpr int kTextBadLang = 92011;
constexpr int kTextBadQuitAfter = 92012;
constexpr int kTextNoScreenshotFolder = 92013;
constexpr int kTextUnexpectedArgument = 92014;
constexpr int kTextUnknownOption = 92015;
constexpr int kTextTakesNoValue = 92016;
constexpr int kTextNeedsValue = 92017;

QString smallIntOption(const QString& option, const QString& value, std::int16_t& target, Language language) {
    if (std::optional<std::int16_t> n = parseSmallInt(value)) {
        target = *n;
        return {};
    }
    return hostText(kTextNotSmallInt, language, {option, quotedValue(value)});
}

// The language --lang names: "it" or "en".
std::optional<Language> languageOption(const QString& value) {
    if (value == QLatin1String("it"))
        return Language::Italian;
    if (value == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

// The value of an option in the arguments, "--name value" or "--name=value"; the last one wins.
std::optional<QString> optionValue(const QStringList& arguments, const QString& name) {
    const QString plain = QStringLiteral("--") + name;
    const QString joined = plain + QLatin1Char('=');
    std::optional<QString> value;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == plain && i + 1 < arguments.size())
            value = arguments.at(++i);
        else if (arguments.at(i).startsWith(joined))
            value = arguments.at(i).mid(joined.size());
    }
    return value;
}

// Options that steer the host itself rather than set one of its settings.
bool isImmediate(const QString& name) {
    return name == QLatin1String("help") || name == QLatin1String("config") ||
           name == QLatin1String("quit-after") || name == QLatin1String("screenshots");
}

} // namespace

Language languageOfArguments(const QStringList& arguments) {
    if (const std::optional<QString> lang = optionValue(arguments, QStringLiteral("lang")))
        if (const std::optional<Language> language = languageOption(*lang))
            return *language;
    const QString config = optionValue(arguments, QStringLiteral("config")).value_or(defaultConfigPath());
    if (QFileInfo(config).isFile()) {
        const QSettings ini(config, QSettings::IniFormat);
        if (const std::optional<Language> language =
                parseLanguage(ini.value(QStringLiteral("Session/Language")).toString()))
            return *language;
    }
    return HostSettings().language;
}

CommandLine::CommandLine(Language language) : m_language(language) {
    addOption({QStringLiteral("help"),
               {},
               text(kTextHelpHelp),
               [](const QString&, HostSettings&, CommandLineRequest& r) {
                   r.help = true;
                   return QString();
               }});
    addOption({QStringLiteral("config"), QStringLiteral("FILE"), text(kTextHelpConfig, {defaultConfigPath()}),
               [](const QString& v, HostSettings&, CommandLineRequest& r) {
                   r.configPath = v;
                   return QString();
               }});
    addOption({QStringLiteral("connect"), QStringLiteral("CONNECTION"), text(kTextHelpConnect),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   s.connectionString = v;
                   s.connectionStringGiven = true;
                   return QString();
               }});
    addOption({QStringLiteral("company"), QStringLiteral("N"), text(kTextHelpCompany),
               [language](const QString& v, HostSettings& s, CommandLineRequest&) {
                   return smallIntOption(QStringLiteral("company"), v, s.company, language);
               }});
    addOption({QStringLiteral("user"), QStringLiteral("N"), text(kTextHelpUser),
               [language](const QString& v, HostSettings& s, CommandLineRequest&) {
                   return smallIntOption(QStringLiteral("user"), v, s.userId, language);
               }});
    addOption({QStringLiteral("identity"), QStringLiteral("TEXT"), text(kTextHelpIdentity),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   s.identity = v;
                   return QString();
               }});
    addOption({QStringLiteral("lang"), QStringLiteral("it|en"), text(kTextHelpLang),
               [language](const QString& v, HostSettings& s, CommandLineRequest&) {
                   const std::optional<Language> chosen = languageOption(v);
                   if (!chosen)
                       return hostText(kTextBadLang, language, {quotedValue(v)});
                   s.language = *chosen;
                   return QString();
               }});
    addOption({QStringLiteral("quit-after"), QStringLiteral("MS"), text(kTextHelpQuitAfter),
               [language](const QString& v, HostSettings&, CommandLineRequest& r) {
                   bool ok = false;
                   const int ms = v.toInt(&ok);
                   if (!ok || ms < 0)
                       return hostText(kTextBadQuitAfter, language, {quotedValue(v)});
                   r.quitAfterMs = ms;
                   return QString();
               }});
    addOption({QStringLiteral("screenshots"), QStringLiteral("DIR"), text(kTextHelpScreenshots),
               [language](const QString& v, HostSettings&, CommandLineRequest& r) {
                   if (v.trimmed().isEmpty())
                       return hostText(kTextNoScreenshotFolder, language);
                   r.screenshotFolder = v;
                   return QString();
               }});
}

void CommandLine::addOption(Option option) {
    m_options.push_back(std::move(option));
}

QString CommandLine::text(int id, const QList<scadlav::Value>& parameters) const {
    return hostText(id, m_language, parameters);
}

const CommandLine::Option* CommandLine::find(const QString& name) const {
    for (const Option& option : m_options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

QStringList CommandLine::parse(const QStringList& arguments, CommandLineRequest& request) {
    QStringList problems;
    m_given.clear();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--"))) {
            problems << text(kTextUnexpectedArgument, {quotedValue(argument)});
            continue;
        }
        QString name = argument.mid(2);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const Option* option = find(name);
        if (!option) {
            problems << text(kTextUnknownOption, {quotedValue(name)});
            continue;
        }
        if (option->valueName.isEmpty()) {
            if (value) {
                problems << text(kTextTakesNoValue, {name});
                continue;
            }
            value = QString();
        } else if (!value) {
            if (i + 1 >= arguments.size()) {
                problems << text(kTextNeedsValue, {name, option->valueName});
                continue;
            }
            value = arguments.at(++i);
        }
        m_given.emplace_back(option, *value);
    }
    // Options that steer the host itself take effect at once; settings wait for applySettings.
    HostSettings scratch;
    for (const auto& [option, value] : m_given) {
        if (isImmediate(option->name)) {
            const QString problem = option->apply(value, scratch, request);
            if (!problem.isEmpty())
                problems << problem;
        }
    }
    return problems;
}

QStringList CommandLine::applySettings(HostSettings& settings, CommandLineRequest& request) const {
    QStringList problems;
    for (const auto& [option, value] : m_given) {
        if (isImmediate(option->name))
            continue;
        const QString problem = option->apply(value, settings, request);
        if (!problem.isEmpty())
            problems << problem;
    }
    return problems;
}

QString CommandLine::usage() const {
    QString text = this->text(kTextUsage) + QLatin1Char('\n');
    for (const Option& option : m_options) {
        QString left = QStringLiteral("  --") + option.name;
        if (!option.valueName.isEmpty())
            left += QLatin1Char(' ') + option.valueName;
        text += left.leftJustified(26) + QLatin1Char(' ') + option.help + QLatin1Char('\n');
    }
    for (const QString& note : m_notes)
        text += QLatin1Char('\n') + note + QLatin1Char('\n');
    return text;
}

void CommandLine::addNote(const QString& text) {
    m_notes << text;
}

} // namespace erphost
