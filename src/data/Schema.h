#pragma once

#include <QSqlDatabase>
#include <QString>
#include <vector>

namespace Schema {

enum class Kind
{
    Key,
    Text,
    Date,
    Money,
    Count
};

struct Column
{
    const char *name;
    Kind kind;
    bool defaultZero = false; // amounts changed in place start at 0
    int since = 1;            // the layout version that brought the column
};

struct Table
{
    const char *name;
    std::vector<Column> columns;
    const char *bookDateColumn = nullptr; // indexed with BName for lists and statements
    const char *parentKey = nullptr;      // child rows keyed by their parent's ID
    const char *uniqueKey = nullptr;      // "BName,Month,...": one row per key, indexed
    int since = 1;                        // the layout version that brought the table
};

// Marks our database files (PRAGMA application_id) and their layout version.
constexpr int ApplicationId = 0x51484231; // "QHB1"
// 2: kept monthly totals (MonthTotal, MonthNameTotal).
// 3: incomes and expenses indexed by amount (LaterIndex).
// 4: the history of actions, for undo and the recycle bin (History, HistoryRow,
//    BinnedBook).
// 5: bill imports (ImportAccount, ImportCategory, ImportRule, ImportBatch, ImportEntry).
// 6: household planning (BookSetting, Schedule, SchedulePost, Reconcile,
//    Budget, BudgetRollover).
// 7: accounts' kinds and opening balances (SAccount.AKind, OpenMoney, OpenDate).
// 8: the account a bill import's rule gives (ImportRule.AName).
// 9: household sync: every shared row's identity (SyncID), the sync tables
//    (SyncShare, SyncState, SyncOutbox, SyncApplied, SyncClock) and the computer
//    an action came from (History.Origin).
constexpr int UserVersion = 9;

const std::vector<Table> &tables();
const Table *table(const QString &name);
// The tables whose rows have an identity on every computer (a SyncID column).
bool hasSyncId(const QString &table);
// A new identity: 32 hexadecimal digits, random.
QString newSyncId();

// Creates every table and index, and marks the file, in one transaction.
// Throws DbError when the database refuses any of it (nothing is then kept).
void create(QSqlDatabase db);

// The file's layout version (PRAGMA user_version).
int version(QSqlDatabase db);
// Creates the tables, columns and indexes a file of an older version lacks, in
// the caller's transaction (what they hold is the caller's to fill); those it has
// already are left as they are.
void addTablesSince(QSqlDatabase db, int fromVersion);

// The reason a database is not one of ours, or an empty text when it is.
QString checkOwnDatabase(QSqlDatabase db, bool checkIntegrity);

} // namespace Schema
