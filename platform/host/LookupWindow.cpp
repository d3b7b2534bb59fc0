#include "platform/host/LookupWindow.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/IMessageService.h"
#include "platform/controls/LookupDialog.h"
#include "platform/host/MessageBoxes.h"

namespace erphost {

LookupWindow::LookupWindow(IMessageBoxPresenter& messages)
    : m_messages(messages), m_picker(&erpctl::LookupDialog::pick) {}

LookupWindow::~LookupWindow() = default;

std::unique_ptr<scadlav::db::Recordset> LookupWindow::readRows(const erpctl::LookupRequest& request,
                                                               QString& error) {
    if (request.sql.trimmed().isEmpty()) {
        error = QStringLiteral("Nessun elenco disponibile per \"%1\".").arg(request.caption);
        return nullptr;
    }
    if (request.connectionString.trimmed().isEmpty()) {
        error = QStringLiteral("L'elenco \"%1\" non indica il database da leggere.").arg(request.caption);
        return nullptr;
    }
    if (!m_connection || !m_connection->isOpen() ||
        m_connection->connectionString() != request.connectionString) {
        m_connection = std::make_unique<scadlav::db::Connection>();
        if (!m_connection->open(request.connectionString)) {
            error = QStringLiteral("Impossibile aprire il database dell'elenco: %1")
                        .arg(m_connection->lastErrorText());
            m_connection.reset();
            return nullptr;
        }
    }
    m_connection->clearErrors();
    std::unique_ptr<scadlav::db::Recordset> rows = m_connection->execute(request.sql);
    if (!rows) {
        error = QStringLiteral("Impossibile leggere l'elenco: %1").arg(m_connection->lastErrorText());
        return nullptr;
    }
    return rows;
}

bool LookupWindow::present(const erpctl::LookupRequest& request, QWidget* parent, QString& picked) {
    QString error;
    std::unique_ptr<scadlav::db::Recordset> rows = readRows(request, error);
    if (!rows) {
        m_messages.show(error, scadlav::msgbox::Exclamation,
                        request.title.isEmpty() ? request.caption : request.title);
        return false;
    }
    scadlav::db::RecordsetModel model(rows.get());
    model.setEditable(false);
    QString code;
    if (!m_picker || !m_picker(parent, request, &model, code) || code.isEmpty())
        return false;
    picked = code;
    return true;
}

} // namespace erphost
