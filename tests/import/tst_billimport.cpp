#include "core/bills/BillImport.h"
#include "core/bills/BillReader.h"
#include "core/bills/ImportCommand.h"
#include "core/bills/MerchantTable.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "support/BillFiles.h"
#include "support/DiskFull.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using Import::Status;

namespace {

const QString Book = QStringLiteral("家");

QString fixture(const QString &name)
{
    return QStringLiteral(QINGHEBU_FIXTURES "/bills/") + name;
}

Money money(const char *text)
{
    return *Money::parse(QString::fromLatin1(text));
}

// A book with its default rows and the accounts the fixtures' payment methods are.
void makeBook()
{
    BookStore::createBook(Book);
    Seed seed(Book);
    for (const char *account : {"花呗", "微信零钱", "招行信用卡"})
        seed.account(account);
    seed.commit();
    Db::exec("insert into SFamily (FName, thePY) values ('小禾', 'XH')");
    Import::Settings settings = Import::Settings::load(Book);
    for (const auto &[method, account] :
         std::initializer_list<std::pair<const char *, const char *>>{
             {"余额", "支付宝"},
             {"花呗", "花呗"},
             {"招商银行储蓄卡(1234)", "招行一卡通"},
             {"零钱", "微信零钱"},
             {"招商银行信用卡(5678)", "招行信用卡"},
             {"工商银行储蓄卡(6789)", "工行牡丹卡"}})
        settings.setAccount(method, account);
}

Import::Plan planOf(const QStringList &files)
{
    Import::Plan plan(Import::Settings::load(Book));
    QList<Bills::Document> documents;
    for (const QString &file : files)
        documents << Bills::readFile(fixture(file));
    plan.add(documents);
    return plan;
}

QList<Status> statuses(const Import::Plan &plan)
{
    QList<Status> out;
    for (const Import::Line &line : plan.lines())
        out << line.status;
    return out;
}

// The plan's line of the row of this counterparty.
Import::Line lineWith(const Import::Plan &plan, const QString &counterparty)
{
    for (const Import::Line &line : plan.lines())
        if (plan.rowOf(line).counterparty == counterparty)
            return line;
    return Import::Line();
}

Import::Result importFiles(const QStringList &files)
{
    Import::Plan plan = planOf(files);
    return Import::write(plan);
}

int entryCount()
{
    return Db::count("select (select count(*) from InTable) + (select count(*) from OutTable) + "
                     "(select count(*) from ChangeT)");
}

} // namespace

class TestBillImport : public QObject
{
    Q_OBJECT
private slots:
    void rowsBecomeEntriesWithRefundsNetted();
    void theBooksCategoriesRulesAndMembersAreApplied();
    void reimportingAddsNothing();
    void aBankRowOfAnAppPaymentIsToBeConfirmed();
    void weChatRefundsAndAWithdrawalAsATransfer();
    void aFaultInTheMiddleLeavesTheBookAsItWas();
    void undoRestoresBalancesAndTotalsExactly();
    void undoIsRefusedOnceAnEntryChanged();
    void editUndoTakesAnImportBackAsOneAction();
    void editUndoOfAnImportIsRefusedOnceAnEntryChanged();
    void editRedoOfAnImportIsRefusedWhereItsEntriesWere();
    void theCommandImportsLikeTheWindow();
    void aFullDiskLeavesTheDataFileAsItWas();
    void theCommandUsesTheProgramsDataFolderOrSaysWhyNot();
    void aFileOfTheLayoutBeforeGetsTheImportTables();
    void theMerchantTableFindsTheLongestKeyword();
    void theMerchantTableComesAfterTheUsersRules();
    void aFileOfTheLayoutBeforeKeepsItsRules();
};

