#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Reconciliation.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "planning/ReconcileWindow.h"
#include "reference/AccountsWindow.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QAction>
#include <QTest>

// Reconciling an account with the bank, and a balance typed in 帐户管理: each
// difference is booked once, and the balance then matches.
class TestReconcile : public QObject
{
    Q_OBJECT
private slots:
    void balanceAtADayLeavesOutWhatCameAfter();
    void theDifferenceIsBookedOnceAndNothingWhenTheyAgree();
    void theWindowTicksOffAndBooksWhatIsLeft();
    void aBalanceTypedInTheAccountWindowIsAReconciliation();
    void anUndoAsksBeforeChangingWhatWasReconciled();
};

namespace {

const QString Book = "家";

QDate day(const char *text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

// 现金 starts at 1000; an expense of 30 on 1 March, an income of 500 on 5 March,
// a debt of 200 on 2 March repaid 50 on 10 March.
void seed(TestEnvironment &env)
{
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    Seed seed(Book);
    seed.account("现金", yuan("1000"));
    seed.expense("2026-03-01", "食品", yuan("30"), "现金");
    seed.income("2026-03-05", "工资", yuan("500"), "现金");
    const QVariant debt = seed.debt("2026-03-02", "王明", yuan("200"), "现金");
    seed.followUp(Ledger::repayment(), debt, "2026-03-10", yuan("50"), "现金");
    seed.commit();
}

int adjustments()
{
    return Db::count("select count(*) from InTable where IName='平帐'") +
           Db::count("select count(*) from OutTable where OName='平帐'");
}

} // namespace

void TestReconcile::balanceAtADayLeavesOutWhatCameAfter()
{
    TestEnvironment env;
    seed(env);
    using Reconciliation::balanceAt;
    QCOMPARE(Db::balance(Book, "现金"), yuan("1620"));
    QCOMPARE(balanceAt(Book, "现金", day("2026-02-28")), yuan("1000"));
    QCOMPARE(balanceAt(Book, "现金", day("2026-03-02")), yuan("1170"));
    QCOMPARE(balanceAt(Book, "现金", day("2026-03-09")), yuan("1670"));
    QCOMPARE(balanceAt(Book, "现金", day("2026-03-10")), yuan("1620"));
    QStringList moved;
    for (const auto &m :
         Reconciliation::movements(Book, "现金", day("2026-03-01"), day("2026-03-10")))
        moved << m.date + " " + m.kind + " " + m.name + " " + m.amount.toPlain();
    QCOMPARE(moved, QStringList({"2026-03-02 债务 王明 200", "2026-03-05 收入 工资 500",
                                 "2026-03-10 还债 王明 -50"}));
    QCOMPARE(Reconciliation::remaining(yuan("1100"), yuan("1170"), yuan("200")), yuan("130"));
}

void TestReconcile::theDifferenceIsBookedOnceAndNothingWhenTheyAgree()
{
    TestEnvironment env;
    seed(env);
    using namespace Reconciliation;
    // The bank shows 1650 at the end of 9 March; the book says 1670.
    const QVariant entry =
        record(Book, "现金", day("2026-03-09"), yuan("1650"), yuan("1670"), yuan("-20"), "对帐");
    QVERIFY(!entry.isNull());
    QCOMPARE(adjustments(), 1);
    QCOMPARE(Db::value("select ODate||' '||OMoney||' '||Remark from OutTable where OName='平帐'")
                 .toString(),
             QString("2026-03-09 200000 对帐 2026-03-09：银行余额 1,650.00，本帐余额 1,670.00"));
    QCOMPARE(balanceAt(Book, "现金", day("2026-03-09")), yuan("1650"));
    QCOMPARE(Db::balance(Book, "现金"), yuan("1600"));
    QCOMPARE(lastReconciled(Book, "现金"), day("2026-03-09"));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    // Agreed: the reconciliation is kept, no entry is booked.
    QVERIFY(record(Book, "现金", day("2026-03-10"), yuan("1600"), yuan("1600"), Money(), "对帐")
                .isNull());
    QCOMPARE(adjustments(), 1);
    QCOMPARE(lastReconciled(Book, "现金"), day("2026-03-10"));
    QVERIFY(movements(Book, "现金", lastReconciled(Book, "现金"), day("2026-03-31")).empty());
    // A reconciliation is an action of its own: undone, it no longer counts.
    History::undo(Book);
    QCOMPARE(lastReconciled(Book, "现金"), day("2026-03-09"));
    History::redo(Book);
    QCOMPARE(lastReconciled(Book, "现金"), day("2026-03-10"));
}

// A reconciliation an earlier version kept outside the history may be newer than
// the action undone: 撤销 asks before it changes what that reconciliation confirmed.
void TestReconcile::anUndoAsksBeforeChangingWhatWasReconciled()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    Db::exec("insert into Reconcile (BName, AName, RDate, Bank, Own) values (?, '现金', "
             "'2026-03-31', 0, 0)",
             {Book});
    Ledger ledger(Book);
    ledger.save(Ledger::expense(), {{"ODate", "2026-03-15"},
                                    {"OName", "食品"},
                                    {"OMoney", yuan("8").toVariant()},
                                    {"AName", "现金"}});
    ledger.commit();
    QVERIFY(History::reconciledQuestion(Book).contains("帐户“现金”已对帐到 2026-03-31"));
    MainWindow main;
    const Money before = Db::balance(Book, "现金");
    messages.answer(QMessageBox::No);
    main.findChild<QAction *>("N50")->trigger();
    QCOMPARE(Db::balance(Book, "现金"), before);
    messages.answer(QMessageBox::Yes);
    main.findChild<QAction *>("N50")->trigger();
    QCOMPARE(Db::balance(Book, "现金"), before + yuan("8"));
}

