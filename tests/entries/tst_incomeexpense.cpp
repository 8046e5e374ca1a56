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

// The income and expense windows, each test run once for either twin.
class TestIncomeExpense : public QObject
{
    Q_OBJECT
private slots:
    void checksRunInFieldOrder_data() { twins(); }
    void checksRunInFieldOrder();
    void balanceFollowsSaveEditAndDelete_data() { twins(); }
    void balanceFollowsSaveEditAndDelete();
    void aFailedWriteMovesNoBalance_data() { twins(); }
    void aFailedWriteMovesNoBalance();
    void inputsStandInForViewsWhileEntering_data() { twins(); }
    void inputsStandInForViewsWhileEntering();
    void listShowsTheBooksEntriesNewestFirst_data() { twins(); }
    void listShowsTheBooksEntriesNewestFirst();
    void entryOfARenamedAccount_data() { twins(); }
    void entryOfARenamedAccount();
    void quotesInNamesAndRemarks_data() { twins(); }
    void quotesInNamesAndRemarks();
    void anotherWindowsChangesAreRespected_data() { twins(); }
    void anotherWindowsChangesAreRespected();

private:
    void twins();
};

namespace {

struct Twin
{
    const char *window;
    const char *table; // and the prefix of its columns
    char prefix;
    QString category, otherCategory;
    int sign; // +1: a saved entry raises its account

    const Ledger::EntryKind &kind() const { return *Ledger::entryKind(table); }
};

const Twin Income{"TfrmInTable", "InTable", 'I', "工资", "奖金", +1};
const Twin Expense{"TfrmOutTable", "OutTable", 'O', "食品", "水费", -1};

Twin twin()
{
    return QTest::currentDataTag() == QByteArray("income") ? Income : Expense;
}

void seedBook(TestEnvironment &env)
{
    BookStore::createBook("家");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook("家");
}

std::unique_ptr<QWidget> openWindow(const char *className)
{
    auto w = std::unique_ptr<QWidget>(WindowCatalog::find(className)->create(nullptr));
    w->show();
    return w;
}

void enter(QWidget *w, const QString &category, const QString &amount, const QString &account)
{
    Drive::choose(w, "DBLookupComboBox1", category);
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", account);
}

void saveNew(QWidget *w, const QString &category, const QString &amount, const QString &account)
{
    Drive::click(w, "ButNew");
    enter(w, category, amount, account);
    Drive::click(w, "ButSave");
}

int rows(const Twin &t)
{
    return Db::count(QString("select count(*) from %1").arg(t.table));
}

MaintenanceWindow::Mode modeOf(QWidget *w)
{
    return static_cast<MaintenanceWindow *>(w)->mode();
}

} // namespace

void TestIncomeExpense::twins()
{
    QTest::addColumn<int>("unused");
    QTest::newRow("income") << 0;
    QTest::newRow("expense") << 0;
}

void TestIncomeExpense::checksRunInFieldOrder()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t.window);
    Drive::click(w.get(), "ButNew");
    QCOMPARE(w->focusWidget(), Drive::widget(w.get(), "DateTimePicker1"));
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(),
             QString("请选择 %1！").arg(t.prefix == 'I' ? "收入类别" : "支出类别"));
    QCOMPARE(w->focusWidget(), Drive::widget(w.get(), "DBLookupComboBox1"));
    Drive::choose(w.get(), "DBLookupComboBox1", t.category);
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("金额不能为空！请重新录入！"));
    QCOMPARE(w->focusWidget(), Drive::widget(w.get(), "DBEdit3"));
    // What the keystroke filter lets through may still be no amount.
    Drive::setText(w.get(), "DBEdit3", "-.");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), Money::invalidMessage("金额"));
    Drive::setText(w.get(), "DBEdit3", "100");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("请选择 帐户名称！"));
    QCOMPARE(w->focusWidget(), Drive::widget(w.get(), "DBLookupComboBox2"));
    QCOMPARE(rows(t), 0);
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(modeOf(w.get()), MaintenanceWindow::Mode::New);

    Drive::choose(w.get(), "DBLookupComboBox2", "现金");
    Drive::click(w.get(), "ButSave"); // no member and no remark is fine
    QCOMPARE(messages.messages.size(), 4);
    QCOMPARE(Db::value(QString("select FName||'|'||Remark from %1").arg(t.table)).toString(),
             QString("|"));
}

