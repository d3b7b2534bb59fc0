#pragma once
// The order detail of the result view: the phases of the schedule row's order line in the
// detail grid, from a per-screen detail table created empty at each "Visualizza" and filled one
// order line at a time, the first time that line is opened. The detail follows the schedule
// grid's current row while it is open; the dates typed in it are kept until the next
// "Visualizza".

#include "module/value/Value.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace scadlav {

class FRMPD_KVB_SCADLAV;
class ScreenSession;
struct ScheduleControls;
namespace db {
class Recordset;
class RecordsetModel;
} // namespace db

class OrderDetail {
public:
    explicit OrderDetail(FRMPD_KVB_SCADLAV& screen);
    ~OrderDetail();

    // Creates the detail table afresh (dropping the one of the last "Visualizza") and binds the
    // detail grid to its empty record set. A failing statement throws.
    void PreparaDettaglio();
    // Opens the detail on the current schedule row's order line, or closes it.
    void CMD_DETT_Click();
    // The schedule grid stands on another row: while the detail is open, its order line is
    // shown. Failures go to the error log.
    void GRID_ORD_RowChanged();
    // Hides the detail; its table and the dates typed in it stay.
    void ChiudiDettaglio();
    // Dates can be typed in the detail only in modification mode.
    void ImpostaModalita(bool modifica);

    // ---- Typing new phase dates (OrderDetail_Dates.cpp) ----------------------------------------
    // A date cell of `row` is about to enter editing: a phase in state "Saldata" never does.
    void GRID_DETT_OnEditing(int row, const QString& field, bool& cancel);
    // The date typed in `field` of `row` was committed: it is checked against the other phases
    // of the line and recorded with its direction, or refused with a message and cleared.
    void GRID_DETT_OnEdited(int row, const QString& field);
    // The detail grid keeps the focus while a date edit is pending.
    void GRID_DETT_Validate(bool& cancel);
    // A click on "Mod." of a dated phase moves its direction on and makes it the line's anchor.
    void GRID_DETT_Click(int row, const QString& field);
    // Dates the database cannot hold (before 1753, after 9999) are refused before they are written.
    void GRID_DETT_ValidateCell(const QString& field, const QVariant& value, bool& cancel, QString& message);
    bool dateEditPending() const { return m_dateEditPending; }

    bool isOpen() const { return m_open; }
    db::Recordset* detailRecordset() const { return m_rsDettaglio.get(); }
    const QString& detailTableName() const { return m_tabellaDettaglio; }
    // The filter that shows one order line of the detail: number and line of the schedule row.
    static QString FiltroRiga(const QString& numreg, const QString& line);
    // The statement that copies every phase of an order line from the schedule into the table.
    static QString InserimentoRiga(const QString& table, const QString& numreg, const QString& line);
    void release();

private:
    ScheduleControls& ui() const;
    ScreenSession& session() const;
    // Loads the order line of the current schedule row (once per line) and shows it, standing
    // on the first sub-phase of the row's phase. False when there is no current schedule row.
    bool CaricaRigaOrdine();
    // The line filter of the current schedule row.
    QString FiltroRigaCorrente() const;
    // Writes the schedule row's selection mark (PD5C_SEL) at once.
    void SegnaRigaOrdine(int mark);
    // Sets the direction of the line's previous anchor (any other row than `key`) back to none.
    void AzzeraAncoraPrecedente(const QString& key);
    void ScriviDettaglio(const QString& field, const Value& value);
    void RinfrescaDettaglio();

    FRMPD_KVB_SCADLAV& m_screen;
    std::unique_ptr<db::Recordset> m_rsDettaglio;
    std::unique_ptr<db::RecordsetModel> m_modelDett;
    QString m_tabellaDettaglio;
    bool m_open = false;
    // From the moment a date cell enters editing until its edit has been recorded.
    bool m_dateEditPending = false;
};

} // namespace scadlav
