#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/EntryWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTest>
#include <memory>

// Debts with their repayments and credits with their collections, each test
// run once for either twin, through the real windows.
class TestDebtsCredits : public QObject
{
    Q_OBJECT
private slots:
    void followUpsMoveFiguresAndBalances_data() { twins(); }
    void followUpsMoveFiguresAndBalances();
    void checksRunInOrder_data() { twins(); }
    void checksRunInOrder();
    void movingAnEntryWithFollowUpsMovesItsWholeAmount_data() { twins(); }
    void movingAnEntryWithFollowUpsMovesItsWholeAmount();
    void aWriteRefusedHalfWayChangesNothing_data() { twins(); }
    void aWriteRefusedHalfWayChangesNothing();
    void anEntryDeletedElsewhereIsRefused_data() { twins(); }
    void anEntryDeletedElsewhereIsRefused();
    void popUpItemsWaitWhileARowIsPending_data() { twins(); }
    void popUpItemsWaitWhileARowIsPending();
    void quotesInNamesAndFilters_data() { twins(); }
    void quotesInNamesAndFilters();

private:
    void twins();
};

namespace {

struct Twin
{
    const char *window;
    const char *table, *recordTable;
    QString amount, settled, party; // list titles
    QString followUp;               // "还债"
    int sign;                       // +1: a new entry raises its account
};

const Twin Debts{"TfrmBorrow", "Borrow", "BorrowR", "债务金额", "已还金额", "债权人", "还债", +1};
const Twin Credits{"TfrmDebt", "Debt", "DebtR", "债权金额", "已收金额", "债务人", "收债", -1};

Twin twin()
{
    return QTest::currentDataTag() == QByteArray("debts") ? Debts : Credits;
}

// What the entry's side of the twin does to its account: +a for a debt, -a for a credit.
Money by(const Twin &t, const char *amount)
{
    return t.sign > 0 ? yuan(amount) : -yuan(amount);
}

void seedBook(TestEnvironment &env)
{
    BookStore::createBook("家");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook("家");
}

std::unique_ptr<QWidget> openWindow(const Twin &t)
{
    auto w = std::unique_ptr<QWidget>(WindowCatalog::find(t.window)->create(nullptr));
    w->show();
    return w;
}

void saveNew(QWidget *w, const QString &party, const QString &amount, const QString &account)
{
    Drive::click(w, "ButNew");
    Drive::setText(w, "DBEdit2", party);
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox1", account);
    Drive::choose(w, "DBLookupComboBox2", "爸爸");
    Drive::click(w, "ButSave");
}

// Fills the follow-up dialog and presses its button.
void record(QWidget *dialog, const QString &amount, const QString &account)
{
    Drive::setText(dialog, "Edit1", amount);
    Drive::choose(dialog, "DBLookupComboBox1", account);
    Drive::choose(dialog, "DBLookupComboBox2", "妈妈");
    Drive::click(dialog, "BitBtn1");
}

// Opens the follow-up dialog from the pop-up menu and records; the dialog is
// closed afterwards if it stayed open. False when it did not open.
bool followUp(QWidget *w, const QString &amount, const QString &account = "支付宝")
{
    return Drive::withModal([w] { Drive::trigger(w, "R1"); },
                            [&](QWidget *dialog) { record(dialog, amount, account); });
}

// Deletes the newest record of the current entry through its records dialog.
void deleteNewestRecord(QWidget *w, MessageRecorder &messages)
{
    // Through the buttons that stand for the two pop-up menus' items.
    Drive::withModal([w] { Drive::click(w, "ButRecords"); },
                     [&](QWidget *dialog) {
                         messages.answer(QMessageBox::Yes);
                         Drive::click(dialog, "ButDel");
                     });
}

QString figures(QWidget *w, const Twin &t)
{
    return Drive::column(w, "DBGrid1", t.amount).join(",") + "/" +
           Drive::column(w, "DBGrid1", t.settled).join(",");
}

int records(const Twin &t)
{
    return Db::count(QString("select count(*) from %1").arg(t.recordTable));
}

} // namespace

void TestDebtsCredits::twins()
{
    QTest::addColumn<int>("unused");
    QTest::newRow("debts") << 0;
    QTest::newRow("credits") << 0;
}

