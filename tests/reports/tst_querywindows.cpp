#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "reports/DetailQueries.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "support/Workbook.h"
#include "widgets/ReportPreview.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

class TestQueryWindows : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startsWithDefaultsAndTicksOnChoice();
    void conditionsFilterSortAndTotal();
    void totalsFollowTheGridAndTheNewestQueryWins();
    void remarkFindsQuotesAndPercentLiterally();
    void transfersAreNewestFirst();
    void followUpRecordsOfTheClickedRow();
    void twoInstancesKeepTheirOwnConditions();
    void exportWritesTheResultShown();
    void printReadsTheLastConditionsAtPrintTime();
};

namespace {

std::unique_ptr<TestEnvironment> env;
const QString Today = QDate::currentDate().toString(Qt::ISODate);

// Runs 查询 and lets the count and totals follow.
void query(QWidget *w)
{
    Drive::click(w, "BitBtn1");
    Background::waitForIdle();
    QVERIFY(Drive::find<QPushButton>(w, "BitBtn2")->isEnabled());
}

void untickDates(QWidget *w)
{
    Drive::find<QCheckBox>(w, "CheckBox1")->setChecked(false);
}

// Keeps the rows a report would print instead of showing a preview.
struct PrintRecorder
{
    QString title;
    QList<QVariantList> rows;
    int shown = 0;
    PrintRecorder()
    {
        Report::setPresenter([this](QWidget *, const Report::Document &document) {
            ++shown;
            title = document.layout().title;
            rows.clear();
            const RowSource all = document.rows();
            for (QVariantList row; all(row);)
                rows << row;
        });
    }
    ~PrintRecorder() { Report::setPresenter({}); }
};

} // namespace

void TestQueryWindows::init()
{
    env = std::make_unique<TestEnvironment>();
    Db::insertBook("家");
    Db::insertBook("别家");
    env->dm()->setCurrentBook("家");
    for (const char *c : {"工资", "奖金"})
        Db::exec("insert into InD (IName, thePY, BName, Remark) values (?, '', '家', '')", {c});
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈妈')");
    Seed seed("家");
    for (const char *a : {"现金", "工资卡"})
        seed.account(a);
    seed.income("2026-03-01", "工资", yuan("8000"), "工资卡", "爸爸", "三月");
    seed.income("2026-03-15", "奖金", yuan("500"), "现金", "妈妈", "it's 100% 奖金");
    seed.income("2026-03-31", "工资", yuan("8000"), "工资卡", "妈妈", "100 奖金");
    seed.commit();
    // An income without any remark (NULL), as the ledger keeps a row that gives none.
    Ledger ledger("家");
    ledger.save(Ledger::income(), {{"IDate", "2026-04-01"},
                                   {"IName", "奖金"},
                                   {"IMoney", yuan("300").toVariant()},
                                   {"AName", "现金"},
                                   {"FName", "爸爸"}});
    ledger.commit();
    Seed other("别家");
    other.income("2026-03-10", "工资", yuan("1"), "现金");
    other.commit();
}

void TestQueryWindows::cleanup()
{
    env.reset();
}

void TestQueryWindows::startsWithDefaultsAndTicksOnChoice()
{
    IncomeQueryWindow w;
    const QDate today = QDate::currentDate();
    QCOMPARE(Drive::find<QDateEdit>(&w, "DateTimePicker1")->date(), today.addMonths(-1));
    QCOMPARE(Drive::find<QDateEdit>(&w, "DateTimePicker2")->date(), today);
    QVERIFY(Drive::find<QCheckBox>(&w, "CheckBox1")->isChecked());
    for (const char *box : {"CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5"})
        QVERIFY(!Drive::find<QCheckBox>(&w, box)->isChecked());
    QVERIFY(!Drive::find<QPushButton>(&w, "BitBtn2")->isEnabled());
    QVERIFY(!Drive::find<QPushButton>(&w, "BitBtn4")->isEnabled());
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString());
    QCOMPARE(Drive::text(&w, "ComboBox1"), QString("日期"));
    QCOMPARE(Drive::text(&w, "ComboBox2"), QString("升序"));

    // Picking a name ticks its box: category, account, member.
    Drive::choose(&w, "DBLookupComboBox1", "奖金");
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::choose(&w, "DBLookupComboBox3", "爸爸");
    for (const char *box : {"CheckBox2", "CheckBox3", "CheckBox4"})
        QVERIFY(Drive::find<QCheckBox>(&w, box)->isChecked());
}

