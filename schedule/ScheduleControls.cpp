// The schedule screen's controls and how they are laid out. Qt layouts take the place of the resize
// control: the controls follow the window from the design size on.
#include "schedule/ScheduleControls.h"

#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridBar.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/PhaseTimeline.h"
#include "platform/controls/SplitPane.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace scadlav {

namespace {

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

int ScheduleControls::scaledX(const QWidget* widget, int twips) {
    return twips * widget->logicalDpiX() / 1440;
}

int ScheduleControls::scaledY(const QWidget* widget, int twips) {
    return twips * widget->logicalDpiY() / 1440;
}

void ScheduleControls::build(QWidget* screen) {
    // Captions come in the session's language from the start, through the host's catalog.
    const auto text = [](int id, const char* italian) {
        return erpctl::controlText(id, QString::fromUtf8(italian));
    };
    QRX_LABEL5 = named(new QLabel(text(91430, "Data minima ODL"), screen), "QRX_LABEL5");
    TXT_DATAMIN = named(new erpctl::DateField(screen), "TXT_DATAMIN");
    QRX_LABEL1 = named(new QLabel(text(91431, "Tipo lavorazioni"), screen), "QRX_LABEL1");
    CBO_TIPOLAV = named(new erpctl::CodeCombo(screen), "CBO_TIPOLAV");
    cmdStato = named(new erpctl::MenuButton(screen), "cmdStato");
    cmdStato->setCaption(text(91432, "Stato ordine produzione"));
    QRX_LABEL4 = named(new QLabel(text(91433, "Data ricalcolo"), screen), "QRX_LABEL4");
    TXT_DATARIC = named(new erpctl::DateField(screen), "TXT_DATARIC");
    TXT_DATARIC->setReadOnly(true);
    CHK_MODIFICA = named(new erpctl::FlagCheckBox(text(91434, "Modifica"), screen), "CHK_MODIFICA");
    CMD_ELABORA = named(new QPushButton(text(60970, "Visualizza"), screen), "CMD_ELABORA");
    CMD_RICALCOLA = named(new QPushButton(text(91435, "&Ricalcola"), screen), "CMD_RICALCOLA");
    CMD_DATE = named(new QPushButton(text(91436, "&Calc. Date"), screen), "CMD_DATE");
    CMD_FUNZ = named(new erpctl::MenuButton(screen), "CMD_FUNZ");
    CMD_FUNZ->setCaption(text(91437, "Funz.Coll."));
    CMD_DETT = named(new erpctl::MenuButton(screen), "CMD_DETT");
    CMD_DETT->setCaption(text(78529, "Dett. Ord. +"));
    QRX_LABEL2 = named(new QLabel(text(91438, "Ordinamento"), screen), "QRX_LABEL2");
    CBO_ORD = named(new erpctl::CodeCombo(screen), "CBO_ORD");

    QRX_FRAME1 = named(new QFrame(screen), "QRX_FRAME1");
    QRX_FRAME1->setFrameShape(QFrame::StyledPanel);
    EnhancedQuery = named(new erpctl::EnhancedQuery(QRX_FRAME1), "EnhancedQuery");
    SPLITTER = named(new erpctl::SplitPane(QRX_FRAME1), "SPLITTER");
    GRID_ORD = named(new erpctl::Grid(QRX_FRAME1), "GRID_ORD");
    DETT_AREA = named(new QSplitter(Qt::Horizontal, QRX_FRAME1), "DETT_AREA");
    // The detail grid under its own search line, beside the timeline.
    auto* detailPane = named(new QWidget(DETT_AREA), "PANE_DETT");
    GRID_DETT = named(new erpctl::Grid(detailPane), "GRID_DETT");
    BAR_GRID_DETT = named(new erpctl::GridBar(detailPane), "BAR_GRID_DETT");
    BAR_GRID_DETT->setGrid(GRID_DETT);
    auto* detailLayout = new QVBoxLayout(detailPane);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addWidget(BAR_GRID_DETT);
    detailLayout->addWidget(GRID_DETT, 1);
    TIMELINE_DETT = named(new erpctl::PhaseTimeline(DETT_AREA), "TIMELINE_DETT");
    DETT_AREA->addWidget(detailPane);
    DETT_AREA->addWidget(TIMELINE_DETT);
    DETT_AREA->setChildrenCollapsible(false);
    // The grid keeps three fifths of the width, the timeline takes the rest.
    DETT_AREA->setStretchFactor(0, 3);
    DETT_AREA->setStretchFactor(1, 2);
    SPLITTER->setPanes(GRID_ORD, DETT_AREA);
    // Search box, rows shown, icon legend and export above the schedule grid, shown with it.
    BAR_GRID_ORD = named(new erpctl::GridBar(QRX_FRAME1), "BAR_GRID_ORD");
    BAR_GRID_ORD->setGrid(GRID_ORD);

    FrameCLI =
        named(new QGroupBox(text(91439, "Dettaglio ordini di vendita da evadere"), screen), "FrameCLI");
    QRX_LABEL3 = named(new QLabel(text(7369, "Articolo"), FrameCLI), "QRX_LABEL3");
    TXT_ARTIC = named(new QLineEdit(FrameCLI), "TXT_ARTIC");
    TXT_ARTIC->setReadOnly(true);
    CMD_CHIUDICLI = named(new QPushButton(text(91440, "&Chiudi"), FrameCLI), "CMD_CHIUDICLI");
    GRID_CLI = named(new erpctl::Grid(FrameCLI), "GRID_CLI");
    BAR_GRID_CLI = named(new erpctl::GridBar(FrameCLI), "BAR_GRID_CLI");
    BAR_GRID_CLI->setGrid(GRID_CLI);
    LBL_TOTCLI = named(new QLabel(FrameCLI), "LBL_TOTCLI");
    LBL_TOTCLI->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The state list floats over the screen below its menu button, like a drop-down.
    lstStati = named(new erpctl::CheckList(screen), "lstStati");
    lstStati->hide();

    IMG_STATO = new erpctl::ImageList(screen);
    IMG_STATO->setObjectName(QStringLiteral("IMG_STATO"));
    IMG_STATO->addStatusImages();

    Timer1 = new QTimer(screen);
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
    frameLayout->setContentsMargins(scaledX(screen, 45), scaledY(screen, 135), scaledX(screen, 45),
                                    scaledY(screen, 60));
    frameLayout->addWidget(EnhancedQuery);
    frameLayout->addWidget(BAR_GRID_ORD);
    frameLayout->addWidget(SPLITTER);

    auto* customerLayout = new QGridLayout(FrameCLI);
    customerLayout->addWidget(QRX_LABEL3, 0, 0);
    customerLayout->addWidget(TXT_ARTIC, 0, 1);
    customerLayout->addWidget(LBL_TOTCLI, 0, 2);
    customerLayout->addWidget(CMD_CHIUDICLI, 0, 3);
    customerLayout->setColumnStretch(2, 1);
    customerLayout->addWidget(BAR_GRID_CLI, 1, 0, 1, 4);
    customerLayout->addWidget(GRID_CLI, 2, 0, 1, 4);

    auto* screenLayout = new QVBoxLayout(screen);
    screenLayout->addLayout(parameters);
    screenLayout->addLayout(actions);
    screenLayout->addWidget(QRX_FRAME1, 1);
    screenLayout->addWidget(FrameCLI);
}

void ScheduleControls::placeStateList(QWidget* screen) {
    // Below the button, 15 twips in from its left edge and 30 twips narrower.
    const QPoint topLeft = cmdStato->mapTo(screen, QPoint(0, cmdStato->height()));
    lstStati->setGeometry(topLeft.x() + scaledX(screen, 15), topLeft.y(),
                          cmdStato->width() - scaledX(screen, 30), scaledY(screen, 1315));
}

} // namespace scadlav