void TestIncomeExpense::balanceFollowsSaveEditAndDelete()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    const auto moved = [&](const char *amount) {
        return t.sign > 0 ? yuan(amount) : -yuan(amount);
    };
    auto w = openWindow(t.window);

    saveNew(w.get(), t.category, "100", "现金");
    QCOMPARE(Db::balance("家", "现金"), moved("100"));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "金额"), QStringList({"100.00"}));

    Drive::click(w.get(), "ButMed");
    Drive::setText(w.get(), "DBEdit3", "80");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), moved("80"));

    Drive::click(w.get(), "ButMed");
    Drive::choose(w.get(), "DBLookupComboBox2", "支付宝");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "支付宝"), moved("80"));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "帐户名称"), QStringList({"支付宝"}));

    messages.answer(QMessageBox::No);
    Drive::click(w.get(), "ButDel");
    QCOMPARE(rows(t), 1);
    messages.answer(QMessageBox::Yes);
    Drive::click(w.get(), "ButDel");
    QCOMPARE(Db::balance("家", "支付宝"), Money());
    QCOMPARE(rows(t), 0);
    QCOMPARE(messages.messages.last().caption, QString("删除"));

    // Zero and negative amounts are entries like any other, exact to the fen; a
    // negative one is saved once confirmed (No is the default), and an edit that
    // keeps it is not asked again.
    saveNew(w.get(), t.category, "0", "现金");
    saveNew(w.get(), t.category, "-12.34", "现金");
    QCOMPARE(messages.lastText(), QString("金额是负数：-12.34。\n确定要保存吗？"));
    QCOMPARE(messages.messages.last().defaultButton, QMessageBox::No);
    QCOMPARE(rows(t), 1);
    messages.answer(QMessageBox::Yes);
    Drive::click(w.get(), "ButSave");
    Drive::click(w.get(), "ButMed");
    Drive::click(w.get(), "ButSaveEdit");
    saveNew(w.get(), t.category, "0.1", "现金");
    saveNew(w.get(), t.category, "0.2", "现金");
    QCOMPARE(Db::balance("家", "现金"), moved("-12.04"));
    QCOMPARE(rows(t), 4);
    QCOMPARE(messages.messages.size(), 4);
}

void TestIncomeExpense::aFailedWriteMovesNoBalance()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow(t.window);
    saveNew(w.get(), t.category, "100", "现金");
    const Money before = Db::balance("家", "现金");

    // The database refuses the row after the balance has moved: both are undone.
    Db::refuseWrites(t.table, "写入失败");
    saveNew(w.get(), t.otherCategory, "50", "现金");
    QCOMPARE(modeOf(w.get()), MaintenanceWindow::Mode::New);
    QCOMPARE(Drive::text(w.get(), "DBEdit3"), QString("50")); // the typed values stay
    Drive::click(w.get(), "ButCan");

    Drive::click(w.get(), "ButMed");
    Drive::setText(w.get(), "DBEdit3", "70");
    Drive::choose(w.get(), "DBLookupComboBox2", "支付宝");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(modeOf(w.get()), MaintenanceWindow::Mode::Edit);
    Drive::click(w.get(), "ButCan");

    messages.answer(QMessageBox::Yes);
    Drive::click(w.get(), "ButDel");

    QCOMPARE(messages.texts().filter("写入失败").size(), 3);
    QCOMPARE(Db::balance("家", "现金"), before);
    QCOMPARE(Db::balance("家", "支付宝"), Money());
    QCOMPARE(rows(t), 1);
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "金额"), QStringList({"100.00"}));
}

