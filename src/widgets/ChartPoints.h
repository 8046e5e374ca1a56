#pragma once

#include "data/Money.h"

#include <QString>
#include <vector>

// What a chart draws of many points: days grouped by week, month or year (months
// by year) once there are more than it can show apart, and other points cut to
// the largest with the rest as 其他. Bars and lines show up to MaxPoints points
// (ten years of days: months), a pie its eight largest slices and 其他.
namespace ChartPoints {

struct Point
{
    QString label;
    Money amount;
};

// Points a line or bar chart shows at the most.
constexpr std::size_t MaxPoints = 200;
// Slices of a pie, 其他 included.
constexpr std::size_t PieSlices = 9;

// The points, or at most `most` points summing them in order: days by week
// ("2024年第19周"), month ("2024-05") or year, the finest that fits; months by
// year; other labels (or the years of days or months, when even they are too
// many): the largest most-1 in their order, then 其他.
std::vector<Point> grouped(const std::vector<Point> &points, std::size_t most = MaxPoints);
// The slices of a pie: at most PieSlices as grouped says; periods stay in their
// order, other slices go largest first, 其他 last.
std::vector<Point> pieSlices(const std::vector<Point> &points);

} // namespace ChartPoints
