#pragma once

#include "module/services/IMessageService.h"

#include <QHash>
#include <QList>
#include <QQueue>

namespace scadlav::doubles {

// A message service that records every call and answers message boxes from a script.
// Texts by ID come from `texts`, or read "T<ID>" with the parameters appended as "|p1|p2".
class ScriptedMessageService : public IMessageService {
public:
    enum class Call { Literal, ById, TextById };
    struct Record {
        Call call;
        QString text; // literal text, or the text the host resolved for the ID
        int textId = 0;
        int flags = 0;
        QString title;
        QList<Value> parameters;
    };

    QList<Record> records;
    QHash<int, QString> texts;
    // Answers of the next message boxes, in order; once used up, OK.
    QQueue<int> answers;

    void answerNext(int code) { answers.enqueue(code); }
    // The message boxes shown (text lookups left out).
    QList<Record> boxes() const {
        QList<Record> result;
        for (const Record& r : records) {
            if (r.call != Call::TextById)
                result << r;
        }
        return result;
    }

    int messageBox(const QString& text, int flags, const QString& title, IHostObject*) override {
        records << Record{Call::Literal, text, 0, flags, title, {}};
        return nextAnswer();
    }
    int messageBoxById(int textId, int flags, const QString& title, const QList<Value>& parameters) override {
        records << Record{Call::ById, resolve(textId, parameters), textId, flags, title, parameters};
        return nextAnswer();
    }
    QString textById(int textId, const QList<Value>& parameters) override {
        const QString text = resolve(textId, parameters);
        records << Record{Call::TextById, text, textId, 0, {}, parameters};
        return text;
    }

private:
    int nextAnswer() { return answers.isEmpty() ? msgbox::ResultOk : answers.dequeue(); }
    QString resolve(int textId, const QList<Value>& parameters) const {
        QString text = texts.value(textId, QStringLiteral("T%1").arg(textId));
        for (const Value& p : parameters)
            text += QLatin1Char('|') + p.toText();
        return text;
    }
};

} // namespace scadlav::doubles
