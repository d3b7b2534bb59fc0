#include "platform/controls/CheckList.h"

namespace erpctl {

namespace {
constexpr int KeyRole = Qt::UserRole + 1;
}

CheckList::CheckList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        emit itemCheckChanged(item->data(KeyRole).toString(), item->checkState() == Qt::Checked);
    });
}

bool CheckList::addItem(const QString& key, const QString& caption, bool checked) {
    if (key.isEmpty() || itemOf(key))
        return false;
    auto* item = new QListWidgetItem(caption);
    item->setData(KeyRole, key);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    const QSignalBlocker block(this);
    QListWidget::addItem(item);
    return true;
}

QStringList CheckList::keys() const {
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result << item(i)->data(KeyRole).toString();
    return result;
}

QString CheckList::caption(const QString& key) const {
    const QListWidgetItem* found = itemOf(key);
    return found ? found->text() : QString();
}

bool CheckList::isChecked(const QString& key) const {
    const QListWidgetItem* found = itemOf(key);
    return found && found->checkState() == Qt::Checked;
}

bool CheckList::setChecked(const QString& key, bool checked) {
    QListWidgetItem* found = itemOf(key);
    if (!found)
        return false;
    found->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return true;
}

void CheckList::setAllChecked(bool checked) {
    for (int i = 0; i < count(); ++i)
        item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QStringList CheckList::checkedKeys() const {
    QStringList result;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->checkState() == Qt::Checked)
            result << item(i)->data(KeyRole).toString();
    }
    return result;
}

QListWidgetItem* CheckList::itemOf(const QString& key) const {
    for (int i = 0; i < count(); ++i) {
        if (item(i)->data(KeyRole).toString() == key)
            return item(i);
    }
    return nullptr;
}

} // namespace erpctl
