#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "data/Transaction.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void createsEveryTableWithItsColumns();
    void marksTheFileAndKeepsItDurable();
    void inPlaceAmountsDefaultToZero();
    void textComparesWithoutCase();
    void refusesAFileThatIsNotOursAndLeavesItAlone_data();
    void refusesAFileThatIsNotOursAndLeavesItAlone();
    void reopensAnExistingDatabaseWithItsData();
    void aFileOfTheFirstLayoutGetsItsTotalsWhenOpened();
    void aFileOfTheVersionBeforeGetsTheNewTables();
    void aFileOfTheLayoutBeforeGetsAccountKindsAndOpenings();
    void aFileOfTheLayoutBeforeGetsRowIdentities();
    void aFirstStartCutOffByACrashStartsAfresh();
    void transactionRollsBackWhenNotCommitted();
    void boundValuesCarryQuotes();
};

void TestDatabase::createsEveryTableWithItsColumns()
{
    TestEnvironment env;
    const QStringList expected = {
        "SBook",          "SAccount",       "InD",          "OutD",        "TD",
        "SFamily",        "InTable",        "OutTable",     "ChangeT",     "Borrow",
        "BorrowR",        "Debt",           "DebtR",        "TTable",      "TTableR",
        "SZTable",        "MonthTotal",     "History",      "HistoryRow",  "BinnedBook",
        "ImportAccount",  "ImportCategory", "ImportRule",   "ImportBatch", "ImportEntry",
        "BookSetting",    "Schedule",       "SchedulePost", "Reconcile",   "Budget",
        "BudgetRollover", "SyncShare",      "SyncState",    "SyncOutbox",  "SyncApplied",
        "SyncClock"};
    QSqlQuery tables = Sql("select name from sqlite_master where type='table' and "
                           "name not like 'sqlite_%' order by name")
                           .exec();
    QStringList present;
    while (tables.next())
        present << tables.value(0).toString();
    QCOMPARE(present.size(), 37);
    for (const QString &t : expected)
        QVERIFY2(present.contains(t), qPrintable(t));

    // A few columns that later windows rely on, by name.
    const QList<QPair<QString, QString>> columns = {
        {"SAccount", "AMoney"}, {"SFamily", "BirDate"}, {"Borrow", "RMoney"}, {"TTableR", "SMoney"},
        {"DebtR", "DID"},       {"SZTable", "theBC"},   {"InD", "ID"},        {"SFamily", "ID"}};
    for (const auto &[table, column] : columns) {
        QSqlQuery info = Sql(QString("PRAGMA table_info(%1)").arg(table)).exec();
        bool found = false;
        while (info.next())
            found |= info.value(1).toString() == column;
        QVERIFY2(found, qPrintable(table + "." + column));
    }
}

void TestDatabase::marksTheFileAndKeepsItDurable()
{
    TestEnvironment env;
    QCOMPARE(Db::value("PRAGMA application_id").toInt(), Schema::ApplicationId);
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QCOMPARE(Db::value("PRAGMA synchronous").toInt(), 2); // FULL
    QVERIFY(QFile::exists(env.dataDir() + "/db.db"));
}

void TestDatabase::inPlaceAmountsDefaultToZero()
{
    TestEnvironment env;
    // Rows that leave the amounts out, written by hand: what is tested is the
    // tables' defaults, which no writer of this program relies on.
    Db::exec("insert into SAccount (AName, BName) values ('现金', 'b')");
    Db::exec("insert into Borrow (BName, BPro) values ('b', 'x')");
    Db::exec("insert into TTable (BName, TName) values ('b', 'x')");
    QCOMPARE(Db::value("select AMoney from SAccount").toInt(), 0);
    QCOMPARE(Db::value("select BMoney + RMoney from Borrow").toInt(), 0);
    QCOMPARE(Db::value("select TMoney + RMoney from TTable").toInt(), 0);
    QCOMPARE(Db::value("select ID from TTable").toInt(), 1);
}

void TestDatabase::textComparesWithoutCase()
{
    TestEnvironment env;
    Db::exec("insert into SBook (BName, Remark) values (?, ?)", {"Home", "abc"});
    QCOMPARE(Db::count("select count(*) from SBook where BName=? and Remark=?", {"HOME", "ABC"}),
             1);
}

