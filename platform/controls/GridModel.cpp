#include "platform/controls/GridModel.h"

#include "platform/controls/DateText.h"
#include "platform/controls/ImageList.h"

#include <QDateTime>
#include <algorithm>
#include <limits>
#include <numeric>

namespace erpctl {

namespace {

QString rightTrimmed(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// Dates arrive as QDateTime from a record set, but also as QDate or as ISO text from models
// that keep what the database returned.
QDateTime toDateTime(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay(Qt::UTC);
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (!dt.isValid())
            dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        if (!dt.isValid())
            dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid()) {
            if (const auto d = parseDateText(text))
                dt = d->startOfDay(Qt::UTC);
        }
        return dt;
    }
    default:
        return {};
    }
}

const QString& dayFirstFormat() {
    static const QString format = QStringLiteral("dd/MM/yyyy");
    return format;
}

// "dd/MM/yyyy" written digit by digit: the common date form, and the one every search reads.
QString dayFirstText(const QDate& date) {
    QString text(10, u'/');
    const auto put = [&text](int at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            text[at + i] = QChar(u'0' + value % 10);
    };
    put(0, date.day(), 2);
    put(3, date.month(), 2);
    put(6, date.year(), 4);
    return text;
}

} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {
    setLocale(QLocale());
}

void GridModel::setColumns(const QList<GridColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    for (auto& column : m_columns)
        column.picture = NumberPicture(column.kind == ColumnKind::Date ? QString() : column.format);
    matchColumns();
    forgetSearchTexts();
    rebuildRows();
    endResetModel();
}

int GridModel::columnOf(const QString& field) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void GridModel::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    // Other rows come in their own order; the search typed stays.
    if (source != m_source)
        m_sortField.clear();
    for (const auto& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    if (m_source)
        connectSource();
    matchColumns();
    forgetSearchTexts();
    rebuildRows();
    endResetModel();
}

void GridModel::connectSource() {
    auto* s = m_source.data();
    auto reset = [this] { beginResetModel(); };
    auto rematch = [this] {
        matchColumns();
        forgetSearchTexts();
        rebuildRows();
        endResetModel();
    };
    m_connections << connect(s, &QAbstractItemModel::modelAboutToBeReset, this, reset)
                  << connect(s, &QAbstractItemModel::modelReset, this, rematch)
                  << connect(s, &QAbstractItemModel::layoutAboutToBeChanged, this, reset)
                  << connect(s, &QAbstractItemModel::layoutChanged, this, rematch)
                  << connect(s, &QAbstractItemModel::columnsAboutToBeInserted, this, reset)
                  << connect(s, &QAbstractItemModel::columnsInserted, this, rematch)
                  << connect(s, &QAbstractItemModel::columnsAboutToBeRemoved, this, reset)
                  << connect(s, &QAbstractItemModel::columnsRemoved, this, rematch)
                  << connect(s, &QAbstractItemModel::columnsAboutToBeMoved, this, reset)
                  << connect(s, &QAbstractItemModel::columnsMoved, this, rematch)
                  << connect(s, &QAbstractItemModel::rowsAboutToBeMoved, this, reset)
                  << connect(s, &QAbstractItemModel::rowsMoved, this, rematch);
    m_connections << connect(s, &QAbstractItemModel::headerDataChanged, this,
                             [this](Qt::Orientation orientation, int, int) {
                                 if (orientation != Qt::Horizontal)
                                     return;
                                 beginResetModel();
                                 matchColumns();
                                 forgetSearchTexts();
                                 rebuildRows();
                                 endResetModel();
                             });
    // Rows added or removed pass through as they are while the bound order is shown; under a
    // sort or a search the shown rows are worked out again.
    m_connections << connect(s, &QAbstractItemModel::rowsAboutToBeInserted, this,
                             [this](const QModelIndex& parent, int first, int last) {
                                 if (parent.isValid())
                                     return;
                                 if (rowsMapped())
                                     beginResetModel();
                                 else
                                     beginInsertRows({}, first, last);
                             });
    const auto rowsChanged = [this](const QModelIndex& parent, bool inserted) {
        if (parent.isValid())
            return;
        if (inserted && !rowsMapped())
            extendSearchTexts();
        else
            forgetSearchTexts();
        if (rowsMapped()) {
            rebuildRows();
            endResetModel();
        } else if (inserted) {
            endInsertRows();
        } else {
            endRemoveRows();
        }
    };
    m_connections << connect(s, &QAbstractItemModel::rowsInserted, this,
                             [rowsChanged](const QModelIndex& parent) { rowsChanged(parent, true); });
    m_connections << connect(s, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                             [this](const QModelIndex& parent, int first, int last) {
                                 if (parent.isValid())
                                     return;
                                 if (rowsMapped())
                                     beginResetModel();
                                 else
                                     beginRemoveRows({}, first, last);
                             });
    m_connections << connect(s, &QAbstractItemModel::rowsRemoved, this,
                             [rowsChanged](const QModelIndex& parent) { rowsChanged(parent, false); });
    m_connections << connect(s, &QAbstractItemModel::dataChanged, this, &GridModel::onSourceDataChanged);
    // A model deleted while bound: show nothing rather than read freed memory.
    m_connections << connect(s, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_connections.clear();
        matchColumns();
        forgetSearchTexts();
        rebuildRows();
        endResetModel();
    });
}