void TestDebtsCredits::followUpsMoveFiguresAndBalances()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t);
    saveNew(w.get(), "老王", "1000", "现金");
    QCOMPARE(Db::balance("家", "现金"), by(t, "1000"));
    QCOMPARE(figures(w.get(), t), QString("1,000.00/0.00"));

    // The dialog offers everything still outstanding, through the entry's account.
    QString offered, account;
    Drive::withModal([&] { Drive::trigger(w.get(), "R1"); },
                     [&](QWidget *dialog) {
                         offered = Drive::text(dialog, "Edit1");
                         account = Drive::text(dialog, "DBLookupComboBox1");
                         QCOMPARE(dialog->windowTitle(), t.followUp);
                         QCOMPARE(Drive::text(dialog, "BitBtn1"), t.followUp + "（&G）");
                     });
    QCOMPARE(offered, QString("1000.00"));
    QCOMPARE(account, QString("现金"));

    QVERIFY(followUp(w.get(), "300"));
    QCOMPARE(Db::balance("家", "支付宝"), -by(t, "300"));
    QCOMPARE(figures(w.get(), t), QString("700.00/300.00"));
    QCOMPARE(Db::value(QString("select RDate||'|'||FName from %1").arg(t.recordTable)).toString(),
             QDate::currentDate().toString("yyyy-MM-dd") + "|妈妈");

    // One ten-thousandth more than outstanding, and 0, are refused; exactly all of it is not.
    QVERIFY(followUp(w.get(), "700.0001"));
    QCOMPARE(messages.lastText(), t.followUp + "金额 不能大于" + t.amount + "！");
    QVERIFY(followUp(w.get(), "0"));
    QCOMPARE(messages.lastText(), t.followUp + "金额 不能小于或等于零！");
    QCOMPARE(records(t), 1);
    QVERIFY(followUp(w.get(), "700"));
    QCOMPARE(figures(w.get(), t), QString("0.00/1,000.00"));
    QCOMPARE(Db::balance("家", "支付宝"), -by(t, "1000"));
    QVERIFY(!followUp(w.get(), "1")); // nothing left: the dialog does not open

    // Deleted only once its records are, and nothing is asked before.
    messages.clear();
    Drive::click(w.get(), "ButDel");
    QCOMPARE(messages.texts(),
             QStringList({QString("该%1有 %2，不能删除；如要删除，请先删除 还债记录。")
                              .arg(t.sign > 0 ? "债务" : "债权", t.settled)}));
    deleteNewestRecord(w.get(), messages);
    QCOMPARE(figures(w.get(), t), QString("700.00/300.00"));
    deleteNewestRecord(w.get(), messages);
    QCOMPARE(figures(w.get(), t), QString("1,000.00/0.00"));
    QCOMPARE(Db::balance("家", "支付宝"), Money());
    QCOMPARE(records(t), 0);
    messages.answer(QMessageBox::Yes);
    Drive::click(w.get(), "ButDel");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::count(QString("select count(*) from %1").arg(t.table)), 0);
}

void TestDebtsCredits::checksRunInOrder()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t);
    const QStringList before = Db::dump();
    Drive::click(w.get(), "ButNew");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), t.party + " 不能为空！请重新录入！");
    Drive::setText(w.get(), "DBEdit2", "老王");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("余额不能为空！请重新录入！"));
    QCOMPARE(w->focusWidget(), Drive::widget(w.get(), "DBEdit3"));
    Drive::setText(w.get(), "DBEdit3", "5");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("请选择 帐户名称！"));
    Drive::choose(w.get(), "DBLookupComboBox1", "现金");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("请选择 家庭成员！"));
    QCOMPARE(Db::dump(), before);

    // The follow-up's checks: empty, not an amount, then account and member.
    Drive::choose(w.get(), "DBLookupComboBox2", "爸爸");
    Drive::click(w.get(), "ButSave");
    Drive::withModal([&] { Drive::trigger(w.get(), "R1"); },
                     [&](QWidget *dialog) {
                         for (const char *list : {"DBLookupComboBox1", "DBLookupComboBox2"})
                             Drive::find<QComboBox>(dialog, list)->setCurrentIndex(-1);
                         for (const char *text : {"", ".", "2"}) {
                             Drive::setText(dialog, "Edit1", text);
                             Drive::click(dialog, "BitBtn1");
                         }
                         // A paste that is no amount replaces the amount offered and
                         // is refused aloud, never recorded as the amount offered.
                         auto *amount = Drive::find<QLineEdit>(dialog, "Edit1");
                         amount->selectAll();
                         amount->insert("300元");
                         Drive::choose(dialog, "DBLookupComboBox1", "现金");
                         Drive::click(dialog, "BitBtn1");
                         // Full-width digits as from a Chinese input method.
                         Drive::setText(dialog, "Edit1", "２");
                         Drive::click(dialog, "BitBtn1");
                     });
    QCOMPARE(messages.texts().mid(4),
             QStringList({t.followUp + "金额 不能为空！",
                          Money::invalidMessage(t.followUp + "金额"), "请选择 帐户名称！",
                          Money::invalidMessage(t.followUp + "金额"), "请选择 家庭成员！"}));
    QCOMPARE(records(t), 0);
}

