#include "platform/controls/FlagCheckBox.h"

namespace erpctl {

FlagCheckBox::FlagCheckBox(QWidget* parent) : FlagCheckBox(QString(), parent) {}

FlagCheckBox::FlagCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::toggled, this, [this] { emit valueTextChanged(valueText()); });
}

bool FlagCheckBox::setValueText(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("-1") || t == QLatin1String("true")) {
        setChecked(true);
        return true;
    }
    if (t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("false")) {
        setChecked(false);
        return true;
    }
    return false;
}

} // namespace erpctl
