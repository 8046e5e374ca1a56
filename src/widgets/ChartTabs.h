#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QChart;
class QChartView;
class QLabel;
class QTabWidget;

// Three tabs, "柱图", "折线图" and "饼图", each one chart of the same points under
// one title. Every setPoints replaces the series of all three. Hovering a bar,
// a point or a slice shows its label and value; "保存图片" saves the chart of
// the shown tab as a PNG file.
class ChartTabs : public QWidget
{
    Q_OBJECT
public:
    struct Point
    {
        QString label;
        double value = 0;    // drawn
        QString valueText{}; // shown on hover, exact
    };

    explicit ChartTabs(const QString &title, QWidget *parent = nullptr);

    void setPoints(const std::vector<Point> &points);

    QTabWidget *tabs() const { return m_tabs; }
    QChart *chart(int tab) const;
    // The hover text shown under the charts ("2008-01：1500"), empty when nothing is hovered.
    QString hoverText() const;
    // Saves the shown tab's chart; false when the file cannot be written.
    bool saveShownChart(const QString &path) const;
    void ButSaveChartClick();

private:
    QChartView *addChartTab(const QString &tabTitle);
    void fillBar(const std::vector<Point> &points);
    void fillLine(const std::vector<Point> &points);
    void fillPie(const std::vector<Point> &points);
    void showHover(int index, bool hovered);

    QString m_title;
    QTabWidget *m_tabs = nullptr;
    std::vector<QChartView *> m_views;
    std::vector<Point> m_points;
    QLabel *m_hover = nullptr;
};
