#include "data/Schema.h"

#include "data/Sql.h"
#include "data/Transaction.h"

#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

namespace Schema {
namespace {

using K = Kind;

Column key()
{
    return {"ID", K::Key};
}
Column text(const char *name)
{
    return {name, K::Text};
}
Column date(const char *name)
{
    return {name, K::Date};
}
Column money(const char *name, bool defaultZero = false)
{
    return {name, K::Money, defaultZero};
}
Column count(const char *name)
{
    return {name, K::Count};
}
// A column a table got after it was first made.
Column later(Column c, int since)
{
    c.since = since;
    return c;
}
// A row's identity on every computer of a household (the same wherever it was made
// or copied to), where ID is only this data file's.
Column syncId()
{
    return later(text("SyncID"), 9);
}

// Income and expense share one shape; only the prefix letter differs.
Table entryTable(const char *name, const char *date_, const char *category, const char *amount)
{
    return {name,
            {key(), text("BName"), date(date_), text(category), money(amount), text("AName"),
             text("FName"), text("Remark"), syncId()},
            date_};
}

Table categoryTable(const char *name, const char *nameColumn)
{
    return {name,
            {key(), text(nameColumn), text("thePY"), text("BName"), text("Remark"), syncId()}};
}

// Repayments, collections and returns: child rows of one parent entry.
Table childTable(const char *name, const char *parent, bool withIncome)
{
    Table t{name, {key(), count(parent), date("RDate"), money("RMoney")}, nullptr, parent};
    if (withIncome)
        t.columns.push_back(money("SMoney"));
    for (const char *c : {"AName", "FName", "Remark"})
        t.columns.push_back(text(c));
    t.columns.push_back(syncId());
    return t;
}

std::vector<Table> makeTables()
{
    return {
        {"SBook", {key(), text("BName"), text("BPass"), date("BDate"), text("Remark")}},
        // An account's balance is its opening balance (OpenMoney, as on OpenDate)
        // plus what its entries moved; AKind says what money it holds.
        {"SAccount",
         {key(), text("AName"), text("thePY"), text("BName"), money("AMoney", true), text("Remark"),
          later(text("AKind"), 7), later(money("OpenMoney", true), 7), later(date("OpenDate"), 7),
          syncId()}},
        categoryTable("InD", "IName"),
        categoryTable("OutD", "OName"),
        categoryTable("TD", "TName"),
        {"SFamily",
         {key(), text("FName"), text("thePY"), text("theGX"), date("BirDate"), text("Remark"),
          syncId()}},
        entryTable("InTable", "IDate", "IName", "IMoney"),
        entryTable("OutTable", "ODate", "OName", "OMoney"),
        {"ChangeT",
         {key(), text("BName"), date("CDate"), text("OldN"), text("NewN"), money("CMoney"),
          text("FName"), text("Remark"), syncId()},
         "CDate"},
        {"Borrow",
         {key(), text("BName"), date("BDate"), text("BPro"), money("BMoney", true), text("AName"),
          text("FName"), money("RMoney", true), text("Remark"), syncId()},
         "BDate"},
        childTable("BorrowR", "BID", false),
        {"Debt",
         {key(), text("BName"), date("DDate"), text("DPro"), money("DMoney", true), text("AName"),
          text("FName"), money("RMoney", true), text("Remark"), syncId()},
         "DDate"},
        childTable("DebtR", "DID", false),
        {"TTable",
         {key(), text("BName"), date("TDate"), text("TName"), money("TMoney", true),
          money("RMoney", true), text("AName"), text("FName"), text("Remark"), syncId()},
         "TDate"},
        childTable("TTableR", "TID", true),
        {"SZTable",
         {key(), text("theDate"), money("theSM"), count("theSC"), money("theZM"), count("theZC"),
          money("theJY"), money("theBC")}},
        {"MonthTotal",
         {key(), text("BName"), text("Month"), text("Kind"), text("Name"), text("AName"),
          text("AName2"), text("FName"), money("Amount", true), count("Cnt")},
         nullptr,
         nullptr,
         "BName,Kind,Month,Name,AName,AName2,FName",
         2},
        // The same summed over accounts and members (those columns are empty).
        {"MonthNameTotal",
         {key(), text("BName"), text("Month"), text("Kind"), text("Name"), text("AName"),
          text("AName2"), text("FName"), money("Amount", true), count("Cnt")},
         nullptr,
         nullptr,
         "BName,Kind,Month,Name,AName,AName2,FName",
         2},
        // What each action on a book's money and names did, to be undone and redone:
        // the action, and each row it wrote as it was before and after (JSON).
        {"History",
         {key(), text("BName"), text("At"), text("Window"), text("Kind"), text("Description"),
          count("Undone"), later(text("Origin"), 9)},
         nullptr,
         nullptr,
         nullptr,
         4},
        {"HistoryRow",
         {key(), count("HistoryID"), count("Seq"), text("Op"), text("Tbl"), count("RowKey"),
          text("Description"), text("Before"), text("After"), count("Binned"), count("RestoredBy")},
         nullptr,
         "HistoryID",
         nullptr,
         4},
        // Books deleted into the recycle bin: the book's row, and the name its rows
        // are kept under meanwhile (one no book can have).
        {"BinnedBook",
         {key(), count("BookID"), text("BName"), text("BPass"), date("BDate"), text("Remark"),
          text("Hidden"), text("DeletedAt")},
         nullptr,
         nullptr,
         nullptr,
         4},
        // Bills imported: what each payment method and app category is in the book,
        // the user's rules, and each import with the entries it wrote and their bill keys.
        {"ImportAccount",
         {key(), text("BName"), text("Method"), text("AName")},
         nullptr,
         nullptr,
         nullptr,
         5},
        {"ImportCategory",
         {key(), text("BName"), text("AppName"), text("OName"), text("IName")},
         nullptr,
         nullptr,
         nullptr,
         5},
        {"ImportRule",
         {key(), text("BName"), text("Pattern"), text("OName"), text("IName"), text("FName"),
          later(text("AName"), 8)},
         nullptr,
         nullptr,
         nullptr,
         5},
        // A batch stands while Undone is 0; HistoryID is the action that imported it,
        // UndoneBy the one that took it back (each undone and redone in 编辑).
        {"ImportBatch",
         {key(), text("BName"), text("Made"), text("Files"), count("Entries"), count("Undone"),
          count("HistoryID"), count("UndoneBy")},
         nullptr,
         nullptr,
         nullptr,
         5},
        {"ImportEntry",
         {key(), text("BName"), count("BatchID"), text("BillKey"), text("Method"), date("BillDate"),
          money("Amount"), text("EntryTable"), count("EntryID"), text("Snapshot")},
         nullptr,
         "BatchID",
         nullptr,
         5},
        // A book's own settings by name (the day its household month starts).
        {"BookSetting",
         {key(), text("BName"), text("SKey"), text("SValue")},
         nullptr,
         nullptr,
         "BName,SKey",
         6},
        // Recurring entries: what each posts and when (the choices as their texts),
        // and each occurrence posted or skipped, once by its schedule and date.
        {"Schedule",
         {key(),           text("BName"),  text("Kind"),    text("IName"),      text("OName"),
          text("NewN"),    text("AName"),  money("SMoney"), text("FName"),      text("Remark"),
          date("SDate"),   count("Every"), text("Unit"),    text("MonthDay"),   text("Ending"),
          date("EndDate"), count("Times"), text("Weekend"), text("AmountMode"), text("PostMode"),
          syncId()},
         nullptr,
         nullptr,
         nullptr,
         6},
        {"SchedulePost",
         {key(), text("BName"), count("SID"), date("PDate"), date("EDate"), text("ETable"),
          count("EID"), syncId()},
         nullptr,
         nullptr,
         "SID,PDate",
         6},
        // Budgets: a month's amount per expense category (OName; empty for the
        // spending of every category without one), and the categories whose
        // remainder rolls over into the next month.
        {"Budget",
         {key(), text("BName"), text("OName"), text("Month"), money("BMoney", true)},
         nullptr,
         nullptr,
         "BName,OName,Month",
         6},
        {"BudgetRollover",
         {key(), text("BName"), text("OName")},
         nullptr,
         nullptr,
         "BName,OName",
         6},
        // Each reconciliation of an account with the bank: the day, both balances
        // and the adjusting entry booked for what was left (none when they agreed).
        {"Reconcile",
         {key(), text("BName"), text("AName"), date("RDate"), money("Bank"), money("Own"),
          count("EID"), syncId()},
         "RDate",
         nullptr,
         nullptr,
         6},
        // Household sync. The books this data folder shares (ShareID: the book's
        // identity on every computer, whatever name it has on each) ...
        {"SyncShare", {key(), text("BName"), text("ShareID")}, nullptr, nullptr, "ShareID", 9},
        // ... this computer's set-up and progress by name (the folder, its name,
        // the last file written, its clock) ...
        {"SyncState", {key(), text("SKey"), text("SValue")}, nullptr, nullptr, "SKey", 9},
        // ... the actions of shared books still to be written out (Kind: done,
        // undone or redone), queued in the action's own transaction ...
        {"SyncOutbox",
         {key(), text("BName"), count("HistoryID"), text("Kind")},
         nullptr,
         nullptr,
         nullptr,
         9},
        // ... the last file of each other computer applied here ...
        {"SyncApplied", {key(), text("Computer"), count("Seq")}, nullptr, nullptr, "Computer", 9},
        // ... and when each shared row was last written (a hybrid logical clock),
        // so that of two edits made apart the later stands everywhere.
        {"SyncClock", {key(), text("Identity"), text("HLC")}, nullptr, nullptr, "Identity", 9},
    };
}

// An index a table got after it was first made: made with the table in a new file,
// and when a file of an older version is opened.
struct LaterIndex
{
    const char *table;
    const char *name;
    const char *columns;
    int since;
};

// Incomes and expenses listed by amount (a query sorted by 金额) read their first
// page from the index instead of sorting every row of the book; on a book of 10^6
// entries the two add some 15% to the file.
const LaterIndex LaterIndexes[] = {
    {"InTable", "idx_InTable_book_money", "BName, IMoney", 3},
    {"OutTable", "idx_OutTable_book_money", "BName, OMoney", 3},
    // A bill row imported before is found by its key.
    {"ImportEntry", "idx_ImportEntry_book_key", "BName, BillKey", 5},
    // Rows found by their identity when another computer's changes are applied.
    {"SAccount", "idx_SAccount_sync", "SyncID", 9},
    {"InD", "idx_InD_sync", "SyncID", 9},
    {"OutD", "idx_OutD_sync", "SyncID", 9},
    {"TD", "idx_TD_sync", "SyncID", 9},
    {"SFamily", "idx_SFamily_sync", "SyncID", 9},
    {"InTable", "idx_InTable_sync", "SyncID", 9},
    {"OutTable", "idx_OutTable_sync", "SyncID", 9},
    {"ChangeT", "idx_ChangeT_sync", "SyncID", 9},
    {"Borrow", "idx_Borrow_sync", "SyncID", 9},
    {"BorrowR", "idx_BorrowR_sync", "SyncID", 9},
    {"Debt", "idx_Debt_sync", "SyncID", 9},
    {"DebtR", "idx_DebtR_sync", "SyncID", 9},
    {"TTable", "idx_TTable_sync", "SyncID", 9},
    {"TTableR", "idx_TTableR_sync", "SyncID", 9},
    {"Schedule", "idx_Schedule_sync", "SyncID", 9},
    {"SchedulePost", "idx_SchedulePost_sync", "SyncID", 9},
    {"Reconcile", "idx_Reconcile_sync", "SyncID", 9},
};

QString createStatement(const LaterIndex &index)
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
        .arg(QLatin1String(index.name), QLatin1String(index.table), QLatin1String(index.columns));
}

QString columnDefinition(const Column &c)
{
    const QString name = QString::fromLatin1(c.name);
    switch (c.kind) {
    case K::Key:
        return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case K::Text:
    case K::Date:
        return name + QStringLiteral(" TEXT COLLATE NOCASE");
    case K::Money:
        return name + (c.defaultZero ? QStringLiteral(" INTEGER NOT NULL DEFAULT 0")
                                     : QStringLiteral(" INTEGER"));
    case K::Count:
        return name + QStringLiteral(" INTEGER");
    }
    return name;
}

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery info = Sql(QStringLiteral("PRAGMA table_info(%1)").arg(table)).exec(db);
    QStringList present;
    while (info.next())
        present << info.value(1).toString();
    return present;
}

