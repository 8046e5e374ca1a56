#include "import/BillText.h"

#include <QStringDecoder>

namespace Bills {

QString decodeText(const QByteArray &bytes, QString *encoding)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *encoding = QStringLiteral("UTF-8 BOM");
        return QString::fromUtf8(bytes.mid(3));
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        *encoding = QStringLiteral("UTF-8");
        return text;
    }
    *encoding = QStringLiteral("GBK");
    QStringDecoder gbk("GB18030");
    return gbk(bytes);
}

TextTable splitCsv(const QString &text)
{
    TextTable table;
    QStringList row;
    QString cell;
    int line = 1;
    int rowLine = 1;
    bool quoted = false;   // inside quotes
    bool cellStart = true; // nothing of the cell read yet
    bool rowStarted = false;
    const QChar *c = text.constData();
    const QChar *const end = c + text.size();
    const auto endRow = [&] {
        row << cell;
        cell.clear();
        table.rows << row;
        table.lines << rowLine;
        row.clear();
        rowStarted = false;
        cellStart = true;
    };
    for (; c != end; ++c) {
        const char16_t u = c->unicode();
        if (quoted) {
            if (u == u'"') {
                if (c + 1 != end && c[1] == u'"') {
                    cell += QLatin1Char('"');
                    ++c;
                } else {
                    quoted = false;
                }
            } else {
                if (u == u'\n')
                    ++line;
                cell += *c;
            }
            continue;
        }
        if (!rowStarted) {
            rowStarted = true;
            rowLine = line;
        }
        if (u == u',') {
            row << cell;
            cell.clear();
            cellStart = true;
        } else if (u == u'\n' || u == u'\r') {
            if (u == u'\r' && c + 1 != end && c[1] == u'\n')
                ++c;
            endRow();
            ++line;
        } else if (u == u'"' && cellStart) {
            quoted = true;
            cellStart = false;
        } else {
            cell += *c;
            cellStart = false;
        }
    }
    if (rowStarted || !cell.isEmpty())
        endRow();
    return table;
}

QString trimmedCell(const QString &cell)
{
    // QString::trimmed removes TABs and the ideographic space's narrower kin, but
    // not the full-width space some exports pad with.
    qsizetype from = 0, to = cell.size();
    const auto blank = [](QChar c) { return c.isSpace() || c == QChar(0x3000); };
    while (from < to && blank(cell.at(from)))
        ++from;
    while (to > from && blank(cell.at(to - 1)))
        --to;
    return from == 0 && to == cell.size() ? cell : cell.mid(from, to - from);
}

} // namespace Bills
