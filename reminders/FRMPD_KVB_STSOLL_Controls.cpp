// The controls of the reminder screen with their design captions, their layout, and the
// columns of the reminder grid.
#include "reminders/FRMPD_KVB_STSOLL.h"

#include "module/contract/Cinterface.h"
#include "module/services/IGlobalContext.h"
#include "module/services/ILayoutService.h"
#include "platform/controls/CodeField.h"
#include "platform/controls/Grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace scadlav {

namespace {

template <class T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The letter's texts hold at most 500 characters, so that their two report parameters of 255
// carry them whole: what goes beyond is cut as it is typed or pasted, and `cut` is told.
void limitText(QPlainTextEdit* edit, int maxLength, const std::function<void(int)>* cut) {
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, maxLength, cut] {
        const QString text = edit->toPlainText();
        if (text.size() <= maxLength)
            return;
        if (*cut)
            (*cut)(maxLength);
        QTextCursor cursor = edit->textCursor();
        const int position = std::min(cursor.position(), maxLength);
        edit->setPlainText(text.left(maxLength));
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
    });
}

QLineEdit* descriptionBox(QWidget* parent, const char* name) {
    auto* box = named(new QLineEdit(parent), name);
    box->setMaxLength(40);
    box->setEnabled(false);
    return box;
}

} // namespace

