#include "platform/controls/EnhancedQuery.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateText.h"
#include "platform/controls/DefaultLookupPresenter.h"
#include "platform/controls/FilterTable.h"
#include "platform/controls/ILookupPresenter.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace erpctl {

namespace {

const QColor kProblemColor(253, 226, 226);

} // namespace

EnhancedQuery::EnhancedQuery(QWidget* parent)
    : QWidget(parent), m_table(new FilterTable(this)),
      m_allRows(new QCheckBox(controlText(91413, QStringLiteral("Mostra tutti i filtri")), this)),
      m_message(new QLabel(this)), m_calendarPopup(new QWidget(this, Qt::Popup)),
      m_calendar(new QCalendarWidget(m_calendarPopup)), m_dateLiteral(unseparatedDateLiteral) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* top = new QHBoxLayout;
    auto* hint = new QLabel(
        controlText(91414, QStringLiteral("F4: elenco valori o calendario  ·  Canc: svuota il valore")),
        this);
    hint->setEnabled(false);
    top->addWidget(hint);
    top->addStretch(1);
    top->addWidget(m_allRows);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_message);
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("QLabel { color: #b00020; }"));
    m_message->hide();
    setFocusProxy(m_table);

    auto* popupLayout = new QVBoxLayout(m_calendarPopup);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    popupLayout->addWidget(m_calendar);
    m_calendar->setGridVisible(true);
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    const auto pick = [this](QDate date) {
        m_calendarPopup->hide();
        if (m_calendarRow >= 0 && m_calendarRow < rowCount())
            setSideValue(m_calendarRow, m_calendarSide, formatDateText(date), true);
        m_table->setFocus();
    };
    connect(m_calendar, &QCalendarWidget::clicked, this, pick);
    connect(m_calendar, &QCalendarWidget::activated, this, pick);

    connect(m_allRows, &QCheckBox::toggled, this, &EnhancedQuery::setShowAllRows);
    connect(m_table, &QTableWidget::itemChanged, this, &EnhancedQuery::onItemChanged);
    connect(m_table, &FilterTable::lookupRequested, this, [this](int row, int side) {
        if (row >= 0 && row < rowCount())
            requestLookup(m_rows[row].definition.field, side);
    });
    connect(m_table, &FilterTable::clearRequested, this, [this](int row, int side) {
        if (row >= 0 && row < rowCount())
            setSideValue(row, side, QString(), true);
    });
}

EnhancedQuery::~EnhancedQuery() = default;

// ---------------------------------------------------------------- initialisation

void EnhancedQuery::initialize(const QVariant& company, const QVariant& userValue, const QVariant& identity,
                               void* moduleReference, const QString& libraryName, void* connection,
                               bool flag) {
    m_company = company;
    m_userValue = userValue;
    m_identity = identity;
    m_moduleReference = moduleReference;
    m_libraryName = libraryName;
    m_connection = connection;
    m_flag = flag;
}

void EnhancedQuery::completeInitialization() {
    m_initialized = true;
    updateRowVisibility();
    updateValidation();
    if (rowCount() > 0)
        m_table->setCurrentCell(0, FilterTable::FromColumn);
}

void EnhancedQuery::detach() {
    m_moduleReference = nullptr;
    m_connection = nullptr;
}

// ---------------------------------------------------------------- rows

