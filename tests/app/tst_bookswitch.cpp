#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "reference/AccountsWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>

// Every window belongs to the book that was open when it opened; with no book
// open nothing that needs one can run or write.
class TestBookSwitch : public QObject
{
    Q_OBJECT
private slots:
    void openingAnotherBookClosesTheOldBooksWindows();
    void aWindowThatStaysOpenKeepsTheBookOpen();
    void closedBookLooksClosedAndTakesNoRows();
    void sideBarIsEnabledLikeTheMenuItems();
};

namespace {

// Two books with the same account names, 1000 in every account.
void seedTwoBooks()
{
    for (const QString book : {"甲", "乙"}) {
        BookStore::createBook(book);
        Seed seed(book);
        seed.everyAccountOpensWith(yuan("1000"));
        seed.commit();
    }
}

QWidget *openFromSideBar(MainWindow &main, const char *button)
{
    Drive::click(&main, button);
    return Drive::children(&main).last();
}

void enterExpense(QWidget *w, const QString &amount, const QString &account)
{
    Drive::click(w, "ButNew");
    auto *categories = Drive::find<QComboBox>(w, "DBLookupComboBox1");
    Drive::choose(w, "DBLookupComboBox1", categories->itemText(0));
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", account);
}

// An expense of `amount` from 现金, saved in a new expense window.
void saveExpense(MainWindow &main, const QString &amount)
{
    QWidget *expense = openFromSideBar(main, "Side_O2");
    enterExpense(expense, amount, "现金");
    Drive::click(expense, "ButSave");
}

// The main window with the books 甲 and 乙, 甲 open.
struct TwoBooks
{
    TwoBooks()
    {
        seedTwoBooks();
        main.show();
        Drive::openBook(&main, "甲");
    }
    TestEnvironment env;
    MessageRecorder messages;
    MainWindow main;
};

QStringList rowsOf(const QStringList &dump, const QString &book)
{
    return dump.filter("|" + book + "|");
}

// A window that never lets itself be closed, as one does whose user keeps a pending row.
class Stubborn : public QWidget
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

const QStringList SideBar = {"N11", "O2", "A1", "N21", "N22", "N33", "R2", "N23", "N13", "N15"};
const QStringList SideBarWindows = {"TfrmInTable", "TfrmOutTable", "TfrmChangeT", "TfrmBorrow",
                                    "TfrmDebt",    "TfrmTZ",       "TfrmPage1",   "TfrmPage2",
                                    "TfrmFamily",  "TfrmA_Manage"};

bool enabled(MainWindow &main, const QString &name)
{
    return Drive::widget(&main, name)->isEnabled();
}

} // namespace

void TestBookSwitch::openingAnotherBookClosesTheOldBooksWindows()
{
    TwoBooks f;
    MainWindow &main = f.main;
    // Windows of 甲, one with a pending expense, one with a pending edit.
    QWidget *expense = openFromSideBar(main, "Side_O2");
    enterExpense(expense, "100", "现金");
    QWidget *accounts = openFromSideBar(main, "Side_N15");
    Drive::click(accounts, "ButMed");
    Drive::setText(accounts, "DBEdit3", "改过");
    const QStringList before = Db::dump();

    // Each pending row is dropped only on the user's word.
    f.messages.answer(QMessageBox::Yes);
    f.messages.answer(QMessageBox::Yes);
    Drive::openBook(&main, "乙");
    QCOMPARE(f.messages.texts(), QStringList(2, Maintenance::unsavedQuestion()));
    f.messages.clear();
    QCOMPARE(f.env.dm()->currentBook(), QString("乙"));
    QVERIFY(Drive::children(&main).isEmpty());
    QCOMPARE(main.windowTitle(), QString("乙"));
    QCOMPARE(Db::dump(), before);

    // Only a window opened under 乙 writes, and only into 乙.
    saveExpense(main, "100");
    QCOMPARE(Db::balance("乙", "现金"), *Money::parse("900"));
    QCOMPARE(rowsOf(Db::dump(), "甲"), rowsOf(before, "甲"));
    QCOMPARE(Db::count("select count(*) from OutTable where BName='乙'"), 1);
    QVERIFY(f.messages.messages.isEmpty());

    // A window made outside the main window is refused once its book is no longer open.
    AccountsWindow stray;
    stray.show();
    f.env.dm()->setCurrentBook("甲");
    Drive::click(&stray, "ButMed");
    Drive::setText(&stray, "DBEdit3", "写到别的帐簿");
    Drive::click(&stray, "ButSaveEdit");
    QVERIFY(f.messages.lastText().contains("帐簿“乙”"));
    QCOMPARE(Db::count("select count(*) from SAccount where Remark='写到别的帐簿'"), 0);
}

