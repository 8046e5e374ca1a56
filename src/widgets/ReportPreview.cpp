#include "widgets/ReportPreview.h"

#include "widgets/MessageBox.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <optional>

namespace {

// Space around the pages, in pixels, and the width of a page in the overview.
constexpr int Gap = 12, ShadowOffset = 3, OverviewWidth = 180;
constexpr double MinZoom = 0.05, MaxZoom = 8.0;

QIcon previewIcon(const char *name)
{
    // The theme's icon where there is one, else the one Qt's own preview shows.
    return QIcon::fromTheme(QLatin1String(name),
                            QIcon(QStringLiteral(":/qt-project.org/dialogs/qprintpreviewdialog/"
                                                 "images/%1-24.png")
                                      .arg(QLatin1String(name))));
}

QString zoomText(double zoom)
{
    return QString::number(std::round(zoom * 1000) / 10) + QLatin1Char('%');
}

// A progress dialog over the pages being printed or written, which 取消 stops.
class PageProgress
{
public:
    PageProgress(QWidget *parent, const QString &label, int pages)
        : m_dialog(label, QStringLiteral("取消"), 0, pages, parent)
    {
        m_dialog.setWindowTitle(Msg::programTitle());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
    }
    Report::Progress callback()
    {
        return [this](int page) {
            m_dialog.setValue(page);
            return !m_dialog.wasCanceled();
        };
    }
    bool wasCanceled() const { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

} // namespace

// ---- the pages ------------------------------------------------------------------

PageView::PageView(const Report::Document &document, QWidget *parent)
    : QAbstractScrollArea(parent), m_document(document)
{
    setObjectName(QStringLiteral("PageView"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

int PageView::columns() const
{
    switch (m_mode) {
    case Mode::Single:
        break;
    case Mode::Facing:
        return 2;
    case Mode::Overview:
        return std::clamp((viewport()->width() - Gap) / (OverviewWidth + Gap), 1, pageCount());
    }
    return 1;
}

QSizeF PageView::pageSize() const
{
    const double perMm = m_zoom * logicalDpiX() / 25.4;
    return {Report::PageWidthMm * perMm, Report::PageHeightMm * perMm};
}

QSize PageView::contentSize() const
{
    const QSizeF page = pageSize();
    const int perRow = columns();
    const int rows = (pageCount() + perRow - 1) / perRow;
    return {int(std::ceil(perRow * (page.width() + Gap) + Gap)),
            int(std::ceil(rows * (page.height() + Gap) + Gap))};
}

QPointF PageView::pageOrigin(int page) const
{
    const QSizeF size = pageSize();
    const int perRow = columns();
    const double centring = std::max(0, (viewport()->width() - contentSize().width()) / 2);
    return {centring + Gap + (page % perRow) * (size.width() + Gap) -
                horizontalScrollBar()->value(),
            Gap + (page / perRow) * (size.height() + Gap) - verticalScrollBar()->value()};
}

int PageView::currentPage() const
{
    return std::max(m_lastCurrent, 0);
}

void PageView::noteCurrentPage()
{
    // The row at the middle of the view.
    const double rowHeight = pageSize().height() + Gap;
    const double middle = verticalScrollBar()->value() + viewport()->height() / 2.0;
    const int perRow = columns();
    const int row = std::clamp(int(middle / rowHeight), 0, (pageCount() - 1) / perRow);
    const int page = row * perRow;
    if (page != m_lastCurrent) {
        m_lastCurrent = page;
        emit currentPageChanged(page);
    }
}

void PageView::showPage(int page)
{
    page = std::clamp(page, 0, pageCount() - 1);
    const double rowHeight = pageSize().height() + Gap;
    verticalScrollBar()->setValue(int((page / columns()) * rowHeight));
    // The last rows cannot come to the top: the page asked for is current anyway.
    if (page != m_lastCurrent) {
        m_lastCurrent = page;
        emit currentPageChanged(page);
    }
}

void PageView::setZoom(double zoom)
{
    m_fit = Fit::None;
    applyZoom(zoom);
}

void PageView::applyZoom(double zoom)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (std::abs(zoom - m_zoom) < 1e-6)
        return;
    const int page = currentPage();
    m_zoom = zoom;
    m_images.clear();
    updateScrollBars();
    showPage(page);
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void PageView::fitWidth()
{
    m_fit = Fit::Width;
    applyFit();
}

void PageView::fitPage()
{
    m_fit = Fit::Page;
    applyFit();
}

void PageView::applyFit()
{
    if (m_fit == Fit::None)
        return;
    const double perMm = logicalDpiX() / 25.4;
    const int perRow = columns();
    const double byWidth =
        (viewport()->width() - (perRow + 1) * Gap) / (perRow * Report::PageWidthMm * perMm);
    const double byHeight = (viewport()->height() - 2 * Gap) / (Report::PageHeightMm * perMm);
    applyZoom(m_fit == Fit::Width ? byWidth : std::min(byWidth, byHeight));
}

void PageView::setMode(Mode mode)
{
    const int page = currentPage();
    m_mode = mode;
    if (mode == Mode::Overview)
        m_fit = Fit::Width;
    m_images.clear();
    applyFit();
    updateScrollBars();
    showPage(page);
    viewport()->update();
}

void PageView::updateScrollBars()
{
    const QSize content = contentSize();
    const QSize shown = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - shown.width()));
    horizontalScrollBar()->setPageStep(shown.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, content.height() - shown.height()));
    verticalScrollBar()->setPageStep(shown.height());
    verticalScrollBar()->setSingleStep(20);
}

const QImage &PageView::imageOf(int page)
{
    auto held = m_images.find(page);
    if (held != m_images.end())
        return *held;
    const double ratio = devicePixelRatioF();
    QImage image;
    try {
        image = m_document.pageImage(page, m_zoom * logicalDpiX() * ratio);
    } catch (const DbError &e) {
        // The sheet says why it is empty; the next time it comes into view it is read again.
        image = QImage((pageSize() * ratio).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.drawText(image.rect().adjusted(20, 20, -20, -20), Qt::TextWordWrap,
                         QStringLiteral("这一页无法读出：\n") + e.message());
        return *m_images.insert(page, image);
    }
    image.setDevicePixelRatio(ratio);
    return *m_images.insert(page, image);
}

void PageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QSizeF size = pageSize();
    const int perRow = columns();
    const double rowHeight = size.height() + Gap;
    const int top = verticalScrollBar()->value();
    const int firstRow = std::max(0, int((top - Gap) / rowHeight));
    const int lastRow = int((top + viewport()->height()) / rowHeight);
    QList<int> shown;
    for (int page = firstRow * perRow; page < std::min(pageCount(), (lastRow + 1) * perRow);
         ++page) {
        const QRectF sheet(pageOrigin(page), size);
        if (!sheet.intersects(viewport()->rect()))
            continue;
        painter.fillRect(sheet.translated(ShadowOffset, ShadowOffset), QColor(0, 0, 0, 90));
        painter.drawImage(sheet, imageOf(page));
        shown << page;
    }
    // Only the pages in view are kept.
    for (auto it = m_images.begin(); it != m_images.end();)
        it = shown.contains(it.key()) ? std::next(it) : m_images.erase(it);
    for (int page : shown)
        emit pageShown(page);
}

void PageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const int page = currentPage();
    applyFit();
    updateScrollBars();
    showPage(page);
}

void PageView::scrollContentsBy(int, int)
{
    noteCurrentPage();
    viewport()->update();
}

void PageView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        showPage(currentPage() + columns());
        return;
    case Qt::Key_PageUp:
        showPage(currentPage() - columns());
        return;
    case Qt::Key_Home:
        showPage(0);
        return;
    case Qt::Key_End:
        showPage(pageCount() - 1);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void PageView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->angleDelta().y() > 0)
            zoomIn();
        else if (event->angleDelta().y() < 0)
            zoomOut();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---- the dialog -----------------------------------------------------------------