void TestBillImport::rowsBecomeEntriesWithRefundsNetted()
{
    TestEnvironment env;
    makeBook();
    // The fallback category is made when the book lacks it.
    Db::exec("delete from OutD where OName='其他支出'");
    Import::Plan plan = planOf({"alipay.csv"});
    using S = Status;
    QCOMPARE(statuses(plan), (QList<Status>{S::Refund, S::Skipped, S::Skipped, S::New, S::New,
                                            S::New, S::New, S::Skipped, S::New, S::New}));
    const Import::Result result = Import::write(plan);
    QCOMPARE(result.entries, 7);
    QCOMPARE(Db::count("select count(*) from ImportEntry where BatchID=?", {result.batch}), 7);
    // Amounts to the unit; the partial refund nets the coat in its category and account.
    QCOMPARE(Money::fromVariant(Db::value("select sum(OMoney) from OutTable where OName='衣服'")),
             money("149"));
    QCOMPARE(Db::value("select Remark from OutTable where OMoney<0").toString(),
             QString("退款：美丽衣橱 春季外套"));
    QCOMPARE(Db::balance(Book, "招行一卡通"), money("-167.20"));
    QCOMPARE(Db::balance(Book, "支付宝"), money("87.66")); // +200 -100 -12.34
    QCOMPARE(Db::balance(Book, "花呗"), money("-35.50"));
    QCOMPARE(Db::value("select IName from InTable where IMoney=2000000").toString(),
             QString("亲属赠予金"));
    QCOMPARE(Db::value("select OName from OutTable where Remark like '文具店%'").toString(),
             QString("其他支出"));
    QCOMPARE(Db::value("select thePY from OutD where OName='其他支出'").toString(),
             QString("QTZC"));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
}

void TestBillImport::theBooksCategoriesRulesAndMembersAreApplied()
{
    TestEnvironment env;
    makeBook();
    Import::Settings settings = Import::Settings::load(Book);
    settings.setCategory("交通出行", true, "汽油费");
    settings.addRule({0, "美团", "食品", "", "小禾", ""});
    Import::Plan plan = planOf({"alipay.csv"});
    plan.setMember("");
    const auto lineOf = [&](const QString &counterparty) { return lineWith(plan, counterparty); };
    QCOMPARE(lineOf("美团").category, QString("食品"));
    QCOMPARE(lineOf("美团").member, QString("小禾"));
    QCOMPARE(lineOf("滴滴出行").category, QString("汽油费"));
    QVERIFY(lineOf("文具店").categoryFallback);
    // A rule applies before the book's mapping, and to what is read later too.
    settings.addRule({0, "滴滴", "公共汽车费", "", "", ""});
    QCOMPARE(planOf({"alipay.csv"}).lines().at(4).category, QString("公共汽车费"));
    // What the user set by hand stays when the settings change.
    Import::Plan edited = planOf({"alipay.csv"});
    edited.line(4).category = "旅游度假";
    edited.line(4).ownCategory = true;
    edited.settings().removeRule(edited.settings().rules().first().id);
    edited.remap();
    QCOMPARE(edited.lines().at(4).category, QString("旅游度假"));
    QCOMPARE(Import::Settings::load(Book).rules().size(), 1);
}

void TestBillImport::reimportingAddsNothing()
{
    TestEnvironment env;
    makeBook();
    importFiles({"alipay.csv", "wechat.csv"});
    const int entries = entryCount();
    // The same files again, and read twice in one go (an overlapping file).
    Import::Plan again = planOf({"alipay.csv", "alipay.csv", "wechat.csv"});
    QCOMPARE(again.chosenCount(), 0);
    QCOMPARE(again.tally()[int(Status::Duplicate)].count, 7 + 10 + 7);
    QCOMPARE(again.lines().at(10).why, QString("以前已导入"));
    QCOMPARE(again.lines().at(11).why, QString("与“alipay.csv”第 27 行相同"));
    QVERIFY_THROWS_EXCEPTION(DbError, Import::write(again));
    QCOMPARE(entryCount(), entries);
}

