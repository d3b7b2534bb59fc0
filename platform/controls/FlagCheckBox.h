#pragma once
// A check box whose state reads and writes as the text "1" (ticked) or "0".

#include <QCheckBox>

namespace erpctl {

class FlagCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit FlagCheckBox(QWidget* parent = nullptr);
    explicit FlagCheckBox(const QString& caption, QWidget* parent = nullptr);

    QString valueText() const { return isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }
    // Accepts "1", "-1", "True" (ticked) and "0", "False", "" (unticked); any other text leaves
    // the box as it is and returns false.
    bool setValueText(const QString& text);

signals:
    void valueTextChanged(const QString& text);
};

} // namespace erpctl
