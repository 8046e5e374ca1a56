#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/QuickFilterDialog.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <memory>

// What the three entry windows share: their quick filter, and how the main
// window opens them.
class TestEntryWindows : public QObject
{
    Q_OBJECT
private slots:
    void defaultFilterListsTheLastMonth_data();
    void defaultFilterListsTheLastMonth();
    void filterSurvivesASaveAndANewWindowStartsUnfiltered();
    void openFromMenuAndSideBarEachWithItsOwnFilter();
    void aSaveNamingAnAccountGoneMeanwhileIsRefused();
    void amountsAndBalancesStayExactIntegers();
};

namespace {

QString iso(const QDate &d)
{
    return d.toString("yyyy-MM-dd");
}

void seedBook(TestEnvironment &env)
{
    BookStore::createBook("家");
    env.dm()->setCurrentBook("家");
}

std::unique_ptr<QWidget> openWindow(const QString &className)
{
    auto w = std::unique_ptr<QWidget>(WindowCatalog::find(className)->create(nullptr));
    w->show();
    return w;
}

// Presses 查询（&Q） and then, in the dialog, the button named; `fill` sets the dialog first.
void query(
    QWidget *w, const char *button = "BitBtn1",
    std::function<void(QWidget *)> fill = [](QWidget *) {})
{
    Drive::whenModal([=](QWidget *dialog) {
        fill(dialog);
        Drive::click(dialog, button);
    });
    Drive::click(w, "ButQuery");
}

void saveIncome(QWidget *w, const QString &category, const QString &amount)
{
    Drive::click(w, "ButNew");
    Drive::choose(w, "DBLookupComboBox1", category);
    Drive::setText(w, "DBEdit3", amount);
    Drive::choose(w, "DBLookupComboBox2", "现金");
    Drive::click(w, "ButSave");
}

} // namespace

void TestEntryWindows::defaultFilterListsTheLastMonth_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("table"); // of the entries the window lists
    QTest::addColumn<QString>("name");  // each entry's category or other side
    QTest::addColumn<QString>("dateTitle");
    QTest::newRow("income") << "TfrmInTable"
                            << "InTable"
                            << "工资"
                            << "日期";
    QTest::newRow("expense") << "TfrmOutTable"
                             << "OutTable"
                             << "食品"
                             << "日期";
    QTest::newRow("transfer") << "TfrmChangeT"
                              << "ChangeT"
                              << "支付宝"
                              << "转帐日期";
    QTest::newRow("debt") << "TfrmBorrow"
                          << "Borrow"
                          << "老王"
                          << "日期";
    QTest::newRow("credit") << "TfrmDebt"
                            << "Debt"
                            << "老王"
                            << "日期";
    QTest::newRow("investment") << "TfrmTZ"
                                << "TTable"
                                << "股票"
                                << "日期";
}

void TestEntryWindows::defaultFilterListsTheLastMonth()
{
    QFETCH(QString, window);
    QFETCH(QString, table);
    QFETCH(QString, name);
    QFETCH(QString, dateTitle);
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    const QDate today = QDate::currentDate();
    const QDate from = QuickFilterDialog::monthBefore(today);
    Seed seed("家");
    for (const QDate &d : {from.addDays(-1), from, today, today.addDays(1)})
        seed.entry(*Ledger::entryKind(table), iso(d), name, Money::fromUnits(1), "现金");
    seed.commit();
    auto w = openWindow(window);
    QCOMPARE(Drive::column(w.get(), "DBGrid1", dateTitle).size(), 4);

    QString dialogName;
    QObject *dialogParent = nullptr;
    query(w.get(), "BitBtn1", [&](QWidget *dialog) {
        dialogName = dialog->objectName();
        dialogParent = dialog->parent();
    });
    QCOMPARE(dialogName, window + "_Q");
    QCOMPARE(dialogParent, w.get());
    QCOMPARE(Drive::column(w.get(), "DBGrid1", dateTitle), QStringList({iso(today), iso(from)}));
    QVERIFY(messages.messages.isEmpty());
}

void TestEntryWindows::filterSurvivesASaveAndANewWindowStartsUnfiltered()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto w = openWindow("TfrmInTable");
    saveIncome(w.get(), "工资", "1");
    saveIncome(w.get(), "奖金", "2");
    query(w.get(), "BitBtn1",
          [](QWidget *dialog) { Drive::choose(dialog, "DBLookupComboBox1", "工资"); });
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "收入类别"), QStringList({"工资"}));

    saveIncome(w.get(), "奖金", "4"); // saved, but not of the filter
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "收入类别"), QStringList({"工资"}));
    saveIncome(w.get(), "工资", "8");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "金额"), QStringList({"8.00", "1.00"}));
    QCOMPARE(Db::balance("家", "现金"), *Money::parse("15"));
    query(w.get(), "BitBtn2"); // 退出 keeps the filter
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "金额"), QStringList({"8.00", "1.00"}));

    auto fresh = openWindow("TfrmInTable");
    QCOMPARE(Drive::column(fresh.get(), "DBGrid1", "金额"),
             QStringList({"8.00", "4.00", "2.00", "1.00"}));
    QVERIFY(messages.messages.isEmpty());
}