void TestIncomeExpense::inputsStandInForViewsWhileEntering()
{
    const Twin t = twin();
    TestEnvironment env;
    seedBook(env);
    Seed seed("家");
    seed.entry(t.kind(), "2024-02-29", "旧类别", yuan("1234.56"), "支付宝", "爸爸");
    seed.commit();
    // The category is gone since, as a file changed outside the program may have it:
    // taken away by hand, as the program keeps a category that entries name.
    Db::exec(QString("delete from %1 where %2Name='旧类别'")
                 .arg(t.prefix == 'I' ? "InD" : "OutD")
                 .arg(t.prefix));
    auto w = openWindow(t.window);
    const QStringList views = {"DBEdit1", "DBEdit2", "DBEdit4", "DBEdit5"};
    const QStringList inputs = {"DateTimePicker1", "DBLookupComboBox1", "DBLookupComboBox2",
                                "DBLookupComboBox3"};
    const auto shown = [&](const QStringList &names) {
        for (const QString &name : names)
            if (Drive::widget(w.get(), name)->isHidden())
                return false;
        return true;
    };
    const auto enabled = [&](const char *name) {
        return Drive::widget(w.get(), name)->isEnabled();
    };
    const auto picker = Drive::find<QDateEdit>(w.get(), "DateTimePicker1");
    QVERIFY(shown(views) && !shown(inputs));
    // Browsing, the row reads as the grid shows it, in fields that take no typing.
    auto *amount = Drive::find<QLineEdit>(w.get(), "DBEdit3");
    QVERIFY(enabled("GroupBox1") && amount->isReadOnly());
    QVERIFY(enabled("ButQuery") && !enabled("ButCan"));
    QCOMPARE(picker->date(), QDate::currentDate());
    QCOMPARE(amount->text(), QString("1,234.56"));
    QCOMPARE(Drive::find<QComboBox>(w.get(), "DBLookupComboBox1")->currentIndex(), -1);

    Drive::click(w.get(), "ButMed");
    QVERIFY(shown(inputs) && !shown(views));
    QVERIFY(enabled("GroupBox1") && !enabled("ButQuery") && !enabled("ButDel"));
    QCOMPARE(picker->date(), QDate(2024, 2, 29));
    QVERIFY(!amount->isReadOnly());
    QCOMPARE(amount->text(), QString("1234.56"));
    QCOMPARE(Drive::text(w.get(), "DBLookupComboBox1"), QString()); // renamed since: no choice
    QCOMPARE(Drive::text(w.get(), "DBLookupComboBox2"), QString("支付宝"));
    QCOMPARE(Drive::text(w.get(), "DBLookupComboBox3"), QString("爸爸"));
    Drive::click(w.get(), "ButCan");
    QVERIFY(shown(views) && !shown(inputs));

    // A new entry never starts from an edit that was cancelled: today, and the
    // choices of the row saved last (none yet).
    Drive::click(w.get(), "ButNew");
    QCOMPARE(picker->date(), QDate::currentDate());
    QCOMPARE(Drive::text(w.get(), "DBLookupComboBox2"), QString());
    QCOMPARE(Drive::text(w.get(), "DBEdit3"), QString());
}

void TestIncomeExpense::listShowsTheBooksEntriesNewestFirst()
{
    const Twin t = twin();
    TestEnvironment env;
    seedBook(env);
    Seed seed("家");
    seed.entry(t.kind(), "2024-01-01", "a", Money::fromUnits(1), "现金");
    seed.entry(t.kind(), "2024-03-01", "b", Money::fromUnits(2), "现金");
    seed.entry(t.kind(), "2024-02-01", "a", Money::fromUnits(3), "现金");
    seed.commit();
    Seed other("别家");
    other.entry(t.kind(), "2024-04-01", "a", Money::fromUnits(4), "现金");
    other.commit();
    auto w = openWindow(t.window);
    const QString category = t.prefix == 'I' ? "收入类别" : "支出类别";
    QCOMPARE(Drive::titles(w.get(), "DBGrid1"),
             QStringList({"日期", category, "金额", "帐户名称", "家庭成员", "备注"}));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "日期"),
             QStringList({"2024-03-01", "2024-02-01", "2024-01-01"}));
    QCOMPARE(w->windowTitle(), QString(t.prefix == 'I' ? "收入" : "支出"));
}