ReportPreview::ReportPreview(const Report::Document &document, QWidget *parent)
    : QDialog(parent), m_document(document), m_view(new PageView(document, this))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(document.layout().title);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(m_view, 1);
    connect(m_view, &PageView::currentPageChanged, this, &ReportPreview::showCurrentPage);
    connect(m_view, &PageView::zoomChanged, this, &ReportPreview::showZoom);
    showCurrentPage(0);
    showZoom(m_view->zoom());
    resize(1000, 760);
}

void ReportPreview::present(QWidget *parent, const Report::Document &document)
{
    ReportPreview dialog(document, parent);
    dialog.setWindowState(Qt::WindowMaximized);
    dialog.exec();
}

void ReportPreview::buildToolBar()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setIconSize(QSize(24, 24));
    layout()->addWidget(bar);
    const auto add = [this, bar](const char *name, const char *icon, const QString &text,
                                 auto handler) {
        QAction *action = bar->addAction(previewIcon(icon), text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    m_fits = new QActionGroup(this);
    for (QAction *fit : {add("FitWidth", "zoom-fit-width", QStringLiteral("适应宽度"),
                             [this] { m_view->fitWidth(); }),
                         add("FitPage", "zoom-fit-page", QStringLiteral("适应页面"),
                             [this] { m_view->fitPage(); })}) {
        fit->setCheckable(true);
        m_fits->addAction(fit);
    }
    m_fits->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    bar->addSeparator();
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("ZoomFactor"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setMinimumContentsLength(6);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    for (double z : {12.5, 25.0, 50.0, 75.0, 100.0, 125.0, 150.0, 200.0, 400.0, 800.0})
        m_zoomBox->addItem(zoomText(z / 100));
    connect(m_zoomBox, &QComboBox::textActivated, this, &ReportPreview::zoomToChosen);
    bar->addWidget(m_zoomBox);
    add("ZoomOut", "zoom-out", QStringLiteral("缩小"), [this] { m_view->zoomOut(); });
    add("ZoomIn", "zoom-in", QStringLiteral("放大"), [this] { m_view->zoomIn(); });
    bar->addSeparator();

    add("FirstPage", "go-first", QStringLiteral("第一页"), [this] { m_view->showPage(0); });
    add("PreviousPage", "go-previous", QStringLiteral("上一页"),
        [this] { m_view->showPage(m_view->currentPage() - 1); });
    m_pageBox = new QLineEdit(bar);
    m_pageBox->setObjectName(QStringLiteral("PageNumber"));
    m_pageBox->setAlignment(Qt::AlignRight);
    m_pageBox->setValidator(new QIntValidator(1, m_view->pageCount(), m_pageBox));
    m_pageBox->setFixedWidth(
        m_pageBox->fontMetrics().horizontalAdvance(QString::number(m_view->pageCount())) + 24);
    connect(m_pageBox, &QLineEdit::returnPressed, this, &ReportPreview::goToTypedPage);
    bar->addWidget(m_pageBox);
    auto *count = new QLabel(QStringLiteral(" / %1 ").arg(m_view->pageCount()), bar);
    count->setObjectName(QStringLiteral("PageCount"));
    bar->addWidget(count);
    add("NextPage", "go-next", QStringLiteral("下一页"),
        [this] { m_view->showPage(m_view->currentPage() + 1); });
    add("LastPage", "go-last", QStringLiteral("最后一页"),
        [this] { m_view->showPage(m_view->pageCount() - 1); });
    bar->addSeparator();

    auto *modes = new QActionGroup(this);
    const struct
    {
        const char *name, *icon, *text;
        PageView::Mode mode;
    } views[] = {{"SinglePage", "view-pages-single", "单页显示", PageView::Mode::Single},
                 {"FacingPages", "view-pages-facing", "对页显示", PageView::Mode::Facing},
                 {"AllPages", "view-pages-overview", "显示全部页面概览", PageView::Mode::Overview}};
    for (const auto &v : views) {
        QAction *action = add(v.name, v.icon, QString::fromUtf8(v.text),
                              [this, mode = v.mode] { m_view->setMode(mode); });
        action->setCheckable(true);
        action->setChecked(v.mode == PageView::Mode::Single);
        modes->addAction(action);
    }
    bar->addSeparator();
    add("Print", "printer", QStringLiteral("打印"), &ReportPreview::print);
    bar->addSeparator();
    QAction *pdf = bar->addAction(QStringLiteral("另存为 PDF"));
    pdf->setObjectName(QStringLiteral("SaveAsPdf"));
    connect(pdf, &QAction::triggered, this, &ReportPreview::askAndSaveAsPdf);
}

void ReportPreview::showCurrentPage(int page)
{
    m_pageBox->setText(QString::number(page + 1));
}

void ReportPreview::showZoom(double zoom)
{
    m_zoomBox->setEditText(zoomText(zoom));
    // Zooming by hand ends fitting: the fit buttons go up.
    if (QAction *checked = m_fits->checkedAction(); checked && !m_view->isFitting())
        checked->setChecked(false);
}

void ReportPreview::goToTypedPage()
{
    m_view->showPage(m_pageBox->text().toInt() - 1);
}

void ReportPreview::zoomToChosen()
{
    bool ok = false;
    const double percent = QString(m_zoomBox->currentText()).remove(QLatin1Char('%')).toDouble(&ok);
    if (ok && percent > 0)
        m_view->setZoom(percent / 100);
    else
        showZoom(m_view->zoom());
}

void ReportPreview::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_document.layout().title);
    printer.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait,
        QMarginsF(Report::MarginMm, Report::MarginMm, Report::MarginMm, Report::MarginMm),
        QPageLayout::Millimeter));
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_view->pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool range = printer.printRange() == QPrinter::PageRange;
    printPages(printer, range ? printer.fromPage() - 1 : 0,
               range ? printer.toPage() - 1 : m_view->pageCount() - 1);
}

