#include "platform/host/MessageService.h"

namespace erphost {

MessageService::MessageService(const TextCatalog& catalog, Language language, IMessageBoxPresenter& presenter)
    : m_catalog(catalog), m_language(language), m_presenter(presenter) {}

int MessageService::messageBox(const QString& text, int flags, const QString& title, scadlav::IHostObject*) {
    return m_presenter.show(text, flags, title);
}

int MessageService::messageBoxById(int textId, int flags, const QString& title,
                                   const QList<scadlav::Value>& parameters) {
    return m_presenter.show(textById(textId, parameters), flags, title);
}

QString MessageService::textById(int textId, const QList<scadlav::Value>& parameters) {
    return m_catalog.text(textId, m_language, parameters);
}

} // namespace erphost
