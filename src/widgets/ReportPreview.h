#pragma once

#include "core/reports/Report.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QHash>
#include <QImage>

class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;

// The sheets of a report one under another (or side by side), drawn only when
// they come into view: a page's rows are read and drawn as it is shown, and only
// the pages in view are kept as images, so a report of thousands of pages opens
// as fast and as small as one of a single page.
class PageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Mode
    {
        Single,  // one page to a row
        Facing,  // two pages to a row
        Overview // as many small pages to a row as fit
    };

    explicit PageView(const Report::Document &document, QWidget *parent = nullptr);

    int pageCount() const { return m_document.pageCount(); }
    // The page (counted from 0) at the middle of the view.
    int currentPage() const;
    void showPage(int page);
    // 1.0 shows a page at its printed size.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void zoomIn() { setZoom(m_zoom * ZoomStep); }
    void zoomOut() { setZoom(m_zoom / ZoomStep); }
    // Keeps a row of pages as wide as the view, or whole in it, while it is resized.
    void fitWidth();
    void fitPage();
    bool isFitting() const { return m_fit != Fit::None; }
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    // The pages held as images now: those in view.
    QList<int> heldPages() const { return m_images.keys(); }

    static constexpr double ZoomStep = 1.25;

signals:
    void currentPageChanged(int page);
    void zoomChanged(double zoom);
    // A page was drawn into view (for timing the first screen).
    void pageShown(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class Fit
    {
        None,
        Width,
        Page
    };
    int columns() const;
    QSizeF pageSize() const; // in device-independent pixels at the current zoom
    QSize contentSize() const;
    // The top left of the page in the viewport.
    QPointF pageOrigin(int page) const;
    void applyFit();
    // Sets the zoom, keeping the page in view; fitting goes on.
    void applyZoom(double zoom);
    void updateScrollBars();
    const QImage &imageOf(int page);
    void noteCurrentPage();

    const Report::Document &m_document;
    double m_zoom = 1.0;
    Fit m_fit = Fit::None;
    Mode m_mode = Mode::Single;
    int m_lastCurrent = -1;
    QHash<int, QImage> m_images; // of the pages in view, at the current zoom
};

// The print preview of a report: the pages in a PageView under a tool bar that
// fits, zooms and pages through them, shows one, two or many pages to a row,
// prints them (all or a range, page by page) and saves them as PDF.
class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    explicit ReportPreview(const Report::Document &document, QWidget *parent = nullptr);

    // The default presenter of Report::preview: the preview, maximized, modal.
    static void present(QWidget *parent, const Report::Document &document);

    PageView *view() const { return m_view; }
    // Prints pages first..last (counted from 0) on the printer, with a progress
    // dialog that can stop it; false when stopped or failed (said).
    bool printPages(QPrinter &printer, int first, int last);
    // Writes every page into the PDF file, with a progress dialog; a failure is said.
    bool saveAsPdf(const QString &path);

private:
    void buildToolBar();
    void showCurrentPage(int page);
    void showZoom(double zoom);
    void goToTypedPage();
    void zoomToChosen();
    void print();
    void askAndSaveAsPdf();

    const Report::Document &m_document;
    PageView *m_view = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QActionGroup *m_fits = nullptr;
    QLineEdit *m_pageBox = nullptr;
};

namespace Report {

// What a window's "打印" button does: reads the report's count and sums (a
// failure is shown and nothing opens), asks first when it runs to more than
// ManyPages pages, and shows it in a print preview that draws only the pages
// shown, from which it is printed or saved as PDF.
void preview(QWidget *parent, const Layout &layout, const Source &source);

// Tests replace the preview dialog; the presenter gets the document made.
using Presenter = std::function<void(QWidget *parent, const Document &document)>;
void setPresenter(Presenter presenter);

} // namespace Report
