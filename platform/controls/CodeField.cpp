#include "platform/controls/CodeField.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/DefaultLookupPresenter.h"
#include "platform/controls/ILookupPresenter.h"

#include <QKeyEvent>

namespace erpctl {

CodeField::CodeField(QWidget* parent) : QLineEdit(parent) {
    setToolTip(controlText(91409, QStringLiteral("F4: elenco valori")));
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!m_upper || text == text.toUpper())
            return;
        const int cursor = cursorPosition();
        setText(text.toUpper());
        setCursorPosition(cursor);
    });
    connect(this, &QLineEdit::editingFinished, this, &CodeField::confirm);
}

void CodeField::setUpperCase(bool upper) {
    m_upper = upper;
    if (upper && text() != text().toUpper())
        setText(text().toUpper());
}

bool CodeField::requestLookup() {
    LookupRequest request;
    request.caption = objectName();
    request.currentValue = text().trimmed();
    request.lookupName = m_lookupName;
    emit StartLookup(request);
    if (!request.lookupName.isEmpty())
        m_lookupName = request.lookupName;
    QString picked = request.pickedCode;
    ILookupPresenter* presenter = m_presenter ? m_presenter : defaultLookupPresenter();
    if (picked.isEmpty() && presenter && !presenter->present(request, this, picked))
        picked.clear();
    if (picked.trimmed().isEmpty())
        return false;
    setCode(picked);
    return true;
}

void CodeField::setCode(const QString& code) {
    setText(m_upper ? code.toUpper() : code);
    confirm();
}

void CodeField::confirm() {
    const QString code = text().trimmed();
    if (code == m_confirmed)
        return;
    m_confirmed = code;
    DecodeRequest request;
    request.caption = objectName();
    request.fromValue = code;
    // An emptied code asks nothing and leaves the description to the screen's own handler.
    if (!code.isEmpty()) {
        if (m_description)
            request.fromDescription = m_description->text();
        emit StartDecode(request);
        if (m_description)
            m_description->setText(request.fromDescription);
    }
    emit codeChanged(code);
}

void CodeField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F4 && !isReadOnly()) {
        requestLookup();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace erpctl