bool ReportPreview::printPages(QPrinter &printer, int first, int last)
{
    PageProgress progress(this, QStringLiteral("正在打印……"), last - first + 1);
    const Report::Progress heard = progress.callback();
    QPainter painter;
    if (!painter.begin(&printer)) {
        Msg::error(this, QStringLiteral("无法开始打印：打印机不可用。"));
        return false;
    }
    bool stopped = false;
    int done = 0;
    QString failure;
    try {
        Report::PainterCanvas canvas(painter, printer.logicalDpiY(), [&] {
            stopped = !heard(++done);
            return !stopped && printer.newPage();
        });
        m_document.drawPages(canvas, first, last);
    } catch (const DbError &e) {
        failure = e.message();
    }
    if (stopped || !failure.isEmpty())
        printer.abort();
    painter.end();
    if (!failure.isEmpty())
        Msg::error(this, QStringLiteral("打印没有完成：\n") + failure);
    return !stopped && failure.isEmpty();
}

bool ReportPreview::saveAsPdf(const QString &path)
{
    PageProgress progress(this, QStringLiteral("正在保存 PDF 文件……"), m_view->pageCount());
    const QString failure = Report::writePdf(path, m_document, progress.callback());
    if (!failure.isEmpty()) {
        Msg::error(this, QStringLiteral("无法保存 PDF 文件 %1：\n%2")
                             .arg(QDir::toNativeSeparators(path), failure));
        return false;
    }
    return !progress.wasCanceled();
}

void ReportPreview::askAndSaveAsPdf()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("另存为 PDF"), m_document.layout().title + QStringLiteral(".pdf"),
        QStringLiteral("PDF 文件 (*.pdf)"));
    if (!path.isEmpty())
        saveAsPdf(path);
}

namespace Report {

namespace {

Presenter &presenter()
{
    static Presenter instance = ReportPreview::present;
    return instance;
}

} // namespace

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
