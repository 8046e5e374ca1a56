#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QAction>
#include <QMenu>
#include <QTest>

// Undo and redo from the 编辑 menu, the recycle bin of rows and of books, and the
// history kept in the data file, driven through the real windows.
class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void undoAndRedoFromTheMenuSurviveARestart();
    void undoTouchesOnlyTheCurrentBookAndIsRefusedWhenALaterChangeStandsInTheWay();
    void aRestoredEntryMovesItsAccountBackExactly();
    void aDeletedBookWaitsInTheBinForItsPassword();
    void aFileOfTheLayoutBeforeGetsTheHistory();
    void anActionKeptAsABatchGoesToItsTablesHandler();
};

namespace {

const QString Today = QDate::currentDate().toString("yyyy-MM-dd");

void saveExpense(QWidget *w, const QString &category, const QString &amount,
                 const QString &member = QString())
{
    Drive::click(w, "ButNew");
    Drive::choose(w, "DBLookupComboBox1", category);
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", "现金");
    if (!member.isEmpty())
        Drive::choose(w, "DBLookupComboBox3", member);
    Drive::click(w, "ButSave");
}

// The 编辑 menu's first item as shown when the menu opens.
QString undoCaption(MainWindow &main)
{
    emit main.findChild<QMenu *>("E1")->aboutToShow();
    return main.findChild<QAction *>("N50")->text();
}

struct Book
{
    explicit Book(TestEnvironment &env)
    {
        Db::exec("insert into SFamily (FName) values ('爸爸')");
        for (const QString book : {"家", "别家"}) {
            BookStore::createBook(book);
            Seed seed(book);
            seed.everyAccountOpensWith(yuan("1000"));
            seed.commit();
        }
        (void)env;
    }
};

} // namespace

void TestHistory::undoAndRedoFromTheMenuSurviveARestart()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book seed(env);
    {
        MainWindow main;
        main.show();
        Drive::openBook(&main, "家");
        QWidget *w = main.openWindow("TfrmOutTable");
        saveExpense(w, "食品", "36.5");
        QCOMPARE(Db::balance("家", "现金"), *Money::parse("963.5"));
        messages.answer(QMessageBox::Yes);
        Drive::click(w, "ButDel");
        QCOMPARE(Db::count("select count(*) from OutTable"), 0);
        QCOMPARE(undoCaption(main), "撤销 删除支出 " + Today + " 食品 36.50");

        Drive::trigger(&main, "N50");
        // The open window lists the row again, and the balance is back.
        QCOMPARE(Drive::column(w, "DBGrid1", "金额"), QStringList{"36.50"});
        QCOMPARE(Db::balance("家", "现金"), *Money::parse("963.5"));
        QCOMPARE(undoCaption(main), "撤销 新增支出 " + Today + " 食品 36.50");
        Drive::trigger(&main, "N50");
        QCOMPARE(Db::balance("家", "现金"), *Money::parse("1000"));
        QCOMPARE(Db::count("select count(*) from OutTable"), 0);
    }
    // The program ends and starts again: what was undone can be redone.
    QVERIFY(env.dm()->reopen());
    MainWindow main;
    main.show();
    Drive::openBook(&main, "家");
    QCOMPARE(undoCaption(main), QString("撤销 &U"));
    QCOMPARE(main.findChild<QAction *>("N51")->text(), "重做 新增支出 " + Today + " 食品 36.50");
    Drive::trigger(&main, "N51");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("963.5"));
    QCOMPARE(Db::count("select count(*) from OutTable"), 1);
    QVERIFY(messages.texts().filter("撤销").isEmpty());
}

void TestHistory::undoTouchesOnlyTheCurrentBookAndIsRefusedWhenALaterChangeStandsInTheWay()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book seed(env);
    MainWindow main;
    main.show();
    Drive::openBook(&main, "家");
    saveExpense(main.openWindow("TfrmOutTable"), "食品", "10", "爸爸");
    Drive::openBook(&main, "别家");
    saveExpense(main.openWindow("TfrmOutTable"), "食品", "20");
    // 别家 renames the member the entry of 家 names: the entry changes with it.
    QWidget *members = main.openWindow("TfrmFamily");
    Drive::click(members, "ButMed");
    Drive::setText(members, "DBEdit1", "父亲");
    Drive::click(members, "ButSaveEdit");
    QCOMPARE(Db::value("select FName from OutTable where BName='家'").toString(), "父亲");

    Drive::openBook(&main, "家");
    Drive::trigger(&main, "N50");
    QVERIFY2(messages.lastText().contains("之后又被修改或删除了"), qPrintable(messages.lastText()));
    QCOMPARE(Db::count("select count(*) from OutTable"), 2);
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("990"));

    // In 别家, undo takes back its own rename, then its own entry, never 家's.
    Drive::openBook(&main, "别家");
    Drive::trigger(&main, "N50");
    QCOMPARE(Db::value("select FName from OutTable where BName='家'").toString(), "爸爸");
    Drive::trigger(&main, "N50");
    QCOMPARE(Db::count("select count(*) from OutTable where BName='别家'"), 0);
    QCOMPARE(Db::balance("别家", "现金"), *Money::parse("1000"));
    QCOMPARE(Db::count("select count(*) from OutTable where BName='家'"), 1);
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("990"));
}

