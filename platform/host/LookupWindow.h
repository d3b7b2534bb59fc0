#pragma once
// The host's list window for lookups: runs the list's SQL on a connection to the request's
// database and lets the user search and pick a code in the control kit's lookup dialog.

#include "platform/controls/ILookupPresenter.h"

#include <QString>
#include <functional>
#include <memory>

class QAbstractItemModel;

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace erphost {

class IMessageBoxPresenter;

class LookupWindow : public erpctl::ILookupPresenter {
public:
    // Shows the rows and returns the code picked; the dialog by default.
    using Picker = std::function<bool(QWidget* parent, const erpctl::LookupRequest& request,
                                      QAbstractItemModel* rows, QString& code)>;

    // `messages` tells the user why a list cannot be shown; it must outlive the window.
    explicit LookupWindow(IMessageBoxPresenter& messages);
    ~LookupWindow() override;

    bool present(const erpctl::LookupRequest& request, QWidget* parent, QString& picked) override;

    // The rows of the request's list, or nullptr with the reason in `error`.
    std::unique_ptr<scadlav::db::Recordset> readRows(const erpctl::LookupRequest& request, QString& error);

    void setPicker(Picker picker) { m_picker = std::move(picker); }

private:
    IMessageBoxPresenter& m_messages;
    Picker m_picker;
    // Kept open between lists; opened again when a request names another database.
    std::unique_ptr<scadlav::db::Connection> m_connection;
};

} // namespace erphost
