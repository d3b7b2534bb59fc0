// The columns of the screen's three grids, their value lists and status icons, and the
// user's own layout of each grid kept by the host.
#include "schedule/ScheduleResults.h"

#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include "module/contract/Cinterface.h"
#include "module/services/IGlobalContext.h"
#include "module/services/ILayoutService.h"
#include "module/services/IMessageService.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridBar.h"
#include "platform/controls/ImageList.h"

#include <QAction>

namespace scadlav {

namespace {

using erpctl::ColumnKind;

const QString kQuantity = QStringLiteral("###,###,###,##0.00");

// The grid's layout key: screen name, ".", grid name.
QString layoutKey(const erpctl::Grid* grid) {
    return FRMPD_KVB_SCADLAV::ScreenName + QLatin1Char('.') + grid->objectName();
}

// What the lights of the three classification columns mean, for their tooltips and the legend.
void describeStatusIcons(erpctl::Grid& grid, ScreenSession& session) {
    const auto text = [&session](const char* italian, int id) {
        return session.TraduzioneTesto(QString::fromUtf8(italian), id);
    };
    grid.setImageMeanings(QStringLiteral("CTRL_DATE"),
                          {{1, text("Date in regola", 91450)},
                           {2, text("Dovrebbe essere in corso ma nulla si muove", 91451)},
                           {3, text("In ritardo", 91452)}});
    grid.setImageMeanings(
        QStringLiteral("CTRL_QTA"),
        {{1, text("Quantità da inviare coperta dalla giacenza della fase precedente", 91453)},
         {2, text("Quantità da inviare coperta in parte", 91454)},
         {4, text("Niente da inviare", 91455)}});
    grid.setImageMeanings(QStringLiteral("SOLL"), {{1, text("Non ancora in scadenza", 91456)},
                                                   {2, text("In corso", 91457)},
                                                   {3, text("Scaduto: da sollecitare", 91458)},
                                                   {4, text("Niente in lavorazione", 91459)}});
}

} // namespace

QList<erpctl::ListItem> ScheduleResults::ListaStatiOrdine() {
    return {
        {0, session().TraduzioneTesto(QStringLiteral("Emesso"), 24918)},
        {1, session().TraduzioneTesto(QStringLiteral("Confermato"), 14654)},
        {2, session().TraduzioneTesto(QStringLiteral("Lanciato"), 35297)},
        {3, session().TraduzioneTesto(QStringLiteral("In produzione"), 32503)},
        {4, session().TraduzioneTesto(QStringLiteral("Parzialmente evaso"), 43373)},
        {9, session().TraduzioneTesto(QStringLiteral("Chiuso"), 10848)},
        {99, QString()},
    };
}

QList<erpctl::ListItem> ScheduleResults::ListaStatiFase() {
    return {
        {0, session().TraduzioneTesto(QStringLiteral("Generata"), 27971)},
        {1, session().TraduzioneTesto(QStringLiteral("Stampata"), 54992)},
        {2, session().TraduzioneTesto(QStringLiteral("Avanzata"), 8486)},
        {3, session().TraduzioneTesto(QStringLiteral("Saldata"), 50104)},
        {4, session().TraduzioneTesto(QStringLiteral("Lista/DDT"), 35934)},
        {99, QString()},
    };
}

QList<erpctl::ListItem> ScheduleResults::ListaDirezioni() {
    return {
        {0, QString()},
        {1, session().TraduzioneTesto(QStringLiteral("Avanti"), 8460)},
        {2, session().TraduzioneTesto(QStringLiteral("Indietro"), 33294)},
        {3, session().TraduzioneTesto(QStringLiteral("Fase corr."), 78548)},
    };
}

void ScheduleResults::IniziaLayoutGriglia(erpctl::Grid* grid, const QString& keyField) {
    grid->removeAllColumns();
    grid->setKeyField(keyField);
    grid->setLayoutKey(layoutKey(grid));
}

void ScheduleResults::ApplicaLayoutUtente(erpctl::Grid* grid) {
    // The user's own widths, order and shown columns, as the host stored them last time;
    // every later change the user makes is stored again at once.
    IGlobalContext* global = session().module() ? session().module()->Cinterface_ClsGlobal() : nullptr;
    ILayoutService* layouts = global ? global->layoutService() : nullptr;
    if (!layouts)
        return;
    if (const std::optional<QByteArray> saved = layouts->restoreLayout(session().userId(), grid->layoutKey()))
        grid->restoreLayout(*saved);
    QObject::disconnect(grid, &erpctl::Grid::layoutEdited, &m_screen, nullptr);
    QObject::disconnect(grid, &erpctl::Grid::columnVisibilityChanged, &m_screen, nullptr);
    auto store = [this, grid] { SalvaLayoutGriglia(grid); };
    QObject::connect(grid, &erpctl::Grid::layoutEdited, &m_screen, store);
    QObject::connect(grid, &erpctl::Grid::columnVisibilityChanged, &m_screen, store);
}

void ScheduleResults::SalvaLayoutGriglia(erpctl::Grid* grid) {
    IGlobalContext* global = session().module() ? session().module()->Cinterface_ClsGlobal() : nullptr;
    if (ILayoutService* layouts = global ? global->layoutService() : nullptr)
        layouts->storeLayout(session().userId(), grid->layoutKey(), grid->saveLayout());
}

void ScheduleResults::MostraErroreGriglia(const RuntimeError& error) {
    session().QRX_MSGBOX(error.description, 0, msgbox::OkOnly, m_screen.windowTitle());
}

void ScheduleResults::ImpostaGrigliaOrdini() {
    try {
        erpctl::Grid* g = ui().GRID_ORD;
        IniziaLayoutGriglia(g, QStringLiteral("PD5C_KEYGRID"));
        auto text = [this, g](const QString& caption, int id, const char* field, int width,
                              bool visible = true) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id), ColumnKind::Text,
                         width, visible);
        };
        auto number = [this, g](const QString& caption, int id, const char* field, int width,
                                const QString& format) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id),
                         ColumnKind::Number, width, true, format);
        };
        auto date = [this, g](const QString& caption, int id, const char* field) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id), ColumnKind::Date,
                         1000);
        };
        auto icon = [this, g](const QString& caption, int id, const char* field) {
            g->addImageColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id),
                              ui().IMG_STATO, 700);
        };
        // Job and project columns: captions as they stand, hidden until the user shows them.
        auto fixed = [g](const char* caption, const char* field, ColumnKind kind, int width) {
            g->addColumn(QString::fromLatin1(field), QString::fromUtf8(caption), kind, width, false);
        };

        text(QStringLiteral("Key"), 34608, "PD5C_KEYGRID", 500, false);
        text(QStringLiteral("I/E"), 29710, "PD5C_FASEINTEST", 400);
        text(QStringLiteral("Forn./Rep."), 27545, "PD5C_FORREP", 1500);
        number(QStringLiteral("Seq. fase"), 51946, "PD5C_SEQUENZA", 500, QStringLiteral("#####"));
        number(QStringLiteral("Fase"), 26484, "PD5C_CODFASE_PD12", 700, QStringLiteral("#####"));
        text(QStringLiteral("Descr. fase"), 20848, "PD5C_DESCFASE", 1500);
        number(QStringLiteral("SF"), 52346, "PD5C_PROGSFASE", 500, QStringLiteral("####"));
        g->addListColumn(QStringLiteral("PD5C_INDSTATOORD"),
                         session().TraduzioneTesto(QStringLiteral("Stato fase"), 55195), ListaStatiFase(),
                         1000);
        text(QStringLiteral("Articolo"), 7369, "PD5C_CODART_MG66", 1200);
        text(QStringLiteral("Variante"), 60287, "PD5C_OPZIONE_MG5E", 600);
        number(QStringLiteral("Giacenza"), 29019, "PD5C_QGIACATT_MG70", 1000, kQuantity);
        text(QStringLiteral("Cod. doc."), 11539, "PD5C_DOCUM_MG3G", 700);
        number(QStringLiteral("Num. doc."), 40823, "PD5C_NUMDOC", 800, QStringLiteral("#####"));
        date(QStringLiteral("Data doc."), 18210, "PD5C_DATADOC");
        date(QStringLiteral("Data cons."), 17948, "PD5C_DATACONS");
        date(QStringLiteral("Data ini."), 78536, "PD5C_DATAINIFASE");
        date(QStringLiteral("Data fine"), 18354, "PD5C_DATAFINEFASE");
        icon(QStringLiteral("Ctrl.Date"), 78537, "CTRL_DATE");
        text(QStringLiteral("OCLAV"), 73706, "PD5C_RIFOCLAV", 1800);
        date(QStringLiteral("Data cons. OCLAV"), 78538, "PD5C_DATACONSOCLAV");
        g->addListColumn(QStringLiteral("PD5C_INDSTATOCONS"),
                         session().TraduzioneTesto(QStringLiteral("Stato ord."), 55247), ListaStatiOrdine(),
                         1000);
        number(QStringLiteral("Qta ODL"), 78539, "PD5C_QTA1ORD", 1000, kQuantity);
        number(QStringLiteral("Qta vers."), 78540, "PD5C_QTA1CONSOLID", 1000, kQuantity);
        number(QStringLiteral("Qta scarto"), 46759, "PD5C_QTA1SCARTO", 1000, kQuantity);
        number(QStringLiteral("Qta res."), 46699, "PD5C_QTARES", 1000, kQuantity);
        number(QStringLiteral("Qta in lav."), 78541, "PD5C_QTAINLAV", 1000, kQuantity);
        icon(QStringLiteral("Soll."), 78542, "SOLL");
        number(QStringLiteral("Qta da inv."), 78523, "PD5C_QTADAINV", 1000, kQuantity);
        text(QStringLiteral("Fase prec."), 78543, "PD5C_FASEPREC", 700);
        text(QStringLiteral("Descr. fase prec."), 78544, "PD5C_DESCFASEPREC", 1500);
        text(QStringLiteral("For./Rep. prec."), 78545, "PD5C_FORREPPREC", 1500);
        // The previous phase's reported quantity carries the same caption as this phase's.
        number(QStringLiteral("Qta vers."), 78540, "PD5C_DISPPREC", 1000, kQuantity);
        number(QStringLiteral("Giac. in fase"), 78524, "PD5C_GIACPREC", 1000, kQuantity);
        icon(QStringLiteral("Ctrl.Qtà"), 78546, "CTRL_QTA");
        text(QStringLiteral("Note costr."), 78547, "DO46_NOTECOSTR", 1500);
        text(QStringLiteral("Descrizione articolo"), 21175, "DO30_DESCART", 2500, false);
        fixed("Commessa", "DO41_CODCOMMESSA", ColumnKind::Text, 2000);
        fixed("S.commessa", "DO41_CODSCOMMESSA", ColumnKind::Number, 700);
        fixed("Descr. commessa", "PD25_DESCR", ColumnKind::Text, 2000);
        fixed("Progetto", "DO41_CODPROGETTO", ColumnKind::Text, 2000);
        fixed("Descr. progetto", "PD68_DESCRPROG", ColumnKind::Text, 2000);
        fixed("Nodo", "DO41_NODORIF_PD0C", ColumnKind::Text, 2000);
        fixed("Descr. nodo", "PD0C_DESCR", ColumnKind::Text, 2000);
        fixed("Sottop.", "DO41_CODSPROGETTO", ColumnKind::Number, 700);
        fixed("Descr. sottoprogetto", "PD69_DESCRSOTPROG", ColumnKind::Text, 2000);
        fixed("Tipo progetto", "PD68_TIPO_PD1D", ColumnKind::Text, 1250);
        fixed("Descr. tipo progetto", "PD1D_DESCR", ColumnKind::Text, 2300);
        fixed("Stato progetto", "PD68_STATO_PD1E", ColumnKind::Text, 1350);
        fixed("Descr. stato progetto", "PD1E_DESCR", ColumnKind::Text, 2300);
        fixed("Classe A progetto", "PD68_CLASSEA_PD1F", ColumnKind::Text, 1600);
        fixed("Descr. classe A progetto", "PD1F_DESCR", ColumnKind::Text, 2300);
        fixed("Classe B progetto", "PD68_CLASSEB_PD1G", ColumnKind::Text, 1600);
        fixed("Descr. classe B progetto", "PD1G_DESCR", ColumnKind::Text, 2300);
        fixed("Classe C progetto", "PD68_CLASSEC_PD1H", ColumnKind::Text, 1600);
        fixed("Descr. classe C progetto", "PD1H_DESCR", ColumnKind::Text, 2300);

        // Marks go to PD5C_SEL of the row; the feature is switched on by "Visualizza" in
        // modification mode only.
        g->setSelectionField(QStringLiteral("PD5C_SEL"));
        g->setFeatureEnabled(erpctl::Grid::SelectionFeatureKey, false);
        ApplicaLayoutUtente(g);
        describeStatusIcons(*g, session());
        // Supplier, phase, article and document stay in sight while the planner scrolls right.
        g->setFrozenFields({QStringLiteral("PD5C_FORREP"), QStringLiteral("PD5C_CODFASE_PD12"),
                            QStringLiteral("PD5C_CODART_MG66"), QStringLiteral("PD5C_NUMDOC")});
        g->setTotalFields({QStringLiteral("PD5C_QTA1ORD"), QStringLiteral("PD5C_QTA1CONSOLID"),
                           QStringLiteral("PD5C_QTA1SCARTO"), QStringLiteral("PD5C_QTARES"),
                           QStringLiteral("PD5C_QTAINLAV"), QStringLiteral("PD5C_QTADAINV")});

        connectExport(g, ui().BAR_GRID_ORD);
    } catch (const RuntimeException& e) {
        MostraErroreGriglia(e.error());
    }
}