void TestDatabase::refusesAFileThatIsNotOursAndLeavesItAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text file") << QByteArray("just some text, not a database\n");
    QTest::newRow("foreign sqlite") << QByteArray(); // made in the test body
}

void TestDatabase::refusesAFileThatIsNotOursAndLeavesItAlone()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.path() + "/db.db";
    if (content.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            Sql("create table Other (x)").exec(db);
            db.close();
        }
        QSqlDatabase::removeDatabase("foreign");
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QFile before(path);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    before.close();

    qputenv("QINGHEBU_DATA_DIR", dir.path().toUtf8());
    {
        Workspace dm;
        QVERIFY(!dm.isOpen());
        QVERIFY(!dm.openError().isEmpty());
    }
    qunsetenv("QINGHEBU_DATA_DIR");
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), original);
}

void TestDatabase::reopensAnExistingDatabaseWithItsData()
{
    TestEnvironment env;
    Db::insertBook("我家帐簿");
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::count("select count(*) from SBook"), 1);
}

void TestDatabase::aFirstStartCutOffByACrashStartsAfresh()
{
    // The files as a crash leaves them halfway through creating the tables: pages
    // already written into the file, the journal that undoes them beside it.
    QTemporaryDir crashing, dataDir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "crashing");
        db.setDatabaseName(crashing.filePath("db.db"));
        QVERIFY(db.open());
        Sql("PRAGMA cache_size = 1").exec(db);
        QVERIFY(db.transaction());
        for (int i = 0; i < 40; ++i)
            Sql(QString("create table Half%1 (x text, y integer)").arg(i)).exec(db);
        for (const QString name : {"db.db", "db.db-journal"})
            QVERIFY(QFile::copy(crashing.filePath(name), dataDir.filePath(name)));
        QVERIFY(db.rollback());
        db.close();
    }
    QSqlDatabase::removeDatabase("crashing");
    QVERIFY(QFileInfo(dataDir.filePath("db.db")).size() > 0);

    qputenv("QINGHEBU_DATA_DIR", dataDir.path().toUtf8());
    {
        Workspace dm;
        QVERIFY2(dm.isOpen(), qPrintable(dm.openError()));
        QVERIFY(Schema::checkOwnDatabase(dm.database(), true).isEmpty());
        QCOMPARE(Db::count("select count(*) from sqlite_master where name like 'Half%'"), 0);
    }
    qunsetenv("QINGHEBU_DATA_DIR");
}

// A file written by the first version (a sample book with follow-ups) opens: its
// monthly totals are built once, with progress, in one transaction, and give what
// its rows give.
void TestDatabase::aFileOfTheFirstLayoutGetsItsTotalsWhenOpened()
{
    TestEnvironment env;
    env.replaceDataFile("written-by-version-1.db");
    QList<int> progress;
    Workspace::upgradeProgress() = [&](const QString &, int percent) { progress << percent; };
    QVERIFY(env.dm()->reopen());
    Workspace::upgradeProgress() = {};
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QVERIFY(!progress.isEmpty() && progress.last() == 100);
    QVERIFY(Db::count("select count(*) from MonthTotal") > 100);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    const QString book = Db::value("select BName from SBook").toString();
    QCOMPARE(MonthTotals::byKind(book).value("OutTable"),
             Money::fromVariant(Db::value("select sum(OMoney) from OutTable")));
    QCOMPARE(MonthTotals::byKind(book).value("Borrow"),
             Money::fromVariant(Db::value("select sum(BMoney) from Borrow")));

    // Opened again, nothing more is done.
    progress.clear();
    Workspace::upgradeProgress() = [&](const QString &, int percent) { progress << percent; };
    QVERIFY(env.dm()->reopen());
    Workspace::upgradeProgress() = {};
    QVERIFY(progress.isEmpty());
}

