#include "widgets/ChartTabs.h"

#include "core/ledger/Figures.h"
#include "widgets/MessageBox.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

namespace {

enum Tab
{
    BarTab,
    LineTab,
    PieTab
};

// Slices under this share of the whole get no label on the pie: their labels
// would overlap (the legend names them all).
constexpr double MinLabelledShare = 0.03;
// Room the value axis and the margins take beside the plot, in pixels: the plot's
// width before the chart is laid out.
constexpr int AxisRoom = 90;
// What the charts leave around a label along x, in pixels: padding on each side
// of its share of the axis, a margin around its text.
constexpr double LabelPadding = 4, TextMargin = 2;

// Distinct colours for the slices of a pie (colour-blind safe), 其他 in grey.
const QList<QColor> &sliceColours()
{
    static const QList<QColor> colours{
        QColor(0x4E, 0x79, 0xA7), QColor(0xF2, 0x8E, 0x2B), QColor(0xE1, 0x57, 0x59),
        QColor(0x76, 0xB7, 0xB2), QColor(0x59, 0xA1, 0x4F), QColor(0xED, 0xC9, 0x48),
        QColor(0xB0, 0x7A, 0xA1), QColor(0xFF, 0x9D, 0xA7), QColor(0x9C, 0x75, 0x5F)};
    return colours;
}
const QColor OthersColour(0xBA, 0xB0, 0xAC);

void clearChart(QChart *chart)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

// The amount as drawn: yuan.
double drawn(const ChartTabs::Point &p)
{
    return double(p.amount.units()) / Money::Scale;
}

// The labels along x for a plot this wide. A label gets the axis's width shared
// among the labels shown (a label cut to "..." is no label): all of them level
// when each fits its share, else at -45° every so many points, as many as fit.
void fitLabels(QCategoryAxis *x, const std::vector<ChartTabs::Point> &points, double plotWidth)
{
    for (const QString &label : x->categoriesLabels())
        x->remove(label);
    const QFontMetricsF metrics(x->labelsFont());
    double widest = 0;
    for (const ChartTabs::Point &p : points)
        widest = std::max(widest, metrics.horizontalAdvance(p.label) + 2 * TextMargin);
    const std::size_t n = points.size();
    std::size_t every = 1;
    if (plotWidth / double(n + 1) - 2 * LabelPadding < widest) {
        x->setLabelsAngle(-45);
        // A slanted label takes the width of its turned box.
        const double slanted = (widest + metrics.height() + 2 * TextMargin) * M_SQRT1_2 + 1;
        const auto fit = std::size_t(std::max(2.0, plotWidth / (slanted + 2 * LabelPadding)) - 1);
        every = (n + fit - 1) / fit;
    } else {
        x->setLabelsAngle(0);
    }
    for (std::size_t i = 0; i < n; i += every)
        x->append(points[i].label, double(i));
}

// Labels along x under the points, fitted again whenever the plot's width
// changes; the points outlive the axis.
QCategoryAxis *labelAxis(QChart *chart, const std::vector<ChartTabs::Point> *points, int plotWidth)
{
    auto *x = new QCategoryAxis;
    x->setRange(-0.5, double(points->size()) - 0.5);
    x->setStartValue(-0.5);
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setGridLineVisible(false);
    fitLabels(x, *points, plotWidth);
    QObject::connect(
        chart, &QChart::plotAreaChanged, x,
        [x, points, fitted = double(plotWidth)](const QRectF &plot) mutable {
            if (std::abs(plot.width() - fitted) < 1)
                return;
            fitted = plot.width();
            fitLabels(x, *points, fitted);
        },
        Qt::QueuedConnection);
    return x;
}

// Labels along x, values along y from 0 (or the lowest value below 0) with a
// ruled line at each value labelled; `headroom` leaves room above the highest
// value (for the bars' labels).
void attachAxes(QChart *chart, QAbstractSeries *series, const std::vector<ChartTabs::Point> *points,
                int plotWidth, double headroom = 1.0)
{
    QAbstractAxis *x = labelAxis(chart, points, plotWidth);
    double low = 0, high = 0;
    for (const ChartTabs::Point &p : *points) {
        low = std::min(low, drawn(p));
        high = std::max(high, drawn(p));
    }
    auto *y = new QValueAxis;
    y->setRange(low * (low < 0 ? headroom : 1), high > low ? high * headroom : low + 1);
    y->setTickCount(6);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setGridLineVisible(true);
    y->setMinorTickCount(1);
    y->setMinorGridLineColor(QColor(0xEE, 0xEE, 0xEE));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

} // namespace

// The amounts written over (or, below 0, under) the bars, placed again whenever
// the plot moves: level where they fit a bar's width, upright where only the
// height of their digits does, none where bars are thinner still. Its owner
// deletes it before the chart, whose items the labels are.
class BarLabels : public QObject
{
public:
    enum Mode
    {
        Hidden,
        Level,
        Upright
    };

