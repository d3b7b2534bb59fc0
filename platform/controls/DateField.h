#pragma once
// A date field that may stay empty: the user types dd/mm/yyyy or picks the day from a
// calendar. A text that is no date stays as typed, marked in red, and invalidDate tells why.

#include <QDate>
#include <QWidget>

class QLineEdit;
class QToolButton;
class QCalendarWidget;

namespace erpctl {

class DateField : public QWidget {
    Q_OBJECT
public:
    explicit DateField(QWidget* parent = nullptr);

    // "dd/mm/yyyy", "" when empty, or the text as typed when it is no date.
    QString text() const;
    // Accepts any form parseDateText reads and shows it as dd/mm/yyyy; a text that is no
    // date is kept as it is and flagged.
    void setText(const QString& text);
    // Invalid when the field is empty or holds no date.
    QDate date() const;
    void setDate(const QDate& date);
    void clear();
    bool isEmpty() const;
    // True when the field is empty or holds a real date.
    bool isValid() const;
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // Opens the calendar below the field, on the field's date (or today).
    void showCalendar();
    QCalendarWidget* calendar() const { return m_calendar; }
    QLineEdit* lineEdit() const { return m_edit; }

signals:
    void textChanged(const QString& text);
    // The field now holds this date (invalid when emptied).
    void dateChanged(const QDate& date);
    void invalidDate(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void normalize();
    void updateState();

    QLineEdit* m_edit;
    QToolButton* m_button;
    QWidget* m_popup;
    QCalendarWidget* m_calendar;
    QDate m_lastDate;
};

} // namespace erpctl
