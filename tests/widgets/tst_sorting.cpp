#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "reports/DetailQueries.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/ListModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <algorithm>

// Sorting a list by a column never holds up the window: by amount from an index,
// by other columns aside on another thread while the grid says so.
class TestSorting : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void anAmountSortReadsTheIndex();
    void aSlowSortIsDoneAsideWhileTheGridSaysSo();
    void anOlderFileGetsTheAmountIndexes();

private:
    std::unique_ptr<TestEnvironment> env;
};

namespace {

const QStringList Categories{"工资", "奖金", "利息", "红包"};

// Runs 查询 of the income query over every date, sorted as given.
void querySorted(QWidget *w, const QString &field, const QString &direction)
{
    Drive::find<QCheckBox>(w, "CheckBox1")->setChecked(false);
    Drive::choose(w, "ComboBox1", field);
    Drive::choose(w, "ComboBox2", direction);
    Drive::click(w, "BitBtn1");
}

} // namespace

void TestSorting::init()
{
    env = std::make_unique<TestEnvironment>();
    Db::insertBook("家");
    env->dm()->setCurrentBook("家");
    // 250 incomes: more than two pages of the grid.
    Seed seed("家");
    for (int i = 0; i < 250; ++i)
        seed.income(QDate(2026, 1, 1).addDays(i).toString(Qt::ISODate), Categories[i * 7 % 4],
                    Money::fromUnits((i * 37 % 250) * 10000), "现金");
    seed.commit();
}

void TestSorting::cleanup()
{
    ListModel::setStepBudget(0);
    env.reset();
}

void TestSorting::anAmountSortReadsTheIndex()
{
    IncomeQueryWindow w;
    SqlRecording::start();
    querySorted(&w, "金额", "降序");
    const QList<SqlRecording::Statement> statements = SqlRecording::stop();
    const auto page = std::find_if(statements.begin(), statements.end(), [](const auto &s) {
        return s.text.contains("order by \"金额\" desc");
    });
    QVERIFY(page != statements.end());
    QStringList plan;
    for (QSqlQuery q = Sql("EXPLAIN QUERY PLAN " + page->text, page->values).exec(); q.next();)
        plan << q.value(3).toString();
    QVERIFY2(plan.join('\n').contains("idx_InTable_book_money"), qPrintable(plan.join('\n')));
    QVERIFY2(!plan.join('\n').contains("TEMP B-TREE"), qPrintable(plan.join('\n')));
    QCOMPARE(Drive::column(&w, "DBGrid1", "金额").first(), "249.00");
}

void TestSorting::aSlowSortIsDoneAsideWhileTheGridSaysSo()
{
    // The order the database gives, read at once.
    QStringList expected;
    for (QSqlQuery q = Sql("select IName from InTable order by IName desc, ID desc").exec();
         q.next();)
        expected << q.value(0).toString();

    // A budget that no sort fits: every sorted list is sorted aside.
    ListModel::setStepBudget(1);
    IncomeQueryWindow w;
    w.show();
    querySorted(&w, "收入类别", "降序");
    auto *model = static_cast<ListModel *>(Drive::find<QTableView>(&w, "DBGrid1")->model());
    QVERIFY(model->isSorting());
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(Drive::find<QLabel>(&w, "SortingNote")->isVisible());

    QTRY_VERIFY(!model->isSorting());
    QVERIFY(!Drive::find<QLabel>(&w, "SortingNote")->isVisible());
    QCOMPARE(Drive::currentRow(&w, "DBGrid1"), 0);
    // Every page is read by its keys, in the sorted order.
    QCOMPARE(Drive::column(&w, "DBGrid1", "收入类别"), expected);

    // Sorting again while a sort runs: only the last one is shown.
    querySorted(&w, "收入类别", "升序");
    querySorted(&w, "金额", "升序");
    QTRY_VERIFY(!model->isSorting());
    QCOMPARE(Drive::column(&w, "DBGrid1", "金额").mid(0, 2), QStringList({"0.00", "1.00"}));
}

void TestSorting::anOlderFileGetsTheAmountIndexes()
{
    const auto indexes = [] {
        return Db::count("select count(*) from sqlite_master where name like 'idx_%_book_money'");
    };
    QCOMPARE(indexes(), 2);
    // A file of the layout before them, opened again.
    Db::exec("DROP INDEX idx_InTable_book_money");
    Db::exec("DROP INDEX idx_OutTable_book_money");
    Db::exec("PRAGMA user_version = 2");
    QVERIFY(env->dm()->reopen());
    QCOMPARE(indexes(), 2);
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QCOMPARE(Db::count("select count(*) from InTable"), 250);
}

QTEST_MAIN(TestSorting)
#include "tst_sorting.moc"