    BarLabels(QChart *chart, QBarSeries *series, const std::vector<ChartTabs::Point> &points)
        : m_chart(chart), m_series(series)
    {
        QFont font = chart->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        const QFontMetricsF metrics(font);
        m_digitHeight = metrics.tightBoundingRect(QStringLiteral("0123456789,-")).height();
        for (const ChartTabs::Point &p : points) {
            const QString text = Figures::wholeMoney(p.amount);
            m_widest = std::max(m_widest, metrics.horizontalAdvance(text));
            auto *label = new QGraphicsSimpleTextItem(text, chart);
            label->setFont(font);
            label->setBrush(p.amount < Money() ? Figures::negativeColor()
                                               : QColor(0x40, 0x40, 0x40));
            label->setZValue(10);
            label->hide();
            m_labels.push_back({label, drawn(p)});
        }
        connect(chart, &QChart::plotAreaChanged, this, &BarLabels::place);
        QTimer::singleShot(0, this, &BarLabels::place);
    }
    ~BarLabels() override
    {
        for (const Label &l : m_labels)
            delete l.item;
    }

    // How the labels go over bars on a plot this wide.
    Mode mode(double plotWidth) const
    {
        const double slot = plotWidth / double(std::max<std::size_t>(m_labels.size(), 1));
        if (m_widest + 4 <= slot)
            return Level;
        return m_digitHeight + 4 <= slot ? Upright : Hidden;
    }

private:
    struct Label
    {
        QGraphicsSimpleTextItem *item;
        double value;
    };
    void place()
    {
        const Mode how = mode(m_chart->plotArea().width());
        for (std::size_t i = 0; i < m_labels.size(); ++i) {
            const Label &l = m_labels[i];
            l.item->setVisible(how != Hidden);
            if (how == Hidden)
                continue;
            l.item->setRotation(how == Upright ? -90 : 0);
            const QPointF end = m_chart->mapToPosition(QPointF(double(i), l.value), m_series);
            const QRectF box = l.item->boundingRect();
            const bool below = l.value < 0;
            if (how == Upright) // turned about its top left: its width runs upwards
                l.item->setPos(end.x() - box.height() / 2,
                               below ? end.y() + 2 + box.width() : end.y() - 2);
            else
                l.item->setPos(end.x() - box.width() / 2,
                               below ? end.y() + 2 : end.y() - 2 - box.height());
        }
    }

    QChart *m_chart;
    QBarSeries *m_series;
    std::vector<Label> m_labels;
    double m_widest = 0, m_digitHeight = 0;
};

ChartTabs::ChartTabs(const QString &title, QWidget *parent)
    : QWidget(parent), m_title(title), m_tabs(new QTabWidget(this)), m_hover(new QLabel(this))
{
    setObjectName(QStringLiteral("ChartTabs"));
    m_hover->setObjectName(QStringLiteral("LabHover"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_hover);
    for (const char *tab : {"柱图", "折线图", "饼图"})
        m_views.push_back(addChartTab(QString::fromUtf8(tab)));
    m_filled.assign(m_views.size(), true);
    connect(m_tabs, &QTabWidget::currentChanged, this, &ChartTabs::fillShownTab);

    auto *save = new QPushButton(QStringLiteral("保存图片"), this);
    save->setObjectName(QStringLiteral("ButSaveChart"));
    save->setToolTip(QStringLiteral("把当前显示的图表保存为 PNG 图片"));
    connect(save, &QPushButton::clicked, this, &ChartTabs::saveChart);
    m_tabs->setCornerWidget(save, Qt::TopRightCorner);
}

QChartView *ChartTabs::addChartTab(const QString &tabTitle)
{
    auto *page = new QWidget(m_tabs);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *chart = new QChart;
    chart->setTitle(m_title);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSize(titleFont.pointSize() + 3);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->hide();
    // The plot takes the whole page: no rounded card, thin margins.
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 8, 4));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    // Values on the axes in the grids' style: "15,000".
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    auto *view = new QChartView(chart, page);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view);
    m_tabs->addTab(page, tabTitle);
    return view;
}

ChartTabs::~ChartTabs()
{
    delete m_barLabels;
}

QChart *ChartTabs::chart(int tab) const
{
    return m_views.at(tab)->chart();
}

void ChartTabs::setPoints(const std::vector<Point> &points)
{
    // The old series go first: their hover handlers point into the old points.
    delete std::exchange(m_barLabels, nullptr);
    for (QChartView *view : m_views)
        clearChart(view->chart());
    m_points = ChartPoints::grouped(points);
    m_slices = ChartPoints::pieSlices(points);
    m_hover->clear();
    m_filled.assign(m_views.size(), false);
    fillShownTab();
}

