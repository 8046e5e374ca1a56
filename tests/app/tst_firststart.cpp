#include "app/MainWindow.h"
#include "books/NewBookDialog.h"
#include "books/OpenBookDialog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QTest>

// The start of the program as a household meets it, by keyboard only.
class TestFirstStart : public QObject
{
    Q_OBJECT
private slots:
    void fromAnEmptyDataFolderToASavedExpense();
    void aSecondStartOpensTheLastBookWithItsPassword();
    void aBookMadeAfterwardsIsNotOfferedInsteadOfTheOneOpened();
};

namespace {

const QString Book = QStringLiteral("我家帐簿");

// Answers the open-book dialog with its password and Enter, noting what it offered.
struct OpenByPassword
{
    QString chosen, focus;
    void arm(const QString &password)
    {
        Drive::whenModal([this, password](QWidget *dialog) {
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            chosen = Drive::text(dialog, "DBLookupComboBox1");
            focus = Drive::focusedName();
            Drive::keys(password);
            Drive::key(Qt::Key_Return);
        });
    }
};

} // namespace

void TestFirstStart::fromAnEmptyDataFolderToASavedExpense()
{
    TestEnvironment env;
    env.withStartupDialog();
    MessageRecorder messages;
    OpenByPassword open;
    // The new-book dialog keeps its preset name and takes the book's password
    // twice, then Enter; the open-book dialog follows with the new book chosen and
    // the cursor in the password field.
    Drive::whenModal([&](QWidget *dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        open.arm("hm2025");
        for (const char *typed : {"", "", "hm2025", "hm2025"}) {
            Drive::keys(typed);
            Drive::key(Qt::Key_Tab);
        }
        Drive::key(Qt::Key_Return);
    });
    MainWindow main;
    QCOMPARE(messages.texts(), QStringList{"新增帐簿数据保存成功！"});
    QCOMPARE(open.chosen, Book);
    QCOMPARE(open.focus, QString("Edit1"));
    QCOMPARE(env.dm()->currentBook(), Book);

    // 记帐 > 支出 through the menu's keys, then the entry by keys alone.
    Drive::showActive(&main);
    QTest::keyClick(&main, Qt::Key_W, Qt::AltModifier);
    QWidget *menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QTest::keyClick(menu, Qt::Key_O);
    QTest::qWait(0);
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    // A window manager hands the activation back once the menu is gone; the
    // offscreen platform does not, so the test does.
    QApplication::setActiveWindow(&main);
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));
    Drive::alt(Qt::Key_N);
    Drive::key(Qt::Key_Tab); // today's date stays
    Drive::keys("sp");       // 食品
    Drive::key(Qt::Key_Tab);
    Drive::keys("25");
    Drive::key(Qt::Key_Tab);
    Drive::keys("xj"); // 现金
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Db::value("select OName||'/'||AName||'/'||ODate from OutTable").toString(),
             QString("食品/现金/") + QDate::currentDate().toString("yyyy-MM-dd"));
    QCOMPARE(Db::balance(Book, "现金"), -*Money::parse("25"));
    QCOMPARE(messages.texts(), QStringList{"新增帐簿数据保存成功！"});
}

void TestFirstStart::aSecondStartOpensTheLastBookWithItsPassword()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    BookStore::createBook("丙");
    env.withStartupDialog();
    {
        // The first start offers the first book; 乙 is chosen and opened.
        QString offered;
        Drive::whenModal([&](QWidget *dialog) {
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            offered = Drive::text(dialog, "DBLookupComboBox1");
            Drive::choose(dialog, "DBLookupComboBox1", "乙");
            Drive::keys(BookStore::InitialPassword);
            Drive::key(Qt::Key_Return);
        });
        MainWindow first;
        QCOMPARE(offered, QString("甲"));
        QCOMPARE(env.dm()->currentBook(), QString("乙"));
    }
    env.dm()->setCurrentBook(QString());
    env.withStartupDialog();
    OpenByPassword open;
    open.arm(BookStore::InitialPassword);
    MainWindow second;
    QCOMPARE(open.chosen, QString("乙"));
    QCOMPARE(open.focus, QString("Edit1"));
    QCOMPARE(env.dm()->currentBook(), QString("乙"));
    QCOMPARE(second.windowTitle(), QString("乙"));
    QVERIFY(messages.messages.isEmpty());
}

void TestFirstStart::aBookMadeAfterwardsIsNotOfferedInsteadOfTheOneOpened()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    {
        MainWindow first;
        Drive::openBook(&first, "乙");
        NewBookDialog dialog;
        Drive::setText(&dialog, "Edit1", "丙");
        Drive::setText(&dialog, "Edit3", "pw");
        Drive::setText(&dialog, "Edit4", "pw");
        Drive::click(&dialog, "ButSave");
        QCOMPARE(messages.lastText(), QString("新增帐簿数据保存成功！"));
    }
    // The open-book dialog of the next start.
    OpenBookDialog next;
    QCOMPARE(Drive::text(&next, "DBLookupComboBox1"), QString("乙"));
}

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
