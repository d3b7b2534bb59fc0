#include "module/db/Recordset.h"

#include "module/db/FilterPredicate.h"
#include "module/db/RowOrder.h"
#include "module/db/RowStore.h"
#include "module/db/Session.h"
#include "module/db/StoreLoader.h"
#include "module/db/WriteBack.h"

#include <QStringList>
#include <algorithm>
#include <numeric>

namespace scadlav::db {
namespace {

// Reads the single number a COUNT(*) returns.
class CountSink : public IRowSink {
public:
    void beginResultSet(const std::vector<ColumnInfo>&) override {}
    void row(const Cell* cells, std::size_t count) override {
        if (count > 0 && !m_seen) {
            m_seen = true;
            if (cells[0].kind == Cell::Kind::Int)
                m_count = cells[0].i;
            else if (cells[0].kind == Cell::Kind::Double)
                m_count = static_cast<std::int64_t>(cells[0].d);
            else if (cells[0].kind == Cell::Kind::Text)
                m_count =
                    QString::fromUtf8(cells[0].text.data(), static_cast<qsizetype>(cells[0].text.size()))
                        .toLongLong();
        }
    }
    void endResultSet() override {}
    std::int64_t count() const { return m_count; }

private:
    bool m_seen = false;
    std::int64_t m_count = -1;
};

const FieldInfo& noField() {
    static const FieldInfo none;
    return none;
}

} // namespace

// A statement being read a slice at a time, and the loader its rows go through.
struct Recordset::PendingFetch {
    std::unique_ptr<IRowCursor> cursor;
    StoreLoader loader;
};

Recordset::Recordset() = default;

Recordset::~Recordset() {
    m_fetch.reset();
    notify(RecordsetEvent::Kind::Destroyed, -1);
    detach();
}

// ----- errors and notification -----

bool Recordset::fail(std::int64_t number, const QString& description) const {
    m_lastError = DbError{number, description, {}, 0, {}};
    return false;
}

bool Recordset::failFromSession() {
    if (m_store && m_store->session && !m_store->session->errors.isEmpty())
        m_lastError = m_store->session->errors.last();
    else
        m_lastError = DbError{kErrGeneric, QStringLiteral("The database operation failed."), {}, 0, {}};
    return false;
}

int Recordset::addListener(std::function<void(const RecordsetEvent&)> listener) {
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void Recordset::removeListener(int id) {
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void Recordset::notify(RecordsetEvent::Kind kind, int row) {
    const auto listeners = m_listeners;
    for (const auto& entry : listeners)
        entry.second(RecordsetEvent{kind, row});
}

// ----- building and opening -----

bool Recordset::appendField(const QString& name, DataType type, int definedSize, int attributes) {
    if (isOpen())
        return fail(kErrBadArgument,
                    QStringLiteral("Fields can be appended only before the record set is opened."));
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return fail(kErrBadArgument, QStringLiteral("A field needs a name."));
    for (const FieldInfo& f : m_building)
        if (f.name.compare(trimmed, Qt::CaseInsensitive) == 0)
            return fail(kErrBadArgument, QStringLiteral("There is already a field %1.").arg(trimmed));
    FieldInfo f;
    f.name = trimmed;
    f.type = type;
    f.definedSize = definedSize;
    f.attributes = attributes;
    if (type == DataType::Currency)
        f.numericScale = 4;
    m_building.push_back(f);
    return true;
}

bool Recordset::setPrecision(const QString& name, int precision) {
    for (FieldInfo& f : m_building)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) {
            f.precision = precision;
            return true;
        }
    return fail(kErrNotFound, QStringLiteral("There is no field %1 to set the precision of.").arg(name));
}

bool Recordset::setNumericScale(const QString& name, int scale) {
    if (scale < 0 || scale > 18)
        return fail(kErrBadArgument, QStringLiteral("A numeric scale goes from 0 to 18, not %1.").arg(scale));
    for (FieldInfo& f : m_building)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) {
            f.numericScale = scale;
            return true;
        }
    return fail(kErrNotFound, QStringLiteral("There is no field %1 to set the scale of.").arg(name));
}

bool Recordset::open() {
    if (isOpen())
        return fail(kErrBadArgument, QStringLiteral("The record set is already open."));
    if (m_building.empty())
        return fail(kErrBadArgument, QStringLiteral("A record set without a source needs its fields first."));
    auto store = std::make_shared<RowStore>(m_building);
    store->updatable = true;
    openOnStore(std::move(store), LockType::Optimistic);
    return true;
}

bool Recordset::open(const QString& source, Connection& connection, CursorType, LockType lockType, int) {
    if (isOpen())
        return fail(kErrBadArgument, QStringLiteral("The record set is already open."));
    std::shared_ptr<Session> session = connection.session();
    StoreLoader loader;
    const QByteArray text = source.toUtf8();
    if (!session->execute(std::string_view(text.constData(), text.size()), false, &loader))
        return failStatement(*session);
    return openLoaded(loader.take(), source, std::move(session), lockType);
}

bool Recordset::failStatement(const Session& session) {
    m_lastError = session.errors.isEmpty()
                      ? DbError{kErrGeneric, QStringLiteral("The statement failed."), {}, 0, {}}
                      : session.errors.last();
    return false;
}

bool Recordset::openLoaded(std::shared_ptr<RowStore> store, const QString& source,
                           std::shared_ptr<Session> session, LockType lockType) {
    if (!store)
        return fail(kErrObjectClosed,
                    QStringLiteral("The statement returned no rows to open: %1").arg(source.left(200)));
    store->source = source;
    store->session = std::move(session);
    store->updatable = lockType != LockType::ReadOnly;
    openOnStore(std::move(store), lockType == LockType::Unspecified ? LockType::ReadOnly : lockType);
    return true;
}

bool Recordset::openInSlices(const QString& source, Connection& connection, LockType lockType,
                             int firstRows) {
    if (isOpen())
        return fail(kErrBadArgument, QStringLiteral("The record set is already open."));
    std::shared_ptr<Session> session = connection.session();
    const QByteArray text = source.toUtf8();
    bool failed = false;
    auto fetch = std::make_unique<PendingFetch>();
    fetch->cursor = session->openCursor(std::string_view(text.constData(), text.size()), failed);
    if (!fetch->cursor) {
        if (!failed) // the database reads it only as a whole
            return open(source, connection, CursorType::Dynamic, lockType, kExecUnspecified);
        return failStatement(*session);
    }
    std::vector<ProviderError> errors;
    const bool read =
        fetch->cursor->fetch(fetch->loader, static_cast<std::size_t>(std::max(firstRows, 1)), errors);
    session->addErrors(errors);
    if (!read)
        return failStatement(*session);
    if (!openLoaded(fetch->loader.current(), source, session, lockType))
        return false;
    if (!fetch->cursor->done())
        m_fetch = std::move(fetch);
    return true;
}

int Recordset::fetchMore(int maxRows) {
    if (!m_fetch)
        return 0;
    const int before = shownCount();
    std::vector<ProviderError> errors;
    const bool read =
        m_fetch->cursor->fetch(m_fetch->loader, static_cast<std::size_t>(std::max(maxRows, 1)), errors);
    if (m_store && m_store->session)
        m_store->session->addErrors(errors);
    if (!read) {
        // Part of a result is not the result: nothing of it stays visible.
        if (!errors.empty())
            m_lastError = DbError{errors.back().number, QString::fromStdString(errors.back().description),
                                  QString::fromStdString(errors.back().sqlState), errors.back().nativeError,
                                  QString::fromStdString(errors.back().statement)};
        else
            m_lastError = DbError{kErrGeneric, QStringLiteral("Reading the rows failed."), {}, 0, {}};
        const DbError reason = m_lastError;
        m_fetch.reset();
        close();
        m_lastError = reason;
        notify(RecordsetEvent::Kind::FetchFailed, -1);
        return -1;
    }
    if (m_fetch->cursor->done())
        m_fetch.reset(); // the loader finished the store at the end of the result
    const int after = shownCount();
    if (after > before)
        notify(RecordsetEvent::Kind::RowsFetched, before);
    else if (!m_fetch)
        notify(RecordsetEvent::Kind::RowsFetched, after);
    return after - before;
}

bool Recordset::fetchAll() {
    while (m_fetch)
        if (fetchMore(4096) < 0)
            return false;
    return isOpen();
}

void Recordset::completeFetch() const {
    if (m_fetch)
        const_cast<Recordset*>(this)->fetchAll();
}

int Recordset::shownCount() const {
    if (!m_store)
        return -1;
    return m_identityView ? static_cast<int>(m_store->rowCount()) : static_cast<int>(m_view.size());
}

int Recordset::fetchedCount() const {
    return shownCount();
}

void Recordset::openOnStore(std::shared_ptr<RowStore> store, LockType lockType) {
    m_fetch.reset();
    detach();
    m_lockType = lockType;
    attach(std::move(store));
    m_identityView = true;
    m_view.clear();
    m_filter.reset();
    m_filterText.clear();
    m_sortFields.clear();
    m_sortDescending.clear();
    m_sortText.clear();
    m_current = 0;
    notify(RecordsetEvent::Kind::Reset, -1);
}

void Recordset::attach(std::shared_ptr<RowStore> store) {
    m_writePlan.reset();
    m_store = std::move(store);
    if (m_store)
        m_store->attach(this);
}

void Recordset::detach() {
    if (m_store)
        m_store->detach(this);
    m_store.reset();
    m_writePlan.reset();
}

void Recordset::close() {
    m_fetch.reset();
    if (!isOpen())
        return;
    m_editMode = EditMode::None;
    m_pending.clear();
    detach();
    m_view.clear();
    m_identityView = true;
    m_filter.reset();
    m_filterText.clear();
    m_sortFields.clear();
    m_sortDescending.clear();
    m_sortText.clear();
    m_current = 0;
    notify(RecordsetEvent::Kind::Reset, -1);
}

ObjectState Recordset::state() const {
    return m_store ? ObjectState::Open : ObjectState::Closed;
}

QString Recordset::source() const {
    return m_store ? m_store->source : QString();
}

LockType Recordset::lockType() const {
    return m_lockType;
}

std::size_t Recordset::storeMemoryBytes() const {
    return m_store ? m_store->memoryBytes() : 0;
}

std::size_t Recordset::storeRawBytes() const {
    return m_store ? m_store->rawBytes() : 0;
}

bool Recordset::requery() {
    if (!ensureOpen())
        return false;
    if (!m_store->session || m_store->source.isEmpty())
        return fail(kErrBadArgument, QStringLiteral("This record set has no statement to run again."));
    m_fetch.reset(); // the statement runs again from the start
    StoreLoader loader;
    const QByteArray text = m_store->source.toUtf8();
    if (!m_store->session->execute(std::string_view(text.constData(), text.size()), false, &loader))
        return failFromSession();
    std::shared_ptr<RowStore> fresh = loader.take();
    if (!fresh)
        return fail(kErrObjectClosed, QStringLiteral("The statement returned no rows when run again."));
    if (fresh->columnCount() != m_store->columnCount())
        return fail(kErrBadArgument, QStringLiteral("The statement returned other columns when run again."));
    m_store->replaceRows(*fresh);
    m_store->notifyRowsReplaced();
    return true;
}

// ----- position -----

bool Recordset::ensureOpen() {
    if (isOpen())
        return true;
    return fail(kErrObjectClosed, QStringLiteral("The record set is closed."));
}

int Recordset::recordCount() const {
    completeFetch();
    return shownCount();
}

bool Recordset::eof() const {
    if (m_fetch && m_current >= shownCount())
        completeFetch();
    const int count = shownCount();
    return count <= 0 || m_current >= count;
}

bool Recordset::bof() const {
    if (m_fetch && shownCount() <= 0)
        completeFetch();
    const int count = shownCount();
    return count <= 0 || m_current < 0;
}

int Recordset::currentIndex() const {
    if (m_editMode == EditMode::Add || bof() || eof())
        return -1;
    return m_current;
}

void Recordset::setCurrent(int index) {
    const int before = currentIndex();
    m_current = index;
    const int after = currentIndex();
    if (before != after)
        notify(RecordsetEvent::Kind::CurrentChanged, after);
}

bool Recordset::commitPendingBeforeMove() {
    if (m_editMode == EditMode::None)
        return true;
    return update();
}

bool Recordset::moveFirst() {
    if (!ensureOpen() || !commitPendingBeforeMove())
        return false;
    setCurrent(0);
    return true;
}

bool Recordset::moveLast() {
    completeFetch();
    if (!ensureOpen() || !commitPendingBeforeMove())
        return false;
    const int count = recordCount();
    setCurrent(count > 0 ? count - 1 : 0);
    return true;
}

bool Recordset::moveNext() {
    if (!ensureOpen())
        return false;
    if (eof())
        return fail(kErrNoCurrentRow, QStringLiteral("Cannot move past the end of the record set."));
    if (!commitPendingBeforeMove())
        return false;
    setCurrent(m_current + 1);
    return true;
}

bool Recordset::movePrevious() {
    if (!ensureOpen())
        return false;
    if (bof())
        return fail(kErrNoCurrentRow, QStringLiteral("Cannot move before the start of the record set."));
    if (!commitPendingBeforeMove())
        return false;
    setCurrent(m_current - 1);
    return true;
}

bool Recordset::moveTo(int index) {
    if (m_fetch && index >= shownCount())
        completeFetch();
    if (!ensureOpen())
        return false;
    if (index < 0 || index >= shownCount())
        return fail(
            kErrNoCurrentRow,
            QStringLiteral("There is no row %1 (the record set shows %2).").arg(index).arg(shownCount()));
    if (!commitPendingBeforeMove())
        return false;
    setCurrent(index);
    return true;
}

std::uint32_t Recordset::storeRowAt(int index) const {
    return m_identityView ? static_cast<std::uint32_t>(index) : m_view[static_cast<std::size_t>(index)];
}

int Recordset::indexOfStoreRow(std::uint32_t storeRow) const {
    if (m_identityView)
        return storeRow < m_store->rowCount() ? static_cast<int>(storeRow) : -1;
    if (m_sortFields.empty()) { // filtered only: the view is in store order
        auto it = std::lower_bound(m_view.begin(), m_view.end(), storeRow);
        return it != m_view.end() && *it == storeRow ? static_cast<int>(it - m_view.begin()) : -1;
    }
    auto it = std::find(m_view.begin(), m_view.end(), storeRow);
    return it != m_view.end() ? static_cast<int>(it - m_view.begin()) : -1;
}

bool Recordset::ensureCurrentRow() {
    if (!ensureOpen())
        return false;
    if (m_editMode == EditMode::Add)
        return true;
    if (bof() || eof())
        return fail(kErrNoCurrentRow,
                    QStringLiteral("There is no current row (start or end of the record set)."));
    return true;
}

// ----- fields -----

int Recordset::fieldCount() const {
    if (m_store)
        return m_store->columnCount();
    return static_cast<int>(m_building.size());
}

const FieldInfo& Recordset::fieldInfo(int index) const {
    if (index < 0 || index >= fieldCount())
        return noField();
    if (m_store)
        return m_store->field(index);
    return m_building[static_cast<std::size_t>(index)];
}

int Recordset::fieldIndex(const QString& name) const {
    if (m_store)
        return m_store->fieldIndex(name);
    for (std::size_t k = 0; k < m_building.size(); ++k)
        if (m_building[k].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return static_cast<int>(k);
    return -1;
}

Value Recordset::value(const QString& name) const {
    const int index = fieldIndex(name);
    if (index < 0) {
        fail(kErrNotFound, QStringLiteral("There is no field %1 in the record set.").arg(name));
        return Value();
    }
    return value(index);
}

Value Recordset::value(int index) const {
    if (!m_store) {
        fail(kErrObjectClosed, QStringLiteral("The record set is closed."));
        return Value();
    }
    if (index < 0 || index >= fieldCount()) {
        fail(kErrNotFound, QStringLiteral("There is no field number %1 in the record set.").arg(index));
        return Value();
    }
    for (const auto& [field, pending] : m_pending)
        if (field == index)
            return pending;
    if (m_editMode == EditMode::Add)
        return Value::null();
    if (bof() || eof()) {
        fail(kErrNoCurrentRow, QStringLiteral("There is no current row (start or end of the record set)."));
        return Value();
    }
    return m_store->value(storeRowAt(m_current), index);
}

Value Recordset::valueAt(int row, int index) const {
    if (m_fetch && row >= shownCount())
        completeFetch();
    if (!m_store || row < 0 || row >= shownCount() || index < 0 || index >= fieldCount())
        return Value();
    if (row == m_current && m_editMode == EditMode::InProgress)
        for (const auto& [field, pending] : m_pending)
            if (field == index)
                return pending;
    return m_store->value(storeRowAt(row), index);
}

CellRef Recordset::cellAt(int row, int index) const {
    if (m_fetch && row >= shownCount())
        completeFetch();
    if (!m_store || row < 0 || row >= shownCount() || index < 0 || index >= fieldCount())
        return CellRef{};
    return m_store->cell(storeRowAt(row), index);
}

bool Recordset::setValue(const QString& name, const Value& value) {
    const int index = fieldIndex(name);
    if (index < 0)
        return fail(kErrNotFound, QStringLiteral("There is no field %1 in the record set.").arg(name));
    return setValue(index, value);
}

bool Recordset::setValue(int index, const Value& value) {
    if (!ensureCurrentRow())
        return false;
    if (m_lockType == LockType::ReadOnly || !m_store->updatable)
        return fail(kErrReadOnly, QStringLiteral("This record set is read-only."));
    if (index < 0 || index >= fieldCount())
        return fail(kErrNotFound,
                    QStringLiteral("There is no field number %1 in the record set.").arg(index));
    QString why;
    std::optional<Value> normalized = m_store->normalize(index, value, &why);
    if (!normalized)
        return fail(kErrTypeMismatch, why);
    for (auto& entry : m_pending)
        if (entry.first == index) {
            entry.second = *normalized;
            return true;
        }
    m_pending.emplace_back(index, *normalized);
    if (m_editMode == EditMode::None)
        m_editMode = EditMode::InProgress;
    return true;
}

// ----- editing -----

bool Recordset::addNew() {
    completeFetch(); // the new row goes after every row of the result
    if (!ensureOpen())
        return false;
    if (m_lockType == LockType::ReadOnly || !m_store->updatable)
        return fail(kErrReadOnly, QStringLiteral("This record set is read-only."));
    if (!commitPendingBeforeMove())
        return false;
    m_editMode = EditMode::Add;
    m_pending.clear();
    return true;
}

EditMode Recordset::editMode() const {
    return m_editMode;
}

void Recordset::cancelUpdate() {
    if (m_editMode == EditMode::None)
        return;
    const bool wasEdit = m_editMode == EditMode::InProgress;
    m_editMode = EditMode::None;
    m_pending.clear();
    if (wasEdit)
        notify(RecordsetEvent::Kind::RowChanged, currentIndex());
}

bool Recordset::update() {
    if (!ensureOpen())
        return false;
    if (m_editMode == EditMode::None)
        return true;
    Session* session = m_store->session.get();
    const bool writesBack = session != nullptr && !m_store->source.isEmpty();
    // A result still being read holds its connection on the database as it was when reading
    // began; once another session has committed, that connection cannot write until it ends.
    if (writesBack && m_fetch && !fetchAll())
        return false;
    if (m_editMode == EditMode::Add) {
        if (writesBack) {
            QString why;
            std::optional<WriteStatement> insert = buildInsert(*m_store, m_pending, session->dialect(), &why);
            if (!insert && !why.isEmpty())
                return fail(kErrBadArgument, why);
            if (insert) {
                const QByteArray text = insert->sql.toUtf8();
                if (!session->execute(std::string_view(text.constData(), text.size()), true, nullptr))
                    return failFromSession();
            }
        }
        m_appendingHere = true;
        const std::uint32_t row = m_store->appendRow(m_pending);
        m_editMode = EditMode::None;
        m_pending.clear();
        m_store->notifyRowAppended(row);
        m_appendingHere = false;
        setCurrent(indexOfStoreRow(row));
        return true;
    }

    const std::uint32_t row = storeRowAt(m_current);
    if (writesBack) {
        if (!m_writePlan)
            m_writePlan = std::make_unique<WritePlan>(*m_store);
        for (const WriteStatement& s : buildUpdates(*m_writePlan, row, m_pending, session->dialect())) {
            if (!s.countSql.isEmpty()) {
                CountSink counter;
                const QByteArray count = s.countSql.toUtf8();
                if (!session->executeWithLiterals(std::string_view(count.constData(), count.size()),
                                                  s.countLiterals, false, &counter))
                    return failFromSession();
                if (counter.count() != 1) {
                    const QString why =
                        counter.count() == 0
                            ? QStringLiteral(
                                  "The row to update in %1 cannot be found: it was changed or deleted "
                                  "since it was read.")
                                  .arg(s.table)
                            : QStringLiteral(
                                  "The row to update in %1 cannot be told apart: %2 rows hold the same "
                                  "values and the table has no key.")
                                  .arg(s.table)
                                  .arg(counter.count());
                    session->addError(kErrRowNotLocated, why);
                    return fail(kErrRowNotLocated, why);
                }
            }
            std::int64_t affected = -1;
            const QByteArray text = s.sql.toUtf8();
            if (!session->executeWithLiterals(std::string_view(text.constData(), text.size()), s.literals,
                                              true, nullptr, &affected))
                return failFromSession();
            if (affected == 0) {
                const QString why =
                    QStringLiteral("The row to update in %1 cannot be found: it was changed or "
                                   "deleted since it was read.")
                        .arg(s.table);
                session->addError(kErrRowNotLocated, why);
                return fail(kErrRowNotLocated, why);
            }
        }
    }
    for (const auto& [field, value] : m_pending)
        m_store->setValue(row, field, value);
    m_editMode = EditMode::None;
    m_pending.clear();
    m_store->notifyRowChanged(row);
    return true;
}

// ----- filter, sort, clone -----

void Recordset::rebuildView() {
    const std::uint32_t rows = m_store->rowCount();
    if (!m_filter && m_sortFields.empty()) {
        m_identityView = true;
        m_view.clear();
        m_view.shrink_to_fit();
        return;
    }
    m_identityView = false;
    m_view.clear();
    if (m_filter) {
        for (std::uint32_t r = 0; r < rows; ++r)
            if (m_filter->matches(*m_store, r))
                m_view.push_back(r);
    } else {
        m_view.resize(rows);
        std::iota(m_view.begin(), m_view.end(), 0u);
    }
    sortRows(*m_store, m_view, m_sortFields, m_sortDescending);
}

bool Recordset::setFilter(const QString& expression) {
    completeFetch();
    if (!ensureOpen())
        return false;
    std::shared_ptr<FilterPredicate> predicate;
    if (!expression.trimmed().isEmpty()) {
        QString why;
        predicate = FilterPredicate::parse(expression, *m_store, &why);
        if (!predicate)
            return fail(kErrBadArgument, why);
    }
    if (!commitPendingBeforeMove())
        return false;
    m_filter = std::move(predicate);
    m_filterText = m_filter ? expression : QString();
    rebuildView();
    m_current = 0;
    notify(RecordsetEvent::Kind::Reset, -1);
    notify(RecordsetEvent::Kind::CurrentChanged, currentIndex());
    return true;
}

QString Recordset::filter() const {
    return m_filterText;
}

bool Recordset::setSort(const QString& fieldList) {
    completeFetch();
    if (!ensureOpen())
        return false;
    std::vector<int> fields;
    std::vector<bool> descending;
    for (const QString& item : fieldList.split(u',', Qt::SkipEmptyParts)) {
        QStringList words = item.simplified().split(u' ');
        if (words.isEmpty() || words.first().isEmpty())
            continue;
        bool desc = false;
        if (words.size() == 2 && words[1].compare(QStringLiteral("DESC"), Qt::CaseInsensitive) == 0)
            desc = true;
        else if (words.size() == 2 && words[1].compare(QStringLiteral("ASC"), Qt::CaseInsensitive) == 0)
            desc = false;
        else if (words.size() != 1)
            return fail(kErrBadArgument,
                        QStringLiteral("Sort \"%1\" is not valid: \"%2\" is not a field name "
                                       "optionally followed by ASC or DESC.")
                            .arg(fieldList, item.trimmed()));
        const int index = m_store->fieldIndex(words.first());
        if (index < 0)
            return fail(kErrNotFound, QStringLiteral("Sort \"%1\" is not valid: there is no field %2.")
                                          .arg(fieldList, words.first()));
        fields.push_back(index);
        descending.push_back(desc);
    }
    if (!commitPendingBeforeMove())
        return false;
    const bool onRow = !bof() && !eof();
    const std::uint32_t currentRow = onRow ? storeRowAt(m_current) : 0;
    m_sortFields = std::move(fields);
    m_sortDescending = std::move(descending);
    m_sortText = m_sortFields.empty() ? QString() : fieldList;
    rebuildView();
    m_current = onRow ? std::max(0, indexOfStoreRow(currentRow)) : 0;
    notify(RecordsetEvent::Kind::Reset, -1);
    notify(RecordsetEvent::Kind::CurrentChanged, currentIndex());
    return true;
}

QString Recordset::sort() const {
    return m_sortText;
}

std::unique_ptr<Recordset> Recordset::clone() const {
    completeFetch(); // a clone works on every row
    if (!m_store) {
        fail(kErrObjectClosed, QStringLiteral("A closed record set cannot be cloned."));
        return nullptr;
    }
    auto copy = std::make_unique<Recordset>();
    copy->m_lockType = m_lockType;
    copy->attach(m_store);
    return copy;
}

// ----- changes made through other cursors -----

void Recordset::storeRowsReplaced() {
    m_editMode = EditMode::None;
    m_pending.clear();
    rebuildView();
    m_current = 0;
    notify(RecordsetEvent::Kind::Reset, -1);
    notify(RecordsetEvent::Kind::CurrentChanged, currentIndex());
}

void Recordset::storeRowChanged(std::uint32_t storeRow) {
    const int index = indexOfStoreRow(storeRow);
    if (index >= 0)
        notify(RecordsetEvent::Kind::RowChanged, index);
}

void Recordset::storeRowAppended(std::uint32_t storeRow) {
    int index = -1;
    if (m_identityView) {
        // The view grows by itself; a cursor that stood at the end stays at the end.
        if (!m_appendingHere && m_current == static_cast<int>(storeRow))
            ++m_current;
        index = static_cast<int>(storeRow);
    } else if (m_appendingHere || !m_filter || m_filter->matches(*m_store, storeRow)) {
        const bool atEnd = m_current >= static_cast<int>(m_view.size());
        m_view.push_back(storeRow);
        if (atEnd && !m_appendingHere)
            ++m_current;
        index = static_cast<int>(m_view.size()) - 1;
    }
    if (index >= 0)
        notify(RecordsetEvent::Kind::RowAppended, index);
}

} // namespace scadlav::db