void TestHistory::aRestoredEntryMovesItsAccountBackExactly()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book seed(env);
    MainWindow main;
    main.show();
    Drive::openBook(&main, "家");
    QWidget *w = main.openWindow("TfrmOutTable");
    saveExpense(w, "食品", "0.0001");
    saveExpense(w, "水费", "12.34");
    Drive::clickRow(w, "DBGrid1", 1);
    messages.answer(QMessageBox::Yes);
    Drive::click(w, "ButDel");
    saveExpense(w, "食品", "5"); // a later action: the bin restores without undoing it
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("982.66"));

    QWidget *bin = main.openWindow("TfrmRecycle");
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容"), QStringList{"支出 " + Today + " 食品 0.00"});
    QVERIFY(!Drive::widget(bin, "EditPass")->isEnabled());
    Drive::click(bin, "ButRestore");
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容"), QStringList());
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("982.6599"));
    QCOMPARE(Drive::column(w, "DBGrid1", "支出类别").size(), 3);
    // The restore is an action of its own, undone like any other.
    QCOMPARE(undoCaption(main), "撤销 恢复支出 " + Today + " 食品 0.00");
    Drive::trigger(&main, "N50");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("982.66"));
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容").size(), 1);

    // Removed for good, it leaves the bin and stays gone.
    messages.answer(QMessageBox::Yes);
    Drive::click(bin, "ButPurge");
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容"), QStringList());
    QCOMPARE(Db::count("select count(*) from OutTable"), 2);
}

void TestHistory::aDeletedBookWaitsInTheBinForItsPassword()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book seed(env);
    Seed other("别家");
    other.expense("2026-01-02", "食品", yuan("10"), "现金");
    other.commit();
    const QStringList before = Db::dump();
    MainWindow main;
    main.show();
    Drive::openBook(&main, "家");
    QWidget *books = main.openWindow("TfrmB_Manage");
    Drive::clickRow(books, "DBGrid1", Drive::column(books, "DBGrid1", "帐簿名称").indexOf("别家"));
    messages.answer(QMessageBox::Yes);
    Drive::withModal([&] { Drive::click(books, "ButDel"); },
                     [](QWidget *password) {
                         Drive::setText(password, "Edit1", "480726");
                         Drive::click(password, "ButOk");
                     });
    QVERIFY(!BookStore::bookExists("别家"));
    QCOMPARE(Db::count("select count(*) from OutTable where BName='别家'"), 0);

    QWidget *bin = main.openWindow("TfrmRecycle");
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容"), QStringList{"帐簿 别家"});
    Drive::setText(bin, "EditPass", "wrong");
    Drive::click(bin, "ButRestore");
    QCOMPARE(messages.lastText(), QString("密码错误，不能恢复帐簿“别家”。"));
    QVERIFY(!BookStore::bookExists("别家"));
    Drive::setText(bin, "EditPass", "480726");
    Drive::click(bin, "ButRestore");
    QVERIFY(BookStore::bookExists("别家"));
    QCOMPARE(Db::dump(), before);
    QCOMPARE(Drive::column(bin, "DBGrid1", "内容"), QStringList());

    // Removed for good from the bin, nothing of it is left.
    BookStore::binBook("别家");
    Drive::click(main.findChild<QWidget *>("TfrmRecycle"), "ButExi");
    bin = main.openWindow("TfrmRecycle");
    messages.answer(QMessageBox::Yes);
    Drive::click(bin, "ButPurge");
    QCOMPARE(Db::count("select count(*) from OutTable where BName<>'家'"), 0);
    QCOMPARE(Db::count("select count(*) from SAccount where BName<>'家'"), 0);
    QCOMPARE(Db::count("select count(*) from BinnedBook"), 0);
}

void TestHistory::aFileOfTheLayoutBeforeGetsTheHistory()
{
    TestEnvironment env;
    BookStore::createBook("家");
    // A file as the version before wrote it, opened again.
    Db::exec("DROP TABLE History");
    Db::exec("DROP TABLE HistoryRow");
    Db::exec("DROP TABLE BinnedBook");
    Db::exec("PRAGMA user_version = 3");
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QCOMPARE(Db::count("select count(*) from sqlite_master where name in "
                       "('History','HistoryRow','BinnedBook')"),
             3);
    env.dm()->setCurrentBook("家");
    QVERIFY(!History::undoable("家"));
}

void TestHistory::anActionKeptAsABatchGoesToItsTablesHandler()
{
    TestEnvironment env;
    Book book(env);
    QStringList heard;
    History::setBatchHandler("TestBatch", [&](Ledger &, const QString &name, const QVariant &key,
                                              bool standing, const History::Progress &) {
        heard << QString("%1 %2 %3").arg(name, key.toString(), standing ? "stands" : "gone");
    });
    for (const char *table : {"TestBatch", "NoHandler"}) {
        Ledger ledger("家");
        ledger.keepAsBatch(table, 7, true);
        ledger.setDescription("批量");
        ledger.save(Ledger::expense(), {{"ODate", Today},
                                        {"OName", "食品"},
                                        {"OMoney", Money::fromUnits(10000).toVariant()},
                                        {"AName", "现金"}});
        ledger.commit();
    }
    // One op for the action, not one per row it wrote.
    QCOMPARE(Db::count("select count(*) from HistoryRow"), 2);
    // No handler for its table: refused, nothing changed.
    const QStringList before = Db::dump();
    QVERIFY_THROWS_EXCEPTION(DbError, History::undo("家"));
    QCOMPARE(Db::dump(), before);
    Db::exec("delete from History where ID=(select max(ID) from History)");
    History::undo("家");
    History::redo("家");
    QCOMPARE(heard, QStringList({"家 7 gone", "家 7 stands"}));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
