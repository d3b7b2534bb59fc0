#include "platform/controls/Grid.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateText.h"
#include "platform/controls/GridDelegate.h"
#include "platform/controls/GridModel.h"
#include "platform/controls/ImageList.h"

#include <QApplication>
#include <QDateTime>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

namespace erpctl {

namespace {

constexpr int kMarkColumnTwips = 400;
constexpr int kMaxWidthTwips = 60000;

QString rightTrimmed(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// Reads a number typed in the user's locale ("1.234,5" in Italian) or in plain form ("1234.5").
std::optional<QVariant> parseNumber(const QString& text, const QLocale& locale) {
    QString t = text.trimmed();
    t.remove(QLatin1Char(' '));
    bool ok = false;
    const qlonglong whole = locale.toLongLong(t, &ok);
    if (ok)
        return QVariant(whole);
    const double d = locale.toDouble(t, &ok);
    if (ok)
        return QVariant(d);
    const qlonglong plainWhole = t.toLongLong(&ok);
    if (ok)
        return QVariant(plainWhole);
    const double plain = t.toDouble(&ok);
    if (ok && std::isfinite(plain))
        return QVariant(plain);
    return std::nullopt;
}

} // namespace

// The totals line under the rows: each total drawn under its column, following the columns'
// widths, order and the horizontal scroll.
class GridFooter : public QWidget {
public:
    GridFooter(Grid* grid, const QHash<QString, QString>& texts)
        : QWidget(grid), m_grid(grid), m_texts(texts) {
        setObjectName(QStringLiteral("GridTotals"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        painter.setPen(palette().mid().color());
        painter.drawLine(0, 0, width(), 0);
        painter.setPen(palette().windowText().color());
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        const QHeaderView* header = m_grid->horizontalHeader();
        // The line's name takes the room left of the first total (however narrow the first
        // column is), unless the first visible column holds a total itself.
        int labelLeft = -1;
        int labelRight = width();
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (header->isSectionHidden(logical))
                continue;
            const QRect cell(header->sectionViewportPosition(logical), 0, header->sectionSize(logical),
                             height());
            if (labelLeft < 0)
                labelLeft = cell.left();
            const GridColumn* column = m_grid->columnAt(logical);
            const QString text = column ? m_texts.value(column->field) : QString();
            if (text.isEmpty())
                continue;
            labelRight = std::min(labelRight, cell.left());
            painter.drawText(cell.adjusted(2, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        }
        if (labelLeft >= 0 && labelRight > labelLeft)
            painter.drawText(QRect(labelLeft, 0, labelRight - labelLeft, height()).adjusted(4, 0, -4, 0),
                             Qt::AlignLeft | Qt::AlignVCenter, controlText(91400, QStringLiteral("Totali")));
    }

private:
    Grid* m_grid;
    const QHash<QString, QString>& m_texts;
};

Grid::Grid(QWidget* parent) : QTableView(parent), m_model(new GridModel(this)) {
    QTableView::setModel(m_model);
    setItemDelegate(new GridDelegate(this));
    m_model->setLocale(locale());

    setAlternatingRowColors(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setCornerButtonEnabled(false);

    // Fixed row heights keep scrolling through 100 000 rows instant.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(12);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = createColumnChooser(this);
        menu->exec(horizontalHeader()->mapToGlobal(pos));
        delete menu;
    });
    // Sorting is the grid's own (the bound model keeps its order): the header only shows it.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &Grid::onHeaderClicked);
    m_footer = new GridFooter(this, m_totalTexts);
    m_footer->hide();
    connect(header, &QHeaderView::sectionResized, this, [this] { m_footer->update(); });
    connect(header, &QHeaderView::sectionMoved, this, [this] { m_footer->update(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &Grid::scheduleTotals);
    connect(m_model, &QAbstractItemModel::modelReset, this, &Grid::shownRowsChanged);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &Grid::shownRowsChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &Grid::shownRowsChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &Grid::scheduleTotals);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &Grid::scheduleTotals);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &Grid::scheduleTotals);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (m_applying || newSize <= 0 || logical >= m_model->columnCount())
            return;
        m_model->column(logical).widthTwips = pixelsToTwips(newSize);
        m_model->column(logical).userWidth = true;
        emit layoutEdited();
    });
    connect(header, &QHeaderView::sectionMoved, this, [this] {
        if (m_applying)
            return;
        m_order = visualFields();
        emit layoutEdited();
    });

    connect(this, &QAbstractItemView::clicked, this, &Grid::onClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && index.column() < m_model->columnCount())
            emit cellDoubleClicked(m_model->sourceRow(index.row()), m_model->columns()[index.column()].field);
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &Grid::onModelAboutToBeReset);
    connect(m_model, &QAbstractItemModel::modelReset, this, &Grid::onModelReset);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_lastRow < 0 && m_model->rowCount() > 0)
            setCurrentRow(m_model->sourceRow(0));
    });
}

