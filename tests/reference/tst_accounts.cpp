#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "core/reports/Statistics.h"
#include "reference/AccountsWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class TestAccounts : public QObject
{
    Q_OBJECT
private slots:
    void newBookListsItsNineAccounts();
    void addsAnAccountWithItsOpeningBalance();
    void refusesADuplicateNameInTheSameBookOnly();
    void checksRunInOrderAndWriteNothing();
    void renameIsAcceptedAndRecomputesTheInitials();
    void cashIsNeverDeletedOthersOnlyOnYes();
    void modifyAndDeleteOnAnEmptyListDoNothing();
    void saveWritesTheRowThatWasEdited();
    void quotesAreStoredAsTyped();
    void databaseErrorKeepsTheModeAndTheTypedValues();
    void pendingRowBlocksMovingThroughTheList();
    void cancelDropsThePendingChange();
    void opensFromMenuAndSideBarAndRefreshesTheSummary();
    void openingBalancesAreNoIncomeAndCardsAreLiabilities();
};

namespace {

const QStringList NineAccounts = {"现金",       "中行长城卡", "农行金穗卡",
                                  "建行龙卡卡", "工行牡丹卡", "交行太平洋卡",
                                  "招行一卡通", "邮政绿卡",   "支付宝"};

// A new book, as the new-book dialog makes it, opened.
void seedBook(TestEnvironment &env, const QString &book)
{
    BookStore::createBook(book);
    env.dm()->setCurrentBook(book);
}

void enter(QWidget *w, const QString &name, const QString &balance, const QString &remark = {})
{
    Drive::setText(w, "DBEdit1", name);
    Drive::setText(w, "DBEdit2", balance);
    Drive::setText(w, "DBEdit3", remark);
}

int accounts(const QString &book, const QString &name)
{
    return Db::count("select count(*) from SAccount where BName=? and AName=?", {book, name});
}

// Browsing, the fields show the current row and take no typing.
bool panelEditable(QWidget *w)
{
    return !Drive::find<QLineEdit>(w, "DBEdit1")->isReadOnly();
}

} // namespace

void TestAccounts::newBookListsItsNineAccounts()
{
    TestEnvironment env;
    seedBook(env, "家");
    Seed other("别家");
    other.account("别人的卡");
    other.commit();
    AccountsWindow w;
    w.show();

    QCOMPARE(w.objectName(), QString("TfrmA_Manage"));
    QCOMPARE(w.windowTitle(), QString("帐户管理"));
    QCOMPARE(Drive::titles(&w, "DBGrid1"),
             QStringList({"帐户名称", "帐户余额", "欠款", "帐户类型", "期初余额", "期初日期",
                          "上次对帐", "备注"}));
    QCOMPARE(
        Drive::column(&w, "DBGrid1", "帐户类型"),
        QStringList({"现金", "储蓄", "储蓄", "储蓄", "储蓄", "储蓄", "储蓄", "储蓄", "网络支付"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户名称"), NineAccounts);
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户余额"), QStringList(9, "0.00"));
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 0);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("现金"));
    QCOMPARE(Drive::text(&w, "DBEdit2"), QString("0.00"));

    QCOMPARE(w.findChild<QGroupBox *>()->title(), QString("帐户信息"));
    QStringList labels;
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5"})
        labels << Drive::text(&w, name);
    QCOMPARE(labels, QStringList({"帐户名称：", "帐户余额：", "备        注：", "帐户类型：",
                                  "期初日期："}));
    QCOMPARE(Drive::text(&w, "Hint1"),
             QString("家庭中各类帐户，如现金，金穗卡，牡丹卡，长城卡..."));
    QStringList captions;
    for (const char *name :
         {"ButNew", "ButMed", "ButSave", "ButSaveEdit", "ButCan", "ButDel", "ButExi"})
        captions << Drive::text(&w, name);
    QCOMPARE(captions, QStringList({"新增（&N）", "修改（&M）", "保存（&S）", "保存（&S）",
                                    "取消（&C）", "删除（&D）", "退出（&X）"}));
    QStringList hints;
    for (const char *name : {"NavFirst", "NavPrior", "NavNext", "NavLast"})
        hints << Drive::widget(&w, name)->toolTip();
    QCOMPARE(hints, QStringList({"第一条", "上一条", "下一条", "最后一条"}));

    // Browse mode: one disabled Save, no Cancel, the panel read-only.
    QVERIFY(!panelEditable(&w));
    QVERIFY(Drive::widget(&w, "ButSave")->isVisible());
    QVERIFY(!Drive::widget(&w, "ButSave")->isEnabled());
    QVERIFY(Drive::widget(&w, "ButSaveEdit")->isHidden());
    QVERIFY(!Drive::widget(&w, "ButCan")->isEnabled());
    QVERIFY(Drive::widget(&w, "ButNew")->isEnabled() && Drive::widget(&w, "ButDel")->isEnabled());

    Drive::click(&w, "NavLast");
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("支付宝"));
    Drive::click(&w, "NavPrior");
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("邮政绿卡"));
    Drive::clickRow(&w, "DBGrid1", 2);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("农行金穗卡"));
}

