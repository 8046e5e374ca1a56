#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "reference/AccountsWindow.h"
#include "reference/CategoryWindows.h"
#include "reference/MembersWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/DatePicker.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QTest>
#include <memory>

class TestCategories : public QObject
{
    Q_OBJECT
private slots:
    void categoryWindowsShowTheirTexts_data();
    void categoryWindowsShowTheirTexts();
    void sameCategoryInTwoBooksButNotTwiceInOne_data();
    void sameCategoryInTwoBooksButNotTwiceInOne();
    void renameKeepsOrResetsTheCursor();
    void onlyNamesNoRowGivesCanBeDeleted();
    void familyIsSharedByEveryBook();
    void birthdayPickerStandsInForTheBirthdayField();
};

namespace {

std::unique_ptr<MaintenanceWindow> open(const QString &className)
{
    std::unique_ptr<MaintenanceWindow> w;
    if (className == "TfrmIn_Manage")
        w = std::make_unique<IncomeCategoriesWindow>();
    else if (className == "TfrmOut_Manage")
        w = std::make_unique<ExpenseCategoriesWindow>();
    else if (className == "TfrmT_Manage")
        w = std::make_unique<InvestmentCategoriesWindow>();
    else
        w = std::make_unique<MembersWindow>();
    w->show();
    return w;
}

void addRow(QWidget *w, const QString &name, const QString &remark = {})
{
    Drive::click(w, "ButNew");
    Drive::setText(w, "DBEdit1", name);
    Drive::setText(w, "DBEdit2", remark);
    Drive::click(w, "ButSave");
}

void addMember(QWidget *w, const QString &name, const QString &relation, const QDate &birthday,
               const QString &remark = {})
{
    Drive::click(w, "ButNew");
    Drive::setText(w, "DBEdit1", name);
    Drive::setText(w, "DBEdit2", relation);
    Drive::setDate(w, "DateTimePicker1", birthday);
    Drive::setText(w, "DBEdit4", remark);
    Drive::click(w, "ButSave");
}

} // namespace

void TestCategories::categoryWindowsShowTheirTexts_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("kind");
    QTest::newRow("income") << "TfrmIn_Manage"
                            << "收入类别"
                            << "收入类别信息"
                            << "收入类别";
    QTest::newRow("expense") << "TfrmOut_Manage"
                             << "支出类别"
                             << "支出类别信息"
                             << "支出类别";
    QTest::newRow("investment") << "TfrmT_Manage"
                                << "投资分类"
                                << "投资类别信息"
                                << "投资类别";
}

void TestCategories::categoryWindowsShowTheirTexts()
{
    QFETCH(QString, className);
    QFETCH(QString, caption);
    QFETCH(QString, panel);
    QFETCH(QString, kind);
    TestEnvironment env;
    env.dm()->setCurrentBook("家");
    auto w = open(className);
    QCOMPARE(w->objectName(), className);
    QCOMPARE(w->windowTitle(), caption);
    QCOMPARE(w->findChild<QGroupBox *>()->title(), panel);
    QCOMPARE(Drive::text(w.get(), "Label1"), kind + "：");
    QCOMPARE(Drive::text(w.get(), "Label2"), QString("备        注："));
    QCOMPARE(Drive::text(w.get(), "ButMed"), QString("修改（&E）"));
    QCOMPARE(Drive::titles(w.get(), "DBGrid1"), QStringList({kind, "备注"}));
}

void TestCategories::sameCategoryInTwoBooksButNotTwiceInOne_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("kind");
    QTest::newRow("income") << "TfrmIn_Manage"
                            << "InD"
                            << "IName"
                            << "收入类别";
    QTest::newRow("expense") << "TfrmOut_Manage"
                             << "OutD"
                             << "OName"
                             << "支出类别";
    QTest::newRow("investment") << "TfrmT_Manage"
                                << "TD"
                                << "TName"
                                << "投资类别";
}

