#pragma once

#include "module/value/Value.h"

#include <cstdint>

class QObject;

namespace scadlav {

class IGlobalContext;
class INavigator;
class IStatusBar;
namespace db {
class Connection;
} // namespace db

// The host module interface: how the ERP's desktop host fills and drives a module. Members are
// declared in the order of the interface's slots. A Set hands over an object (the module keeps
// a reference, it does not take ownership), a Let a value, a Get reads back.
// No member ever reports an error to the host: implementations swallow every failure.
class Cinterface {
public:
    virtual ~Cinterface() = default;

    // 1
    virtual IGlobalContext* Cinterface_ClsGlobal() const = 0;
    virtual void Cinterface_SetClsGlobal(IGlobalContext* value) = 0;
    // 2
    virtual QObject* Cinterface_ActiveFrame() const = 0;
    virtual void Cinterface_SetActiveFrame(QObject* value) = 0;
    // 3
    virtual INavigator* Cinterface_ActiveNavigator() const = 0;
    virtual void Cinterface_SetActiveNavigator(INavigator* value) = 0;
    // 4
    virtual Cinterface* Cinterface_ActiveDll() const = 0;
    virtual void Cinterface_SetActiveDll(Cinterface* value) = 0;
    // 5
    virtual IStatusBar* Cinterface_StatusBar() const = 0;
    virtual void Cinterface_SetStatusBar(IStatusBar* value) = 0;
    // 6
    virtual bool Cinterface_CanInsert() const = 0;
    virtual void Cinterface_LetCanInsert(bool value) = 0;
    // 7
    virtual bool Cinterface_CanDelete() const = 0;
    virtual void Cinterface_LetCanDelete(bool value) = 0;
    // 8
    virtual bool Cinterface_CanUpdate() const = 0;
    virtual void Cinterface_LetCanUpdate(bool value) = 0;
    // 9
    virtual bool Cinterface_CanQbe() const = 0;
    virtual void Cinterface_LetCanQbe(bool value) = 0;
    // 10: kept as a 16-bit integer; a value out of that range leaves the old one.
    virtual std::int32_t Cinterface_WindowState() const = 0;
    virtual void Cinterface_LetWindowState(std::int32_t value) = 0;
    // 11
    virtual bool Cinterface_WindowModal() const = 0;
    virtual void Cinterface_LetWindowModal(bool value) = 0;
    // 12: kept as a 16-bit integer, as WindowState.
    virtual std::int32_t Cinterface_ProgramMode() const = 0;
    virtual void Cinterface_LetProgramMode(std::int32_t value) = 0;
    // 13
    virtual Value Cinterface_MenuModulo() const = 0;
    virtual void Cinterface_LetMenuModulo(const Value& value) = 0;
    // 14
    virtual Value Cinterface_MenuPadre() const = 0;
    virtual void Cinterface_LetMenuPadre(const Value& value) = 0;
    // 15
    virtual Value Cinterface_MenuProg() const = 0;
    virtual void Cinterface_LetMenuProg(const Value& value) = 0;
    // 16
    virtual Value Cinterface_Caption() const = 0;
    virtual void Cinterface_LetCaption(const Value& value) = 0;
    // 17
    virtual std::int32_t Cinterface_hwndParent() const = 0;
    virtual void Cinterface_LethwndParent(std::int32_t value) = 0;
    // 18: creates and shows the module's screen; returns Empty.
    virtual Value Cinterface_ShowForm() = 0;
    // 19: unloads the screen; returns Empty.
    virtual Value Cinterface_CloseForm() = 0;
    // 20
    virtual db::Connection* Cinterface_Connection() const = 0;
    virtual void Cinterface_SetConnection(db::Connection* value) = 0;
    // 21: always nullptr.
    virtual QObject* Cinterface_Cwindow() const = 0;
    // 22: relays Data to whoever listens to the module's DataTransfer event; returns Empty.
    virtual Value Cinterface_TransferData(Value Data) = 0;
    // 23: Let converts to a 32-bit integer; Get returns a value holding that integer.
    virtual Value Cinterface_Top() const = 0;
    virtual void Cinterface_LetTop(const Value& value) = 0;
    // 24
    virtual Value Cinterface_Left() const = 0;
    virtual void Cinterface_LetLeft(const Value& value) = 0;
    // 25
    virtual QObject* Cinterface_ClsVoceMenu() const = 0;
    virtual void Cinterface_SetClsVoceMenu(QObject* value) = 0;
    // 26
    virtual bool Cinterface_IsActive() const = 0;
    virtual void Cinterface_LetIsActive(bool value) = 0;
    // 27
    virtual bool Cinterface_IsCalled() const = 0;
    virtual void Cinterface_LetIsCalled(bool value) = 0;
    // 28
    virtual Value Cinterface_Filtro() const = 0;
    virtual void Cinterface_LetFiltro(const Value& value) = 0;
};

} // namespace scadlav