Grid::~Grid() = default;

// ---------------------------------------------------------------- columns

void Grid::removeAllColumns() {
    QList<GridColumn> kept;
    m_order.clear();
    setColumns(kept);
    updateMarkColumn();
}

int Grid::addColumn(const QString& field, const QString& caption, ColumnKind kind, int widthTwips,
                    bool visible, const QString& format) {
    GridColumn column;
    column.field = field;
    column.caption = caption;
    column.kind = kind;
    column.widthTwips = widthTwips;
    column.visible = visible;
    column.format = format;
    return appendColumn(std::move(column));
}

int Grid::addListColumn(const QString& field, const QString& caption, const QList<ListItem>& items,
                        int widthTwips, bool visible) {
    GridColumn column;
    column.field = field;
    column.caption = caption;
    column.kind = ColumnKind::List;
    column.widthTwips = widthTwips;
    column.visible = visible;
    column.listItems = items;
    return appendColumn(std::move(column));
}

int Grid::addImageColumn(const QString& field, const QString& caption, ImageList* images, int widthTwips,
                         bool visible) {
    GridColumn column;
    column.field = field;
    column.caption = caption;
    column.kind = ColumnKind::Image;
    column.widthTwips = widthTwips;
    column.visible = visible;
    column.images = images;
    return appendColumn(std::move(column));
}

int Grid::addCheckColumn(const QString& field, const QString& caption, int widthTwips, bool visible) {
    GridColumn column;
    column.field = field;
    column.caption = caption;
    column.kind = ColumnKind::CheckBox;
    column.widthTwips = widthTwips;
    column.visible = visible;
    return appendColumn(std::move(column));
}

int Grid::appendColumn(GridColumn column) {
    column.field = column.field.trimmed();
    if (column.field.isEmpty())
        return -1;
    const int existing = m_model->columnOf(column.field);
    QList<GridColumn> columns = m_model->columns();
    if (existing >= 0) {
        // The screen's own column replaces the grid's mark column for the same field.
        if (!columns[existing].internal)
            return -1;
        columns.removeAt(existing);
    }
    column.widthTwips = std::clamp(column.widthTwips, 0, kMaxWidthTwips);
    columns.append(column);
    m_order.removeAll(column.field);
    m_order.append(column.field);
    setColumns(columns);
    return m_model->columnOf(column.field);
}

void Grid::setColumns(const QList<GridColumn>& columns) {
    const bool editing = m_model->editingAllowed();
    m_model->setColumns(columns);
    m_model->setEditingAllowed(editing);
}

void Grid::setImageMeanings(const QString& field, const QList<ListItem>& meanings) {
    const int c = m_model->columnOf(field);
    if (c >= 0)
        m_model->column(c).imageMeanings = meanings;
}

int Grid::gridColumnCount() const {
    return m_model->columnCount();
}

const GridColumn* Grid::columnAt(int index) const {
    if (index < 0 || index >= m_model->columnCount())
        return nullptr;
    return &m_model->columns()[index];
}

int Grid::columnIndex(const QString& field) const {
    return m_model->columnOf(field);
}

QStringList Grid::visualFields() const {
    QStringList fields;
    const QHeaderView* header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && logical < m_model->columnCount())
            fields << m_model->columns()[logical].field;
    }
    return fields;
}

void Grid::setColumnVisible(const QString& field, bool visible) {
    const int c = m_model->columnOf(field);
    if (c < 0 || m_model->columns()[c].visible == visible)
        return;
    m_model->column(c).visible = visible;
    m_model->invalidateSearch();
    setColumnHidden(c, !visible);
    if (visible && columnWidth(c) <= 0)
        setColumnWidth(c, twipsToPixels(std::max(m_model->columns()[c].widthTwips, 300)));
    emit columnVisibilityChanged(m_model->columns()[c].field, visible);
}

bool Grid::isColumnVisible(const QString& field) const {
    const int c = m_model->columnOf(field);
    return c >= 0 && m_model->columns()[c].visible;
}

void Grid::setColumnWidthTwips(const QString& field, int widthTwips) {
    const int c = m_model->columnOf(field);
    if (c < 0)
        return;
    m_model->column(c).widthTwips = std::clamp(widthTwips, 0, kMaxWidthTwips);
    m_applying = true;
    setColumnWidth(c, shownWidth(m_model->columns()[c]));
    m_applying = false;
}

int Grid::columnWidthTwips(const QString& field) const {
    const int c = m_model->columnOf(field);
    return c < 0 ? 0 : m_model->columns()[c].widthTwips;
}

