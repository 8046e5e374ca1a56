#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Connection.h"
#include "data/Sql.h"
#include "data/Transaction.h"
#include "support/TestSupport.h"
#include "widgets/WorkProgress.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>

class TestWorkProgress : public QObject
{
    Q_OBJECT
private slots:
    void resultsAndFailuresComeBackToTheScreensThread();
    void longWorkShowsItsProgressKeepsWindowsOpenAndCancels();
    void workGivesWayWhenTheScreenWaitsForTheFile();
    void aSaveWaitsForWorkThatHoldsTheWriteLock();
};

void TestWorkProgress::resultsAndFailuresComeBackToTheScreensThread()
{
    TestEnvironment env;
    Db::insertBook("甲");
    QObject receiver;
    qlonglong books = -1;
    QString connection, handedDown, failure;
    bool ranOnWorker = false, late = false;
    Background::run(
        &receiver,
        [&ranOnWorker, &connection, &handedDown](Background::Context &work) {
            ranOnWorker = QThread::currentThread() != qApp->thread();
            connection = work.database().connectionName();
            // The program's services run on the worker with the work's connection.
            handedDown = Connection::current().connectionName();
            QSqlQuery count = Sql("select count(*) from SBook").exec(work.database());
            count.next();
            return count.value(0).toLongLong();
        },
        [&books](qlonglong n) { books = n; });
    Background::run(
        &receiver,
        [](Background::Context &work) { Sql("select * from Nowhere").exec(work.database()); },
        [] {}, [&failure](const QString &message) { failure = message; });
    {
        // A receiver that is gone hears nothing; its work is cancelled.
        QObject gone;
        Background::run(
            &gone, [](Background::Context &) { return 1; }, [&late](int) { late = true; });
    }
    Background::waitForIdle();

    QCOMPARE(books, 1);
    QVERIFY(ranOnWorker);
    QVERIFY(connection != env.dm()->database().connectionName());
    QCOMPARE(handedDown, connection);
    QVERIFY(!QSqlDatabase::contains(connection)); // closed on its thread
    QVERIFY2(failure.startsWith("数据没有读出"), qPrintable(failure));
    QVERIFY(!late);
}

void TestWorkProgress::longWorkShowsItsProgressKeepsWindowsOpenAndCancels()
{
    TestEnvironment env;
    QWidget window;
    window.show();
    QString shownStep;
    bool windowStayed = false;
    QTimer::singleShot(600, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog && dialog->objectName() == "WorkProgress");
        shownStep = Drive::text(dialog, "LabStep");
        window.close();
        windowStayed = window.isVisible();
        Drive::click(dialog, "ButCancel");
    });
    QVERIFY_THROWS_EXCEPTION(Background::Cancelled, WorkProgress::run(
                                                        &window, "准备中",
                                                        [](Background::Context &work) {
                                                            work.progress(40, "正在复制数据……");
                                                            for (;;) {
                                                                work.checkCancelled();
                                                                QThread::msleep(5);
                                                            }
                                                        },
                                                        WorkProgress::Cancel::Allowed));
    QCOMPARE(shownStep, QString("正在复制数据……"));
    QVERIFY(windowStayed);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestWorkProgress::workGivesWayWhenTheScreenWaitsForTheFile()
{
    TestEnvironment env;
    QObject receiver;
    int tries = 0;
    // A statement that would hold its read lock on the file for minutes.
    Background::Job *job = Background::run(
        &receiver,
        [](Background::Context &work) {
            work.progress(0);
            Sql("with recursive n(i) as (select 1 union all select i+1 from n where i<1e10) "
                "select count(*) + (select count(*) from SFamily) from n")
                .exec(work.database());
        },
        [] {});
    QObject::connect(job, &Background::Job::progressed, &receiver, [&tries] { ++tries; });
    QTRY_COMPARE(tries, 1);
    QTest::qWait(100);
    // The save waits for the worker's statement no longer than it takes to interrupt it
    // (it would give up after five seconds otherwise); the work runs again after it.
    Db::exec("insert into SFamily (FName) values ('新成员')");
    QTRY_COMPARE(tries, 2);
    job->cancel();
    Background::waitForIdle();
    QCOMPARE(Db::count("select count(*) from SFamily where FName='新成员'"), 1);
}

// Work that writes (the kept totals rebuilt at start) holds the file's write lock
// for a long statement; a save pressed meanwhile, which reads before it writes,
// waits for the work to give way instead of failing as "locked".
void TestWorkProgress::aSaveWaitsForWorkThatHoldsTheWriteLock()
{
    TestEnvironment env;
    BookStore::createBook("甲");
    QObject receiver;
    std::atomic<int> tries{0};
    Background::Job *job = Background::run(
        &receiver,
        [&tries](Background::Context &work) {
            Transaction transaction(work.database());
            Sql("update SAccount set Remark='检查中'").exec(work.database());
            ++tries;
            Sql("with recursive n(i) as (select 1 union all select i+1 from n where i<1e10) "
                "select count(*) from n")
                .exec(work.database());
        },
        [] {});
    QTRY_COMPARE(tries.load(), 1);
    QTest::qWait(50);
    Ledger ledger("甲");
    ledger.save(Ledger::income(), {{"IDate", "2026-12-09"},
                                   {"IName", "工资"},
                                   {"IMoney", yuan("10").toVariant()},
                                   {"AName", "现金"},
                                   {"FName", ""},
                                   {"Remark", ""}});
    ledger.commit();
    QCOMPARE(Db::balance("甲", "现金"), yuan("10"));
    QTRY_VERIFY(tries.load() >= 2); // the work runs again after the save
    job->cancel();
    Background::waitForIdle();
}

QTEST_MAIN(TestWorkProgress)
#include "tst_workprogress.moc"
