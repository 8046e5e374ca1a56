#include "widgets/ChartPoints.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace ChartPoints {
namespace {

const QString Others = QStringLiteral("其他");

using Grouping = std::function<QString(const QString &label)>;

bool allMatch(const std::vector<Point> &points, const QString &pattern)
{
    const QRegularExpression shape(QRegularExpression::anchoredPattern(pattern));
    return std::all_of(points.begin(), points.end(),
                       [&shape](const Point &p) { return shape.match(p.label).hasMatch(); });
}

QString weekOf(const QString &day)
{
    int year = 0;
    const int week = QDate::fromString(day, Qt::ISODate).weekNumber(&year);
    return QStringLiteral("%1年第%2周").arg(year).arg(week);
}

// Sums neighbours of one group into one point; false when more than `most` result.
bool sumGroups(const std::vector<Point> &points, const Grouping &group, std::size_t most,
               std::vector<Point> &out)
{
    out.clear();
    for (const Point &p : points) {
        const QString label = group(p.label);
        if (out.empty() || out.back().label != label) {
            if (out.size() == most)
                return false;
            out.push_back({label, Money()});
        }
        out.back().amount = Money::fromUnits(out.back().amount.units() + p.amount.units());
    }
    return true;
}

// The `keep` largest points in their order, then the rest summed as 其他.
std::vector<Point> largestAndOthers(const std::vector<Point> &points, std::size_t keep)
{
    std::vector<std::size_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&points](std::size_t a, std::size_t b) {
        return points[a].amount.units() > points[b].amount.units();
    });
    // A category called 其他 goes with the rest.
    std::erase_if(order, [&points](std::size_t i) { return points[i].label == Others; });
    std::vector<bool> kept(points.size(), false);
    for (std::size_t i = 0; i < keep && i < order.size(); ++i)
        kept[order[i]] = true;
    std::vector<Point> out;
    std::int64_t others = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (kept[i])
            out.push_back(points[i]);
        else
            others += points[i].amount.units();
    }
    out.push_back({Others, Money::fromUnits(others)});
    return out;
}

} // namespace

std::vector<Point> grouped(const std::vector<Point> &points, std::size_t most)
{
    if (points.size() <= most)
        return points;
    std::vector<Grouping> groupings;
    const Grouping month = [](const QString &label) { return label.left(7); };
    const Grouping year = [](const QString &label) { return label.left(4); };
    if (allMatch(points, QStringLiteral("\\d{4}-\\d{2}-\\d{2}")))
        groupings = {weekOf, month, year};
    else if (allMatch(points, QStringLiteral("\\d{4}-\\d{2}")))
        groupings = {year};
    std::vector<Point> out;
    for (const Grouping &g : groupings)
        if (sumGroups(points, g, most, out))
            return out;
    // Too many even by year: the largest years and the rest.
    if (!groupings.empty()) {
        sumGroups(points, groupings.back(), points.size(), out);
        return largestAndOthers(out, most - 1);
    }
    return largestAndOthers(points, most - 1);
}

std::vector<Point> pieSlices(const std::vector<Point> &points)
{
    std::vector<Point> slices = grouped(points, PieSlices);
    if (allMatch(points, QStringLiteral("\\d{4}(-\\d{2}){0,2}")))
        return slices;
    std::stable_sort(slices.begin(), slices.end(), [](const Point &a, const Point &b) {
        if ((a.label == Others) != (b.label == Others))
            return b.label == Others;
        return a.amount > b.amount;
    });
    return slices;
}

} // namespace ChartPoints
