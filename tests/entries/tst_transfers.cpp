#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "entries/TransferWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QTest>
#include <memory>

class TestTransfers : public QObject
{
    Q_OBJECT
private slots:
    void checksRunInOrderAndMoveNothing();
    void transferMovesTheAmountBetweenItsAccounts();
    void aFailedWriteMovesNoBalance();
    void modifyAndDeleteOnAnEmptyListDoNothing();
    void aLongRemarkIsKeptWholeOnEdit();
};

namespace {

// Four accounts with opening balances, so that a wrong sign shows.
const QStringList Accounts = {"现金", "支付宝", "中行长城卡", "农行金穗卡"};

void seedBook(TestEnvironment &env)
{
    BookStore::createBook("家");
    Seed seed("家");
    seed.everyAccountOpensWith(yuan("1000"));
    seed.commit();
    Db::exec("insert into SFamily (FName) values ('爸爸')");
    env.dm()->setCurrentBook("家");
}

QList<Money> balances()
{
    QList<Money> out;
    for (const QString &account : Accounts)
        out << Db::balance("家", account);
    return out;
}

// The balances after moving each account by the given amount from its opening 1000.
QList<Money> opening(QList<const char *> changes = {"0", "0", "0", "0"})
{
    QList<Money> out;
    for (const char *change : changes)
        out << yuan("1000") + yuan(change);
    return out;
}

void enter(QWidget *w, const QString &from, const QString &to, const QString &amount)
{
    Drive::choose(w, "DBLookupComboBox1", from);
    Drive::choose(w, "DBLookupComboBox2", to);
    Drive::setText(w, "DBEdit4", amount);
}

void saveNew(QWidget *w, const QString &from, const QString &to, const QString &amount,
             const QString &remark = {})
{
    Drive::click(w, "ButNew");
    enter(w, from, to, amount);
    Drive::setText(w, "DBEdit6", remark);
    Drive::click(w, "ButSave");
}

// A transfer window on a book whose accounts hold 1000 each.
struct Fixture
{
    Fixture()
    {
        seedBook(env);
        w = std::make_unique<TransferWindow>();
        w->show();
    }
    TestEnvironment env;
    MessageRecorder messages;
    std::unique_ptr<TransferWindow> w;
};

} // namespace

void TestTransfers::checksRunInOrderAndMoveNothing()
{
    Fixture f;
    TransferWindow &w = *f.w;
    MessageRecorder &messages = f.messages;
    QCOMPARE(w.windowTitle(), QString("帐户转帐"));
    QCOMPARE(Drive::titles(&w, "DBGrid1"),
             QStringList({"转帐日期", "原帐户", "到帐帐户", "转帐余额", "家庭成员", "备注"}));
    Drive::click(&w, "ButNew");
    // What a refused save says, and where it puts the focus.
    const auto refusal = [&] {
        Drive::click(&w, "ButSave");
        return messages.lastText() + " @" + w.focusWidget()->objectName();
    };
    QCOMPARE(refusal(), QString("请选择 原帐户！ @DBLookupComboBox1"));
    Drive::choose(&w, "DBLookupComboBox1", "现金");
    QCOMPARE(refusal(), QString("请选择 到帐帐户！ @DBLookupComboBox2"));
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    const QString same = "到帐帐户 不能与 原帐户 一样！请重新选择！ @DBLookupComboBox2";
    QCOMPARE(refusal(), same);
    Drive::setText(&w, "DBEdit4", "100"); // whatever the amount
    QCOMPARE(refusal(), same);
    Drive::setText(&w, "DBEdit4", "");
    Drive::choose(&w, "DBLookupComboBox2", "支付宝");
    QCOMPARE(refusal(), QString("转帐余额不能为空！请重新录入！ @DBEdit4"));
    QCOMPARE(messages.messages.size(), 5);
    QCOMPARE(balances(), opening());
    QCOMPARE(Db::count("select count(*) from ChangeT"), 0);

    // The same checks guard an edit.
    Drive::setText(&w, "DBEdit4", "1");
    Drive::click(&w, "ButSave");
    Drive::click(&w, "ButMed");
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(messages.lastText(), QString("到帐帐户 不能与 原帐户 一样！请重新选择！"));
    QCOMPARE(balances(), opening({"-1", "1", "0", "0"}));
}

