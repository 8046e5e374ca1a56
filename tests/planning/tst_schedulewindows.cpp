#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Recurring.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QStatusBar>
#include <QTest>
#include <memory>

// The 周期记帐 window, the list of what is due, a row made recurring and the
// posts made when a book is opened, driven as a user would.
class TestScheduleWindows : public QObject
{
    Q_OBJECT
private slots:
    void aScheduleStartedInThePastOffersWhatIsMissed();
    void dueOccurrencesArePostedChangedOrSkipped();
    void anEntryIsMadeRecurringFromItsRow();
    void openingTheBookPostsAndListsWhatIsDue();
};

namespace {

const QString Book = "家";

void seed(TestEnvironment &env)
{
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
}

std::unique_ptr<QWidget> open(const char *className)
{
    auto w = std::unique_ptr<QWidget>(WindowCatalog::find(className)->create(nullptr));
    w->show();
    return w;
}

// A new monthly expense of the amount, from `start`, saved in the window.
void saveSchedule(QWidget *w, const QDate &start, const QString &amount)
{
    Drive::click(w, "ButNew");
    Drive::choose(w, "DBLookupComboBox1", "房租");
    Drive::choose(w, "DBLookupComboBox2", "现金");
    Drive::setText(w, "DBEdit4", amount);
    Drive::setDate(w, "DateTimePicker1", start);
    Drive::click(w, "ButSave");
}

int expenses()
{
    return Db::count("select count(*) from OutTable where BName=?", {Book});
}

} // namespace

void TestScheduleWindows::aScheduleStartedInThePastOffersWhatIsMissed()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    auto w = open("TfrmSchedule");
    const QDate today = QDate::currentDate();
    messages.answer(QMessageBox::Yes);
    saveSchedule(w.get(), today.addMonths(-2), "3000");
    QVERIFY(messages.lastText().startsWith(
        QString("开始日期在今天之前：从 %1 到 %2 已有 2 次到期。")
            .arg(isoDate(today.addMonths(-2)), isoDate(today.addMonths(-1)))));
    // Today's occurrence is no missed one: it waits in 待记帐.
    QCOMPARE(expenses(), 2);
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "周期"), QStringList({"每 1 月"}));
    // Refused, the missed ones are skipped and not offered again; today's stays due.
    messages.answer(QMessageBox::No);
    saveSchedule(w.get(), today.addMonths(-1), "50");
    QCOMPARE(expenses(), 2);
    QCOMPARE(Db::count("select count(*) from SchedulePost where EID is null"), 1);
    QCOMPARE(Recurring::due(Book, today).size(), std::size_t(2));
    // Starting today, nothing was missed and nothing is asked.
    messages.clear();
    saveSchedule(w.get(), today, "20");
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(Recurring::due(Book, today).size(), std::size_t(3));
    // Missed estimates are booked only with their amounts confirmed, one by one; one
    // not confirmed stays due.
    Drive::click(w.get(), "ButNew");
    Drive::choose(w.get(), "DBLookupComboBox1", "电费");
    Drive::choose(w.get(), "DBLookupComboBox2", "现金");
    Drive::setText(w.get(), "DBEdit4", "100");
    Drive::setDate(w.get(), "DateTimePicker1", today.addMonths(-2));
    Drive::choose(w.get(), "ComboBox7", Recurring::Text::amountModes().at(1));
    messages.answer(QMessageBox::Yes);
    int confirmations = 0;
    std::function<void(QWidget *)> confirm = [&](QWidget *dialog) {
        if (++confirmations > 1) {
            Drive::click(dialog, "BitBtn2");
            return;
        }
        Drive::whenModal(confirm); // the next occurrence's
        Drive::setText(dialog, "Edit1", "88.8");
        Drive::click(dialog, "BitBtn1");
    };
    Drive::whenModal(confirm);
    Drive::click(w.get(), "ButSave");
    QCOMPARE(confirmations, 2);
    QCOMPARE(Money::fromVariant(Db::value("select OMoney from OutTable where OName='电费'")),
             yuan("88.8"));
    QCOMPARE(Recurring::due(Book, today).size(), std::size_t(5));
    // Checks before anything is written.
    Drive::click(w.get(), "ButNew");
    Drive::choose(w.get(), "ComboBox1", "转帐");
    Drive::choose(w.get(), "DBLookupComboBox1", "现金");
    Drive::choose(w.get(), "DBLookupComboBox2", "现金");
    Drive::setText(w.get(), "DBEdit4", "10");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("转出帐户和转入帐户不能相同！"));
    Drive::choose(w.get(), "DBLookupComboBox1", "支付宝");
    Drive::choose(w.get(), "ComboBox5", "重复次数");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(messages.lastText(), QString("重复次数必须是大于零的整数！"));
    QCOMPARE(Db::count("select count(*) from Schedule"), 4);
    Drive::setText(w.get(), "DBEdit13", "12");
    Drive::click(w.get(), "ButSave");
    QCOMPARE(
        Db::value("select NewN||'/'||AName||'/'||Times from Schedule where Kind='转帐'").toString(),
        QString("支付宝/现金/12"));
}

