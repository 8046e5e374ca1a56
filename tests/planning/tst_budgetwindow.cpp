#include "app/SummaryPanel.h"
#include "core/books/BookStore.h"
#include "core/ledger/Changes.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "core/reports/Report.h"
#include "planning/BudgetWindow.h"
#include "reports/StatementWindows.h"
#include "support/TestSupport.h"
#include "support/Workbook.h"
#include "widgets/ReportPreview.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

// The budget window sets a year's amounts and shows the month against its
// spending; the monthly statement and the home page show the budget too.
class TestBudgetWindow : public QObject
{
    Q_OBJECT
private slots:
    void setsSameEveryMonthCopiesAndRollsOver();
    void statementAndHomePageShowTheBudget();
};

namespace {

const QString Book = "家";

void seed(TestEnvironment &env)
{
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    Ledger ledger(Book);
    ledger.save(Ledger::expense(), {{"ODate", "2026-03-05"},
                                    {"OName", "食品"},
                                    {"OMoney", yuan("450").toVariant()},
                                    {"AName", "现金"}});
    ledger.commit();
}

void showMonth(BudgetWindow &w, int year, const QString &month)
{
    Drive::find<QSpinBox>(&w, "SpinYear")->setValue(year);
    Drive::choose(&w, "ComboMonth", month);
}

} // namespace

void TestBudgetWindow::setsSameEveryMonthCopiesAndRollsOver()
{
    TestEnvironment env;
    MessageRecorder messages;
    seed(env);
    BudgetWindow w;
    w.show();
    showMonth(w, 2026, "3月");
    QCOMPARE(Drive::column(&w, "DBGrid1", "类别").first(), QString("食品"));
    QCOMPARE(Drive::column(&w, "DBGrid1", "类别").last(), QString("其余支出"));
    Drive::clickRow(&w, "DBGrid1", 0);
    // From March through December.
    Drive::setText(&w, "Edit1", "500");
    Drive::click(&w, "ButSame");
    QCOMPARE(Db::count("select count(*) from Budget where OName='食品' and BMoney=5000000"), 10);
    QCOMPARE(Drive::column(&w, "DBGrid1", "全年").first(), QString("5,000.00"));
    QCOMPARE(Drive::column(&w, "DBGrid2", "类别"), QStringList({"食品"}));
    QCOMPARE(Drive::column(&w, "DBGrid2", "已用比例"), QStringList({"90.0%"}));
    QCOMPARE(Drive::column(&w, "DBGrid2", "剩余"), QStringList({"50.00"}));
    // The other spending's line of March, then April copied from it.
    Drive::clickRow(&w, "DBGrid1", Drive::column(&w, "DBGrid1", "类别").size() - 1);
    QVERIFY(!Drive::find<QCheckBox>(&w, "CheckRollover")->isEnabled());
    Drive::setText(&w, "Edit1", "200");
    Drive::click(&w, "ButSet");
    Drive::choose(&w, "ComboMonth", "4月");
    messages.answer(QMessageBox::Yes);
    Drive::click(&w, "ButCopy");
    QCOMPARE(Budget::plan(Book, 2026).value("").value("2026-04"), yuan("200"));
    QCOMPARE(Budget::plan(Book, 2026).value("食品").value("2026-04"), yuan("500"));
    // 食品 rolls over: April has March's 50 more.
    Drive::clickRow(&w, "DBGrid1", 0);
    Drive::click(&w, "CheckRollover");
    QVERIFY(Budget::rollover(Book, "食品"));
    QCOMPARE(Drive::column(&w, "DBGrid1", "结转").first(), QString("是"));
    QCOMPARE(Drive::column(&w, "DBGrid2", "可用").first(), QString("550.00"));
    // Nothing typed clears the month.
    Drive::setText(&w, "Edit1", "");
    Drive::click(&w, "ButSet");
    QCOMPARE(Budget::plan(Book, 2026).value("食品").value("2026-04"), Money());
    // The month against its budget prints as the window shows it.
    QStringList printed;
    Report::setPresenter([&](QWidget *, const Report::Document &document) {
        printed << document.layout().title << QString::number(document.totals().rows);
    });
    Drive::click(&w, "BitBtn4");
    Report::setPresenter({});
    QCOMPARE(printed, QStringList({"预算执行表", "2"}));
    // The household month is set here too, and the home page hears of it.
    QStringList announced;
    const QMetaObject::Connection listening =
        QObject::connect(ChangeFeed::instance(), &ChangeFeed::committed, [&](const Change &c) {
            announced << c.book + ":" + c.rows.keys().join(",");
        });
    Drive::find<QSpinBox>(&w, "SpinStartDay")->setValue(15);
    Drive::click(&w, "ButStartDay");
    QObject::disconnect(listening);
    QCOMPARE(HouseholdMonth::startDay(Book), 15);
    QCOMPARE(announced, QStringList({Book + ":BookSetting"}));
}