// ---------------------------------------------------------------- binding

void Grid::bind(QAbstractItemModel* model) {
    if (model == m_model)
        return;
    m_rebinding = true;
    m_model->setSourceModel(model);
    m_rebinding = false;
    updateSortIndicator();
}

QAbstractItemModel* Grid::boundModel() const {
    return m_model->sourceModel();
}

void Grid::setModel(QAbstractItemModel* model) {
    // The view always shows the grid's own model; a model handed in is bound under it.
    if (model == m_model)
        QTableView::setModel(model);
    else
        bind(model);
}

int Grid::rowCount() const {
    const QAbstractItemModel* source = m_model->sourceModel();
    return source ? source->rowCount() : 0;
}

QVariant Grid::value(int row, const QString& field) const {
    return m_model->value(row, field);
}

bool Grid::setValue(int row, const QString& field, const QVariant& value) {
    return m_model->setValue(row, field, value);
}

QString Grid::cellText(int row, const QString& field) const {
    const int c = m_model->columnOf(field);
    if (c < 0 || row < 0 || row >= rowCount())
        return {};
    return m_model->displayText(m_model->columns()[c], value(row, field));
}

// ---------------------------------------------------------------- rows shown

int Grid::viewRowOf(int boundRow) const {
    return m_model->shownRow(boundRow);
}

void Grid::sortByField(const QString& field, Qt::SortOrder order) {
    fetchAllRows();
    m_model->sortRows(m_model->columnOf(field), order);
    updateSortIndicator();
}

QString Grid::sortField() const {
    const int c = m_model->sortColumn();
    return c < 0 ? QString() : m_model->columns()[c].field;
}

Qt::SortOrder Grid::sortOrder() const {
    return m_model->sortOrder();
}

void Grid::onHeaderClicked(int logical) {
    const GridColumn* column = columnAt(logical);
    if (!column || column->internal)
        return;
    const bool again = m_model->sortColumn() == logical && m_model->sortOrder() == Qt::AscendingOrder;
    sortByField(column->field, again ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void Grid::updateSortIndicator() {
    QHeaderView* header = horizontalHeader();
    const int c = m_model->sortColumn();
    header->setSortIndicatorShown(c >= 0);
    if (c >= 0)
        header->setSortIndicator(c, m_model->sortOrder());
}

void Grid::setQuickSearch(const QString& text) {
    // Rows still to read, or search texts not read ahead yet, take a moment on a large result.
    const bool searching = !text.trimmed().isEmpty();
    const bool wait = searching && (!m_model->allRowsFetched() || !m_model->searchPrepared());
    if (wait)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (searching)
        m_model->fetchAllRows();
    m_model->setSearchText(text);
    if (wait)
        QGuiApplication::restoreOverrideCursor();
}

QString Grid::quickSearch() const {
    return m_model->searchText();
}

void Grid::setQuickSearchReadAhead(bool ahead) {
    m_model->setSearchPreparedInAdvance(ahead);
}

bool Grid::quickSearchReady() const {
    return m_model->searchPrepared();
}

bool Grid::allRowsFetched() const {
    return m_model->allRowsFetched();
}

void Grid::fetchAllRows() {
    if (m_model->allRowsFetched())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->fetchAllRows();
    QGuiApplication::restoreOverrideCursor();
}

int Grid::shownRowCount() const {
    return m_model->rowCount();
}

int Grid::shownRow(int position) const {
    return m_model->sourceRow(position);
}

void Grid::setTotalFields(const QStringList& fields) {
    m_totalFields = fields;
    computeTotals();
    updateGeometries();
}

std::optional<double> Grid::total(const QString& field) const {
    return m_model->columnTotal(m_model->columnOf(field));
}

QString Grid::totalText(const QString& field) const {
    const int c = m_model->columnOf(field);
    const std::optional<double> sum = m_model->columnTotal(c);
    if (!sum)
        return {};
    return m_model->displayText(m_model->columns()[c], *sum);
}

void Grid::scheduleTotals() {
    // Values change row by row in loops; the totals are summed once when the loop is over.
    if (m_totalFields.isEmpty() || m_totalsPending)
        return;
    m_totalsPending = true;
    QTimer::singleShot(0, this, [this] {
        m_totalsPending = false;
        computeTotals();
    });
}

void Grid::computeTotals() {
    m_totalTexts.clear();
    QFont bold = m_footer->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    for (const QString& field : m_totalFields) {
        const int c = m_model->columnOf(field);
        if (c < 0)
            continue;
        const QString text = totalText(field);
        m_totalTexts.insert(m_model->columns()[c].field, text);
        // A total is wider than the values it adds up: a column the user has not sized makes room.
        GridColumn& column = m_model->column(c);
        const int needed = metrics.horizontalAdvance(text) + 14;
        if (!column.userWidth && column.visible && column.fitPixels < needed) {
            column.fitPixels = needed;
            m_applying = true;
            setColumnWidth(c, shownWidth(column));
            m_applying = false;
        }
    }
    m_footer->update();
}

void Grid::setFrozenFields(const QStringList& fields) {
    m_frozenFields = fields;
    if (!m_frozen && !fields.isEmpty()) {
        m_frozen = new QTableView(this);
        m_frozen->setObjectName(QStringLiteral("FrozenColumns"));
        m_frozen->setModel(m_model);
        m_frozen->setSelectionModel(selectionModel());
        m_frozen->setItemDelegate(itemDelegate());
        m_frozen->setFocusPolicy(Qt::NoFocus);
        m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_frozen->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_frozen->setSelectionMode(QAbstractItemView::SingleSelection);
        m_frozen->setAlternatingRowColors(true);
        m_frozen->setWordWrap(false);
        m_frozen->setTextElideMode(Qt::ElideRight);
        m_frozen->setCornerButtonEnabled(false);
        m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->verticalHeader()->hide();
        m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
        m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_frozen->horizontalHeader()->setDefaultAlignment(horizontalHeader()->defaultAlignment());
        m_frozen->horizontalHeader()->setHighlightSections(false);
        m_frozen->setFrameShape(QFrame::NoFrame);
        m_frozen->hide();
        // Both parts scroll down together; a click on the frozen part is a click on the grid.
        connect(verticalScrollBar(), &QScrollBar::valueChanged, m_frozen->verticalScrollBar(),
                &QScrollBar::setValue);
        connect(m_frozen->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
                &QScrollBar::setValue);
        connect(m_frozen, &QAbstractItemView::clicked, this, &Grid::onClicked);
        connect(m_frozen, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid() && index.column() < m_model->columnCount())
                emit cellDoubleClicked(m_model->sourceRow(index.row()),
                                       m_model->columns()[index.column()].field);
        });
        connect(m_frozen->horizontalHeader(), &QHeaderView::sectionClicked, this, &Grid::onHeaderClicked);
        QHeaderView* header = horizontalHeader();
        connect(header, &QHeaderView::sectionResized, this, &Grid::updateFrozen);
        connect(header, &QHeaderView::sectionMoved, this, &Grid::updateFrozen);
        connect(m_model, &QAbstractItemModel::modelReset, this, &Grid::updateFrozen);
    }
    updateFrozen();
}

