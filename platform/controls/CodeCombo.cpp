#include "platform/controls/CodeCombo.h"

namespace erpctl {

CodeCombo::CodeCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumContentsLength(8);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int index) { emit codeChanged(codeAt(index)); });
    // Only the list can pick the item already chosen; the keys and the wheel always move.
    connect(this, &QComboBox::activated, this, [this](int index) {
        const bool again = index >= 0 && index == m_indexAtPopup;
        m_indexAtPopup = -1;
        if (again)
            emit codeChosenAgain(codeAt(index));
    });
}

void CodeCombo::showPopup() {
    m_indexAtPopup = currentIndex();
    QComboBox::showPopup();
}

bool CodeCombo::addItem(const QString& code, const QString& caption) {
    if (indexOfCode(code) >= 0)
        return false;
    QComboBox::addItem(caption, code);
    return true;
}

QString CodeCombo::text() const {
    return codeAt(currentIndex());
}

bool CodeCombo::setText(const QString& code) {
    const int index = indexOfCode(code);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

int CodeCombo::indexOfCode(const QString& code) const {
    const QString wanted = code.trimmed();
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toString().compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString CodeCombo::codeAt(int index) const {
    return index < 0 || index >= count() ? QString() : itemData(index).toString();
}

} // namespace erpctl
