#pragma once

#include "data/Dates.h"

#include <QDateEdit>

// A date field as people type into it: a whole date, "2024-03-15", "2024/3/5" or
// "20240315", typed from its start; a separator moves to the next part unless the
// part before was already complete. Tab leaves the field for the next one instead
// of stepping through year, month and day.
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    using QDateEdit::QDateEdit;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The last digit filled its part and moved on to the next by itself.
    bool m_movedOn = false;
};

// A date picker as every window shows one: a calendar pop-up and the stored format.
inline QDateEdit *makeDatePicker(QWidget *parent, const QString &objectName,
                                 const QDate &date = QDate::currentDate())
{
    auto *picker = new DatePicker(date, parent);
    picker->setObjectName(objectName);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(dateFormat());
    return picker;
}