void TestEntryWindows::openFromMenuAndSideBarEachWithItsOwnFilter()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Seed seed("家");
    seed.income("2020-01-01", "工资", yuan("1"), "支付宝");
    seed.income("2020-01-02", "奖金", yuan("2"), "支付宝");
    seed.commit();
    auto main = std::make_unique<MainWindow>();
    main->show();
    QMdiArea *area = main->mdiArea();
    for (const char *item : {"N11", "O2", "A1", "N21", "N22", "N33", "Side_N11", "Side_O2",
                             "Side_A1", "Side_N21", "Side_N22", "Side_N33"}) {
        if (auto *action = main->findChild<QAction *>(item))
            action->trigger();
        else
            Drive::click(main.get(), item);
        QVERIFY(area->subWindowList().last()->isMaximized());
    }
    QStringList opened;
    for (QMdiSubWindow *sub : area->subWindowList())
        opened << sub->widget()->objectName();
    const QStringList kinds = {"TfrmInTable", "TfrmOutTable", "TfrmChangeT",
                               "TfrmBorrow",  "TfrmDebt",     "TfrmTZ"};
    QCOMPARE(opened, kinds + kinds);

    // Each income window keeps its own filter.
    QWidget *first = area->subWindowList().at(0)->widget();
    QWidget *second = area->subWindowList().at(kinds.size())->widget();
    query(first, "BitBtn1", [](QWidget *dialog) {
        Drive::click(dialog, "CheckBox1"); // no date range
        Drive::choose(dialog, "DBLookupComboBox1", "奖金");
    });
    QCOMPARE(Drive::column(first, "DBGrid1", "收入类别"), QStringList({"奖金"}));
    QCOMPARE(Drive::column(second, "DBGrid1", "收入类别"), QStringList({"奖金", "工资"}));

    // The summary panel shows a save at once, and still after the window closes.
    saveIncome(second, "工资", "100");
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("100.00"));
    Drive::click(second, "ButExi");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(area->subWindowList().size(), 2 * kinds.size() - 1);
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("100.00"));
    QVERIFY(messages.messages.isEmpty());
    main->closeAllChildren();
}

// An entry pending in one window while another renames or deletes the account it
// names is refused on save, naming the account, and nothing is written.
void TestEntryWindows::aSaveNamingAnAccountGoneMeanwhileIsRefused()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto expense = openWindow("TfrmOutTable");
    auto accounts = openWindow("TfrmA_Manage");
    Drive::click(expense.get(), "ButNew");
    Drive::choose(expense.get(), "DBLookupComboBox1", "食品");
    Drive::setText(expense.get(), "DBEdit3", "100");
    Drive::choose(expense.get(), "DBLookupComboBox2", "中行长城卡");
    Drive::click(expense.get(), "ButSave");
    Drive::click(expense.get(), "ButMed");
    Drive::setText(expense.get(), "DBEdit3", "150");

    Drive::clickRow(accounts.get(), "DBGrid1", 1);
    Drive::click(accounts.get(), "ButMed");
    Drive::setText(accounts.get(), "DBEdit1", "工资卡");
    Drive::click(accounts.get(), "ButSaveEdit");
    Drive::click(expense.get(), "ButSaveEdit");
    const QString gone =
        "帐户“%1”已不存在（可能已在其他窗口中改名或删除），不能保存！请重新选择帐户。";
    QCOMPARE(messages.lastText(), gone.arg("中行长城卡"));
    QCOMPARE(Db::value("select OMoney||AName from OutTable").toString(), QString("1000000工资卡"));
    QCOMPARE(Db::balance("家", "工资卡"), -*Money::parse("100"));
    Drive::click(expense.get(), "ButCan");

    Drive::click(expense.get(), "ButNew");
    Drive::choose(expense.get(), "DBLookupComboBox2", "招行一卡通");
    Drive::setText(expense.get(), "DBEdit3", "20");
    Drive::clickRow(accounts.get(), "DBGrid1", 6);
    messages.answer(QMessageBox::Yes);
    Drive::click(accounts.get(), "ButDel");
    Drive::click(expense.get(), "ButSave");
    QCOMPARE(messages.lastText(), gone.arg("招行一卡通"));
    QCOMPARE(Db::count("select count(*) from OutTable"), 1);
    Drive::click(expense.get(), "ButCan");
}

// Amounts have at most twelve integer digits; a save that would take a balance
// past the exact range is refused; balances are stored as integers; a file that
// cannot be written is said in Chinese, and nothing is kept.
void TestEntryWindows::amountsAndBalancesStayExactIntegers()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    auto income = openWindow("TfrmInTable");
    saveIncome(income.get(), "工资", "99,999,999,999,999");
    QCOMPARE(messages.lastText(), QString("金额最多只能有 12 位整数！请重新录入！"));
    Drive::click(income.get(), "ButCan");

    const Money nearTheTop = Money::fromUnits(Ledger::MaxBalanceUnits) - *Money::parse("1");
    Seed seed("家");
    seed.account("现金", nearTheTop);
    seed.commit();
    saveIncome(income.get(), "工资", "999,999,999,999");
    QCOMPARE(messages.lastText(), QString("帐户“现金”的余额将超出能精确记帐的范围（最大 "
                                          "100,000,000,000,000.00），不能保存！"));
    Drive::click(income.get(), "ButCan");
    saveIncome(income.get(), "工资", "1");
    QCOMPARE(Db::balance("家", "现金"), Money::fromUnits(Ledger::MaxBalanceUnits));
    QCOMPARE(Db::value("select typeof(AMoney) from SAccount where AName='现金'").toString(),
             QString("integer"));

    Db::exec("PRAGMA query_only = 1");
    saveIncome(income.get(), "工资", "5");
    QVERIFY2(messages.lastText().startsWith("数据没有保存：数据文件是只读的"),
             qPrintable(messages.lastText()));
    Db::exec("PRAGMA query_only = 0");
    QCOMPARE(Db::count("select count(*) from InTable"), 1);
}

QTEST_MAIN(TestEntryWindows)
#include "tst_entrywindows.moc"
