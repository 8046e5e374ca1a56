#include "widgets/DatePicker.h"

#include <QKeyEvent>

namespace {

bool isDateSeparator(const QString &typed)
{
    return typed.size() == 1 && QStringLiteral("-/. ").contains(typed);
}

} // namespace

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
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
    m_movedOn = !typed.isEmpty() && typed.front().isDigit() && currentSectionIndex() != before;
}

void DatePicker::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    m_movedOn = false;
}

bool DatePicker::focusNextPrevChild(bool next)
{
    return QAbstractSpinBox::focusNextPrevChild(next);
}
