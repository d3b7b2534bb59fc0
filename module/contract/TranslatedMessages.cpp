#include "module/contract/TranslatedMessages.h"

#include "module/contract/Cinterface.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IFallbackTranslation.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"

namespace scadlav {

TranslatedMessages::TranslatedMessages(std::function<Cinterface*()> moduleReference)
    : m_moduleReference(std::move(moduleReference)) {}

TranslatedMessages::~TranslatedMessages() = default;

QString TranslatedMessages::idMarker(std::int32_t id) {
    return QStringLiteral("[x") + QString::number(id) + QStringLiteral("x] ");
}

QList<Value> TranslatedMessages::parameterList(const Value& Parametri) {
    return Parametri.isArray() ? Parametri.asArray() : QList<Value>{};
}

IMessageService* TranslatedMessages::reachableService() const {
    Cinterface* module = m_moduleReference ? m_moduleReference() : nullptr;
    if (!module)
        return nullptr;
    IGlobalContext* global = module->Cinterface_ClsGlobal();
    if (!global)
        return nullptr;
    return global->messageService();
}

IFallbackTranslation* TranslatedMessages::fallback() {
    if (!m_fallback) {
        if (IObjectFactory* factory = HostRuntime::objectFactory())
            m_fallback = factory->create<IFallbackTranslation>(classnames::FallbackTranslation);
    }
    return m_fallback.get();
}

void TranslatedMessages::releaseFallback() {
    m_fallback.reset();
}

std::int32_t TranslatedMessages::QRX_MSGBOX(const QString& testo, std::int32_t IDTesto,
                                            std::int32_t parButtons, const QString& parTitle,
                                            const Value& Parametri) {
    // A failing host call leaves 0, which is no button code; nothing reaches the caller.
    std::int32_t result = 0;
    try {
        IMessageService* service = reachableService();
        if (service) {
            if (IDTesto < 1)
                result = service->messageBox(testo, parButtons, parTitle, nullptr);
            else
                result = service->messageBoxById(IDTesto, parButtons, parTitle, parameterList(Parametri));
        } else if (IFallbackTranslation* standBy = fallback()) {
            result =
                standBy->QRXMsgBox(idMarker(IDTesto) + testo, parButtons, parTitle).toInt32().value_or(0);
        }
    } catch (...) {
    }
    return result;
}

QString TranslatedMessages::TraduzioneTesto(const QString& testo, std::int32_t ID_Testo,
                                            const Value& Parametri, std::int16_t UtilizzoSQL) {
    QString result = testo;
    try {
        if (ID_Testo > 0) {
            if (IMessageService* service = reachableService()) {
                result = service->textById(ID_Testo, parameterList(Parametri));
            } else {
                // The stand-by box is only made ready here, for a message box that may follow.
                fallback();
                result = idMarker(ID_Testo) + testo;
            }
        }
        if (UtilizzoSQL == 1)
            result.replace(QLatin1Char('\''), QStringLiteral("''"));
    } catch (...) {
        // Leaves at the first failing step with the text as it stood.
    }
    return result;
}

} // namespace scadlav
