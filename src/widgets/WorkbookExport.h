#pragma once

#include "core/reports/XlsxExport.h"

class QWidget;

namespace Xlsx {

// What a window's "Excel" button does: writes the workbook into the export
// folder on the worker thread, the program modal meanwhile with a progress dialog
// for long exports (取消 stops it and leaves no file), then opens it in the
// desktop's spreadsheet program, or says where it is when the desktop names no
// such program or fails to start it. Failures are shown with their reason.
// Returns the written file's path, or an empty string.
//
// `rows` is called on the worker thread: it may read only what it holds (the rows
// a window keeps), never the data module's connection.
QString exportAndOpen(QWidget *parent, const QString &reportName, const Sheet &sheet,
                      const RowSource &rows, qint64 expectedRows);
// The same with rows read from the database: `open` runs on the worker thread and
// makes the rows from the worker's own connection.
using RowsOpener = std::function<RowSource(const QSqlDatabase &db)>;
QString exportAndOpen(QWidget *parent, const QString &reportName, const Sheet &sheet,
                      const RowsOpener &open, qint64 expectedRows);

} // namespace Xlsx
