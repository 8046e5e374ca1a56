#pragma once

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantList>
#include <functional>
#include <memory>

// Rows handed out one at a time: fills `row` with the next row's values and
// returns true, or returns false after the last row. A long result is then read
// straight from the database as it is written or printed, never held twice.
using RowSource = std::function<bool(QVariantList &row)>;

// The rows of an executed query, all of its columns in order.
inline RowSource queryRows(QSqlQuery query)
{
    const int columns = query.record().count();
    // Shared, since a query may not be copied and a RowSource may be.
    auto shared = std::make_shared<QSqlQuery>(std::move(query));
    return [shared, columns](QVariantList &row) {
        if (!shared->next())
            return false;
        row.resize(columns);
        for (int c = 0; c < columns; ++c)
            row[c] = shared->value(c);
        return true;
    };
}
