#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/books/Password.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "core/sync/Exchange.h"
#include "data/Background.h"
#include "data/Sql.h"
#include "support/TestSupport.h"
#include "sync/SyncRunner.h"
#include "sync/SyncSetupDialog.h"
#include "sync/SyncWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

// The household sync as the user meets it: the set-up dialog on two computers, the
// 同步 window, and the exchanges the program runs by itself.
class TestSyncWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void twoComputersSetUpThroughTheDialog();
    void aJoinRefusedWritesNothingAndATakenNameIsAskedFor();
    void theSyncWindowShowsTheOthersAndSyncsNow();
    void anActionIsWrittenOutByItself();
};

namespace {

const QString Book = "家";
const QString HouseholdPassword = "我们全家的密码";

// Two computers of a household, each with its own data folder, on one sync folder
// (a sync service that carries every file at once).
class Household
{
public:
    ~Household() { m_workspace.reset(); }
    void use(int k)
    {
        if (k == m_current)
            return;
        m_workspace.reset();
        qputenv("QINGHEBU_DATA_DIR", m_data[k].path().toUtf8());
        m_workspace = std::make_unique<Workspace>();
        m_current = k;
    }
    static QString name(int k) { return k == 0 ? "客厅台式机" : "书房笔记本"; }
    QString sync() const { return m_sync.path(); }
    // Computer 0 shares the book, computer 1 joins.
    void setUp()
    {
        use(0);
        BookStore::createBook(Book);
        Sync::setUpFirst(sync(), HouseholdPassword, name(0), {Book});
        use(1);
        Sync::join(sync(), HouseholdPassword, name(1));
    }

private:
    QTemporaryDir m_data[2], m_sync;
    std::unique_ptr<Workspace> m_workspace;
    int m_current = -1;
};

void fillIn(QWidget *dialog, const QString &folder, const QString &computer,
            const QString &password)
{
    Drive::setText(dialog, "EditFolder", QDir::toNativeSeparators(folder));
    Drive::setText(dialog, "EditComputer", computer);
    Drive::setText(dialog, "EditPass", password);
}

// Answers the next dialog named `name` with `text` once it is up (a progress dialog
// may come first).
void answerInput(const QString &name, const QString &text)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *input = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!input || input->objectName() != name)
            return;
        timer->stop();
        timer->deleteLater();
        input->setTextValue(text);
        input->accept();
    });
    timer->start();
}

QVariant spend(const char *amount, const QString &remark)
{
    Ledger ledger(Book);
    ledger.setWindow("支出");
    const QVariant key = ledger.save(Ledger::expense(), {{"ODate", "2026-12-01"},
                                                         {"OName", "食品"},
                                                         {"OMoney", yuan(amount).toVariant()},
                                                         {"AName", "现金"},
                                                         {"FName", ""},
                                                         {"Remark", remark}});
    ledger.commit();
    return key;
}

void editAmount(const QString &remark, const char *amount)
{
    Ledger ledger(Book);
    ledger.saveEdit(Ledger::expense(),
                    Db::value("select ID from OutTable where Remark=?", {remark}),
                    {{"OMoney", yuan(amount).toVariant()}});
    ledger.commit();
}

int filesOf(const QString &folder)
{
    return int(QDir(folder).entryList(QDir::Files).size());
}

} // namespace

void TestSyncWindows::initTestCase()
{
    Password::setIterations(1000);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QDir::tempPath());
}

void TestSyncWindows::twoComputersSetUpThroughTheDialog()
{
    Household home;
    MessageRecorder messages;
    home.use(0);
    BookStore::createBook(Book);
    BookStore::createBook("私房钱");
    {
        SyncSetupDialog dialog;
        fillIn(&dialog, home.sync(), home.name(0), HouseholdPassword);
        // The passwords must agree and a book must be ticked; nothing is set up before.
        Drive::setText(&dialog, "EditPass2", "别的密码");
        Drive::click(&dialog, "ButOK");
        QCOMPARE(messages.lastText(), QString("两次输入的家庭同步密码不一致。"));
        Drive::setText(&dialog, "EditPass2", HouseholdPassword);
        Drive::click(&dialog, "ButOK");
        QCOMPARE(messages.lastText(), QString("请至少勾选一个要共享的帐簿。"));
        QVERIFY(!Sync::isSetUp());
        auto *books = Drive::find<QListWidget>(&dialog, "ListBooks");
        books->findItems(Book, Qt::MatchExactly).value(0)->setCheckState(Qt::Checked);
        Drive::click(&dialog, "ButOK");
        QVERIFY2(messages.lastText().contains("已加入家庭同步"), qPrintable(messages.lastText()));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Sync::computerName(), home.name(0));
    QCOMPARE(Db::value("select BName from SyncShare").toString(), Book);
    spend("12.5", "第一台记的");
    Sync::exchange();

    // Set up, the dialog shows it and shares one more book.
    {
        SyncSetupDialog dialog;
        QCOMPARE(Drive::find<QLabel>(&dialog, "LabComputer")->text(), home.name(0));
        auto *books = Drive::find<QListWidget>(&dialog, "ListBooks");
        QVERIFY(!(books->item(0)->flags() & Qt::ItemIsEnabled)); // shared already
        books->item(1)->setCheckState(Qt::Checked);
        Drive::click(&dialog, "ButOK");
        QVERIFY2(messages.lastText().contains("已共享帐簿：私房钱"),
                 qPrintable(messages.lastText()));
    }
    QCOMPARE(Db::count("select count(*) from SyncShare"), 2);

    home.use(1);
    SyncSetupDialog dialog;
    Drive::find<QRadioButton>(&dialog, "RadioJoin")->setChecked(true);
    QVERIFY(Drive::find<QListWidget>(&dialog, "ListBooks")->isHidden());
    fillIn(&dialog, home.sync(), home.name(1), HouseholdPassword);
    Drive::click(&dialog, "ButOK");
    QVERIFY2(messages.lastText().contains("书房笔记本"), qPrintable(messages.lastText()));
    QCOMPARE(Sync::computerName(), home.name(1));
    QCOMPARE(
        Db::count("select count(*) from OutTable where BName=? and Remark='第一台记的'", {Book}),
        1);
    QCOMPARE(Db::balance(Book, "现金"), -yuan("12.5"));
    QCOMPARE(Db::count("select count(*) from SBook where BName='私房钱'"), 1);
}