void TestCategories::sameCategoryInTwoBooksButNotTwiceInOne()
{
    QFETCH(QString, className);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, kind);
    TestEnvironment env;
    MessageRecorder messages;
    const QString count =
        QString("select count(*) from %1 where %2='工资' and BName=?").arg(table, column);

    for (const char *book : {"甲", "乙"}) {
        env.dm()->setCurrentBook(book);
        auto w = open(className);
        addRow(w.get(), "工资", "每月");
        QCOMPARE(w->mode(), MaintenanceWindow::Mode::Browse);
        QCOMPARE(Drive::column(w.get(), "DBGrid1", kind), QStringList({"工资"}));
    }
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(Db::count(count, {"甲"}), 1);
    QCOMPARE(Db::count(count, {"乙"}), 1);
    QCOMPARE(Db::value(QString("select thePY from %1 where BName='甲'").arg(table)).toString(),
             QString("GZ"));

    auto w = open(className);
    addRow(w.get(), "工资");
    QCOMPARE(messages.texts(), QStringList({kind + "添加重复！"}));
    QCOMPARE(Db::count(count, {"乙"}), 1);
    QCOMPARE(w->mode(), MaintenanceWindow::Mode::New);

    // Only the name is required; the remark may stay empty.
    Drive::setText(w.get(), "DBEdit1", "");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), kind + "不能为空！请重新录入！");
    Drive::setText(w.get(), "DBEdit1", "奖金");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.messages.size(), 2);
    QCOMPARE(Db::count(QString("select count(*) from %1 where BName='乙'").arg(table)), 2);
}

void TestCategories::renameKeepsOrResetsTheCursor()
{
    TestEnvironment env;
    for (const char *name : {"工资", "奖金", "利息"}) {
        Db::exec("insert into InD (IName, BName) values (?, '家')", {name});
        Db::exec("insert into TD (TName, BName) values (?, '家')", {name});
    }
    env.dm()->setCurrentBook("家");

    IncomeCategoriesWindow income;
    income.show();
    Drive::click(&income, "NavLast");
    Drive::click(&income, "ButMed");
    Drive::setText(&income, "DBEdit1", "薪水");
    Drive::click(&income, "ButSaveEdit");
    QCOMPARE(Drive::currentRow(&income, "DBGrid1"), 2);
    QCOMPARE(Db::count("select count(*) from InD where IName='薪水' and thePY='XS'"), 1);

    InvestmentCategoriesWindow investment;
    investment.show();
    Drive::click(&investment, "NavLast");
    Drive::click(&investment, "ButMed");
    Drive::setText(&investment, "DBEdit1", "基金");
    Drive::click(&investment, "ButSaveEdit");
    QCOMPARE(Drive::currentRow(&investment, "DBGrid1"), 0);
    QCOMPARE(Drive::text(&investment, "DBEdit1"), QString("工资"));
    QCOMPARE(Drive::column(&investment, "DBGrid1", "投资类别"),
             QStringList({"工资", "奖金", "基金"}));
    QCOMPARE(Db::value("select thePY from TD where TName='基金'").toString(), QString("JJ"));
}

// A category, account or member that entries or follow-ups name stays, with the
// number of rows that name it; one that no row of a book there is names goes.
void TestCategories::onlyNamesNoRowGivesCanBeDeleted()
{
    TestEnvironment env;
    MessageRecorder messages;
    Db::insertBook("家");
    Db::exec("insert into OutD (OName, BName) values ('现金', '家'), ('餐饮', '家')");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    Seed seed("家");
    seed.account("现金");
    seed.account("零钱");
    seed.expense("2024-03-01", "现金", Money::fromUnits(100), "现金");
    const QVariant debt = seed.debt("2024-03-01", "老王", Money::fromUnits(100), "现金", "妈妈");
    seed.followUp(Ledger::repayment(), debt, "2024-04-01", Money::fromUnits(50), "零钱", "爸爸");
    seed.commit();
    // An expense of 餐饮 in a book that is gone: its rows wait in the recycle bin.
    Db::insertBook("旧帐");
    Seed gone("旧帐");
    gone.expense("2024-03-01", "餐饮", Money::fromUnits(1), "现金");
    gone.commit();
    BookStore::binBook("旧帐");
    env.dm()->setCurrentBook("家");
    const auto deleteFirst = [&](QWidget *w) {
        w->show();
        messages.answer(QMessageBox::Yes);
        Drive::click(w, "ButDel");
        return messages.lastText();
    };
    ExpenseCategoriesWindow categories;
    QCOMPARE(deleteFirst(&categories),
             QString("支出类别“现金”不能删除：有 1 条记录使用它。\n"
                     "如要换一个名称，请修改它的名称，这些记录会随之改名。"));
    Drive::clickRow(&categories, "DBGrid1", 1);
    messages.answer(QMessageBox::Yes);
    Drive::click(&categories, "ButDel"); // 餐饮: only a book that is gone names it
    QCOMPARE(Db::count("select count(*) from OutD where BName='家'"), 1);
    AccountsWindow accounts;
    accounts.show();
    Drive::clickRow(&accounts, "DBGrid1", 1); // 零钱: a repayment names it
    QVERIFY(deleteFirst(&accounts).startsWith("帐户“零钱”不能删除：有 1 条记录"));
    MembersWindow family;
    QVERIFY(deleteFirst(&family).startsWith("家庭成员“爸爸”不能删除：有 1 条记录"));
    QCOMPARE(Db::count("select count(*) from SAccount where BName='家'") +
                 Db::count("select count(*) from SFamily"),
             4);
}

