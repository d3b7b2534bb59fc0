#include "module/db/Session.h"

namespace scadlav::db {

void Session::addError(std::int64_t number, const QString& description, const QString& sqlState) {
    errors.append(DbError{number, description, sqlState, 0, {}});
}

void Session::addErrors(const std::vector<ProviderError>& list) {
    for (const ProviderError& e : list)
        errors.append(DbError{e.number, QString::fromStdString(e.description),
                              QString::fromStdString(e.sqlState), e.nativeError,
                              QString::fromStdString(e.statement)});
}

bool Session::execute(std::string_view text, bool noRecords, IRowSink* sink, std::int64_t* rowsAffected) {
    return run(noRecords, [&](const ExecuteOptions& options, std::vector<ProviderError>& list) {
        return backend->execute(text, options, noRecords ? nullptr : sink, list, rowsAffected);
    });
}

bool Session::executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                                  bool noRecords, IRowSink* sink, std::int64_t* rowsAffected) {
    return run(noRecords, [&](const ExecuteOptions& options, std::vector<ProviderError>& list) {
        return backend->executeWithLiterals(text, literals, options, noRecords ? nullptr : sink, list,
                                            rowsAffected);
    });
}

bool Session::run(bool noRecords,
                  const std::function<bool(const ExecuteOptions&, std::vector<ProviderError>&)>& statement) {
    if (!isOpen()) {
        addError(kErrObjectClosed, QStringLiteral("The connection is closed."));
        return false;
    }
    std::vector<ProviderError> list;
    ExecuteOptions options;
    options.noRecords = noRecords;
    options.timeoutSeconds = commandTimeout;
    const bool ok = withNotice(options, [&](const ExecuteOptions& o) { return statement(o, list); });
    addErrors(list);
    if (!ok && list.empty())
        addError(kErrGeneric, QStringLiteral("The statement failed without a reason from the database."));
    return ok;
}

std::unique_ptr<IRowCursor> Session::openCursor(std::string_view text, bool& failed) {
    failed = false;
    if (!isOpen()) {
        addError(kErrObjectClosed, QStringLiteral("The connection is closed."));
        failed = true;
        return nullptr;
    }
    std::vector<ProviderError> list;
    std::unique_ptr<IRowCursor> cursor = backend->openCursor(text, list);
    failed = !cursor && !list.empty();
    addErrors(list);
    return cursor;
}

bool Session::callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                            int timeoutSeconds, bool noRecords, IRowSink* sink) {
    if (!isOpen()) {
        addError(kErrObjectClosed, QStringLiteral("The connection is closed."));
        return false;
    }
    std::vector<ProviderError> list;
    ExecuteOptions options;
    options.noRecords = noRecords;
    options.timeoutSeconds = timeoutSeconds;
    const bool ok = withNotice(options, [&](const ExecuteOptions& o) {
        return backend->callProcedure(name, parameters, o, noRecords ? nullptr : sink, list);
    });
    addErrors(list);
    if (!ok && list.empty())
        addError(kErrGeneric,
                 QStringLiteral("The procedure call failed without a reason from the database."));
    return ok;
}

bool Session::withNotice(ExecuteOptions& options, const std::function<bool(const ExecuteOptions&)>& call) {
    if (!lockWaitNotice)
        return call(options);
    bool told = false;
    // A copy: the notice may be replaced while the command runs.
    const auto notice = lockWaitNotice;
    options.onLongWait = [&] {
        told = true;
        notice(true);
    };
    const bool ok = call(options);
    if (told)
        notice(false);
    return ok;
}

} // namespace scadlav::db
