#include "app/WindowCatalog.h"
#include "core/ledger/Workspace.h"
#include "core/reports/Report.h"
#include "data/Background.h"
#include "data/Dates.h"
#include "reports/AnalysisWindows.h"
#include "reports/StatementWindows.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "support/Workbook.h"
#include "widgets/ChartTabs.h"
#include "widgets/ReportPreview.h"

#include <QAbstractSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The statement, analysis, statistics and balance windows driven as a user would.
class TestReportWindows : public QObject
{
    Q_OBJECT
private slots:
    void statementWindowRunsAndRefuses_data();
    void statementWindowRunsAndRefuses();
    void eachStatementWindowKeepsItsOwnRun();
    void exportAndPrintCarryTheShownRun();
    void analysisChartsFollowEachRun();
    void statisticsFillBothGrids();
    void balancesWindowShowsNetAssets();
};

namespace {

const QString Book = "家";

std::unique_ptr<QWidget> open(const char *className)
{
    auto w = std::unique_ptr<QWidget>(WindowCatalog::find(className)->create(nullptr));
    w->show();
    return w;
}

void seed(TestEnvironment &env)
{
    env.dm()->setCurrentBook(Book);
    Db::insertBook(Book);
    Db::exec("insert into SFamily (FName) values ('爸爸'), ('妈''妈')");
    // The accounts open so that the entries leave both at 0.00.
    Seed entries(Book);
    entries.account("现金", -yuan("20"));
    entries.account("O'Brien 卡", -yuan("190"));
    entries.income("2008-01-15", "工资", yuan("100"), "现金", "爸爸");
    entries.income("2008-03-14", "工资", yuan("200"), "O'Brien 卡", "妈'妈");
    entries.expense("2008-01-20", "餐饮", yuan("75"), "现金", "爸爸");
    entries.expense("2008-02-01", "交通", yuan("10"), "O'Brien 卡", "爸爸");
    entries.expense("2007-06-01", "餐饮", yuan("5"), "现金", "爸爸");
    entries.commit();
}

QString label(QWidget *w, const char *name)
{
    return Drive::find<QLabel>(w, name)->text();
}

void runStatement(QWidget *w, const char *from, const char *to)
{
    Drive::setDate(w, "DateTimePicker1", QDate::fromString(from, Qt::ISODate));
    Drive::setDate(w, "DateTimePicker2", QDate::fromString(to, Qt::ISODate));
    Drive::click(w, "BitBtn1");
}

} // namespace

void TestReportWindows::statementWindowRunsAndRefuses_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QDate>("defaultFrom");
    const QDate today = QDate::currentDate();
    QTest::newRow("monthly") << "TfrmSZ_M" << QDate(today.year(), today.month(), 1).addMonths(-11);
    QTest::newRow("yearly") << "TfrmSZ_Y" << QDate(today.year(), 1, 1);
}

