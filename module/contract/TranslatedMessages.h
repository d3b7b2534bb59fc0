#pragma once

#include "module/value/Value.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace scadlav {

class Cinterface;
class IFallbackTranslation;
class IMessageService;

// The pair QRX_MSGBOX / TraduzioneTesto: every text the module shows goes through it, so that
// the host can show it in the user's language. The module class and each screen own one, with
// their own module reference and their own stand-by message box, created at most once.
class TranslatedMessages {
public:
    // `moduleReference` is read at every call: the class passes its ActiveDll, a screen its
    // ClsModulo, both of which may change while the owner lives.
    explicit TranslatedMessages(std::function<Cinterface*()> moduleReference);
    ~TranslatedMessages();
    TranslatedMessages(const TranslatedMessages&) = delete;
    TranslatedMessages& operator=(const TranslatedMessages&) = delete;

    // Shows a message box and returns the button pressed (1 OK, 2 Cancel, 6 Yes, 7 No), or 0
    // when the host could not show it. With a text ID of 1 or more the host supplies the text.
    std::int32_t QRX_MSGBOX(const QString& testo, std::int32_t IDTesto, std::int32_t parButtons,
                            const QString& parTitle, const Value& Parametri = Value());
    // The translation of `testo`. UtilizzoSQL 1 doubles every single quote of the result, for
    // use inside an SQL string literal.
    QString TraduzioneTesto(const QString& testo, std::int32_t ID_Testo, const Value& Parametri = Value(),
                            std::int16_t UtilizzoSQL = 0);

    // Releases the stand-by message box (the owner's termination does this first).
    void releaseFallback();
    bool holdsFallback() const { return m_fallback != nullptr; }

    // "[x" + ID + "x] ": put in front of a text that could not be translated, so the text shown
    // still tells its ID.
    static QString idMarker(std::int32_t id);
    // The parameter list handed to the host: the elements of an array, otherwise empty.
    static QList<Value> parameterList(const Value& Parametri);

private:
    IMessageService* reachableService() const;
    IFallbackTranslation* fallback();

    std::function<Cinterface*()> m_moduleReference;
    std::unique_ptr<IFallbackTranslation> m_fallback;
};

} // namespace scadlav
