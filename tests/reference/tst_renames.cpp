#include "core/books/BookStore.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "entries/IncomeExpense.h"
#include "reference/AccountsWindow.h"
#include "reference/CategoryWindows.h"
#include "reference/MembersWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QSqlQuery>
#include <QTest>
#include <functional>
#include <memory>

// What the maintenance windows write never undoes what other windows stored,
// never makes two rows of one name, and renames carry into the entries.
class TestRenames : public QObject
{
    Q_OBJECT
private slots:
    void accountWindowNeverWritesBackAStaleBalance();
    void saveEditRefusesTheNameOfAnotherRow();
    void renamesAreCarriedIntoTheEntries();
    void aNameSpeltInOtherCaseKeepsItsTotals();
};

namespace {

void openBook(TestEnvironment &env, const QString &book)
{
    env.dm()->setCurrentBook(book);
}

// Picks the row named `name` in the grid's first shown column and starts 修改.
void modify(QWidget *w, const QString &title, const QString &name)
{
    const int row = Drive::column(w, "DBGrid1", title).indexOf(name);
    QVERIFY2(row >= 0, qPrintable(name));
    Drive::clickRow(w, "DBGrid1", row);
    Drive::click(w, "ButMed");
}

void saveExpense(QWidget *w, const QString &amount, const QString &account)
{
    Drive::click(w, "ButNew");
    Drive::choose(w, "DBLookupComboBox1",
                  Drive::find<QComboBox>(w, "DBLookupComboBox1")->itemText(0));
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", account);
    Drive::click(w, "ButSave");
}

} // namespace

void TestRenames::accountWindowNeverWritesBackAStaleBalance()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("家");
    Seed seed("家");
    seed.account("现金", yuan("1000"));
    seed.commit();
    openBook(env, "家");
    AccountsWindow accounts;
    accounts.show();
    ExpenseWindow expense;
    expense.show();

    // An expense after the account window read its list: 修改 shows, and keeps, 900.
    saveExpense(&expense, "100", "现金");
    modify(&accounts, "帐户名称", "现金");
    QCOMPARE(Drive::text(&accounts, "DBEdit2"), QString("900.00"));
    Drive::setText(&accounts, "DBEdit3", "零钱");
    Drive::click(&accounts, "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), yuan("900"));

    // An expense while the edit is pending: an unchanged balance is left as stored.
    modify(&accounts, "帐户名称", "现金");
    saveExpense(&expense, "50", "现金");
    Drive::setText(&accounts, "DBEdit3", "钱包");
    Drive::click(&accounts, "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), yuan("850"));
    QCOMPARE(Db::value("select Remark from SAccount where AName='现金'").toString(),
             QString("钱包"));

    // A balance the user typed is written as typed, once asked where the
    // difference goes.
    modify(&accounts, "帐户名称", "现金");
    saveExpense(&expense, "1", "现金");
    Drive::setText(&accounts, "DBEdit2", "2000");
    Drive::click(&accounts, "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), yuan("2000"));
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.lastText().startsWith("帐户“现金”的余额从 849.00 改为 2,000.00"));
}

void TestRenames::saveEditRefusesTheNameOfAnotherRow()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("家");
    for (const auto &[book, account] : {std::pair{"家", "abc"}, {"别家", "工资卡"}}) {
        Seed seed(book);
        seed.account(account);
        seed.commit();
    }
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    openBook(env, "家");
    const struct
    {
        std::function<QWidget *()> make;
        QString title, renamed, taken;
    } windows[] = {
        {[] { return new AccountsWindow; }, "帐户名称", "支付宝", "现金"},
        {[] { return new IncomeCategoriesWindow; }, "收入类别", "奖金", "工资"},
        {[] { return new ExpenseCategoriesWindow; }, "支出类别", "水费", "食品"},
        {[] { return new InvestmentCategoriesWindow; }, "投资类别", "基金", "股票"},
        {[] { return new MembersWindow; }, "姓名", "妈妈", "爸爸"},
    };
    for (const auto &window : windows) {
        const std::unique_ptr<QWidget> w(window.make());
        w->show();
        const QStringList names = Drive::column(w.get(), "DBGrid1", window.title);
        modify(w.get(), window.title, window.renamed);
        Drive::setText(w.get(), "DBEdit1", window.taken);
        Drive::click(w.get(), "ButSaveEdit");
        QCOMPARE(messages.lastText(), window.title + "添加重复！");
        QCOMPARE(static_cast<MaintenanceWindow *>(w.get())->mode(), MaintenanceWindow::Mode::Edit);
        Drive::click(w.get(), "ButCan");
        w->close();
        const std::unique_ptr<QWidget> reread(window.make());
        QCOMPARE(Drive::column(reread.get(), "DBGrid1", window.title), names);
    }

    // Letter case does not make another name; a row may keep its own name in other
    // capitals; the same name in another book is no duplicate.
    messages.clear();
    AccountsWindow accounts;
    accounts.show();
    modify(&accounts, "帐户名称", "支付宝");
    Drive::setText(&accounts, "DBEdit1", "ABC");
    Drive::click(&accounts, "ButSaveEdit");
    QCOMPARE(messages.texts(), QStringList({"帐户名称添加重复！"}));
    Drive::click(&accounts, "ButCan");
    modify(&accounts, "帐户名称", "abc");
    Drive::setText(&accounts, "DBEdit1", "ABC");
    Drive::click(&accounts, "ButSaveEdit");
    modify(&accounts, "帐户名称", "支付宝");
    Drive::setText(&accounts, "DBEdit1", "工资卡");
    Drive::click(&accounts, "ButSaveEdit");
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(Db::count("select count(*) from SAccount where BName='家' and AName in "
                       "('ABC', '工资卡')"),
             2);
}