// A file of an earlier version, with a book in it, opens with the tables the
// versions after it brought, empty, and its rows as they were: from layout 4
// (before the imports' and the planning tables) and from the layout just before.
void TestDatabase::aFileOfTheVersionBeforeGetsTheNewTables()
{
    for (const int from : {4, 5}) {
        TestEnvironment env;
        Db::insertBook("家");
        Seed seed("家");
        seed.account("现金", Money::fromUnits(50000));
        seed.commit();
        // Neither the identities' indexes nor their triggers: what holds a column
        // keeps it from being dropped.
        QStringList later;
        for (QSqlQuery q = Sql("select type, name from sqlite_master where name like 'sync_id_%' "
                               "or name like 'idx_%_sync'")
                               .exec();
             q.next();)
            later << QString("drop %1 %2").arg(q.value(0).toString(), q.value(1).toString());
        for (const QString &drop : later)
            Db::exec(drop);
        QStringList added;
        for (const Schema::Table &t : Schema::tables()) {
            if (t.since > from) {
                added << t.name;
                Db::exec(QString("drop table %1").arg(t.name));
                continue;
            }
            for (const Schema::Column &c : t.columns)
                if (c.since > from)
                    Db::exec(QString("alter table %1 drop column %2").arg(t.name, c.name));
        }
        QVERIFY(added.contains("Budget"));
        Db::exec(QString("PRAGMA user_version = %1").arg(from));
        QVERIFY(env.dm()->reopen());
        QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
        QVERIFY(Schema::checkOwnDatabase(env.dm()->database(), true).isEmpty());
        for (const QString &table : added)
            QCOMPARE(Db::count(QString("select count(*) from %1").arg(table)), 0);
        QCOMPARE(Db::count("select count(*) from SBook"), 1);
        QCOMPARE(Db::balance("家", "现金"), Money::fromUnits(50000));
    }
}

// A file the version before wrote: its accounts get their kinds (现金 by its name,
// the others 储蓄) and opening balances (what each held beyond its entries), and
// every balance and entry stays as it was.
void TestDatabase::aFileOfTheLayoutBeforeGetsAccountKindsAndOpenings()
{
    TestEnvironment env;
    const QString file = env.replaceDataFile("written-by-layout-6.db");
    const QStringList entriesBefore =
        Db::dumpFile(file).filter(QRegularExpression("^(In|Out)Table"));
    QCOMPARE(entriesBefore.size(), 4);
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QVERIFY(Schema::checkOwnDatabase(env.dm()->database(), true).isEmpty());
    const auto account = [](const char *name) {
        return Db::value("select AKind||' '||AMoney||' '||OpenMoney||' '||OpenDate from SAccount "
                         "where AName=?",
                         {QString::fromUtf8(name)})
            .toString();
    };
    // 现金: 0 at the start, 36.50 spent, a balance of 1,500.00 typed (an income of
    // 1,536.50 then); 工商银行 opened with 5,200; 花呗 with -1,200.
    QCOMPARE(account("现金"), QString("现金 15000000 0 2026-11-01"));
    QCOMPARE(account("工商银行"), QString("储蓄 132000000 52000000 2026-11-01"));
    QCOMPARE(account("花呗"), QString("储蓄 -8280000 -12000000 2026-11-01"));
    // The same entries, each with its identity now.
    QStringList entriesAfter = Db::dump().filter(QRegularExpression("^(In|Out)Table"));
    for (QString &entry : entriesAfter) {
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(entry.section('|', -1)).hasMatch());
        entry = entry.section('|', 0, -2);
    }
    QCOMPARE(entriesAfter, entriesBefore);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    // The balance typed then is still undone as it was done.
    History::undo("我的帐簿");
    QCOMPARE(Db::balance("我的帐簿", "现金"), -yuan("36.5"));
}

