#include "widgets/ChartPoints.h"
#include "widgets/ChartTabs.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDate>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QTabWidget>
#include <QTest>

// Charts of many points stay readable: grouped points, the largest slices.
class TestCharts : public QObject
{
    Q_OBJECT
private slots:
    void daysAreGroupedByTheFinestPeriodThatFits();
    void otherPointsKeepTheLargestAndSumTheRest();
    void aChartOfManyDaysShowsMonthsAndAPieOfYears();
};

namespace {

using ChartPoints::Point;

// One point a day from `first` on, day i worth i+1 units.
std::vector<Point> days(const QDate &first, int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
        points.push_back({first.addDays(i).toString(Qt::ISODate), Money::fromUnits(i + 1)});
    return points;
}

QStringList labels(const std::vector<Point> &points)
{
    QStringList out;
    for (const Point &p : points)
        out << p.label;
    return out;
}

std::int64_t total(const std::vector<Point> &points)
{
    std::int64_t sum = 0;
    for (const Point &p : points)
        sum += p.amount.units();
    return sum;
}

} // namespace

void TestCharts::daysAreGroupedByTheFinestPeriodThatFits()
{
    // 200 points are drawn as they are.
    QCOMPARE(ChartPoints::grouped(days({2024, 1, 1}, 200)).size(), 200u);
    // 300 days: by ISO week (2015-01-01 is the Thursday of week 1).
    const std::vector<Point> weeks = ChartPoints::grouped(days({2015, 1, 1}, 300));
    QCOMPARE(weeks.size(), 44u);
    QCOMPARE(weeks.front().label, "2015年第1周");
    QCOMPARE(weeks.front().amount.units(), 1 + 2 + 3 + 4);
    // Ten years of days are too many weeks: by month, every amount kept.
    const std::vector<Point> all = days({2015, 1, 1}, 3652);
    const std::vector<Point> months = ChartPoints::grouped(all);
    QCOMPARE(months.size(), 120u);
    QCOMPARE(labels(months).mid(0, 2), QStringList({"2015-01", "2015-02"}));
    QCOMPARE(months.front().amount.units(), 31 * 32 / 2);
    QCOMPARE(total(months), total(all));
    // Months of twenty years: by year.
    std::vector<Point> monthly;
    for (int m = 0; m < 240; ++m)
        monthly.push_back(
            {QDate(2000, 1, 1).addMonths(m).toString("yyyy-MM"), Money::fromUnits(1)});
    const std::vector<Point> years = ChartPoints::grouped(monthly);
    QCOMPARE(years.size(), 20u);
    QCOMPARE(years.back().label, "2019");
    QCOMPARE(years.back().amount.units(), 12);
}

void TestCharts::otherPointsKeepTheLargestAndSumTheRest()
{
    // 250 categories, the i-th worth i+1: the 199 largest in their order, then 其他.
    std::vector<Point> categories;
    for (int i = 0; i < 250; ++i)
        categories.push_back({QString("类别%1").arg(i), Money::fromUnits(i + 1)});
    const std::vector<Point> shown = ChartPoints::grouped(categories);
    QCOMPARE(shown.size(), 200u);
    QCOMPARE(shown.front().label, "类别51");
    QCOMPARE(shown[198].label, "类别249");
    QCOMPARE(shown.back().label, "其他");
    QCOMPARE(shown.back().amount.units(), 51 * 52 / 2);
    // A pie: the eight largest slices, largest first, then 其他 with the rest.
    const std::vector<Point> slices = ChartPoints::pieSlices(categories);
    QCOMPARE(slices.size(), 9u);
    QCOMPARE(labels(slices).mid(0, 2), QStringList({"类别249", "类别248"}));
    QCOMPARE(slices[7].label, "类别242");
    QCOMPARE(slices.back().label, "其他");
    QCOMPARE(slices.back().amount.units(), 242 * 243 / 2);
    // A category called 其他 goes with the rest.
    categories[249].label = "其他";
    const std::vector<Point> merged = ChartPoints::pieSlices(categories);
    QCOMPARE(merged.size(), 9u);
    QCOMPARE(merged.front().label, "类别248");
    QCOMPARE(merged.back().amount.units(), 250 + 241 * 242 / 2);
    QCOMPARE(total(merged), total(categories));
}

void TestCharts::aChartOfManyDaysShowsMonthsAndAPieOfYears()
{
    ChartTabs charts("支出分析");
    charts.show();
    charts.setPoints(days({2015, 1, 1}, 3652));
    // Only the shown chart is filled.
    auto *bars = qobject_cast<QBarSeries *>(charts.chart(0)->series().value(0));
    QVERIFY(bars);
    QCOMPARE(bars->barSets().first()->count(), 120);
    QVERIFY(charts.chart(1)->series().isEmpty() && charts.chart(2)->series().isEmpty());
    charts.tabs()->setCurrentIndex(1);
    auto *line = qobject_cast<QLineSeries *>(charts.chart(1)->series().value(0));
    QVERIFY(line);
    QCOMPARE(line->count(), 120);
    QVERIFY(!line->pointsVisible());
    // The pie: years in their order, the eight largest, then 其他 with its share.
    charts.tabs()->setCurrentIndex(2);
    auto *pie = qobject_cast<QPieSeries *>(charts.chart(2)->series().value(0));
    QVERIFY(pie);
    QCOMPARE(pie->count(), 9);
    const QList<QLegendMarker *> legend = charts.chart(2)->legend()->markers(pie);
    QCOMPARE(legend.first()->label(), "2017  5.0%");
    QCOMPARE(legend.last()->label(), "其他  4.0%");
    QCOMPARE(pie->slices().last()->label(), "4.0%");
    QVERIFY(pie->slices().first()->color() != pie->slices().at(1)->color());
    // A few points: markers on the line.
    charts.setPoints(days({2024, 1, 1}, 10));
    charts.tabs()->setCurrentIndex(1);
    QVERIFY(static_cast<QLineSeries *>(charts.chart(1)->series().first())->pointsVisible());
}

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
