// The screen's controls and how they are laid out. Qt layouts take the place of the resize
// control: the controls follow the window from the design size on.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace scadlav {

namespace {

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

int FRMPD_KVB_SCADLAV::scaledX(int twips) const {
    return twips * logicalDpiX() / 1440;
}

int FRMPD_KVB_SCADLAV::scaledY(int twips) const {
    return twips * logicalDpiY() / 1440;
}

void FRMPD_KVB_SCADLAV::buildControls() {
    // Captions are the design captions; the first activation translates what the user reads.
    QRX_LABEL5 = named(new QLabel(QStringLiteral("Data minima ODL"), this), "QRX_LABEL5");
    TXT_DATAMIN = named(new erpctl::DateField(this), "TXT_DATAMIN");
    QRX_LABEL1 = named(new QLabel(QStringLiteral("Tipo lavorazioni"), this), "QRX_LABEL1");
    CBO_TIPOLAV = named(new erpctl::CodeCombo(this), "CBO_TIPOLAV");
    cmdStato = named(new erpctl::MenuButton(this), "cmdStato");
    cmdStato->setCaption(QStringLiteral("Stato ordine produzione"));
    QRX_LABEL4 = named(new QLabel(QStringLiteral("Data ricalcolo"), this), "QRX_LABEL4");
    TXT_DATARIC = named(new erpctl::DateField(this), "TXT_DATARIC");
    TXT_DATARIC->setReadOnly(true);
    CHK_MODIFICA = named(new erpctl::FlagCheckBox(QStringLiteral("Modifica"), this), "CHK_MODIFICA");
    CMD_ELABORA = named(new QPushButton(QStringLiteral("Visualizza"), this), "CMD_ELABORA");
    CMD_RICALCOLA = named(new QPushButton(QStringLiteral("&Ricalcola"), this), "CMD_RICALCOLA");
    CMD_DATE = named(new QPushButton(QStringLiteral("&Calc. Date"), this), "CMD_DATE");
    CMD_FUNZ = named(new erpctl::MenuButton(this), "CMD_FUNZ");
    CMD_FUNZ->setCaption(QStringLiteral("Funz.Coll."));
    CMD_DETT = named(new erpctl::MenuButton(this), "CMD_DETT");
    CMD_DETT->setCaption(QStringLiteral("Dett. Ord. +"));
    QRX_LABEL2 = named(new QLabel(QStringLiteral("Ordinamento"), this), "QRX_LABEL2");
    CBO_ORD = named(new erpctl::CodeCombo(this), "CBO_ORD");

    QRX_FRAME1 = named(new QFrame(this), "QRX_FRAME1");
    QRX_FRAME1->setFrameShape(QFrame::StyledPanel);
    EnhancedQuery = named(new erpctl::EnhancedQuery(QRX_FRAME1), "EnhancedQuery");
    SPLITTER = named(new erpctl::SplitPane(QRX_FRAME1), "SPLITTER");
    GRID_ORD = named(new erpctl::Grid(QRX_FRAME1), "GRID_ORD");
    GRID_DETT = named(new erpctl::Grid(QRX_FRAME1), "GRID_DETT");
    SPLITTER->setPanes(GRID_ORD, GRID_DETT);

    FrameCLI =
        named(new QGroupBox(QStringLiteral("Dettaglio ordini di vendita da evadere"), this), "FrameCLI");
    QRX_LABEL3 = named(new QLabel(QStringLiteral("Articolo"), FrameCLI), "QRX_LABEL3");
    TXT_ARTIC = named(new QLineEdit(FrameCLI), "TXT_ARTIC");
    TXT_ARTIC->setReadOnly(true);
    CMD_CHIUDICLI = named(new QPushButton(QStringLiteral("&Chiudi"), FrameCLI), "CMD_CHIUDICLI");
    GRID_CLI = named(new erpctl::Grid(FrameCLI), "GRID_CLI");

    // The state list floats over the screen below its menu button, like a drop-down.
    lstStati = named(new erpctl::CheckList(this), "lstStati");
    lstStati->hide();

    IMG_STATO = new erpctl::ImageList(this);
    IMG_STATO->setObjectName(QStringLiteral("IMG_STATO"));
    IMG_STATO->addStatusImages();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(false);

    auto* parameters = new QGridLayout;
    parameters->addWidget(QRX_LABEL5, 0, 0);
    parameters->addWidget(TXT_DATAMIN, 0, 1);
    parameters->addWidget(QRX_LABEL1, 0, 2);
    parameters->addWidget(CBO_TIPOLAV, 0, 3);
    parameters->addWidget(cmdStato, 0, 4);
    parameters->addWidget(QRX_LABEL4, 0, 5);
    parameters->addWidget(TXT_DATARIC, 0, 6);
    parameters->setColumnStretch(7, 1);

    auto* actions = new QHBoxLayout;
    actions->addWidget(CHK_MODIFICA);
    actions->addWidget(CMD_ELABORA);
    actions->addWidget(CMD_RICALCOLA);
    actions->addWidget(CMD_DATE);
    actions->addWidget(CMD_DETT);
    actions->addWidget(CMD_FUNZ);
    actions->addStretch(1);
    actions->addWidget(QRX_LABEL2);
    actions->addWidget(CBO_ORD);

    auto* frameLayout = new QVBoxLayout(QRX_FRAME1);
    frameLayout->setContentsMargins(scaledX(45), scaledY(135), scaledX(45), scaledY(60));
    frameLayout->addWidget(EnhancedQuery);
    frameLayout->addWidget(SPLITTER);

    auto* customerLayout = new QGridLayout(FrameCLI);
    customerLayout->addWidget(QRX_LABEL3, 0, 0);
    customerLayout->addWidget(TXT_ARTIC, 0, 1);
    customerLayout->addWidget(CMD_CHIUDICLI, 0, 3);
    customerLayout->setColumnStretch(2, 1);
    customerLayout->addWidget(GRID_CLI, 1, 0, 1, 4);

    auto* screen = new QVBoxLayout(this);
    screen->addLayout(parameters);
    screen->addLayout(actions);
    screen->addWidget(QRX_FRAME1, 1);
    screen->addWidget(FrameCLI);
}

void FRMPD_KVB_SCADLAV::placeStateList() {
    // Below the button, 15 twips in from its left edge and 30 twips narrower.
    const QPoint topLeft = cmdStato->mapTo(this, QPoint(0, cmdStato->height()));
    lstStati->setGeometry(topLeft.x() + scaledX(15), topLeft.y(), cmdStato->width() - scaledX(30),
                          scaledY(1315));
}

void FRMPD_KVB_SCADLAV::resizeEvent(QResizeEvent* event) {
    ModuleScreen::resizeEvent(event);
    // After the controls followed the window, the split goes back to 70 / 30.
    if (SPLITTER)
        SPLITTER->setSplitPercent(70);
    if (lstStati && lstStati->isVisible())
        placeStateList();
}

void FRMPD_KVB_SCADLAV::SPLITTER_Changed() {
    Timer1->start();
}

void FRMPD_KVB_SCADLAV::Timer1_Timer() {
    Timer1->stop();
    // Once the split settled, both grids take the frame's width less its margins.
    const int width = QRX_FRAME1->width() - scaledX(100);
    if (width <= 0)
        return;
    GRID_ORD->resize(width, GRID_ORD->height());
    GRID_DETT->resize(GRID_ORD->width(), GRID_DETT->height());
}

void FRMPD_KVB_SCADLAV::cmdStato_Click() {
    if (lstStati->isHidden()) {
        placeStateList();
        lstStati->show();
        lstStati->raise();
    } else {
        lstStati->hide();
    }
}

void FRMPD_KVB_SCADLAV::CMD_CHIUDICLI_Click() {
    FrameCLI->hide();
}

void FRMPD_KVB_SCADLAV::MostraVistaParametri() {
    SPLITTER->hide();
    GRID_ORD->hide();
    GRID_DETT->hide();
    CBO_ORD->hide();
    QRX_LABEL2->hide();
    CMD_DETT->hide();
    CMD_FUNZ->hide();
    CMD_DATE->hide();
    EnhancedQuery->show();
    CHK_MODIFICA->show();
    CMD_RICALCOLA->show();
}

void FRMPD_KVB_SCADLAV::MostraVistaRisultati() {
    EnhancedQuery->hide();
    CHK_MODIFICA->hide();
    CMD_RICALCOLA->hide();
    lstStati->hide();
    SPLITTER->show();
    GRID_ORD->show();
    CBO_ORD->show();
    QRX_LABEL2->show();
    CMD_DETT->show();
    CMD_FUNZ->show();
    CMD_DATE->setVisible(CHK_MODIFICA->valueText() == QStringLiteral("1"));
}

} // namespace scadlav