QString createStatement(const Table &t)
{
    QStringList defs;
    for (const Column &c : t.columns)
        defs << columnDefinition(c);
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(QString::fromLatin1(t.name), defs.join(QStringLiteral(", ")));
}

QStringList indexStatements(const Table &t)
{
    QStringList out;
    const QString name = QString::fromLatin1(t.name);
    const bool perBook = std::any_of(t.columns.begin(), t.columns.end(),
                                     [](const Column &c) { return qstrcmp(c.name, "BName") == 0; });
    if (t.uniqueKey)
        out << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS idx_%1_key ON %1 (%2)")
                   .arg(name, QString::fromLatin1(t.uniqueKey));
    else if (t.bookDateColumn)
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_%1_book_date ON %1 (BName, %2)")
                   .arg(name, QString::fromLatin1(t.bookDateColumn));
    else if (perBook)
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_%1_book ON %1 (BName)").arg(name);
    if (t.parentKey)
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_%1_parent ON %1 (%2)")
                   .arg(name, QString::fromLatin1(t.parentKey));
    for (const LaterIndex &index : LaterIndexes)
        if (name == QLatin1String(index.table))
            out << createStatement(index);
    return out;
}

} // namespace

const std::vector<Table> &tables()
{
    static const std::vector<Table> all = makeTables();
    return all;
}