void TestSyncWindows::aJoinRefusedWritesNothingAndATakenNameIsAskedFor()
{
    Household home;
    MessageRecorder messages;
    home.use(0);
    BookStore::createBook(Book);
    Sync::setUpFirst(home.sync(), HouseholdPassword, home.name(0), {Book});
    home.use(1);
    BookStore::createBook(Book); // its own book of that name
    const QStringList before = Db::dump();
    SyncSetupDialog dialog;
    Drive::find<QRadioButton>(&dialog, "RadioJoin")->setChecked(true);
    fillIn(&dialog, home.sync(), home.name(1), "不对的密码");
    Drive::click(&dialog, "ButOK");
    QVERIFY2(messages.lastText().contains("密码"), qPrintable(messages.lastText()));
    QCOMPARE(messages.messages.last().icon, QMessageBox::Warning);
    QCOMPARE(Db::dump(), before);
    QVERIFY(!QDir(home.sync()).exists(home.name(1)));

    // The right password: the shared book's name is taken here, so a new one is asked.
    Drive::setText(&dialog, "EditPass", HouseholdPassword);
    answerInput("NewBookName", "家（共享）");
    Drive::click(&dialog, "ButOK");
    QVERIFY2(messages.lastText().contains("家（共享）"), qPrintable(messages.lastText()));
    QCOMPARE(Db::value("select BName from SyncShare").toString(), QString("家（共享）"));
    QCOMPARE(Db::count("select count(*) from SBook"), 2);
}

void TestSyncWindows::theSyncWindowShowsTheOthersAndSyncsNow()
{
    Household home;
    home.setUp();
    // The same expense edited on both computers: computer 0's later edit stands, the
    // other waits in its recycle bin.
    home.use(0);
    spend("10", "两边都改");
    Sync::exchange();
    home.use(1);
    Sync::exchange();
    editAmount("两边都改", "20");
    Sync::exchange();
    home.use(0);
    editAmount("两边都改", "30");
    QCOMPARE(Sync::exchange().conflicts, 1);
    // Computer 1 writes one more, and a sync service leaves a conflicted copy.
    home.use(1);
    spend("5", "等着应用");
    Sync::exchange();
    QFile copy(home.sync() + "/" + home.name(1) + "/0000000001 (冲突副本)");
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write("not ours");
    copy.close();

    home.use(0);
    MessageRecorder messages;
    SyncWindow window;
    QCOMPARE(Drive::column(&window, "DBGrid1", "电脑"), QStringList{home.name(1)});
    QCOMPARE(Drive::column(&window, "DBGrid1", "等待应用"), QStringList{"1"});
    QVERIFY(Drive::column(&window, "DBGrid1", "最后一次收到").value(0).startsWith("20"));
    QCOMPARE(Drive::column(&window, "DBGrid3", "来自"), QStringList{home.name(1)});
    QVERIFY2(Drive::column(&window, "DBGrid3", "失去的版本").value(0).contains("20.00"),
             qPrintable(Drive::column(&window, "DBGrid3", "失去的版本").join('|')));
    QVERIFY(Drive::column(&window, "DBGrid2", "文件").value(0).contains("冲突副本"));
    QVERIFY(Drive::text(&window, "LabAbout").contains(home.name(0)));

    QTest::failOnWarning(QRegularExpression("thread"));
    Drive::click(&window, "ButSync");
    Background::waitForIdle();
    QCOMPARE(Db::count("select count(*) from OutTable where Remark='等着应用'"), 1);
    QCOMPARE(Drive::column(&window, "DBGrid1", "等待应用"), QStringList{"0"});
    QVERIFY2(Drive::text(&window, "LabLast").contains("应用 1 个文件"),
             qPrintable(Drive::text(&window, "LabLast")));
    QVERIFY(messages.messages.isEmpty());
}

void TestSyncWindows::anActionIsWrittenOutByItself()
{
    Household home;
    home.setUp();
    home.use(0);
    MainWindow::setStartupDialog(false);
    MainWindow main;
    Background::waitForIdle(); // the exchange at start
    auto *status = Drive::find<QLabel>(&main, "SyncStatus");
    QVERIFY2(status->text().startsWith("已同步"), qPrintable(status->text()));
    const QString mine = home.sync() + "/" + home.name(0);
    const int written = filesOf(mine);

    // Saved on the screen's thread; written out on a worker a moment later.
    QTest::failOnWarning(QRegularExpression("thread"));
    spend("8", "自己写出");
    QCOMPARE(filesOf(mine), written);
    QTRY_VERIFY_WITH_TIMEOUT(filesOf(mine) == written + 1, 10000);
    Background::waitForIdle();
    QVERIFY2(status->text().contains("写出 1 个文件"), qPrintable(status->text()));
    QVERIFY(!Sql("select 1 from SyncOutbox").hasRows());
}

QTEST_MAIN(TestSyncWindows)
#include "tst_syncwindows.moc"
