#include "platform/host/CommandLine.h"

namespace erphost {

QString quotedValue(const QString& value) {
    constexpr qsizetype kShown = 200;
    return value.size() <= kShown ? value : value.left(kShown) + QChar(0x2026);
}

namespace {

QString smallIntOption(const QString& option, const QString& value, std::int16_t& target) {
    if (std::optional<std::int16_t> n = parseSmallInt(value)) {
        target = *n;
        return {};
    }
    return QStringLiteral("option --%1: '%2' is not a whole number from 0 to 32767")
        .arg(option, quotedValue(value));
}

// Options that steer the host itself rather than set one of its settings.
bool isImmediate(const QString& name) {
    return name == QLatin1String("help") || name == QLatin1String("config") ||
           name == QLatin1String("quit-after") || name == QLatin1String("screenshots");
}

} // namespace

CommandLine::CommandLine() {
    addOption({QStringLiteral("help"),
               {},
               QStringLiteral("show this help and exit"),
               [](const QString&, HostSettings&, CommandLineRequest& r) {
                   r.help = true;
                   return QString();
               }});
    addOption({QStringLiteral("config"), QStringLiteral("FILE"),
               QStringLiteral("read settings from FILE (default: %1)").arg(defaultConfigPath()),
               [](const QString& v, HostSettings&, CommandLineRequest& r) {
                   r.configPath = v;
                   return QString();
               }});
    addOption({QStringLiteral("connect"), QStringLiteral("CONNECTION"),
               QStringLiteral("ERP database connection string, e.g. \"Provider=tsqlite;Data Source=erp.db\""),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   s.connectionString = v;
                   s.connectionStringGiven = true;
                   return QString();
               }});
    addOption({QStringLiteral("company"), QStringLiteral("N"), QStringLiteral("company code (0..32767)"),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   return smallIntOption(QStringLiteral("company"), v, s.company);
               }});
    addOption({QStringLiteral("user"), QStringLiteral("N"), QStringLiteral("numeric user ID (0..32767)"),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   return smallIntOption(QStringLiteral("user"), v, s.userId);
               }});
    addOption({QStringLiteral("identity"), QStringLiteral("TEXT"),
               QStringLiteral("user and workstation identity (suffix of the working tables)"),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   s.identity = v;
                   return QString();
               }});
    addOption({QStringLiteral("lang"), QStringLiteral("it|en"), QStringLiteral("language of the texts"),
               [](const QString& v, HostSettings& s, CommandLineRequest&) {
                   if (v == QLatin1String("it"))
                       s.language = Language::Italian;
                   else if (v == QLatin1String("en"))
                       s.language = Language::English;
                   else
                       return QStringLiteral("option --lang: '%1' is not it or en").arg(quotedValue(v));
                   return QString();
               }});
    addOption({QStringLiteral("quit-after"), QStringLiteral("MS"),
               QStringLiteral("list the open windows and quit after MS milliseconds (for tests)"),
               [](const QString& v, HostSettings&, CommandLineRequest& r) {
                   bool ok = false;
                   const int ms = v.toInt(&ok);
                   if (!ok || ms < 0)
                       return QStringLiteral("option --quit-after: '%1' is not a number of milliseconds")
                           .arg(quotedValue(v));
                   r.quitAfterMs = ms;
                   return QString();
               }});
    addOption({QStringLiteral("screenshots"), QStringLiteral("DIR"),
               QStringLiteral("take the user guide's pictures of the schedule screen into DIR and quit"),
               [](const QString& v, HostSettings&, CommandLineRequest& r) {
                   if (v.trimmed().isEmpty())
                       return QStringLiteral("option --screenshots: name a folder");
                   r.screenshotFolder = v;
                   return QString();
               }});
}

void CommandLine::addOption(Option option) {
    m_options.push_back(std::move(option));
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
            problems << QStringLiteral("unexpected argument '%1'").arg(quotedValue(argument));
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
            problems << QStringLiteral("unknown option --%1").arg(quotedValue(name));
            continue;
        }
        if (option->valueName.isEmpty()) {
            if (value) {
                problems << QStringLiteral("option --%1 takes no value").arg(name);
                continue;
            }
            value = QString();
        } else if (!value) {
            if (i + 1 >= arguments.size()) {
                problems << QStringLiteral("option --%1 needs a value (%2)").arg(name, option->valueName);
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
    QString text = QStringLiteral("Usage: erp-host [options]\n\n"
                                  "Opens the production-phase schedule module on the ERP database.\n\n"
                                  "Options:\n");
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
