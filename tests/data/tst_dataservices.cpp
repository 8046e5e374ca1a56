#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/LookupSearch.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

class TestDataServices : public QObject
{
    Q_OBJECT
private slots:
    void feedersListNamesWithNoChoice();
    void perBookListsAreEmptyWithoutABook();
};

void TestDataServices::feedersListNamesWithNoChoice()
{
    TestEnvironment env;
    Seed seed("家");
    for (const char *name : {"现金", "工资卡", "支付宝"})
        seed.account(QString::fromUtf8(name));
    seed.commit();
    Seed other("别家");
    other.account("别人的卡");
    other.commit();
    Db::exec("insert into InD (IName, BName) values ('工资', '家')");
    Db::exec("insert into OutD (OName, BName) values ('餐饮', '家')");
    Db::exec("insert into TD (TName, BName) values ('股票', '家')");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook("家");

    QComboBox box;
    box.addItem("left over");
    fillLookup(&box, &Workspace::accounts);
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemText(0), QString("现金"));
    QCOMPARE(box.itemText(2), QString("支付宝"));
    QCOMPARE(box.currentIndex(), -1);
    fillLookup(&box, &Workspace::incomeCategories);
    QCOMPARE(box.itemText(0), QString("工资"));
    fillLookup(&box, &Workspace::expenseCategories);
    QCOMPARE(box.itemText(0), QString("餐饮"));
    fillLookup(&box, &Workspace::investmentCategories);
    QCOMPARE(box.itemText(0), QString("股票"));
    fillLookup(&box, &Workspace::members);
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.currentIndex(), -1);
}

void TestDataServices::perBookListsAreEmptyWithoutABook()
{
    TestEnvironment env;
    Seed seed("家");
    seed.account("现金");
    seed.commit();
    Db::exec("insert into SFamily (FName) values ('爸爸')");
    QComboBox box;
    fillLookup(&box, &Workspace::accounts);
    QCOMPARE(box.count(), 0);
    fillLookup(&box, &Workspace::members);
    QCOMPARE(box.count(), 1);
}

QTEST_MAIN(TestDataServices)
#include "tst_dataservices.moc"