int EnhancedQuery::addRow(const FilterRowDefinition& definition) {
    if (definition.field.trimmed().isEmpty() || rowOf(definition.field) >= 0)
        return -1;
    RowState state;
    state.definition = definition;
    state.definition.field = definition.field.trimmed();
    m_rows.append(state);
    const int row = rowCount() - 1;

    m_updating = true;
    m_table->insertRow(row);
    auto* caption = new QTableWidgetItem(definition.caption);
    caption->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    caption->setData(FilterTable::MaxLengthRole, definition.maxLength);
    caption->setData(FilterTable::DateRowRole, definition.kind == FilterKind::Date);
    if (definition.kind == FilterKind::Date)
        caption->setToolTip(
            controlText(91415, QStringLiteral("Date come gg/mm/aaaa; F4 apre il calendario")));
    else if (definition.lookup)
        caption->setToolTip(
            controlText(91416, QStringLiteral("F4 o doppio clic sulla descrizione: elenco valori")));
    m_table->setItem(row, FilterTable::CaptionColumn, caption);
    for (const int column : {int(FilterTable::FromColumn), int(FilterTable::ToColumn)}) {
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        if (definition.kind == FilterKind::Number)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, column, item);
    }
    for (const int column :
         {int(FilterTable::FromDescriptionColumn), int(FilterTable::ToDescriptionColumn)}) {
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        // Descriptions are read, not typed: the normal text colour, in italics to tell them apart.
        QFont font = item->font();
        font.setItalic(true);
        item->setFont(font);
        m_table->setItem(row, column, item);
    }
    m_updating = false;
    updateRowVisibility();
    return row;
}

int EnhancedQuery::addRow(const QString& group, const QString& caption, const QString& field, bool panelFlag,
                          int rowNumber, bool lookup, FilterKind kind, int maxLength) {
    FilterRowDefinition definition;
    definition.group = group;
    definition.caption = caption;
    definition.field = field;
    definition.panelFlag = panelFlag;
    definition.rowNumber = rowNumber;
    definition.lookup = lookup;
    definition.kind = kind;
    definition.maxLength = maxLength;
    return addRow(definition);
}

bool EnhancedQuery::setParentFields(const QString& field, const QStringList& parentFields) {
    const int row = rowOf(field);
    if (row < 0)
        return false;
    m_rows[row].definition.parentFields = parentFields;
    return true;
}

void EnhancedQuery::removeAllRows() {
    m_updating = true;
    m_rows.clear();
    m_table->setRowCount(0);
    m_updating = false;
    updateValidation();
}

const FilterRowDefinition* EnhancedQuery::rowDefinition(int row) const {
    return row >= 0 && row < rowCount() ? &m_rows[row].definition : nullptr;
}

