#pragma once

#include "module/services/IFallbackTranslation.h"

#include <QList>
#include <functional>

namespace scadlav::doubles {

// A stand-by message box that records its calls and answers `answer`; `onDestroyed` lets a
// test see when its owner releases it.
class RecordingFallback : public IFallbackTranslation {
public:
    struct Call {
        QString text;
        int flags;
        QString title;
    };

    QList<Call>* calls = nullptr;
    Value answer = Value(1);
    std::function<void()> onDestroyed;

    ~RecordingFallback() override {
        if (onDestroyed)
            onDestroyed();
    }
    Value QRXMsgBox(const QString& text, int flags, const QString& title) override {
        if (calls)
            *calls << Call{text, flags, title};
        return answer;
    }
};

} // namespace scadlav::doubles