void ChartTabs::fillShownTab()
{
    const int tab = m_tabs->currentIndex();
    if (tab < 0 || m_filled[tab])
        return;
    m_filled[tab] = true;
    switch (tab) {
    case BarTab:
        fillBar();
        break;
    case LineTab:
        fillLine();
        break;
    case PieTab:
        fillPie();
        break;
    }
}

void ChartTabs::fillBar()
{
    QChart *c = chart(BarTab);
    auto *set = new QBarSet(QStringLiteral("金额"));
    for (const Point &p : m_points)
        set->append(drawn(p));
    auto *series = new QBarSeries;
    series->append(set);
    set->setColor(sliceColours().front());
    series->setBarWidth(0.7);
    connect(set, &QBarSet::hovered, this,
            [this](bool on, int index) { showHover(on ? &m_points.at(index) : nullptr); });
    c->addSeries(series);
    const int plotWidth = m_views[BarTab]->width() - AxisRoom;
    m_barLabels = new BarLabels(c, series, m_points);
    const double headroom[] = {1.0, 1.1, 1.25}; // by how the labels go
    attachAxes(c, series, &m_points, plotWidth, headroom[m_barLabels->mode(plotWidth)]);
}

void ChartTabs::fillLine()
{
    QChart *c = chart(LineTab);
    auto *series = new QLineSeries;
    for (std::size_t i = 0; i < m_points.size(); ++i)
        series->append(double(i), drawn(m_points[i]));
    series->setPointsVisible(m_points.size() <= MaxMarkedPoints);
    QPen pen(sliceColours().front());
    pen.setWidthF(2);
    series->setPen(pen);
    connect(series, &QLineSeries::hovered, this, [this](const QPointF &at, bool on) {
        const long i = std::lround(at.x());
        showHover(on && i >= 0 && std::size_t(i) < m_points.size() ? &m_points[i] : nullptr);
    });
    c->addSeries(series);
    attachAxes(c, series, &m_points, m_views[LineTab]->width() - AxisRoom);
}

void ChartTabs::fillPie()
{
    QChart *c = chart(PieTab);
    auto *series = new QPieSeries;
    series->setPieSize(0.75);
    Money whole;
    for (const Point &p : m_slices)
        whole += std::max(p.amount, Money());
    QStringList legend;
    for (std::size_t i = 0; i < m_slices.size(); ++i) {
        const Point &p = m_slices[i];
        // A pie shows shares: slices of zero or less have no area to draw.
        const Money area = std::max(p.amount, Money());
        const QString share = Figures::percent(Figures::ratio(area, whole));
        QPieSlice *slice = series->append(p.label, drawn({p.label, area}));
        slice->setColor(p.label == QStringLiteral("其他") && i + 1 == m_slices.size()
                            ? OthersColour
                            : sliceColours().at(int(i % sliceColours().size())));
        slice->setBorderColor(Qt::white);
        slice->setLabelVisible(double(area.units()) > double(whole.units()) * MinLabelledShare);
        legend << p.label + QStringLiteral("  ") + share;
        connect(slice, &QPieSlice::hovered, this, [this, slice, &p](bool on) {
            slice->setExploded(on);
            showHover(on ? &p : nullptr);
        });
    }
    c->addSeries(series);
    // Each slice's share on the pie and, with its name, in the legend.
    const QList<QLegendMarker *> markers = c->legend()->markers(series);
    for (int i = 0; i < markers.size() && i < legend.size(); ++i) {
        markers[i]->setLabel(legend[i]);
        series->slices().at(i)->setLabel(legend[i].section(QStringLiteral("  "), -1));
    }
    c->legend()->setAlignment(Qt::AlignRight);
    c->legend()->show();
}

void ChartTabs::showHover(const Point *point)
{
    if (!point) {
        m_hover->clear();
        QToolTip::hideText();
        return;
    }
    m_hover->setText(point->label + QStringLiteral("：") + Figures::money(point->amount));
    QToolTip::showText(QCursor::pos(), m_hover->text(), this);
}

QString ChartTabs::hoverText() const
{
    return m_hover->text();
}

bool ChartTabs::saveShownChart(const QString &path) const
{
    return m_views.at(m_tabs->currentIndex())->grab().save(path, "PNG");
}

void ChartTabs::saveChart()
{
    const QString suggested = m_title + QLatin1Char('-') + m_tabs->tabText(m_tabs->currentIndex()) +
                              QStringLiteral(".png");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存图片"), suggested,
                                                      QStringLiteral("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (!saveShownChart(path))
        Msg::error(this, QStringLiteral("无法保存图片：") + path);
}