void TestQueryWindows::conditionsFilterSortAndTotal()
{
    IncomeQueryWindow w;
    // No box ticked: every row of this book, sorted by date; the book column hidden.
    untickDates(&w);
    query(&w);
    QCOMPARE(Drive::titles(&w, "DBGrid1"),
             QStringList({"日期", "收入类别", "金额", "帐户名称", "家庭成员", "备注"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期"),
             QStringList({"2026-03-01", "2026-03-15", "2026-03-31", "2026-04-01"}));
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString("合计 4 笔"));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "金额"), QString("16,800.00"));

    // Both boundary days count; amounts descending.
    Drive::find<QCheckBox>(&w, "CheckBox1")->setChecked(true);
    Drive::setDate(&w, "DateTimePicker1", {2026, 3, 1});
    Drive::setDate(&w, "DateTimePicker2", {2026, 3, 31});
    Drive::choose(&w, "ComboBox1", "金额");
    Drive::choose(&w, "ComboBox2", "降序");
    query(&w);
    QCOMPARE(Drive::column(&w, "DBGrid1", "金额").size(), 3);
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期").last(), QString("2026-03-15"));

    // An account picked, then unticked again.
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    query(&w);
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期"), QStringList{"2026-03-15"});
    Drive::find<QCheckBox>(&w, "CheckBox3")->setChecked(false);
    query(&w);
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString("合计 3 笔"));

    // No matching rows: count 0, an empty total, the buttons enabled all the same.
    Drive::setDate(&w, "DateTimePicker1", {2026, 5, 1});
    Drive::setDate(&w, "DateTimePicker2", {2026, 5, 31});
    query(&w);
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期"), QStringList());
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString("合计 0 笔"));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "金额"), QString());
    QVERIFY(Drive::find<QPushButton>(&w, "BitBtn4")->isEnabled());
}

void TestQueryWindows::totalsFollowTheGridAndTheNewestQueryWins()
{
    IncomeQueryWindow w;
    untickDates(&w);
    Drive::click(&w, "BitBtn1");
    // The grid is shown at once; the count and total are computed on the worker.
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString("计算中……"));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "金额"), QString());
    QVERIFY(!Drive::find<QPushButton>(&w, "BitBtn2")->isEnabled());
    QCOMPARE(Drive::column(&w, "DBGrid1", "日期").size(), 4);

    // A newer query before they came: its figures are the ones shown.
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::click(&w, "BitBtn1");
    Background::waitForIdle();
    QCOMPARE(Drive::totals(&w, "DBGrid1"), QString("合计 2 笔"));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "金额"), QString("800.00"));
    QVERIFY(Drive::find<QPushButton>(&w, "BitBtn2")->isEnabled());
}

void TestQueryWindows::remarkFindsQuotesAndPercentLiterally()
{
    IncomeQueryWindow w;
    untickDates(&w);
    Drive::find<QCheckBox>(&w, "CheckBox5")->setChecked(true);
    const QList<std::pair<QString, QStringList>> cases = {
        {"it's", {"2026-03-15"}},
        {"100%", {"2026-03-15"}},
        {"100", {"2026-03-15", "2026-03-31"}},
        {"_", {}},
        {"", {"2026-03-01", "2026-03-15", "2026-03-31"}}, // not the row without a remark
    };
    for (const auto &[text, dates] : cases) {
        Drive::setText(&w, "Edit1", text);
        query(&w);
        QCOMPARE(Drive::column(&w, "DBGrid1", "日期"), dates);
    }
}

void TestQueryWindows::transfersAreNewestFirst()
{
    Seed seed("家");
    for (const char *date : {"2026-01-02", "2026-03-01", "2026-02-01"})
        seed.transfer(date, "现金", "工资卡", yuan("1"), "爸爸");
    seed.commit();
    TransferQueryWindow w;
    untickDates(&w);
    Drive::choose(&w, "DBLookupComboBox1", "爸爸");
    query(&w);
    QCOMPARE(Drive::column(&w, "DBGrid1", "转帐日期"),
             QStringList({"2026-03-01", "2026-02-01", "2026-01-02"}));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "转帐余额"), QString("3.00"));
}

void TestQueryWindows::followUpRecordsOfTheClickedRow()
{
    // 老王 lent 1,300.00, 300.00 of it repaid since.
    Seed seed("家");
    const QVariant wang = seed.debt("2026-01-01", "老王", yuan("1300"), "现金", "爸爸");
    seed.debt("2026-01-05", "老李", yuan("500"), "现金", "爸爸");
    seed.followUp(Ledger::repayment(), wang, "2026-02-01", yuan("100"), "现金", "爸爸", "一");
    seed.followUp(Ledger::repayment(), wang, "2026-03-01", yuan("200"), "现金", "爸爸", "二");
    seed.commit();
    DebtQueryWindow w;
    untickDates(&w);
    Drive::setText(&w, "Edit1", "老");
    Drive::find<QCheckBox>(&w, "CheckBox2")->setChecked(true);
    query(&w);
    QCOMPARE(Drive::titles(&w, "DBGrid1"), QStringList({"日期", "债权人", "债务金额", "帐户名称",
                                                        "家庭成员", "已还金额", "备注"}));
    // The lower list follows the current row, whether moved to or clicked.
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注"), QStringList({"二", "一"}));
    Drive::click(&w, "NavNext");
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注"), QStringList());
    Drive::clickRow(&w, "DBGrid1", 0);
    QCOMPARE(Drive::titles(&w, "DBGrid2"),
             QStringList({"日期", "还债金额", "帐户名称", "家庭成员", "备注"}));
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注"), QStringList({"二", "一"}));

    // A debt without repayments: an empty lower list with its titles.
    Drive::clickRow(&w, "DBGrid1", 1);
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注"), QStringList());
    QCOMPARE(Drive::titles(&w, "DBGrid2").size(), 5);

    // A new query keeps the lower list; a click on an empty result changes nothing.
    Drive::clickRow(&w, "DBGrid1", 0);
    Drive::setText(&w, "Edit1", "nobody");
    query(&w);
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注").size(), 2);
    w.showDetails(0);
    QCOMPARE(Drive::column(&w, "DBGrid2", "备注").size(), 2);

    // Investments show two totals.
    Seed investment("家");
    const QVariant fund = investment.investment("2026-01-01", "基金", yuan("1000"), "现金");
    investment.followUp(Ledger::investmentReturn(), fund, "2026-01-31", Money(), "现金", {}, {},
                        yuan("25"));
    investment.commit();
    InvestmentQueryWindow t;
    untickDates(&t);
    query(&t);
    QCOMPARE(Drive::totals(&t, "DBGrid1", "投资金额"), QString("1,000.00"));
    QCOMPARE(Drive::totals(&t, "DBGrid1", "收益金额"), QString("25.00"));
}

