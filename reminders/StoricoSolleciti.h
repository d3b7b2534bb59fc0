#pragma once
// "Storico solleciti": the reminders of one supplier, newest first, in a read-only grid.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

namespace erpctl {
class Grid;
}

namespace scadlav {
namespace db {
class Connection;
class Recordset;
class RecordsetModel;
} // namespace db

// The supplier's reminders; nullptr when the statement fails (the connection has the error).
std::unique_ptr<db::Recordset> LeggiStoricoFornitore(db::Connection& connection, std::int16_t company,
                                                     std::int64_t supplier);

class StoricoSolleciti : public QDialog {
    Q_OBJECT
public:
    using Translate = std::function<QString(const QString& italian, int id)>;

    StoricoSolleciti(std::unique_ptr<db::Recordset> rows, const Translate& translate,
                     QWidget* parent = nullptr);
    ~StoricoSolleciti() override;

    erpctl::Grid* grid() const { return m_grid; }

private:
    std::unique_ptr<db::Recordset> m_rows;
    std::unique_ptr<db::RecordsetModel> m_model;
    erpctl::Grid* m_grid = nullptr;
};

} // namespace scadlav
