#pragma once

#include "reports/RowSource.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <functional>

class QPainter;
class QWidget;

// The printed report shared by every window with a "打印" button: a small banded
// renderer on A4 portrait with 10 mm margins. Every page has a header (title,
// page number, print time, column titles in a ruled frame) and a footer (the
// page's row count and sums, the program's name); one ruled band per row; a
// summary band with the overall count and sums after the last row.
namespace Report {

enum class Kind
{
    Text,  // printed as stored, left-aligned
    Key,   // the row's key, right-aligned
    Money, // stored amount units: "1,234.50", right-aligned
    Count, // a whole number, right-aligned
    Ratio  // stored amount units: "45.20" (no separators), right-aligned
};

struct Column
{
    QString title;
    Kind kind = Kind::Text;
    bool summed = false;
    // 0: the usual grid (the first column 9 mm, the last the rest, the others 24 mm).
    double widthMm = 0;
};

struct Layout
{
    QString title;
    QList<Column> columns; // one value per column in every row, in this order
};

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
                      bool isTitle = false) = 0;
    virtual void line(double x1, double y1, double x2, double y2) = 0;
};

// A canvas over a painter on a device of the given resolution, whose origin is
// the printable area's top left.
class PainterCanvas : public Canvas
{
public:
    PainterCanvas(QPainter &painter, double dotsPerInch, std::function<bool()> nextPage);
    bool newPage() override { return m_nextPage(); }
    void text(const QRectF &mm, const QString &text, Qt::Alignment align, bool isTitle) override;
    void line(double x1, double y1, double x2, double y2) override;

private:
    QRectF toDevice(const QRectF &mm) const;

    QPainter &m_painter;
    double m_dotsPerMm;
    std::function<bool()> m_nextPage;
};

// Draws the report of every row onto the canvas; returns the number of pages.
int render(const Layout &layout, const RowSource &rows, Canvas &canvas,
           const QDateTime &printedAt = QDateTime::currentDateTime());

// The first page alone as an image (for looking at a report without a printer).
QImage firstPage(const Layout &layout, const RowSource &rows, double dotsPerInch = 120);

// Writes the report as a PDF file: under a temporary name in the same folder,
// renamed over `path` only when complete, so that a failure leaves whatever was
// there untouched. Returns an empty string, or why the file was not written.
QString writePdf(const QString &path, const Layout &layout, const RowSource &rows);

// Runs the report's statement; throws DbError when it fails.
using RowsOpener = std::function<RowSource()>;

// What a window's "打印" button does: runs the statement now (a failure is shown
// and nothing opens) and shows the report in a print preview, from which it is
// printed, set up, zoomed or saved as PDF. The statement runs again whenever the
// preview lays the pages out anew.
void preview(QWidget *parent, const Layout &layout, const RowsOpener &open);

// Tests replace the preview dialog; the presenter gets the rows already read.
using Presenter =
    std::function<void(QWidget *parent, const Layout &, RowSource first, const RowsOpener &)>;
void setPresenter(Presenter presenter);

} // namespace Report