QStringList Grid::stuckFields() const {
    QStringList fields;
    for (int c : m_stuck)
        fields << m_model->columns()[c].field;
    return fields;
}

void Grid::updateFrozen() {
    if (!m_frozen)
        return;
    // Walk the key columns left to right: each one that would start left of the part already
    // covered sticks, and widens it; the first that is still in full sight ends the walk.
    QHeaderView* header = horizontalHeader();
    QList<int> stuck;
    int covered = 0;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical) || logical >= m_model->columnCount() ||
            !m_frozenFields.contains(m_model->columns()[logical].field, Qt::CaseInsensitive))
            continue;
        if (header->sectionViewportPosition(logical) >= covered)
            break;
        stuck << logical;
        covered += header->sectionSize(logical);
    }
    m_stuck = stuck;
    if (stuck.isEmpty()) {
        m_frozen->hide();
        return;
    }
    QHeaderView* frozenHeader = m_frozen->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        m_frozen->setColumnHidden(c, !stuck.contains(c));
        m_frozen->setColumnWidth(c, columnWidth(c));
    }
    for (int i = 0; i < stuck.size(); ++i) {
        const int from = frozenHeader->visualIndex(stuck[i]);
        if (from != i)
            frozenHeader->moveSection(from, i);
    }
    frozenHeader->setSortIndicatorShown(header->isSortIndicatorShown());
    frozenHeader->setSortIndicator(header->sortIndicatorSection(), header->sortIndicatorOrder());
    frozenHeader->setFixedHeight(header->height());
    const int left = frameWidth() + viewportMargins().left();
    m_frozen->setGeometry(left, frameWidth(), covered, header->height() + viewport()->height());
    m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
    m_frozen->show();
    m_frozen->raise();
}

void Grid::updateGeometries() {
    QTableView::updateGeometries();
    updateFrozen();
    if (!m_footer)
        return;
    const bool shown = !m_totalFields.isEmpty();
    const int height = shown ? verticalHeader()->defaultSectionSize() : 0;
    const QMargins margins = viewportMargins();
    if (margins.bottom() != height)
        setViewportMargins(margins.left(), margins.top(), margins.right(), height);
    const QRect area = viewport()->geometry();
    m_footer->setGeometry(area.left(), area.bottom() + 1, area.width(), height);
    m_footer->setVisible(shown);
}

