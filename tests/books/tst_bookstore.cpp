#include "core/books/BookStore.h"
#include "core/books/Password.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QTest>

class TestBookStore : public QObject
{
    Q_OBJECT
private slots:
    void newBookHasItsHashedPasswordAndDefaultRows();
    void newBookIsStoredCompletelyOrNotAtAll();
    void passwordsAreSaltedSlowHashes();
    void passwordCheckIgnoresCapitalsAndTakesQuotes();
    void deleteRemovesTheBookEverywhereAndNothingElse();
    void backupIsAValidCopyOfTheLiveData();
    void backupRefusesBadTargets();
    void restoreBringsEveryBookBackAndKeepsASafetyCopy();
    void restoringABackupOfAnEarlierVersionBringsItUpToDate();
    void restoreRefusesFilesThatAreNotOurs_data();
    void restoreRefusesFilesThatAreNotOurs();
};

namespace {

const QString Book = QStringLiteral("我家帐簿");

// One row in every per-book table and a child row under each parent, for `book`.
void fillBook(const QString &book)
{
    BookStore::createBook(book);
    Seed seed(book);
    seed.account("现金", yuan("1000"));
    seed.income("2024-01-05", "工资", yuan("5000"), "现金");
    seed.expense("2024-01-06", "食品", yuan("123"), "现金");
    seed.transfer("2024-01-07", "现金", "支付宝", yuan("10"));
    const QVariant borrow = seed.debt("2024-01-08", "借", yuan("500"), "现金");
    const QVariant debt = seed.credit("2024-01-08", "借", yuan("500"), "现金");
    const QVariant invest = seed.investment("2024-01-09", "股票", yuan("2000"), "现金");
    seed.followUp(Ledger::repayment(), borrow, "2024-02-01", yuan("1"), "现金");
    seed.followUp(Ledger::collection(), debt, "2024-02-01", yuan("2"), "现金");
    seed.followUp(Ledger::investmentReturn(), invest, "2024-02-01", Money::fromUnits(1), "现金", {},
                  {}, Money::fromUnits(2));
    seed.commit();
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
    return path;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

void TestBookStore::newBookHasItsHashedPasswordAndDefaultRows()
{
    TestEnvironment env;
    env.dm()->setCurrentBook("别的帐簿");
    BookStore::createBook(Book, "家庭日常", "2024-03-01");

    QCOMPARE(Db::count("select count(*) from SBook"), 1);
    QCOMPARE(Db::value("select BDate from SBook").toString(), QString("2024-03-01"));
    QCOMPARE(Db::value("select Remark from SBook").toString(), QString("家庭日常"));
    const QString stored = Db::value("select BPass from SBook").toString();
    QVERIFY(stored.startsWith("pbkdf2-sha256$"));
    QVERIFY(!stored.contains("480726"));
    QVERIFY(Password::verify("480726", stored));

    QCOMPARE(Db::count("select count(*) from InD where BName=?", {Book}), 19);
    QCOMPARE(Db::count("select count(*) from OutD where BName=?", {Book}), 54);
    QCOMPARE(Db::count("select count(*) from SAccount where BName=?", {Book}), 9);
    QCOMPARE(Db::count("select count(*) from TD where BName=?", {Book}), 9);
    const int all = Db::count("select (select count(*) from InD) + (select count(*) from OutD) + "
                              "(select count(*) from SAccount) + (select count(*) from TD)");
    QCOMPARE(all, BookStore::DefaultRowCount);
    // Written in list order, with empty remarks and zero balances.
    QCOMPARE(Db::value("select IName from InD order by ID").toString(), QString("工资"));
    QCOMPARE(Db::value("select OName from OutD order by ID desc").toString(), QString("其他支出"));
    QCOMPARE(Db::value("select AName from SAccount order by ID").toString(), QString("现金"));
    QCOMPARE(Db::value("select TName from TD order by ID desc").toString(), QString("其他投资"));
    QCOMPARE(Db::count("select count(*) from OutD where OName='赡养费'"), 1);
    QCOMPARE(Db::count("select count(*) from InD where IName='赡养费'"), 1);
    QCOMPARE(Db::count("select count(*) from SAccount where AMoney<>0"), 0);
    QCOMPARE(Db::count("select count(*) from InD where Remark is null or Remark<>''"), 0);
    // The current book stays what it was: a book becomes current only by being opened.
    QCOMPARE(env.dm()->currentBook(), QString("别的帐簿"));

    // Every name has its pinyin initials.
    QCOMPARE(Db::value("select thePY from InD where IName='工资'").toString(), QString("GZ"));
    QCOMPARE(Db::value("select thePY from SAccount where AName='支付宝'").toString(),
             QString("ZFB"));
    for (const char *table : {"InD", "OutD", "SAccount", "TD"})
        QVERIFY2(Db::count(QStringLiteral("select count(*) from %1 where thePY is null or thePY=''")
                               .arg(QLatin1String(table))) == 0,
                 table);
}

void TestBookStore::newBookIsStoredCompletelyOrNotAtAll()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    QVERIFY(BookStore::bookExists(Book));
    // The name is taken (letter case of ASCII letters aside).
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::createBook(Book));
    BookStore::createBook("Home");
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::createBook("HOME"));
    QCOMPARE(BookStore::bookCount(), 2);

    // A failure in the middle of the seeding leaves no half-made book.
    Db::exec("CREATE TRIGGER refuse_td BEFORE INSERT ON TD BEGIN SELECT RAISE(ABORT, 'full'); END");
    const QStringList before = Db::dump();
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::createBook("第三本"));
    QCOMPARE(Db::dump(), before);
    QVERIFY(!BookStore::bookExists("第三本"));
}

