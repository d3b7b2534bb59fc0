#pragma once
// Message texts from the host's own catalog, so that letters, mails and messages read as the
// planner will see them; every box is still recorded.

#include "platform/host/TextCatalog.h"
#include "tests/support/doubles/ScriptedMessageService.h"

namespace scadlav::testing {

class CatalogMessages : public doubles::ScriptedMessageService {
public:
    QString textById(int textId, const QList<Value>& parameters) override {
        ScriptedMessageService::textById(textId, parameters);
        return m_catalog.text(textId, erphost::Language::Italian, parameters);
    }

private:
    erphost::TextCatalog m_catalog = erphost::TextCatalog::builtIn();
};

} // namespace scadlav::testing
