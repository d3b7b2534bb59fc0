#pragma once

#include "module/services/IMessageService.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/TextCatalog.h"

namespace erphost {

// The host's message and translation service: texts by ID from the catalog in the user's
// language, shown through a message-box presenter.
class MessageService : public scadlav::IMessageService {
public:
    MessageService(const TextCatalog& catalog, Language language, IMessageBoxPresenter& presenter);

    int messageBox(const QString& text, int flags, const QString& title,
                   scadlav::IHostObject* owner) override;
    int messageBoxById(int textId, int flags, const QString& title,
                       const QList<scadlav::Value>& parameters) override;
    QString textById(int textId, const QList<scadlav::Value>& parameters) override;

private:
    const TextCatalog& m_catalog;
    Language m_language;
    IMessageBoxPresenter& m_presenter;
};

} // namespace erphost
