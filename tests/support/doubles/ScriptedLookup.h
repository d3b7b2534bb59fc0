#pragma once

#include "module/services/IDecode.h"
#include "module/services/ILookup.h"
#include "module/services/RuntimeError.h"

#include <QHash>
#include <QList>
#include <functional>

namespace scadlav::doubles {

// One question put to a scripted lookup or decode.
struct CodeQuestion {
    CodeKind kind;
    QString code; // "" for a lookup
    QStringList parentCodes;
};

// A decode answering from a table keyed by kind, code and parent codes; records every question.
// `failure` set makes every describe() throw it.
class ScriptedDecode : public IDecode {
public:
    QList<CodeQuestion>* questions = nullptr; // shared by the test when set
    QList<CodeQuestion> own;
    QHash<QString, QString> answers;
    std::optional<RuntimeError> failure;
    Cinterface* module = nullptr;

    static QString key(CodeKind kind, const QString& code, const QStringList& parents) {
        return QString::number(int(kind)) + QLatin1Char('|') + code + QLatin1Char('|') +
               parents.join(QLatin1Char('|'));
    }
    void answer(CodeKind kind, const QString& code, const QStringList& parents, const QString& description) {
        answers.insert(key(kind, code, parents), description);
    }

    void setModule(Cinterface* m) override { module = m; }
    void setGlobalContext(IGlobalContext*) override {}
    std::optional<QString> describe(CodeKind kind, const QString& code,
                                    const QStringList& parentCodes) override {
        (questions ? *questions : own).append({kind, code, parentCodes});
        if (failure)
            throw RuntimeException(*failure);
        const auto it = answers.constFind(key(kind, code, parentCodes));
        if (it == answers.cend())
            return std::nullopt;
        return *it;
    }
};

// A lookup giving a list named after the kind and its parent codes; records every question.
class ScriptedLookup : public ILookup {
public:
    QList<CodeQuestion>* questions = nullptr;
    QList<CodeQuestion> own;
    std::optional<RuntimeError> failure;
    Cinterface* module = nullptr;

    void setModule(Cinterface* m) override { module = m; }
    void setGlobalContext(IGlobalContext*) override {}
    std::optional<LookupList> list(CodeKind kind, const QStringList& parentCodes) override {
        (questions ? *questions : own).append({kind, QString(), parentCodes});
        if (failure)
            throw RuntimeException(*failure);
        LookupList list;
        list.sql = QStringLiteral("SELECT %1 FOR %2").arg(int(kind)).arg(parentCodes.join(QLatin1Char(',')));
        list.columns = {{QStringLiteral("Codice"), QString()},
                        {QStringLiteral("Descrizione"), QStringLiteral("w=200")}};
        list.title = QStringLiteral("Elenco %1").arg(int(kind));
        list.lookupName = QStringLiteral("LOOKUP_%1").arg(int(kind));
        return list;
    }
};

} // namespace scadlav::doubles
