#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "app/WindowCatalog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void menusHaveTheirItemsInOrder();
    void bookMenusFollowMyShow();
    void sideBarHasElevenButtonsAndThePage();
    void exitAsksFirst();
    void summaryPanelShowsZerosWithoutABook();
    void summaryPanelFigures();
    void windowMenuListsTheOpenWindows();
    void everyWindowFitsTheFirstSizeOfTheMainWindow();
    void placeAndColumnWidthsAreRemembered();
    void startsWithNoBookWhenTheFileIsNotOurs();
    void secondCopyWarnsAndEnds();
};

namespace {
QStringList itemNames(QMenu *menu)
{
    QStringList names;
    for (QAction *a : menu->actions())
        names << a->objectName();
    return names;
}
} // namespace

void TestMainWindow::menusHaveTheirItemsInOrder()
{
    TestEnvironment env;
    MainWindow main;
    auto *book = main.findChild<QMenu *>("N1");
    QVERIFY(book);
    QCOMPARE(book->title(), QString("帐簿【&Z】"));
    QCOMPARE(itemNames(book), QStringList({"N2", "N3", "C2", "N20", "B2", "N5", "N9", "P1", "N4",
                                           "N7", "R1", "N6", "N8"}));
    QVERIFY(main.findChild<QAction *>("N20")->isSeparator());
    QCOMPARE(main.findChild<QAction *>("N8")->text(), QString("退出 &X"));
    QCOMPARE(itemNames(main.findChild<QMenu *>("N12")),
             QStringList({"N36", "R2", "N30", "N23", "N17", "N24", "O3", "A3", "N25", "B4", "D1",
                          "N44", "T1", "N26", "N27"}));
    QCOMPARE(itemNames(main.findChild<QMenu *>("N36_menu")), QStringList({"N38", "N39"}));
    QCOMPARE(main.findChild<QAction *>("N29")->text(), QString("支出分析 &Q"));
    QStringList titles;
    for (QAction *a : main.menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({"帐簿【&Z】", "编辑【&E】", "基础设置【&B】", "记帐【&W】",
                                  "报表中心【&R】", "工具【&T】", "窗口【&Y】", "帮助【&H】"}));
    QCOMPARE(main.findChild<QLabel *>("StatusPanel")->text(), QString("青禾簿 家庭日记帐管理"));
}

void TestMainWindow::bookMenusFollowMyShow()
{
    TestEnvironment env;
    MainWindow main;
    const QStringList bookItems = {"C2", "N20", "B2", "N5", "N9", "P1", "N4", "N7", "R1"};
    const QStringList alwaysShown = {"N2", "N3", "N6", "N8", "N19", "H2", "A2"};
    const auto menuVisible = [&](const char *name) {
        return main.findChild<QMenu *>(name)->menuAction()->isVisible();
    };
    for (const QString &name : bookItems)
        QVERIFY2(!main.findChild<QAction *>(name)->isVisible(), qPrintable(name));
    QVERIFY(!menuVisible("B1") && !menuVisible("N10") && !menuVisible("N12"));
    QVERIFY(menuVisible("N1") && menuVisible("B3") && menuVisible("H1"));

    main.showBookMenus(true);
    for (const QString &name : bookItems)
        QVERIFY2(main.findChild<QAction *>(name)->isVisible(), qPrintable(name));
    QVERIFY(menuVisible("B1") && menuVisible("N10") && menuVisible("N12"));

    env.dm()->setCurrentBook("家");
    main.closeBook();
    QVERIFY(env.dm()->currentBook().isEmpty());
    QVERIFY(!menuVisible("N10") && !main.findChild<QAction *>("C2")->isVisible());
    for (const QString &name : alwaysShown)
        QVERIFY2(main.findChild<QAction *>(name)->isVisible(), qPrintable(name));
}

void TestMainWindow::sideBarHasElevenButtonsAndThePage()
{
    TestEnvironment env;
    MainWindow main;
    auto *panel = main.findChild<QWidget *>("Panel1");
    QCOMPARE(panel->width(), 154);
    const auto buttons = panel->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 11);
    QCOMPARE(buttons.first()->text(), QString("收入"));
    QCOMPARE(buttons.at(7)->text(), QString("债务债权统计"));
    QCOMPARE(buttons.last()->text(), QString("退出"));
    for (QPushButton *button : buttons)
        QVERIFY2(!button->icon().isNull(), qPrintable(button->text()));
    // 退出 stands apart, at the foot, under the page.
    main.show();
    const QWidget *page = main.findChild<QWidget *>("WebBrowser1");
    QVERIFY(buttons.last()->y() > page->geometry().bottom());
    QVERIFY(page->y() > buttons.at(9)->geometry().bottom());
}

