// The first activation of the schedule screen: connection, host services, registry clean-up,
// combos, filter panel, grids, working-table names and the time of the last rebuild.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IDecode.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/ILookup.h"
#include "module/services/IObjectFactory.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"
#include "schedule/AccessRegistry.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace scadlav {

namespace {

[[noreturn]] void fail(int number, const QString& description) {
    throw RuntimeException({number, description, FRMPD_KVB_SCADLAV::ScreenName});
}

IGlobalContext& globalContext(Cinterface* module) {
    IGlobalContext* global = module ? module->Cinterface_ClsGlobal() : nullptr;
    if (!global)
        fail(RuntimeError::ObjectNotSet, QStringLiteral("Contesto globale non disponibile"));
    return *global;
}

} // namespace

void FRMPD_KVB_SCADLAV::PrimaAttivazione() {
    IGlobalContext& global = globalContext(ClsModulo);

    // 1
    FrameCLI->hide();

    // 2: the screen's own connection, without a command time limit, handed to the module.
    m_connectionString = global.connectionString();
    ApriConnessione();
    ClsModulo->Cinterface_SetConnection(m_connection.get());

    // 3
    if (IObjectFactory* factory = HostRuntime::objectFactory())
        m_errorLog = factory->create<IErrorLog>(classnames::ErrorLog);

    // 4
    m_companyCode = global.companyCode();
    m_userId = global.userId();
    m_userIdentity = global.userIdentity();

    // 5: rows a previous screen of this user left behind (a crash, a lost connection).
    m_accessRegistry.reset();
    accessRegistry().PulisciRegistro();

    // 6
    CreaServiziHost();

    // 7, 8
    CaricaCombo();
    CaricaStati();

    // 9
    EnhancedQuery->initialize(QVariant(int(m_companyCode)), QVariant(global.userValue().toText()),
                              QVariant(m_userIdentity), ClsModulo, LibraryName, m_connection.get(), true);
    ImpostaRigheEnhQuery();
    EnhancedQuery->completeInitialization();

    // 10
    setWindowTitle(TraduzioneTesto(QStringLiteral("Situazione fasi di lavorazione"), 81080));

    // 11
    ImpostaGrigliaOrdini();
    ImpostaGrigliaDettaglio();
    ImpostaGrigliaClienti();

    // 12: the parameter view.
    CMD_DATE->hide();
    CMD_DETT->hide();
    CBO_ORD->hide();
    QRX_LABEL2->hide();
    CMD_FUNZ->hide();

    // 13: the screen opens in modification mode.
    CHK_MODIFICA->setValueText(QStringLiteral("1"));

    // 14
    LeggiDataRicalcolo();

    // 15
    CreaNomiTabelleLavoro();

    // 16
    SPLITTER->setSplitPercent(70);
    SPLITTER->hide();
    GRID_ORD->hide();
    GRID_DETT->hide();

    // 17
    m_initialized = true;

    // 18
    TXT_DATAMIN->setText(DataMinimaIniziale());

    // 19
    EnhancedQuery->setFocus();
}

void FRMPD_KVB_SCADLAV::ApriConnessione() {
    // The host's connection factory gives a fresh connection; a host without one leaves the
    // screen to make its own.
    if (IObjectFactory* factory = HostRuntime::objectFactory())
        m_connectionFactory = factory->create<IConnectionFactory>(classnames::ConnectionFactory);
    m_connection = m_connectionFactory ? m_connectionFactory->createConnection() : nullptr;
    if (!m_connection)
        m_connection = std::make_unique<db::Connection>();
    m_connection->setConnectionString(m_connectionString);
    if (!m_connection->open()) {
        const QString reason = m_connection->lastErrorText();
        m_connection.reset();
        fail(RuntimeError::ApplicationDefined, reason);
    }
    m_connection->setCommandTimeout(0);
}

void FRMPD_KVB_SCADLAV::CreaServiziHost() {
    RilasciaServiziHost();
    IObjectFactory* factory = HostRuntime::objectFactory();
    if (!factory)
        return;
    // A host without lookups or decodes leaves the slot empty: the filter panel then offers no
    // list and no description, and everything else works.
    for (int slot = 0; slot < int(m_hostServices.size()); ++slot) {
        const bool isLookup = slot % 2 == 0;
        std::unique_ptr<IHostObject> service =
            factory->createObject(isLookup ? classnames::Lookup : classnames::Decode);
        if (auto* lookup = dynamic_cast<ILookup*>(service.get()))
            lookup->setModule(ClsModulo);
        else if (auto* decode = dynamic_cast<IDecode*>(service.get()))
            decode->setModule(ClsModulo);
        m_hostServices[slot] = std::move(service);
    }
}