void TestRenames::renamesAreCarriedIntoTheEntries()
{
    TestEnvironment env;
    MessageRecorder messages;
    for (const QString book : {"甲", "乙"}) {
        BookStore::createBook(book);
        Seed seed(book); // makes the member 爸爸, shared by both books
        seed.income("2024-05-01", "工资", yuan("100"), "支付宝", "爸爸");
        seed.transfer("2024-05-02", "支付宝", "现金", yuan("1"), "爸爸");
        const QVariant debt = seed.debt("2024-05-03", "老王", yuan("5"), "支付宝", "爸爸");
        seed.followUp(Ledger::repayment(), debt, "2024-05-04", yuan("1"), "支付宝", "爸爸");
        seed.investment("2024-05-05", "股票", yuan("1"), "支付宝");
        seed.commit();
    }
    // The new books' income and investment categories include 工资 and 股票.
    openBook(env, "甲");
    const Money before = Db::balance("甲", "支付宝");

    const auto rename = [](QWidget *w, const QString &title, const QString &from,
                           const QString &to) {
        w->show();
        modify(w, title, from);
        Drive::setText(w, "DBEdit1", to);
        Drive::click(w, "ButSaveEdit");
    };
    AccountsWindow accounts;
    rename(&accounts, "帐户名称", "支付宝", "微信");
    IncomeCategoriesWindow income;
    rename(&income, "收入类别", "工资", "薪水");
    InvestmentCategoriesWindow investments;
    rename(&investments, "投资类别", "股票", "证券");
    MembersWindow family;
    rename(&family, "姓名", "爸爸", "父亲");
    QVERIFY(messages.messages.isEmpty());

    const auto values = [](const QString &book, const char *sql) {
        QStringList out;
        QSqlQuery q = Sql(sql, {book}).exec();
        while (q.next())
            out << q.value(0).toString();
        return out;
    };
    QCOMPARE(values("甲", "select AName||IName||FName from InTable where BName=?"),
             QStringList({"微信薪水父亲"}));
    QCOMPARE(values("甲", "select OldN||NewN||FName from ChangeT where BName=?"),
             QStringList({"微信现金父亲"}));
    QCOMPARE(values("甲", "select AName||FName from Borrow where BName=?"),
             QStringList({"微信父亲"}));
    QCOMPARE(values("甲", "select R.AName||R.FName from BorrowR R join Borrow B on B.ID=R.BID "
                          "where B.BName=?"),
             QStringList({"微信父亲"}));
    QCOMPARE(values("甲", "select AName||TName from TTable where BName=?"),
             QStringList({"微信证券"}));
    // The other book keeps its own accounts and categories; members are shared.
    QCOMPARE(values("乙", "select AName||IName||FName from InTable where BName=?"),
             QStringList({"支付宝工资父亲"}));
    QCOMPARE(values("乙", "select R.AName||R.FName from BorrowR R join Borrow B on B.ID=R.BID "
                          "where B.BName=?"),
             QStringList({"支付宝父亲"}));
    QCOMPARE(values("乙", "select AName||TName from TTable where BName=?"),
             QStringList({"支付宝股票"}));

    // Deleting the income of the renamed account takes its amount off that account.
    IncomeWindow entries;
    entries.show();
    messages.answer(QMessageBox::Yes);
    Drive::click(&entries, "ButDel");
    QCOMPARE(Db::balance("甲", "微信"), before - yuan("100"));
}

// "Bank" renamed to "BANK": the same name to the database, which compares names
// without case. Its entries and kept totals follow, none lost; an entry chosen
// under the old spelling is written under the new one.
void TestRenames::aNameSpeltInOtherCaseKeepsItsTotals()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    openBook(env, "甲");
    AccountsWindow accounts;
    accounts.show();
    Drive::click(&accounts, "ButNew");
    Drive::setText(&accounts, "DBEdit1", "Bank");
    Drive::setText(&accounts, "DBEdit2", "0");
    Drive::click(&accounts, "ButSave");
    ExpenseWindow expenses;
    expenses.show();
    saveExpense(&expenses, "12.5", "Bank");
    // One more, pending while the account is respelt.
    Drive::click(&expenses, "ButNew");
    Drive::choose(&expenses, "DBLookupComboBox1",
                  Drive::find<QComboBox>(&expenses, "DBLookupComboBox1")->itemText(0));
    Drive::setText(&expenses, "DBEdit3", "7.5");
    Drive::choose(&expenses, "DBLookupComboBox2", "Bank");
    modify(&accounts, "帐户名称", "Bank");
    Drive::setText(&accounts, "DBEdit1", "BANK");
    Drive::click(&accounts, "ButSaveEdit");
    Drive::click(&expenses, "ButSave");
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(Db::value("select group_concat(distinct AName) from OutTable").toString(),
             QString("BANK"));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    QCOMPARE(Db::balance("甲", "BANK"), -yuan("20"));
}

QTEST_MAIN(TestRenames)
#include "tst_renames.moc"