void TestAccounts::addsAnAccountWithItsOpeningBalance()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    AccountsWindow w;
    w.show();

    Drive::click(&w, "ButNew");
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::New);
    QVERIFY(panelEditable(&w));
    QVERIFY(Drive::widget(&w, "ButSave")->isEnabled());
    QVERIFY(!Drive::widget(&w, "ButNew")->isEnabled() && !Drive::widget(&w, "ButDel")->isEnabled());
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBEdit1"));
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString()); // an empty row is being entered

    enter(&w, "工资卡", "100.50", "发工资的卡");
    Drive::click(&w, "ButSave");
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Db::value("select AMoney from SAccount where AName='工资卡'").toLongLong(), 1005000LL);
    QCOMPARE(Db::value("select thePY from SAccount where AName='工资卡'").toString(),
             QString("GZK"));
    QCOMPARE(Db::value("select BName||Remark from SAccount where AName='工资卡'").toString(),
             QString("家发工资的卡"));
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户余额").last(), QString("100.50"));
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 0); // the list was read again

    // An opening balance of 0 is an amount like any other.
    Drive::click(&w, "ButNew");
    enter(&w, "空卡", "0");
    Drive::click(&w, "ButSave");
    QCOMPARE(accounts("家", "空卡"), 1);
    QVERIFY(messages.messages.isEmpty());
}

void TestAccounts::refusesADuplicateNameInTheSameBookOnly()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    Seed seed("家");
    seed.account("工资卡");
    seed.commit();
    AccountsWindow w;
    w.show();

    // Blanks around a name do not make another name.
    Drive::click(&w, "ButNew");
    enter(&w, " 工资卡 ", "5", "第二张");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.texts(), QStringList({"帐户名称添加重复！"}));
    QCOMPARE(messages.messages.last().caption, QString("青禾簿"));
    QCOMPARE(accounts("家", "工资卡"), 1);
    QCOMPARE(Db::count("select count(*) from SAccount"), 10);
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::New);
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("第二张"));

    Db::insertBook("别家");
    env.dm()->setCurrentBook("别家");
    AccountsWindow other;
    other.show();
    Drive::click(&other, "ButNew");
    enter(&other, "工资卡 ", "5");
    Drive::click(&other, "ButSave");
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(accounts("别家", "工资卡"), 1);
}

void TestAccounts::checksRunInOrderAndWriteNothing()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    AccountsWindow w;
    w.show();
    Drive::click(&w, "ButNew");

    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("帐户名称不能为空！请重新录入！"));
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBEdit1"));
    Drive::setText(&w, "DBEdit1", "   ");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("帐户名称不能为空！请重新录入！"));

    Drive::setText(&w, "DBEdit1", "新卡");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("帐户余额不能为空！请重新录入！"));
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBEdit2"));

    // The balance field only takes what can form an amount...
    auto *balance = Drive::find<QLineEdit>(&w, "DBEdit2");
    balance->clear();
    QTest::keyClicks(balance, "1a23.4.5x");
    QCOMPARE(balance->text(), QString("123.45"));
    // ...and what still is no amount is refused before anything is written.
    for (const char *notAnAmount : {"-", ".", "+."}) {
        Drive::setText(&w, "DBEdit2", notAnAmount);
        Drive::click(&w, "ButSave");
        QCOMPARE(messages.lastText(), Money::invalidMessage("帐户余额"));
    }
    QCOMPARE(messages.messages.size(), 6);
    QCOMPARE(Db::count("select count(*) from SAccount"), 9);
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::New);

    Drive::setText(&w, "DBEdit2", "-12.3456");
    Drive::click(&w, "ButSave");
    QCOMPARE(Db::balance("家", "新卡"), *Money::parse("-12.3456"));
}