void TestBillImport::aBankRowOfAnAppPaymentIsToBeConfirmed()
{
    TestEnvironment env;
    makeBook();
    Import::Settings::load(Book).setAccount("招商银行储蓄卡(1234)", "招行一卡通");
    // Read together: the card payments of 支付宝 and 微信 are in the banks' files too.
    using S = Status;
    QCOMPARE(statuses(planOf({"alipay.csv", "cmb-debit.csv"})).mid(10),
             (QList<Status>{S::ToConfirm, S::ToConfirm, S::New, S::Skipped, S::ToConfirm}));
    QCOMPARE(statuses(planOf({"cmb-credit.csv", "wechat.csv"})).mid(0, 4),
             (QList<Status>{S::New, S::Skipped, S::ToConfirm, S::ToConfirm}));
    // The app's bill imported before: the bank's rows read later are matched too.
    importFiles({"alipay.csv"});
    Import::Plan later = planOf({"cmb-debit.csv"});
    QCOMPARE(statuses(later),
             (QList<Status>{S::ToConfirm, S::ToConfirm, S::New, S::Skipped, S::ToConfirm}));
    QVERIFY(!later.lines().first().chosen);
    QCOMPARE(later.lines().first().why, QString("与以前导入的支付宝或微信记录是同一笔付款"));
}

void TestBillImport::weChatRefundsAndAWithdrawalAsATransfer()
{
    TestEnvironment env;
    makeBook();
    Import::Plan plan = planOf({"wechat.csv"});
    const QList<Import::Line> &lines = plan.lines();
    // The full refund nets the milk tea; the partial one the washing machine, on its card.
    QCOMPARE(lines.at(0).status, Status::Refund);
    QCOMPARE(lines.at(0).purchase, 1);
    QCOMPARE(lines.at(0).amount, money("-15"));
    QCOMPARE(lines.at(4).purchase, 5);
    QCOMPARE(lines.at(4).account, QString("招行信用卡"));
    // The withdrawal: 零钱 to the card, when chosen, with its fee as an expense.
    Import::Line &withdrawal = plan.line(3);
    QCOMPARE(withdrawal.kind, Import::Kind::Transfer);
    QVERIFY(!withdrawal.chosen && Import::Plan::choosable(withdrawal));
    QCOMPARE(withdrawal.account, QString("微信零钱"));
    // 招商银行(1234) is the card the book maps; without an account it cannot be written.
    QCOMPARE(withdrawal.toAccount, QString("招行一卡通"));
    withdrawal.chosen = true;
    withdrawal.toAccount.clear();
    withdrawal.ownToAccount = true;
    QVERIFY(plan.refusal().contains("是转帐：请选择它的帐户和转入帐户"));
    withdrawal.toAccount = "招行一卡通";
    // What it says adds up to the bill's nine rows: the transfer as 转帐, with its fee.
    QCOMPARE(
        Import::resultText(Import::write(plan)),
        QString("导入了 8 条记录：新 5 条（支出 1,800.96，收入 66.66），转帐 1 条（转帐 "
                "100.00，服务费 0.10），退款 2 条（支出 -72.80）。\n没有导入 1 条：跳过 1 条。"));
    QCOMPARE(Db::balance(Book, "微信零钱"), money("-533.44")); // +66.66 -15 +15 -500 -100 -0.10
    QCOMPARE(Db::balance(Book, "招行一卡通"), money("71.84")); // +100 -28.16
    QCOMPARE(Db::balance(Book, "招行信用卡"), money("-1200"));
    QCOMPARE(Db::value("select OName from OutTable where OMoney=1000").toString(),
             QString("银行手续费"));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
}

void TestBillImport::aFaultInTheMiddleLeavesTheBookAsItWas()
{
    TestEnvironment env;
    makeBook();
    Import::Plan plan = planOf({"alipay.csv"});
    const QStringList before = Db::dump();
    // The disk gives out at the fourth expense.
    Db::exec("create trigger fault before insert on OutTable when (select count(*) from OutTable) "
             ">= 3 begin select raise(abort, 'disk I/O error'); end");
    QVERIFY_THROWS_EXCEPTION(DbError, Import::write(plan));
    Db::exec("drop trigger fault");
    QCOMPARE(Db::dump(), before);
    // An account renamed in another window meanwhile: refused by the ledger, nothing kept.
    Ledger other(Book);
    other.saveReferenceEdit("SAccount", Db::value("select ID from SAccount where AName='花呗'"),
                            {{"AName", "花呗（旧）"}});
    other.commit();
    const QStringList renamed = Db::dump();
    try {
        Import::write(plan);
        QFAIL("the import must be refused");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains("帐户“花呗”已不存在"), qPrintable(e.message()));
    }
    QCOMPARE(Db::dump(), renamed);
}

