#pragma once
// The controls of the schedule screen, each carrying its name as its objectName, and how they
// are laid out. The screen owns them; its concerns reach them through the screen.

#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTimer;
class QWidget;

namespace erpctl {
class CheckList;
class CodeCombo;
class DateField;
class EnhancedQuery;
class FlagCheckBox;
class Grid;
class GridBar;
class ImageList;
class MenuButton;
class PhaseTimeline;
class SplitPane;
} // namespace erpctl

namespace scadlav {

struct ScheduleControls {
    erpctl::EnhancedQuery* EnhancedQuery = nullptr;
    QLabel* QRX_LABEL5 = nullptr; // "Data minima ODL"
    erpctl::DateField* TXT_DATAMIN = nullptr;
    QLabel* QRX_LABEL1 = nullptr; // "Tipo lavorazioni"
    erpctl::CodeCombo* CBO_TIPOLAV = nullptr;
    erpctl::MenuButton* cmdStato = nullptr; // "Stato ordine produzione"
    erpctl::CheckList* lstStati = nullptr;
    QLabel* QRX_LABEL4 = nullptr; // "Data ricalcolo"
    erpctl::DateField* TXT_DATARIC = nullptr;
    erpctl::FlagCheckBox* CHK_MODIFICA = nullptr; // "Modifica"
    QPushButton* CMD_ELABORA = nullptr;           // "Visualizza" / "Parametri"
    QPushButton* CMD_RICALCOLA = nullptr;         // "&Ricalcola"
    QPushButton* CMD_DATE = nullptr;              // "&Calc. Date"
    erpctl::MenuButton* CMD_FUNZ = nullptr;       // "Funz.Coll."
    erpctl::MenuButton* CMD_DETT = nullptr;       // "Dett. Ord. +"
    QLabel* QRX_LABEL2 = nullptr;                 // "Ordinamento"
    erpctl::CodeCombo* CBO_ORD = nullptr;
    QFrame* QRX_FRAME1 = nullptr; // holds the grids area
    erpctl::SplitPane* SPLITTER = nullptr;
    erpctl::Grid* GRID_ORD = nullptr;
    erpctl::GridBar* BAR_GRID_ORD = nullptr; // quick search, rows shown, legend, export
    erpctl::GridBar* BAR_GRID_DETT = nullptr; // quick search and rows shown of the detail
    erpctl::GridBar* BAR_GRID_CLI = nullptr;  // the same for the customer orders
    erpctl::Grid* GRID_DETT = nullptr;
    // The lower pane of the splitter: the detail grid with the order line's timeline on its
    // right. It is shown and hidden with the detail grid.
    QSplitter* DETT_AREA = nullptr;
    erpctl::PhaseTimeline* TIMELINE_DETT = nullptr;
    QGroupBox* FrameCLI = nullptr; // "Dettaglio ordini di vendita da evadere"
    QLabel* QRX_LABEL3 = nullptr;  // "Articolo"
    QLineEdit* TXT_ARTIC = nullptr;
    erpctl::Grid* GRID_CLI = nullptr;
    QLabel* LBL_TOTCLI = nullptr;         // the article's total open quantity
    QPushButton* CMD_CHIUDICLI = nullptr; // "&Chiudi"
    erpctl::ImageList* IMG_STATO = nullptr;
    QTimer* Timer1 = nullptr; // grid width adjustment, 100 ms

    // Creates every control as a child of `screen` with its design caption and lays them out.
    void build(QWidget* screen);
    // Places the state list below its menu button, like a drop-down.
    void placeStateList(QWidget* screen);

    // A design length in twips, in pixels of `widget`.
    static int scaledX(const QWidget* widget, int twips);
    static int scaledY(const QWidget* widget, int twips);
};

} // namespace scadlav
