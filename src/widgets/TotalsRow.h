#pragma once

#include "data/Sql.h"

#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QWidget>
#include <functional>
#include <optional>

class ListModel;
class QTableView;

namespace Background {
class Job;
}

// The totals row pinned under a list's grid: "合计 12 笔" from the first column
// on, and under each amount and count column its sum, in the grid's columns as
// they are sized and scrolled; negative sums in red. The totals follow the list
// as it is read, filtered or written: computed rows are summed at once; a list
// statement's totals are read by one statement of the list's own condition on a
// worker thread, "计算中……" meanwhile, unless a shortcut gives them at once (the
// kept monthly totals of a whole book).
class TotalsRow : public QWidget
{
    Q_OBJECT
public:
    // A statement whose one row holds the count and the sums of the summed
    // columns in order, cheap enough for the screen's thread; nothing when the
    // list's own statement must run.
    using Shortcut = std::function<std::optional<Sql>()>;

    // `unit` counts the rows: "笔" gives "合计 12 笔".
    TotalsRow(QTableView *grid, ListModel *model, const QString &unit, QWidget *parent);

    void setShortcut(Shortcut shortcut) { m_shortcut = std::move(shortcut); }
    // Shows another figure under a column than its sum (a window's own total,
    // such as a share of the totals); kept until the list is read again.
    void setFigure(const QString &alias, const QVariant &value);

    // What the row shows: "合计 12 笔", "计算中……", or nothing before a list.
    QString caption() const { return m_caption; }
    // The figure under the column titled alias, as shown.
    QString text(const QString &alias) const;
    bool isCalculating() const { return m_calculating; }
    // The rows counted by the last totals shown.
    qint64 rows() const { return m_rows; }

    // Widens the columns whose figure would not fit them, and the first column
    // when the caption would not fit before the first figure.
    void fitFigures();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The totals of the list as it stands are shown.
    void totalsShown(qint64 rows);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();
    // The count, then the sums of the model's summed columns in order.
    void showTotals(const QVariantList &values);
    void clearTotals(const QString &caption);
    QFont figureFont() const;
    // Where the grid's viewport starts, past its frame and row numbers.
    int gridLeft() const;

    QTableView *m_grid;
    ListModel *m_model;
    QString m_unit;
    Shortcut m_shortcut;
    QString m_caption;
    QHash<int, QString> m_figures; // column -> text
    QHash<int, bool> m_negative;   // column -> drawn red
    bool m_calculating = false;
    qint64 m_rows = 0;
    QPointer<Background::Job> m_job; // computing them
};
