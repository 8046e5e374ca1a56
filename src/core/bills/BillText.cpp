#include "core/bills/BillText.h"

#include <QStringDecoder>
#include <type_traits>

namespace Bills {

void TextTable::addRow(int line)
{
    m_starts << m_cells.size();
    m_lines << line;
}

void TextTable::setCell(qsizetype column, const QString &text)
{
    const qsizetype at = m_starts.last() + column;
    while (m_cells.size() <= at)
        m_cells << QStringView();
    m_kept << text;
    m_cells[at] = QStringView(m_kept.last());
}

namespace {

// Only asked once a file is known to hold some: a line break is never part of a
// GB18030 character, so the lines can be decoded one by one.
int firstUndecodableLine(const QByteArray &bytes)
{
    int line = 1;
    for (qsizetype from = 0; from < bytes.size(); ++line) {
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        QStringDecoder gbk("GB18030");
        const QString decoded = gbk(QByteArrayView(bytes).sliced(from, end - from));
        if (gbk.hasError())
            return line;
        from = end + 1;
    }
    return 0;
}

} // namespace

QString decodeText(const QByteArray &bytes, QString *encoding, int *badLine)
{
    if (badLine)
        *badLine = 0;
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
    QString text = gbk(bytes);
    if (badLine && gbk.hasError())
        *badLine = firstUndecodableLine(bytes);
    return text;
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

namespace {

bool endsCell(QChar c)
{
    return c == u',' || c == u'\n' || c == u'\r';
}

// Reads one cell of a CSV row from `c` on and leaves `c` on the comma or line end
// after it; `line` counts the line breaks inside quotes. A quoted cell may hold
// commas, doubled quotes and line breaks; what follows its closing quote up to the
// comma (the TAB some apps put there) is kept as part of it, to be trimmed with it.
// With `Cut`, `cell(view)` or `cell(text)` hears the cell: a view of the text unless
// a doubled quote or something after the closing quote other than blanks made it a
// text of its own.
template <bool Cut, typename Cell>
void readCell(const QChar *&c, const QChar *end, int &line, const Cell &cell)
{
    if (c == end || *c != u'"') {
        const QChar *start = c;
        while (c != end && !endsCell(*c))
            ++c;
        if constexpr (Cut)
            cell(QStringView(start, c));
        return;
    }
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
            if constexpr (Cut)
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
    while (c != end && !endsCell(*c))
        ++c;
    if constexpr (Cut) {
        bool blanksAfter = true;
        for (const QChar *a = after; a != c; ++a)
            blanksAfter = blanksAfter && isBlank(*a);
        if (!own && blanksAfter) {
            cell(QStringView(start, inside));
            return;
        }
        rewritten.append(start, inside - start);
        rewritten.append(after, c - after);
        cell(rewritten);
    }
}

} // namespace

Cells TextTable::row(qsizetype r) const
{
    if (m_spans.isEmpty()) {
        const qsizetype from = m_starts.at(r);
        const qsizetype to = r + 1 < m_starts.size() ? m_starts.at(r + 1) : m_cells.size();
        return Cells(m_cells.constData() + from, to - from);
    }
    m_rowCells.clear();
    m_rowTexts.clear();
    const auto [from, to] = m_spans.at(r);
    const QChar *c = m_text.constData() + from;
    const QChar *const end = m_text.constData() + to;
    int line = 0;
    const auto cell = [this](const auto &piece) {
        if constexpr (std::is_same_v<std::decay_t<decltype(piece)>, QString>) {
            m_rowTexts << piece;
            m_rowCells << QStringView(m_rowTexts.last());
        } else {
            m_rowCells << piece;
        }
    };
    // The row's line end lies past its span: after a last comma comes an empty cell.
    for (;;) {
        readCell<true>(c, end, line, cell);
        if (c == end)
            break;
        ++c; // the comma
    }
    return Cells(m_rowCells.constData(), m_rowCells.size());
}

TextTable splitCsv(const QString &text)
{
    TextTable table;
    table.m_text = text;
    const QChar *const begin = text.constData();
    const QChar *const end = begin + text.size();
    const QChar *c = begin;
    int line = 1;
    const auto none = [](const auto &) {};
    while (c != end) {
        const QChar *const rowStart = c;
        const int rowLine = line;
        for (;;) {
            readCell<false>(c, end, line, none);
            if (c == end || *c != u',')
                break;
            ++c;
        }
        table.m_spans.append({rowStart - begin, c - begin});
        table.m_lines << rowLine;
        if (c == end)
            break;
        // The end of a line: "\r\n", "\n" or "\r".
        if (*c == u'\r' && c + 1 != end && c[1] == u'\n')
            ++c;
        ++c;
        ++line;
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
