#pragma once
// A text field for a code: optionally upper case, with a list of values on F4 (StartLookup)
// and a description looked up when the code changes (StartDecode), shown in a buddy field.
// Emptying the code raises no decode and leaves the buddy as it is.

#include "platform/controls/FilterRow.h"

#include <QLineEdit>
#include <QPointer>

namespace erpctl {

class ILookupPresenter;

class CodeField : public QLineEdit {
    Q_OBJECT
public:
    explicit CodeField(QWidget* parent = nullptr);

    void setUpperCase(bool upper);
    bool isUpperCase() const { return m_upper; }
    // The field that shows the code's description (usually a disabled text box).
    void setDescriptionField(QLineEdit* field) { m_description = field; }
    void setLookupPresenter(ILookupPresenter* presenter) { m_presenter = presenter; }
    const QString& lookupName() const { return m_lookupName; }
    void setLookupName(const QString& name) { m_lookupName = name; }

    // Raises StartLookup and writes the code picked (by the handler or the presenter); the
    // change then raises StartDecode and codeChanged. False when nothing was picked.
    bool requestLookup();
    // Sets the code as if the user had typed and confirmed it.
    void setCode(const QString& code);

signals:
    void StartLookup(erpctl::LookupRequest& request);
    void StartDecode(erpctl::DecodeRequest& request);
    // The confirmed code differs from the previous one (trimmed; "" when emptied).
    void codeChanged(const QString& code);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void confirm();

    bool m_upper = false;
    QString m_confirmed;
    QString m_lookupName;
    QPointer<QLineEdit> m_description;
    ILookupPresenter* m_presenter = nullptr;
};

} // namespace erpctl