void TestBillImport::undoRestoresBalancesAndTotalsExactly()
{
    TestEnvironment env;
    makeBook();
    importFiles({"wechat.csv"});
    const QStringList before = BillFiles::bookRows();
    const Import::Result result = importFiles({"alipay.csv", "icbc.csv"});
    QVERIFY(BillFiles::bookRows() != before);
    Import::undo(Book, result.batch);
    QCOMPARE(BillFiles::bookRows(), before);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    // The bills can be imported again.
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 7);
}

void TestBillImport::undoIsRefusedOnceAnEntryChanged()
{
    TestEnvironment env;
    makeBook();
    const Import::Result result = importFiles({"alipay.csv"});
    const QVariant edited = Db::value("select ID from OutTable where Remark like '美团%'");
    {
        Ledger ledger(Book);
        ledger.saveEdit(Ledger::expense(), edited, {{"OMoney", money("36").toVariant()}});
        ledger.commit();
    }
    const QStringList before = Db::dump();
    try {
        Import::undo(Book, result.batch);
        QFAIL("the undo must be refused");
    } catch (const DbError &e) {
        QVERIFY2(e.message().startsWith("不能撤销这次导入：其中 1 条记录导入后已被修改或删除（如 "
                                        "2024-03-10 的一条记录已修改）"),
                 qPrintable(e.message()));
    }
    QCOMPARE(Db::dump(), before);
}

void TestBillImport::editUndoTakesAnImportBackAsOneAction()
{
    TestEnvironment env;
    makeBook();
    const QStringList before = BillFiles::bookRows();
    const Import::Result result = importFiles({"alipay.csv"});
    const QStringList imported = BillFiles::bookRows();
    QVERIFY(History::undoable(Book)->description.startsWith("导入帐单 7 条 alipay.csv"));
    // Kept in the history as its batch, not entry by entry.
    const char *const rowsOfLast =
        "select count(*) from HistoryRow where HistoryID=(select max(ID) from History)";
    QCOMPARE(Db::count(rowsOfLast), 1);
    History::undo(Book);
    QCOMPARE(BillFiles::bookRows(), before);
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 7);
    History::redo(Book);
    QCOMPARE(BillFiles::bookRows(), imported);
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 0);
    // 撤销导入 is an action too: undone, the batch is back and its rows are duplicates.
    Import::undo(Book, result.batch);
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 7);
    QCOMPARE(Db::count("select count(*) from (" + History::binnedRows() + ")"), 0);
    History::undo(Book);
    QCOMPARE(BillFiles::bookRows(), imported);
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 0);
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
    History::redo(Book);
    QCOMPARE(BillFiles::bookRows(), before);
    QCOMPARE(planOf({"alipay.csv"}).chosenCount(), 7);
    QCOMPARE(Db::count(rowsOfLast), 1);
}

void TestBillImport::editRedoOfAnImportIsRefusedWhereItsEntriesWere()
{
    TestEnvironment env;
    makeBook();
    importFiles({"alipay.csv"});
    History::undo(Book);
    // A row written since under the key of one of its entries, by another program:
    // written by hand, as the ledger gives every new row a key of its own.
    Db::exec(
        "insert into OutTable (ID, BName, ODate, OName, OMoney, AName) select EntryID, "
        "BName, '2024-01-01', '食品', 100, '现金' from ImportEntry where EntryTable='OutTable' "
        "limit 1");
    const QStringList before = Db::dump();
    QVERIFY_THROWS_EXCEPTION(DbError, History::redo(Book));
    QCOMPARE(Db::dump(), before);
}

void TestBillImport::editUndoOfAnImportIsRefusedOnceAnEntryChanged()
{
    TestEnvironment env;
    makeBook();
    importFiles({"alipay.csv"});
    // Changed where the history does not see it (another program, an older version):
    // written by hand, as the ledger keeps every change in the history.
    Db::exec("update OutTable set Remark='改过' where Remark like '美团%'");
    const QStringList before = Db::dump();
    try {
        History::undo(Book);
        QFAIL("the undo must be refused");
    } catch (const DbError &e) {
        QVERIFY2(e.message().startsWith("不能撤销这次导入：其中 1 条记录导入后已被修改或删除"),
                 qPrintable(e.message()));
    }
    QCOMPARE(Db::dump(), before);
}