void TestAccounts::renameIsAcceptedAndRecomputesTheInitials()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    Db::exec("update SAccount set thePY='ZHZCK' where AName='中行长城卡'");
    // 50.00 on the card: 49.99 it opened with and an income of 0.01.
    Seed seed("家");
    seed.account("中行长城卡", yuan("49.99"));
    seed.income("2024-01-05", "工资", Money::fromUnits(100), "中行长城卡");
    seed.commit();
    AccountsWindow w;
    w.show();

    Drive::clickRow(&w, "DBGrid1", 1);
    Drive::click(&w, "ButMed");
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Edit);
    QVERIFY(Drive::widget(&w, "ButSaveEdit")->isVisible());
    QVERIFY(Drive::widget(&w, "ButSave")->isHidden());
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBEdit1"));
    Drive::setText(&w, "DBEdit1", "工资卡");
    Drive::click(&w, "ButSaveEdit");

    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(accounts("家", "工资卡"), 1);
    QCOMPARE(accounts("家", "中行长城卡"), 0);
    QCOMPARE(Db::count("select count(*) from SAccount where thePY='GZK'"), 1);
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::count("select count(*) from SAccount where AName='工资卡' and AMoney=500000"), 1);
    // The entries follow the new name; the cursor stays on the edited row.
    QCOMPARE(Db::value("select AName from InTable").toString(), QString("工资卡"));
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 1);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("工资卡"));
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Browse);

    // A new balance typed here replaces the stored one.
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "77");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户余额").at(1), QString("77.00"));
    // Save-edit has the same two checks as a new save.
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(messages.lastText(), QString("帐户余额不能为空！请重新录入！"));
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Edit);
}

void TestAccounts::cashIsNeverDeletedOthersOnlyOnYes()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    AccountsWindow w;
    w.show();

    Drive::click(&w, "ButDel"); // 现金 is current: nothing is asked, and it says why
    QCOMPARE(messages.texts(), QStringList{"“现金”不能删除：主页的现金余额取自这个帐户。"});
    messages.clear();
    QCOMPARE(accounts("家", "现金"), 1);

    Drive::clickRow(&w, "DBGrid1", 3);
    messages.answer(QMessageBox::No);
    Drive::click(&w, "ButDel");
    QCOMPARE(messages.messages.size(), 1);
    const ShownMessage asked = messages.messages.first();
    QCOMPARE(asked.text, QString("确认要删除“建行龙卡卡”吗？删除后可在回收站中恢复。"));
    QCOMPARE(asked.caption, QString("删除"));
    QCOMPARE(asked.icon, QMessageBox::Question);
    QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(asked.defaultButton, QMessageBox::No);
    QCOMPARE(accounts("家", "建行龙卡卡"), 1);

    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    QCOMPARE(accounts("家", "建行龙卡卡"), 0);
    QCOMPARE(Db::count("select count(*) from SAccount"), 8);
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户名称").size(), 8);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("工行牡丹卡")); // its neighbour is current
}

void TestAccounts::modifyAndDeleteOnAnEmptyListDoNothing()
{
    TestEnvironment env;
    MessageRecorder messages;
    env.dm()->setCurrentBook("空帐簿");
    AccountsWindow w;
    w.show();
    Drive::click(&w, "ButMed");
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Browse);
    Drive::click(&w, "ButDel");
    QVERIFY(messages.messages.isEmpty());
    QVERIFY(!Drive::widget(&w, "NavFirst")->isEnabled() &&
            !Drive::widget(&w, "NavLast")->isEnabled());
}