void TestReportWindows::statementWindowRunsAndRefuses()
{
    QFETCH(QString, window);
    QFETCH(QDate, defaultFrom);
    const bool monthly = window == "TfrmSZ_M";
    TestEnvironment env;
    seed(env);
    MessageRecorder messages;
    auto w = open(qPrintable(window));
    QCOMPARE(Drive::find<QDateEdit>(w.get(), "DateTimePicker1")->date(), defaultFrom);
    QCOMPARE(Drive::find<QDateEdit>(w.get(), "DateTimePicker2")->date(), QDate::currentDate());
    QVERIFY(!Drive::find<QPushButton>(w.get(), "BitBtn2")->isEnabled());
    QVERIFY(!Drive::find<QPushButton>(w.get(), "BitBtn4")->isEnabled());

    runStatement(w.get(), "2008-03-15", "2008-03-14");
    QCOMPARE(messages.texts(), QStringList({"日期选择错误，请重新选择！"}));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "收入金额").size(), 0);
    QCOMPARE(Drive::totals(w.get(), "DBGrid1"), "");

    runStatement(w.get(), monthly ? "2008-01-15" : "2006-01-01",
                 monthly ? "2008-03-14" : "2008-12-31");
    const QString first = monthly ? "月份" : "年份";
    QCOMPARE(Drive::titles(w.get(), "DBGrid1"),
             QStringList({first, "收入金额", "收入笔数", "支出金额", "支出笔数", "结余金额",
                          "支出占收入"}));
    if (monthly) {
        QCOMPARE(Drive::column(w.get(), "DBGrid1", first),
                 QStringList({"2008-01", "2008-02", "2008-03"}));
        QCOMPARE(Drive::column(w.get(), "DBGrid1", "结余金额"),
                 QStringList({"25.00", "-10.00", "200.00"}));
        QCOMPARE(Drive::column(w.get(), "DBGrid1", "支出占收入"),
                 QStringList({"75.0%", "0.0%", "0.0%"}));
    } else {
        QCOMPARE(Drive::column(w.get(), "DBGrid1", first), QStringList({"2006", "2007", "2008"}));
        QCOMPARE(Drive::column(w.get(), "DBGrid1", "支出笔数"), QStringList({"0", "1", "2"}));
    }
    // The totals row sums the periods; the share is that of the sums.
    const auto total = [&w](const char *title) { return Drive::totals(w.get(), "DBGrid1", title); };
    QCOMPARE(Drive::totals(w.get(), "DBGrid1"), monthly ? "合计 3 个月" : "合计 3 年");
    QCOMPARE(total("收入金额"), "300.00");
    QCOMPARE(total("收入笔数"), "2");
    QCOMPARE(total("支出金额"), monthly ? "85.00" : "90.00");
    QCOMPARE(total("支出笔数"), monthly ? "2" : "3");
    QCOMPARE(total("结余金额"), monthly ? "215.00" : "210.00");
    QCOMPARE(total("支出占收入"), monthly ? "28.3%" : "30.0%");
    QVERIFY(Drive::find<QWidget>(w.get(), "ProgressBar1")->isHidden());
    QVERIFY(Drive::find<QPushButton>(w.get(), "BitBtn2")->isEnabled());
    QVERIFY(Drive::find<QPushButton>(w.get(), "BitBtn4")->isEnabled());

    // Choosing an account ticks its box; a name with a quote limits both sides.
    Drive::choose(w.get(), "DBLookupComboBox1", "O'Brien 卡");
    QVERIFY(Drive::find<QCheckBox>(w.get(), "CheckAccount")->isChecked());
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(total("收入金额"), "200.00");
    QCOMPARE(total("支出金额"), "10.00");

    // A ticked list without a choice is refused, and the last run stays.
    Drive::find<QCheckBox>(w.get(), "CheckMember")->setChecked(true);
    messages.clear();
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(messages.texts(), QStringList({"请选择 家庭成员！"}));
    QCOMPARE(total("收入金额"), "200.00");
}

void TestReportWindows::eachStatementWindowKeepsItsOwnRun()
{
    TestEnvironment env;
    seed(env);
    MessageRecorder messages;
    auto monthlyWindow = open("TfrmSZ_M");
    runStatement(monthlyWindow.get(), "2008-01-01", "2008-02-29");
    auto yearlyWindow = open("TfrmSZ_Y");
    runStatement(yearlyWindow.get(), "2006-01-01", "2008-12-31");
    // Another book's run changes nothing either.
    env.dm()->setCurrentBook("别家");
    auto other = open("TfrmSZ_M");
    runStatement(other.get(), "2008-01-01", "2008-12-31");

    const auto *monthly = static_cast<StatementWindow *>(monthlyWindow.get());
    QCOMPARE(monthly->shown().rows.size(), std::size_t(2));
    QCOMPARE(monthly->shown().text(0, 0), "2008-01");
    QCOMPARE(monthly->shown().text(0, 6), "75.0%");
    QCOMPARE(Drive::column(monthlyWindow.get(), "DBGrid1", "月份"),
             QStringList({"2008-01", "2008-02"}));
}