void TestBookStore::passwordsAreSaltedSlowHashes()
{
    TestEnvironment env;
    const QString a = Password::hash("480726");
    const QString b = Password::hash("480726");
    QVERIFY(a != b); // a salt of its own for every hash
    QVERIFY(Password::verify("480726", a) && Password::verify("480726", b));
    QVERIFY(!Password::verify("480727", a));
    QVERIFY(!Password::verify("", a));
    QVERIFY(Password::verify("", Password::hash("")));

    // Only stored hashes ever match: never a password stored as typed, nor garbage.
    QVERIFY(!Password::verify("480726", "480726"));
    QVERIFY(!Password::verify("", ""));
    QVERIFY(!Password::verify("480726", "pbkdf2-sha256$0$AAAA$AAAA"));
    QVERIFY(!Password::verify("480726", a.section('$', 0, 2) + "$notbase64!"));

    // The program's own count is a slow one; the count travels with the hash.
    const int testCount = Password::iterations();
    Password::setIterations(Password::DefaultIterations);
    const QString real = Password::hash("Ab'1");
    Password::setIterations(testCount);
    QVERIFY(Password::DefaultIterations >= 600000);
    QCOMPARE(real.section('$', 1, 1), QString::number(Password::DefaultIterations));
    QVERIFY(Password::verify("aB'1", real));
}

void TestBookStore::passwordCheckIgnoresCapitalsAndTakesQuotes()
{
    TestEnvironment env;
    const QString quoted = "O'Brien's 帐簿";
    BookStore::createBook(quoted);
    QVERIFY(BookStore::checkPassword(quoted, "480726"));
    QVERIFY(!BookStore::checkPassword(quoted, "480725"));
    QVERIFY(!BookStore::checkPassword("没有这本", "480726"));

    BookStore::changePassword(quoted, "Pa'ss 密码");
    QVERIFY(!BookStore::checkPassword(quoted, "480726"));
    QVERIFY(BookStore::checkPassword(quoted, "Pa'ss 密码"));
    QVERIFY(BookStore::checkPassword(quoted, "pA'SS 密码"));
    QVERIFY(!BookStore::checkPassword(quoted, "Pa'ss 密"));
    // Only ASCII letters fold: other letters are compared as typed.
    BookStore::changePassword(quoted, "Ärger");
    QVERIFY(BookStore::checkPassword(quoted, "ÄRGER"));
    QVERIFY(!BookStore::checkPassword(quoted, "ärger"));

    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::changePassword("没有这本", "x"));
}

void TestBookStore::deleteRemovesTheBookEverywhereAndNothingElse()
{
    TestEnvironment env;
    fillBook("甲");
    fillBook("乙");
    Db::exec("insert into SFamily (FName, thePY) values ('张三', 'ZS')");
    Db::exec("insert into SZTable (theDate, theSM) values ('2024-01', 1)");
    const QVariant jiaBorrow = Db::value("select ID from Borrow where BName='甲'");

    // What must stay: every row that does not belong to 甲.
    QStringList othersBefore;
    for (const QString &row : Db::dump())
        if (!row.contains("|甲|"))
            othersBefore << row;
    BookStore::deleteBook("甲");

    for (const Schema::Table &t : Schema::tables()) {
        const QString table = QLatin1String(t.name);
        if (Db::count(
                QStringLiteral("select count(*) from pragma_table_info('%1') where name='BName'")
                    .arg(table)) == 1)
            QVERIFY2(
                Db::count(QStringLiteral("select count(*) from %1 where BName='甲'").arg(table)) ==
                    0,
                t.name);
    }
    QCOMPARE(Db::count("select count(*) from BorrowR where BID=?", {jiaBorrow}), 0);
    for (const char *child : {"BorrowR", "DebtR", "TTableR"})
        QVERIFY2(Db::count(QStringLiteral("select count(*) from %1").arg(QLatin1String(child))) ==
                     1,
                 child);
    QStringList after = Db::dump();
    // Child rows carry no book name: those of 乙 are the ones left.
    QCOMPARE(after.size(), othersBefore.size() - 3);
    for (const QString &row : after)
        QVERIFY2(othersBefore.contains(row), qPrintable(row));

    // The name is free again and a new book under it starts afresh.
    BookStore::createBook("甲");
    QCOMPARE(Db::count("select count(*) from InTable where BName='甲'"), 0);
    QCOMPARE(Db::count("select count(*) from SAccount where BName='甲'"), 9);
}

