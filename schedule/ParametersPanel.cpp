#include "schedule/ParametersPanel.h"

#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IDecode.h"
#include "module/services/IHostObject.h"
#include "module/services/ILookup.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/sql/SqlText.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/MenuButton.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

namespace scadlav {

ParametersPanel::ParametersPanel(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

ParametersPanel::~ParametersPanel() = default;

void ParametersPanel::CreaServiziHost() {
    RilasciaServiziHost();
    IObjectFactory* factory = HostRuntime::objectFactory();
    if (!factory)
        return;
    // A host without lookups or decodes leaves the slot empty: the filter panel then offers no
    // list and no description, and everything else works.
    Cinterface* module = m_screen.session().module();
    for (int slot = 0; slot < int(m_hostServices.size()); ++slot) {
        const bool isLookup = slot % 2 == 0;
        std::unique_ptr<IHostObject> service =
            factory->createObject(isLookup ? classnames::Lookup : classnames::Decode);
        if (auto* lookup = dynamic_cast<ILookup*>(service.get()))
            lookup->setModule(module);
        else if (auto* decode = dynamic_cast<IDecode*>(service.get()))
            decode->setModule(module);
        m_hostServices[slot] = std::move(service);
    }
}

void ParametersPanel::RilasciaServiziHost() {
    for (std::unique_ptr<IHostObject>& service : m_hostServices) {
        if (auto* lookup = dynamic_cast<ILookup*>(service.get()))
            lookup->setModule(nullptr);
        else if (auto* decode = dynamic_cast<IDecode*>(service.get()))
            decode->setModule(nullptr);
        service.reset();
    }
}

void ParametersPanel::CaricaCombo() {
    ScheduleControls& ui = m_screen.controls();
    ScreenSession& session = m_screen.session();
    ui.CBO_TIPOLAV->clear();
    ui.CBO_TIPOLAV->addItem(QStringLiteral("0"), session.TraduzioneTesto(QStringLiteral("Tutte"), 58728));
    ui.CBO_TIPOLAV->addItem(QStringLiteral("1"), session.TraduzioneTesto(QStringLiteral("Interne"), 34033));
    ui.CBO_TIPOLAV->addItem(QStringLiteral("2"), session.TraduzioneTesto(QStringLiteral("Esterne"), 26162));
    ui.CBO_TIPOLAV->setText(QStringLiteral("0"));

    ui.CBO_ORD->clear();
    ui.CBO_ORD->addItem(QStringLiteral("0"), session.TraduzioneTesto(QStringLiteral("Forn./Rep."), 27545));
    ui.CBO_ORD->addItem(QStringLiteral("1"), session.TraduzioneTesto(QStringLiteral("Ordine"), 42564));
    ui.CBO_ORD->addItem(QStringLiteral("2"), session.TraduzioneTesto(QStringLiteral("Data fine"), 18354));
    ui.CBO_ORD->addItem(QStringLiteral("3"), session.TraduzioneTesto(QStringLiteral("Data inizio"), 18561));
    ui.CBO_ORD->setText(QStringLiteral("0"));
}

void ParametersPanel::CaricaStati() {
    ScheduleControls& ui = m_screen.controls();
    ScreenSession& session = m_screen.session();
    ui.lstStati->clearItems();
    ui.lstStati->addItem(QStringLiteral("K0"), session.TraduzioneTesto(QStringLiteral("Emesso"), 24918));
    ui.lstStati->addItem(QStringLiteral("K1"), session.TraduzioneTesto(QStringLiteral("Confermato"), 14654));
    ui.lstStati->addItem(QStringLiteral("K2"), session.TraduzioneTesto(QStringLiteral("Lanciato"), 35297));
    ui.lstStati->addItem(QStringLiteral("K3"),
                         session.TraduzioneTesto(QStringLiteral("In produzione"), 32503));
    ui.lstStati->addItem(QStringLiteral("K4"),
                         session.TraduzioneTesto(QStringLiteral("Parzialmente evaso"), 43373));
    ui.placeStateList(&m_screen);
    ui.lstStati->setAllChecked(true);
    ui.lstStati->hide();
}

QString ParametersPanel::DataMinimaIniziale() const {
    // Six months back; 31 August gives the last day of February.
    return HostRuntime::now().date().addMonths(-6).toString(QStringLiteral("dd/MM/yyyy"));
}

void ParametersPanel::cmdStato_Click() {
    ScheduleControls& ui = m_screen.controls();
    if (ui.lstStati->isHidden()) {
        ui.placeStateList(&m_screen);
        ui.lstStati->show();
        ui.lstStati->raise();
    } else {
        ui.lstStati->hide();
    }
}

bool ParametersPanel::ControllaParametri(QString* refusal) {
    ScheduleControls& ui = m_screen.controls();
    ScreenSession& session = m_screen.session();
    const auto refuse = [&](const QString& text, std::int32_t id, const Value& parameters = Value()) {
        session.QRX_MSGBOX(text, id, msgbox::Information, m_screen.windowTitle(), parameters);
        if (refusal)
            *refusal = session.TraduzioneTesto(text, id, parameters);
        return false;
    };
    // Checked before anything changes (panel, registry, button), so a refusal leaves the
    // screen as the user left it.
    if (ui.lstStati->checkedKeys().isEmpty())
        return refuse(QStringLiteral("Selezionare almeno uno stato del documento da visualizzare"), 51499);
    if (!ui.TXT_DATAMIN->isValid())
        return refuse(QStringLiteral("La data minima ODL \"%1\" non è una data valida (gg/mm/aaaa)."), 90401,
                      Value(QList<Value>{ui.TXT_DATAMIN->text()}));
    if (!ui.EnhancedQuery->isValid())
        return refuse(QStringLiteral("Correggere i filtri prima di visualizzare:\n%1"), 90402,
                      Value(QList<Value>{ui.EnhancedQuery->validationErrors().join(QLatin1Char('\n'))}));
    return true;
}

ScheduleParameters ParametersPanel::LeggiParametri() const {
    const ScheduleControls& ui = m_screen.controls();
    ScheduleParameters p;
    p.companyCode = m_screen.session().companyCode();
    p.minDateLiteral =
        m_screen.session().FormattaValoreSQL(Value(ui.TXT_DATAMIN->text()), sqlkind::Date, true).toText();
    p.phaseType = ui.CBO_TIPOLAV->text();
    p.filterCondition = ui.EnhancedQuery->conditionText();
    p.stateKeys = ui.lstStati->checkedKeys();
    p.sortCode = ui.CBO_ORD->text();
    return p;
}

engine::RebuildInputs ParametersPanel::LeggiParametriRicalcolo(const QString& minDateLiteral) const {
    const ScheduleControls& ui = m_screen.controls();
    engine::RebuildInputs inputs;
    inputs.company = m_screen.session().companyCode();
    inputs.minDateLiteral = minDateLiteral;
    inputs.phaseType = ui.CBO_TIPOLAV->text();
    inputs.filterCondition = ui.EnhancedQuery->conditionText();
    // A disabled state button adds no state condition.
    if (ui.cmdStato->isEnabled())
        inputs.checkedStates = ui.lstStati->checkedKeys();
    return inputs;
}

} // namespace scadlav
