#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "entries/EntryFilters.h"
#include "entries/IncomeExpense.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

namespace {
// Stands in for an entry window: keeps the filter it was given.
struct RecordingTarget : FilterTarget
{
    void applyFilter(const Condition &filter) override
    {
        received = filter;
        ++calls;
    }
    Condition received;
    int calls = 0;
};

QString iso(const QDate &d)
{
    return d.toString("yyyy-MM-dd");
}
// Filters the window by a remark alone through its quick filter, and waits for
// the totals.
void filterByRemark(QWidget *window, const QString &remark)
{
    Drive::whenModal([remark](QWidget *dialog) {
        Drive::find<QCheckBox>(dialog, "CheckBox1")->setChecked(false);
        Drive::setText(dialog, "Edit1", remark);
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(window, "ButQuery");
    Background::waitForIdle();
}

// Three expenses of 家, one of them a refund: 1,470.00 in all.
void seedExpenses(TestEnvironment &env)
{
    env.dm()->setCurrentBook("家");
    Seed seed("家");
    for (const auto &[remark, amount] :
         {std::pair{"房租", "1000"}, {"房租", "500"}, {"退款", "-30"}})
        seed.expense("2026-01-05", "餐饮", yuan(amount), "现金", "", remark);
    seed.commit();
}
} // namespace

class TestQuickFilter : public QObject
{
    Q_OBJECT
private slots:
    void monthBeforeClampsToShorterMonths();
    void defaultsFilterTheLastMonth();
    void buildsTheConditionInOrderWithBoundValues();
    void choosingInAListTicksItsBox();
    void exitChangesNothing();
    void theConditionSelectsTheRightRows();
    void remarkFindsPercentAndUnderscoreLiterally();
    void aDatabaseErrorWhileOpeningIsShownAndSurvived();
    void theTotalsRowSumsTheFilteredRows();
    void anEmptyListSaysSoAndCannotBeEdited();
};

void TestQuickFilter::monthBeforeClampsToShorterMonths()
{
    QCOMPARE(QuickFilterDialog::monthBefore(QDate(2026, 3, 31)), QDate(2026, 2, 28));
    QCOMPARE(QuickFilterDialog::monthBefore(QDate(2024, 3, 30)), QDate(2024, 2, 29));
    QCOMPARE(QuickFilterDialog::monthBefore(QDate(2026, 1, 15)), QDate(2025, 12, 15));
    QCOMPARE(QuickFilterDialog::monthBefore(QDate(2026, 7, 31)), QDate(2026, 6, 30));
}

void TestQuickFilter::defaultsFilterTheLastMonth()
{
    TestEnvironment env;
    RecordingTarget target;
    IncomeFilterDialog dialog(&target);
    QCOMPARE(dialog.windowTitle(), QString("收入查询"));
    QVERIFY(Drive::find<QCheckBox>(&dialog, "CheckBox1")->isChecked());
    QCOMPARE(Drive::text(&dialog, "CheckBox1"), QString("收入日期"));
    Drive::click(&dialog, "BitBtn1");
    QCOMPARE(target.calls, 1);
    const QDate today = QDate::currentDate();
    QCOMPARE(target.received.text(), QString(" and IDate Between ? and ?"));
    QCOMPARE(target.received.values(),
             QVariantList({iso(QuickFilterDialog::monthBefore(today)), iso(today)}));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestQuickFilter::buildsTheConditionInOrderWithBoundValues()
{
    TestEnvironment env;
    Seed seed("家");
    seed.account("现金");
    seed.commit();
    Db::exec("insert into OutD (OName, BName) values ('餐饮', '家')");
    Db::exec("insert into SFamily (FName) values ('妈妈')");
    env.dm()->setCurrentBook("家");
    RecordingTarget target;
    ExpenseFilterDialog dialog(&target);
    Drive::find<QCheckBox>(&dialog, "CheckBox1")->setChecked(false);
    Drive::find<QCheckBox>(&dialog, "CheckBox5")->setChecked(true);
    Drive::setText(&dialog, "Edit1", "O'Neil 的");
    Drive::choose(&dialog, "DBLookupComboBox3", "妈妈");
    Drive::choose(&dialog, "DBLookupComboBox1", "餐饮");
    Drive::click(&dialog, "BitBtn1");
    QCOMPARE(target.received.text(),
             QString(" and OName=? and FName=? and Remark like ? escape '\\'"));
    QCOMPARE(target.received.values(), QVariantList({"餐饮", "妈妈", "%O'Neil 的%"}));
}

void TestQuickFilter::choosingInAListTicksItsBox()
{
    TestEnvironment env;
    Db::exec("insert into SFamily (FName) values ('爸爸')");
    RecordingTarget target;
    TransferFilterDialog dialog(&target);
    auto *box = Drive::find<QCheckBox>(&dialog, "CheckBox2");
    QCOMPARE(box->text(), QString("家庭成员"));
    QVERIFY(!box->isChecked());
    Drive::choose(&dialog, "DBLookupComboBox1", "爸爸");
    QVERIFY(box->isChecked());
}

void TestQuickFilter::exitChangesNothing()
{
    TestEnvironment env;
    RecordingTarget target;
    TransferFilterDialog dialog(&target);
    Drive::click(&dialog, "BitBtn2");
    QCOMPARE(target.calls, 0);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestQuickFilter::theConditionSelectsTheRightRows()
{
    TestEnvironment env;
    const QDate today = QDate::currentDate();
    const QDate from = QuickFilterDialog::monthBefore(today);
    Seed seed("家");
    for (const QDate &d : {from.addDays(-1), from, today, today.addDays(1)})
        seed.income(iso(d), "工资", Money::fromUnits(1), "现金");
    seed.commit();
    env.dm()->setCurrentBook("家");
    RecordingTarget target;
    IncomeFilterDialog dialog(&target);
    Drive::click(&dialog, "BitBtn1");
    Sql list("select IDate from InTable  where BName=?", {"家"});
    list += target.received;
    list.add(" order by IDate Desc");
    QSqlQuery q = list.exec();
    QStringList dates;
    while (q.next())
        dates << q.value(0).toString();
    QCOMPARE(dates, QStringList({iso(today), iso(from)}));
}

void TestQuickFilter::remarkFindsPercentAndUnderscoreLiterally()
{
    TestEnvironment env;
    env.dm()->setCurrentBook("家");
    Seed seed("家");
    for (const char *remark : {"打折50%", "500克", "a_b", "axb"})
        seed.expense(iso(QDate::currentDate()), "餐饮", yuan("1"), "现金", "", remark);
    seed.commit();
    ExpenseWindow expense;
    expense.show();
    const auto search = [&expense](const QString &text) {
        Drive::whenModal([text](QWidget *dialog) {
            Drive::setText(dialog, "Edit1", text);
            Drive::click(dialog, "BitBtn1");
        });
        Drive::click(&expense, "ButQuery");
        return Drive::column(&expense, "DBGrid1", "备注");
    };
    QCOMPARE(search("50%"), QStringList{"打折50%"});
    QCOMPARE(search("a_b"), QStringList{"a_b"});
}

void TestQuickFilter::aDatabaseErrorWhileOpeningIsShownAndSurvived()
{
    TestEnvironment env;
    MessageRecorder messages;
    Seed seed("家");
    seed.account("现金");
    seed.commit();
    env.dm()->setCurrentBook("家");
    IncomeWindow income;
    income.show();
    const QStringList before = Db::dump();
    // The member list cannot be read while its table is away.
    Db::exec("alter table SFamily rename to SFamilyAway");
    QString opened;
    Drive::whenModal([&](QWidget *dialog) {
        opened = dialog->objectName();
        Drive::click(dialog, "BitBtn2");
    });
    Drive::click(&income, "ButQuery");
    Db::exec("alter table SFamilyAway rename to SFamily");

    QCOMPARE(opened, QString("TfrmInTable_Q"));
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(messages.messages.first().icon, QMessageBox::Critical);
    QVERIFY(messages.lastText().contains("SFamily"));
    QCOMPARE(Db::dump(), before);
    QCOMPARE(income.mode(), MaintenanceWindow::Mode::Browse);
}

void TestQuickFilter::theTotalsRowSumsTheFilteredRows()
{
    TestEnvironment env;
    seedExpenses(env);
    ExpenseWindow expense;
    expense.show();
    Background::waitForIdle();
    QCOMPARE(Drive::totals(&expense, "DBGrid1"), QString("合计 3 笔"));
    QCOMPARE(Drive::totals(&expense, "DBGrid1", "金额"), QString("1,470.00"));
    filterByRemark(&expense, "房租");
    QCOMPARE(Drive::totals(&expense, "DBGrid1"), QString("合计 2 笔"));
    QCOMPARE(Drive::totals(&expense, "DBGrid1", "金额"), QString("1,500.00"));
    filterByRemark(&expense, "退款");
    QCOMPARE(Drive::totals(&expense, "DBGrid1", "金额"), QString("-30.00"));
}

void TestQuickFilter::anEmptyListSaysSoAndCannotBeEdited()
{
    TestEnvironment env;
    seedExpenses(env);
    ExpenseWindow expense;
    expense.show();
    auto *empty = Drive::find<QLabel>(&expense, "EmptyNote");
    QVERIFY(!empty->isVisible());
    QVERIFY(Drive::find<QPushButton>(&expense, "ButMed")->isEnabled());
    filterByRemark(&expense, "没有这一笔");
    QVERIFY(empty->isVisible());
    QCOMPARE(empty->text(), QString("没有符合条件的记录"));
    QCOMPARE(Drive::totals(&expense, "DBGrid1"), QString("合计 0 笔"));
    QVERIFY(!Drive::find<QPushButton>(&expense, "ButMed")->isEnabled());
    QVERIFY(!Drive::find<QPushButton>(&expense, "ButDel")->isEnabled());
    QVERIFY(Drive::find<QPushButton>(&expense, "ButNew")->isEnabled());
    filterByRemark(&expense, "房租");
    QVERIFY(!empty->isVisible());
    QVERIFY(Drive::find<QPushButton>(&expense, "ButDel")->isEnabled());
}

QTEST_MAIN(TestQuickFilter)
#include "tst_quickfilter.moc"
