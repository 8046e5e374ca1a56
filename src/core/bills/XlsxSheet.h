#pragma once

#include "core/bills/BillText.h"

class ZipArchive;

// The cells of one sheet of an XLSX workbook as text: shared and inline strings as
// written, numbers as the shortest decimal that gives their value back ("12.5" for
// a cell showing ¥12.50), numbers shown as a date or time as "yyyy-MM-dd HH:mm:ss".
// Merged cells hold their text in their first cell. Rows keep their sheet numbers.
namespace Xlsx {

// Whether the archive is a workbook rather than a ZIP of files.
bool isWorkbook(const ZipArchive &zip);

// The sheet named `preferred` ("Sheet1"), else the first. Throws Bills::Error
// naming `shownName` when the workbook is damaged or has no sheet.
Bills::TextTable readSheet(const ZipArchive &zip, const QString &shownName,
                           const QString &preferred = QStringLiteral("Sheet1"));

} // namespace Xlsx
