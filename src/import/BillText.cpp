#include "import/BillText.h"

#include <QStringDecoder>

namespace Bills {

void TextTable::addRow(int line)
{
    m_starts << m_cells.size();
    m_lines << line;
}

void TextTable::addCell(const QString &text)
{
    m_kept << text;
    m_cells << QStringView(m_kept.last());
}

void TextTable::setCell(qsizetype column, const QString &text)
{
    const qsizetype at = m_starts.last() + column;
    while (m_cells.size() <= at)
        m_cells << QStringView();
    m_kept << text;
    m_cells[at] = QStringView(m_kept.last());
}

QString decodeText(const QByteArray &bytes, QString *encoding)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *encoding = QStringLiteral("UTF-8 BOM");
        return QString::fromUtf8(bytes.mid(3));
    }
    if (bytes.isValidUtf8()) {
        *encoding = QStringLiteral("UTF-8");
        return QString::fromUtf8(bytes);
    }
    *encoding = QStringLiteral("GBK");
    QStringDecoder gbk("GB18030");
    return gbk(bytes);
}

namespace {

bool isBlank(QChar c)
{
    // QChar::isSpace covers TABs and most blanks, but not the full-width space
    // some exports pad with.
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ' || (u >= u'\t' && u <= u'\r');
    return QChar::isSpace(u) || u == 0x3000;
}

} // namespace

TextTable splitCsv(const QString &text)
{
    TextTable table;
    table.keep(text);
    const QChar *const begin = text.constData();
    const QChar *const end = begin + text.size();
    const QChar *c = begin;
    int line = 1;
    bool rowOpen = false;
    // One cell from `c` on; `c` is left on the comma or line end after it.
    const auto readCell = [&] {
        if (c == end || *c != u'"') {
            const QChar *start = c;
            while (c != end && *c != u',' && *c != u'\n' && *c != u'\r')
                ++c;
            table.addCell(QStringView(start, c));
            return;
        }
        // Quoted: a view of what is inside unless a doubled quote or something
        // after the closing quote other than blanks makes the cell a text of its own.
        const QChar *start = ++c;
        QString rewritten;
        bool own = false;
        for (;;) {
            while (c != end && *c != u'"') {
                if (*c == u'\n')
                    ++line;
                ++c;
            }
            if (c != end && c + 1 != end && c[1] == u'"') {
                rewritten.append(start, c + 1 - start);
                own = true;
                c += 2;
                start = c;
                continue;
            }
            break;
        }
        const QChar *const inside = c;
        if (c != end)
            ++c; // the closing quote
        const QChar *after = c;
        while (c != end && *c != u',' && *c != u'\n' && *c != u'\r')
            ++c;
        bool blanksAfter = true;
        for (const QChar *a = after; a != c; ++a)
            blanksAfter = blanksAfter && isBlank(*a);
        if (!own && blanksAfter) {
            table.addCell(QStringView(start, inside));
            return;
        }
        rewritten.append(start, inside - start);
        rewritten.append(after, c - after);
        table.addCell(rewritten);
    };
    while (c != end) {
        if (!rowOpen) {
            table.addRow(line);
            rowOpen = true;
        }
        readCell();
        if (c == end)
            break;
        if (*c == u',') {
            ++c;
            if (c == end)
                table.addCell(QStringView()); // a last empty cell
            continue;
        }
        // The end of a line: "\r\n", "\n" or "\r".
        if (*c == u'\r' && c + 1 != end && c[1] == u'\n')
            ++c;
        ++c;
        ++line;
        rowOpen = false;
    }
    return table;
}

QStringView trimmedCell(QStringView cell)
{
    qsizetype from = 0, to = cell.size();
    while (from < to && isBlank(cell.at(from)))
        ++from;
    while (to > from && isBlank(cell.at(to - 1)))
        --to;
    return cell.mid(from, to - from);
}

} // namespace Bills