void TestDebtsCredits::movingAnEntryWithFollowUpsMovesItsWholeAmount()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t);
    saveNew(w.get(), "老王", "1000", "现金");
    followUp(w.get(), "300", "支付宝");

    // Another account: the first takes back all it got, the new one carries it.
    Drive::click(w.get(), "ButMed");
    Drive::choose(w.get(), "DBLookupComboBox1", "中行长城卡");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "中行长城卡"), by(t, "1000"));
    QCOMPARE(Db::balance("家", "支付宝"), -by(t, "300"));

    // The same account: only the change of the outstanding figure moves.
    Drive::click(w.get(), "ButMed");
    Drive::setText(w.get(), "DBEdit3", "800");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "中行长城卡"), by(t, "1100"));
    QCOMPARE(figures(w.get(), t), QString("800.00/300.00"));
    QVERIFY(messages.messages.isEmpty());
}

void TestDebtsCredits::aWriteRefusedHalfWayChangesNothing()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t);
    saveNew(w.get(), "老王", "1000", "现金");
    followUp(w.get(), "300");
    const QStringList before = Db::dump();

    // The record, the entry's figures or the balance refused: all of it is undone.
    for (const char *table : {t.recordTable, t.table, "SAccount"}) {
        Db::refuseWrites(table, "写入失败");
        QVERIFY(followUp(w.get(), "100"));
        deleteNewestRecord(w.get(), messages);
        Db::allowWrites(table);
        QCOMPARE(Db::dump(), before);
    }
    QCOMPARE(messages.texts().filter("写入失败").size(), 6);
    QCOMPARE(figures(w.get(), t), QString("700.00/300.00"));
}

void TestDebtsCredits::anEntryDeletedElsewhereIsRefused()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto a = openWindow(t);
    saveNew(a.get(), "老王", "1000", "现金");
    auto b = openWindow(t);               // shows the entry
    Drive::stopFollowingChanges(b.get()); // is not told of what a does next
    messages.answer(QMessageBox::Yes);
    Drive::click(a.get(), "ButDel");

    QVERIFY(!followUp(b.get(), "100"));
    QCOMPARE(messages.lastText(), QString("该记录已不存在，可能已在其他窗口中删除。"));

    // Deleted while its follow-up dialog was open.
    saveNew(a.get(), "老李", "50", "现金");
    QStringList withoutEntry;
    Drive::withModal([&] { Drive::trigger(a.get(), "R1"); },
                     [&](QWidget *dialog) {
                         Ledger other("家");
                         other.remove(*Ledger::entryKind(t.table),
                                      Db::value(QString("select ID from %1").arg(t.table)));
                         other.commit();
                         withoutEntry = Db::dump();
                         record(dialog, "10", "现金");
                     });
    QCOMPARE(messages.lastText(), QString("该记录已不存在，可能已在其他窗口中删除。"));
    QCOMPARE(records(t), 0);
    QCOMPARE(Db::dump().filter("SAccount|"), withoutEntry.filter("SAccount|"));
}

void TestDebtsCredits::popUpItemsWaitWhileARowIsPending()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t);
    QVERIFY(!followUp(w.get(), "1")); // an empty list
    saveNew(w.get(), "老王", "1000", "现金");
    Drive::click(w.get(), "ButMed");
    QVERIFY(!followUp(w.get(), "1"));
    QVERIFY(!Drive::withModal([&] { Drive::trigger(w.get(), "V1"); }));
    Drive::click(w.get(), "ButCan");
    Drive::click(w.get(), "ButNew");
    QVERIFY(!followUp(w.get(), "1"));
    Drive::click(w.get(), "ButCan");

    // 删除 in a records window with no rows does nothing, not even ask.
    QVERIFY(Drive::withModal([&] { Drive::trigger(w.get(), "V1"); },
                             [](QWidget *dialog) { Drive::trigger(dialog, "D1"); }));
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(records(t), 0);
}

void TestDebtsCredits::quotesInNamesAndFilters()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Seed seed("家");
    seed.account("老王's 卡");
    seed.commit();
    auto w = openWindow(t);
    saveNew(w.get(), "O'Brien", "10", "老王's 卡");
    saveNew(w.get(), "别人", "20", "现金");
    Drive::whenModal([](QWidget *dialog) {
        Drive::click(dialog, "CheckBox1"); // any date
        Drive::click(dialog, "CheckBox2");
        Drive::setText(dialog, "Edit1", "O'B");
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(w.get(), "ButQuery");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", t.party), QStringList({"O'Brien"}));
    QVERIFY(followUp(w.get(), "4", "老王's 卡"));
    QCOMPARE(Db::balance("家", "老王's 卡"), by(t, "6"));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", t.party), QStringList({"O'Brien"}));
    QVERIFY(messages.messages.isEmpty());
}

QTEST_MAIN(TestDebtsCredits)
#include "tst_debtscredits.moc"