int EnhancedQuery::rowOf(const QString& field) const {
    const QString wanted = field.trimmed();
    for (int i = 0; i < rowCount(); ++i) {
        if (m_rows[i].definition.field.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int EnhancedQuery::rowOfCaption(const QString& caption) const {
    for (int i = 0; i < rowCount(); ++i) {
        if (m_rows[i].definition.caption == caption)
            return i;
    }
    return -1;
}

// ---------------------------------------------------------------- values

QString EnhancedQuery::fromValue(const QString& field) const {
    const int row = rowOf(field);
    return row < 0 ? QString() : m_rows[row].from;
}

QString EnhancedQuery::toValue(const QString& field) const {
    const int row = rowOf(field);
    return row < 0 ? QString() : m_rows[row].to;
}

bool EnhancedQuery::setFromValue(const QString& field, const QString& value) {
    const int row = rowOf(field);
    if (row < 0)
        return false;
    setSideValue(row, 1, value, false);
    return true;
}

bool EnhancedQuery::setToValue(const QString& field, const QString& value) {
    const int row = rowOf(field);
    if (row < 0)
        return false;
    setSideValue(row, 2, value, false);
    return true;
}

QString EnhancedQuery::fromDescription(const QString& field) const {
    const int row = rowOf(field);
    return row < 0 ? QString() : m_rows[row].fromDescription;
}

QString EnhancedQuery::toDescription(const QString& field) const {
    const int row = rowOf(field);
    return row < 0 ? QString() : m_rows[row].toDescription;
}

bool EnhancedQuery::setFromDescription(const QString& field, const QString& text) {
    const int row = rowOf(field);
    if (row < 0)
        return false;
    m_rows[row].fromDescription = text;
    showRow(row);
    return true;
}

bool EnhancedQuery::setToDescription(const QString& field, const QString& text) {
    const int row = rowOf(field);
    if (row < 0)
        return false;
    m_rows[row].toDescription = text;
    showRow(row);
    return true;
}

void EnhancedQuery::clear() {
    for (int row = 0; row < rowCount(); ++row) {
        RowState& state = m_rows[row];
        state.from.clear();
        state.to.clear();
        state.fromDescription.clear();
        state.toDescription.clear();
        showRow(row);
    }
    updateRowVisibility();
    updateValidation();
    emit valuesChanged();
}

void EnhancedQuery::onItemChanged(QTableWidgetItem* item) {
    if (m_updating || !item)
        return;
    const int side = FilterTable::sideOf(item->column());
    if (!FilterTable::isValueColumn(item->column()) || item->row() >= rowCount())
        return;
    setSideValue(item->row(), side, item->text(), true);
}

void EnhancedQuery::setSideValue(int row, int side, const QString& value, bool byUser) {
    RowState& state = m_rows[row];
    QString clean = value.trimmed();
    // A date is shown the one way however it was typed; a text that is no date stays as typed
    // so the user can see and correct it.
    if (state.definition.kind == FilterKind::Date) {
        if (const auto date = parseDateText(clean))
            clean = formatDateText(*date);
    }
    QString& target = side == 1 ? state.from : state.to;
    const bool changed = target != clean;
    target = clean;
    if (clean.isEmpty())
        (side == 1 ? state.fromDescription : state.toDescription).clear();
    showRow(row);
    if (!changed)
        return;
    updateRowVisibility();
    updateValidation();
    if (byUser) {
        if (state.definition.lookup)
            decodeRow(row);
        emit valuesChanged();
    }
}

void EnhancedQuery::showRow(int row) {
    const RowState& state = m_rows[row];
    const bool wasUpdating = m_updating;
    m_updating = true;
    const auto set = [this, row](int column, const QString& text) {
        QTableWidgetItem* item = m_table->item(row, column);
        if (item && item->text() != text)
            item->setText(text);
    };
    set(FilterTable::FromColumn, state.from);
    set(FilterTable::ToColumn, state.to);
    set(FilterTable::FromDescriptionColumn, state.fromDescription);
    set(FilterTable::ToDescriptionColumn, state.toDescription);
    m_updating = wasUpdating;
}

void EnhancedQuery::decodeRow(int row) {
    RowState& state = m_rows[row];
    DecodeRequest request;
    request.row = row;
    request.caption = state.definition.caption;
    request.field = state.definition.field;
    request.fromValue = state.from;
    request.toValue = state.to;
    request.fromDescription = state.fromDescription;
    request.toDescription = state.toDescription;
    emit StartDecode(request);
    if (row >= rowCount())
        return; // the handler removed the rows
    m_rows[row].fromDescription = request.fromDescription;
    m_rows[row].toDescription = request.toDescription;
    showRow(row);
}

void EnhancedQuery::requestDecode(const QString& field) {
    const int row = rowOf(field);
    if (row >= 0)
        decodeRow(row);
}

// ---------------------------------------------------------------- lookups

bool EnhancedQuery::requestLookup(const QString& field, int side) {
    const int row = rowOf(field);
    if (row < 0 || (side != 1 && side != 2))
        return false;
    const RowState& state = m_rows[row];
    if (state.definition.kind == FilterKind::Date) {
        openCalendar(row, side);
        return true;
    }
    if (!state.definition.lookup)
        return false;

    LookupRequest request;
    request.row = row;
    request.caption = state.definition.caption;
    request.field = state.definition.field;
    request.side = side;
    request.currentValue = side == 1 ? state.from : state.to;
    request.lookupName = m_lookupName;
    for (const auto& parent : state.definition.parentFields)
        request.parentValues.insert(parent, side == 1 ? fromValue(parent) : toValue(parent));
    emit StartLookup(request);
    if (row >= rowCount())
        return false;
    if (!request.lookupName.isEmpty())
        m_lookupName = request.lookupName;

    QString picked = request.pickedCode;
    ILookupPresenter* presenter = m_presenter ? m_presenter : defaultLookupPresenter();
    if (picked.isEmpty() && presenter) {
        if (!presenter->present(request, this, picked))
            picked.clear();
    }
    if (!picked.trimmed().isEmpty())
        setSideValue(row, side, picked, true);
    return true;
}

void EnhancedQuery::openCalendar(int row, int side) {
    m_calendarRow = row;
    m_calendarSide = side;
    const auto date = parseDateText(side == 1 ? m_rows[row].from : m_rows[row].to);
    m_calendar->setSelectedDate(date ? *date : QDate::currentDate());
    const int column = side == 1 ? FilterTable::FromColumn : FilterTable::ToColumn;
    const QRect cell = m_table->visualRect(m_table->model()->index(row, column));
    m_calendarPopup->adjustSize();
    m_calendarPopup->move(m_table->viewport()->mapToGlobal(cell.bottomLeft()));
    m_calendarPopup->show();
    m_calendar->setFocus();
}

// ---------------------------------------------------------------- condition

QList<FilterEntry> EnhancedQuery::entries() const {
    QList<FilterEntry> list;
    list.reserve(m_rows.size());
    for (const auto& state : m_rows)
        list.append({state.definition, state.from, state.to});
    return list;
}

QString EnhancedQuery::conditionText() const {
    return buildFilterCondition(entries(), m_dateLiteral).text;
}

bool EnhancedQuery::isValid() const {
    return buildFilterCondition(entries(), m_dateLiteral).problems.isEmpty();
}

QStringList EnhancedQuery::validationErrors() const {
    QStringList errors;
    for (const auto& problem : buildFilterCondition(entries(), m_dateLiteral).problems)
        errors << problem.message;
    return errors;
}

void EnhancedQuery::setDateLiteralFormatter(DateLiteralFormatter formatter) {
    m_dateLiteral = formatter ? std::move(formatter) : DateLiteralFormatter(unseparatedDateLiteral);
}

void EnhancedQuery::updateValidation() {
    const FilterConditionResult result = buildFilterCondition(entries(), m_dateLiteral);
    const bool wasUpdating = m_updating;
    m_updating = true;
    for (int row = 0; row < rowCount(); ++row) {
        for (const int column : {int(FilterTable::FromColumn), int(FilterTable::ToColumn)}) {
            if (QTableWidgetItem* item = m_table->item(row, column)) {
                item->setData(Qt::BackgroundRole, QVariant());
                item->setToolTip(QString());
            }
        }
    }
    QStringList errors;
    for (const auto& problem : result.problems) {
        errors << problem.message;
        for (const int side : {1, 2}) {
            if (problem.side != 0 && problem.side != side)
                continue;
            const int column = side == 1 ? FilterTable::FromColumn : FilterTable::ToColumn;
            if (QTableWidgetItem* item = m_table->item(problem.row, column)) {
                item->setBackground(kProblemColor);
                item->setToolTip(problem.message);
            }
        }
    }
    m_updating = wasUpdating;
    const QString text = errors.join(QLatin1Char('\n'));
    if (text != m_message->text()) {
        m_message->setText(text);
        m_message->setVisible(!text.isEmpty());
        emit validationChanged(errors);
    }
}

// ---------------------------------------------------------------- visibility

void EnhancedQuery::setShowAllRows(bool all) {
    m_showAll = all;
    if (m_allRows->isChecked() != all)
        m_allRows->setChecked(all);
    updateRowVisibility();
}

void EnhancedQuery::updateRowVisibility() {
    bool anyHidden = false;
    for (int row = 0; row < rowCount(); ++row) {
        const RowState& state = m_rows[row];
        // A secondary row holding a value stays in sight, so no filter is ever invisible.
        const bool hide =
            !m_showAll && !state.definition.panelFlag && state.from.isEmpty() && state.to.isEmpty();
        m_table->setRowHidden(row, hide);
        anyHidden = anyHidden || !state.definition.panelFlag;
    }
    m_allRows->setVisible(anyHidden);
}

} // namespace erpctl
