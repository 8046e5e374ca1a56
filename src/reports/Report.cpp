#include "reports/Report.h"

#include "data/Money.h"
#include "data/Sql.h"
#include "reports/ReportPreview.h"
#include "widgets/MessageBox.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <optional>

namespace Report {
namespace {

// Band heights and the grid, in millimetres.
constexpr double TitleHeight = 9, InfoHeight = 6, HeaderHeight = 22, RowHeight = 7;
constexpr double FooterHeight = 7, FooterTop = PrintableHeightMm - FooterHeight;
constexpr double KeyWidth = 9, ColumnWidth = 24, Padding = 2, TitlePadding = 0.5;

QFont reportFont(bool isTitle)
{
    // Families that hold Chinese first; Arial's look otherwise. WenQuanYi Micro Hei
    // leads because a saved PDF must give its text back: Noto CJK draws 支, 人,
    // 食... with the same glyphs as the Kangxi radicals ⽀, ⼈, ⻝, and the PDF's
    // map from glyphs back to characters then names the radicals, so that a
    // search or a copy of the report finds other characters than it shows.
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Arial")});
    font.setPointSizeF(isTitle ? 14 : 10);
    font.setBold(isTitle);
    return font;
}

bool rightAligned(Kind kind)
{
    return kind != Kind::Text;
}

bool isMoney(Kind kind)
{
    return kind == Kind::Money || kind == Kind::Ratio;
}

// What a value adds to its column's sum.
qint64 summand(const Column &column, const QVariant &value)
{
    return isMoney(column.kind) ? Money::fromVariant(value).units() : value.toLongLong();
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

QString timeText(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString money(qint64 units, bool grouped)
{
    const QString text = Money::fromUnits(units).toGrouped();
    return grouped ? text : QString(text).remove(QLatin1Char(','));
}

QString shown(Kind kind, const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (kind) {
    case Kind::Money:
        return money(Money::fromVariant(value).units(), true);
    case Kind::Ratio:
        return money(Money::fromVariant(value).units(), false);
    default:
        return value.toString();
    }
}

// Lays rows out into pages and draws them page by page, so that only the rows of
// the page being drawn and the running sums are held.
class Renderer
{
public:
    Renderer(const Layout &layout, Canvas &canvas, const QString &printedAt)
        : m_layout(layout), m_canvas(canvas), m_printedAt(printedAt),
          m_pageSums(layout.columns.size(), 0)
    {
        m_running.sums.fill(0, layout.columns.size());
        double left = 0;
        for (int c = 0; c < layout.columns.size(); ++c) {
            const bool last = c == layout.columns.size() - 1;
            double width = layout.columns[c].widthMm;
            if (width <= 0)
                width = last ? PrintableWidthMm - left : (c == 0 ? KeyWidth : ColumnWidth);
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
        for (const QVariantList &row : rows)
            drawRow(row);
        if (summary)
            drawSums(QStringLiteral("合计 %1").arg(summary->rows), summary->sums, m_y);
        finishPage();
    }

private:
    void startPage(int number)
    {
        m_pageRows = 0;
        m_pageSums.fill(0);
        m_canvas.text({0, 0, PrintableWidthMm, TitleHeight}, m_layout.title, Qt::AlignCenter, true);
        const QRectF info(Padding, TitleHeight, PrintableWidthMm - 2 * Padding, InfoHeight);
        m_canvas.text(info, QStringLiteral("页数 %1").arg(number),
                      Qt::AlignLeft | Qt::AlignVCenter);
        m_canvas.text(info, m_printedAt, Qt::AlignRight | Qt::AlignVCenter);
        const double top = TitleHeight + InfoHeight;
        m_canvas.line(0, top, PrintableWidthMm, top);
        // Titles may use the whole column: "序号" is wider than the key column's values.
        for (int c = 0; c < m_layout.columns.size(); ++c)
            m_canvas.text({m_lefts[c] + TitlePadding, top, m_widths[c] - 2 * TitlePadding,
                           HeaderHeight - top},
                          m_layout.columns[c].title, Qt::AlignCenter);
        drawRules(top, HeaderHeight);
        m_y = HeaderHeight;
    }

    void drawRow(const QVariantList &row)
    {
        for (int c = 0; c < m_layout.columns.size(); ++c) {
            const Column &column = m_layout.columns[c];
            const QVariant value = c < row.size() ? row[c] : QVariant();
            if (column.summed) {
                const qint64 n = summand(column, value);
                m_pageSums[c] += n;
                m_running.sums[c] += n;
            }
            m_canvas.text(cell(c, m_y, RowHeight), shown(column.kind, value), alignment(column));
        }
        drawRules(m_y, m_y + RowHeight);
        m_y += RowHeight;
        ++m_pageRows;
        ++m_running.rows;
    }

    // The label from the left edge up to the first summed column, then the sums.
    void drawSums(const QString &label, const QList<qint64> &sums, double y)
    {
        double labelEnd = PrintableWidthMm;
        for (int c = m_layout.columns.size() - 1; c >= 0; --c) {
            const Column &column = m_layout.columns[c];
            if (!column.summed)
                continue;
            labelEnd = m_lefts[c];
            m_canvas.text(cell(c, y, RowHeight),
                          isMoney(column.kind) ? money(sums.value(c), column.kind == Kind::Money)
                                               : QString::number(sums.value(c)),
                          alignment(column));
        }
        m_canvas.text({Padding, y, labelEnd - Padding, RowHeight}, label,
                      Qt::AlignLeft | Qt::AlignVCenter);
    }

    void finishPage()
    {
        m_canvas.line(0, FooterTop, PrintableWidthMm, FooterTop);
        drawSums(QStringLiteral("本页合计 %1").arg(m_pageRows), m_pageSums, FooterTop);
        m_canvas.text({0, FooterTop, PrintableWidthMm - Padding, FooterHeight}, Msg::programTitle(),
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
    pdf.setCreator(Msg::programTitle());
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

Presenter &presenter()
{
    static Presenter instance = ReportPreview::present;
    return instance;
}

} // namespace

PainterCanvas::PainterCanvas(QPainter &painter, double dotsPerInch, std::function<bool()> nextPage)
    : m_painter(painter), m_dotsPerMm(dotsPerInch / 25.4), m_nextPage(std::move(nextPage))
{
    QPen pen(Qt::black);
    pen.setWidthF(0.2 * m_dotsPerMm);
    m_painter.setPen(pen);
    m_painter.setFont(reportFont(false));
}

QRectF PainterCanvas::toDevice(const QRectF &mm) const
{
    return {mm.x() * m_dotsPerMm, mm.y() * m_dotsPerMm, mm.width() * m_dotsPerMm,
            mm.height() * m_dotsPerMm};
}

void PainterCanvas::text(const QRectF &mm, const QString &text, Qt::Alignment align, bool isTitle)
{
    if (text.isEmpty())
        return;
    const QRectF rect = toDevice(mm);
    if (isTitle) {
        m_painter.save();
        m_painter.setFont(reportFont(true));
        m_painter.drawText(rect, int(align), text);
        m_painter.restore();
        return;
    }
    // A value too long for its column is cut with an ellipsis rather than run
    // into the next column.
    const QFontMetricsF metrics(m_painter.font(), m_painter.device());
    const QString fitted = metrics.horizontalAdvance(text) > rect.width()
                               ? metrics.elidedText(text, Qt::ElideRight, rect.width())
                               : text;
    m_painter.drawText(rect, int(align | Qt::TextDontClip), fitted);
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
    Renderer(m_layout, canvas, m_printedAt)
        .drawPage(page, pageRows, page == pageCount() - 1 ? &m_totals : nullptr);
}

int Document::drawPages(Canvas &canvas, int first, int last) const
{
    const int end = last < 0 ? pageCount() : std::min(last + 1, pageCount());
    if (first >= end)
        return 0;
    return Renderer(m_layout, canvas, m_printedAt)
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
    return Renderer(layout, canvas, timeText(printedAt)).stream(rows, 0, -1, nullptr);
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

void preview(QWidget *parent, const Layout &layout, const Source &source)
{
    std::optional<Document> document;
    try {
        document.emplace(layout, source);
    } catch (const DbError &e) {
        Msg::error(parent, e.message());
        return;
    }
    const int pages = document->pageCount();
    if (pages > ManyPages &&
        !Msg::ask(
            parent, QStringLiteral("打印"),
            QStringLiteral("该报表共有 %1 页，要打开打印预览吗？").arg(QLocale().toString(pages))))
        return;
    presenter()(parent, *document);
}

void setPresenter(Presenter p)
{
    presenter() = p ? std::move(p) : Presenter(ReportPreview::present);
}

} // namespace Report