void TestBillImport::theCommandImportsLikeTheWindow()
{
    TestEnvironment env;
    BookStore::createBook(Book);
    QTemporaryDir dir;
    const QString zip = dir.filePath("微信支付账单.zip");
    QFile csv(fixture("wechat.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    BillFiles::writeZip(zip, {{"微信支付账单(20250501-20250531).csv", csv.readAll()}},
                        BillFiles::Encryption::Aes256, "246810");
    const auto run = [&](QStringList args, QString *output = nullptr) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = ImportCommand::run(
            QStringList{"qinghebu-import", "--book", Book, "--password", "480726"} + args,
            outStream, errStream);
        if (output)
            *output = out + err;
        return status;
    };
    QString said;
    const QStringList files{fixture("alipay.csv"), "--zip-password", "246810", zip};
    QCOMPARE(run(files, &said), 2);
    QVERIFY2(
        said.contains("这些收/付款方式还没有对应的帐户：招商银行储蓄卡(1234)、花呗、余额、零钱"),
        qPrintable(said));
    // Nothing imported, nothing kept: not even the accounts given.
    const QStringList untouched = Db::dump();
    QCOMPARE(run(QStringList{"--account", "花呗=现金"} + files, &said), 2);
    QCOMPARE(Db::dump(), untouched);
    QCOMPARE(run({"--password", "x", fixture("alipay.csv")}, &said), 1);
    QCOMPARE(said, QString("密码错误：帐簿“家”没有打开。\n"));
    const QStringList accounts{"--account", "招商银行储蓄卡(1234)=招行一卡通",
                               "--account", "花呗=现金",
                               "--account", "余额=支付宝",
                               "--account", "零钱=现金",
                               "--account", "招商银行信用卡(5678)=现金"};
    // A re-saved bill or one of another kind among them: refused, nothing written.
    const QStringList before = Db::dump();
    for (const char *refused : {"alipay-resaved.csv", "contacts.csv"}) {
        QCOMPARE(run(accounts + files + QStringList{fixture(refused)}, &said), 1);
        QVERIFY2(said.contains(QStringLiteral("文件“%1”").arg(refused)), qPrintable(said));
        QCOMPARE(Db::dump(), before);
    }
    QCOMPARE(run(accounts + QStringList{"--dry-run"} + files, &said), 0);
    QVERIFY2(said.contains("（试运行，没有写入）\n合计：新 "), qPrintable(said));
    QCOMPARE(entryCount(), 0);
    QCOMPARE(run(accounts + files, &said), 0);
    QCOMPARE(
        said,
        QString("alipay.csv：新增 6 条，重复 0 条，跳过 3 条，退款 1 条\n"
                "微信支付账单.zip 中的 微信支付账单(20250501-20250531).csv：新增 5 条，"
                "重复 0 条，跳过 2 条，退款 2 条\n"
                "合计：新 11 条（支出 2,166.00，收入 266.66），重复 0 条，跳过 5 条（转帐 "
                "1,300.00，服务费 0.10），退款 3 条（支出 -122.80），转帐 0 条，待确认 0 条\n"));
    QCOMPARE(entryCount(), 14);
    // Remembered: the accounts need not be given again, and nothing is imported twice.
    QCOMPARE(run(files, &said), 0);
    QCOMPARE(entryCount(), 14);
    QVERIFY(said.startsWith("alipay.csv：新增 0 条，重复 7 条"));
}

