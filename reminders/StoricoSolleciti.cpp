#include "reminders/StoricoSolleciti.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "platform/controls/Grid.h"
#include "reminders/ReminderHistory.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace scadlav {

std::unique_ptr<db::Recordset> LeggiStoricoFornitore(db::Connection& connection, std::int16_t company,
                                                     std::int64_t supplier) {
    return connection.execute(
        QStringLiteral(
            "SELECT PD5E_DATAORA, PD5E_CANALE, PD5E_DESTINATARIO, PD5E_ESITO, PD5E_RISPOSTA, "
            "PD5E_NUMREG_CO99, PD5E_PROGRIGA_DO30, PD5E_CODFASE_PD12, FW07_DESCR "
            "FROM PD5E_STORICOSOLL WITH (NOLOCK) LEFT JOIN FW07_APPUSER WITH (NOLOCK) ON FW07_ID = "
            "PD5E_ID_FW07 WHERE PD5E_DITTA_CG18 = ") +
        QString::number(company) + QStringLiteral(" AND PD5E_CLIFOR_CG44 = ") + QString::number(supplier) +
        QStringLiteral(" ORDER BY PD5E_DATAORA DESC"));
}

StoricoSolleciti::StoricoSolleciti(std::unique_ptr<db::Recordset> rows, const Translate& tr, QWidget* parent)
    : QDialog(parent), m_rows(std::move(rows)) {
    setObjectName(QStringLiteral("FRMPD_KVB_STORICOSOLL"));
    setWindowTitle(tr(QStringLiteral("Storico solleciti"), 91033));
    m_grid = new erpctl::Grid(this);
    m_grid->setObjectName(QStringLiteral("GRID_STORICO"));
    using erpctl::ColumnKind;
    m_grid->addColumn(QStringLiteral("PD5E_DATAORA"), tr(QStringLiteral("Data e ora"), 91034),
                      ColumnKind::Date, 1600);
    m_grid->addListColumn(QStringLiteral("PD5E_CANALE"), tr(QStringLiteral("Canale"), 91035),
                          reminders::nomiCanali(tr), 700);
    m_grid->addListColumn(QStringLiteral("PD5E_ESITO"), tr(QStringLiteral("Esito"), 91036),
                          {{1, tr(QStringLiteral("Inviato"), 91037)},
                           {2, tr(QStringLiteral("Saltato"), 91038)},
                           {3, tr(QStringLiteral("Non riuscito"), 91039)}},
                          1000);
    m_grid->addColumn(QStringLiteral("PD5E_DESTINATARIO"), tr(QStringLiteral("Destinatario"), 91040),
                      ColumnKind::Text, 2200);
    m_grid->addColumn(QStringLiteral("PD5E_NUMREG_CO99"), tr(QStringLiteral("Num. reg."), 91041),
                      ColumnKind::Text, 1200);
    m_grid->addColumn(QStringLiteral("PD5E_PROGRIGA_DO30"), tr(QStringLiteral("Riga"), 91042),
                      ColumnKind::Number, 500);
    m_grid->addColumn(QStringLiteral("PD5E_CODFASE_PD12"), tr(QStringLiteral("Fase"), 26484),
                      ColumnKind::Number, 600);
    m_grid->addColumn(QStringLiteral("FW07_DESCR"), tr(QStringLiteral("Utente"), 91043), ColumnKind::Text,
                      1500);
    m_grid->addColumn(QStringLiteral("PD5E_RISPOSTA"), tr(QStringLiteral("Risposta"), 91044),
                      ColumnKind::Text, 3000);
    m_grid->setEditable(false);
    if (m_rows) {
        m_model = std::make_unique<db::RecordsetModel>(m_rows.get());
        m_model->setEditable(false);
        m_grid->bind(m_model.get());
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(buttons);
    resize(900, 400);
}

StoricoSolleciti::~StoricoSolleciti() {
    m_grid->unbind();
}

} // namespace scadlav
