// The proposals screen's lifecycle (load, activations, close request, unload), its grid and
// screen layouts kept by the host, the supplier bands and the export of the list.
#include "proposals/FRMPD_KVB_PROP.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostStateRefresh.h"
#include "module/services/ILayoutService.h"
#include "module/services/IMessageService.h"
#include "module/services/IUsageTracking.h"
#include "module/services/RuntimeError.h"
#include "module/value/TableFile.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridTable.h"
#include "platform/controls/NumberPicture.h"

#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace scadlav {

namespace {

const QString kQuantity = QStringLiteral("###,###,###,##0.00");
// Title under which the host's usage tracking counts both screens of the order portfolio.
const QString kUsageTitle = QStringLiteral("Portafoglio ordini");

int twipsToPixels(int twips, int dpi) {
    return twips * dpi / 1440;
}

} // namespace

FRMPD_KVB_PROP::FRMPD_KVB_PROP(QWidget* parent)
    : ModuleScreen(parent), m_messages([this] { return ClsModulo; }) {
    setObjectName(ScreenName);
    setWindowTitle(QStringLiteral("Giacenze in fase"));
    buildControls();
}

FRMPD_KVB_PROP::~FRMPD_KVB_PROP() {
    // The grid lets go of the rows before the model goes.
    if (GRID_GIAC)
        GRID_GIAC->unbind();
}

