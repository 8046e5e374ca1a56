#include "app/MainWindow.h"
#include "core/bills/BillImport.h"
#include "core/bills/BillReader.h"
#include "core/bills/ImportCommand.h"
#include "core/bills/ImportPlan.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "data/Sql.h"
#include "import/ImportModel.h"
#include "import/ImportWindow.h"
#include "support/BillFiles.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMimeData>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QUrl>

// The import window as a person uses it: bills dropped on the main window and
// chosen with 选择帐单文件, the payment methods given their accounts, 导入, and
// 撤销导入 of what it wrote.
class TestImportWindow : public QObject
{
    Q_OBJECT
private slots:
    void importAndUndoThroughTheWindow();
    void theSecondMonthImportsWithNoHandWork();
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

namespace {

// The entries a batch wrote, as BillFiles::HouseholdMonth lists them.
QStringList entriesOf(qint64 batch)
{
    QStringList entries;
    const QString books =
        QStringLiteral(" e join ImportEntry i on i.EntryID=e.ID and i.EntryTable='%1' "
                       "where i.BatchID=%2");
    for (const auto &[table, statement] :
         {std::pair{"OutTable", "select ODate, '支出', OName, OMoney, AName from OutTable"},
          std::pair{"InTable", "select IDate, '收入', IName, IMoney, AName from InTable"}}) {
        QSqlQuery rows = Sql(QString::fromUtf8(statement) + books.arg(table).arg(batch)).exec();
        while (rows.next())
            entries << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(rows.value(0).toString(), rows.value(1).toString(),
                                rows.value(2).toString(),
                                Money::fromVariant(rows.value(3)).toGrouped(),
                                rows.value(4).toString());
    }
    QSqlQuery moves = Sql(QStringLiteral("select CDate, CMoney, OldN, NewN from ChangeT") +
                          books.arg("ChangeT").arg(batch))
                          .exec();
    while (moves.next())
        entries << QStringLiteral("%1 转帐 %2 %3→%4")
                       .arg(moves.value(0).toString(),
                            Money::fromVariant(moves.value(1)).toGrouped(),
                            moves.value(2).toString(), moves.value(3).toString());
    entries.sort();
    return entries;
}

// The grid's line of the row whose 备注 starts so.
int lineOf(ImportWindow *w, const QString &remark)
{
    const QStringList remarks = Drive::column(w, "DBGrid1", "备注");
    for (int i = 0; i < remarks.size(); ++i)
        if (remarks.at(i).startsWith(remark))
            return i;
    return -1;
}

// Chooses in a cell of the grid as its drop-down does, and clicks 以后都这样 beside it.
void chooseAndRemember(ImportWindow *w, const QString &remark, int column, const QString &name)
{
    auto *grid = Drive::find<QTableView>(w, "DBGrid1");
    const int row = lineOf(w, remark);
    QVERIFY2(row >= 0, qPrintable(remark));
    const QModelIndex cell = grid->model()->index(row, column);
    grid->setCurrentIndex(cell);
    QVERIFY(grid->model()->setData(cell, name));
    auto *remember = Drive::find<QPushButton>(w, "ButRemember");
    QVERIFY(remember->isVisible());
    QVERIFY(remember->geometry().left() >= grid->visualRect(cell).right());
    Drive::click(w, "ButRemember");
    QVERIFY(!remember->isVisible());
}

} // namespace

// A household's first month: the payment methods given their accounts, the moves
// between its own accounts given their other sides (in the grid and in 收/付款方式与
// 类别), one category and one account corrected and remembered. The second month,
// with other merchants, amounts and days, then imports with no edit at all: every
// row lands where the household would put it, every balance is the bills', and the
// counts add up to the rows in the window and in the command.
void TestImportWindow::theSecondMonthImportsWithNoHandWork()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    Seed seed(Book);
    for (const char *account : {"余额宝", "花呗", "微信零钱", "招行信用卡"})
        seed.account(account);
    seed.account("招行一卡通", yuan("10000"));
    seed.commit();
    Ledger categories(Book);
    for (const char *name : {"交通", "网购", "人情往来"})
        categories.saveReference("OutD", {{"OName", name}, {"thePY", ""}, {"Remark", ""}});
    categories.saveReference("InD", {{"IName", "人情往来"}, {"thePY", ""}, {"Remark", ""}});
    categories.commit();
    env.dm()->setCurrentBook(Book);
    QTemporaryDir dir;
    const BillFiles::HouseholdMonth april = BillFiles::householdMonth(dir.path(), 1);
    QTemporaryDir mayDir;
    const BillFiles::HouseholdMonth may = BillFiles::householdMonth(mayDir.path(), 2);