// Export of the rows as shown, from the grid's context menu and from the button above it; once
// per grid, as the grids are laid out again at every show.
void ScheduleResults::connectExport(erpctl::Grid* g, erpctl::GridBar* bar) {
    if (g->findChild<QAction*>(QStringLiteral("ACT_ESPORTA")))
        return;
    auto* esporta = new QAction(session().TraduzioneTesto(QStringLiteral("Esporta..."), 90404), g);
    esporta->setObjectName(QStringLiteral("ACT_ESPORTA"));
    QObject::connect(esporta, &QAction::triggered, &m_screen, [this, g] { EsportaGriglia(g); });
    g->addAction(esporta);
    g->setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(bar, &erpctl::GridBar::exportRequested, &m_screen, [this, g] { EsportaGriglia(g); });
}

void ScheduleResults::ImpostaGrigliaDettaglio() {
    try {
        erpctl::Grid* g = ui().GRID_DETT;
        IniziaLayoutGriglia(g, QStringLiteral("KEY_GRID"));
        auto text = [this, g](const QString& caption, int id, const char* field, int width,
                              bool visible = true) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id), ColumnKind::Text,
                         width, visible);
        };
        auto number = [this, g](const QString& caption, int id, const char* field, int width,
                                const QString& format, bool visible = true) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id),
                         ColumnKind::Number, width, visible, format);
        };
        auto date = [this, g](const QString& caption, int id, const char* field) {
            g->addColumn(QString::fromLatin1(field), session().TraduzioneTesto(caption, id), ColumnKind::Date,
                         1000);
        };

        text(QStringLiteral("Key"), 34608, "KEY_GRID", 500, false);
        text(QStringLiteral("I/E"), 29710, "FASE_IE", 300);
        text(QStringLiteral("Forn./Rep."), 27545, "FORREP", 1500);
        number(QStringLiteral("Seq. fase"), 51946, "DO46_CODSEQFASE", 500, QStringLiteral("#####"));
        number(QStringLiteral("Fase"), 26484, "DO46_CODFASE", 600, QStringLiteral("#####"));
        text(QStringLiteral("Descr. fase"), 20848, "PD12_DESCR", 1500);
        number(QStringLiteral("SF"), 52346, "DO46_PROGSFASE", 300, QStringLiteral("####"));
        g->addListColumn(QStringLiteral("DO46_INDSTATOORD"),
                         session().TraduzioneTesto(QStringLiteral("Stato fase"), 55195), ListaStatiFase(),
                         1000);
        date(QStringLiteral("Data ini."), 78536, "DO46_DATAINIZIO");
        date(QStringLiteral("Data fine"), 18354, "DO46_DATAFINE");
        number(QStringLiteral("Qta fase"), 78549, "DO46_QTA1ORD", 1000, kQuantity);
        number(QStringLiteral("Qta vers."), 78540, "DO46_QTA1CONSOLID", 1000, kQuantity);
        number(QStringLiteral("Qta scarto"), 46759, "DO46_QTA1SCARTO", 1000, kQuantity);
        number(QStringLiteral("Qta res."), 46699, "QTARES", 1000, kQuantity);
        number(QStringLiteral("Qta in lav."), 78541, "QTA_INLAV", 1000, kQuantity);
        text(QStringLiteral("Ord. CLAV"), 78550, "RIF_OCL", 700);
        date(QStringLiteral("Data cons."), 17948, "DATACONS_OCL");
        date(QStringLiteral("Nuova data ini."), 78551, "DATA_INI");
        date(QStringLiteral("Nuova data fine"), 41670, "DATA_FINE");
        g->addListColumn(QStringLiteral("IND_DIR"), session().TraduzioneTesto(QStringLiteral("Mod."), 37477),
                         ListaDirezioni(), 1000);
        number(QStringLiteral("ID ciclo"), 78552, "DO46_IDCICLO_PD48", 300, QStringLiteral("#####"), false);

        // The new dates are typed here; "Visualizza" in view mode closes editing again.
        g->setEditable(true);
        g->setColumnEditable(QStringLiteral("DATA_INI"));
        g->setColumnEditable(QStringLiteral("DATA_FINE"));
        ApplicaLayoutUtente(g);
        g->setFrozenFields({QStringLiteral("FORREP"), QStringLiteral("DO46_CODFASE")});
        g->setTotalFields({QStringLiteral("DO46_QTA1ORD"), QStringLiteral("DO46_QTA1CONSOLID"),
                           QStringLiteral("DO46_QTA1SCARTO"), QStringLiteral("QTARES"),
                           QStringLiteral("QTA_INLAV")});
        connectExport(g, ui().BAR_GRID_DETT);
    } catch (const RuntimeException& e) {
        MostraErroreGriglia(e.error());
    }
}

