#pragma once
// Hands a letter to the configured fax client: the command's words with {number} and {file}
// replaced, run directly (no shell), its error output kept when it fails.

#include "platform/host/MailSender.h"

namespace erphost {

SendResult sendFax(const FaxSettings& settings, const QString& number, const QString& file);

// The program and its arguments for one send; empty when the command is empty.
QStringList faxCommandLine(const QString& command, const QString& number, const QString& file);

} // namespace erphost