// A file the version before wrote: every row that travels between a household's
// computers gets an identity of its own, and the balances stay. Rows written from
// then on get theirs as they are written, and the actions of a shared book wait
// to be sent (not those that came from another computer).
void TestDatabase::aFileOfTheLayoutBeforeGetsRowIdentities()
{
    TestEnvironment env;
    env.replaceDataFile("written-by-layout-8.db");
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QVERIFY(Schema::checkOwnDatabase(env.dm()->database(), true).isEmpty());
    const QString book = "我的帐簿";
    QCOMPARE(Db::balance(book, "招行一卡通"), yuan("12963.5"));
    QCOMPARE(Db::balance(book, "现金"), yuan("700"));
    const auto identities = [] {
        QStringList all;
        for (const Schema::Table &t : Schema::tables())
            if (Schema::hasSyncId(t.name))
                for (QSqlQuery q = Sql(QString("select SyncID from %1").arg(t.name)).exec();
                     q.next();)
                    all << q.value(0).toString();
        return all;
    };
    QStringList ids = identities();
    QVERIFY(ids.size() > 20); // accounts, categories, members, entries, a repayment
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
    QCOMPARE(ids.filter(QRegularExpression("^[0-9a-f]{32}$")).size(), ids.size());

    Db::exec("insert into SyncShare (BName, ShareID) values (?, 'abc')", {book});
    Seed seed(book);
    seed.account("余额宝", yuan("10"));
    seed.expense("2026-12-01", "食品", yuan("5"), "余额宝");
    seed.commit(); // kept out of the history, as a sample book's rows
    Ledger made(book);
    made.save(Ledger::income(), {{"IDate", "2026-12-02"},
                                 {"IName", "工资"},
                                 {"IMoney", yuan("1").toVariant()},
                                 {"AName", "现金"},
                                 {"FName", ""},
                                 {"Remark", ""}});
    made.commit();
    Ledger applied(book);
    applied.setOrigin("客厅台式机");
    applied.save(Ledger::income(), {{"IDate", "2026-12-03"},
                                    {"IName", "工资"},
                                    {"IMoney", yuan("2").toVariant()},
                                    {"AName", "现金"},
                                    {"FName", ""},
                                    {"Remark", ""}});
    applied.commit();
    ids = identities();
    QCOMPARE(ids.filter(QRegularExpression("^[0-9a-f]{32}$")).size(), ids.size());
    QCOMPARE(Db::value("select Kind from SyncOutbox").toString(), QString("done"));
    QCOMPARE(Db::count("select count(*) from SyncOutbox"), 1);
    QCOMPARE(Db::value("select Origin from History order by ID desc").toString(),
             QString("客厅台式机"));
    // An undo is an action to send too.
    History::undo(book);
    QCOMPARE(Db::value("select Kind from SyncOutbox order by ID desc").toString(),
             QString("undone"));
}

void TestDatabase::transactionRollsBackWhenNotCommitted()
{
    TestEnvironment env;
    Seed seed("b");
    seed.account("现金", Money::fromUnits(10000));
    seed.commit();
    // The balance is written by hand here: it stands for any statement, what is
    // tested is what a transaction keeps and drops.
    try {
        Transaction t;
        Sql("update SAccount set AMoney=AMoney+50000").exec();
        Sql("insert into NoSuchTable values (1)").exec();
        t.commit();
        QFAIL("the failing statement must throw");
    } catch (const DbError &e) {
        QVERIFY(e.message().startsWith("数据没有保存：数据库出错。\n\nno such table"));
    }
    QCOMPARE(Db::balance("b", "现金"), *Money::parse("1"));

    // One begun inside another keeps or drops only its own work.
    {
        Transaction outer;
        Sql("update SAccount set AMoney=20000").exec();
        {
            Transaction dropped;
            Sql("update SAccount set AMoney=30000").exec();
        }
        Transaction kept;
        Sql("update SAccount set AMoney=AMoney+1").exec();
        kept.commit();
        outer.commit();
    }
    QCOMPARE(Db::balance("b", "现金"), Money::fromUnits(20001));
    // A full disk is said in Chinese, the database's words below.
    const QSqlError full("", "database or disk is full", QSqlError::StatementError, "13");
    QCOMPARE(
        DbError::fromDatabase(full, true).message(),
        QString("数据没有保存：磁盘空间已满。请腾出磁盘空间后再试。\n\ndatabase or disk is full"));
}

void TestDatabase::boundValuesCarryQuotes()
{
    TestEnvironment env;
    Db::exec("insert into SBook (BName, Remark) values (?, ?)", {"O'Brien's book", "it's"});
    QCOMPARE(Db::value("select Remark from SBook where BName=?", {"O'Brien's book"}).toString(),
             QString("it's"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
