#pragma once

#include "module/db/DbError.h"
#include "module/db/IBackend.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <string_view>

namespace scadlav::db {

// The state a connection shares with its record sets and commands: the backend, the error
// list and the command timeout. A record set keeps it alive, so that after the connection
// object is gone it still fails cleanly instead of touching freed memory.
struct Session {
    std::unique_ptr<IBackend> backend;
    QList<DbError> errors;
    int commandTimeout = 30;
    // Told true when a command starts waiting noticeably long for another session's lock, and
    // false when that command ends.
    std::function<void(bool waiting)> lockWaitNotice;

    bool isOpen() const { return backend && backend->isOpen(); }
    Dialect dialect() const { return backend ? backend->dialect() : Dialect::Tsqlite; }
    void addError(std::int64_t number, const QString& description, const QString& sqlState = {});
    void addErrors(const std::vector<ProviderError>& errors);
    // Runs text on the backend, moving its errors into the list. Fails cleanly when closed.
    bool execute(std::string_view text, bool noRecords, IRowSink* sink, std::int64_t* rowsAffected = nullptr);
    // The same for a statement whose literals are given apart (IBackend::executeWithLiterals).
    bool executeWithLiterals(std::string_view text, const std::vector<StatementLiteral>& literals,
                             bool noRecords, IRowSink* sink, std::int64_t* rowsAffected = nullptr);
    // Opens text for reading in slices (IBackend::openCursor). nullptr with `failed` false when
    // the backend cannot read it that way; nullptr with `failed` true (and the errors in the
    // list) when the statement fails.
    std::unique_ptr<IRowCursor> openCursor(std::string_view text, bool& failed);
    bool callProcedure(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                       int timeoutSeconds, bool noRecords, IRowSink* sink);

private:
    // Runs `call` with options whose long-wait callback reaches lockWaitNotice.
    bool withNotice(ExecuteOptions& options, const std::function<bool(const ExecuteOptions&)>& call);
    // Runs `statement` with the session's options, moving its errors into the list.
    bool run(bool noRecords,
             const std::function<bool(const ExecuteOptions&, std::vector<ProviderError>&)>& statement);
};

} // namespace scadlav::db