void TestAccounts::saveWritesTheRowThatWasEdited()
{
    TestEnvironment env;
    // Two accounts of one name, as older data may hold them: the ledger writes
    // them, the window would refuse the second.
    Ledger ledger("家");
    for (const char *balance : {"1", "2"})
        ledger.saveReference("SAccount", {{"AName", "卡"}, {"AMoney", yuan(balance).toVariant()}});
    ledger.commit();
    env.dm()->setCurrentBook("家");
    AccountsWindow w;
    w.show();

    Drive::click(&w, "NavLast");
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "20");
    Drive::setText(&w, "DBEdit3", "第二张");
    {
        MessageRecorder asked; // where the difference goes: the opening balance
        Drive::click(&w, "ButSaveEdit");
    }
    QCOMPARE(Db::value("select AMoney from SAccount where ID=1").toLongLong(), 10000LL);
    QCOMPARE(Db::value("select AMoney from SAccount where ID=2").toLongLong(), 200000LL);
    QCOMPARE(Db::value("select Remark from SAccount where ID=2").toString(), QString("第二张"));

    MessageRecorder messages;
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    QCOMPARE(Db::count("select count(*) from SAccount where ID=1"), 1);
    QCOMPARE(Db::count("select count(*) from SAccount where ID=2"), 0);
}

void TestAccounts::quotesAreStoredAsTyped()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "O'Neil's");
    AccountsWindow w;
    w.show();
    Drive::click(&w, "ButNew");
    enter(&w, "Bob's 卡", "1", "it's '; drop table SAccount; --");
    Drive::click(&w, "ButSave");
    QCOMPARE(
        Db::value("select Remark from SAccount where AName=? and BName=?", {"Bob's 卡", "O'Neil's"})
            .toString(),
        QString("it's '; drop table SAccount; --"));
    Drive::click(&w, "ButNew");
    enter(&w, "Bob's 卡", "1");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.texts(), QStringList({"帐户名称添加重复！"}));
    QCOMPARE(Db::count("select count(*) from SAccount"), 10);
}

void TestAccounts::databaseErrorKeepsTheModeAndTheTypedValues()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    Db::exec("create trigger refuse_insert before insert on SAccount "
             "begin select raise(abort, '磁盘已满'); end");
    Db::exec("create trigger refuse_update before update on SAccount "
             "begin select raise(abort, '磁盘已满'); end");
    AccountsWindow w;
    w.show();

    Drive::click(&w, "ButNew");
    enter(&w, "新卡", "10", "备注");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(messages.messages.first().icon, QMessageBox::Critical);
    QVERIFY(messages.lastText().contains("磁盘已满"));
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::New);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("新卡"));
    QCOMPARE(Drive::text(&w, "DBEdit2"), QString("10"));
    QCOMPARE(Db::count("select count(*) from SAccount"), 9);

    Drive::click(&w, "ButCan");
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit1", "改名");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(messages.messages.size(), 2);
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Edit);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("改名"));
    QCOMPARE(accounts("家", "现金"), 1);

    // A row deleted meanwhile (from another window) is not reported as saved.
    Db::exec("drop trigger refuse_update");
    Ledger other("家");
    other.removeReference("SAccount", Db::value("select ID from SAccount where AName='现金'"));
    other.commit();
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(messages.messages.size(), 3);
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Edit);
    QCOMPARE(accounts("家", "改名"), 0);
}

void TestAccounts::pendingRowBlocksMovingThroughTheList()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    AccountsWindow w;
    w.show();
    auto *grid = Drive::find<QTableView>(&w, "DBGrid1");

    Drive::clickRow(&w, "DBGrid1", 4);
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit1", "改过的名字");
    Drive::clickRow(&w, "DBGrid1", 1);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Home);
    for (const char *move : {"NavFirst", "NavPrior", "NavNext", "NavLast"})
        QVERIFY2(!Drive::widget(&w, move)->isEnabled(), move);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 4);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("改过的名字"));
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Db::value("select AName from SAccount where ID=5").toString(), QString("改过的名字"));

    Drive::click(&w, "ButNew");
    Drive::setText(&w, "DBEdit1", "新卡");
    Drive::clickRow(&w, "DBGrid1", 0);
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 9);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("新卡"));
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("帐户余额不能为空！请重新录入！"));
    QCOMPARE(Db::count("select count(*) from SAccount"), 9);

    // Browsing moves freely again.
    Drive::click(&w, "ButCan");
    Drive::clickRow(&w, "DBGrid1", 0);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("中行长城卡"));
}

