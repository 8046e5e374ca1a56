#pragma once

#include "core/ledger/Figures.h"
#include "data/ListQuery.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <vector>

// The rows a report window shows, with their values: the grid, the spreadsheet
// export and the printed report all take them from here, so that each carries
// the window's own last run.
struct ShownTable
{
    using Kind = List::Kind; // Text, Money, Count or Ratio
    // What the totals row of the export and the report shows under a column.
    enum class Total
    {
        None,
        RowCount,
        Sum,
        Share // of two summed columns' totals (the column's share)
    };
    struct Column
    {
        QString title;
        Kind kind = Kind::Text;
        double width = 10; // in characters, for the export
        Total total = Total::None;
        Figures::Share share = {}; // of a Share: the places of the columns it divides
    };
    std::vector<Column> columns;
    std::vector<QVariantList> rows;

    int column(const QString &title) const;
    // The columns as a list window declares them, and the rows as it takes them.
    std::vector<List::Column> listColumns() const;
    QList<QVariantList> listRows() const;
    // A value as the grid shows it.
    QString text(int row, int column) const;
};
