#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Bill files as tables of text cells, whatever they came as: a CSV file in GBK or
// UTF-8, or the sheet of an XLSX workbook.
namespace Bills {

// One row's cells: views of the text their table keeps, valid while it lives.
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
// file's text, or of a text the table keeps when the cell had to be rewritten.
class TextTable
{
public:
    // How the file was encoded: "GBK", "UTF-8", "UTF-8 BOM"; empty for a workbook.
    QString encoding;

    qsizetype rowCount() const { return m_lines.size(); }
    Cells row(qsizetype r) const
    {
        const qsizetype from = m_starts.at(r);
        const qsizetype to = r + 1 < m_starts.size() ? m_starts.at(r + 1) : m_cells.size();
        return Cells(m_cells.constData() + from, to - from);
    }
    int line(qsizetype r) const { return m_lines.at(r); }

    // The table keeps `text` (shared, not copied): cells may then be views of it.
    void keep(const QString &text) { m_kept << text; }
    void addRow(int line);
    // Adds a cell to the last row: a view of a kept text, or a text kept now.
    void addCell(QStringView keptView) { m_cells << keptView; }
    void addCell(const QString &text);
    // Sets the last row's cell at `column`, the cells before it empty where missing.
    void setCell(qsizetype column, const QString &text);

private:
    QList<QStringView> m_cells; // of all rows, one row after another
    QList<qsizetype> m_starts;  // where each row's cells begin
    QList<int> m_lines;
    QStringList m_kept;
};

// Decodes a text file: UTF-8 when it has a byte-order mark or is valid UTF-8 (then
// `encoding` says which), else GB18030, the superset of GBK that the apps write.
QString decodeText(const QByteArray &bytes, QString *encoding);

// Splits CSV text into rows. Quoted cells may hold commas, doubled quotes and line
// breaks; what follows a closing quote up to the comma (the TAB some apps put
// there) is kept as part of the cell, to be trimmed with it.
TextTable splitCsv(const QString &text);

// A cell as the bills mean it: surrounding blanks and TABs removed.
QStringView trimmedCell(QStringView cell);

} // namespace Bills
