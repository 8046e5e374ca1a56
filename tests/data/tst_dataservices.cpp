#include "data/TfrmDM.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

class TestDataServices : public QObject
{
    Q_OBJECT
private slots:
    void balanceMovesByExactlyTheAmount();
    void balanceMovesOnlyInTheCurrentBook();
    void unknownAccountChangesNothing();
    void feedersListNamesWithNoChoice();
    void perBookListsAreEmptyWithoutABook();
};

void TestDataServices::balanceMovesByExactlyTheAmount()
{
    TestEnvironment env;
    Db::insertAccount("家", "现金");
    env.dm()->setCurrentBook("家");
    const Money tenth = *Money::parse("0.1");
    for (int i = 0; i < 3; ++i)
        env.dm()->AccountUp(tenth, "现金");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("0.3"));
    for (int i = 0; i < 3; ++i)
        env.dm()->AccountDown(tenth, "现金");
    QCOMPARE(Db::value("select AMoney from SAccount").toLongLong(), 0LL);
    env.dm()->AccountDown(*Money::parse("-12.5"), "现金");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("12.5"));
}

void TestDataServices::balanceMovesOnlyInTheCurrentBook()
{
    TestEnvironment env;
    Db::insertAccount("甲", "现金", *Money::parse("10"));
    Db::insertAccount("乙", "现金", *Money::parse("10"));
    env.dm()->setCurrentBook("乙");
    env.dm()->AccountUp(*Money::parse("5"), "现金");
    QCOMPARE(Db::balance("甲", "现金"), *Money::parse("10"));
    QCOMPARE(Db::balance("乙", "现金"), *Money::parse("15"));
}

void TestDataServices::unknownAccountChangesNothing()
{
    TestEnvironment env;
    Db::insertAccount("家", "现金", *Money::parse("10"));
    env.dm()->setCurrentBook("家");
    env.dm()->AccountUp(*Money::parse("5"), "旧帐户");
    env.dm()->AccountDown(*Money::parse("5"), "o'neil");
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("10"));
}

void TestDataServices::feedersListNamesWithNoChoice()
{
    TestEnvironment env;
    for (const char *name : {"现金", "工资卡", "支付宝"})
        Db::insertAccount("家", QString::fromUtf8(name));
    Db::insertAccount("别家", "别人的卡");
    Db::exec("insert into InD (IName, BName) values ('工资', '家')");
    Db::exec("insert into OutD (OName, BName) values ('餐饮', '家')");
    Db::exec("insert into TD (TName, BName) values ('股票', '家')");
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    env.dm()->setCurrentBook("家");

    QComboBox box;
    box.addItem("left over");
    env.dm()->DBComAccount(&box);
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemText(0), QString("现金"));
    QCOMPARE(box.itemText(2), QString("支付宝"));
    QCOMPARE(box.currentIndex(), -1);
    env.dm()->DBComInType(&box);
    QCOMPARE(box.itemText(0), QString("工资"));
    env.dm()->DBComOutType(&box);
    QCOMPARE(box.itemText(0), QString("餐饮"));
    env.dm()->DBComTZType(&box);
    QCOMPARE(box.itemText(0), QString("股票"));
    env.dm()->DBComFamily(&box);
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.currentIndex(), -1);
}

void TestDataServices::perBookListsAreEmptyWithoutABook()
{
    TestEnvironment env;
    Db::insertAccount("家", "现金");
    Db::exec("insert into SFamily (FName) values ('爸爸')");
    QComboBox box;
    env.dm()->DBComAccount(&box);
    QCOMPARE(box.count(), 0);
    env.dm()->DBComFamily(&box);
    QCOMPARE(box.count(), 1);
}

QTEST_MAIN(TestDataServices)
#include "tst_dataservices.moc"
