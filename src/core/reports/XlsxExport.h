#pragma once

#include "core/ledger/Figures.h"
#include "core/reports/RowSource.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>

class QWidget;

// The spreadsheet export shared by every window that has an "Excel" button: a
// real .xlsx workbook whose first sheet holds a merged title row, a header row,
// one row per result row with a running number 1, 2, 3... in column A, and a
// totals row "合计"; amounts are numbers shown with two decimals (negative ones
// in red), dates are dates shown yyyy-mm-dd, ratios percentages, and the totals
// are formulas over the rows with their value stored.
namespace Xlsx {

enum class Kind
{
    Text,   // written as text
    Money,  // stored amount units, written as a number with two decimals
    Date,   // "yyyy-mm-dd" text, written as a date
    Count,  // a whole number
    Percent // a ratio in amount units, written as a number shown as "75.0%"
};

enum class Total
{
    None,
    RowCount, // the number of data rows
    Sum,      // the column's sum
    Share     // a percentage of two summed columns' totals (the column's share)
};

// One column from B onward; column A is always the running number "序号".
struct Column
{
    QString title;
    Kind kind = Kind::Text;
    double width = 10; // in the spreadsheet's character units
    Total total = Total::None;
    Figures::Share share = {}; // of Total::Share, as places in the columns
};

struct Sheet
{
    QString title; // row 1, merged across every column
    QList<Column> columns;
    // False for the plain form: no merge, fonts, widths or borders.
    bool decorated = true;
};

// Called every few hundred rows with the number written so far; returning false
// cancels the export.
using Progress = std::function<bool(qint64 rowsWritten)>;

// Writes the workbook to `path`, reading the rows (one value per column) from
// `rows`. The file appears only when complete: it is written under a temporary
// name and renamed. Returns an empty string, or why the file could not be written.
QString write(const QString &path, const Sheet &sheet, const RowSource &rows,
              const Progress &progress = {});

// Where exports go: the folder "青禾簿导出" in the user's documents folder
// (QINGHEBU_EXPORT_DIR overrides it).
QString exportFolder();
// "<book>-<report>-<yyyyMMdd-HHmmss>.xlsx", with characters that file names may
// not hold replaced.
QString fileName(const QString &book, const QString &report);

// The export folder's path for a new file, never one that exists already.
QString newExportPath(const QString &folder, const QString &report);
// Whether the desktop names a program that opens workbooks.
bool desktopOpensWorkbooks();

} // namespace Xlsx