void TestBookSwitch::aWindowThatStaysOpenKeepsTheBookOpen()
{
    TwoBooks f;
    MainWindow &main = f.main;
    openFromSideBar(main, "Side_O2");
    main.mdiArea()->addSubWindow(new Stubborn)->show();

    Drive::openBook(&main, "乙");
    QCOMPARE(f.env.dm()->currentBook(), QString("甲"));
    QCOMPARE(main.windowTitle(), QString("甲"));
    QCOMPARE(int(Drive::children(&main).size()), 1); // the expense window closed, as asked

    main.findChild<QAction *>("C2")->trigger();
    QCOMPARE(f.env.dm()->currentBook(), QString("甲"));
    QVERIFY(main.findChild<QMenu *>("N10")->menuAction()->isVisible());
    QVERIFY(enabled(main, "Side_O2"));

    // The book still open takes the rows of its windows.
    saveExpense(main, "100");
    QCOMPARE(Db::balance("甲", "现金"), *Money::parse("900"));
    QCOMPARE(Db::balance("乙", "现金"), *Money::parse("1000"));
}

void TestBookSwitch::closedBookLooksClosedAndTakesNoRows()
{
    TwoBooks f;
    MainWindow &main = f.main;
    QCOMPARE(main.summaryPanel()->figureText("LabCash"), QString("1,000.00"));
    openFromSideBar(main, "Side_N15");

    main.findChild<QAction *>("C2")->trigger();
    QVERIFY(f.env.dm()->currentBook().isEmpty());
    QVERIFY(Drive::children(&main).isEmpty());
    QCOMPARE(main.windowTitle(), QString("青禾簿"));
    QCOMPARE(main.summaryPanel()->figureText("LabCash"), QString("0.00"));
    QCOMPARE(main.summaryPanel()->figureText("LabTotalFunds"), QString("0.00"));
    for (const QString &item : SideBar)
        QVERIFY2(!enabled(main, "Side_" + item), qPrintable(item));
    for (const char *item : {"N11", "N15", "N13", "B2", "N5", "C2", "N24"})
        QVERIFY2(!main.findChild<QAction *>(item)->isEnabled(), item);
    QVERIFY(enabled(main, "Side_N8"));
    for (const char *item : {"N2", "N3", "N8"})
        QVERIFY2(main.findChild<QAction *>(item)->isEnabled(), item);

    // Nothing writes a book's row without a book, whatever window tries.
    AccountsWindow accounts;
    accounts.show();
    Drive::click(&accounts, "ButNew");
    Drive::setText(&accounts, "DBEdit1", "无主帐户");
    Drive::setText(&accounts, "DBEdit2", "5");
    Drive::click(&accounts, "ButSave");
    QCOMPARE(f.messages.lastText(), QString("没有打开的帐簿，不能保存！请先打开帐簿。"));
    QCOMPARE(Db::count("select count(*) from SAccount where BName='' or BName is null"), 0);
    Ledger ledger(f.env.dm()->currentBook());
    QVERIFY_THROWS_EXCEPTION(DbError, ledger.save(*Ledger::entryKind("OutTable"), {}));
}

void TestBookSwitch::sideBarIsEnabledLikeTheMenuItems()
{
    TwoBooks f;
    MainWindow &main = f.main;
    for (qsizetype i = 0; i < SideBar.size(); ++i) {
        const bool exists = WindowCatalog::find(SideBarWindows[i]);
        QVERIFY2(enabled(main, "Side_" + SideBar[i]) == exists, qPrintable(SideBar[i]));
        QCOMPARE(main.findChild<QAction *>(SideBar[i])->isEnabled(), exists);
    }
    // Clicking a button whose window does not exist opens nothing.
    Drive::find<QPushButton>(&main, "Side_N21")->click();
    QCOMPARE(int(Drive::children(&main).size()), WindowCatalog::find("TfrmBorrow") ? 1 : 0);
    // A submenu with no enabled item is disabled itself.
    QCOMPARE(main.findChild<QAction *>("N36")->isEnabled(),
             WindowCatalog::find("TfrmSZ_M") || WindowCatalog::find("TfrmSZ_Y"));
    QCOMPARE(main.findChild<QAction *>("N30")->isEnabled(),
             WindowCatalog::find("TfrmE_I") || WindowCatalog::find("TfrmE_O"));
}

QTEST_MAIN(TestBookSwitch)
#include "tst_bookswitch.moc"