void TestQueryWindows::twoInstancesKeepTheirOwnConditions()
{
    IncomeQueryWindow a, b;
    untickDates(&a);
    untickDates(&b);
    Drive::choose(&a, "DBLookupComboBox2", "现金");
    Drive::choose(&b, "DBLookupComboBox2", "工资卡");
    query(&a);
    query(&b);
    QCOMPARE(Drive::column(&a, "DBGrid1", "帐户名称"), QStringList({"现金", "现金"}));
    QCOMPARE(Drive::column(&b, "DBGrid1", "帐户名称"), QStringList({"工资卡", "工资卡"}));
    QCOMPARE(Drive::totals(&a, "DBGrid1", "金额"), QString("800.00"));
}

void TestQueryWindows::exportWritesTheResultShown()
{
    MessageRecorder messages;
    ExportCapture capture;
    IncomeQueryWindow w;
    untickDates(&w);
    Drive::choose(&w, "ComboBox2", "降序");
    query(&w);
    Drive::choose(&w, "DBLookupComboBox2", "现金"); // changed, not queried again
    Drive::click(&w, "BitBtn2");

    const QStringList files = capture.files();
    QCOMPARE(files.size(), 1);
    QCOMPARE(capture.opened, QList<QUrl>{QUrl::fromLocalFile(files[0])});
    QVERIFY(QFileInfo(files[0]).fileName().startsWith("家-收入表-"));
    const Workbook book = Workbook::read(files[0]);
    QCOMPARE(book.value("A1"), QString("家-收入表"));
    QCOMPARE(book.value("B2"), QString("日期"));
    QCOMPARE(book.value("C3"), QString("奖金")); // newest first, as shown
    QCOMPARE(book.value("A6"), QString("4"));
    QCOMPARE(book.lastRow(), 7);
    QCOMPARE(book.value("A7"), QString("合计"));
    QCOMPARE(book.value("B7"), QString("4"));
    QCOMPARE(book.cell("D7").formula, QString("SUM(D3:D6)"));
    QCOMPARE(book.value("D7").toDouble(), 16800.0);
    QVERIFY(messages.messages.isEmpty());
}

void TestQueryWindows::printReadsTheLastConditionsAtPrintTime()
{
    PrintRecorder printed;
    IncomeQueryWindow w;
    untickDates(&w);
    Drive::choose(&w, "DBLookupComboBox2", "现金");
    Drive::choose(&w, "ComboBox2", "降序");
    query(&w);
    // Changed afterwards without a query, and a row saved meanwhile elsewhere.
    Drive::find<QCheckBox>(&w, "CheckBox3")->setChecked(false);
    Seed later("家");
    later.income("2026-01-01", "奖金", yuan("1"), "现金", "爸爸", "后来");
    later.commit();
    Drive::click(&w, "BitBtn4");
    QCOMPARE(printed.shown, 1);
    QCOMPARE(printed.title, QString("家收入报表"));
    // Read in stored order, not the window's sort, with the key first.
    QCOMPARE(printed.rows.size(), 3);
    QCOMPARE(printed.rows[0][1].toString(), QString("2026-03-15"));
    QCOMPARE(printed.rows[2][6].toString(), QString("后来"));
    QVERIFY(printed.rows[0][0].toLongLong() < printed.rows[2][0].toLongLong());

    // No rows: the title still names the book.
    Drive::setDate(&w, "DateTimePicker1", {2030, 1, 1});
    Drive::setDate(&w, "DateTimePicker2", {2030, 12, 31});
    Drive::find<QCheckBox>(&w, "CheckBox1")->setChecked(true);
    query(&w);
    Drive::click(&w, "BitBtn4");
    QCOMPARE(printed.rows.size(), 0);
    QCOMPARE(printed.title, QString("家收入报表"));
}

QTEST_MAIN(TestQueryWindows)
#include "tst_querywindows.moc"
