#pragma once

#include "core/ledger/Figures.h"
#include "core/reports/RowSource.h"
#include "data/Sql.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <functional>

class QPainter;
class QWidget;

// The printed report shared by every window with a "打印" button: a small banded
// renderer on A4 portrait with 10 mm margins. Every page has a header (title, a
// subtitle with the book and the conditions, "第 x 页 / 共 N 页", the print time,
// column titles in a ruled frame) and a footer (the page's row count and sums,
// left out when the report has one page; the program's name); one ruled band per
// row; after the last row the overall count and sums in bold above a double rule.
// Figures are printed as the grids show them, negative ones in red.
namespace Report {

enum class Kind
{
    Text,      // printed as stored, left-aligned
    RowNumber, // the row's place in the report, 1, 2, 3...: whatever the row holds there
    Money,     // stored amount units: "1,234.50", right-aligned
    Count,     // a whole number: "12,345", right-aligned
    Ratio      // stored amount units as a percentage: "75.0%", right-aligned
};

struct Column
{
    QString title;
    Kind kind = Kind::Text;
    bool summed = false;
    // 0: the usual grid (a row number column wide enough for six digits, the
    // last column the rest, counts 16 mm, ratios 18 mm, the others 24 mm; all
    // but the row numbers shrunk alike when together wider than the page).
    double widthMm = 0;
    // A ratio column whose totals are the ratio of two summed columns' totals
    // (expense over income): their places; unset for others.
    Figures::Share share = {};
};

struct Layout
{
    QString title;
    QList<Column> columns; // one value per column in every row, in this order
    QString subtitle{};    // under the title: the book, the period and the conditions
};

// "帐簿：<book>　　<conditions joined>", or "全部记录" for no conditions.
QString subtitle(const QString &book, const QStringList &conditions);

// How a text is drawn.
enum Look
{
    Plain = 0,
    Title = 1,    // large and bold
    Small = 2,    // a subtitle
    Bold = 4,     // the report's total
    Negative = 8, // a figure below zero, in red
};
Q_DECLARE_FLAGS(Looks, Look)

// Page geometry, in millimetres.
constexpr double PageWidthMm = 210, PageHeightMm = 297, MarginMm = 10;
constexpr double PrintableWidthMm = PageWidthMm - 2 * MarginMm;
constexpr double PrintableHeightMm = PageHeightMm - 2 * MarginMm;

// Where a report is drawn, in millimetres from the top left of the printable area.
class Canvas
{
public:
    virtual ~Canvas() = default;
    // Starts the next page (not called for the first); false stops the report there.
    virtual bool newPage() = 0;
    virtual void text(const QRectF &mm, const QString &text, Qt::Alignment align,
                      Looks looks = Plain) = 0;
    virtual void line(double x1, double y1, double x2, double y2) = 0;
};

// A canvas over a painter on a device of the given resolution, whose origin is
// the printable area's top left.
class PainterCanvas : public Canvas
{
public:
    PainterCanvas(QPainter &painter, double dotsPerInch, std::function<bool()> nextPage);
    bool newPage() override { return m_nextPage(); }
    void text(const QRectF &mm, const QString &text, Qt::Alignment align, Looks looks) override;
    void line(double x1, double y1, double x2, double y2) override;
    // The text as drawn in a box of that width: whole, or cut with an ellipsis.
    // Right-aligned or centred (a figure, a title), it is first drawn smaller where
    // that lets it fit.
    QString fitted(const QString &text, double widthMm, Looks looks = Plain,
                   Qt::Alignment align = Qt::AlignLeft) const;

private:
    QRectF toDevice(const QRectF &mm) const;
    QFont fontFor(const QString &text, double widthMm, Looks looks, Qt::Alignment align) const;
    QString elided(const QString &text, double widthMm, const QFont &font) const;

    QPainter &m_painter;
    double m_dotsPerMm;
    std::function<bool()> m_nextPage;
};

// Rows that fit a page between its header and its footer.
constexpr int RowsPerPage = 35;

// What the last page sums up: the count of every row and, per column, the sum of
// a summed column (0 under the others).
struct Totals
{
    qint64 rows = 0;
    QList<qint64> sums;
};

// A report's rows, read by their place in it, so that a page is found by its
// number and only its rows are read.
struct Source
{
    // The rows from the first'th on (counting from 0), at most count of them, all
    // the rest when count is negative. Throws DbError.
    std::function<RowSource(qint64 first, qint64 count)> rows;
    // The count and the sums, reckoned by the source; when empty, every row is
    // read once to sum it. Throws DbError.
    std::function<Totals(const Layout &)> totals{};
};

// The rows of `fields` of a table that `where` selects (" where BName=? and ..."),
// in the order of their key ID. The keys that begin each page are read once, on
// the first page asked for; each page then reads its own rows only.
Source tableRows(const QString &table, const QStringList &fields, const Sql &where);

// A report ready to be drawn page by page: its count and sums are known, so any
// page can be drawn alone, and printing or saving reads the rows once, in order.
class Document
{
public:
    // Reads the count and the sums; throws DbError.
    Document(Layout layout, Source source,
             const QDateTime &printedAt = QDateTime::currentDateTime());

    const Layout &layout() const { return m_layout; }
    const Totals &totals() const { return m_totals; }
    int pageCount() const;
    // The rows, as the source gives them (all of them by default). Throws DbError.
    RowSource rows(qint64 first = 0, qint64 count = -1) const;
    // Draws the page (counted from 0) on the canvas's current page. Throws DbError.
    void drawPage(int page, Canvas &canvas) const;
    // Draws the pages first..last (inclusive; -1: to the end) one after another,
    // reading their rows in one pass; returns the pages drawn (fewer when the
    // canvas refused a new page). Throws DbError.
    int drawPages(Canvas &canvas, int first = 0, int last = -1) const;
    // The page as an image of the whole sheet at the given resolution.
    QImage pageImage(int page, double dotsPerInch) const;

private:
    Layout m_layout;
    Source m_source;
    Totals m_totals;
    QString m_printedAt;
};

// Draws the report of every row onto the canvas; returns the number of pages.
int render(const Layout &layout, const RowSource &rows, Canvas &canvas,
           const QDateTime &printedAt = QDateTime::currentDateTime());

// The first page alone as an image (for looking at a report without a printer).
QImage firstPage(const Layout &layout, const RowSource &rows, double dotsPerInch = 120);

// Hears each page as it is written (counted from 1); false stops the writing.
using Progress = std::function<bool(int page)>;

// Writes the report as a PDF file: under a temporary name in the same folder,
// renamed over `path` only when complete, so that a failure leaves whatever was
// there untouched. Returns an empty string, or why the file was not written.
QString writePdf(const QString &path, const Layout &layout, const RowSource &rows);
// The same for a document, page by page; stopped by `progress`, nothing is
// written and an empty string is returned.
QString writePdf(const QString &path, const Document &document, const Progress &progress = {});

// A report of more pages than this is previewed only once the user says so.
constexpr int ManyPages = 1000;

} // namespace Report

Q_DECLARE_OPERATORS_FOR_FLAGS(Report::Looks)