    ImportWindow w;
    Drive::showActive(&w);
    w.addFiles(april.files);
    QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(w.plan().lines().size(), april.rows);
    for (const auto &[method, account] :
         std::initializer_list<std::pair<const char *, const char *>>{
             {"Method_余额", "支付宝"},
             {"Method_余额宝", "余额宝"},
             {"Method_花呗", "花呗"},
             {"Method_零钱", "微信零钱"},
             {"Method_招商银行储蓄卡(1234)", "招行一卡通"},
             {"Method_招商银行信用卡(5678)", "招行信用卡"}})
        Drive::choose(&w, method, account);
    // The moves wait, skipped, each saying what it needs.
    const int atm = lineOf(&w, "招商银行 取现");
    QCOMPARE(Drive::column(&w, "DBGrid1", "状态").at(atm), QString("跳过"));
    QCOMPARE(Drive::column(&w, "DBGrid1", "说明").at(atm),
             QString("不计收支：为“取现”选择对方帐户后，以后自动作为转帐导入"));
    // The cash withdrawal's other side chosen in the grid and remembered there.
    chooseAndRemember(&w, "招商银行 取现", ImportModel::ToAccount, "现金");
    QCOMPARE(Drive::column(&w, "DBGrid1", "状态").at(atm), QString("转帐"));
    QCOMPARE(Drive::column(&w, "DBGrid1", "说明").at(atm), QString("转帐：取现 → 现金"));
    // Under the grid too, where it is read without scrolling to its column.
    Drive::clickRow(&w, "DBGrid1", atm);
    QCOMPARE(Drive::text(&w, "LabWhy"), QString("说明：转帐：取现 → 现金"));
    // The others in 收/付款方式与类别.
    for (const auto &[kind, account] : std::initializer_list<std::pair<const char *, const char *>>{
             {"Transfer_余额宝转入", "余额宝"},
             {"Transfer_余额宝转出", "支付宝"},
             {"Transfer_花呗还款", "花呗"},
             {"Transfer_零钱提现", "招行一卡通"},
             {"Transfer_零钱充值", "微信零钱"},
             {"Transfer_信用卡还款", "招行信用卡"},
             {"Transfer_信用卡收到还款", "招行一卡通"}})
        Drive::choose(&w, kind, account);
    // 张记面馆 has no category of its own: 外出就餐, from now on; 余额宝's earnings
    // are paid into 余额宝, whatever the bill says.
    const int noodles = lineOf(&w, "张记面馆");
    QCOMPARE(Drive::column(&w, "DBGrid1", "类别").at(noodles), QString("其他支出"));
    chooseAndRemember(&w, "张记面馆", ImportModel::Category, "外出就餐");
    QCOMPARE(Drive::column(&w, "DBGrid1", "说明").at(noodles),
             QString("规则：张记面馆 → 外出就餐"));
    chooseAndRemember(&w, "余额宝-收益发放", ImportModel::Account, "余额宝");
    QCOMPARE(Drive::column(&w, "GridRules", "包含文字"), QStringList({"余额宝", "张记面馆"}));
    const QStringList statuses = Drive::column(&w, "DBGrid1", "状态");
    QVERIFY2(!statuses.contains("跳过"), qPrintable(statuses.join(' ')));
    Drive::click(&w, "ButImport");
    QVERIFY2(messages.lastText().startsWith("导入了"), qPrintable(messages.lastText()));
    const qint64 aprilBatch = Db::value("select max(ID) from ImportBatch").toLongLong();
    QCOMPARE(entriesOf(aprilBatch), april.entries);

