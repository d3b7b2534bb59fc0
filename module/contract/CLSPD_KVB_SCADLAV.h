#pragma once

#include "module/contract/Cinterface.h"
#include "module/contract/ModuleScreen.h"
#include "module/contract/TranslatedMessages.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace scadlav {

// A public data property of the module class: holds either a value or an object, whichever
// was assigned last. The module itself never reads these; they are the host's.
class VariantProperty {
public:
    const Value& value() const { return m_value; }
    QObject* object() const { return m_object; }
    bool holdsObject() const { return !m_object.isNull(); }
    void let(const Value& value) {
        m_value = value;
        m_object.clear();
    }
    void set(QObject* object) {
        m_object = object;
        m_value = Value();
    }

private:
    Value m_value;
    QPointer<QObject> m_object;
};

// The module's one public class. It keeps what the host hands over through Cinterface,
// launches the schedule screen, relays data the host pushes in (DataTransfer) and owns its own
// copy of the translated messages. It holds no business logic.
class CLSPD_KVB_SCADLAV : public QObject, public Cinterface {
    Q_OBJECT
public:
    // Makes the screen that ShowForm shows; the module library passes the schedule screen.
    using ScreenFactory = std::function<ModuleScreen*()>;

    explicit CLSPD_KVB_SCADLAV(ScreenFactory screenFactory = {});
    ~CLSPD_KVB_SCADLAV() override;

    IGlobalContext* Cinterface_ClsGlobal() const override { return m_clsGlobal; }
    void Cinterface_SetClsGlobal(IGlobalContext* value) override { m_clsGlobal = value; }
    QObject* Cinterface_ActiveFrame() const override { return m_activeFrame; }
    void Cinterface_SetActiveFrame(QObject* value) override { m_activeFrame = value; }
    INavigator* Cinterface_ActiveNavigator() const override { return m_activeNavigator; }
    void Cinterface_SetActiveNavigator(INavigator* value) override { m_activeNavigator = value; }
    Cinterface* Cinterface_ActiveDll() const override { return m_activeDll; }
    void Cinterface_SetActiveDll(Cinterface* value) override { m_activeDll = value; }
    IStatusBar* Cinterface_StatusBar() const override { return m_statusBar; }
    void Cinterface_SetStatusBar(IStatusBar* value) override { m_statusBar = value; }
    bool Cinterface_CanInsert() const override { return m_canInsert; }
    void Cinterface_LetCanInsert(bool value) override { m_canInsert = value; }
    bool Cinterface_CanDelete() const override { return m_canDelete; }
    void Cinterface_LetCanDelete(bool value) override { m_canDelete = value; }
    bool Cinterface_CanUpdate() const override { return m_canUpdate; }
    void Cinterface_LetCanUpdate(bool value) override { m_canUpdate = value; }
    bool Cinterface_CanQbe() const override { return m_canQbe; }
    void Cinterface_LetCanQbe(bool value) override { m_canQbe = value; }
    std::int32_t Cinterface_WindowState() const override { return m_windowState; }
    void Cinterface_LetWindowState(std::int32_t value) override;
    bool Cinterface_WindowModal() const override { return m_windowModal; }
    void Cinterface_LetWindowModal(bool value) override { m_windowModal = value; }
    std::int32_t Cinterface_ProgramMode() const override { return m_programMode; }
    void Cinterface_LetProgramMode(std::int32_t value) override;
    Value Cinterface_MenuModulo() const override { return m_menuModulo; }
    void Cinterface_LetMenuModulo(const Value& value) override { m_menuModulo = value; }
    Value Cinterface_MenuPadre() const override { return m_menuPadre; }
    void Cinterface_LetMenuPadre(const Value& value) override { m_menuPadre = value; }
    Value Cinterface_MenuProg() const override { return m_menuProg; }
    void Cinterface_LetMenuProg(const Value& value) override { m_menuProg = value; }
    Value Cinterface_Caption() const override { return m_caption; }
    void Cinterface_LetCaption(const Value& value) override { m_caption = value; }
    std::int32_t Cinterface_hwndParent() const override { return m_hwndParent; }
    void Cinterface_LethwndParent(std::int32_t value) override { m_hwndParent = value; }
    Value Cinterface_ShowForm() override;
    Value Cinterface_CloseForm() override;
    db::Connection* Cinterface_Connection() const override { return m_connection; }
    void Cinterface_SetConnection(db::Connection* value) override { m_connection = value; }
    QObject* Cinterface_Cwindow() const override { return nullptr; }
    Value Cinterface_TransferData(Value Data) override;
    Value Cinterface_Top() const override { return Value(m_top); }
    void Cinterface_LetTop(const Value& value) override;
    Value Cinterface_Left() const override { return Value(m_left); }
    void Cinterface_LetLeft(const Value& value) override;
    QObject* Cinterface_ClsVoceMenu() const override { return m_clsVoceMenu; }
    void Cinterface_SetClsVoceMenu(QObject* value) override { m_clsVoceMenu = value; }
    bool Cinterface_IsActive() const override { return m_isActive; }
    void Cinterface_LetIsActive(bool value) override { m_isActive = value; }
    bool Cinterface_IsCalled() const override { return m_isCalled; }
    void Cinterface_LetIsCalled(bool value) override { m_isCalled = value; }
    Value Cinterface_Filtro() const override { return m_filtro; }
    void Cinterface_LetFiltro(const Value& value) override { m_filtro = value; }

    // The host's own data properties.
    VariantProperty IsScheduled;
    VariantProperty AutoRun;

    std::int32_t QRX_MSGBOX(const QString& testo, std::int32_t IDTesto, std::int32_t parButtons,
                            const QString& parTitle, const Value& Parametri = Value()) {
        return m_messages.QRX_MSGBOX(testo, IDTesto, parButtons, parTitle, Parametri);
    }
    QString TraduzioneTesto(const QString& testo, std::int32_t ID_Testo, const Value& Parametri = Value(),
                            std::int16_t UtilizzoSQL = 0) {
        return m_messages.TraduzioneTesto(testo, ID_Testo, Parametri, UtilizzoSQL);
    }
    TranslatedMessages& messages() { return m_messages; }

    // The screen created by the last ShowForm; nullptr once it has gone.
    ModuleScreen* screen() const { return m_screen; }

signals:
    void DataTransfer(const scadlav::Value& Data);

private:
    ScreenFactory m_screenFactory;
    TranslatedMessages m_messages;

    IGlobalContext* m_clsGlobal = nullptr;
    QObject* m_activeFrame = nullptr;
    INavigator* m_activeNavigator = nullptr;
    Cinterface* m_activeDll = nullptr;
    IStatusBar* m_statusBar = nullptr;
    bool m_canInsert = false;
    bool m_canDelete = false;
    bool m_canUpdate = false;
    bool m_canQbe = false;
    std::int16_t m_windowState = 0;
    bool m_windowModal = false;
    std::int16_t m_programMode = 0;
    Value m_menuModulo;
    Value m_menuPadre;
    Value m_menuProg;
    Value m_caption;
    std::int32_t m_hwndParent = 0;
    std::int32_t m_top = 0;
    std::int32_t m_left = 0;
    db::Connection* m_connection = nullptr;
    QObject* m_clsVoceMenu = nullptr;
    bool m_isActive = false;
    bool m_isCalled = false;
    Value m_filtro;
    QPointer<ModuleScreen> m_screen;
};

} // namespace scadlav
