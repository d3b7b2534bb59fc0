#include "platform/controls/DateField.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateText.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace erpctl {

DateField::DateField(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)),
      m_popup(new QWidget(this, Qt::Popup)), m_calendar(new QCalendarWidget(m_popup)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    setFocusProxy(m_edit);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_edit->setPlaceholderText(controlText(91410, QStringLiteral("gg/mm/aaaa")));
    m_edit->setMaxLength(19);
    m_edit->setMinimumWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 12);
    m_button->setText(QStringLiteral("..."));
    m_button->setToolTip(controlText(91411, QStringLiteral("Calendario (F4)")));
    m_button->setFocusPolicy(Qt::NoFocus);

    auto* popupLayout = new QVBoxLayout(m_popup);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    popupLayout->addWidget(m_calendar);
    m_calendar->setGridVisible(true);
    m_calendar->setFirstDayOfWeek(Qt::Monday);

    connect(m_button, &QToolButton::clicked, this, &DateField::showCalendar);
    connect(m_edit, &QLineEdit::editingFinished, this, &DateField::normalize);
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        updateState();
        emit textChanged(text);
    });
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate date) {
        m_popup->hide();
        setDate(date);
        m_edit->setFocus();
    });
    connect(m_calendar, &QCalendarWidget::activated, this, [this](QDate date) {
        m_popup->hide();
        setDate(date);
        m_edit->setFocus();
    });

    // F4 or Alt+Down opens the calendar, as in the host's other date fields.
    m_edit->installEventFilter(this);
}

QString DateField::text() const {
    return m_edit->text().trimmed();
}

void DateField::setText(const QString& text) {
    const auto date = parseDateText(text);
    if (date)
        m_edit->setText(formatDateText(*date));
    else
        m_edit->setText(text.trimmed());
    normalize();
}

QDate DateField::date() const {
    const auto date = parseDateText(m_edit->text());
    return date ? *date : QDate();
}

void DateField::setDate(const QDate& date) {
    m_edit->setText(formatDateText(date));
    normalize();
}

void DateField::clear() {
    setText(QString());
}

bool DateField::isEmpty() const {
    return text().isEmpty();
}

bool DateField::isValid() const {
    return isEmpty() || date().isValid();
}

void DateField::setReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
    m_button->setEnabled(!readOnly);
}

bool DateField::isReadOnly() const {
    return m_edit->isReadOnly();
}

void DateField::showCalendar() {
    if (isReadOnly() || !isEnabled())
        return;
    const QDate current = date();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_calendar->setFocus();
}

void DateField::normalize() {
    const QString typed = text();
    if (typed.isEmpty()) {
        updateState();
    } else if (const auto date = parseDateText(typed)) {
        const QString shown = formatDateText(*date);
        if (shown != m_edit->text())
            m_edit->setText(shown);
    } else {
        updateState();
        emit invalidDate(
            QStringLiteral("\"%1\" non è una data valida: scrivere la data come gg/mm/aaaa.").arg(typed));
        return;
    }
    const QDate now = date();
    if (now != m_lastDate) {
        m_lastDate = now;
        emit dateChanged(now);
    }
}

void DateField::updateState() {
    const bool bad = !isValid();
    m_edit->setStyleSheet(bad ? QStringLiteral("QLineEdit { background: #fde2e2; }") : QString());
    m_edit->setToolTip(bad ? controlText(91412, QStringLiteral("Data non valida: scrivere gg/mm/aaaa"))
                           : QString());
}

bool DateField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F4 ||
            (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier))) {
            showCalendar();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace erpctl
