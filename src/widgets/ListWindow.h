#pragma once

#include "data/ListQuery.h"
#include "widgets/QuickFilterDialog.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class FilterStatus;
class ListModel;
class TotalsRow;
class QHBoxLayout;
class QPushButton;
class QTableView;
class QToolButton;
class QVBoxLayout;

namespace List {

// The row key every list carries, hidden, unless a descriptor says otherwise.
inline const QString KeyAlias = QStringLiteral("ID");

// Everything that tells one read-only list window from another.
struct Descriptor
{
    QString className{}; // the window's objectName
    QString caption{};   // window title
    // What the statement selects from: a table, or a join. Empty: the window
    // computes its rows and shows them with showRows.
    QString table{};
    // The result columns in order; which hold money, which are hidden.
    std::vector<Column> columns{};
    bool perBook = true;   // the current book's rows only: " where BName=?"
    bool keyColumn = true; // the row key ID is listed after the columns, hidden
    QString groupBy{};     // " group by ..." for computed columns such as sums
    QString orderBy{};     // by result names ("日期 desc, ID desc"); empty: by the key
    // Of a column whose own width is 0 before it is fitted to its title and rows.
    int columnWidth = 160;
    QString gridTitle{};             // when set, the grid stands in a group box titled so
    QString gridPanel{};             // that group box's objectName
    const char *exitName = "ButExi"; // objectName of the 退出 button
    // What the totals row counts the rows in ("合计 12 笔"); empty: 笔 for the
    // entry tables and their follow-up records, 条 for others.
    QString countUnit{};
};

// A further read-only list of a window: its model, its grid, the totals row
// pinned under it and what holds them (a group box when the list has a title).
// The navigator does not move it.
struct Pane
{
    ListModel *model;
    QTableView *grid;
    TotalsRow *totals;
    QWidget *panel;
};

// A read-only grid over a list: whole rows selected, rows of one height; an
// empty list says so.
QTableView *makeGrid(QWidget *parent, ListModel *model, int columnWidth,
                     const QString &name = QStringLiteral("DBGrid1"));
// A list, its grid and its totals row (named after the grid: "DBGrid1Totals";
// shown once the list has amounts, or at once when `amounts`), in a group box
// named panelName when titled.
Pane makePane(QWidget *parent, int columnWidth, const QString &gridName,
              const QString &title = QString(), const QString &panelName = QString(),
              const QString &countUnit = QStringLiteral("条"), bool amounts = false);
// Hides the hidden columns of a list just read, gives the others their declared
// widths and fits the rest to their titles and the rows first shown (amounts at
// least MoneyWidth); the last column shown, when text, takes the room left. Columns once
// fitted to rows keep the widths the user gives them.
void showColumns(QTableView *grid, const ListModel *model, const std::vector<Column> &columns);
constexpr int MoneyWidth = 100;
// Whether the columns declare an amount.
bool hasMoney(const std::vector<Column> &columns);

} // namespace List

// The read-only list window: a grid (DBGrid1) over one statement, the record
// navigator (DBNavigator1) and a row of buttons ending with 退出. Rows are read
// a page at a time. A named window passes its descriptor, adds its own buttons
// with addButton and calls load() at the end of its constructor; windows
// whose statement depends on more than the descriptor override query(). Report
// windows put their conditions above the grid, show rows they computed with
// showRows, and place charts or a second list beside or under the grid.
class ListWindow : public QWidget, public FilterTarget
{
    Q_OBJECT
public:
    explicit ListWindow(List::Descriptor descriptor, QWidget *parent = nullptr);

    const List::Descriptor &listDescriptor() const { return m_list; }
    ListModel *model() const { return m_model; }
    QTableView *grid() const { return m_grid; }
    // The totals row under the grid.
    TotalsRow *totals() const { return m_totals; }

    // Reads the list for the first time.
    virtual void load();
    // Reads the list again; the first row becomes current. False when the list
    // could not be read (the window said why).
    bool reload();
    // Shows rows the window computed, under the descriptor's columns; the first
    // row becomes current.
    void showRows(const QList<QVariantList> &rows);
    void exitWindow();

