#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QLabel;
class QTableView;
class QWidget;

// The rows a report window shows, exactly as it shows them: the grid, the
// spreadsheet export and the printed report all take them from here, so that
// each carries the window's own last run.
struct ShownTable
{
    struct Column
    {
        QString title;
        bool number = false; // amounts, counts and ratios: right-aligned
        bool money = false;  // an amount ("1,234.50")
        int width = 10;      // in characters, for the export and the report
    };
    std::vector<Column> columns;
    std::vector<QStringList> rows;

    int column(const QString &title) const;
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
