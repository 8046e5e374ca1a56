#pragma once

#include "widgets/ChartPoints.h"

#include <QString>
#include <QWidget>
#include <vector>

class BarLabels;
class QChart;
class QChartView;
class QLabel;
class QTabWidget;

// Three tabs, "柱图", "折线图" and "饼图", each one chart of the same points under
// one title. Every setPoints replaces the series of all three; a tab's chart is
// filled when it is shown, so that only the chart in view costs anything. Many
// points are grouped as ChartPoints says (the bars and the line by week, month or
// year, the pie into its eight largest slices and 其他), and a line of many points
// has no markers. The labels along x are level, or at -45° every so many points
// when they would crowd; the value axis is ruled; bars carry their amounts where
// there is room; the pie's slices have colours of their own, their shares and a
// legend. Hovering a bar, a point or a slice shows its label and value;
// "保存图片" saves the chart of the shown tab as a PNG file.
class ChartTabs : public QWidget
{
    Q_OBJECT
public:
    using Point = ChartPoints::Point;
    // A line of more points than this has no markers: they would run together.
    static constexpr std::size_t MaxMarkedPoints = 60;

    explicit ChartTabs(const QString &title, QWidget *parent = nullptr);
    ~ChartTabs() override;

    void setPoints(const std::vector<Point> &points);

    QTabWidget *tabs() const { return m_tabs; }
    // The tab's chart; empty until the tab was shown after the last setPoints.
    QChart *chart(int tab) const;
    // The hover text shown under the charts ("2008-01：1500"), empty when nothing is hovered.
    QString hoverText() const;
    // Saves the shown tab's chart; false when the file cannot be written.
    bool saveShownChart(const QString &path) const;
    void saveChart();

private:
    QChartView *addChartTab(const QString &tabTitle);
    void fillShownTab();
    void fillBar();
    void fillLine();
    void fillPie();
    void showHover(const Point *point);

    QString m_title;
    QTabWidget *m_tabs = nullptr;
    std::vector<QChartView *> m_views;
    std::vector<bool> m_filled;  // per tab, since the last setPoints
    std::vector<Point> m_points; // grouped, as the bars and the line show them
    std::vector<Point> m_slices; // as the pie shows them
    BarLabels *m_barLabels = nullptr;
    QLabel *m_hover = nullptr;
};
