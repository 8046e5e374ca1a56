#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/TestSupport.h"

#include <QTest>
#include <memory>

// Investments and their returns of principal and income, through the real windows.
class TestInvestments : public QObject
{
    Q_OBJECT
private slots:
    void returnsMoveFiguresAndBalances();
    void anInvestmentWithReturnsIsKeptAndMovedWhole();
};

namespace {

struct Book
{
    Book(TestEnvironment &env)
    {
        BookStore::createBook("家");
        Db::exec("insert into SFamily (FName) values ('爸爸')");
        env.dm()->setCurrentBook("家");
        window.reset(WindowCatalog::find("TfrmTZ")->create(nullptr));
        window->show();
    }
    QWidget *w() const { return window.get(); }
    std::unique_ptr<QWidget> window;
};

void invest(QWidget *w, const QString &amount, const QString &account)
{
    Drive::click(w, "ButNew");
    Drive::choose(w, "DBLookupComboBox1", "基金");
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", account);
    Drive::click(w, "ButSave"); // no member: accepted
}

bool takeReturn(QWidget *w, const QString &principal, const QString &income)
{
    return Drive::withModal([w] { Drive::trigger(w, "R1"); },
                            [&](QWidget *dialog) {
                                Drive::setText(dialog, "Edit1", principal);
                                Drive::setText(dialog, "Edit2", income);
                                Drive::choose(dialog, "DBLookupComboBox1", "支付宝");
                                Drive::choose(dialog, "DBLookupComboBox2", "爸爸");
                                Drive::click(dialog, "BitBtn1");
                            });
}

QString figures(QWidget *w)
{
    return Drive::column(w, "DBGrid1", "投资金额").join(",") + "/" +
           Drive::column(w, "DBGrid1", "收益金额").join(",");
}

void deleteNewestReturn(QWidget *w, MessageRecorder &messages)
{
    Drive::withModal([w] { Drive::trigger(w, "V1"); },
                     [&](QWidget *dialog) {
                         QCOMPARE(Drive::titles(dialog, "DBGrid1"),
                                  QStringList({"收益日期", "收回本金", "收益金额", "帐户名称",
                                               "家庭成员", "备注"}));
                         messages.answer(QMessageBox::Yes);
                         Drive::trigger(dialog, "D1");
                     });
}

} // namespace

void TestInvestments::returnsMoveFiguresAndBalances()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book book(env);
    QWidget *w = book.w();
    invest(w, "10000", "现金");
    QCOMPARE(Db::balance("家", "现金"), -yuan("10000"));
    QCOMPARE(figures(w), QString("10,000.00/0.00"));

    // The dialog offers all the principal back, with no income.
    Drive::withModal([&] { Drive::trigger(w, "R1"); },
                     [](QWidget *dialog) {
                         QCOMPARE(Drive::text(dialog, "Edit1"), QString("10000.00"));
                         QCOMPARE(Drive::text(dialog, "Edit2"), QString("0"));
                     });
    QVERIFY(takeReturn(w, "4000", "300"));
    QCOMPARE(Db::balance("家", "支付宝"), yuan("4300"));
    QCOMPARE(figures(w), QString("6,000.00/300.00"));
    QVERIFY(takeReturn(w, "1", "-50")); // a loss
    QCOMPARE(Db::balance("家", "支付宝"), yuan("4251"));
    QCOMPARE(figures(w), QString("5,999.00/250.00"));

    // Refused: no principal, more principal than is invested, an income that is no amount.
    messages.clear();
    takeReturn(w, "0", "100");
    takeReturn(w, "5999.0001", "0");
    takeReturn(w, "1", "");
    takeReturn(w, "1", "-");
    QCOMPARE(messages.texts(),
             QStringList({"收回本金 不能小于或等于零！", "收回本金 不能大于投资金额！",
                          "收益金额 不能为空！", Money::invalidMessage("收益金额")}));
    QCOMPARE(Db::count("select count(*) from TTableR"), 2);

    deleteNewestReturn(w, messages); // the loss, the later of one day
    QCOMPARE(figures(w), QString("6,000.00/300.00"));
    QCOMPARE(Db::balance("家", "支付宝"), yuan("4300"));
    deleteNewestReturn(w, messages);
    QCOMPARE(figures(w), QString("10,000.00/0.00"));
    QCOMPARE(Db::balance("家", "支付宝"), Money());
}

void TestInvestments::anInvestmentWithReturnsIsKeptAndMovedWhole()
{
    TestEnvironment env;
    MessageRecorder messages;
    Book book(env);
    QWidget *w = book.w();
    invest(w, "10000", "现金");
    takeReturn(w, "4000", "300");

    messages.clear();
    Drive::click(w, "ButDel");
    QCOMPARE(messages.texts(),
             QStringList({"该投资有 收益记录，不能删除；如要删除，请先删除 收益记录。"}));
    QCOMPARE(Db::count("select count(*) from TTable"), 1);

    // Moved to another account: all 10000 it took comes back to 现金.
    Drive::click(w, "ButMed");
    Drive::choose(w, "DBLookupComboBox2", "中行长城卡");
    Drive::click(w, "ButSaveEdit");
    QCOMPARE(Db::balance("家", "现金"), Money());
    QCOMPARE(Db::balance("家", "中行长城卡"), -yuan("10000"));

    // A write refused half-way through a return changes nothing.
    const QStringList before = Db::dump();
    Db::refuseWrites("TTable", "写入失败");
    takeReturn(w, "1000", "10");
    Db::allowWrites("TTable");
    QCOMPARE(Db::dump(), before);

    deleteNewestReturn(w, messages);
    messages.answer(QMessageBox::Yes);
    Drive::click(w, "ButDel");
    QCOMPARE(Db::balance("家", "中行长城卡"), Money());
    QCOMPARE(Db::balance("家", "支付宝"), Money());
    QCOMPARE(Db::count("select count(*) from TTable"), 0);
}

QTEST_MAIN(TestInvestments)
#include "tst_investments.moc"