void TestBudgetWindow::statementAndHomePageShowTheBudget()
{
    TestEnvironment env;
    seed(env);
    {
        MonthlyStatementWindow before;
        QVERIFY(!Drive::titles(&before, "DBGrid1").contains("预算"));
    }
    Budget::setAmount(Book, "食品", {"2026-03"}, yuan("400"));
    MonthlyStatementWindow w;
    w.show();
    Drive::setDate(&w, "DateTimePicker1", QDate(2026, 3, 1));
    Drive::setDate(&w, "DateTimePicker2", QDate(2026, 4, 30));
    Drive::click(&w, "BitBtn1");
    QCOMPARE(Drive::column(&w, "DBGrid1", "预算"), QStringList({"400.00", "0.00"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "预算剩余"), QStringList({"-50.00", "0.00"}));
    QCOMPARE(Drive::column(&w, "DBGrid1", "预算已用"), QStringList({"112.5%", "0.0%"}));
    QCOMPARE(Drive::totals(&w, "DBGrid1", "预算已用"), QString("112.5%"));
    // The workbook and the printed report have the same total, the workbook's a
    // formula of its columns.
    {
        ExportCapture capture;
        Drive::click(&w, "BitBtn2");
        const Workbook sheet = Workbook::read(capture.files().value(0));
        const QString total = QStringLiteral("K%1").arg(sheet.lastRow());
        QCOMPARE(sheet.value(total).toDouble(), 1.125);
        QCOMPARE(sheet.cell(total).formula,
                 QString("IF(I%1=0,0,(I%1-J%1)/I%1)").arg(sheet.lastRow()));
    }
    struct Texts : Report::Canvas
    {
        QStringList shown;
        bool newPage() override { return false; }
        void text(const QRectF &, const QString &t, Qt::Alignment, Report::Looks) override
        {
            shown << t;
        }
        void line(double, double, double, double) override {}
    } printed;
    Report::setPresenter(
        [&](QWidget *, const Report::Document &document) { document.drawPage(0, printed); });
    Drive::click(&w, "BitBtn4");
    Report::setPresenter({});
    QCOMPARE(printed.shown.count("112.5%"), 2);

    // The home page shows this household month's lines and their total.
    const QString month =
        HouseholdMonth::containing(QDate::currentDate(), HouseholdMonth::FirstDay).label;
    SummaryPanel panel(nullptr);
    panel.showBudget(SummaryPanel::readBudget());
    QVERIFY(panel.findChild<QWidget *>("GroupBudget")->isHidden());
    Budget::setAmount(Book, "食品", {month}, yuan("1000"));
    panel.showBudget(SummaryPanel::readBudget());
    QVERIFY(!panel.findChild<QWidget *>("GroupBudget")->isHidden());
    QCOMPARE(panel.findChild<QLabel *>("LabBudget1")->text(),
             QString("已用 0.00 / 1,000.00　剩余 1,000.00"));
}

QTEST_MAIN(TestBudgetWindow)
#include "tst_budgetwindow.moc"
