#pragma once
// A list whose items each have a key, a caption and a check box.

#include <QListWidget>

namespace erpctl {

class CheckList : public QListWidget {
    Q_OBJECT
public:
    explicit CheckList(QWidget* parent = nullptr);

    // Adds an item; false (nothing added) when the key is empty or already used.
    bool addItem(const QString& key, const QString& caption, bool checked = false);
    void clearItems() { clear(); }
    QStringList keys() const;
    QString caption(const QString& key) const;
    bool isChecked(const QString& key) const;
    bool setChecked(const QString& key, bool checked);
    void setAllChecked(bool checked);
    // Keys of the ticked items, in list order.
    QStringList checkedKeys() const;

signals:
    void itemCheckChanged(const QString& key, bool checked);

private:
    QListWidgetItem* itemOf(const QString& key) const;
};

} // namespace erpctl
