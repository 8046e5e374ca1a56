#pragma once

#include "data/Dates.h"

#include <QDateEdit>

// A date picker as every window shows one: a calendar pop-up and the stored format.
inline QDateEdit *makeDatePicker(QWidget *parent, const QString &objectName,
                                 const QDate &date = QDate::currentDate())
{
    auto *picker = new QDateEdit(date, parent);
    picker->setObjectName(objectName);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(dateFormat());
    return picker;
}