const Table *table(const QString &name)
{
    for (const Table &t : tables())
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

bool hasSyncId(const QString &name)
{
    const Table *t = table(name);
    return t && std::any_of(t->columns.begin(), t->columns.end(),
                            [](const Column &c) { return qstrcmp(c.name, "SyncID") == 0; });
}

QString newSyncId()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

void create(QSqlDatabase db)
{
    Transaction transaction(db);
    addTablesSince(db, 0);
    Sql(QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId)).exec(db);
    Sql(QStringLiteral("PRAGMA user_version = %1").arg(UserVersion)).exec(db);
    transaction.commit();
}

int version(QSqlDatabase db)
{
    QSqlQuery version = Sql(QStringLiteral("PRAGMA user_version")).exec(db);
    return version.next() ? version.value(0).toInt() : 0;
}

void addTablesSince(QSqlDatabase db, int fromVersion)
{
    for (const Table &t : tables()) {
        if (t.since <= fromVersion) {
            const QStringList present = columnsOf(db, QString::fromLatin1(t.name));
            for (const Column &c : t.columns)
                if (c.since > fromVersion &&
                    !present.contains(QLatin1String(c.name), Qt::CaseInsensitive))
                    Sql(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                            .arg(QString::fromLatin1(t.name), columnDefinition(c)))
                        .exec(db);
            continue;
        }
        Sql(createStatement(t)).exec(db);
        for (const QString &index : indexStatements(t))
            Sql(index).exec(db);
    }
    // Tables the file had get the indexes that came later.
    for (const LaterIndex &index : LaterIndexes)
        if (index.since > fromVersion && table(QLatin1String(index.table))->since <= fromVersion)
            Sql(createStatement(index)).exec(db);
    // A row written with no identity (by a statement of its own rather than a row
    // of Rows) gets one at once.
    if (fromVersion < 9)
        for (const Table &t : tables())
            if (hasSyncId(QLatin1String(t.name)))
                Sql(QStringLiteral("CREATE TRIGGER IF NOT EXISTS sync_id_%1 AFTER INSERT ON %1 "
                                   "WHEN new.SyncID IS NULL BEGIN UPDATE %1 SET "
                                   "SyncID=lower(hex(randomblob(16))) WHERE ID=new.ID; END")
                        .arg(QLatin1String(t.name)))
                    .exec(db);
}

