#include "app/SummaryPanel.h"
#include "app/TfrmMain.h"
#include "app/WindowCatalog.h"
#include "books/BookStore.h"
#include "data/TfrmDM.h"
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
    QTest::addColumn<QString>("insert"); // a row of the book on the date bound
    QTest::addColumn<QString>("dateTitle");
    QTest::newRow("income") << "TfrmInTable"
                            << "insert into InTable (BName, IDate, IMoney) values ('家', ?, 1)"
                            << "日期";
    QTest::newRow("expense") << "TfrmOutTable"
                             << "insert into OutTable (BName, ODate, OMoney) values ('家', ?, 1)"
                             << "日期";
    QTest::newRow("transfer") << "TfrmChangeT"
                              << "insert into ChangeT (BName, CDate, CMoney) values ('家', ?, 1)"
                              << "转帐日期";
}

void TestEntryWindows::defaultFilterListsTheLastMonth()
{
    QFETCH(QString, window);
    QFETCH(QString, insert);
    QFETCH(QString, dateTitle);
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    const QDate today = QDate::currentDate();
    const QDate from = QuickFilterDialog::monthBefore(today);
    for (const QDate &d : {from.addDays(-1), from, today, today.addDays(1)})
        Db::exec(insert, {iso(d)});
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
    QCOMPARE(Drive::column(fresh.get(), "DBGrid1", "金额"), QStringList({"8.00", "4.00", "2.00", "1.00"}));
    QVERIFY(messages.messages.isEmpty());
}

void TestEntryWindows::openFromMenuAndSideBarEachWithItsOwnFilter()
{
    TestEnvironment env;
    MessageRecorder messages;
    seedBook(env);
    Db::exec(
        "insert into InTable (BName, IDate, IName, IMoney, AName) values "
        "('家', '2020-01-01', '工资', 10000, '现金'), ('家', '2020-01-02', '奖金', 20000, '现金')");
    auto main = std::make_unique<TfrmMain>();
    main->show();
    QMdiArea *area = main->mdiArea();
    for (const char *item : {"N11", "O2", "A1", "Side_N11", "Side_O2", "Side_A1"}) {
        if (auto *action = main->findChild<QAction *>(item))
            action->trigger();
        else
            Drive::click(main.get(), item);
        QVERIFY(area->subWindowList().last()->isMaximized());
    }
    QStringList opened;
    for (QMdiSubWindow *sub : area->subWindowList())
        opened << sub->widget()->objectName();
    QCOMPARE(opened, QStringList({"TfrmInTable", "TfrmOutTable", "TfrmChangeT", "TfrmInTable",
                                  "TfrmOutTable", "TfrmChangeT"}));

    // Each income window keeps its own filter.
    QWidget *first = area->subWindowList().at(0)->widget();
    QWidget *second = area->subWindowList().at(3)->widget();
    query(first, "BitBtn1", [](QWidget *dialog) {
        Drive::click(dialog, "CheckBox1"); // no date range
        Drive::choose(dialog, "DBLookupComboBox1", "奖金");
    });
    QCOMPARE(Drive::column(first, "DBGrid1", "收入类别"), QStringList({"奖金"}));
    QCOMPARE(Drive::column(second, "DBGrid1", "收入类别"), QStringList({"奖金", "工资"}));

    // Closing an entry window shows its effect in the summary panel.
    saveIncome(second, "工资", "100");
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("0.00"));
    Drive::click(second, "ButExi");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(area->subWindowList().size(), 5);
    QCOMPARE(main->summaryPanel()->figureText("LabCash"), QString("100.00"));
    QVERIFY(messages.messages.isEmpty());
    main->closeAllChildren();
}

QTEST_MAIN(TestEntryWindows)
#include "tst_entrywindows.moc"
