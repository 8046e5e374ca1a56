#include "widgets/DatePicker.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// What an optional picker holds when it holds no date: below every real date.
const QDate NoDate(1800, 1, 1);

bool isDateSeparator(const QString &typed)
{
    return typed.size() == 1 && QStringLiteral("-/. ").contains(typed);
}

bool isDigit(const QString &typed)
{
    return typed.size() == 1 && typed.front().isDigit();
}

} // namespace

void DatePicker::setOptional(bool optional)
{
    m_optional = optional;
    if (!optional)
        return;
    setMinimumDate(NoDate);
    setSpecialValueText(QStringLiteral("未填写"));
    // The calendar of an empty picker opens at today's month, not at the sentinel's.
    calendarWidget()->installEventFilter(this);
}

bool DatePicker::isEmpty() const
{
    return m_optional && date() == NoDate;
}

void DatePicker::clear()
{
    if (m_optional)
        setDate(NoDate);
    else
        QDateEdit::clear();
}

QString DatePicker::dateText() const
{
    return isEmpty() ? QString() : isoDate(date());
}

void DatePicker::setDateText(const QString &text)
{
    const QDate stored = QDate::fromString(text, dateFormat());
    if (stored.isValid())
        setDate(stored);
    else if (m_optional)
        clear();
}

QSize DatePicker::sizeHint() const
{
    // Room for the whole date and the calendar button, whatever the style measures.
    QSize hint = QDateEdit::sizeHint();
    const int text = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 "));
    hint.setWidth(std::max(hint.width(), text + 48));
    return hint;
}

QSize DatePicker::minimumSizeHint() const
{
    return sizeHint();
}

void DatePicker::startAtYear()
{
    setCurrentSectionIndex(0);
    setSelectedSection(sectionAt(0));
    m_movedOn = false;
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (m_optional && event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        clear();
        event->accept();
        return;
    }
    if (isDigit(typed)) {
        // An empty picker takes a date typed whole; so does one all selected
        // (Ctrl+A): the digits go to the year, not into the part the cursor was in.
        if (isEmpty()) {
            setDate(QDate::currentDate());
            startAtYear();
        } else if (lineEdit()->hasSelectedText() &&
                   lineEdit()->selectedText() == lineEdit()->text()) {
            startAtYear();
        }
    }
    if (isDateSeparator(typed)) {
        // "2024-3-5": the separator ends a part the digits left open.
        if (!m_movedOn && currentSectionIndex() < sectionCount() - 1)
            QDateEdit::focusNextPrevChild(true);
        m_movedOn = false;
        event->accept();
        return;
    }
    const int before = currentSectionIndex();
    QDateEdit::keyPressEvent(event);
    m_movedOn = isDigit(typed) && currentSectionIndex() != before;
}

void DatePicker::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    m_movedOn = false;
    // Coming back with Shift+Tab selects the year too, as Tab does, so that a
    // date typed whole is that date.
    if (event->reason() == Qt::BacktabFocusReason)
        startAtYear();
}

bool DatePicker::focusNextPrevChild(bool next)
{
    return QAbstractSpinBox::focusNextPrevChild(next);
}

bool DatePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == calendarWidget() && event->type() == QEvent::Show && isEmpty()) {
        const QDate today = QDate::currentDate();
        calendarWidget()->setCurrentPage(today.year(), today.month());
    }
    return QDateEdit::eventFilter(watched, event);
}