void FRMPD_KVB_PROP::buildControls() {
    Frame1 = new QGroupBox(QStringLiteral("Elenco"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    GRID_GIAC = new erpctl::Grid(Frame1);
    GRID_GIAC->setObjectName(QStringLiteral("GRID_GIAC"));
    auto* listLayout = new QVBoxLayout(Frame1);
    listLayout->addWidget(GRID_GIAC);

    FrameFornitori = new QGroupBox(QStringLiteral("Da inviare per fornitore"), this);
    FrameFornitori->setObjectName(QStringLiteral("FrameFornitori"));
    GRID_FORNITORI = new QTableWidget(0, 4, FrameFornitori);
    GRID_FORNITORI->setObjectName(QStringLiteral("GRID_FORNITORI"));
    GRID_FORNITORI->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GRID_FORNITORI->verticalHeader()->hide();
    GRID_FORNITORI->horizontalHeader()->setStretchLastSection(true);
    auto* bandLayout = new QVBoxLayout(FrameFornitori);
    bandLayout->addWidget(GRID_FORNITORI);

    CMD_ESPORTA = new QPushButton(QStringLiteral("Esporta..."), this);
    CMD_ESPORTA->setObjectName(QStringLiteral("CMD_ESPORTA"));
    CMD_CHIUDI = new QPushButton(QStringLiteral("&Chiudi"), this);
    CMD_CHIUDI->setObjectName(QStringLiteral("CMD_CHIUDI"));
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(CMD_ESPORTA);
    buttons->addWidget(CMD_CHIUDI);

    // The list takes what the window gives; the bands keep a few rows' height.
    auto* screenLayout = new QVBoxLayout(this);
    screenLayout->addWidget(Frame1, 4);
    screenLayout->addWidget(FrameFornitori, 1);
    screenLayout->addLayout(buttons);

    connect(CMD_CHIUDI, &QPushButton::clicked, this, [this] { CMD_CHIUDI_Click(); });
    connect(CMD_ESPORTA, &QPushButton::clicked, this, [this] { CMD_ESPORTA_Click(); });
}

bool FRMPD_KVB_PROP::OrdinaProposte(db::Recordset& rows) {
    return rows.setSort(SortOrder);
}

QString FRMPD_KVB_PROP::TraduzioneTesto(const QString& testo, std::int32_t id, const Value& parametri) {
    return m_messages.TraduzioneTesto(testo, id, parametri);
}

std::int16_t FRMPD_KVB_PROP::userId() const {
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    return global ? global->userId() : 0;
}

void FRMPD_KVB_PROP::ScriviErrore(const QString& routine) {
    const RuntimeError error = RuntimeError::fromException(std::current_exception());
    if (!LogErrori)
        return;
    LogErrori->takeError(error);
    LogErrori->writeRecord(IErrorLog::DefaultPosition, LibraryName, routine);
}

void FRMPD_KVB_PROP::showEvent(QShowEvent* event) {
    if (!m_loaded)
        Form_Load();
    ModuleScreen::showEvent(event);
}

void FRMPD_KVB_PROP::Form_Load() {
    if (m_loaded)
        return;
    m_loaded = true;
    try {
        setWindowTitle(TraduzioneTesto(QStringLiteral("Giacenze in fase"), 91200));
        Frame1->setTitle(TraduzioneTesto(QStringLiteral("Elenco"), 91201));
        CMD_CHIUDI->setText(TraduzioneTesto(QStringLiteral("&Chiudi"), 91202));
        FrameFornitori->setTitle(TraduzioneTesto(QStringLiteral("Da inviare per fornitore"), 91203));
        CMD_ESPORTA->setText(TraduzioneTesto(QStringLiteral("Esporta..."), 90404));
        move(twipsToPixels(DesignLeftTwips, logicalDpiX()), twipsToPixels(DesignTopTwips, logicalDpiY()));
        resize(twipsToPixels(DesignWidthTwips, logicalDpiX()),
               twipsToPixels(DesignHeightTwips, logicalDpiY()));
        // The screen's own connection: rows on the client, reading what others have not
        // committed yet, as every read of the schedule does.
        m_connection = std::make_unique<db::Connection>();
        m_connection->setCursorLocation(db::CursorLocation::Client);
        m_connection->setIsolationLevel(db::IsolationLevel::ReadUncommitted);
        if (!m_connection->open(StringaConnessione)) {
            const QString reason = m_connection->lastErrorText();
            m_connection.reset();
            throw RuntimeException({RuntimeError::ApplicationDefined, reason, ScreenName, {}});
        }
    } catch (...) {
        ScriviErrore(QStringLiteral("Form_Load"));
    }
    try {
        RegistraUtilizzo(IUsageTracking::Open);
    } catch (...) {
    }
}

void FRMPD_KVB_PROP::changeEvent(QEvent* event) {
    ModuleScreen::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FRMPD_KVB_PROP::Form_Activate() {
    if (isUnloaded())
        return;
    try {
        AggiornaStatoHost();
        if (!m_activated)
            PrimaAttivazione();
    } catch (...) {
        ScriviErrore(QStringLiteral("Form_Activate"));
    }
}

void FRMPD_KVB_PROP::PrimaAttivazione() {
    if (!RigheProposte || !RigheProposte->isOpen())
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Righe proposte non impostate"), ScreenName, {}});
    if (!OrdinaProposte(*RigheProposte))
        throw RuntimeException(
            {RuntimeError::ApplicationDefined, RigheProposte->lastErrorText(), ScreenName, {}});
    ImpostaGrigliaProposte();
    ImpostaLayoutProposte();
    MostraBande();
    m_activated = true;
}

void FRMPD_KVB_PROP::ImpostaGrigliaProposte() {
    using erpctl::ColumnKind;
    try {
        erpctl::Grid* g = GRID_GIAC;
        g->unbind();
        g->removeAllColumns();
        g->setKeyField(QStringLiteral("PD5C_KEYGRID"));
        g->setLayoutKey(ScreenName + QLatin1Char('.') + g->objectName());
        auto column = [this, g](const QString& caption, int id, const char* field, ColumnKind kind, int width,
                                const QString& format = QString(), bool visible = true) {
            g->addColumn(QString::fromLatin1(field), TraduzioneTesto(caption, id), kind, width, visible,
                         format);
        };
        column(QStringLiteral("Key"), 34608, "PD5C_KEYGRID", ColumnKind::Text, 500, QString(), false);
        column(QStringLiteral("Cod.For."), 11785, "PD5C_CLIFOR_CG44", ColumnKind::Text, 800,
               QStringLiteral("#######"));
        column(QStringLiteral("Rag.Soc."), 47695, "PD5C_FORREP", ColumnKind::Text, 1500);
        column(QStringLiteral("Qta res."), 46699, "PD5C_QTARES", ColumnKind::Number, 1000, kQuantity);
        column(QStringLiteral("Cod. doc."), 11539, "PD5C_DOCUM_MG3G", ColumnKind::Text, 700);
        column(QStringLiteral("Num. doc."), 40823, "PD5C_NUMDOC", ColumnKind::Number, 800,
               QStringLiteral("#####"));
        column(QStringLiteral("Data doc."), 18210, "PD5C_DATADOC", ColumnKind::Date, 1000);
        column(QStringLiteral("OCLAV"), 73706, "PD5C_RIFOCLAV", ColumnKind::Text, 1800);
        column(QStringLiteral("Fase"), 26484, "PD5C_CODFASE_PD12", ColumnKind::Number, 600,
               QStringLiteral("#####"));
        column(QStringLiteral("Descr. fase"), 20848, "PD5C_DESCFASE", ColumnKind::Text, 1500);
        column(QStringLiteral("Qta da inv."), 78523, "PD5C_QTADAINV", ColumnKind::Number, 1000, kQuantity);
        column(QStringLiteral("Giac. in fase"), 78524, "PD5C_GIACPREC", ColumnKind::Number, 1000, kQuantity);
        // Fully covered phases say so; partly covered ones leave the cell empty.
        g->addListColumn(QStringLiteral("CTRL_QTA"), TraduzioneTesto(QStringLiteral("Suff."), 78525),
                         {{1, TraduzioneTesto(QStringLiteral("Sì"), 52385)}, {2, QString()}}, 500);

        if (!m_model) {
            m_model = std::make_unique<db::RecordsetModel>();
            m_model->setEditable(false);
        }
        m_model->setRecordset(RigheProposte);
        g->setEditable(false);
        g->bind(m_model.get());
    } catch (const RuntimeException& e) {
        m_messages.QRX_MSGBOX(e.error().description, 0, msgbox::OkOnly, windowTitle());
    }
}

void FRMPD_KVB_PROP::ImpostaLayoutProposte() {
    // The user's own size and place of the screen and the columns of its list, as the host
    // kept them; every later change of the columns is stored again at once.
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    ILayoutService* layouts = global ? global->layoutService() : nullptr;
    if (!layouts)
        return;
    if (const std::optional<QByteArray> screen = layouts->restoreLayout(userId(), LayoutName))
        restoreGeometry(*screen);
    if (const std::optional<QByteArray> grid = layouts->restoreLayout(userId(), GRID_GIAC->layoutKey()))
        GRID_GIAC->restoreLayout(*grid);
    disconnect(GRID_GIAC, &erpctl::Grid::layoutEdited, this, nullptr);
    disconnect(GRID_GIAC, &erpctl::Grid::columnVisibilityChanged, this, nullptr);
    connect(GRID_GIAC, &erpctl::Grid::layoutEdited, this, [this] { SalvaLayout(); });
    connect(GRID_GIAC, &erpctl::Grid::columnVisibilityChanged, this, [this] { SalvaLayout(); });
}

void FRMPD_KVB_PROP::SalvaLayout() {
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    if (ILayoutService* layouts = global ? global->layoutService() : nullptr)
        layouts->storeLayout(userId(), GRID_GIAC->layoutKey(), GRID_GIAC->saveLayout());
}

void FRMPD_KVB_PROP::MostraBande() {
    m_bands = supplierBands(*RigheProposte);
    GRID_FORNITORI->setHorizontalHeaderLabels({TraduzioneTesto(QStringLiteral("Cod.For."), 11785),
                                               TraduzioneTesto(QStringLiteral("Rag.Soc."), 47695),
                                               TraduzioneTesto(QStringLiteral("Fasi"), 91205),
                                               TraduzioneTesto(QStringLiteral("Qta inviabile"), 91206)});
    GRID_FORNITORI->setRowCount(int(m_bands.size()));
    const erpctl::NumberPicture quantity(kQuantity);
    for (int row = 0; row < m_bands.size(); ++row) {
        const SupplierBand& band = m_bands[row];
        const QStringList cells{band.supplier, band.name, QString::number(band.phases),
                                quantity.formatDecimal(band.sendable.toString(), locale())};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            GRID_FORNITORI->setItem(row, c, item);
        }
    }
    GRID_FORNITORI->resizeColumnsToContents();
}

void FRMPD_KVB_PROP::RegistraUtilizzo(const QString& azione) {
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    if (IUsageTracking* usage = global ? global->usageTracking() : nullptr)
        usage->registerUsage(azione, kUsageTitle, windowTitle());
}

void FRMPD_KVB_PROP::AggiornaStatoHost() {
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    if (IHostStateRefresh* refresh = global ? global->hostStateRefresh() : nullptr)
        refresh->refreshHostState();
}

void FRMPD_KVB_PROP::CMD_CHIUDI_Click() {
    close();
}

bool FRMPD_KVB_PROP::queryUnload() {
    // The close is never cancelled; each step's failure is ignored.
    try {
        AggiornaStatoHost();
    } catch (...) {
    }
    try {
        RegistraUtilizzo(IUsageTracking::Close);
    } catch (...) {
    }
    return true;
}

void FRMPD_KVB_PROP::onUnload() {
    try {
        IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
        if (ILayoutService* layouts = global ? global->layoutService() : nullptr)
            layouts->storeLayout(userId(), LayoutName, saveGeometry());
    } catch (...) {
    }
    try {
        GRID_GIAC->unbind();
        if (m_model)
            m_model->setRecordset(nullptr);
        if (m_connection)
            m_connection->close();
        m_connection.reset();
    } catch (...) {
    }
}

bool FRMPD_KVB_PROP::EsportaProposte(const QString& path, QString& error) {
    const QList<erpctl::ShownColumn> columns = erpctl::shownColumns(*GRID_GIAC);
    TextTable table;
    for (const erpctl::ShownColumn& column : columns)
        table.headers << column.caption;
    table.rowCount = GRID_GIAC->rowCount();
    table.cell = [this, &columns](int row, int c) { return erpctl::shownCell(*GRID_GIAC, row, columns[c]); };
    return writeTableFile(path, table, &error);
}

void FRMPD_KVB_PROP::CMD_ESPORTA_Click() {
    const QString path = QFileDialog::getSaveFileName(
        this, TraduzioneTesto(QStringLiteral("Esporta griglia"), 90405), QString(),
        TraduzioneTesto(QStringLiteral("File CSV (*.csv);;Cartella Excel (*.xlsx)"), 90406));
    if (path.isEmpty())
        return;
    QString error;
    if (!EsportaProposte(path, error)) {
        m_messages.QRX_MSGBOX(QStringLiteral("Impossibile scrivere il file %1:\n%2"), 90408,
                              msgbox::Exclamation, windowTitle(), Value(QList<Value>{path, error}));
        return;
    }
    m_messages.QRX_MSGBOX(QStringLiteral("Esportazione completata: %1 righe scritte in %2"), 90407,
                          msgbox::Information, windowTitle(),
                          Value(QList<Value>{GRID_GIAC->rowCount(), path}));
}

} // namespace scadlav