QHash<QString, int> GridModel::readFields() const {
    QHash<QString, int> fields;
    if (m_source) {
        for (int c = m_source->columnCount() - 1; c >= 0; --c) {
            const QString name = m_source->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            fields.insert(name.toUpper(), c); // the first of two equal names wins
        }
    }
    return fields;
}

void GridModel::matchColumns() {
    // Field names are read once per change of the bound model, not at every lookup: screens
    // read values by field name row after row.
    m_fieldColumns = readFields();
    for (auto& column : m_columns)
        column.sourceColumn = sourceColumnOf(column.field);
}

int GridModel::sourceColumnOf(const QString& field) const {
    if (!m_source || field.isEmpty())
        return -1;
    return m_fieldColumns.value(field.toUpper(), -1);
}

void GridModel::onSourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    if (m_columns.isEmpty() || topLeft.parent().isValid())
        return;
    // A changed value may change what a search finds; the rows shown stay until the next search.
    forgetSearchTexts();
    if (m_suspended > 0) {
        m_changedWhileSuspended = true;
        return;
    }
    if (!rowsMapped()) {
        emit dataChanged(index(topLeft.row(), 0), index(bottomRight.row(), columnCount() - 1));
        return;
    }
    if (topLeft.row() == bottomRight.row()) {
        const int shown = shownRow(topLeft.row());
        if (shown >= 0)
            emit dataChanged(index(shown, 0), index(shown, columnCount() - 1));
    } else if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void GridModel::setLocale(const QLocale& locale) {
    m_locale = locale;
    m_dateFormat = localeDateFormat(locale);
    forgetSearchTexts();
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QVariant GridModel::value(int row, const QString& field) const {
    const int c = sourceColumnOf(field);
    if (c < 0 || row < 0 || row >= m_source->rowCount())
        return {};
    return m_source->data(m_source->index(row, c), Qt::EditRole);
}

bool GridModel::setValue(int row, const QString& field, const QVariant& value) {
    const int c = sourceColumnOf(field);
    if (c < 0 || row < 0 || row >= m_source->rowCount())
        return false;
    return m_source->setData(m_source->index(row, c), value, Qt::EditRole);
}

void GridModel::suspendUpdates() {
    ++m_suspended;
}

void GridModel::resumeUpdates() {
    if (m_suspended == 0)
        return;
    if (--m_suspended == 0 && m_changedWhileSuspended) {
        m_changedWhileSuspended = false;
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void GridModel::refresh() {
    forgetSearchTexts();
    if (readFields() != m_fieldColumns) {
        beginResetModel();
        matchColumns();
        rebuildRows();
        endResetModel();
    } else if (rowCount() > 0 && columnCount() > 0) {
        // Same fields: repaint in place, keeping the position and the scroll.
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

int GridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_source)
        return 0;
    return rowsMapped() ? int(m_rows.size()) : m_source->rowCount();
}

// ---------------------------------------------------------------- rows shown

int GridModel::sourceRow(int shown) const {
    if (shown < 0 || shown >= rowCount())
        return -1;
    return rowsMapped() ? m_rows[size_t(shown)] : shown;
}

int GridModel::shownRow(int source) const {
    if (!m_source || source < 0 || source >= m_source->rowCount())
        return -1;
    if (!rowsMapped())
        return source;
    return size_t(source) < m_shownAt.size() ? m_shownAt[size_t(source)] : -1;
}

void GridModel::fetchAllRows() {
    while (m_source && m_source->canFetchMore({})) {
        const int before = m_source->rowCount();
        m_source->fetchMore({});
        if (m_source && m_source->rowCount() == before && m_source->canFetchMore({}))
            break; // a model that says more and gives none: do not spin
    }
}

void GridModel::sortRows(int column, Qt::SortOrder order) {
    const QString field = column >= 0 && column < m_columns.size() ? m_columns[column].field : QString();
    fetchAllRows();
    beginResetModel();
    m_sortField = field;
    m_sortOrder = order;
    rebuildRows();
    endResetModel();
}

void GridModel::invalidateSearch() {
    forgetSearchTexts();
    if (m_searchText.isEmpty())
        return;
    beginResetModel();
    rebuildRows();
    endResetModel();
}

void GridModel::setSearchText(const QString& text) {
    const QString needle = text.trimmed();
    if (needle == m_searchText)
        return;
    if (!needle.isEmpty())
        fetchAllRows();
    const QString previous = m_searchText.toCaseFolded();
    const QString folded = needle.toCaseFolded();
    beginResetModel();
    const bool narrowing =
        !previous.isEmpty() && folded.contains(previous) && m_searchCacheValid && m_rows.size() > 0;
    m_searchText = needle;
    if (narrowing) {
        // Typing on only removes rows: look among those shown, whose order already holds.
        std::vector<int> within = std::move(m_rows);
        m_rows = matchingRows(folded, &within);
        m_shownAt.assign(size_t(m_source ? m_source->rowCount() : 0), -1);
        for (size_t i = 0; i < m_rows.size(); ++i)
            m_shownAt[size_t(m_rows[i])] = int(i);
    } else {
        rebuildRows();
    }
    endResetModel();
}

const std::vector<QString>& GridModel::searchTexts() const {
    if (!m_searchCacheValid)
        readSearchTexts(std::numeric_limits<int>::max());
    return m_searchCache;
}

void GridModel::readSearchTexts(int count) const {
    const int rows = m_source ? m_source->rowCount() : 0;
    if (m_searchCache.size() < size_t(rows))
        m_searchCache.resize(size_t(rows));
    if (m_searchRowsRead == 0) {
        m_searchCache.assign(size_t(rows), QString());
        m_searchColumns.clear();
        for (int c = 0; c < m_columns.size(); ++c) {
            const GridColumn& column = m_columns[c];
            if (column.visible && !column.internal && column.sourceColumn >= 0 &&
                column.kind != ColumnKind::Image && column.kind != ColumnKind::CheckBox)
                m_searchColumns << c;
        }
    }
    const int end = count >= rows - m_searchRowsRead ? rows : m_searchRowsRead + count;
    for (int r = m_searchRowsRead; r < end; ++r) {
        QString text;
        for (int c : std::as_const(m_searchColumns)) {
            const GridColumn& column = m_columns[c];
            text +=
                displayText(column, m_source->data(m_source->index(r, column.sourceColumn), Qt::EditRole));
            text += QChar(0x1f); // no typed text spans two cells
        }
        m_searchCache[size_t(r)] = text.toCaseFolded();
    }
    m_searchRowsRead = end;
    m_searchCacheValid = end >= rows;
}

void GridModel::forgetSearchTexts() {
    m_searchCacheValid = false;
    m_searchRowsRead = 0;
    if (m_searchInAdvance && m_searchReader)
        m_searchReader->start();
}

void GridModel::extendSearchTexts() {
    m_searchCacheValid = false;
    if (m_searchInAdvance && m_searchReader)
        m_searchReader->start();
}

void GridModel::setSearchPreparedInAdvance(bool inAdvance) {
    m_searchInAdvance = inAdvance;
    if (inAdvance && !m_searchReader) {
        // Slices of a few thousand rows keep the window answering while the texts are read.
        m_searchReader = new QTimer(this);
        m_searchReader->setSingleShot(true);
        m_searchReader->setInterval(0);
        connect(m_searchReader, &QTimer::timeout, this, [this] {
            // While rows are still being read the reading goes first; the last slice of rows
            // starts the texts again.
            if (m_searchCacheValid || !allRowsFetched())
                return;
            readSearchTexts(2000);
            if (!m_searchCacheValid)
                m_searchReader->start();
        });
    }
    if (inAdvance && !m_searchCacheValid)
        m_searchReader->start();
    else if (!inAdvance && m_searchReader)
        m_searchReader->stop();
}

std::vector<int> GridModel::matchingRows(const QString& needle, const std::vector<int>* within) const {
    const std::vector<QString>& texts = searchTexts();
    std::vector<int> rows;
    const auto test = [&](int r) {
        if (texts[size_t(r)].contains(needle))
            rows.push_back(r);
    };
    if (within) {
        for (int r : *within)
            test(r);
    } else {
        for (int r = 0; r < int(texts.size()); ++r)
            test(r);
    }
    return rows;
}

namespace {

// What a row is sorted on: numbers (and dates, as milliseconds) or a text; an empty cell
// sorts before every value.
struct SortKey {
    bool empty = true;
    double number = 0;
    QString text;
};

} // namespace

void GridModel::sortShownRows() {
    const int c = columnOf(m_sortField);
    if (c < 0 || !m_source)
        return;
    const GridColumn& column = m_columns[c];
    const int rows = m_source->rowCount();
    std::vector<SortKey> keys(static_cast<size_t>(rows));
    const bool numeric = column.kind == ColumnKind::Number || column.kind == ColumnKind::Image ||
                         column.kind == ColumnKind::CheckBox;
    for (int r : m_rows) {
        const QVariant value = column.sourceColumn >= 0
                                   ? m_source->data(m_source->index(r, column.sourceColumn), Qt::EditRole)
                                   : QVariant();
        if (!value.isValid() || value.isNull())
            continue;
        SortKey& key = keys[size_t(r)];
        if (column.kind == ColumnKind::Date) {
            // Day and time as written, without the time zone's arithmetic.
            const QDateTime dt = toDateTime(value);
            if (!dt.isValid())
                continue;
            key.number = double(dt.date().toJulianDay()) * 86400000.0 + dt.time().msecsSinceStartOfDay();
        } else if (numeric) {
            bool ok = false;
            key.number = value.toDouble(&ok);
            if (!ok)
                continue;
        } else if (column.kind == ColumnKind::List) {
            key.text = displayText(column, value).toCaseFolded();
        } else {
            key.text = value.toString().toCaseFolded();
        }
        key.empty = false;
    }
    const bool byText = !numeric && column.kind != ColumnKind::Date;
    const auto less = [&keys, byText](int a, int b) {
        const SortKey& x = keys[size_t(a)];
        const SortKey& y = keys[size_t(b)];
        if (x.empty || y.empty)
            return x.empty && !y.empty;
        if (byText)
            return x.text < y.text; // folded once above: case does not count
        return x.number < y.number;
    };
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_rows.begin(), m_rows.end(), less);
    else
        std::stable_sort(m_rows.begin(), m_rows.end(), [&less](int a, int b) { return less(b, a); });
}

void GridModel::rebuildRows() {
    m_rows.clear();
    m_shownAt.clear();
    if (!rowsMapped() || !m_source)
        return;
    const int rows = m_source->rowCount();
    if (m_searchText.isEmpty()) {
        m_rows.resize(size_t(rows));
        std::iota(m_rows.begin(), m_rows.end(), 0);
    } else {
        m_rows = matchingRows(m_searchText.toCaseFolded(), nullptr);
    }
    sortShownRows();
    m_shownAt.assign(size_t(rows), -1);
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_shownAt[size_t(m_rows[i])] = int(i);
}

std::optional<double> GridModel::columnTotal(int c) const {
    if (c < 0 || c >= m_columns.size() || !m_source)
        return std::nullopt;
    const GridColumn& column = m_columns[c];
    if (column.kind != ColumnKind::Number || column.sourceColumn < 0 || !allRowsFetched())
        return std::nullopt; // a total of the rows read so far would mislead
    double sum = 0;
    bool any = false;
    const int rows = rowCount();
    for (int i = 0; i < rows; ++i) {
        const int r = rowsMapped() ? m_rows[size_t(i)] : i;
        bool ok = false;
        const double v = m_source->data(m_source->index(r, column.sourceColumn), Qt::EditRole).toDouble(&ok);
        if (ok) {
            sum += v;
            any = true;
        }
    }
    return any ? std::optional<double>(sum) : std::nullopt;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString GridModel::displayText(const GridColumn& column, const QVariant& value) const {
    if (!value.isValid() || value.isNull())
        return {};
    switch (column.kind) {
    case ColumnKind::Image:
    case ColumnKind::CheckBox:
        return {};
    case ColumnKind::List:
        for (const auto& item : column.listItems) {
            if (listCodeMatches(item.code, value))
                return item.caption;
        }
        return {};
    case ColumnKind::Date: {
        const QDateTime dt = toDateTime(value);
        if (!dt.isValid())
            return rightTrimmed(value.toString());
        const QString& format = column.format.isEmpty() ? m_dateFormat : column.format;
        if (format == dayFirstFormat())
            return dayFirstText(dt.date());
        return dt.toString(format);
    }
    case ColumnKind::Number:
        return column.picture.format(value, m_locale);
    case ColumnKind::Text:
        break;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        if (!column.picture.isEmpty() && !plainDecimal(value).isEmpty())
            return column.picture.format(value, m_locale);
        return rightTrimmed(value.toString());
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return toDateTime(value).toString(m_dateFormat);
    default:
        if (!plainDecimal(value).isEmpty())
            return column.picture.isEmpty() ? formatPlainNumber(value, m_locale)
                                            : column.picture.format(value, m_locale);
        return value.toString();
    }
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= m_columns.size() || !m_source)
        return {};
    const GridColumn& column = m_columns[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::DecorationRole:
    case Qt::CheckStateRole:
    case Qt::EditRole:
        break;
    case Qt::TextAlignmentRole:
        switch (column.kind) {
        case ColumnKind::Number:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case ColumnKind::Date:
        case ColumnKind::Image:
        case ColumnKind::CheckBox:
            return int(Qt::AlignHCenter | Qt::AlignVCenter);
        default:
            return column.picture.isEmpty() ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                            : int(Qt::AlignRight | Qt::AlignVCenter);
        }
    default:
        return {};
    }
    if (column.sourceColumn < 0)
        return {};
    const QVariant value =
        m_source->data(m_source->index(sourceRow(index.row()), column.sourceColumn), Qt::EditRole);
    switch (role) {
    case Qt::EditRole:
        return value;
    case Qt::DisplayRole:
        return displayText(column, value);
    case Qt::ToolTipRole: {
        // An icon says what it means when the pointer rests on it.
        if (column.kind == ColumnKind::Image) {
            for (const auto& item : column.imageMeanings) {
                if (!value.isNull() && listCodeMatches(item.code, value))
                    return item.caption;
            }
            return {};
        }
        // Long texts are cut by narrow columns; the tooltip shows them whole.
        if (column.kind != ColumnKind::Text)
            return {};
        const QString text = displayText(column, value);
        return text.size() > 12 ? QVariant(text) : QVariant();
    }
    case Qt::DecorationRole: {
        if (column.kind != ColumnKind::Image || !column.images || value.isNull())
            return {};
        bool ok = false;
        const double code = value.toDouble(&ok);
        if (!ok || code != double(int(code)))
            return {};
        const QIcon icon = column.images->icon(int(code));
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::CheckStateRole:
        if (column.kind != ColumnKind::CheckBox)
            return {};
        return isTicked(value) ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !m_source)
        return false;
    const GridColumn& column = m_columns[index.column()];
    if (column.sourceColumn < 0)
        return false;
    return m_source->setData(m_source->index(sourceRow(index.row()), column.sourceColumn), value,
                             Qt::EditRole);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < 0 || section >= m_columns.size())
        return {};
    const GridColumn& column = m_columns[section];
    switch (role) {
    case Qt::DisplayRole:
        return column.caption;
    case Qt::ToolTipRole:
        return column.caption.isEmpty() ? column.field
                                        : column.caption + QStringLiteral(" (") + column.field + ')';
    case FieldRole:
        return column.field;
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const GridColumn& column = m_columns[index.column()];
    // Check boxes change by a click (the grid handles it), not through an editor.
    if (m_editingAllowed && column.editable && column.sourceColumn >= 0 && column.kind != ColumnKind::Image &&
        column.kind != ColumnKind::CheckBox)
        result |= Qt::ItemIsEditable;
    return result;
}

bool GridModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_source && m_source->canFetchMore({});
}

void GridModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid() && m_source)
        m_source->fetchMore({});
}

} // namespace erpctl