void Grid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dx != 0 && m_footer)
        m_footer->update();
    if (dx != 0)
        updateFrozen();
}

void Grid::onModelAboutToBeReset() {
    m_rowBeforeReset = m_lastRow;
}

void Grid::onModelReset() {
    if (m_rebinding)
        fitColumns();
    applyViewState();
    const int previous = m_rowBeforeReset;
    const int rows = m_model->rowCount();
    if (rows == 0) {
        m_lastRow = -1;
        if (previous >= 0)
            emit rowChanged(-1, previous);
        return;
    }
    // A new model starts on its first row shown; the same model re-read (or sorted, or
    // searched) keeps the row it was on when that is still shown, and the screen hears of a
    // move only when there is one.
    int position = 0;
    if (!m_rebinding && previous >= 0) {
        position = m_model->shownRow(std::min(previous, rowCount() - 1));
        if (position < 0)
            position = 0;
    }
    const int target = m_model->sourceRow(position);
    {
        const QSignalBlocker block(selectionModel());
        selectionModel()->setCurrentIndex(m_model->index(position, firstVisibleColumn()),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    if (position > 0)
        scrollTo(m_model->index(position, firstVisibleColumn()));
    m_lastRow = target;
    viewport()->update();
    if (m_rebinding || target != previous)
        emit rowChanged(target, previous);
}

void Grid::applyViewState() {
    m_applying = true;
    QHeaderView* header = horizontalHeader();
    const auto& columns = m_model->columns();
    // Internal mark column first, then the remembered order, then anything new.
    QStringList order;
    for (const auto& column : columns) {
        if (column.internal)
            order << column.field;
    }
    for (const auto& field : m_order) {
        const int c = m_model->columnOf(field);
        if (c >= 0 && !columns[c].internal && !order.contains(columns[c].field, Qt::CaseInsensitive))
            order << columns[c].field;
    }
    for (const auto& column : columns) {
        if (!order.contains(column.field, Qt::CaseInsensitive))
            order << column.field;
    }
    for (int visual = 0; visual < order.size(); ++visual) {
        const int logical = m_model->columnOf(order[visual]);
        const int from = header->visualIndex(logical);
        if (from >= 0 && from != visual)
            header->moveSection(from, visual);
    }
    m_order = order;
    for (int c = 0; c < columns.size(); ++c) {
        setColumnWidth(c, shownWidth(columns[c]));
        setColumnHidden(c, !columns[c].visible);
    }
    updateSortIndicator();
    m_applying = false;
}

// ---------------------------------------------------------------- position

int Grid::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model->sourceRow(current.row()) : -1;
}

void Grid::setCurrentRow(int row) {
    const int position = viewRowOf(row);
    if (position < 0)
        return;
    const QModelIndex current = currentIndex();
    const int column =
        current.isValid() && !isColumnHidden(current.column()) ? current.column() : firstVisibleColumn();
    setCurrentIndex(m_model->index(position, std::max(column, 0)));
}

QString Grid::currentField() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.column() >= m_model->columnCount())
        return {};
    return m_model->columns()[current.column()].field;
}

int Grid::findRow(const QString& field, const QVariant& value) const {
    const int column = m_model->sourceColumnOf(field);
    QAbstractItemModel* source = m_model->sourceModel();
    if (column < 0 || !source)
        return -1;
    const int rows = source->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (listCodeMatches(value, source->data(source->index(row, column), Qt::EditRole)))
            return row;
    }
    return -1;
}

QVariant Grid::currentKey() const {
    return m_keyField.isEmpty() ? QVariant() : value(currentRow(), m_keyField);
}

void Grid::onCurrentChanged(const QModelIndex& current) {
    const int row = current.isValid() ? m_model->sourceRow(current.row()) : -1;
    if (row == m_lastRow)
        return;
    const int previous = m_lastRow;
    m_lastRow = row;
    emit rowChanged(row, previous);
}

int Grid::firstVisibleColumn() const {
    const QHeaderView* header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            return logical;
    }
    return 0;
}

// ---------------------------------------------------------------- editing

void Grid::setEditable(bool editable) {
    m_model->setEditingAllowed(editable);
    viewport()->update();
}

bool Grid::isEditable() const {
    return m_model->editingAllowed();
}

void Grid::setColumnEditable(const QString& field, bool open) {
    const int c = m_model->columnOf(field);
    if (c >= 0)
        m_model->column(c).editable = open;
}

bool Grid::isColumnEditable(const QString& field) const {
    const int c = m_model->columnOf(field);
    return c >= 0 && m_model->columns()[c].editable;
}

