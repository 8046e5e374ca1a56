#pragma once

#include "data/Money.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <vector>

// An expense an action wrote or took away (a negative amount): its category and
// day. Budgets hear of them to warn when a category's month runs out.
struct Spending
{
    QString category;
    QString date; // "yyyy-MM-dd"
    Money amount;
};

// What one committed action of the ledger changed: its book, the rows it wrote
// by table (a batch's table and key stand for its entries), the accounts whose
// balances moved, and the expenses it wrote when it is kept in the history.
struct Change
{
    QString book;
    QString window; // where the action was made
    QHash<QString, QList<QVariant>> rows;
    QSet<QString> accounts;
    std::vector<Spending> spending;

    // A change to a book's settings kept in `table` (budgets, the month's first day):
    // no entry and no balance moves, but what is shown of them does.
    static Change ofSettings(const QString &book, const QString &table);
};

// Where committed actions are announced. Whoever shows what an action may change
// (the windows, the home page, the budget warnings, the status bar) listens here
// instead of being called by the code that acted. An action is announced once the
// transaction it belongs to is committed, and always on the screen's thread: one
// committed on a worker (an import, an undo, a recurring post) arrives there later.
class ChangeFeed : public QObject
{
    Q_OBJECT
public:
    static ChangeFeed *instance();
    // Called by the ledger, on whatever thread committed the action.
    static void announce(const Change &change);
    // Announces `change` once the transaction open on `db` commits (at once when
    // none is open), never when it is rolled back.
    static void announceOnCommit(const QSqlDatabase &db, Change change);

signals:
    void committed(const Change &change);

private:
    ChangeFeed() = default;
};
