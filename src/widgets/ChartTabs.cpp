#include "widgets/ChartTabs.h"

#include "widgets/MessageBox.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
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

// Slice labels crowd a pie beyond this many slices; hovering still shows each one.
constexpr std::size_t MaxLabelledSlices = 12;
// Slices under this share of the whole get no label: their labels would overlap.
constexpr double MinLabelledShare = 0.02;
constexpr std::size_t MaxLevelLabels = 6;

void clearChart(QChart *chart)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

// Category labels along x, values along y from 0 (or the lowest value below 0).
void attachAxes(QChart *chart, QAbstractSeries *series, const std::vector<ChartTabs::Point> &points)
{
    auto *x = new QBarCategoryAxis;
    double low = 0, high = 0;
    for (const ChartTabs::Point &p : points) {
        x->append(p.label);
        low = std::min(low, p.value);
        high = std::max(high, p.value);
    }
    // Beyond a few points, labels such as "2008-01" only fit turned on their side.
    x->setLabelsAngle(points.size() > MaxLevelLabels ? -90 : 0);
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
    m_points = points;
    m_hover->clear();
    fillBar(points);
    fillLine(points);
    fillPie(points);
}

void ChartTabs::fillBar(const std::vector<Point> &points)
{
    QChart *c = chart(BarTab);
    clearChart(c);
    auto *set = new QBarSet(QStringLiteral("金额"));
    for (const Point &p : points)
        set->append(p.value);
    auto *series = new QBarSeries;
    series->append(set);
    connect(set, &QBarSet::hovered, this, [this](bool on, int index) { showHover(index, on); });
    c->addSeries(series);
    attachAxes(c, series, points);
}

void ChartTabs::fillLine(const std::vector<Point> &points)
{
    QChart *c = chart(LineTab);
    clearChart(c);
    auto *series = new QLineSeries;
    for (std::size_t i = 0; i < points.size(); ++i)
        series->append(double(i), points[i].value);
    series->setPointsVisible(true);
    connect(series, &QLineSeries::hovered, this,
            [this](const QPointF &at, bool on) { showHover(int(std::lround(at.x())), on); });
    c->addSeries(series);
    attachAxes(c, series, points);
}

void ChartTabs::fillPie(const std::vector<Point> &points)
{
    QChart *c = chart(PieTab);
    clearChart(c);
    auto *series = new QPieSeries;
    double whole = 0;
    for (const Point &p : points)
        whole += std::max(p.value, 0.0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        // A pie shows shares: slices of zero or less have no area to draw.
        const double value = std::max(points[i].value, 0.0);
        QPieSlice *slice = series->append(points[i].label, value);
        slice->setLabelVisible(points.size() <= MaxLabelledSlices &&
                               value > whole * MinLabelledShare);
        connect(slice, &QPieSlice::hovered, this, [this, slice, i](bool on) {
            slice->setExploded(on);
            showHover(int(i), on);
        });
    }
    c->addSeries(series);
}

void ChartTabs::showHover(int index, bool hovered)
{
    if (!hovered || index < 0 || std::size_t(index) >= m_points.size()) {
        m_hover->clear();
        QToolTip::hideText();
        return;
    }
    const Point &p = m_points[index];
    m_hover->setText(p.label + QStringLiteral("：") + p.valueText);
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