void TestMainWindow::exitAsksFirst()
{
    TestEnvironment env;
    MessageRecorder messages;
    MainWindow main;
    main.show();
    messages.answer(QMessageBox::No);
    Drive::click(&main, "Side_N8");
    QVERIFY(main.isVisible());
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(messages.lastText(), QString("确认要退出 青禾簿 吗？ ^_^ "));
    QCOMPARE(messages.messages.last().caption, QString("确认退出"));
    QCOMPARE(messages.messages.last().icon, QMessageBox::Question);
    messages.answer(QMessageBox::Yes);
    main.findChild<QAction *>("N8")->trigger();
    QVERIFY(!main.isVisible());
}

void TestMainWindow::summaryPanelShowsZerosWithoutABook()
{
    TestEnvironment env;
    MainWindow main;
    main.show();
    SummaryPanel *panel = main.summaryPanel();
    QCOMPARE(panel->figureText("LabCash"), QString("0.00"));
    QCOMPARE(panel->figureText("LabTotalFunds"), QString("0.00"));
    QCOMPARE(panel->figureText("LabPercent"), QString("—"));
}

void TestMainWindow::summaryPanelFigures()
{
    TestEnvironment env;
    Seed seed("家");
    seed.account("现金", yuan("1000"));
    // The card opens with 738.50: the entries below leave it at 234.50.
    seed.account("工资卡", yuan("738.5"));
    seed.debt("2020-01-10", "老王", yuan("500"), "工资卡");
    seed.credit("2020-01-11", "老李", yuan("100"), "工资卡");
    seed.investment("2020-01-12", "股票", yuan("2000"), "工资卡");
    seed.income("2020-01-13", "工资", yuan("2000"), "工资卡");
    seed.expense("2020-01-14", "食品", yuan("904"), "工资卡");
    seed.commit();
    Seed other("别家");
    other.account("现金", yuan("99"));
    other.commit();
    MainWindow main;
    env.dm()->setCurrentBook("家");
    main.refreshSummary();
    SummaryPanel *p = main.summaryPanel();
    QCOMPARE(p->figureText("LabCash"), QString("1,000.00"));
    QCOMPARE(p->figureText("LabDeposit"), QString("234.50"));
    QCOMPARE(p->figureText("LabCredit"), QString("100.00"));
    QCOMPARE(p->figureText("LabInvest"), QString("2,000.00"));
    QCOMPARE(p->figureText("LabTotalFunds"), QString("3,334.50"));
    QCOMPARE(p->figureText("LabNetFunds"), QString("834.50"));
    QCOMPARE(p->figureText("LabDebt"), QString("500.00"));
    QCOMPARE(p->figureText("LabTotalDebt"), QString("500.00"));
    QCOMPARE(p->figureText("LabPercent"), QString("45.20%"));
    // Entries of an earlier month leave this month with no income: no ratio, not 0.00%.
    QCOMPARE(p->figureText("LabMonthPercent"), QString("—"));
    QCOMPARE(p->figureText("LabNetWorth"), QString("2,834.50"));
    QVERIFY(p->findChild<QLabel *>("LabDebt")->styleSheet().contains("color"));
    QVERIFY(p->findChild<QLabel *>("LabCash")->styleSheet().isEmpty());
}

