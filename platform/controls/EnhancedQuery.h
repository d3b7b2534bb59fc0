#pragma once
// The filter panel: rows of from-to values on database fields, typed by the user, turned into
// an SQL condition for the owner's statement. The owner defines the rows, describes the codes
// typed (StartDecode) and the lists of values offered (StartLookup).

#include "platform/controls/FilterCondition.h"
#include "platform/controls/FilterRow.h"

#include <QVariant>
#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QTableWidgetItem;

namespace erpctl {

class FilterTable;
class ILookupPresenter;

class EnhancedQuery : public QWidget {
    Q_OBJECT
public:
    explicit EnhancedQuery(QWidget* parent = nullptr);
    ~EnhancedQuery() override;

    // --- Initialisation values, kept for the owner and its handlers ---
    void initialize(const QVariant& company, const QVariant& userValue, const QVariant& identity,
                    void* moduleReference, const QString& libraryName, void* connection, bool flag);
    // Ends the set-up once the rows are defined.
    void completeInitialization();
    bool isInitialized() const { return m_initialized; }
    // Forgets the module reference and the connection (the owner is closing).
    void detach();
    const QVariant& company() const { return m_company; }
    const QVariant& userValue() const { return m_userValue; }
    const QVariant& identity() const { return m_identity; }
    void* moduleReference() const { return m_moduleReference; }
    const QString& libraryName() const { return m_libraryName; }
    void* connection() const { return m_connection; }
    bool initFlag() const { return m_flag; }

    // --- Rows ---
    // Adds a row and returns its index; -1 (nothing added) when the field is empty or already
    // used by another row.
    int addRow(const FilterRowDefinition& definition);
    int addRow(const QString& group, const QString& caption, const QString& field, bool panelFlag,
               int rowNumber, bool lookup, FilterKind kind, int maxLength = 0);
    bool setParentFields(const QString& field, const QStringList& parentFields);
    void removeAllRows();
    int rowCount() const { return int(m_rows.size()); }
    const FilterRowDefinition* rowDefinition(int row) const;
    int rowOf(const QString& field) const;
    int rowOfCaption(const QString& caption) const;

    // --- Values, by field ---
    QString fromValue(const QString& field) const;
    QString toValue(const QString& field) const;
    bool setFromValue(const QString& field, const QString& value);
    bool setToValue(const QString& field, const QString& value);
    QString fromDescription(const QString& field) const;
    QString toDescription(const QString& field) const;
    bool setFromDescription(const QString& field, const QString& text);
    bool setToDescription(const QString& field, const QString& text);
    // Empties every value and description.
    void clear();

    // --- Condition ---
    // The condition of the rows filled in, each introduced by AND; "" when none is. Rows
    // whose values cannot be used add nothing: check isValid() before relying on it.
    QString conditionText() const;
    bool isValid() const;
    QStringList validationErrors() const;
    // How dates are written into the condition; 'YYYYMMDD' unless the owner says otherwise.
    void setDateLiteralFormatter(DateLiteralFormatter formatter);

    // --- Lookups ---
    const QString& lookupName() const { return m_lookupName; }
    void setLookupName(const QString& name) { m_lookupName = name; }
    // The presenter that shows lists for this panel; without one the default presenter is used.
    void setLookupPresenter(ILookupPresenter* presenter) { m_presenter = presenter; }
    // What F4 does on a value: raises StartLookup for that side (1 from, 2 to) and writes the
    // picked code; on a date row opens the calendar. False when the row does not offer it.
    bool requestLookup(const QString& field, int side);
    // Raises StartDecode for the row and shows the descriptions the owner gives back.
    void requestDecode(const QString& field);

    // Rows defined without the panel flag are shown only with all rows.
    void setShowAllRows(bool all);
    bool showsAllRows() const { return m_showAll; }

    FilterTable* table() const { return m_table; }

signals:
    void StartDecode(erpctl::DecodeRequest& request);
    void StartLookup(erpctl::LookupRequest& request);
    // A value was changed by the user or by a lookup.
    void valuesChanged();
    void validationChanged(const QStringList& errors);

private:
    struct RowState {
        FilterRowDefinition definition;
        QString from;
        QString to;
        QString fromDescription;
        QString toDescription;
    };

    void onItemChanged(QTableWidgetItem* item);
    void setSideValue(int row, int side, const QString& value, bool byUser);
    void showRow(int row);
    void updateValidation();
    void updateRowVisibility();
    void decodeRow(int row);
    void openCalendar(int row, int side);
    QList<FilterEntry> entries() const;

    QList<RowState> m_rows;
    FilterTable* m_table;
    QCheckBox* m_allRows;
    QLabel* m_message;
    QWidget* m_calendarPopup;
    QCalendarWidget* m_calendar;
    int m_calendarRow = -1;
    int m_calendarSide = 0;
    DateLiteralFormatter m_dateLiteral;
    ILookupPresenter* m_presenter = nullptr;
    QString m_lookupName;
    bool m_showAll = false;
    bool m_updating = false;

    QVariant m_company;
    QVariant m_userValue;
    QVariant m_identity;
    void* m_moduleReference = nullptr;
    QString m_libraryName;
    void* m_connection = nullptr;
    bool m_flag = false;
    bool m_initialized = false;
};

} // namespace erpctl
