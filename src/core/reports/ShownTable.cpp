#include "core/reports/ShownTable.h"

#include "core/ledger/Figures.h"

int ShownTable::column(const QString &title) const
{
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].title == title)
            return int(c);
    return -1;
}

QString ShownTable::text(int row, int column) const
{
    return Figures::text(columns.at(column).kind, rows.at(row).value(column));
}

std::vector<List::Column> ShownTable::listColumns() const
{
    std::vector<List::Column> list;
    for (const Column &c : columns)
        list.push_back({c.title, c.title, c.kind});
    return list;
}

QList<QVariantList> ShownTable::listRows() const
{
    return QList<QVariantList>(rows.begin(), rows.end());
}
