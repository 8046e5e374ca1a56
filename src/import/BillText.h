#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Bill files as tables of text cells, whatever they came as: a CSV file in GBK or
// UTF-8, or the sheet of an XLSX workbook.
namespace Bills {

// The rows of one file, each with the line (or sheet row) it came from.
struct TextTable
{
    QList<QStringList> rows;
    QList<int> lines;
    // How the file was encoded: "GBK", "UTF-8", "UTF-8 BOM"; empty for a workbook.
    QString encoding;
};

// Decodes a text file: UTF-8 when it has a byte-order mark or is valid UTF-8 (then
// `encoding` says which), else GB18030, the superset of GBK that the apps write.
QString decodeText(const QByteArray &bytes, QString *encoding);

// Splits CSV text into rows. Quoted cells may hold commas, doubled quotes and line
// breaks; what follows a closing quote up to the comma (the TAB some apps put
// there) is kept as part of the cell, to be trimmed with it.
TextTable splitCsv(const QString &text);

// A cell as the bills mean it: surrounding blanks and TABs removed.
QString trimmedCell(const QString &cell);

} // namespace Bills