void TestBillImport::aFullDiskLeavesTheDataFileAsItWas()
{
    DiskFull disk;
    TestEnvironment env;
    makeBook();
    // Enough rows that the data file must grow to hold them, and a cache too small to
    // hold them until the commit (as a big import's): pages go to the file meanwhile.
    Db::exec("PRAGMA cache_size = 50");
    QStringList rows;
    for (int i = 0; i < 600; ++i)
        rows << QStringLiteral("餐饮美食,美团,/,外卖,支出,%1.50,花呗,交易成功,2024030510%2\t,/,/,")
                    .arg(i % 90 + 10)
                    .arg(i, 4, 10, QLatin1Char('0'));
    QTemporaryDir dir;
    QFile bill(dir.filePath("alipay.csv"));
    QVERIFY(bill.open(QIODevice::WriteOnly) && bill.write(BillFiles::alipayBill(rows)) > 0);
    bill.close();
    const QString data = env.dm()->databasePath();
    QFile file(data);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    disk.fill();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(ImportCommand::run(
                 {"qinghebu-import", "--book", Book, "--password", "480726", bill.fileName()},
                 outStream, errStream),
             1);
    QVERIFY2(err.contains("磁盘空间已满"), qPrintable(err));
    // Rolled back before the command ends: the file alone is as it was, no journal
    // left that it would need.
    QVERIFY(!QFile::exists(data + "-journal"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
}

void TestBillImport::theCommandUsesTheProgramsDataFolderOrSaysWhyNot()
{
    QTemporaryDir home;
    const QString programs = home.filePath("share/Qinghebu/qinghebu");
    {
        TestEnvironment env;
        makeBook();
        QVERIFY(QDir().mkpath(programs));
        QVERIFY(QFile::copy(env.dm()->databasePath(), programs + "/db.db"));
    }
    // The command as a script runs it, where the program keeps its data.
    const auto run = [&](const QStringList &args, QString *said) {
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QINGHEBU_DATA_DIR");
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("share"));
        command.setProcessEnvironment(environment);
        command.start(QINGHEBU_IMPORT, args + QStringList{"--book", Book, "--password", "480726",
                                                          "--dry-run", fixture("alipay.csv")});
        command.waitForFinished();
        *said = QString::fromUtf8(command.readAllStandardOutput() + command.readAllStandardError());
        return command.exitCode();
    };
    QString said;
    QCOMPARE(run({}, &said), 0);
    QVERIFY2(said.startsWith("alipay.csv：新增 6 条"), qPrintable(said));
    // A folder that is not there is not made; one held by the program is said so.
    const QString missing = home.filePath("没有的文件夹");
    QCOMPARE(run({"--data-dir", missing}, &said), 1);
    QCOMPARE(said,
             QStringLiteral("数据文件夹 %1 不存在：请用 --data-dir 指定青禾簿的数据文件夹。\n")
                 .arg(QDir::toNativeSeparators(missing)));
    QVERIFY(!QFileInfo::exists(missing));
    {
        QLockFile running(programs + "/Account.lock");
        QVERIFY(running.tryLock(0));
        QCOMPARE(run({}, &said), 1);
        QVERIFY2(said.contains("正被青禾簿使用"), qPrintable(said));
    }
    // A full disk is no program running.
    FullFolder full;
    if (!full.isActive())
        QSKIP("a full file system cannot be mounted here");
    QCOMPARE(run({"--data-dir", full.path()}, &said), 1);
    QVERIFY2(said.contains("所在的磁盘已满"), qPrintable(said));
}

void TestBillImport::aFileOfTheLayoutBeforeGetsTheImportTables()
{
    TestEnvironment env;
    // The layout before: no import tables.
    for (const char *table :
         {"ImportAccount", "ImportCategory", "ImportRule", "ImportBatch", "ImportEntry"})
        Db::exec(QStringLiteral("drop table %1").arg(QLatin1String(table)));
    Db::exec("PRAGMA user_version = 4");
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QCOMPARE(Schema::checkOwnDatabase(env.dm()->database(), true), QString());
    QCOMPARE(Db::count("select count(*) from sqlite_master where name='idx_ImportEntry_book_key'"),
             1);
    makeBook();
    importFiles({"alipay.csv"});
    QCOMPARE(Db::count("select count(*) from ImportEntry"), 7);
}

void TestBillImport::theMerchantTableFindsTheLongestKeyword()
{
    const Import::MerchantTable table = Import::MerchantTable::parse(
        "# 说明\n美团\t外出就餐\n美团外卖\t外出就餐|食品\n电费\t电费\n工资\t\t工资\n\n");
    QCOMPARE(table.entries().size(), 4);
    QCOMPARE(table.match({"美团外卖-黄焖鸡"}, true)->keyword, QString("美团外卖"));
    QCOMPARE(table.match({"美团", "美团外卖"}, true)->expense, QStringList({"外出就餐", "食品"}));
    // Of two keywords as long, the one in the earlier text (the counterparty).
    QCOMPARE(table.match({"美团", "电费"}, true)->keyword, QString("美团"));
    // An entry with no category for the side is no match there.
    QVERIFY(!table.match({"代发工资"}, true));
    QCOMPARE(table.match({"代发工资"}, false)->income, QStringList({"工资"}));
    QVERIFY(!table.match({"文具店"}, true));
    // The program's own file: 充值缴费 split by what was paid for.
    TestEnvironment env;
    makeBook();
    const Import::Settings settings = Import::Settings::load(Book);
    for (const auto &[goods, category] :
         std::initializer_list<std::pair<const char *, const char *>>{
             {"国家电网 电费", "电费"},
             {"自来水 水费", "水费"},
             {"燃气费", "煤气费"},
             {"中国移动 话费充值", "手机费"}})
        QCOMPARE(settings.merchantCategory({"", goods, "充值缴费"}, true).category,
                 QString(category));
    QVERIFY(Import::MerchantTable::builtIn().entries().size() > 50);
}

// A keyword of the table never overrides a rule of the user's, nor the user's own
// choice for an app category; it comes before the program's choice for it.
void TestBillImport::theMerchantTableComesAfterTheUsersRules()
{
    TestEnvironment env;
    makeBook();
    Import::Settings settings = Import::Settings::load(Book);
    settings.addRule({0, "美团", "食品", "", "", ""});
    Import::Plan plan = planOf({"alipay.csv"});
    const auto lineOf = [&](const QString &counterparty) { return lineWith(plan, counterparty); };
    QCOMPARE(lineOf("美团").category, QString("食品"));
    QCOMPARE(Import::explanation(lineOf("美团")), QString("规则：美团 → 食品"));
    QCOMPARE(Import::explanation(lineOf("中国移动")), QString("商户表：中国移动 → 手机费"));
    QCOMPARE(Import::explanation(lineOf("滴滴出行")), QString("商户表：滴滴 → 公共汽车费"));
    QCOMPARE(Import::explanation(lineOf("文具店")),
             QString("帐单类别“其他”没有对应的类别，暂记为其他支出"));
    settings.setCategory("交通出行", true, "汽油费");
    plan = planOf({"alipay.csv"});
    QCOMPARE(Import::explanation(lineOf("滴滴出行")), QString("帐单类别：交通出行 → 汽油费"));
}

// A data file of the layout before: its rules stay, and give no account.
// A file the version before wrote, with rules and payment methods of its own:
// its rules come with no account and keep applying, and may be given one.
void TestBillImport::aFileOfTheLayoutBeforeKeepsItsRules()
{
    TestEnvironment env;
    env.replaceDataFile("written-by-layout-7.db");
    QVERIFY(env.dm()->reopen());
    QCOMPARE(Db::value("PRAGMA user_version").toInt(), Schema::UserVersion);
    QCOMPARE(Schema::checkOwnDatabase(env.dm()->database(), true), QString());
    const QString book = "我的帐簿";
    Import::Settings settings = Import::Settings::load(book);
    QCOMPARE(settings.rules().size(), 2);
    Import::Rule rule;
    for (const Import::Rule &kept : settings.rules()) {
        QVERIFY(kept.account.isEmpty());
        if (kept.pattern == "美团")
            rule = kept;
    }
    QCOMPARE(rule.expenseCategory, QString("食品"));
    QCOMPARE(settings.account("余额"), QString("支付宝"));
    rule.account = "招行一卡通";
    settings.updateRule(rule);
    Import::Plan plan(Import::Settings::load(book));
    plan.add({Bills::readFile(fixture("alipay.csv"))});
    const Import::Line meituan = lineWith(plan, "美团");
    QCOMPARE(meituan.category, QString("食品"));
    QCOMPARE(meituan.account, QString("招行一卡通"));
    QCOMPARE(MonthTotals::differences(env.dm()->database()), QStringList());
}

QTEST_MAIN(TestBillImport)
#include "tst_billimport.moc"
