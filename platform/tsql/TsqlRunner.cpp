#include "platform/tsql/TsqlRunner.h"

#include "module/db/Connection.h"
#include "module/db/Session.h"
#include "platform/tsql/BatchSplitter.h"
#include "platform/tsql/TsqlOptions.h"

#include <QFile>
#include <QStringDecoder>

namespace tsql {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Reads the whole script; std::nullopt with the reason when it cannot be read or is not UTF-8.
std::optional<QString> readScript(QFile& file, const QString& name, QString& error) {
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2").arg(name, file.errorString());
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString script = decoder.decode(bytes);
    if (decoder.hasError()) {
        error = QStringLiteral("%1 is not UTF-8 text").arg(name);
        return std::nullopt;
    }
    if (script.startsWith(QChar(0xFEFF)))
        script.remove(0, 1);
    return script;
}

} // namespace

int TsqlRunner::run(const QStringList& batches) {
    int failed = 0;
    for (const QString& batch : batches) {
        if (!runBatch(batch))
            ++failed;
    }
    return failed;
}

bool TsqlRunner::runBatch(const QString& batch) {
    const QByteArray text = batch.toUtf8();
    m_connection.clearErrors();
    const bool ok =
        m_connection.session()->execute(std::string_view(text.constData(), text.size()), false, &m_sink);
    std::fflush(m_out);
    if (!ok)
        reportErrors();
    m_connection.clearErrors();
    return ok;
}

void TsqlRunner::reportErrors() {
    for (const scadlav::db::DbError& error : m_connection.errors())
        print(m_err, QStringLiteral("error %1: %2\n").arg(error.number).arg(error.description));
    m_connection.clearErrors();
}

int runTool(const QStringList& arguments, std::FILE* in, std::FILE* out, std::FILE* err) {
    QString error;
    const std::optional<TsqlOptions> options = parseOptions(arguments, error);
    if (!options) {
        print(err, QStringLiteral("tsql: %1\n\n").arg(error) + usageText());
        return kExitUsage;
    }
    if (options->help) {
        print(out, usageText());
        return kExitOk;
    }

    QFile file;
    QString name;
    bool opened = false;
    if (options->file.isEmpty()) {
        name = QStringLiteral("standard input");
        opened = file.open(in, QIODevice::ReadOnly);
    } else {
        name = options->file;
        file.setFileName(options->file);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        print(err, QStringLiteral("tsql: cannot read %1: %2\n").arg(name, file.errorString()));
        return kExitUsage;
    }
    const std::optional<QString> script = readScript(file, name, error);
    if (!script) {
        print(err, QStringLiteral("tsql: %1\n").arg(error));
        return kExitUsage;
    }

    scadlav::db::Connection connection;
    connection.setCommandTimeout(options->timeoutSeconds);
    TsqlRunner runner(connection, out, err);
    if (!connection.open(options->connectionString)) {
        runner.reportErrors();
        return kExitFailed;
    }
    const int failed = runner.run(splitBatches(*script));
    connection.close();
    return failed > 0 ? kExitFailed : kExitOk;
}

} // namespace tsql
