#include "platform/host/LookupService.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/RuntimeError.h"
#include "platform/host/LookupCatalog.h"
#include "platform/host/LookupTexts.h"

namespace erphost {

namespace {

const QString kDecodeSource = QStringLiteral("ERPHOST.Decode");

[[noreturn]] void fail(int number, const QString& description) {
    throw scadlav::RuntimeException({number, description, kDecodeSource, {}});
}

} // namespace

void ContextHolder::holdModule(scadlav::Cinterface* module) {
    m_module = module;
}

scadlav::IGlobalContext* ContextHolder::context() const {
    if (m_context)
        return m_context;
    return m_module ? m_module->Cinterface_ClsGlobal() : nullptr;
}

std::optional<scadlav::LookupList> LookupService::list(scadlav::CodeKind kind,
                                                       const QStringList& parentCodes) {
    scadlav::IGlobalContext* global = context();
    std::optional<scadlav::LookupList> list =
        LookupCatalog::list(kind, parentCodes, global ? global->companyCode() : 0);
    if (!list)
        return list;
    // Title and captions in the user's language when the host's catalog has them.
    scadlav::IMessageService* messages = global ? global->messageService() : nullptr;
    const auto translate = [messages](QString& text) {
        const int id = lookupTextId(text);
        if (!messages || id == 0)
            return;
        const QString translated = messages->textById(id, {});
        if (!translated.isEmpty() && !translated.startsWith(QLatin1String("[x")))
            text = translated;
    };
    translate(list->title);
    for (scadlav::LookupColumn& column : list->columns)
        translate(column.caption);
    return list;
}

DecodeService::DecodeService() = default;

DecodeService::~DecodeService() = default;

void DecodeService::setModule(scadlav::Cinterface* module) {
    holdModule(module);
    // Without a module the decode is being released: its connection goes too.
    if (!module)
        m_connection.reset();
}

void DecodeService::setGlobalContext(scadlav::IGlobalContext* context) {
    holdContext(context);
    m_connection.reset();
}

scadlav::db::Connection& DecodeService::connection() {
    scadlav::IGlobalContext* global = context();
    if (!global)
        fail(scadlav::RuntimeError::ObjectNotSet, QStringLiteral("Decodifica senza contesto globale"));
    const QString connectionString = global->connectionString();
    if (m_connection && m_connection->isOpen() && m_connection->connectionString() == connectionString)
        return *m_connection;
    m_connection = std::make_unique<scadlav::db::Connection>();
    if (!m_connection->open(connectionString)) {
        const QString reason = m_connection->lastErrorText();
        m_connection.reset();
        fail(scadlav::RuntimeError::ApplicationDefined, reason);
    }
    return *m_connection;
}

std::optional<QString> DecodeService::describe(scadlav::CodeKind kind, const QString& code,
                                               const QStringList& parentCodes) {
    scadlav::IGlobalContext* global = context();
    const std::optional<DecodeStatement> statement =
        LookupCatalog::decode(kind, code, parentCodes, global ? global->companyCode() : 0);
    // A code that cannot exist (empty, letters for a number) is simply not found.
    if (!statement)
        return std::nullopt;
    scadlav::db::Connection& db = connection();
    db.clearErrors();
    const std::unique_ptr<scadlav::db::Recordset> rows = db.execute(statement->sql);
    if (!rows) {
        const auto& errors = db.errors();
        const int number = errors.isEmpty() ? scadlav::RuntimeError::ApplicationDefined
                                            : static_cast<int>(errors.last().number);
        fail(number == 0 ? scadlav::RuntimeError::ApplicationDefined : number, db.lastErrorText());
    }
    if (!rows->isOpen() || rows->recordCount() == 0)
        return std::nullopt;
    rows->moveFirst();
    const scadlav::Value description = rows->value(0);
    QString text = description.isNull() || description.isEmpty() ? QString() : description.toText();
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace erphost