void TestReportWindows::exportAndPrintCarryTheShownRun()
{
    TestEnvironment env;
    seed(env);
    MessageRecorder messages;
    ExportCapture capture;
    auto monthly = open("TfrmSZ_M");
    runStatement(monthly.get(), "2008-01-01", "2008-02-29");
    auto yearly = open("TfrmSZ_Y");
    runStatement(yearly.get(), "2006-01-01", "2008-12-31");

    // The monthly window exports and prints its own rows and totals.
    Drive::click(monthly.get(), "BitBtn2");
    QCOMPARE(capture.files().size(), 1);
    const Workbook book = Workbook::read(capture.files().first());
    QVERIFY(book.ok);
    QCOMPARE(book.value("A1"), "家-收支月报表");
    QCOMPARE(book.value("B2"), "月份");
    QCOMPARE(book.value("H2"), "支出占收入");
    QCOMPARE(book.value("B3"), "2008-01");
    QCOMPARE(book.value("C3").toDouble(), 100.0);
    QCOMPARE(book.value("H3").toDouble(), 0.75);
    QCOMPARE(book.value("B4"), "2008-02");
    QCOMPARE(book.lastRow(), 5);
    QCOMPARE(book.value("A5"), "合计");
    QCOMPARE(book.value("B5"), "");
    QCOMPARE(book.value("C5").toDouble(), 100.0);
    QCOMPARE(book.value("E5").toDouble(), 85.0);
    QCOMPARE(book.value("F5").toDouble(), 2.0);
    QCOMPARE(book.value("G5").toDouble(), 15.0);
    QCOMPARE(book.value("H5").toDouble(), 0.85);

    Report::Layout printed;
    QList<QVariantList> rows;
    QImage page;
    Report::setPresenter([&](QWidget *, const Report::Document &document) {
        printed = document.layout();
        const RowSource source = document.rows();
        for (QVariantList row; source(row);)
            rows << row;
        page = document.pageImage(0, 120);
    });
    Drive::click(monthly.get(), "BitBtn4");
    Report::setPresenter({});
    QCOMPARE(printed.title, "收支月统计表");
    QCOMPARE(printed.subtitle, "帐簿：家　　统计日期 2008-01-01 至 2008-02-29");
    QCOMPARE(printed.columns.size(), 8);
    QCOMPARE(printed.columns.first().title, "序号");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].mid(1, 2), QVariantList({"2008-01", 1000000LL}));
    QCOMPARE(rows[1].at(1), "2008-02");
    QVERIFY(!page.isNull());

    // The analysis exports its groups in the plain form.
    auto analysis = open("TfrmE_I");
    Drive::click(analysis.get(), "BitBtn1");
    Drive::click(analysis.get(), "BitBtn2");
    QCOMPARE(capture.files().size(), 2);
    QString second;
    for (const QString &f : capture.files())
        if (f.contains("收入分析表"))
            second = f;
    const Workbook sums = Workbook::read(second);
    QCOMPARE(sums.value("A1"), "家-收入分析表");
    QCOMPARE(sums.value("B3"), "2008-01");
    QCOMPARE(sums.value("A5"), "合计");
    QCOMPARE(sums.value("B5").toDouble(), 2.0);
    QCOMPARE(sums.value("C5").toDouble(), 300.0);
}

void TestReportWindows::analysisChartsFollowEachRun()
{
    TestEnvironment env;
    seed(env);
    MessageRecorder messages;
    auto w = open("TfrmE_O");
    QCOMPARE(Drive::find<QComboBox>(w.get(), "ComboBox1")->currentText(), "月支出");
    QVERIFY(!Drive::find<QCheckBox>(w.get(), "CheckDate")->isChecked());
    // The date box is not ticked: all of the book's expenses, by month.
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "统计的项"),
             QStringList({"2007-06", "2008-01", "2008-02"}));
    QCOMPARE(Drive::totals(w.get(), "DBGrid1"), "合计 3 项");
    QCOMPARE(Drive::totals(w.get(), "DBGrid1", "金额"), "90.00");
    Drive::click(w.get(), "BitBtn1");

    // The shown chart is filled; the others when they are shown.
    ChartTabs *charts = static_cast<AnalysisWindow *>(w.get())->charts();
    QCOMPARE(charts->chart(1)->series().size(), 0);
    for (int tab = 0; tab < 3; ++tab) {
        charts->tabs()->setCurrentIndex(tab);
        QCOMPARE(charts->chart(tab)->series().size(), 1);
        QCOMPARE(charts->chart(tab)->title(), "支出分析");
    }
    auto *bars = static_cast<QBarSeries *>(charts->chart(0)->series().first());
    QCOMPARE(bars->barSets().first()->count(), 3);
    QCOMPARE(bars->barSets().first()->at(1), 75.0);
    auto *pie = static_cast<QPieSeries *>(charts->chart(2)->series().first());
    QCOMPARE(charts->chart(2)->legend()->markers(pie).at(2)->label(), "2008-02  11.1%");
    emit pie->slices().at(1)->hovered(true);
    QCOMPARE(charts->hoverText(), "2008-01：75.00");
    emit bars->barSets().first()->hovered(false, 1);
    QCOMPARE(charts->hoverText(), "");

    QTemporaryDir dir;
    charts->tabs()->setCurrentIndex(2);
    QVERIFY(charts->saveShownChart(dir.filePath("pie.png")));
    QVERIFY(!QImage(dir.filePath("pie.png")).isNull());

    // By category, limited to days; then nothing passes and the charts are empty.
    Drive::choose(w.get(), "ComboBox1", "支出类别");
    Drive::find<QCheckBox>(w.get(), "CheckDate")->setChecked(true);
    Drive::setDate(w.get(), "DateTimePicker1", QDate(2008, 1, 20));
    Drive::setDate(w.get(), "DateTimePicker2", QDate(2008, 2, 1));
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "金额"), QStringList({"10.00", "75.00"}));
    Drive::setDate(w.get(), "DateTimePicker1", QDate(2009, 1, 1));
    Drive::setDate(w.get(), "DateTimePicker2", QDate(2009, 2, 1));
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(Drive::totals(w.get(), "DBGrid1"), "合计 0 项");
    QCOMPARE(Drive::totals(w.get(), "DBGrid1", "金额"), "");
    QCOMPARE(static_cast<QPieSeries *>(charts->chart(2)->series().first())->count(), 0);
    QVERIFY(messages.texts().isEmpty());
}

