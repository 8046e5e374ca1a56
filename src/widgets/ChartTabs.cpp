#include "widgets/ChartTabs.h"

#include "widgets/MessageBox.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTabWidget>
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

// Slices under this share of the whole get no label: their labels would overlap.
constexpr double MinLabelledShare = 0.02;
constexpr std::size_t MaxLevelLabels = 6, MaxAxisLabels = 30;
// Room a level label such as "2024年第19周" takes along the axis, in pixels.
constexpr int LevelLabelWidth = 110;

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

// Labels along x: every point's, turned on their side beyond a few; beyond
// MaxAxisLabels points, level labels every so many points, as many as the chart's
// width holds (a label under each of a hundred bars would be cut to nothing).
QAbstractAxis *labelAxis(const std::vector<ChartTabs::Point> &points, int width)
{
    if (points.size() <= MaxAxisLabels) {
        auto *x = new QBarCategoryAxis;
        for (const ChartTabs::Point &p : points)
            x->append(p.label);
        x->setLabelsAngle(points.size() > MaxLevelLabels ? -90 : 0);
        return x;
    }
    auto *x = new QCategoryAxis;
    x->setRange(-0.5, double(points.size()) - 0.5);
    x->setStartValue(-0.5);
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const std::size_t fit = std::max(2, width / LevelLabelWidth);
    const std::size_t every = (points.size() + fit - 1) / fit;
    for (std::size_t i = 0; i < points.size(); i += every)
        x->append(points[i].label, double(i));
    return x;
}

// Labels along x, values along y from 0 (or the lowest value below 0).
void attachAxes(QChart *chart, QAbstractSeries *series, const std::vector<ChartTabs::Point> &points,
                int width)
{
    QAbstractAxis *x = labelAxis(points, width);
    double low = 0, high = 0;
    for (const ChartTabs::Point &p : points) {
        low = std::min(low, drawn(p));
        high = std::max(high, drawn(p));
    }
    auto *y = new QValueAxis;
    y->setRange(low, high > low ? high : low + 1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

} // namespace

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
    connect(save, &QPushButton::clicked, this, &ChartTabs::ButSaveChartClick);
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
    auto *view = new QChartView(chart, page);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view);
    m_tabs->addTab(page, tabTitle);
    return view;
}

QChart *ChartTabs::chart(int tab) const
{
    return m_views.at(tab)->chart();
}

void ChartTabs::setPoints(const std::vector<Point> &points)
{
    // The old series go first: their hover handlers point into the old points.
    for (QChartView *view : m_views)
        clearChart(view->chart());
    m_points = ChartPoints::grouped(points);
    m_slices = ChartPoints::grouped(points, ChartPoints::PieSlices);
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
    connect(set, &QBarSet::hovered, this,
            [this](bool on, int index) { showHover(on ? &m_points.at(index) : nullptr); });
    c->addSeries(series);
    attachAxes(c, series, m_points, m_views[BarTab]->width());
}

void ChartTabs::fillLine()
{
    QChart *c = chart(LineTab);
    auto *series = new QLineSeries;
    for (std::size_t i = 0; i < m_points.size(); ++i)
        series->append(double(i), drawn(m_points[i]));
    series->setPointsVisible(m_points.size() <= MaxMarkedPoints);
    connect(series, &QLineSeries::hovered, this, [this](const QPointF &at, bool on) {
        const long i = std::lround(at.x());
        showHover(on && i >= 0 && std::size_t(i) < m_points.size() ? &m_points[i] : nullptr);
    });
    c->addSeries(series);
    attachAxes(c, series, m_points, m_views[LineTab]->width());
}

void ChartTabs::fillPie()
{
    QChart *c = chart(PieTab);
    auto *series = new QPieSeries;
    double whole = 0;
    for (const Point &p : m_slices)
        whole += std::max(drawn(p), 0.0);
    for (const Point &p : m_slices) {
        // A pie shows shares: slices of zero or less have no area to draw.
        const double value = std::max(drawn(p), 0.0);
        QPieSlice *slice = series->append(p.label, value);
        slice->setLabelVisible(value > whole * MinLabelledShare);
        connect(slice, &QPieSlice::hovered, this, [this, slice, &p](bool on) {
            slice->setExploded(on);
            showHover(on ? &p : nullptr);
        });
    }
    c->addSeries(series);
}

void ChartTabs::showHover(const Point *point)
{
    if (!point) {
        m_hover->clear();
        QToolTip::hideText();
        return;
    }
    m_hover->setText(point->label + QStringLiteral("：") + point->amount.toGrouped());
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

void ChartTabs::ButSaveChartClick()
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