void ReminderControls::build(QWidget* screen) {
    Frame1 = named(new QGroupBox(QStringLiteral("Selezione"), screen), "Frame1");
    GRID = named(new erpctl::Grid(Frame1), "GRID");
    CMD_SEL = named(new QPushButton(QStringLiteral("&Sel.Tutti"), Frame1), "CMD_SEL");
    CMD_DESEL = named(new QPushButton(QStringLiteral("&Desel.Tutti"), Frame1), "CMD_DESEL");
    CMD_CONFERMA = named(new QPushButton(QStringLiteral("&Conferma"), Frame1), "CMD_CONFERMA");

    FrameNota = named(new QGroupBox(QStringLiteral("Inserimento nota costruzione"), Frame1), "FrameNota");
    TXT_NOTA = named(new QLineEdit(FrameNota), "TXT_NOTA");
    TXT_NOTA->setMaxLength(240);
    CMD_CONFNOTA = named(new QPushButton(QStringLiteral("C&onferma"), FrameNota), "CMD_CONFNOTA");
    CMD_CHIUDINOTA = named(new QPushButton(QStringLiteral("C&hiudi"), FrameNota), "CMD_CHIUDINOTA");

    FrameParametri = named(new QGroupBox(screen), "FrameParametri");
    LBL_COD_INIZ = named(new QLabel(QStringLiteral("Cod. testo iniziale"), FrameParametri), "LBL_COD_INIZ");
    TXT_COD_INIZ = named(new erpctl::CodeField(FrameParametri), "TXT_COD_INIZ");
    TXT_COD_INIZ->setUpperCase(true);
    TXT_COD_INIZ->setToolTip(QStringLiteral("Codice testo iniziale"));
    TXT_DESCR_INIZ = descriptionBox(FrameParametri, "TXT_DESCR_INIZ");
    TXT_TESTO_INIZ = named(new QPlainTextEdit(FrameParametri), "TXT_TESTO_INIZ");
    TXT_TESTO_INIZ->setToolTip(QStringLiteral("Testo iniziale"));
    limitText(TXT_TESTO_INIZ, 500, &onTextCut);
    LBL_TESTOFIN = named(new QLabel(QStringLiteral("Cod. testo finale"), FrameParametri), "LBL_TESTOFIN");
    TXT_COD_FIN = named(new erpctl::CodeField(FrameParametri), "TXT_COD_FIN");
    TXT_COD_FIN->setUpperCase(true);
    TXT_COD_FIN->setToolTip(QStringLiteral("Codice testo finale"));
    TXT_DESCR_FIN = descriptionBox(FrameParametri, "TXT_DESCR_FIN");
    TXT_TESTO_FIN = named(new QPlainTextEdit(FrameParametri), "TXT_TESTO_FIN");
    TXT_TESTO_FIN->setToolTip(QStringLiteral("Testo finale"));
    limitText(TXT_TESTO_FIN, 500, &onTextCut);
    LBL_TITOLO = named(new QLabel(QStringLiteral("Titolo"), FrameParametri), "LBL_TITOLO");
    TXT_TITOLO = named(new QLineEdit(FrameParametri), "TXT_TITOLO");
    TXT_TITOLO->setMaxLength(50);
    LBL_TIPOLOGO = named(new QLabel(QStringLiteral("Tipo logo"), FrameParametri), "LBL_TIPOLOGO");
    CMB_TIPOLOGO = named(new QComboBox(FrameParametri), "CMB_TIPOLOGO");
    LBL_FAXMAIL = named(new QLabel(QStringLiteral("Parametri Fax/E-mail"), FrameParametri), "LBL_FAXMAIL");
    CMB_FAXMAIL = named(new QComboBox(FrameParametri), "CMB_FAXMAIL");
    CMB_FAXMAIL->setToolTip(QStringLiteral("Parametri di invio Fax/Mail"));
    LBL_TIPOCONTATTO = named(new QLabel(QStringLiteral("Tipo contatto"), FrameParametri), "LBL_TIPOCONTATTO");
    TXT_TIPOCONTATTO = named(new erpctl::CodeField(FrameParametri), "TXT_TIPOCONTATTO");
    TXT_TIPOCONTATTO->setUpperCase(true);
    TXT_DESCRCONTATTO = descriptionBox(FrameParametri, "TXT_DESCRCONTATTO");
    TXT_TIPOCONTATTO->setDescriptionField(TXT_DESCRCONTATTO);
    CMD_STAMPA = named(new QPushButton(QStringLiteral("&Stampa"), FrameParametri), "CMD_STAMPA");
    CMD_FAX = named(new QPushButton(QStringLiteral("Invio &Fax"), FrameParametri), "CMD_FAX");
    CMD_MAIL = named(new QPushButton(QStringLiteral("Invio &Mail"), FrameParametri), "CMD_MAIL");
    CMD_INDIETRO = named(new QPushButton(QStringLiteral("&Indietro"), FrameParametri), "CMD_INDIETRO");
    CMD_CHIUDI = named(new QPushButton(QStringLiteral("&Chiudi"), screen), "CMD_CHIUDI");

    // Selection panel: the grid with its buttons below; the note editor under them.
    auto* noteLayout = new QHBoxLayout(FrameNota);
    noteLayout->addWidget(TXT_NOTA, 1);
    noteLayout->addWidget(CMD_CONFNOTA);
    noteLayout->addWidget(CMD_CHIUDINOTA);
    auto* selectionButtons = new QHBoxLayout;
    selectionButtons->addWidget(CMD_SEL);
    selectionButtons->addWidget(CMD_DESEL);
    selectionButtons->addStretch(1);
    selectionButtons->addWidget(CMD_CONFERMA);
    auto* selectionLayout = new QVBoxLayout(Frame1);
    selectionLayout->addWidget(GRID, 1);
    selectionLayout->addWidget(FrameNota);
    selectionLayout->addLayout(selectionButtons);

    // Parameters panel: texts, title, logo, recipient source and contact type, the actions.
    auto* p = new QGridLayout(FrameParametri);
    p->addWidget(LBL_COD_INIZ, 0, 0);
    p->addWidget(TXT_COD_INIZ, 0, 1);
    p->addWidget(TXT_DESCR_INIZ, 0, 2, 1, 2);
    p->addWidget(TXT_TESTO_INIZ, 1, 0, 1, 4);
    p->addWidget(LBL_TESTOFIN, 2, 0);
    p->addWidget(TXT_COD_FIN, 2, 1);
    p->addWidget(TXT_DESCR_FIN, 2, 2, 1, 2);
    p->addWidget(TXT_TESTO_FIN, 3, 0, 1, 4);
    p->addWidget(LBL_TITOLO, 4, 0);
    p->addWidget(TXT_TITOLO, 4, 1, 1, 3);
    p->addWidget(LBL_TIPOLOGO, 5, 0);
    p->addWidget(CMB_TIPOLOGO, 5, 1);
    p->addWidget(LBL_FAXMAIL, 6, 0);
    p->addWidget(CMB_FAXMAIL, 6, 1);
    p->addWidget(LBL_TIPOCONTATTO, 7, 0);
    p->addWidget(TXT_TIPOCONTATTO, 7, 1);
    p->addWidget(TXT_DESCRCONTATTO, 7, 2, 1, 2);
    auto* actions = new QHBoxLayout;
    actions->addWidget(CMD_STAMPA);
    actions->addWidget(CMD_FAX);
    actions->addWidget(CMD_MAIL);
    actions->addStretch(1);
    actions->addWidget(CMD_INDIETRO);
    p->addLayout(actions, 8, 0, 1, 4);
    p->setColumnStretch(3, 1);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(CMD_CHIUDI);
    auto* screenLayout = new QVBoxLayout(screen);
    screenLayout->addWidget(Frame1, 1);
    screenLayout->addWidget(FrameParametri, 1);
    screenLayout->addLayout(closeRow);
    FrameParametri->hide();
}