    // The filter appended to the statement's conditions on every refresh:
    // pieces that each begin with " and ", with their values.
    const Condition &filterCondition() const { return m_labWhere; }
    void setFilterCondition(const Condition &condition) { m_labWhere = condition; }
    // What a quick-filter dialog delivers: the new filter, then the list read again.
    void applyFilter(const Condition &filter) override;
    // Shows the filter in the window's status line, with a way to clear it.
    void showFilter(const QString &description) override;

    int currentRow() const;
    // The key of the current row; null on a blank row or an empty list.
    QVariant currentKey() const;
    // Makes the row current (ignored outside the list) and shows it.
    void goToRow(int row);
    // 最后一条: counts the list when needed and reads its last page backwards.
    void goToLastRow();
    // The row, or the last one when the list is shorter (after a delete).
    void goToNearestRow(int row);
    // The book that was open when the window opened: the window lists and writes
    // its rows only.
    const QString &book() const { return m_book; }

    // Reads its rows again after an action committed elsewhere, the current row
    // kept where it can be. Not a window that computes its rows, nor one with a row
    // being typed (its save checks what it relies on), nor one in the middle of a
    // write of its own, which follows that write itself.
    virtual void followChange();

protected:
    // Marks the window's own write while it lives.
    class OwnWrite
    {
    public:
        explicit OwnWrite(ListWindow *window) : m_window(window) { ++m_window->m_ownWrites; }
        ~OwnWrite() { --m_window->m_ownWrites; }
        OwnWrite(const OwnWrite &) = delete;
        OwnWrite &operator=(const OwnWrite &) = delete;

    private:
        ListWindow *m_window;
    };
    // Whether a row is being typed (entering or editing).
    virtual bool isPending() const { return false; }

    // The statement listed: by default the descriptor's columns from its table,
    // the window's book's rows, filterCondition, its group-by and order.
    virtual List::Query query() const;
    // Called whenever the current row changed or was shown again.
    virtual void currentRowChanged() {}
    // Whether the user may move between rows (the navigator and the grid).
    virtual bool canMove() const { return true; }

    // A button placed before 退出, in the order added.
    QPushButton *addButton(const char *name, const QString &caption, std::function<void()> clicked);
    // A widget placed between the grid and the buttons (an edit panel).
    void addBelowGrid(QWidget *widget);
    // A widget placed above the grid (a window's conditions).
    void addAboveGrid(QWidget *widget);
    // A widget sharing the grid's place: beside it (Qt::Horizontal) or under it,
    // sized in the proportions given (grid first), the border between them movable.
    void addBesideGrid(QWidget *widget, Qt::Orientation orientation, const QList<int> &shares);
    // A further list beside or under the grid, in the window's column width;
    // `amounts`: its totals row shows before its first list.
    List::Pane addList(const QString &gridName, Qt::Orientation orientation,
                       const QList<int> &shares, const QString &title = QString(),
                       bool amounts = false);
    // Sets the navigator's buttons from the current row and canMove().
    void updateNavigator();

    bool eventFilter(QObject *watched, QEvent *event) override;
    // Enter that no control took, outside the grid, clicks the window's default
    // button (the way of a dialog, which Qt gives dialogs only).
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildGrid();
    void buildButtonRow();
    // Reads the statement and hides the hidden columns; a failure is shown.
    bool readList();
    // The totals of the list from the monthly totals the ledger keeps, when it
    // lists every row of the book's entry table and sums the amount they keep.
    std::optional<Sql> keptTotals() const;
    QString countUnit() const;

    List::Descriptor m_list;
    QString m_book;
    Condition m_labWhere;
    ListModel *m_model = nullptr;
    QTableView *m_grid = nullptr;
    TotalsRow *m_totals = nullptr;
    QWidget *m_centre = nullptr; // the grid, its group box, or the splitter sharing its place
    QVBoxLayout *m_layout = nullptr;
    QHBoxLayout *m_buttonRow = nullptr;
    QPushButton *m_butExi = nullptr;
    QList<QToolButton *> m_navigator; // first, prior, next, last
    FilterStatus *m_filterStatus = nullptr;
    int m_ownWrites = 0;
};