void TestScheduleWindows::dueOccurrencesArePostedChangedOrSkipped()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    {
        // A daily estimate from three days ago, its missed days skipped, then
        // offered again as if never posted.
        auto schedules = open("TfrmSchedule");
        Drive::click(schedules.get(), "ButNew");
        Drive::choose(schedules.get(), "DBLookupComboBox1", "水费");
        Drive::choose(schedules.get(), "DBLookupComboBox2", "现金");
        Drive::setText(schedules.get(), "DBEdit4", "80");
        Drive::choose(schedules.get(), "ComboBox7", Recurring::Text::amountModes().at(1));
        Drive::setDate(schedules.get(), "DateTimePicker1", QDate::currentDate().addDays(-3));
        Drive::choose(schedules.get(), "ComboBox3", "天");
        messages.answer(QMessageBox::No);
        Drive::click(schedules.get(), "ButSave");
    }
    Db::exec("delete from SchedulePost");
    auto w = open("TfrmDue");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "日期").size(), 4);
    Drive::click(w.get(), "ButSkip");
    // An estimate is posted with the amount confirmed.
    Drive::whenModal([](QWidget *dialog) {
        Drive::setText(dialog, "Edit1", "91.5");
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(w.get(), "ButPost");
    QCOMPARE(Money::fromVariant(Db::value("select OMoney from OutTable")), *Money::parse("91.5"));
    Drive::click(w.get(), "ButPostAll");
    QCOMPARE(messages.lastText().left(9), QString("还有 2 笔是估计"));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "日期").size(), 2);
    QCOMPARE(expenses(), 1);
}

void TestScheduleWindows::anEntryIsMadeRecurringFromItsRow()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    auto expense = open("TfrmOutTable");
    Drive::click(expense.get(), "ButNew");
    Drive::setDate(expense.get(), "DateTimePicker1", QDate::currentDate());
    Drive::choose(expense.get(), "DBLookupComboBox1", "房租");
    Drive::setText(expense.get(), "DBEdit3", "2500");
    Drive::choose(expense.get(), "DBLookupComboBox2", "支付宝");
    Drive::setText(expense.get(), "DBEdit6", "六月房租");
    Drive::click(expense.get(), "ButSave");
    Drive::trigger(expense.get(), "Z1");
    QWidget *schedule = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == "TfrmSchedule")
            schedule = top;
    QVERIFY(schedule);
    Drive::click(schedule, "ButSave");
    QCOMPARE(Db::value("select OName||'/'||AName||'/'||SMoney||'/'||Remark||'/'||SDate from "
                       "Schedule")
                 .toString(),
             QString("房租/支付宝/25000000/六月房租/%1")
                 .arg(isoDate(QDate::currentDate().addMonths(1))));
    QCOMPARE(expenses(), 1);
    schedule->close();
}

void TestScheduleWindows::openingTheBookPostsAndListsWhatIsDue()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    const QString yesterday = isoDate(QDate::currentDate().addDays(-1));
    for (const QString &mode : Recurring::Text::postingModes())
        Db::exec("insert into Schedule (BName,Kind,OName,AName,SMoney,SDate,Every,Unit,Ending,"
                 "Weekend,AmountMode,PostMode) values (?,'支出','房租','现金',10000,?,1,'月',"
                 "'一直重复','不调整','固定金额',?)",
                 {Book, yesterday, mode});
    MainWindow main;
    main.show();
    Drive::openBook(&main, Book);
    QCOMPARE(expenses(), 1);
    QCOMPARE(Drive::children(&main).size(), 1);
    QCOMPARE(Drive::children(&main).first()->objectName(), QString("TfrmDue"));
    QVERIFY(main.statusBar()->currentMessage().contains("已自动记帐 1 笔周期记帐"));
    main.closeAllChildren();
    // The home page lists what is left to post, and leads to the list.
    SummaryPanel *panel = main.summaryPanel();
    QVERIFY(!panel->findChild<QWidget *>("GroupDue")->isHidden());
    QCOMPARE(panel->figureText("LabDue0"), QString("1.00"));
    QVERIFY(panel->figureText("LabDue1").isEmpty());
    Drive::click(panel, "ButDue");
    QCOMPARE(Drive::children(&main).first()->objectName(), QString("TfrmDue"));
    main.closeAllChildren();
}

QTEST_MAIN(TestScheduleWindows)
#include "tst_schedulewindows.moc"
