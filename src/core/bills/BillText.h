#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <utility>

// Bill files as tables of text cells, whatever they came as: a CSV file in GBK or
// UTF-8, or the sheet of an XLSX workbook.
namespace Bills {

// One row's cells: views of the text their table keeps, valid until the table is
// asked for another row.
class Cells
{
public:
    Cells(const QStringView *begin, qsizetype size) : m_begin(begin), m_size(size) {}
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QStringView at(qsizetype i) const { return m_begin[i]; }
    // Empty past the row's end.
    QStringView value(qsizetype i) const { return i < m_size ? m_begin[i] : QStringView(); }
    const QStringView *begin() const { return m_begin; }
    const QStringView *end() const { return m_begin + m_size; }

private:
    const QStringView *m_begin;
    qsizetype m_size;
};

// The rows of one file, each with the line (or sheet row) it came from. A bill of
// 10^5 rows is read without a string made for each cell: a cell is a view of the
// file's text, or of a text the table keeps when the cell had to be rewritten. A
// CSV file's rows are cut into cells only when asked for, one at a time, so that
// the cells of the whole file are never held at once.
class TextTable
{
public:
    // How the file was encoded: "GBK", "UTF-8", "UTF-8 BOM"; empty for a workbook.
    QString encoding;

    qsizetype rowCount() const { return m_lines.size(); }
    // A workbook's cells, the empty ones before a cell included.
    qsizetype cellCount() const { return m_cells.size(); }
    Cells row(qsizetype r) const;
    int line(qsizetype r) const { return m_lines.at(r); }

    // A workbook's rows, cell by cell.
    void addRow(int line);
    // Sets the last row's cell at `column`, the cells before it empty where missing.
    void setCell(qsizetype column, const QString &text);

private:
    friend TextTable splitCsv(const QString &text);

    QList<int> m_lines;
    // A workbook's cells, of all rows one row after another, and where each row's
    // begin; the texts they view.
    QList<QStringView> m_cells;
    QList<qsizetype> m_starts;
    QStringList m_kept;
    // A CSV file's text and where each row of it begins and ends; the row asked for
    // last, cut into cells, with the texts of the cells that had to be rewritten.
    QString m_text;
    QList<std::pair<qsizetype, qsizetype>> m_spans;
    mutable QList<QStringView> m_rowCells;
    mutable QStringList m_rowTexts;
};

// Decodes a text file: UTF-8 when it has a byte-order mark or is valid UTF-8 (then
// `encoding` says which), else GB18030, the superset of GBK that the apps write.
// `badLine` gets the line (from 1) of the first bytes that are no GB18030, or 0.
QString decodeText(const QByteArray &bytes, QString *encoding, int *badLine = nullptr);

// Splits CSV text into rows. Quoted cells may hold commas, doubled quotes and line
// breaks; what follows a closing quote up to the comma (the TAB some apps put
// there) is kept as part of the cell, to be trimmed with it.
TextTable splitCsv(const QString &text);

// A cell as the bills mean it: surrounding blanks and TABs removed.
QStringView trimmedCell(QStringView cell);

} // namespace Bills