void TestAccounts::cancelDropsThePendingChange()
{
    TestEnvironment env;
    seedBook(env, "家");
    AccountsWindow w;
    w.show();

    Drive::clickRow(&w, "DBGrid1", 2);
    Drive::click(&w, "ButNew");
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户名称").size(), 10);
    enter(&w, "不要了", "1");
    Drive::click(&w, "ButCan");
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Drive::column(&w, "DBGrid1", "帐户名称"), NineAccounts);
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 2);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("农行金穗卡"));

    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "999");
    Drive::click(&w, "ButCan");
    QCOMPARE(Drive::text(&w, "DBEdit2"), QString("0.00"));
    QCOMPARE(Db::count("select count(*) from SAccount where AMoney<>0"), 0);
}

void TestAccounts::opensFromMenuAndSideBarAndRefreshesTheSummary()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    auto main = std::make_unique<MainWindow>();
    env.dm()->setCurrentBook("家");
    main->show();
    QMdiArea *area = main->mdiArea();

    // Opened again, the open window comes forward.
    main->findChild<QAction *>("N15")->trigger();
    Drive::click(main.get(), "Side_N15");
    QCOMPARE(area->subWindowList().size(), 1);
    auto *w = qobject_cast<AccountsWindow *>(area->subWindowList().last()->widget());
    QVERIFY(w);
    QVERIFY(area->subWindowList().last()->isMaximized());

    Drive::click(w, "ButMed"); // 现金
    Drive::setText(w, "DBEdit2", "1234.5");
    Drive::click(w, "ButSaveEdit");
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("1,234.50"));
    for (const char *item : {"N13", "N14", "O1", "N43"})
        main->findChild<QAction *>(item)->trigger();
    Drive::click(main.get(), "Side_N13");
    Drive::click(w, "ButExi");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("1,234.50"));
    QStringList opened;
    for (QMdiSubWindow *sub : area->subWindowList())
        opened << sub->widget()->objectName();
    QCOMPARE(opened, QStringList({"TfrmFamily", "TfrmIn_Manage", "TfrmOut_Manage", "TfrmT_Manage",
                                  "TfrmFamily"}));
    QCOMPARE(messages.texts().size(), 1); // where the typed balance's difference goes
    main->closeAllChildren();
}

// A new account's balance is its opening balance: no income of the month. A credit
// card or 花呗 owes: its 欠款 counts under 负债, not among the savings, and the net
// worth is what the household owns less that.
void TestAccounts::openingBalancesAreNoIncomeAndCardsAreLiabilities()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env, "家");
    MainWindow main;
    main.show();
    auto *w = qobject_cast<AccountsWindow *>(main.openWindow("TfrmA_Manage"));
    const auto add = [w](const QString &name, const QString &kind, const QString &balance) {
        Drive::click(w, "ButNew");
        enter(w, name, balance);
        Drive::choose(w, "ComboBox1", kind);
        Drive::click(w, "ButSave");
    };
    add("花呗", "信用卡/花呗", "-1200");
    add("工资卡", "储蓄", "1500");
    add("余额宝", "理财/投资", "48073.6544");
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(Db::value("select AKind||' '||OpenMoney from SAccount where AName='花呗'").toString(),
             QString("信用卡/花呗 -12000000"));
    const int row = Drive::column(w, "DBGrid1", "帐户名称").indexOf("花呗");
    QCOMPARE(Drive::column(w, "DBGrid1", "欠款").at(row), QString("1,200.00"));

    const SummaryPanel *home = main.summaryPanel();
    QCOMPARE(home->figureText("LabMonthIncome"), QString("0.00"));
    QCOMPARE(home->figureText("LabIncome"), QString("0.00"));
    QCOMPARE(home->figureText("LabDeposit"), QString("49,573.65"));
    QCOMPARE(home->figureText("LabCardDebt"), QString("1,200.00"));
    QCOMPARE(home->figureText("LabTotalDebt"), QString("1,200.00"));
    QCOMPARE(home->figureText("LabNetWorth"), QString("48,373.65"));
    QCOMPARE(Balances::read("家").line(),
             QString("银行存款及现金[49,573.65] 信用卡/花呗欠款[1,200.00] 债务[0.00] 债权[0.00] "
                     "净资产[48,373.65]"));
}

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
