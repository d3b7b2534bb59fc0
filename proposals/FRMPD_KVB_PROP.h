#pragma once
// The proposals screen "Giacenze in fase": the subcontracted phases that could be sent out now
// because the previous phase's stock covers their quantity to send, fully or in part. The
// schedule screen hands it the rows and shows it modally; it changes nothing.
//
// Fully covered phases come first, then by supplier and order date. Below the list, one band
// per supplier tells how many phases could go and how much of them; the list can be exported
// as shown, to CSV or to an Excel workbook.

#include "module/contract/ModuleScreen.h"
#include "module/contract/TranslatedMessages.h"
#include "proposals/SupplierBands.h"

#include <QString>
#include <cstdint>
#include <memory>

class QGroupBox;
class QPushButton;
class QTableWidget;

namespace erpctl {
class Grid;
}

namespace scadlav {

class IErrorLog;
namespace db {
class Connection;
class Recordset;
class RecordsetModel;
} // namespace db

class FRMPD_KVB_PROP : public ModuleScreen {
    Q_OBJECT
public:
    explicit FRMPD_KVB_PROP(QWidget* parent = nullptr);
    ~FRMPD_KVB_PROP() override;

    static inline const QString ScreenName = QStringLiteral("FRMPD_KVB_PROP");
    // Module text of the error-log records of the lifecycle.
    static inline const QString LibraryName = QStringLiteral("PDUO_KVB_SCADLAV");
    // Name under which the host keeps the user's layout of the screen.
    static inline const QString LayoutName = QStringLiteral("Form proposte");
    // Fully covered first, then supplier code, then order date.
    static inline const QString SortOrder = QStringLiteral("CTRL_QTA,PD5C_CLIFOR_CG44,PD5C_DATADOC");
    // Design place and size, in twips.
    static constexpr int DesignTopTwips = 1155;
    static constexpr int DesignLeftTwips = 1700;
    static constexpr int DesignWidthTwips = 12675;
    static constexpr int DesignHeightTwips = 7890;

    // ---- What the schedule screen hands over before showing it (ClsModulo is inherited) ----
    db::Connection* ConnessioneChiamante = nullptr; // the schedule screen's connection
    IErrorLog* LogErrori = nullptr;                 // the schedule screen's error log
    QString StringaConnessione;
    std::int16_t CodiceDitta = 0;
    // The schedule rows whose stock class is 1 or 2; owned by the schedule screen.
    db::Recordset* RigheProposte = nullptr;

    // Sorts proposal rows as the screen shows them. False when the record set refuses.
    static bool OrdinaProposte(db::Recordset& rows);

    // ---- Lifecycle --------------------------------------------------------------------------
    // Place, size, own connection and the usage notice; run when the screen is first shown.
    void Form_Load();
    // Every activation refreshes the host's state; the first one also sorts the rows and lays
    // out the grid and the screen. A failure is written to the error log.
    void Form_Activate();
    bool isActivated() const { return m_activated; }
    void CMD_CHIUDI_Click();

    void ImpostaGrigliaProposte();
    void ImpostaLayoutProposte();
    void RegistraUtilizzo(const QString& azione);
    void AggiornaStatoHost();

    // ---- Beyond the list --------------------------------------------------------------------
    const QList<SupplierBand>& bands() const { return m_bands; }
    // The list as shown (visible columns in their order) to `path`: an Excel workbook for
    // ".xlsx", CSV otherwise. False with the reason.
    bool EsportaProposte(const QString& path, QString& error);
    // Asks the user for a file and exports to it.
    void CMD_ESPORTA_Click();

    db::Connection* connection() const { return m_connection.get(); }

    // Controls, named as the screen names them.
    QGroupBox* Frame1 = nullptr; // "Elenco"
    erpctl::Grid* GRID_GIAC = nullptr;
    QGroupBox* FrameFornitori = nullptr; // supplier bands
    QTableWidget* GRID_FORNITORI = nullptr;
    QPushButton* CMD_ESPORTA = nullptr;
    QPushButton* CMD_CHIUDI = nullptr;

protected:
    bool queryUnload() override;
    void onUnload() override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void PrimaAttivazione();
    void MostraBande();
    void SalvaLayout();
    void ScriviErrore(const QString& routine);
    std::int16_t userId() const;
    QString TraduzioneTesto(const QString& testo, std::int32_t id, const Value& parametri = Value());

    TranslatedMessages m_messages;
    std::unique_ptr<db::Connection> m_connection;
    std::unique_ptr<db::RecordsetModel> m_model;
    QList<SupplierBand> m_bands;
    bool m_loaded = false;
    bool m_activated = false;
};

} // namespace scadlav
