#include "module/db/RecordsetModel.h"

#include <QElapsedTimer>

namespace scadlav::db {

namespace {

// One slice of background reading: short enough that the window answers between slices.
constexpr qint64 kSliceMilliseconds = 40;
constexpr int kRowsPerStep = 256;
// How often the views hear of the rows read meanwhile.
constexpr qint64 kAnnounceMilliseconds = 250;

int shownRows(const Recordset* recordset) {
    return recordset && recordset->isOpen() ? std::max(0, recordset->fetchedCount()) : 0;
}

} // namespace

RecordsetModel::RecordsetModel(Recordset* recordset, QObject* parent) : QAbstractTableModel(parent) {
    m_pump.setSingleShot(true);
    m_pump.setInterval(0);
    connect(&m_pump, &QTimer::timeout, this, &RecordsetModel::fetchSlice);
    setRecordset(recordset);
}

RecordsetModel::~RecordsetModel() {
    if (m_recordset)
        m_recordset->removeListener(m_listener);
}

void RecordsetModel::setRecordset(Recordset* recordset) {
    beginResetModel();
    if (m_recordset)
        m_recordset->removeListener(m_listener);
    m_recordset = recordset;
    if (m_recordset)
        m_listener = m_recordset->addListener([this](const RecordsetEvent& e) { onEvent(e); });
    m_rows = shownRows(m_recordset);
    endResetModel();
    scheduleFetch();
}

void RecordsetModel::setFetchInBackground(bool background) {
    m_background = background;
    scheduleFetch();
}

void RecordsetModel::scheduleFetch() {
    if (m_background && m_recordset && m_recordset->isFetching() && !m_pump.isActive())
        m_pump.start();
}

void RecordsetModel::fetchSlice() {
    if (!m_recordset || !m_recordset->isFetching())
        return;
    QElapsedTimer clock;
    clock.start();
    m_inSlice = true;
    while (m_recordset && m_recordset->isFetching() && clock.elapsed() < kSliceMilliseconds)
        if (m_recordset->fetchMore(kRowsPerStep) < 0) {
            m_inSlice = false;
            return;
        }
    m_inSlice = false;
    scheduleFetch();
}

void RecordsetModel::announceRows() {
    m_announced.start();
    const int rows = shownRows(m_recordset);
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    if (m_recordset->isFetching())
        emit fetchProgress(m_rows);
    else
        emit fetchFinished(m_rows);
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_recordset && m_recordset->isFetching();
}

void RecordsetModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid())
        return;
    fetchSlice();
    // Whoever asked for more sees it now.
    if (m_recordset && m_recordset->isOpen() && shownRows(m_recordset) > m_rows)
        announceRows();
}

bool RecordsetModel::fetchAll() {
    return !m_recordset || m_recordset->fetchAll();
}

void RecordsetModel::onEvent(const RecordsetEvent& event) {
    switch (event.kind) {
    case RecordsetEvent::Kind::Reset:
        beginResetModel();
        m_rows = shownRows(m_recordset);
        endResetModel();
        break;
    case RecordsetEvent::Kind::RowsFetched:
        // While the background reading goes on, the views hear of new rows a few times a
        // second: each notice costs them a layout and a repaint. The last rows, and rows read
        // for a caller that needs them all, are announced at once.
        if (m_inSlice && m_recordset->isFetching() && m_announced.isValid() &&
            m_announced.elapsed() < kAnnounceMilliseconds)
            break;
        announceRows();
        break;
    case RecordsetEvent::Kind::FetchFailed:
        m_pump.stop();
        emit fetchFailed(m_recordset->lastErrorText());
        break;
    case RecordsetEvent::Kind::CurrentChanged:
        emit currentRowChanged(event.row);
        break;
    case RecordsetEvent::Kind::RowChanged:
        if (event.row >= 0 && event.row < rowCount())
            emit dataChanged(index(event.row, 0), index(event.row, columnCount() - 1));
        break;
    case RecordsetEvent::Kind::Destroyed:
        beginResetModel();
        m_recordset = nullptr;
        m_rows = 0;
        endResetModel();
        m_pump.stop();
        break;
    case RecordsetEvent::Kind::RowAppended:
        // The cursor already holds the row, too late for beginInsertRows(): start afresh.
        beginResetModel();
        m_rows = shownRows(m_recordset);
        endResetModel();
        break;
    }
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_recordset || !m_recordset->isOpen())
        return 0;
    return m_rows;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_recordset || !m_recordset->isOpen())
        return 0;
    return m_recordset->fieldCount();
}

QVariant RecordsetModel::toVariant(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
    case Value::Kind::Array:
        return {};
    case Value::Kind::Bool:
        return value.asBool();
    case Value::Kind::Int:
        return static_cast<qlonglong>(value.asInt());
    case Value::Kind::Decimal:
        return value.asDecimal().toDouble();
    case Value::Kind::Double:
        return value.asDouble();
    case Value::Kind::Text:
        return value.asText();
    case Value::Kind::DateTime:
        return value.asDateTime();
    }
    return {};
}

Value RecordsetModel::fromVariant(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return Value::null();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return Value(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
        return Value(static_cast<std::int64_t>(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float: {
        // Keep what a user typed exact: a double from an editor becomes a decimal.
        if (auto d = Decimal::fromDouble(value.toDouble(), 10))
            return Value(*d);
        return Value(value.toDouble());
    }
    case QMetaType::QDateTime:
        return Value(value.toDateTime());
    case QMetaType::QDate:
        return Value(value.toDate());
    default:
        return Value(value.toString());
    }
}

QString RecordsetModel::displayText(const Value& value) {
    if (value.kind() == Value::Kind::DateTime) {
        const QDateTime& t = value.asDateTime();
        return t.time() == QTime(0, 0) ? t.toString(QStringLiteral("dd/MM/yyyy"))
                                       : t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    }
    return value.toText();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_recordset || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const Value v = m_recordset->valueAt(index.row(), index.column());
    return role == Qt::EditRole ? toVariant(v) : QVariant(displayText(v));
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !m_recordset)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QVariant(m_recordset->fieldInfo(section).name)
                                                       : QVariant();
    return section + 1;
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && m_editable && m_recordset && m_recordset->lockType() != LockType::ReadOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_recordset || !m_editable)
        return false;
    const int row = index.row(), column = index.column();
    if (!m_recordset->moveTo(row)) {
        emit editFailed(row, column, m_recordset->lastErrorText());
        return false;
    }
    const Value before = m_recordset->value(column);
    const Value after = fromVariant(value);
    if (!m_recordset->setValue(column, after) || !m_recordset->update()) {
        const QString why = m_recordset->lastErrorText();
        m_recordset->cancelUpdate();
        emit editFailed(row, column, why);
        return false;
    }
    // The row store told every model over it (dataChanged) during update().
    emit edited(row, column, before, m_recordset->value(column));
    return true;
}

int RecordsetModel::currentRow() const {
    return m_recordset ? m_recordset->currentIndex() : -1;
}

bool RecordsetModel::setCurrentRow(int row) {
    return m_recordset && m_recordset->moveTo(row);
}

} // namespace scadlav::db
