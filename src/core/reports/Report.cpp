#include "core/reports/Report.h"

#include "core/ledger/Figures.h"
#include "data/ProgramName.h"
#include "data/Sql.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <optional>

namespace Report {
namespace {

// Band heights and the grid, in millimetres: title, subtitle, page and time,
// column titles; 35 rows and the total fit above the footer.
constexpr double TitleHeight = 9, SubtitleHeight = 5.5, InfoHeight = 5.5, HeaderHeight = 27;
constexpr double RowHeight = 6.5, FooterHeight = 7, FooterTop = PrintableHeightMm - FooterHeight;
// The row number column holds six digits ("100000") with its padding.
constexpr double RowNumberWidth = 16, ColumnWidth = 24, CountWidth = 16, RatioWidth = 20;
constexpr double LeastMoneyWidth = 20;
constexpr double Padding = 2, TitlePadding = 0.5;
constexpr double DoubleRuleGap = 0.7;

QFont reportFont(Looks looks)
{
    // Families that hold Chinese first; Arial's look otherwise. WenQuanYi Micro Hei
    // leads because a saved PDF must give its text back: Noto CJK draws 支, 人,
    // 食... with the same glyphs as the Kangxi radicals ⽀, ⼈, ⻝, and the PDF's
    // map from glyphs back to characters then names the radicals, so that a
    // search or a copy of the report finds other characters than it shows.
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Arial")});
    font.setPointSizeF(looks & Title ? 14 : (looks & Small ? 9 : 10));
    font.setBold(looks & (Title | Bold));
    return font;
}

bool rightAligned(Kind kind)
{
    return kind != Kind::Text;
}

// How the grids show the column's values.
List::Kind shownKind(Kind kind)
{
    switch (kind) {
    case Kind::Money:
        return List::Kind::Money;
    case Kind::Ratio:
        return List::Kind::Ratio;
    case Kind::Count:
        return List::Kind::Count;
    case Kind::RowNumber: // "100000", as a spreadsheet numbers rows
    case Kind::Text:
        break;
    }
    return List::Kind::Text;
}

// What a value adds to its column's sum.
qint64 summand(const Column &column, const QVariant &value)
{
    return column.kind == Kind::Money || column.kind == Kind::Ratio
               ? Money::fromVariant(value).units()
               : value.toLongLong();
}

// Up to `count` rows from the source.
QList<QVariantList> take(const RowSource &rows, int count)
{
    QList<QVariantList> taken;
    QVariantList row;
    while (taken.size() < count && rows(row))
        taken << row;
    return taken;
}

// A column's width as declared, or as usual for its kind: counts and ratios
// need less room than amounts and names.
double widthOf(const Column &column)
{
    if (column.widthMm > 0)
        return column.widthMm;
    switch (column.kind) {
    case Kind::RowNumber:
        return RowNumberWidth;
    case Kind::Count:
        return CountWidth;
    case Kind::Ratio:
        return RatioWidth;
    default:
        return ColumnWidth;
    }
}

// About how wide a title is drawn with its padding: a Chinese character an em
// of the 10 pt font, any other about half of one.
double titleWidth(const QString &title)
{
    constexpr double EmMm = 10 * 25.4 / 72;
    double width = 2 * TitlePadding;
    for (const QChar ch : title)
        width += ch.unicode() >= 0x2E80 ? EmMm : EmMm * 0.55;
    return width;
}

// The least room a column gives up to: figures down to their title, amounts to
// a household's amount (12,345.67); names, dates and row numbers none.
double leastWidth(const Column &column)
{
    if (column.widthMm > 0)
        return column.widthMm;
    switch (column.kind) {
    case Kind::Money:
        return std::max(titleWidth(column.title), LeastMoneyWidth);
    case Kind::Count:
    case Kind::Ratio:
        return titleWidth(column.title);
    default:
        return widthOf(column);
    }
}

// The columns' widths. Columns wider together than the page (a monthly statement
// with its budget columns) give up room alike, each down to its least; should
// that still be too wide, all but the row numbers shrink alike, and a figure or
// title that then does not fit is drawn smaller.
QList<double> columnWidths(const QList<Column> &columns)
{
    QList<double> usual, least;
    double total = 0, slack = 0;
    for (const Column &column : columns) {
        usual << widthOf(column);
        least << std::min(usual.last(), leastWidth(column));
        total += usual.last();
        slack += usual.last() - least.last();
    }
    const double excess = total - PrintableWidthMm;
    const double kept = excess > 0 && slack > 0 ? std::max(0.0, 1 - excess / slack) : 1;
    QList<double> widths;
    double sum = 0, numbers = 0;
    for (int c = 0; c < columns.size(); ++c) {
        widths << least[c] + (usual[c] - least[c]) * kept;
        sum += widths.last();
        numbers += columns[c].kind == Kind::RowNumber ? widths.last() : 0;
    }
    if (sum > PrintableWidthMm)
        for (int c = 0; c < columns.size(); ++c)
            if (columns[c].kind != Kind::RowNumber)
                widths[c] *= (PrintableWidthMm - numbers) / (sum - numbers);
    return widths;
}

QString timeText(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// Lays rows out into pages and draws them page by page, so that only the rows of
// the page being drawn and the running sums are held.
class Renderer
{
public:
    // `pages`: how many the report has, 0 when not known before its end.
    Renderer(const Layout &layout, Canvas &canvas, const QString &printedAt, int pages)
        : m_layout(layout), m_canvas(canvas), m_printedAt(printedAt), m_pages(pages),
          m_pageSums(layout.columns.size(), 0)
    {
        m_running.sums.fill(0, layout.columns.size());
        const QList<double> widths = columnWidths(layout.columns);
        double left = 0;
        for (int c = 0; c < layout.columns.size(); ++c) {
            double width = widths[c];
            // The last column without a width of its own takes the rest.
            if (c == layout.columns.size() - 1 && layout.columns[c].widthMm <= 0)
                width = PrintableWidthMm - left;
            m_lefts << left;
            m_widths << width;
            left += width;
        }
    }

    // Draws pages from `first` on (counted from 0) until the rows run out, or up
    // to `end` (exclusive; -1: no limit), starting a new canvas page for each but
    // the first. A page of fewer rows than fit is the last: the summary follows
    // its rows, with `totals`, or when null the sums of the rows drawn. Returns the
    // pages drawn.
    int stream(const RowSource &rows, int first, int end, const Totals *totals)
    {
        int drawn = 0;
        for (int page = first; end < 0 || page < end; ++page) {
            const QList<QVariantList> pageRows = take(rows, RowsPerPage);
            if (drawn > 0 && !m_canvas.newPage())
                break;
            const bool last = pageRows.size() < RowsPerPage;
            // A report of unknown length learns it has one page on reading it.
            if (m_pages == 0 && page == 0 && last)
                m_pages = 1;
            drawPage(page, pageRows, last ? (totals ? totals : &m_running) : nullptr);
            ++drawn;
            if (last)
                break;
        }
        return drawn;
    }

    // One page with its rows, then the summary when given.
    void drawPage(int page, const QList<QVariantList> &rows, const Totals *summary)
    {
        startPage(page + 1);
        qint64 number = qint64(page) * RowsPerPage;
        for (const QVariantList &row : rows)
            drawRow(row, ++number);
        if (summary)
            drawTotal(*summary);
        finishPage();
    }

private:
    void startPage(int number)
    {
        m_pageRows = 0;
        m_pageSums.fill(0);
        m_canvas.text({0, 0, PrintableWidthMm, TitleHeight}, m_layout.title, Qt::AlignCenter,
                      Title);
        m_canvas.text({0, TitleHeight, PrintableWidthMm, SubtitleHeight}, m_layout.subtitle,
                      Qt::AlignCenter, Small);
        const QRectF info(Padding, TitleHeight + SubtitleHeight, PrintableWidthMm - 2 * Padding,
                          InfoHeight);
        m_canvas.text(info,
                      m_pages > 0 ? QStringLiteral("第 %1 页 / 共 %2 页")
                                        .arg(Figures::count(number), Figures::count(m_pages))
                                  : QStringLiteral("第 %1 页").arg(Figures::count(number)),
                      Qt::AlignLeft | Qt::AlignVCenter);
        m_canvas.text(info, QStringLiteral("打印时间：") + m_printedAt,
                      Qt::AlignRight | Qt::AlignVCenter);
        const double top = TitleHeight + SubtitleHeight + InfoHeight;
        m_canvas.line(0, top, PrintableWidthMm, top);
        // Titles may use the whole column: "序号" is wider than the key column's values.
        for (int c = 0; c < m_layout.columns.size(); ++c)
            m_canvas.text({m_lefts[c] + TitlePadding, top, m_widths[c] - 2 * TitlePadding,
                           HeaderHeight - top},
                          m_layout.columns[c].title, Qt::AlignCenter);
        drawRules(top, HeaderHeight);
        m_y = HeaderHeight;
    }

    void drawRow(const QVariantList &row, qint64 number)
    {
        for (int c = 0; c < m_layout.columns.size(); ++c) {
            const Column &column = m_layout.columns[c];
            const QVariant value = column.kind == Kind::RowNumber
                                       ? QVariant(number)
                                       : (c < row.size() ? row[c] : QVariant());
            if (column.summed) {
                const qint64 n = summand(column, value);
                m_pageSums[c] += n;
                m_running.sums[c] += n;
            }
            drawFigure(c, m_y, value, Plain);
        }
        drawRules(m_y, m_y + RowHeight);
        m_y += RowHeight;
        ++m_pageRows;
        ++m_running.rows;
    }

    void drawFigure(int c, double y, const QVariant &value, Looks looks)
    {
        const List::Kind kind = shownKind(m_layout.columns[c].kind);
        if (Figures::isNegative(kind, value))
            looks |= Negative;
        m_canvas.text(cell(c, y, RowHeight), Figures::text(kind, value),
                      alignment(m_layout.columns[c]), looks);
    }

    // The label from the left edge up to the first summed column, then the sums
    // and the shares of them.
    void drawSums(const QString &label, const QList<qint64> &sums, double y, Looks looks)
    {
        double labelEnd = PrintableWidthMm;
        for (int c = m_layout.columns.size() - 1; c >= 0; --c) {
            const Column &column = m_layout.columns[c];
            if (column.summed) {
                drawFigure(c, y, QVariant(sums.value(c)), looks);
            } else if (column.share.isSet()) {
                const std::int64_t share =
                    column.share.of(Money::fromUnits(sums.value(column.share.part)),
                                    Money::fromUnits(sums.value(column.share.whole)));
                drawFigure(c, y, QVariant(qlonglong(share)), looks);
            } else {
                continue;
            }
            labelEnd = m_lefts[c];
        }
        m_canvas.text({Padding, y, labelEnd - Padding, RowHeight}, label,
                      Qt::AlignLeft | Qt::AlignVCenter, looks);
    }

    // The report's count and sums in bold, closed by a double rule.
    void drawTotal(const Totals &totals)
    {
        drawSums(QStringLiteral("合计 %1").arg(Figures::count(totals.rows)), totals.sums, m_y,
                 Bold);
        const double under = m_y + RowHeight;
        m_canvas.line(0, under, PrintableWidthMm, under);
        m_canvas.line(0, under + DoubleRuleGap, PrintableWidthMm, under + DoubleRuleGap);
    }

    void finishPage()
    {
        m_canvas.line(0, FooterTop, PrintableWidthMm, FooterTop);
        // A report of one page has its total already: the page's would repeat it.
        if (m_pages != 1)
            drawSums(QStringLiteral("本页合计 %1").arg(Figures::count(m_pageRows)), m_pageSums,
                     FooterTop, Plain);
        m_canvas.text({0, FooterTop, PrintableWidthMm - Padding, FooterHeight}, programName(),
                      Qt::AlignRight | Qt::AlignVCenter);
    }

    // Vertical rules at every column border between top and bottom, and a rule under.
    void drawRules(double top, double bottom)
    {
        for (double left : m_lefts)
            m_canvas.line(left, top, left, bottom);
        m_canvas.line(PrintableWidthMm, top, PrintableWidthMm, bottom);
        m_canvas.line(0, bottom, PrintableWidthMm, bottom);
    }

    QRectF cell(int c, double top, double height) const
    {
        return {m_lefts[c] + Padding, top, m_widths[c] - 2 * Padding, height};
    }

    static Qt::Alignment alignment(const Column &column)
    {
        return (rightAligned(column.kind) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }

    const Layout &m_layout;
    Canvas &m_canvas;
    const QString m_printedAt;
    int m_pages;
    QList<double> m_lefts, m_widths;
    QList<qint64> m_pageSums;
    Totals m_running;
    qint64 m_pageRows = 0;
    double m_y = 0;
};

// The row count and the sums of the summed columns of every row.
Totals totalsOf(const Layout &layout, const RowSource &rows)
{
    Totals totals;
    totals.sums.fill(0, layout.columns.size());
    for (QVariantList row; rows(row); ++totals.rows)
        for (int c = 0; c < layout.columns.size(); ++c)
            if (layout.columns[c].summed)
                totals.sums[c] += summand(layout.columns[c], row.value(c));
    return totals;
}

// A whole A4 sheet as a white image, and a canvas drawing on its printable area.
struct Sheet
{
    explicit Sheet(double dotsPerInch)
        : image(qRound(PageWidthMm * dotsPerInch / 25.4), qRound(PageHeightMm * dotsPerInch / 25.4),
                QImage::Format_RGB32)
    {
        const double dotsPerMm = dotsPerInch / 25.4;
        image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
        image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
        image.fill(Qt::white);
        painter.begin(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(MarginMm * dotsPerMm, MarginMm * dotsPerMm);
        canvas.emplace(painter, dotsPerInch, [] { return false; });
    }
    QImage done()
    {
        canvas.reset();
        painter.end();
        return image;
    }

    QImage image;
    QPainter painter;
    std::optional<PainterCanvas> canvas;
};

// Writes what `draw` draws into a PDF file under a temporary name, renamed over
// `path` when complete. `progress` hears each page begun after the first; when it
// says stop, nothing is written.
QString writePdfWith(const QString &path, const QString &title,
                     const std::function<void(Canvas &)> &draw, const Progress &progress)
{
    // QSaveFile writes beside the target and renames over it only on commit, so
    // a failure leaves the old file as it was and no partial file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法创建文件（文件夹不存在或没有写入权限）。\n") +
               file.errorString();
    QPdfWriter pdf(&file);
    pdf.setTitle(title);
    pdf.setCreator(programName());
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                  QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&pdf))
        return QStringLiteral("无法开始写入 PDF。");
    QString failure;
    bool stopped = false;
    int page = 1;
    try {
        PainterCanvas canvas(painter, pdf.logicalDpiY(), [&] {
            stopped = progress && !progress(page++);
            return !stopped && pdf.newPage();
        });
        draw(canvas);
    } catch (const DbError &e) {
        failure = e.message();
    }
    if (!painter.end() && failure.isEmpty())
        failure = QStringLiteral("写入 PDF 时出错。");
    if (!failure.isEmpty() || stopped)
        return failure; // the temporary file goes with `file`, uncommitted
    if (!file.commit())
        return QStringLiteral("写入文件时出错（磁盘可能已满）。\n") + file.errorString();
    return {};
}

} // namespace

PainterCanvas::PainterCanvas(QPainter &painter, double dotsPerInch, std::function<bool()> nextPage)
    : m_painter(painter), m_dotsPerMm(dotsPerInch / 25.4), m_nextPage(std::move(nextPage))
{
    QPen pen(Qt::black);
    pen.setWidthF(0.2 * m_dotsPerMm);
    m_painter.setPen(pen);
    m_painter.setFont(reportFont(Plain));
}

QRectF PainterCanvas::toDevice(const QRectF &mm) const
{
    return {mm.x() * m_dotsPerMm, mm.y() * m_dotsPerMm, mm.width() * m_dotsPerMm,
            mm.height() * m_dotsPerMm};
}

QFont PainterCanvas::fontFor(const QString &text, double widthMm, Looks looks,
                             Qt::Alignment align) const
{
    QFont font = reportFont(looks);
    if (!(align & (Qt::AlignRight | Qt::AlignHCenter)))
        return font;
    // A figure or a title too wide for its column is drawn smaller, down to 6 pt,
    // rather than cut: a crowded report still shows every amount whole.
    const double room = widthMm * m_dotsPerMm;
    while (font.pointSizeF() > 6 &&
           QFontMetricsF(font, m_painter.device()).horizontalAdvance(text) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

QString PainterCanvas::fitted(const QString &text, double widthMm, Looks looks,
                              Qt::Alignment align) const
{
    return elided(text, widthMm, fontFor(text, widthMm, looks, align));
}

QString PainterCanvas::elided(const QString &text, double widthMm, const QFont &font) const
{
    const QFontMetricsF metrics(font, m_painter.device());
    const double width = widthMm * m_dotsPerMm;
    return metrics.horizontalAdvance(text) > width ? metrics.elidedText(text, Qt::ElideRight, width)
                                                   : text;
}

void PainterCanvas::text(const QRectF &mm, const QString &text, Qt::Alignment align, Looks looks)
{
    if (text.isEmpty())
        return;
    const QRectF rect = toDevice(mm);
    m_painter.save();
    if (looks & Negative)
        m_painter.setPen(Figures::negativeColor());
    if (looks & Title) {
        m_painter.setFont(reportFont(looks));
        m_painter.drawText(rect, int(align), text);
    } else {
        // A value too long for its column is cut with an ellipsis rather than run
        // into the next column.
        const QFont font = fontFor(text, mm.width(), looks, align);
        m_painter.setFont(font);
        m_painter.drawText(rect, int(align | Qt::TextDontClip), elided(text, mm.width(), font));
    }
    m_painter.restore();
}

void PainterCanvas::line(double x1, double y1, double x2, double y2)
{
    m_painter.drawLine(QPointF(x1, y1) * m_dotsPerMm, QPointF(x2, y2) * m_dotsPerMm);
}

Document::Document(Layout layout, Source source, const QDateTime &printedAt)
    : m_layout(std::move(layout)), m_source(std::move(source)), m_printedAt(timeText(printedAt))
{
    m_totals = m_source.totals ? m_source.totals(m_layout) : totalsOf(m_layout, rows());
    m_totals.sums.resize(m_layout.columns.size());
}

int Document::pageCount() const
{
    // The summary takes a row's place after the last row.
    return int(m_totals.rows / RowsPerPage) + 1;
}

RowSource Document::rows(qint64 first, qint64 count) const
{
    return m_source.rows(first, count);
}

void Document::drawPage(int page, Canvas &canvas) const
{
    const QList<QVariantList> pageRows =
        take(rows(qint64(page) * RowsPerPage, RowsPerPage), RowsPerPage);
    Renderer(m_layout, canvas, m_printedAt, pageCount())
        .drawPage(page, pageRows, page == pageCount() - 1 ? &m_totals : nullptr);
}

int Document::drawPages(Canvas &canvas, int first, int last) const
{
    const int end = last < 0 ? pageCount() : std::min(last + 1, pageCount());
    if (first >= end)
        return 0;
    return Renderer(m_layout, canvas, m_printedAt, pageCount())
        .stream(rows(qint64(first) * RowsPerPage), first, end, &m_totals);
}

QImage Document::pageImage(int page, double dotsPerInch) const
{
    Sheet sheet(dotsPerInch);
    drawPage(page, *sheet.canvas);
    return sheet.done();
}

int render(const Layout &layout, const RowSource &rows, Canvas &canvas, const QDateTime &printedAt)
{
    return Renderer(layout, canvas, timeText(printedAt), 0).stream(rows, 0, -1, nullptr);
}

QImage firstPage(const Layout &layout, const RowSource &rows, double dotsPerInch)
{
    Sheet sheet(dotsPerInch);
    render(layout, rows, *sheet.canvas);
    return sheet.done();
}

QString writePdf(const QString &path, const Layout &layout, const RowSource &rows)
{
    return writePdfWith(path, layout.title, [&](Canvas &canvas) { render(layout, rows, canvas); },
                        {});
}

QString writePdf(const QString &path, const Document &document, const Progress &progress)
{
    return writePdfWith(
        path, document.layout().title, [&](Canvas &canvas) { document.drawPages(canvas); },
        progress);
}

QString subtitle(const QString &book, const QStringList &conditions)
{
    return QStringLiteral("帐簿：%1　　%2")
        .arg(book, conditions.isEmpty() ? QStringLiteral("全部记录")
                                        : conditions.join(QStringLiteral("，")));
}

} // namespace Report