void TestIncomeExpense::entryOfARenamedAccount()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Seed seed("家");
    seed.entry(t.kind(), "2024-01-02", t.category, yuan("100"), "旧卡");
    seed.entry(t.kind(), "2024-01-01", t.category, yuan("200"), "旧卡");
    seed.commit();
    // The account is gone since, as a file changed outside the program may have it:
    // taken away by hand, as the program keeps an account that entries name.
    Db::exec("delete from SAccount where AName='旧卡'");
    auto w = openWindow(t.window);
    const QStringList accounts = Db::dump().filter(QRegularExpression("^SAccount\\|"));

    // Deleting it moves no balance: the name matches no account.
    messages.answer(QMessageBox::Yes);
    Drive::click(w.get(), "ButDel");
    QCOMPARE(rows(t), 1);
    const QStringList before = Db::dump();
    QCOMPARE(before.filter(QRegularExpression("^SAccount\\|")), accounts);

    // Modifying it shows no account, and saving waits for one.
    Drive::click(w.get(), "ButMed");
    QCOMPARE(Drive::text(w.get(), "DBLookupComboBox2"), QString());
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(messages.lastText(), QString("请选择 帐户名称！"));
    QCOMPARE(Db::dump(), before);
    Drive::choose(w.get(), "DBLookupComboBox2", "现金");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), t.sign > 0 ? yuan("200") : -yuan("200"));
    QCOMPARE(Db::count("select count(*) from SAccount where AMoney<>0"), 1);
}

void TestIncomeExpense::quotesInNamesAndRemarks()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Seed seed("家");
    seed.account("老王's 卡");
    seed.commit();
    Db::exec("insert into SFamily (FName) values ('O''Neil')");
    auto w = openWindow(t.window);
    Drive::click(w.get(), "ButNew");
    enter(w.get(), t.category, "5", "老王's 卡");
    Drive::choose(w.get(), "DBLookupComboBox3", "O'Neil");
    Drive::setText(w.get(), "DBEdit6", "it's '); drop table SAccount; --");
    Drive::click(w.get(), "ButSave");
    saveNew(w.get(), t.otherCategory, "7", "现金");
    QCOMPARE(Db::balance("家", "老王's 卡"), t.sign > 0 ? yuan("5") : -yuan("5"));

    // The filter finds it by the remark's quote.
    Drive::whenModal([](QWidget *dialog) {
        Drive::setText(dialog, "Edit1", "'s '"); // typing ticks its box
        Drive::click(dialog, "CheckBox1");
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(w.get(), "ButQuery");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "家庭成员"), QStringList({"O'Neil"}));
    Drive::click(w.get(), "ButMed");
    Drive::setText(w.get(), "DBEdit3", "6");
    Drive::click(w.get(), "ButSaveEdit");
    QCOMPARE(Db::balance("家", "老王's 卡"), t.sign > 0 ? yuan("6") : -yuan("6"));
    QVERIFY(messages.messages.isEmpty());
}

void TestIncomeExpense::anotherWindowsChangesAreRespected()
{
    const Twin t = twin();
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto a = openWindow(t.window);
    saveNew(a.get(), t.category, "100", "现金");
    saveNew(a.get(), t.category, "40", "现金");
    auto b = openWindow(t.window);        // lists both entries
    Drive::stopFollowingChanges(b.get()); // is not told of what a does next

    Drive::click(a.get(), "ButMed"); // the latest, 40
    Drive::setText(a.get(), "DBEdit3", "30");
    Drive::choose(a.get(), "DBLookupComboBox2", "支付宝");
    Drive::click(a.get(), "ButSaveEdit");
    Drive::clickRow(a.get(), "DBGrid1", 1);
    messages.answer(QMessageBox::Yes);
    Drive::click(a.get(), "ButDel"); // the 100

    // The 100 is gone: b's edit of it is refused and nothing moves.
    Drive::clickRow(b.get(), "DBGrid1", 1);
    Drive::click(b.get(), "ButMed");
    Drive::setText(b.get(), "DBEdit3", "1");
    Drive::click(b.get(), "ButSaveEdit");
    QCOMPARE(messages.lastText(), QString("该记录已不存在，可能已在其他窗口中删除。"));
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "支付宝"), t.sign > 0 ? yuan("30") : -yuan("30"));
    Drive::click(b.get(), "ButCan");

    // b still shows 40 in 现金: what it takes off is what the row now holds.
    Drive::clickRow(b.get(), "DBGrid1", 0);
    messages.answer(QMessageBox::Yes);
    Drive::click(b.get(), "ButDel");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "支付宝"), Money());
    QCOMPARE(rows(t), 0);
    // Its list now holds what the database holds.
    QVERIFY(Drive::column(b.get(), "DBGrid1", "金额").isEmpty());
}

QTEST_MAIN(TestIncomeExpense)
#include "tst_incomeexpense.moc"