    // May: read, and imported as it is.
    Drive::click(&w, "ButClear");
    w.addFiles(may.files);
    const QStringList mayStatuses = Drive::column(&w, "DBGrid1", "状态");
    QCOMPARE(mayStatuses.count("跳过") + mayStatuses.count("重复"), 0);
    // Every row says where it went and why.
    const QStringList why = Drive::column(&w, "DBGrid1", "说明");
    QVERIFY(!why.contains(QString()));
    QCOMPARE(why.at(lineOf(&w, "饿了么")), QString("商户表：饿了么 → 外出就餐"));
    QCOMPARE(why.at(lineOf(&w, "国网浙江省电力有限公司")), QString("商户表：国网 → 电费"));
    QCOMPARE(why.at(lineOf(&w, "杭州水务集团")), QString("商户表：水务 → 水费"));
    QCOMPARE(why.at(lineOf(&w, "赵六")), QString("商户表：转账 → 人情往来"));
    QVERIFY(why.at(lineOf(&w, "退款：李宁 运动鞋")).startsWith("退还“支付宝交易明细"));
    QCOMPARE(why.at(lineOf(&w, "李宁 运动鞋")), QString("帐单类别：服饰装扮 → 衣服"));
    QCOMPARE(why.at(lineOf(&w, "余额宝-自动转入")), QString("转帐：余额宝转入 → 余额宝"));
    QVERIFY(why.at(lineOf(&w, "财付通 微信零钱提现")).startsWith("与“微信支付账单"));
    // The counts add up to the rows of the files.
    const QString counts = Drive::text(&w, "LabCounts");
    int counted = 0;
    static const QRegularExpression count("(新|重复|跳过|退款|转帐|待确认) (\\d+) 条");
    for (auto m = count.globalMatch(counts.section('\n', 0, 0)); m.hasNext();)
        counted += m.next().captured(2).toInt();
    QCOMPARE(counted, may.rows);
    QVERIFY2(counts.contains("转帐 7 条（转帐 4,750.00，服务费 0.20）"), qPrintable(counts));
    // What the command would do with them says the same.
    QString said;
    {
        QTextStream out(&said), err(&said);
        const QStringList arguments =
            QStringList{"qinghebu-import", "--book", Book, "--password", "480726", "--dry-run"} +
            may.files;
        QCOMPARE(ImportCommand::run(arguments, out, err), 0);
    }
    QVERIFY2(said.contains("合计：" + counts.section('\n', 0, 0).replace("　　", "，")),
             qPrintable(said + "\n" + counts));
    Drive::click(&w, "ButImport");
    QVERIFY2(messages.lastText().contains(QString("转帐 7 条")), qPrintable(messages.lastText()));
    QCOMPARE(entriesOf(aprilBatch + 1), may.entries);
    for (const auto &[account, balance] : may.closing)
        QCOMPARE(Db::balance(Book, account).toGrouped(), balance);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());

    // The apps' bills imported first and the banks' statements later: their copies
    // of the moves and payments are known from the import before, and the month
    // ends the same.
    w.close();
    History::undo(Book);
    const auto importFiles = [](const QStringList &files) {
        Import::Plan plan(Import::Settings::load(Book));
        QList<Bills::Document> documents;
        for (const QString &file : files)
            documents << Bills::readFile(file);
        plan.add(documents);
        Import::write(plan);
        return plan;
    };
    importFiles(may.files.mid(0, 2));
    const Import::Plan banks = importFiles(may.files.mid(2));
    QCOMPARE(int(std::count_if(
                 banks.lines().begin(), banks.lines().end(),
                 [](const Import::Line &l) { return l.status == Import::Status::ToConfirm; })),
             int(mayStatuses.count("待确认")));
    for (const auto &[account, balance] : may.closing)
        QCOMPARE(Db::balance(Book, account).toGrouped(), balance);
}

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
