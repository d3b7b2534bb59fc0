#include "platform/controls/LookupDialog.h"

#include "platform/controls/ControlTexts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace erpctl {

// Searches every column and shows the request's captions over the model's own headers.
class LookupDialog::CaptionProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QStringList captions;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < captions.size() &&
            !captions[section].isEmpty())
            return captions[section];
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }
};

LookupDialog::LookupDialog(QWidget* parent)
    : QDialog(parent), m_proxy(new CaptionProxy(this)), m_search(new QLineEdit(this)),
      m_table(new QTableView(this)) {
    setWindowTitle(controlText(91422, QStringLiteral("Elenco valori")));
    resize(640, 420);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);

    m_search->setPlaceholderText(controlText(91423, QStringLiteral("Cerca...")));
    m_search->setClearButtonEnabled(true);
    m_table->setModel(m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableView::doubleClicked, this, &QDialog::accept);
    connect(m_search, &QLineEdit::textChanged, this, &LookupDialog::setFilterText);
    // Enter in the search field picks the chosen row, as a double click on it does.
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (!pickedCode().isEmpty())
            accept();
    });
}

LookupDialog::~LookupDialog() = default;

void LookupDialog::setRequest(const LookupRequest& request) {
    if (!request.title.isEmpty())
        setWindowTitle(request.title);
    m_proxy->captions.clear();
    for (const auto& column : request.columns)
        m_proxy->captions << column.caption;
    m_currentValue = request.currentValue.trimmed();
    chooseCurrentValue();
}

void LookupDialog::setModel(QAbstractItemModel* model) {
    m_proxy->setSourceModel(model);
    m_table->resizeColumnsToContents();
    chooseCurrentValue();
}

void LookupDialog::setFilterText(const QString& text) {
    if (m_search->text() != text)
        m_search->setText(text); // comes back here through textChanged
    m_proxy->setFilterFixedString(text.trimmed());
    if (!m_table->currentIndex().isValid() && m_proxy->rowCount() > 0)
        selectRow(0);
}

int LookupDialog::visibleRowCount() const {
    return m_proxy->rowCount();
}

bool LookupDialog::selectRow(int visibleRow) {
    if (visibleRow < 0 || visibleRow >= m_proxy->rowCount())
        return false;
    m_table->setCurrentIndex(m_proxy->index(visibleRow, 0));
    m_table->selectRow(visibleRow);
    return true;
}

QString LookupDialog::pickedCode() const {
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid())
        return {};
    return m_proxy->index(current.row(), 0).data(Qt::DisplayRole).toString().trimmed();
}

void LookupDialog::chooseCurrentValue() {
    if (m_proxy->rowCount() == 0)
        return;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        if (!m_currentValue.isEmpty() && m_proxy->index(row, 0).data().toString().trimmed().compare(
                                             m_currentValue, Qt::CaseInsensitive) == 0) {
            selectRow(row);
            return;
        }
    }
    selectRow(0);
}

bool LookupDialog::pick(QWidget* parent, const LookupRequest& request, QAbstractItemModel* model,
                        QString& code) {
    LookupDialog dialog(parent);
    dialog.setModel(model);
    dialog.setRequest(request);
    dialog.m_search->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    code = dialog.pickedCode();
    return !code.isEmpty();
}

} // namespace erpctl
