#include "reports/Report.h"

#include "data/Money.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSaveFile>
#include <QToolBar>
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

// Lays rows out into pages and draws them as it goes, so that only the row being
// drawn and the running sums are held.
class Renderer
{
public:
    Renderer(const Layout &layout, Canvas &canvas, const QDateTime &printedAt)
        : m_layout(layout), m_canvas(canvas),
          m_printedAt(printedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
          m_pageSums(layout.columns.size(), 0), m_totalSums(layout.columns.size(), 0)
    {
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

    int run(const RowSource &rows)
    {
        startPage();
        QVariantList row;
        while (rows(row)) {
            if (m_y + RowHeight > FooterTop && !nextPage())
                return m_page;
            drawRow(row);
        }
        if (m_y + RowHeight > FooterTop && !nextPage())
            return m_page;
        drawSums(QStringLiteral("合计 %1").arg(m_totalRows), m_totalSums, m_y);
        finishPage();
        return m_page;
    }

private:
    bool nextPage()
    {
        finishPage();
        if (!m_canvas.newPage())
            return false;
        startPage();
        return true;
    }

    void startPage()
    {
        ++m_page;
        m_pageRows = 0;
        m_pageSums.fill(0);
        m_canvas.text({0, 0, PrintableWidthMm, TitleHeight}, m_layout.title, Qt::AlignCenter, true);
        const QRectF info(Padding, TitleHeight, PrintableWidthMm - 2 * Padding, InfoHeight);
        m_canvas.text(info, QStringLiteral("页数 %1").arg(m_page),
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
                const qint64 n = column.kind == Kind::Money || column.kind == Kind::Ratio
                                     ? Money::fromVariant(value).units()
                                     : value.toLongLong();
                m_pageSums[c] += n;
                m_totalSums[c] += n;
            }
            m_canvas.text(cell(c, m_y, RowHeight), shown(column.kind, value), alignment(column));
        }
        drawRules(m_y, m_y + RowHeight);
        m_y += RowHeight;
        ++m_pageRows;
        ++m_totalRows;
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
            const bool isMoney = column.kind == Kind::Money || column.kind == Kind::Ratio;
            m_canvas.text(cell(c, y, RowHeight),
                          isMoney ? money(sums[c], column.kind == Kind::Money)
                                  : QString::number(sums[c]),
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
    QList<qint64> m_pageSums, m_totalSums;
    int m_page = 0;
    qint64 m_pageRows = 0, m_totalRows = 0;
    double m_y = 0;
};

void setUpPrinter(QPrinter &printer, const QString &title)
{
    printer.setDocName(title);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                      QPageLayout::Millimeter));
}

// Draws the report on a paged device (printer or PDF) with a fresh painter.
void renderOn(QPagedPaintDevice &device, const Layout &layout, const RowSource &rows)
{
    QPainter painter(&device);
    PainterCanvas canvas(painter, device.logicalDpiY(), [&device] { return device.newPage(); });
    render(layout, rows, canvas);
}

void saveAsPdf(QWidget *parent, const Layout &layout, const RowsOpener &open)
{
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("另存为 PDF"),
                                                      layout.title + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    RowSource rows;
    try {
        rows = open();
    } catch (const DbError &e) {
        Msg::error(parent, e.message());
        return;
    }
    const QString failure = writePdf(path, layout, rows);
    if (!failure.isEmpty())
        Msg::error(parent, QStringLiteral("无法保存 PDF 文件 %1：\n%2")
                               .arg(QDir::toNativeSeparators(path), failure));
}

void showPreviewDialog(QWidget *parent, const Layout &layout, RowSource first,
                       const RowsOpener &open)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, layout.title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(layout.title);
    dialog.setWindowState(Qt::WindowMaximized);
    std::optional<RowSource> pending = std::move(first);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter *target) {
        try {
            const RowSource rows = pending ? *std::exchange(pending, {}) : open();
            renderOn(*target, layout, rows);
        } catch (const DbError &e) {
            Msg::error(&dialog, e.message());
        }
    });
    if (auto *toolBar = dialog.findChild<QToolBar *>()) {
        toolBar->addSeparator();
        QAction *pdf = toolBar->addAction(QStringLiteral("另存为 PDF"));
        pdf->setObjectName(QStringLiteral("SaveAsPdf"));
        QObject::connect(pdf, &QAction::triggered, &dialog,
                         [&] { saveAsPdf(&dialog, layout, open); });
    }
    if (auto *view = dialog.findChild<QPrintPreviewWidget *>())
        view->setZoomFactor(1.0);
    dialog.exec();
}

Presenter &presenter()
{
    static Presenter instance = showPreviewDialog;
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

int render(const Layout &layout, const RowSource &rows, Canvas &canvas, const QDateTime &printedAt)
{
    return Renderer(layout, canvas, printedAt).run(rows);
}

QImage firstPage(const Layout &layout, const RowSource &rows, double dotsPerInch)
{
    const double dotsPerMm = dotsPerInch / 25.4;
    QImage image(qRound(PageWidthMm * dotsPerMm), qRound(PageHeightMm * dotsPerMm),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(MarginMm * dotsPerMm, MarginMm * dotsPerMm);
    PainterCanvas canvas(painter, dotsPerInch, [] { return false; });
    render(layout, rows, canvas);
    return image;
}

QString writePdf(const QString &path, const Layout &layout, const RowSource &rows)
{
    // QSaveFile writes beside the target and renames over it only on commit, so
    // a failure leaves the old file as it was and no partial file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法创建文件（文件夹不存在或没有写入权限）。\n") +
               file.errorString();
    QPdfWriter pdf(&file);
    pdf.setTitle(layout.title);
    pdf.setCreator(Msg::programTitle());
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                  QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&pdf))
        return QStringLiteral("无法开始写入 PDF。");
    QString failure;
    try {
        PainterCanvas canvas(painter, pdf.logicalDpiY(), [&pdf] { return pdf.newPage(); });
        render(layout, rows, canvas);
    } catch (const DbError &e) {
        failure = e.message();
    }
    if (!painter.end() && failure.isEmpty())
        failure = QStringLiteral("写入 PDF 时出错。");
    if (!failure.isEmpty())
        return failure; // the temporary file goes with `file`, uncommitted
    if (!file.commit())
        return QStringLiteral("写入文件时出错（磁盘可能已满）。\n") + file.errorString();
    return {};
}

void preview(QWidget *parent, const Layout &layout, const RowsOpener &open)
{
    RowSource first;
    try {
        first = open();
    } catch (const DbError &e) {
        Msg::error(parent, e.message());
        return;
    }
    presenter()(parent, layout, std::move(first), open);
}

void setPresenter(Presenter p)
{
    presenter() = p ? std::move(p) : Presenter(showPreviewDialog);
}

} // namespace Report
