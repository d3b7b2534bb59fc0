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
    // Opens the list (remembering the item chosen, to tell a choice of the same item).
    void showPopup() override;

signals:
    // The chosen item changed, by the user or by setText.
    void codeChanged(const QString& code);
    // The user picked from the list the item that was already chosen (no codeChanged then).
    void codeChosenAgain(const QString& code);

private:
    int m_indexAtPopup = -1; // the chosen item when the list opened, -1 while it is closed
};

} // namespace erpctl