void Grid::closeAllColumnsForEdit() {
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_model->column(c).editable = false;
}

bool Grid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool opensEditor =
        index.isValid() && state() != EditingState && (m_model->flags(index) & Qt::ItemIsEditable) &&
        (trigger == AllEditTriggers || (editTriggers() & trigger)) && trigger != SelectedClicked;
    if (opensEditor) {
        if (currentIndex() != index)
            setCurrentIndex(index);
        bool cancel = false;
        emit beforeEdit(m_model->sourceRow(index.row()), m_model->columns()[index.column()].field, cancel);
        if (cancel)
            return false;
    }
    return QTableView::edit(index, trigger, event);
}

QString Grid::editorText(const QModelIndex& index) {
    if (m_retryIndex.isValid() && m_retryIndex == index) {
        m_retryIndex = QPersistentModelIndex();
        return m_retryText;
    }
    const GridColumn* column = columnAt(index.column());
    const QVariant value = index.data(Qt::EditRole);
    if (!column || !value.isValid() || value.isNull())
        return {};
    switch (column->kind) {
    case ColumnKind::Date: {
        if (value.typeId() == QMetaType::QDateTime)
            return formatDateText(value.toDateTime().date());
        if (value.typeId() == QMetaType::QDate)
            return formatDateText(value.toDate());
        const auto date = parseDateText(value.toString());
        return date ? formatDateText(*date) : rightTrimmed(value.toString());
    }
    case ColumnKind::Number:
        return formatPlainNumber(value, m_model->locale());
    default:
        return rightTrimmed(value.toString());
    }
}

void Grid::commitCellInput(const QModelIndex& index, const QVariant& input, bool typedText) {
    const GridColumn* column = columnAt(index.column());
    if (!column || !index.isValid())
        return;
    const int row = m_model->sourceRow(index.row());
    const QString field = column->field;
    const QString text = typedText ? input.toString() : QString();

    QVariant value = input;
    if (typedText) {
        const QString trimmed = text.trimmed();
        if (column->kind == ColumnKind::Date) {
            if (trimmed.isEmpty()) {
                value = QVariant();
            } else if (const auto date = parseDateText(trimmed)) {
                value = date->startOfDay(Qt::UTC);
            } else {
                const QString message =
                    controlText(91401, QStringLiteral(
                                           "\"%1\" non è una data valida: scrivere la data come gg/mm/aaaa."))
                        .arg(trimmed);
                showMessage(index, message);
                emit editRejected(row, field, message);
                reopenEditor(index, text);
                return;
            }
        } else if (column->kind == ColumnKind::Number) {
            if (trimmed.isEmpty()) {
                value = QVariant();
            } else if (const auto number = parseNumber(trimmed, m_model->locale())) {
                value = *number;
            } else {
                const QString message =
                    controlText(91402, QStringLiteral("\"%1\" non è un numero.")).arg(trimmed);
                showMessage(index, message);
                emit editRejected(row, field, message);
                reopenEditor(index, text);
                return;
            }
        } else {
            value = text;
        }
    }

    bool cancel = false;
    QString message;
    emit validateCell(row, field, value, cancel, message);
    if (cancel) {
        if (message.isEmpty())
            message = controlText(91403, QStringLiteral("Valore non accettato."));
        showMessage(index, message);
        emit editRejected(row, field, message);
        if (typedText)
            reopenEditor(index, text);
        return;
    }
    if (!m_model->setData(index, value, Qt::EditRole)) {
        message = controlText(91404, QStringLiteral("Il valore non è stato salvato."));
        showMessage(index, message);
        emit editRejected(row, field, message);
        return;
    }
    emit afterEdit(row, field);
}

void Grid::showMessage(const QModelIndex& index, const QString& message) {
    m_lastMessage = message;
    if (isVisible())
        QToolTip::showText(viewport()->mapToGlobal(visualRect(index).bottomLeft()), message, viewport());
}

void Grid::reopenEditor(const QModelIndex& index, const QString& text) {
    // The typed text comes back in a new editor, so the user can correct it instead of
    // typing it again; Esc abandons it.
    m_retryIndex = index;
    m_retryText = text;
    const QPersistentModelIndex target(index);
    QTimer::singleShot(0, this, [this, target] {
        if (target.isValid() && m_retryIndex == target)
            QAbstractItemView::edit(target);
    });
}

// ---------------------------------------------------------------- marks and clicks

void Grid::setSelectionField(const QString& field) {
    m_selectionField = field.trimmed();
    updateMarkColumn();
}