void TestReconcile::theWindowTicksOffAndBooksWhatIsLeft()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    ReconcileWindow w;
    w.show();
    Drive::choose(&w, "DBLookupComboBox1", "现金");
    Drive::setDate(&w, "DateTimePicker1", day("2026-03-10"));
    Drive::click(&w, "BitBtn1");
    QCOMPARE(messages.lastText(), QString("银行余额不能为空！请重新录入！"));
    // The bank has not seen the repayment of the 10th yet.
    Drive::setText(&w, "Edit1", "1,680");
    Drive::click(&w, "BitBtn1");
    QCOMPARE(Drive::column(&w, "DBGrid1", "勾选"), QStringList({"✓", "✓", "✓", "✓"}));
    Drive::clickRow(&w, "DBGrid1", 3);
    Drive::click(&w, "ButTick");
    QCOMPARE(Drive::column(&w, "DBGrid1", "勾选").last(), QString());
    QVERIFY(Drive::text(&w, "LabFigures").contains("需平帐 10.00"));
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButBook");
    QCOMPARE(Db::value("select IMoney from InTable where IName='平帐'").toLongLong(),
             yuan("10").units());
    QCOMPARE(Reconciliation::balanceAt(Book, "现金", day("2026-03-10")), yuan("1630"));
    QCOMPARE(Drive::column(&w, "DBGrid2", "对帐日期"), QStringList({"2026-03-10"}));
    // Refused, nothing is booked nor kept.
    Drive::setText(&w, "Edit1", "1");
    Drive::click(&w, "BitBtn1");
    messages.answer(QMessageBox::No);
    Drive::click(&w, "ButBook");
    QCOMPARE(adjustments(), 1);
    QCOMPARE(Db::count("select count(*) from Reconcile"), 1);
}

// A balance typed in 帐户管理 is a reconciliation of today: the difference goes to
// the opening balance (no income or expense) or, when the user says so, to an entry
// of the category chosen. Either is one action, undone as a whole.
void TestReconcile::aBalanceTypedInTheAccountWindowIsAReconciliation()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    AccountsWindow w;
    w.show();
    Drive::clickRow(&w, "DBGrid1", 0);
    QCOMPARE(Drive::text(&w, "DBEdit1"), QString("现金"));
    const auto opening = [] {
        return Money::fromVariant(
            Db::value("select OpenMoney from SAccount where BName=? and AName='现金'", {Book}));
    };
    const Money openedWith = opening();
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "1,600.5");
    Drive::click(&w, "ButSaveEdit"); // 期初余额调整, the question's default
    QVERIFY(
        messages.lastText().startsWith("帐户“现金”的余额从 1,620.00 改为 1,600.50，少了 19.50。"));
    QCOMPARE(Db::balance(Book, "现金"), yuan("1600.5"));
    QCOMPARE(opening(), openedWith - yuan("19.5"));
    QCOMPARE(adjustments(), 0);
    QCOMPARE(Db::count("select count(*) from OutTable"), 1);
    QCOMPARE(Reconciliation::lastReconciled(Book, "现金"), QDate::currentDate());
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());

    // Bank fees: an expense of the category chosen.
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "1,590.5");
    messages.answer(QMessageBox::No);
    Drive::whenModal([](QWidget *dialog) {
        Drive::choose(dialog, "DBLookupComboBox1", "银行手续费");
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Db::value("select ODate||' '||OMoney||' '||Remark from OutTable where "
                       "OName='银行手续费'")
                 .toString(),
             QString("%1 100000 帐户管理修改余额：1,600.50 改为 1,590.50").arg(today()));
    QCOMPARE(opening(), openedWith - yuan("19.5"));
    QCOMPARE(History::undoable(Book)->description, QString("修改帐户 现金 等 3 项"));
    // Cancelled, nothing is written and the edit stays open.
    Drive::setText(&w, "DBEdit3", "");
    Drive::click(&w, "ButMed");
    Drive::setText(&w, "DBEdit2", "1");
    messages.answer(QMessageBox::Cancel);
    Drive::click(&w, "ButSaveEdit");
    QCOMPARE(Db::balance(Book, "现金"), yuan("1590.5"));
    QCOMPARE(w.mode(), MaintenanceWindow::Mode::Edit);
    Drive::click(&w, "ButCan");
    // Undone, the entry and the opening balance's change go with their reconciliations.
    History::undo(Book);
    History::undo(Book);
    QCOMPARE(Db::count("select count(*) from OutTable"), 1);
    QCOMPARE(opening(), openedWith);
    QCOMPARE(Db::balance(Book, "现金"), yuan("1620"));
    QVERIFY(!Reconciliation::lastReconciled(Book, "现金").isValid());
}

QTEST_MAIN(TestReconcile)
#include "tst_reconcile.moc"
