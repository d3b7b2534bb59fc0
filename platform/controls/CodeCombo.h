#pragma once
// A drop-down list of items that each carry a code and a caption: the user sees captions,
// the screen reads and sets codes.

#include <QComboBox>

namespace erpctl {

class CodeCombo : public QComboBox {
    Q_OBJECT
public:
    explicit CodeCombo(QWidget* parent = nullptr);

    // Adds an item; false (nothing added) when the code is already in the list.
    bool addItem(const QString& code, const QString& caption);
    // Code of the chosen item, "" when none is chosen.
    QString text() const;
    // Chooses the item with this code; false (choice unchanged) when there is none.
    bool setText(const QString& code);
    int indexOfCode(const QString& code) const;
    QString codeAt(int index) const;

signals:
    // The chosen item changed, by the user or by setText.
    void codeChanged(const QString& code);
};

} // namespace erpctl