void TestReportWindows::statisticsFillBothGrids()
{
    TestEnvironment env;
    seed(env);
    MessageRecorder messages;
    auto w = open("TfrmPage1");
    QVERIFY(w->findChild<QWidget *>("Panel3"));
    QCOMPARE(Drive::find<QTableView>(w.get(), "DBGrid1")->model()->rowCount(), 0);
    Drive::find<QCheckBox>(w.get(), "CheckDate")->setChecked(false);
    Drive::choose(w.get(), "DBLookupComboBox2", "妈'妈");
    Drive::click(w.get(), "BitBtn1");
    QCOMPARE(Drive::titles(w.get(), "DBGrid1"), QStringList({"收入名称", "笔数", "金额"}));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "笔数"), QStringList({"1"}));
    QCOMPARE(Drive::column(w.get(), "DBGrid2", "支出名称").size(), 0);
    // Enter in the conditions runs the statistics, as 统计 would.
    Drive::find<QCheckBox>(w.get(), "CheckMember")->setChecked(false);
    Drive::showActive(w.get());
    Drive::find<QWidget>(w.get(), "DateTimePicker1")->setFocus();
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::column(w.get(), "DBGrid2", "支出名称"), QStringList({"餐饮", "交通"}));

    Seed debt(Book);
    debt.debt(today(), "老王", Money(), "现金");
    debt.commit();
    auto debts = open("TfrmPage2");
    Drive::click(debts.get(), "BitBtn1");
    QCOMPARE(Drive::titles(debts.get(), "DBGrid1"), QStringList({"债权人", "笔数", "未还金额"}));
    QCOMPARE(Drive::column(debts.get(), "DBGrid1", "笔数"), QStringList({"1"}));
    QCOMPARE(Drive::titles(debts.get(), "DBGrid2"), QStringList({"债务人", "笔数", "未收金额"}));
    QVERIFY(messages.texts().isEmpty());
}

void TestReportWindows::balancesWindowShowsNetAssets()
{
    TestEnvironment env;
    seed(env);
    {
        auto empty = open("TfrmP_Account");
        QCOMPARE(Drive::find<QTableView>(empty.get(), "DBGrid1")->model()->rowCount(), 0);
        QCOMPARE(label(empty.get(), "Label1"),
                 "银行存款及现金[0.00] 债务[0.00] 债权[0.00] 净资产[0.00]");
    }
    // 现金 comes to 1,000.00: it opens with 880.00, its entries bring 20.00 and the
    // debt and the credit 100.00; the card opens with -240.00 and comes to -50.00.
    Seed more(Book);
    more.account("现金", yuan("880"));
    more.account("O'Brien 卡", -yuan("240"));
    more.debt("2008-01-01", "A", yuan("300"), "现金");
    more.credit("2008-01-01", "B", yuan("200"), "现金");
    more.commit();
    auto w = open("TfrmP_Account");
    // An overdrawn account is listed, last.
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "帐户名称"), QStringList({"现金", "O'Brien 卡"}));
    QCOMPARE(Drive::column(w.get(), "DBGrid1", "帐户余额"), QStringList({"1,000.00", "-50.00"}));
    QCOMPARE(label(w.get(), "Label1"),
             "银行存款及现金[950.00] 债务[300.00] 债权[200.00] 净资产[850.00]");
    Background::waitForIdle();
    QCOMPARE(Drive::totals(w.get(), "DBGrid1"), "合计 2 个帐户");
    QCOMPARE(Drive::totals(w.get(), "DBGrid1", "帐户余额"), "950.00");
}

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