void FRMPD_KVB_SCADLAV::CaricaCombo() {
    CBO_TIPOLAV->clear();
    CBO_TIPOLAV->addItem(QStringLiteral("0"), TraduzioneTesto(QStringLiteral("Tutte"), 58728));
    CBO_TIPOLAV->addItem(QStringLiteral("1"), TraduzioneTesto(QStringLiteral("Interne"), 34033));
    CBO_TIPOLAV->addItem(QStringLiteral("2"), TraduzioneTesto(QStringLiteral("Esterne"), 26162));
    CBO_TIPOLAV->setText(QStringLiteral("0"));

    CBO_ORD->clear();
    CBO_ORD->addItem(QStringLiteral("0"), TraduzioneTesto(QStringLiteral("Forn./Rep."), 27545));
    CBO_ORD->addItem(QStringLiteral("1"), TraduzioneTesto(QStringLiteral("Ordine"), 42564));
    CBO_ORD->addItem(QStringLiteral("2"), TraduzioneTesto(QStringLiteral("Data fine"), 18354));
    CBO_ORD->addItem(QStringLiteral("3"), TraduzioneTesto(QStringLiteral("Data inizio"), 18561));
    CBO_ORD->setText(QStringLiteral("0"));
}

void FRMPD_KVB_SCADLAV::CaricaStati() {
    lstStati->clearItems();
    lstStati->addItem(QStringLiteral("K0"), TraduzioneTesto(QStringLiteral("Emesso"), 24918));
    lstStati->addItem(QStringLiteral("K1"), TraduzioneTesto(QStringLiteral("Confermato"), 14654));
    lstStati->addItem(QStringLiteral("K2"), TraduzioneTesto(QStringLiteral("Lanciato"), 35297));
    lstStati->addItem(QStringLiteral("K3"), TraduzioneTesto(QStringLiteral("In produzione"), 32503));
    lstStati->addItem(QStringLiteral("K4"), TraduzioneTesto(QStringLiteral("Parzialmente evaso"), 43373));
    placeStateList();
    lstStati->setAllChecked(true);
    lstStati->hide();
}

void FRMPD_KVB_SCADLAV::LeggiDataRicalcolo() {
    m_rsDataRicalcolo = EseguiSQL(QStringLiteral("SELECT TOP 1 PD5C_DATAELAB FROM PD5C_SCADLAV"));
    if (m_rsDataRicalcolo && m_rsDataRicalcolo->isOpen() && m_rsDataRicalcolo->recordCount() != 0) {
        m_rsDataRicalcolo->moveFirst();
        // The date part only: the field shows the day of the last rebuild.
        const QString text = RTrimN(m_rsDataRicalcolo->value(QStringLiteral("PD5C_DATAELAB"))).left(10);
        const std::optional<QDateTime> date = Value(text).toDateTime();
        if (!date)
            fail(RuntimeError::TypeMismatch, QStringLiteral("Data ricalcolo non valida: ") + text);
        TXT_DATARIC->setDate(date->date());
    } else {
        // No schedule to show until a rebuild.
        CMD_ELABORA->setEnabled(false);
    }
}

void FRMPD_KVB_SCADLAV::CreaNomiTabelleLavoro() {
    // The clock is read again for each name, as each is built.
    auto name = [this](const QString& prefix) {
        const QString now = HostRuntime::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        return ParseTableName(prefix + m_userIdentity + QStringLiteral("_") + now);
    };
    m_workTables.TempDati = name(QStringLiteral("##TempDati_"));
    m_workTables.TempDatiGRP = name(QStringLiteral("##TempDatiGRP_"));
    m_workTables.TestateODLOCL = name(QStringLiteral("##Testate_ODL_OCL"));
    m_workTables.DocumCambioCod = name(QStringLiteral("##Docum_CambioCod"));
    m_workTables.DocumFase = name(QStringLiteral("##Docum_Fase"));
    m_workTables.TabElab = name(QStringLiteral("##TabElab_"));
    m_workTables.TabODL = name(QStringLiteral("##TabODL_"));
}

QString FRMPD_KVB_SCADLAV::DataMinimaIniziale() const {
    // Six months back; 31 August gives the last day of February.
    return HostRuntime::now().date().addMonths(-6).toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace scadlav