bool Grid::setFeatureEnabled(const QString& key, bool enabled) {
    if (key.compare(SelectionFeatureKey, Qt::CaseInsensitive) != 0)
        return false;
    if (enabled && m_selectionField.isEmpty())
        return false;
    m_selectionOn = enabled;
    updateMarkColumn();
    return true;
}

bool Grid::isFeatureEnabled(const QString& key) const {
    return key.compare(SelectionFeatureKey, Qt::CaseInsensitive) == 0 && m_selectionOn;
}

void Grid::updateMarkColumn() {
    QList<GridColumn> columns = m_model->columns();
    bool changed = false;
    for (int c = int(columns.size()) - 1; c >= 0; --c) {
        if (columns[c].internal &&
            (!m_selectionOn || columns[c].field.compare(m_selectionField, Qt::CaseInsensitive))) {
            columns.removeAt(c);
            changed = true;
        }
    }
    if (m_selectionOn && m_model->columnOf(m_selectionField) < 0) {
        GridColumn mark;
        mark.field = m_selectionField;
        mark.caption = controlText(91405, QStringLiteral("Sel."));
        mark.kind = ColumnKind::CheckBox;
        mark.widthTwips = kMarkColumnTwips;
        mark.internal = true;
        columns.prepend(mark);
        changed = true;
    }
    if (changed)
        setColumns(columns);
}

bool Grid::isMarkColumn(int column) const {
    return m_selectionOn && column >= 0 && column < m_model->columnCount() &&
           m_model->columns()[column].field.compare(m_selectionField, Qt::CaseInsensitive) == 0;
}

bool Grid::isRowMarked(int row) const {
    return !m_selectionField.isEmpty() && isTicked(value(row, m_selectionField));
}

bool Grid::setRowMarked(int row, bool marked) {
    if (!m_selectionOn || row < 0 || row >= rowCount())
        return false;
    if (!m_model->setValue(row, m_selectionField, QVariant(qlonglong(marked ? 1 : 0)))) {
        m_lastMessage = controlText(91406, QStringLiteral("La selezione della riga non è stata salvata."));
        return false;
    }
    emit rowMarkChanged(row, marked);
    return true;
}

bool Grid::toggleRowMark(int row) {
    return setRowMarked(row, !isRowMarked(row));
}

void Grid::onClicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const int row = m_model->sourceRow(index.row());
    const GridColumn& column = m_model->columns()[index.column()];
    const QString field = column.field;
    if (isMarkColumn(index.column())) {
        toggleRowMark(row);
    } else if (column.kind == ColumnKind::CheckBox && isEditable() && column.editable &&
               column.sourceColumn >= 0) {
        bool cancel = false;
        emit beforeEdit(row, field, cancel);
        if (!cancel)
            commitCellInput(index, QVariant(qlonglong(isTicked(index.data(Qt::EditRole)) ? 0 : 1)), false);
    }
    emit cellClicked(row, field);
}

