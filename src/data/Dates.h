#pragma once

#include <QDate>
#include <QString>

// Dates are stored as 10-character text "yyyy-MM-dd", so that text order is date
// order and the first 7 and 4 characters are the month and the year.
inline QString dateFormat()
{
    return QStringLiteral("yyyy-MM-dd");
}

inline QString isoDate(const QDate &date)
{
    return date.toString(dateFormat());
}

inline QString today()
{
    return isoDate(QDate::currentDate());
}
