#pragma once

#include <QWidget>

class FilterTarget;
class QLabel;

// The status line of a filtered list window: "已筛选：" with the conditions in
// words, and "清除筛选", which lists everything again. Hidden while the list is
// not filtered.
class FilterStatus : public QWidget
{
    Q_OBJECT
public:
    FilterStatus(FilterTarget *target, QWidget *parent);

    // Shows the conditions; an empty text hides the line.
    void showConditions(const QString &description);
    void clearFilter();

private:
    FilterTarget *m_target;
    QLabel *m_text;
};
