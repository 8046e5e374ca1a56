#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>
#include <map>
#include <optional>
#include <vector>

// The actions of shared books as they travel between a household's computers:
// each row by its identity (SyncID), never by this data file's key, with the
// identities of the rows it names, so that a rename on one computer and new
// entries on another still meet. Balances and kept totals never travel: each
// computer's ledger derives them from the rows.
namespace Sync {

struct RowChange
{
    QString op; // "insert", "update" or "delete"
    QString table;
    QString id;
    QVariantMap before; // the row as it was and became: no key, book or balance
    QVariantMap after;
    QMap<QString, QString> refs; // column -> identity of the row it names (a follow-up: its entry)
    // The clock of the version of the row its computer changed (empty: one no
    // change had reached yet); none in a file of an earlier version. A delete
    // removes only a version it saw, or an older one: an edit it never saw stands.
    std::optional<QString> base;
};

// A bill an action imported: its entry (by identity) and the bill's key, so that
// the same bill imported on another computer is known there as imported.
struct ImportedBill
{
    QString table;
    QString id;
    QString key;
    QString method;
    QString date;
    QString amount;
};

struct Action
{
    // The layout of the file it came in: in layout 1, an entry's amount that its
    // follow-ups settle travelled as what was left of it, since as the whole.
    int layout = 2;
    QString share; // the book's identity on every computer
    QString clock; // when it was sent (Clock::tick)
    QString window;
    QString description;
    qint64 outbox = 0; // the sender's own bookkeeping: what the file took from its outbox
    std::vector<RowChange> rows;
    QMap<QString, QVariantMap> named; // identity -> a row named (its table as "@table")
    std::vector<ImportedBill> bills;
    // A book's settings as they stood, by table (budgets, the month's first day,
    // what its bill imports map to): of two computers' the later stands whole.
    QMap<QString, QList<QVariantMap>> settings;
};

// Rows as they travel: JSON with every value as text, so that amounts stay exact.
QJsonObject rowToJson(const QVariantMap &row);
QVariantMap rowFromJson(const QJsonObject &object);

// Rows kept beside the entries name other rows by this file's keys: they travel
// as those rows' identities. The row named is in `target`, or in the table that
// the row's column `targetColumn` names, or (`adjusting`) it is the income or
// expense of that key dated the row's day (RDate) in the row's account (AName):
// a reconciliation's adjusting entry.
struct KeyReference
{
    const char *table;
    const char *column;
    const char *target;
    const char *targetColumn;
    bool adjusting = false;
};
inline constexpr KeyReference KeyReferences[] = {
    {"SchedulePost", "SID", "Schedule", nullptr},
    {"SchedulePost", "EID", nullptr, "ETable"},
    {"Reconcile", "EID", nullptr, nullptr, true},
};
// The reference `column` of `table` is, or none.
const KeyReference *keyReference(const QString &table, const QString &column);
// The table of the row that `row` names by the reference (read on `db` when
// given); empty when there is none.
QString targetOf(const KeyReference &ref, const QVariantMap &row, const QSqlDatabase &db = {});

// What a computer has applied of each other computer's files: its last sequence.
using AppliedFiles = std::map<QString, qint64>;

// A change file holds the actions written out together, in order, and what its
// writer had applied of the others' files then.
QByteArray encode(const std::vector<Action> &actions, const AppliedFiles &applied = {});
// nullopt: not a file of actions this program reads.
std::optional<std::vector<Action>> decode(const QByteArray &payload,
                                          AppliedFiles *applied = nullptr);

// The actions waiting in the outbox, in the order they were made, each as it
// travels (an undo as the rows it brings back); at most `limit`.
std::vector<Action> outgoing(int limit);
// Gives the actions about to be written out their clocks, and each row the clock
// of the version it changed.
void stamp(std::vector<Action> &actions);
// They were written out: they leave the outbox, and their rows are known to have
// been written at their clocks.
void sent(const Action &action);

// What applying an action did.
struct Applied
{
    int rows = 0;
    int conflicts = 0;
};

// Applies an action made on `computer` through the ledger, in the caller's
// transaction. A row already here is not written again; of two versions of a
// row the later one by the clock stands, the other waits in the recycle bin
// marked 同步冲突; a delete removes only the version it saw or an older one, so
// an edit it did not see stands; a name an entry gives that is gone here is made
// again. An action of a book not shared here changes nothing.
Applied apply(const QString &computer, const Action &action);

// Notes that the version of the row with that identity here is the one of
// `clock`, when that is later than the one noted (a snapshot's, when joining).
void noteVersion(const QString &identity, const QString &clock);

// The hybrid logical clock of this data folder: the time in milliseconds, a
// counter, and the computer, so that it never goes back even when the system
// clock does, and a later edit on any computer compares later.
namespace Clock {
QString tick();
// What another computer's clock said: this one never falls behind it.
void observe(const QString &clock);
} // namespace Clock

// This data folder's sync settings by name (SyncState).
QString setting(const QString &key);
void setSetting(const QString &key, const QString &value);

} // namespace Sync