void Grid::keyPressEvent(QKeyEvent* event) {
    // Space marks the current row, as a click on its mark does.
    if (event->key() == Qt::Key_Space && m_selectionOn && state() != EditingState && currentRow() >= 0) {
        toggleRowMark(currentRow());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

// ---------------------------------------------------------------- display

void Grid::redisplay() {
    viewport()->update();
}

void Grid::refresh() {
    m_model->refresh();
    viewport()->update();
}

void Grid::suspendDisplay() {
    if (m_suspended++ == 0)
        setUpdatesEnabled(false);
    m_model->suspendUpdates();
}

void Grid::resumeDisplay() {
    if (m_suspended == 0)
        return;
    m_model->resumeUpdates();
    if (--m_suspended == 0) {
        setUpdatesEnabled(true);
        viewport()->update();
    }
}

bool Grid::isDisplaySuspended() const {
    return m_suspended > 0;
}

void Grid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        m_model->setLocale(locale());
    QTableView::changeEvent(event);
}

// ---------------------------------------------------------------- layout

QByteArray Grid::saveLayout() const {
    QJsonArray columns;
    for (const auto& field : visualFields()) {
        const int c = m_model->columnOf(field);
        const GridColumn& column = m_model->columns()[c];
        if (column.internal)
            continue;
        columns.append(QJsonObject{
            {QStringLiteral("field"), column.field},
            {QStringLiteral("width"), column.widthTwips},
            {QStringLiteral("visible"), column.visible},
            {QStringLiteral("user"), column.userWidth},
        });
    }
    QJsonObject root{{QStringLiteral("version"), 1}, {QStringLiteral("columns"), columns}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool Grid::restoreLayout(const QByteArray& layout) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(layout, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonValue list = document.object().value(QStringLiteral("columns"));
    if (!list.isArray())
        return false;
    // Check every entry first, so a damaged layout changes nothing.
    for (const auto& entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        if (!entry.isObject() || !object.value(QStringLiteral("field")).isString() ||
            !object.value(QStringLiteral("width")).isDouble() ||
            !object.value(QStringLiteral("visible")).isBool())
            return false;
    }
    QStringList order;
    for (const auto& entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        const int c = m_model->columnOf(object.value(QStringLiteral("field")).toString());
        if (c < 0 || m_model->columns()[c].internal)
            continue;
        GridColumn& column = m_model->column(c);
        column.widthTwips = std::clamp(object.value(QStringLiteral("width")).toInt(), 0, kMaxWidthTwips);
        column.visible = object.value(QStringLiteral("visible")).toBool();
        column.userWidth = object.value(QStringLiteral("user")).toBool(false);
        order << column.field;
    }
    for (const auto& field : m_order) {
        if (!order.contains(field, Qt::CaseInsensitive))
            order << field;
    }
    m_order = order;
    m_model->invalidateSearch();
    applyViewState();
    return true;
}

QMenu* Grid::createColumnChooser(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setTitle(controlText(91407, QStringLiteral("Colonne")));
    int visibleCount = 0;
    for (const auto& column : m_model->columns())
        visibleCount += column.visible && !column.internal ? 1 : 0;
    for (const auto& field : visualFields()) {
        const GridColumn& column = m_model->columns()[m_model->columnOf(field)];
        if (column.internal)
            continue;
        QAction* action = menu->addAction(column.caption.isEmpty() ? column.field : column.caption);
        action->setCheckable(true);
        action->setChecked(column.visible);
        action->setData(column.field);
        action->setToolTip(column.field);
        // The last visible column stays: a grid with no columns cannot be used to get one back.
        action->setEnabled(!(column.visible && visibleCount == 1));
        connect(action, &QAction::toggled, this,
                [this, f = column.field](bool checked) { setColumnVisible(f, checked); });
    }
    menu->addSeparator();
    QAction* all = menu->addAction(controlText(91408, QStringLiteral("Mostra tutte le colonne")));
    connect(all, &QAction::triggered, this, [this] {
        for (const auto& column : m_model->columns())
            setColumnVisible(column.field, true);
    });
    return menu;
}

// ---------------------------------------------------------------- focus

bool Grid::requestLeave() {
    bool cancel = false;
    emit validate(cancel);
    return !cancel;
}

void Grid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    if (m_leaveCheck || event->reason() == Qt::PopupFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason)
        return;
    QWidget* next = QApplication::focusWidget();
    if (next && (next == this || isAncestorOf(next)))
        return; // an editor of the grid took the focus
    m_leaveCheck = true;
    const bool allowed = requestLeave();
    m_leaveCheck = false;
    if (!allowed)
        QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

// Design widths in twips were made for a small system font; the factor widens them for the
// font in use, so that a date still fits its column.
double Grid::fontScale() const {
    return std::max(1.0, fontMetrics().averageCharWidth() / 6.0);
}

int Grid::twipsToPixels(int twips) const {
    return qRound(twips * logicalDpiX() / 1440.0 * fontScale());
}

int Grid::pixelsToTwips(int pixels) const {
    return qRound(pixels * 1440.0 / logicalDpiX() / fontScale());
}

int Grid::shownWidth(const GridColumn& column) const {
    int pixels = twipsToPixels(column.widthTwips);
    // A date is never cut, whoever set the width.
    if (column.kind == ColumnKind::Date && column.format.isEmpty())
        pixels = std::max(pixels, fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 12);
    // The design width is the least a column gets; until the user sizes it, it is as wide as
    // its caption and its first values need.
    if (!column.userWidth && column.widthTwips > 0)
        pixels = std::max(pixels, column.fitPixels);
    return pixels;
}

void Grid::fitColumns() {
    constexpr int kSampleRows = 200;
    constexpr int kPadding = 14;
    const QFontMetrics header(horizontalHeader()->font());
    const QFontMetrics cells(font());
    const int maxPixels = cells.averageCharWidth() * 40;
    const int rows = std::min(m_model->rowCount(), kSampleRows);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        GridColumn& column = m_model->column(c);
        // Room for the caption and the sort arrow.
        int pixels = header.horizontalAdvance(column.caption) + kPadding + 16;
        if (column.kind == ColumnKind::Image || column.kind == ColumnKind::CheckBox) {
            pixels = std::max(pixels, 16 + kPadding);
        } else {
            for (int r = 0; r < rows; ++r) {
                const QString text = m_model->data(m_model->index(r, c), Qt::DisplayRole).toString();
                pixels = std::max(pixels, cells.horizontalAdvance(text) + kPadding);
            }
        }
        column.fitPixels = std::min(pixels, maxPixels);
    }
}

} // namespace erpctl