QString checkOwnDatabase(QSqlDatabase db, bool checkIntegrity)
{
    try {
        QSqlQuery appId = Sql(QStringLiteral("PRAGMA application_id")).exec(db);
        appId.next();
        if (appId.value(0).toInt() != ApplicationId)
            return QStringLiteral("该文件不是青禾簿的数据文件。");
        const int v = version(db);
        if (v < 1 || v > UserVersion)
            return QStringLiteral("该数据文件的版本（%1）本程序无法读取。").arg(v);
        if (checkIntegrity) {
            QSqlQuery integrity = Sql(QStringLiteral("PRAGMA integrity_check")).exec(db);
            if (!integrity.next() || integrity.value(0).toString() != QLatin1String("ok"))
                return QStringLiteral("数据文件已损坏（完整性检查未通过）。");
        }
        for (const Table &t : tables()) {
            if (t.since > v)
                continue; // brought by an upgrade when the file is opened
            const QStringList present = columnsOf(db, QString::fromLatin1(t.name));
            for (const Column &c : t.columns)
                if (c.since <= v && !present.contains(QLatin1String(c.name), Qt::CaseInsensitive))
                    return QStringLiteral("数据文件缺少表或列：%1.%2")
                        .arg(QString::fromLatin1(t.name), QString::fromLatin1(c.name));
        }
    } catch (const DbError &e) {
        return QStringLiteral("无法读取文件：") + e.message();
    }
    return {};
}

} // namespace Schema
