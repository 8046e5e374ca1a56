#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

class Ledger;

// What each action of the ledger did, kept in the data file in the same
// transaction as the action: when, in which book and window, and each row it
// wrote as it was before and after. From it the last actions of a book are
// undone and redone one by one, and deleted rows wait in the recycle bin.
namespace History {

// One row written by an action. `op` is "insert", "update", "delete" or
// "balance" (an account's balance set as typed: before and after hold AMoney).
struct Op
{
    QString op;
    QString table;
    QVariant key;
    QVariantMap before;
    QVariantMap after;
};

// An action as the history lists it.
struct Action
{
    qint64 id = 0;
    QString description; // "删除支出 2026-12-05 食品 36.50"
};

// Writes one action with its rows (by the ledger, in its transaction). A new
// action ends what could be redone of the book.
// An action made here in a book the household shares is queued to be sent to the
// other computers (SyncOutbox), one that came from one of them (`origin`) is not.
void record(const QString &book, const QString &window, const QString &description,
            const std::vector<Op> &ops, const QString &origin = {});

// The action 撤销 would undo, and the one 重做 would redo, in the book.
std::optional<Action> undoable(const QString &book);
std::optional<Action> redoable(const QString &book);

// Hears how many of a whole are done; what it throws stops the work, and nothing
// is changed.
using Progress = std::function<void(int done, int total)>;

// Undoes or redoes that action through the ledger in one transaction; DbError,
// with nothing changed, when a later change stands in the way (a row changed
// since, a name renamed or deleted since).
void undo(const QString &book, const Progress &progress = {});
void redo(const QString &book, const Progress &progress = {});

// An action that writes many rows kept elsewhere (an import's entries) keeps one
// op for them all: op "batch" on the batch's table and key, its before and after
// saying whether the batch stood ({"Undone": "1"} or {"Undone": "0"}). Undone and
// redone, it goes to the handler registered for that table, which brings the
// batch's rows back or takes them away through the ledger given; DbError when a
// later change stands in the way.
using BatchHandler = std::function<void(Ledger &ledger, const QString &book, const QVariant &key,
                                        bool standing, const Progress &progress)>;
// The accounts a batch's entries move, each with the earliest day they move it on.
using Reach = QHash<QString, QString>; // by account in lower case
// Notes that the account is moved on `day` ("yyyy-MM-dd"), keeping the earliest.
void addReach(Reach &reach, const QString &account, const QString &day);
using BatchReach = std::function<Reach(const QString &book, const QVariant &key)>;
void setBatchHandler(const QString &table, BatchHandler handler, BatchReach reach = {});

// What 撤销 would change that a reconciliation with the bank has confirmed: the
// question to ask first ("…已对帐…要撤销吗？"), empty when it touches nothing
// reconciled. An entry is reconciled when it is dated on or before a later
// reconciliation of its account.
QString reconciledQuestion(const QString &book);
// The op of such an action.
Op batchOp(const QString &table, const QVariant &key, bool standing);

// The recycle bin holds the rows deleted by actions that stay done.
// Puts the deleted row back through the ledger (its balances move back), as a
// new action; DbError when it cannot be (a name it gives is gone, its key taken).
void restore(const QString &book, qint64 binnedId, const QString &window);
// The statement of the rows in the bin: ID (the history row), BName, At (when
// deleted), What (the row described), Window.
QString binnedRows();
// Removes it from the bin for good.
void discard(qint64 binnedId);
// Rows deleted more than `days` ago leave the bin (at start).
void expire(int days);
// Times as the history keeps them: now, and `days` ago.
QString now();
QString timeBefore(int days);

// The rows action `id` wrote, in order (backwards: the last first).
std::vector<Op> opsOf(qint64 action, bool backwards = false);

// A version of a row that lost to one written on another computer of the
// household: kept in the recycle bin, marked 同步冲突 with the computer it came
// from, to be restored as a row of its own. Not an action to undo.
void binConflict(const QString &book, const QString &table, QVariantMap row,
                 const QString &computer);

// The texts of rows as kept (JSON of text values, so that amounts stay exact).
QString encode(const QVariantMap &row);
QVariantMap decode(const QString &text);

} // namespace History