void TestMainWindow::windowMenuListsTheOpenWindows()
{
    TestEnvironment env;
    BookStore::createBook("家");
    env.dm()->setCurrentBook("家");
    MainWindow main;
    main.show();
    main.openWindow("TfrmInTable");
    main.openWindow("TfrmOutTable");
    auto *menu = main.findChild<QMenu *>("Win1");
    const auto listed = [menu] {
        emit menu->aboutToShow();
        QStringList out;
        for (QAction *a : menu->actions())
            if (a->objectName() == "WinChild")
                out << a->text() + (a->isChecked() ? "*" : "");
        return out;
    };
    QCOMPARE(listed(), QStringList({"&1 收入", "&2 支出*"}));
    for (QAction *a : menu->actions())
        if (a->text() == "&1 收入")
            a->trigger();
    QCOMPARE(main.mdiArea()->activeSubWindow()->widget()->objectName(), QString("TfrmInTable"));
    QCOMPARE(listed(), QStringList({"&1 收入*", "&2 支出"}));
    main.closeAllChildren();
    QCOMPARE(listed(), QStringList());
    QVERIFY(!main.findChild<QAction *>("WinTile")->isEnabled());

    // A window that closes itself (导入帐单's 退出) takes its frame along: the home
    // page shows again and the menu lists nothing that is gone.
    main.findChild<QAction *>("ImportBills")->trigger();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    Drive::click(Drive::children(&main).first(), "ButExi");
    QTRY_COMPARE(main.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(listed(), QStringList());

    // 帐户管理 is open once: the side bar and the menu bring the open one forward.
    main.findChild<QAction *>("N15")->trigger();
    main.openWindow("TfrmInTable");
    Drive::click(&main, "Side_N15");
    QCOMPARE(listed(), QStringList({"&1 帐户管理*", "&2 收入"}));
}

void TestMainWindow::everyWindowFitsTheFirstSizeOfTheMainWindow()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("家");
    env.dm()->setCurrentBook("家");
    MainWindow main;
    main.show();
    for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
        if (entry.kind == WindowCatalog::Kind::Modal)
            continue;
        QWidget *w = main.openWindow(QString::fromLatin1(entry.className));
        QVERIFY2(w->minimumSizeHint().width() <= main.mdiArea()->width(), entry.className);
        QVERIFY2(w->minimumSizeHint().height() <= main.mdiArea()->height(), entry.className);
        main.closeAllChildren();
    }
}

void TestMainWindow::placeAndColumnWidthsAreRemembered()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("家");
    env.dm()->setCurrentBook("家");
    const QRect place(40, 50, 900, 640);
    int widened = 0;
    {
        MainWindow main;
        main.show();
        main.setGeometry(place);
        // The second column made wider by hand, dragging its right edge.
        auto *grid = Drive::find<QTableView>(main.openWindow("TfrmInTable"), "DBGrid1");
        QHeaderView *header = grid->horizontalHeader();
        const int before = header->sectionSize(1);
        const int edge = header->sectionViewportPosition(1) + header->sectionSize(1) - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QTest::mouseMove(header->viewport(), QPoint(edge + 60, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, y));
        widened = header->sectionSize(1);
        QCOMPARE(widened, before + 60);
        main.findChild<QAction *>("N8")->trigger(); // 退出, Yes by default
    }
    MainWindow again;
    again.show();
    QCOMPARE(again.geometry(), place);
    auto *grid = Drive::find<QTableView>(again.openWindow("TfrmInTable"), "DBGrid1");
    QCOMPARE(grid->horizontalHeader()->sectionSize(1), widened);
    again.closeAllChildren();
}

void TestMainWindow::startsWithNoBookWhenTheFileIsNotOurs()
{
    QTemporaryDir dir;
    QFile junk(dir.path() + "/db.db");
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all");
    junk.close();
    qputenv("QINGHEBU_DATA_DIR", dir.path().toUtf8());
    MessageRecorder messages;
    {
        Workspace dm;
        MainWindow main;
        main.show();
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().icon, QMessageBox::Critical);
        QVERIFY(!main.findChild<QMenu *>("N10")->menuAction()->isVisible());
        QCOMPARE(main.summaryPanel()->figureText("LabCash"), QString("0.00"));
    }
    qunsetenv("QINGHEBU_DATA_DIR");
    QFile after(dir.path() + "/db.db");
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), QByteArray("not a database at all"));
}

void TestMainWindow::secondCopyWarnsAndEnds()
{
    QTemporaryDir dir;
    QLockFile running(dir.path() + "/Account.lock");
    QVERIFY(running.tryLock(0));
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QINGHEBU_UNATTENDED", "1");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(QINGHEBU_PROGRAM), {"--data-dir", dir.path()});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains("警告: 青禾簿 已经打开了！"));
    QVERIFY(!QFile::exists(dir.path() + "/db.db")); // ended before touching any data
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
