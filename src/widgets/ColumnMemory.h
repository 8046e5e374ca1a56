#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QHeaderView;
class QTableView;

// Remembers the widths the user gives a grid's columns, by the column's title, in
// the settings under the window's and the grid's names, and gives them back
// whenever the grid is shown or sized again (a list read anew, a window opened
// again). Only widths set by hand are kept; the last column, which takes what
// is left, is never held.
class ColumnMemory : public QObject
{
    Q_OBJECT
public:
    // Remembers for every grid of the window (by objectName).
    static void install(QWidget *window);

    ColumnMemory(QTableView *grid, const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resized(int column, int newSize);
    void applyAll();
    bool isLastShown(int column) const;
    QString title(int column) const;
    void save() const;

    QHeaderView *m_header;
    QString m_key;
    QHash<QString, int> m_widths; // title -> width
    bool m_byHand = false;        // a drag or double-click on the header is under way
    bool m_applying = false;
};
