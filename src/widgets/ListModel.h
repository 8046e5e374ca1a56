#pragma once

#include "data/ListQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

class KeySorter;

// The rows of one list statement for a read-only grid, read a page at a time as
// the grid shows them. A list longer than a page first shows its first page; it
// is counted by count(*) when something needs its end (the grid scrolled to the
// last row shown, 最后一条, totalRows). A page near the end is read through the
// reversed order, so the last row costs a page too. The column titles are the
// statement's result names; amount columns show as money.
//
// A page that no index gives in order (a long list sorted by a column without
// one) would hold up the screen while the database sorts every row: a page read
// that runs past a budget of steps is stopped, and a list with a key column is
// then sorted aside: its keys are read in order on another thread while the list
// shows no rows and says it is sorting (sortingChanged), and its pages are then
// read by their keys.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PageSize = 100;
    // Steps of SQLite's virtual machine a page read may take on the screen's
    // thread (some 10,000 rows sorted, 20 to 30 ms) before the list is sorted aside.
    static constexpr qint64 StepBudget = 100000;

    using QAbstractTableModel::QAbstractTableModel;
    ~ListModel() override;

    // Lists the rows of another statement and reads its first page. A statement
    // of the same columns keeps the grid's columns: only the rows are replaced.
    // Throws DbError; the list is then empty.
    void setQuery(const List::Query &query);
    const List::Query &query() const { return m_query; }
    // Shows rows computed elsewhere (a statement's periods) under these columns,
    // their values formatted by the columns' kinds; nothing is read from the
    // database until another statement is listed.
    void setRows(const std::vector<List::Column> &columns, const QList<QVariantList> &rows);
    // The columns with no list under them yet (a statement before its first
    // run): no rows, no totals, no "nothing matched".
    void showColumnsOnly(const std::vector<List::Column> &columns);
    // Reads the list again from its first page and forgets every page read.
    // Throws DbError.
    void reload();
    // Every row of the statement, counted now if that was not needed before.
    int totalRows();
    bool isCounted() const { return m_counted; }
    // Whether the list is being sorted aside (it shows no rows meanwhile).
    bool isSorting() const { return m_sorter != nullptr; }
    // Tests lower the budget to see a small list sorted aside; 0 restores it.
    static void setStepBudget(qint64 steps);
    // Whether nothing was written to the database since the rows were counted.
    bool isUpToDate() const;
    // After one row was written (inserted, changed or deleted) by its key: when
    // the list was up to date just before the write, the count follows that row
    // alone, without counting the list again; otherwise the list is reloaded.
    // Every page is read again when shown. Throws DbError.
    void rowWritten(const QString &keyAlias, const QVariant &key, bool wasListed, bool wasUpToDate);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // What a grid asks for when scrolled to the last row shown: the list counted.
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    QStringList titles() const { return m_titles; }
    // The column titled alias, or -1.
    int column(const QString &alias) const { return m_titles.indexOf(alias); }
    List::Kind kind(int column) const { return m_kinds.value(column, List::Kind::Text); }
    bool isMoney(int column) const { return kind(column) == List::Kind::Money; }
    // Whether the column holds numbers, shown on the right.
    bool isNumber(int column) const;
    // Whether a list is shown: a statement was read or rows were set, and its
    // last reading did not fail.
    bool hasList() const { return m_listed; }

    // Totals of the list: the count of its rows, then the sum of each amount and
    // count column (summedColumns, in order; empty when the list has no rows).
    bool isSummed(int column) const;
    QList<int> summedColumns() const;
    // A listed statement's totals as one statement of its own condition; nothing
    // for computed rows or before a list was read.
    std::optional<Sql> totalsStatement() const;
    // Computed rows' totals, summed in memory; nothing for a statement.
    std::optional<QVariantList> computedTotals() const;
    QVariant value(int row, const QString &alias) const;
    // The value as the grid shows it ("1,234.50" for an amount).
    QString text(int row, const QString &alias) const;
    // The value as an edit box shows it ("1234.50" for an amount).
    QString editText(int row, const QString &alias) const;
    // The row whose column keyAlias holds key, or -1. Its place is counted in
    // the database, not looked for row by row; on a list not counted yet it may
    // lie beyond the rows shown (totalRows shows them).
    int rowOf(const QString &keyAlias, const QVariant &key) const;

    // A row with no values yet at the end (a record being entered); returns its number.
    int appendBlankRow();
    // Takes a row out of the list as shown (the blank row, or a row deleted).
    void removeRowAt(int row);

signals:
    // The list started (true) or ended sorting aside; its rows are then shown.
    void sortingChanged(bool sorting);
    // The list was read anew, or followed a write, or failed to be read: its
    // totals may have changed.
    void listed();

private:
    // Shows count rows, without the blank row, each read again when shown;
    // counted: they are all the statement's rows.
    void showRows(int count, bool counted, bool keepBlankRow = false);
    void countRows();
    const QVariantList *rowAt(int row) const;
    void readPage(int page) const;
    // Reads count rows of the list from offset, in its order or (reversed) from
    // its end backwards; returns them in list order, or nothing when the read ran
    // past the step budget and the list can be sorted aside. Throws DbError.
    std::optional<QList<QVariantList>> readRows(int offset, int count, bool reversed) const;
    // The rows of these keys, in their order; a key no longer listed gives an empty row.
    QList<QVariantList> readByKeys(const std::vector<qint64> &keys) const;
    bool canSortAside() const;
    // Starts reading the list's keys in order on another thread; no rows meanwhile.
    void sortAside();
    void keysSorted();
    void stopSorting();
    QString orderClause(bool reversed) const;
    Sql within(const QString &outer, const Sql &condition = Sql()) const;
    int placeOf(const QString &keyAlias, const QVariant &key) const;
    bool isListed(const QString &keyAlias, const QVariant &key) const;
    // The result names of a statement that does not declare them. Throws DbError.
    static QStringList resultNames(const List::Query &query);
    // Shows the computed rows under the columns; as a list (counted,
    // totalled) when `asList`, else as no list yet.
    void fill(const std::vector<List::Column> &columns, const QList<QVariantList> &rows,
              bool asList);
    // Shows no rows under these columns.
    void setColumns(const QStringList &titles);
    // Whether the rows were computed elsewhere rather than listed by a statement.
    bool isComputed() const { return m_query.select.isEmpty(); }
    static qint64 totalChanges();

    List::Query m_query;
    QStringList m_titles;
    QList<List::Kind> m_kinds; // of each column
    int m_count = 0;
    bool m_counted = true;
    bool m_blankRow = false;
    bool m_listed = false;
    qint64 m_changesSeen = -1;
    mutable QHash<int, QList<QVariantList>> m_pages;
    KeySorter *m_sorter = nullptr;
    std::vector<qint64> m_keys; // the list's keys in order, once sorted aside
    bool m_keyed = false;       // pages are read by m_keys
    mutable bool m_sortAsideDue = false;
};
