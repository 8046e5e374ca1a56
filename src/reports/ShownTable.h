#pragma once

#include <QString>
#include <QVariantList>
#include <vector>

class QLabel;
class QTableView;
class QWidget;

// The rows a report window shows, with their values: the grid, the spreadsheet
// export and the printed report all take them from here, so that each carries
// the window's own last run.
struct ShownTable
{
    enum class Kind
    {
        Text,
        Money, // amount units: "1,234.50"
        Count, // a whole number
        Ratio  // hundredths as amount units (0.75 is 7500): "0.75"
    };
    // What the totals row of the export and the report shows under a column.
    enum class Total
    {
        None,
        RowCount,
        Sum
    };
    struct Column
    {
        QString title;
        Kind kind = Kind::Text;
        double width = 10; // in characters, for the export
        Total total = Total::None;
    };
    std::vector<Column> columns;
    std::vector<QVariantList> rows;

    int column(const QString &title) const;
    // A value as the grid shows it.
    QString text(int row, int column) const;
    static QString format(Kind kind, const QVariant &value);
};

// A read-only grid as every report window shows one.
QTableView *makeReportGrid(QWidget *parent, const QString &objectName);
// Replaces what the grid shows with the table.
void showTable(QTableView *grid, const ShownTable &table);

// A bar of labels along a window's bottom edge, named as given, empty at first.
struct LabelBar
{
    QWidget *bar;
    std::vector<QLabel *> labels;
};
LabelBar makeLabelBar(QWidget *parent, const QStringList &objectNames);
