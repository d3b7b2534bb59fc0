#include "platform/controls/GridBar.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/Grid.h"
#include "platform/controls/ImageList.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace erpctl {

GridBar::GridBar(QWidget* parent)
    : QWidget(parent), m_search(new QLineEdit(this)), m_count(new QLabel(this)),
      m_legend(new QToolButton(this)), m_export(new QPushButton(this)) {
    m_search->setObjectName(QStringLiteral("TXT_CERCA"));
    m_search->setPlaceholderText(controlText(91426, QStringLiteral("Cerca nella griglia...")));
    m_search->setClearButtonEnabled(true);
    m_search->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 18);
    m_count->setObjectName(QStringLiteral("LBL_RIGHE"));
    m_legend->setObjectName(QStringLiteral("CMD_LEGENDA"));
    m_legend->setText(controlText(91428, QStringLiteral("Legenda")));
    m_legend->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_export->setObjectName(QStringLiteral("CMD_ESPORTA"));
    m_export->setText(controlText(91427, QStringLiteral("Esporta...")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_search);
    layout->addWidget(m_count);
    layout->addStretch(1);
    layout->addWidget(m_legend);
    layout->addWidget(m_export);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_grid)
            m_grid->setQuickSearch(text);
    });
    connect(m_export, &QPushButton::clicked, this, &GridBar::exportRequested);
    connect(m_legend, &QToolButton::clicked, this, [this] {
        QMenu* legend = createLegend(this);
        legend->exec(m_legend->mapToGlobal(QPoint(0, m_legend->height())));
        delete legend;
    });
}

void GridBar::setGrid(Grid* grid) {
    if (m_grid)
        m_grid->removeEventFilter(this);
    m_grid = grid;
    if (!m_grid)
        return;
    m_grid->installEventFilter(this);
    m_grid->setQuickSearchReadAhead(true);
    connect(m_grid, &Grid::shownRowsChanged, this, &GridBar::updateContent);
    connect(m_grid, &Grid::columnVisibilityChanged, this, &GridBar::updateContent);
    setVisible(!m_grid->isHidden());
    updateContent();
}

bool GridBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        setVisible(!m_grid->isHidden());
        if (event->type() == QEvent::Show)
            updateContent();
    }
    return QWidget::eventFilter(watched, event);
}

QString GridBar::rowCountText() const {
    if (!m_grid)
        return {};
    const QLocale locale = this->locale();
    const int shown = m_grid->shownRowCount();
    const int all = m_grid->rowCount();
    if (!m_grid->allRowsFetched())
        return controlText(91750, QStringLiteral("%1 righe lette, lettura in corso..."))
            .arg(locale.toString(all));
    if (shown == all)
        return controlText(91424, QStringLiteral("%1 righe")).arg(locale.toString(shown));
    return controlText(91425, QStringLiteral("%1 di %2 righe"))
        .arg(locale.toString(shown), locale.toString(all));
}

void GridBar::updateContent() {
    m_count->setText(rowCountText());
    bool icons = false;
    for (const QString& field : m_grid->visualFields()) {
        const GridColumn* column = m_grid->columnAt(m_grid->columnIndex(field));
        icons = icons || (column && column->kind == ColumnKind::Image && !column->imageMeanings.isEmpty() &&
                          m_grid->isColumnVisible(field));
    }
    m_legend->setVisible(icons);
}

QMenu* GridBar::createLegend(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("Legenda"));
    if (!m_grid)
        return menu;
    for (const QString& field : m_grid->visualFields()) {
        const GridColumn* column = m_grid->columnAt(m_grid->columnIndex(field));
        if (!column || column->kind != ColumnKind::Image || column->imageMeanings.isEmpty())
            continue;
        menu->addSection(column->caption);
        for (const ListItem& meaning : column->imageMeanings) {
            const QIcon icon = column->images ? column->images->icon(meaning.code.toInt()) : QIcon();
            QAction* line = menu->addAction(icon, meaning.caption);
            line->setEnabled(true);
        }
    }
    return menu;
}

} // namespace erpctl
