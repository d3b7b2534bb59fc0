#pragma once
// The demo database: an embedded ERP database with a generated order book, made on first use,
// so that the host works out of the box. It is used when the settings name no database, or
// when --demo-db names its file.

#include "platform/host/CommandLine.h"
#include "platform/host/HostSettings.h"

#include <QString>
#include <QStringList>

namespace erphost {

class DemoDatabase {
public:
    // Adds --demo-db FILE.
    static void addOptions(CommandLine& commandLine);
    // The file used when the settings name no database: erp-demo.db in the data folder.
    static QString defaultPath(const HostSettings& settings);
    // Points the settings at the demo database when asked or when they name no database at all
    // (a connection string of blanks is a mistake the host reports, not a request for the demo),
    // creating the file when it is missing. Returns the problems found.
    static QStringList apply(const CommandLineRequest& request, HostSettings& settings);
};

} // namespace erphost
