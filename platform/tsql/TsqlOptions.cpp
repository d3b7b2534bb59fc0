#include "platform/tsql/TsqlOptions.h"

namespace tsql {

namespace {

// Splits "--name=value" into name and value; "--name" alone gives no value.
void splitOption(const QString& argument, QString& name, std::optional<QString>& value) {
    const qsizetype equals = argument.indexOf(u'=');
    if (argument.startsWith(QStringLiteral("--")) && equals > 0) {
        name = argument.left(equals);
        value = argument.mid(equals + 1);
    } else {
        name = argument;
        value.reset();
    }
}

} // namespace

std::optional<TsqlOptions> parseOptions(const QStringList& arguments, QString& error) {
    TsqlOptions options;
    bool haveConnect = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name;
        std::optional<QString> value;
        splitOption(arguments[i], name, value);
        if (name == u"--help" || name == u"-h") {
            options.help = true;
            continue;
        }
        if (name != u"--connect" && name != u"--file" && name != u"--timeout") {
            error = QStringLiteral("unknown argument '%1'").arg(arguments[i]);
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (name == u"--connect") {
            options.connectionString = *value;
            haveConnect = true;
        } else if (name == u"--file") {
            if (value->isEmpty()) {
                error = QStringLiteral("--file needs a file name");
                return std::nullopt;
            }
            options.file = *value;
        } else {
            bool ok = false;
            options.timeoutSeconds = value->toInt(&ok);
            if (!ok || options.timeoutSeconds < 0) {
                error = QStringLiteral("--timeout needs a number of seconds, not '%1'").arg(*value);
                return std::nullopt;
            }
        }
    }
    if (options.help)
        return options;
    if (!haveConnect || options.connectionString.trimmed().isEmpty()) {
        error = QStringLiteral("--connect \"CONNECTION STRING\" is required");
        return std::nullopt;
    }
    return options;
}

QString usageText() {
    return QStringLiteral(
        "Usage: tsql --connect \"CONNECTION STRING\" [--file FILE] [--timeout SECONDS]\n"
        "\n"
        "Runs a T-SQL script against the database the connection string names, the way the\n"
        "scheduling module reaches it:\n"
        "  Provider=tsqlite;Data Source=FILE     the embedded database\n"
        "  Driver={FreeTDS};Server=...;...       SQL Server (or any ODBC data source)\n"
        "\n"
        "The script is read from FILE, or from standard input without --file. Lines holding\n"
        "only GO separate it into batches, each sent on its own.\n"
        "\n"
        "Every result set is written to standard output as CSV (UTF-8, a header row, Null as an\n"
        "empty field, RFC 4180 quoting, numbers with '.', dates as YYYY-MM-DD HH:MM:SS); result\n"
        "sets are separated by an empty line. Every error of a failing batch is written to\n"
        "standard error as 'error NUMBER: DESCRIPTION', and the next batch runs.\n"
        "\n"
        "Options:\n"
        "  --connect STRING   connection string (required)\n"
        "  --file FILE        script file (default: standard input)\n"
        "  --timeout SECONDS  time limit of each batch (default 0: none)\n"
        "  --help             this text\n"
        "\n"
        "Exit status: 0 when every batch succeeded, 1 when one failed or the database could not\n"
        "be opened, 2 for bad arguments or an unreadable file.\n");
}

} // namespace tsql
