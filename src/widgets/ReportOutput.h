#pragma once

#include "core/reports/ShownTable.h"

#include <QString>

class QWidget;

// The "Excel" and "打印" buttons of the report windows: the table a window shows
// goes into a new workbook or a printed report, with a running number in front
// and a totals row after the rows.
namespace ReportOutput {

enum class Form
{
    Decorated, // merged title, fonts, widths and borders
    Plain
};

// Writes the workbook into the export folder and opens it; reportName names the
// file, title is the sheet's first row. Returns the file's path, or nothing.
QString exportWorkbook(QWidget *parent, const QString &reportName, const QString &title,
                       const ShownTable &table, Form form = Form::Decorated);
// Shows the report in a print preview; the subtitle names the book and the conditions.
void print(QWidget *parent, const QString &title, const QString &subtitle, const ShownTable &table);

} // namespace ReportOutput