void TestBookStore::backupIsAValidCopyOfTheLiveData()
{
    TestEnvironment env;
    fillBook(Book);
    QTemporaryDir folder;
    const QString target = folder.filePath("2024-01-24.db");
    BookStore::backupTo(target);
    QVERIFY(BookStore::checkBackup(target).isEmpty());
    QCOMPARE(Db::dumpFile(target), Db::dump());
    QCOMPARE(filesIn(folder.path()), QStringList{"2024-01-24.db"}); // no temporary left

    // A second backup into the same file replaces the first.
    fillBook("第二本");
    BookStore::backupTo(target);
    QCOMPARE(Db::dumpFile(target), Db::dump());
    QCOMPARE(filesIn(folder.path()), QStringList{"2024-01-24.db"});

    // A backup never holds a half-done change: it reads what was committed.
    {
        QSqlDatabase db = env.dm()->database();
        QVERIFY(db.transaction());
        Db::exec("insert into SFamily (FName) values ('未提交')");
        BookStore::backupTo(folder.filePath("during.db"));
        QVERIFY(db.rollback());
    }
    QCOMPARE(Db::dumpFile(folder.filePath("during.db")), Db::dump());
    QCOMPARE(filesIn(folder.path()), QStringList({"2024-01-24.db", "during.db"}));
}

void TestBookStore::backupRefusesBadTargets()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    QTemporaryDir folder;
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::backupTo(folder.filePath("missing/x.db")));
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::backupTo(folder.path()));
    // Writing over the live file would lose everything the program writes next.
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::backupTo(env.dm()->databasePath()));
    QVERIFY(BookStore::bookExists(Book));
    QVERIFY(filesIn(folder.path()).isEmpty());
}

void TestBookStore::restoreBringsEveryBookBackAndKeepsASafetyCopy()
{
    TestEnvironment env;
    fillBook("甲");
    fillBook("乙");
    QTemporaryDir folder;
    const QString backup = folder.filePath("backup.db");
    BookStore::backupTo(backup);
    const QStringList atBackup = Db::dump();

    // Later work: a book deleted, a password changed, a new book.
    BookStore::deleteBook("乙");
    BookStore::changePassword("甲", "new");
    BookStore::createBook("丙");
    const QStringList beforeRestore = Db::dump();

    const QString safety = BookStore::restoreFrom(backup);
    QCOMPARE(Db::dump(), atBackup);
    QVERIFY(BookStore::checkPassword("甲", "480726"));
    QVERIFY(!BookStore::checkPassword("甲", "new"));
    QVERIFY(BookStore::bookExists("乙") && !BookStore::bookExists("丙"));
    QVERIFY(Schema::checkOwnDatabase(env.dm()->database(), true).isEmpty());

    // The data it replaced is kept in the data folder.
    QCOMPARE(QFileInfo(safety).absolutePath(), QFileInfo(env.dm()->databasePath()).absolutePath());
    QCOMPARE(Db::dumpFile(safety), beforeRestore);

    // The program goes on writing into the restored data.
    BookStore::createBook("丁");
    QVERIFY(BookStore::bookExists("丁"));
}

void TestBookStore::restoringABackupOfAnEarlierVersionBringsItUpToDate()
{
    TestEnvironment env;
    QTemporaryDir folder;
    const QString backup = folder.filePath("earlier.db");
    QVERIFY(QFile::copy(QINGHEBU_FIXTURES "/written-by-version-1.db", backup));
    BookStore::restoreFrom(backup);
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QVERIFY(Db::count("select count(*) from MonthTotal") > 0);
    QVERIFY(MonthTotals::differences(env.dm()->database()).isEmpty());
}

void TestBookStore::restoreRefusesFilesThatAreNotOurs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("foreign sqlite") << "foreign";
    QTest::newRow("our mark, no tables") << "marked";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("the live file") << "live";
}

void TestBookStore::restoreRefusesFilesThatAreNotOurs()
{
    QFETCH(QString, kind);
    TestEnvironment env;
    fillBook(Book);
    QTemporaryDir folder;
    QString path = folder.filePath("x.db");
    if (kind == "text") {
        writeFile(path, "SQLite is not in here\n");
    } else if (kind == "empty") {
        writeFile(path, "");
    } else if (kind == "foreign") {
        Db::makeForeignDatabase(path, {"create table notes (id integer primary key, body text)"});
    } else if (kind == "marked") {
        Db::makeForeignDatabase(
            path, {QStringLiteral("PRAGMA application_id = %1").arg(Schema::ApplicationId),
                   QStringLiteral("PRAGMA user_version = %1").arg(Schema::UserVersion),
                   "create table SBook (ID integer primary key)"});
    } else if (kind == "live") {
        path = env.dm()->databasePath();
    }
    const QStringList before = Db::dump();
    const QStringList dataFiles = filesIn(env.dataDir());

    QVERIFY(!BookStore::checkBackup(path).isEmpty());
    QVERIFY_THROWS_EXCEPTION(DbError, BookStore::restoreFrom(path));
    QCOMPARE(Db::dump(), before);
    QCOMPARE(filesIn(env.dataDir()), dataFiles); // no safety copy for a refused file
}

QTEST_GUILESS_MAIN(TestBookStore)
#include "tst_bookstore.moc"