void FRMPD_KVB_STSOLL::ImpostaGrigliaSolleciti() {
    using erpctl::ColumnKind;
    erpctl::Grid* g = m_ui->GRID;
    const QString quantity = QStringLiteral("###,###,###,##0.00");
    g->removeAllColumns();
    g->setKeyField(QStringLiteral("PD5C_KEYGRID"));
    g->setLayoutKey(ScreenName + QStringLiteral(".GRID"));
    auto column = [this, g](const QString& caption, int id, const char* field, ColumnKind kind, int width,
                            const QString& format = {}, bool visible = true) {
        g->addColumn(QString::fromLatin1(field), TraduzioneTesto(caption, id), kind, width, visible, format);
    };
    column(QStringLiteral("Key"), 34608, "PD5C_KEYGRID", ColumnKind::Text, 500, {}, false);
    g->addCheckColumn(QStringLiteral("PD5C_SEL"), TraduzioneTesto(QStringLiteral("Sel."), 51342), 400);
    column(QStringLiteral("Cod.For."), 11785, "PD5C_CLIFOR_CG44", ColumnKind::Text, 700,
           QStringLiteral("#######"));
    column(QStringLiteral("Rag.Soc."), 47695, "PD5C_FORREP", ColumnKind::Text, 1500);
    column(QStringLiteral("Fase"), 26484, "PD5C_CODFASE_PD12", ColumnKind::Number, 600,
           QStringLiteral("#####"));
    column(QStringLiteral("Descr. fase"), 20848, "PD5C_DESCFASE", ColumnKind::Text, 1500);
    column(QStringLiteral("Articolo"), 7369, "PD5C_CODART_MG66", ColumnKind::Text, 1000);
    column(QStringLiteral("Descr. art."), 20762, "PD5C_DESCART", ColumnKind::Text, 1500);
    column(QStringLiteral("Cod. doc."), 11539, "PD5C_DOCUM_MG3G", ColumnKind::Text, 700);
    column(QStringLiteral("Num. doc."), 40823, "PD5C_NUMDOC", ColumnKind::Number, 800,
           QStringLiteral("#####"));
    column(QStringLiteral("Data doc."), 18210, "PD5C_DATADOC", ColumnKind::Date, 1000);
    column(QStringLiteral("OCLAV"), 73706, "PD5C_RIFOCLAV", ColumnKind::Text, 1800);
    column(QStringLiteral("Data fine"), 18354, "PD5C_DATAFINEFASE", ColumnKind::Date, 1000);
    column(QStringLiteral("Qta res."), 46699, "PD5C_QTARES", ColumnKind::Number, 1000, quantity);
    column(QStringLiteral("Qta in lav."), 78541, "PD5C_QTAINLAV", ColumnKind::Number, 1000, quantity);
    column(QStringLiteral("Note costr."), 78547, "DO46_NOTECOSTR", ColumnKind::Text, 1500);
    // The reminder history: the last reminder sent and how many were.
    column(QStringLiteral("Ultimo sollecito"), 91030, "ULTIMO_SOLLECITO", ColumnKind::Text, 1400);
    column(QStringLiteral("N. solleciti"), 91031, "N_SOLLECITI", ColumnKind::Number, 700,
           QStringLiteral("####"));
    // Marks are written by the screen's own handler, one row at a time.
    g->setEditable(false);
}

void FRMPD_KVB_STSOLL::ImpostaLayoutSolleciti() {
    // The user's grid layout of the screen, kept by the host under the screen's layout name;
    // every change the user makes is stored again.
    IGlobalContext* context = global();
    ILayoutService* layouts = context ? context->layoutService() : nullptr;
    if (!layouts)
        return;
    erpctl::Grid* g = m_ui->GRID;
    if (const std::optional<QByteArray> saved = layouts->restoreLayout(context->userId(), LayoutName))
        g->restoreLayout(*saved);
    auto store = [this, g] {
        IGlobalContext* c = global();
        if (ILayoutService* l = c ? c->layoutService() : nullptr)
            l->storeLayout(c->userId(), LayoutName, g->saveLayout());
    };
    connect(g, &erpctl::Grid::layoutEdited, this, store);
    connect(g, &erpctl::Grid::columnVisibilityChanged, this, store);
}

} // namespace scadlav