void TestCategories::familyIsSharedByEveryBook()
{
    TestEnvironment env;
    MessageRecorder messages;
    env.dm()->setCurrentBook("甲");
    {
        MembersWindow w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("家庭成员管理"));
        QCOMPARE(w.findChild<QGroupBox *>()->title(), QString("家庭成员信息"));
        QCOMPARE(Drive::text(&w, "ButMed"), QString("修改（&M）"));
        QStringList labels;
        for (const char *name : {"Label1", "Label2", "Label3", "Label4"})
            labels << Drive::text(&w, name);
        QCOMPARE(labels, QStringList({"姓名：", "关系：", "生日：", "备注："}));
        QCOMPARE(Drive::titles(&w, "DBGrid1"), QStringList({"姓名", "关系", "生日", "备注"}));
        addMember(&w, "张三", "", QDate(1980, 1, 2));
        QVERIFY(messages.messages.isEmpty());
    }
    QCOMPARE(Db::value("select thePY from SFamily where FName='张三'").toString(), QString("ZS"));

    env.dm()->setCurrentBook("乙");
    MembersWindow w;
    w.show();
    QCOMPARE(Drive::column(&w, "DBGrid1", "姓名"), QStringList({"张三"}));
    addMember(&w, "张三", "父亲", QDate(1970, 1, 1));
    QCOMPARE(messages.texts(), QStringList({"姓名添加重复！"}));
    QCOMPARE(Db::count("select count(*) from SFamily"), 1);
    Drive::setText(&w, "DBEdit1", "");
    Drive::click(&w, "ButSave");
    QCOMPARE(messages.lastText(), QString("姓名不能为空！请重新录入！"));
    QCOMPARE(w.focusWidget(), Drive::widget(&w, "DBEdit1"));
}

void TestCategories::birthdayPickerStandsInForTheBirthdayField()
{
    TestEnvironment env;
    Db::exec("insert into SFamily (FName, thePY, theGX, BirDate, Remark) "
             "values ('爸爸', 'BB', '父亲', '1975-03-12', '')");
    MembersWindow w;
    w.show();
    auto *picker = Drive::find<DatePicker>(&w, "DateTimePicker1");
    QWidget *birthday = Drive::widget(&w, "DBEdit3");
    QCOMPARE(picker->displayFormat(), QString("yyyy-MM-dd"));
    QVERIFY(picker->calendarPopup());
    QVERIFY(picker->isHidden() && birthday->isVisible());
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("1975-03-12"));

    // A new member starts without a birthday, and may be saved without one.
    Drive::click(&w, "ButNew");
    QVERIFY(picker->isVisible() && birthday->isHidden());
    QCOMPARE(picker->geometry().topLeft(), birthday->geometry().topLeft());
    QVERIFY(picker->isEmpty());
    QCOMPARE(picker->text(), QString("未填写"));
    Drive::setText(&w, "DBEdit1", "O'Hara");
    Drive::setText(&w, "DBEdit2", "邻居's 女儿");
    Drive::setText(&w, "DBEdit4", "it's ok");
    Drive::click(&w, "ButSave");
    QVERIFY(picker->isHidden() && birthday->isVisible());
    QCOMPARE(
        Db::value("select theGX||'|'||BirDate||'|'||Remark from SFamily where FName=?", {"O'Hara"})
            .toString(),
        QString("邻居's 女儿||it's ok"));

    // Nor does the next one take the birthday typed last; 修改 loads the stored one.
    Drive::click(&w, "ButNew");
    Drive::setDate(&w, "DateTimePicker1", QDate(1990, 5, 6));
    Drive::setText(&w, "DBEdit1", "小明");
    Drive::click(&w, "ButSave");
    Drive::click(&w, "ButNew");
    QVERIFY(picker->isEmpty());
    Drive::click(&w, "ButCan");
    QVERIFY(picker->isHidden());

    Drive::click(&w, "NavFirst");
    Drive::click(&w, "ButMed");
    QCOMPARE(picker->date(), QDate(1975, 3, 12));
    Drive::setDate(&w, "DateTimePicker1", QDate(1975, 3, 13));
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Drive::text(&w, "DBEdit3"), QString("1975-03-13"));
    QCOMPARE(Db::value("select BirDate from SFamily where FName='爸爸'").toString(),
             QString("1975-03-13"));
}

QTEST_MAIN(TestCategories)
#include "tst_categories.moc"
