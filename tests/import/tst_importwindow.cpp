#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "import/ImportWindow.h"
#include "support/BillFiles.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

// The import window as a person uses it: bills dropped on the main window and
// chosen with 选择帐单文件, the payment methods given their accounts, 导入, and
// 撤销导入 of what it wrote.
class TestImportWindow : public QObject
{
    Q_OBJECT
private slots:
    void importAndUndoThroughTheWindow();
};

namespace {

const QString Book = QStringLiteral("家");

QString fixture(const QString &name)
{
    return QStringLiteral(QINGHEBU_FIXTURES "/bills/") + name;
}

void dropOn(QWidget *window, const QString &file)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
}

} // namespace

void TestImportWindow::importAndUndoThroughTheWindow()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    Seed seed(Book);
    seed.account("花呗");
    seed.commit();
    env.dm()->setCurrentBook(Book);
    MainWindow main;
    Drive::showActive(&main);

    // A 支付宝 bill dropped on the main window opens the window with its rows.
    dropOn(&main, fixture("alipay.csv"));
    QCOMPARE(Drive::children(&main).size(), 1);
    auto *w = qobject_cast<ImportWindow *>(Drive::children(&main).first());
    QVERIFY(w);
    QCOMPARE(Drive::column(w, "DBGrid1", "状态"),
             QStringList({"退款", "跳过", "跳过", "新", "新", "新", "新", "跳过", "新", "新"}));
    // A 微信 bill chosen besides it.
    const ImportWindow::FileChooser platformChooser = ImportWindow::chooseFiles;
    ImportWindow::chooseFiles = [](QWidget *, const QString &, const QString &, const QString &) {
        return QStringList{fixture("wechat.csv")};
    };
    Drive::click(w, "ButOpen");
    ImportWindow::chooseFiles = platformChooser;
    QVERIFY(w->plan().lines().size() > 10);
    QVERIFY2(Drive::text(w, "LabCounts").startsWith("新 "),
             qPrintable(Drive::text(w, "LabCounts")));

    // 导入 is refused while a payment method has no account; the window shows where
    // they are given, once for the book.
    const QStringList nothingWritten = Db::dump();
    Drive::click(w, "ButImport");
    QVERIFY2(messages.lastText().contains("余额"), qPrintable(messages.lastText()));
    QCOMPARE(Db::dump(), nothingWritten);
    QCOMPARE(Drive::find<QTabWidget>(w, "Tabs")->currentIndex(), 1);
    Drive::choose(w, "Method_余额", "支付宝");
    Drive::choose(w, "Method_花呗", "花呗");
    Drive::choose(w, "Method_招商银行储蓄卡(1234)", "招行一卡通");
    Drive::choose(w, "Method_零钱", "现金");
    Drive::choose(w, "Method_招商银行信用卡(5678)", "工行牡丹卡");
    QVERIFY(Drive::column(w, "DBGrid1", "帐户").contains("招行一卡通"));

    // The import runs on a worker: the open 帐户管理 and the budget's warning hear of
    // it on the screen's thread once it is committed.
    QTest::failOnWarning(QRegularExpression("thread"));
    Budget::setAmount(Book, "", {"2024-03"}, yuan("100"));
    const QStringList before = BillFiles::bookRows();
    const Money cash = Db::balance(Book, "现金"), alipay = Db::balance(Book, "支付宝");
    const int chosen = w->plan().chosenCount();
    const QStringList statuses = Drive::column(w, "DBGrid1", "状态");
    main.findChild<QAction *>("N15")->trigger();
    QWidget *accounts = Drive::children(&main).last();
    const auto shownBalance = [accounts](const QString &account) {
        const int row = Drive::column(accounts, "DBGrid1", "帐户名称").indexOf(account);
        return Drive::column(accounts, "DBGrid1", "帐户余额").value(row);
    };
    QCOMPARE(shownBalance("支付宝"), alipay.toShown());
    Drive::click(w, "ButImport");
    QCOMPARE(shownBalance("支付宝"), (alipay + *Money::parse("87.66")).toShown());
    QVERIFY2(main.statusBar()->currentMessage().contains("超出预算：其余支出 2024-03"),
             qPrintable(main.statusBar()->currentMessage()));
    QVERIFY2(messages.lastText().startsWith(QString("导入了 %1 条记录").arg(chosen)),
             qPrintable(messages.lastText()));
    QCOMPARE(Db::count("select count(*) from ImportEntry"), chosen);
    // 支付宝's balance: 红包 200 in, 话费 100 and 签字笔 12.34 out; the refund of the
    // closed purchase skipped.
    QCOMPARE(Db::balance(Book, "支付宝"), alipay + *Money::parse("87.66"));
    QVERIFY(Db::balance(Book, "现金") != cash);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    // Read again, every row is one imported before.
    QVERIFY(!Drive::column(w, "DBGrid1", "状态").contains("新"));

    // 编辑 → 撤销 takes the import back: the window lists it no more, its rows are new
    // again; 重做 brings both back.
    const QStringList imported = BillFiles::bookRows();
    QCOMPARE(Drive::column(w, "GridBatches", "记录数").size(), 1);
    Drive::trigger(&main, "N50");
    QCOMPARE(BillFiles::bookRows(), before);
    QCOMPARE(Drive::column(w, "GridBatches", "记录数").size(), 0);
    QCOMPARE(Drive::column(w, "DBGrid1", "状态"), statuses);
    Drive::trigger(&main, "N51");
    QCOMPARE(BillFiles::bookRows(), imported);
    QCOMPARE(Drive::column(w, "GridBatches", "记录数").size(), 1);
    QVERIFY(!Drive::column(w, "DBGrid1", "状态").contains("新"));

    // 撤销导入 of the batch restores the balances and the kept totals exactly.
    Drive::find<QTabWidget>(w, "Tabs")->setCurrentIndex(2);
    Drive::clickRow(w, "GridBatches", 0);
    messages.answer(QMessageBox::Yes);
    Drive::click(w, "ButUndo");
    QCOMPARE(messages.lastText(), QString("这次导入已撤销。"));
    QCOMPARE(BillFiles::bookRows(), before);
    // The rows are new again.
    QCOMPARE(Drive::column(w, "DBGrid1", "状态"), statuses);
    main.closeAllChildren();
}

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