void TestTransfers::transferMovesTheAmountBetweenItsAccounts()
{
    Fixture f;
    TransferWindow &w = *f.w;
    MessageRecorder &messages = f.messages;

    Drive::click(&w, "ButNew");
    enter(&w, "现金", "支付宝", "100");
    Drive::choose(&w, "DBLookupComboBox3", "爸爸");
    Drive::click(&w, "ButSave"); // with no remark
    QCOMPARE(balances(), opening({"-100", "100", "0", "0"}));
    QCOMPARE(Db::value("select Remark from ChangeT").toString(), QString(" 现金->支付宝"));
    QCOMPARE(Drive::text(&w, "DBEdit6"), QString(" 现金->支付宝"));

    // An edit keeps the remark as it stands in its box.
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit4", "150");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(balances(), opening({"-150", "150", "0", "0"}));
    Drive::click(&w, "ButMed");
    enter(&w, "中行长城卡", "农行金穗卡", "100");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(balances(), opening({"0", "0", "-100", "100"}));
    QCOMPARE(Db::value("select Remark||'|'||FName from ChangeT").toString(),
             QString(" 现金->支付宝|爸爸"));

    saveNew(&w, "支付宝", "现金", "0.05", "还钱");
    QCOMPARE(Drive::column(&w, "DBGrid1", "备注"),
             QStringList({"还钱 支付宝->现金", " 现金->支付宝"}));

    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");
    QCOMPARE(balances(), opening());
    QCOMPARE(Db::count("select count(*) from ChangeT"), 0);
    QCOMPARE(messages.messages.size(), 2);
}

void TestTransfers::aFailedWriteMovesNoBalance()
{
    Fixture f;
    TransferWindow &w = *f.w;
    MessageRecorder &messages = f.messages;
    saveNew(&w, "现金", "支付宝", "100");
    Db::refuseWrites("ChangeT", "写入失败");
    saveNew(&w, "中行长城卡", "农行金穗卡", "7", "备");
    Drive::click(&w, "ButSave"); // tried twice: the remark gets no second suffix
    QCOMPARE(Drive::text(&w, "DBEdit6"), QString("备"));
    Drive::click(&w, "ButCan");
    Drive::click(&w, "ButMed");
    enter(&w, "中行长城卡", "农行金穗卡", "7");
    Drive::click(&w, "ButSaveEdit");
    Drive::click(&w, "ButCan");
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButDel");

    QCOMPARE(messages.texts().filter("写入失败").size(), 4);
    QCOMPARE(balances(), opening({"-100", "100", "0", "0"}));
    QCOMPARE(Db::value("select OldN||NewN||CMoney from ChangeT").toString(),
             QString("现金支付宝1000000"));
}

void TestTransfers::modifyAndDeleteOnAnEmptyListDoNothing()
{
    Fixture f;
    TransferWindow &w = *f.w;
    MessageRecorder &messages = f.messages;
    Drive::click(&w, "ButMed");
    Drive::click(&w, "ButDel");
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Browse);
    QVERIFY(messages.messages.isEmpty());
}

void TestTransfers::aLongRemarkIsKeptWholeOnEdit()
{
    Fixture f;
    TransferWindow &w = *f.w;
    // The box takes 100 characters as typed; the stored remark gains " 现金->支付宝".
    saveNew(&w, "现金", "支付宝", "100", QString(120, 'x'));
    const QString stored = QString(100, 'x') + " 现金->支付宝";
    QCOMPARE(Db::value("select Remark from ChangeT").toString(), stored);

    Drive::click(&w, "ButMed");
    QCOMPARE(Drive::text(&w, "DBEdit6"), stored);
    Drive::setText(&w, "DBEdit4", "150");
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Db::value("select Remark from ChangeT").toString(), stored);
    QCOMPARE(balances(), opening({"-150", "150", "0", "0"}));
    QVERIFY(f.messages.messages.isEmpty());
}

QTEST_MAIN(TestTransfers)
#include "tst_transfers.moc"
