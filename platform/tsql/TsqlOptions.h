#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tsql {

// What the command line asks for.
struct TsqlOptions {
    QString connectionString;
    QString file;           // empty: read standard input
    int timeoutSeconds = 0; // per batch; 0 means no limit
    bool help = false;
};

// Reads the arguments (without the program name). std::nullopt with the reason in `error`
// for an unknown option, a missing value or a missing --connect.
std::optional<TsqlOptions> parseOptions(const QStringList& arguments, QString& error);

QString usageText();

} // namespace tsql
