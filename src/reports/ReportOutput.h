#pragma once

#include "reports/ShownTable.h"

#include <QString>
#include <QStringList>

class QWidget;

// The "Excel" and "打印" buttons of the report windows: a shown table with its
// totals row goes into a new workbook or a printed report.
namespace ReportOutput {

struct Report
{
    QString title;      // the workbook's title row or the report's title
    ShownTable table;   // the rows as shown
    QStringList totals; // one text per column of the table; "合计" is put in front
};

void exportWorkbook(QWidget *parent, const Report &report);
void print(QWidget *parent, const Report &report);

} // namespace ReportOutput