void ScheduleResults::ImpostaGrigliaClienti() {
    try {
        erpctl::Grid* g = ui().GRID_CLI;
        IniziaLayoutGriglia(g, QStringLiteral("DO11_NUMDOC"));
        g->addColumn(QStringLiteral("DO11_DOCUM_MG36"),
                     session().TraduzioneTesto(QStringLiteral("Cod. doc."), 11539), ColumnKind::Text, 700);
        g->addColumn(QStringLiteral("DO11_NUMDOC"),
                     session().TraduzioneTesto(QStringLiteral("Num. doc."), 40823), ColumnKind::Number, 700,
                     true, QStringLiteral("#######"));
        g->addColumn(QStringLiteral("DO11_DATADOC"),
                     session().TraduzioneTesto(QStringLiteral("Data doc."), 18210), ColumnKind::Date, 1000);
        g->addColumn(QStringLiteral("DO11_CLIFOR_CG44"),
                     session().TraduzioneTesto(QStringLiteral("Cli."), 11151), ColumnKind::Number, 700, true,
                     QStringLiteral("#######"));
        g->addColumn(QStringLiteral("CG16_RAGSOANAG"),
                     session().TraduzioneTesto(QStringLiteral("Rag. soc."), 47663), ColumnKind::Text, 3500);
        g->addColumn(QStringLiteral("DO30_PROGVISUASTA"),
                     session().TraduzioneTesto(QStringLiteral("Riga"), 49386), ColumnKind::Number, 700, true,
                     QStringLiteral("#######"));
        g->addColumn(QStringLiteral("VFW_QTA1RES"),
                     session().TraduzioneTesto(QStringLiteral("Qta res."), 46699), ColumnKind::Number, 2000,
                     true, kQuantity);
        ApplicaLayoutUtente(g);
        g->setFrozenFields({QStringLiteral("DO11_DOCUM_MG36"), QStringLiteral("DO11_NUMDOC")});
        g->setTotalFields({QStringLiteral("VFW_QTA1RES")});
        connectExport(g, ui().BAR_GRID_CLI);
    } catch (const RuntimeException& e) {
        MostraErroreGriglia(e.error());
    }
}

} // namespace scadlav
