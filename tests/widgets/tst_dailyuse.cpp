#include "app/MainWindow.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "support/Seed.h"
#include "support/TestSupport.h"
#include "widgets/MaintenanceWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

// Daily use of the window families through the main window, by keyboard as far
// as a person would: the maintenance family (accounts), the entry family
// (expenses) and the quick-filter family (the expense filter).
class TestDailyUse : public QObject
{
    Q_OBJECT
private slots:
    void maintenanceWindowByKeyboard();
    void entryWindowByKeyboard();
    void aDateTypedOverTheSelectedFieldIsThatDate();
    void unsavedInputIsNeverDroppedSilently();
    void quickFilterTicksOnTypingAndShowsItself();
    void longNamesDoNotWidenTheLists();
};

namespace {

const QString Book = QStringLiteral("家");

struct Program
{
    TestEnvironment env;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> main;

    Program()
    {
        BookStore::createBook(Book);
        env.dm()->setCurrentBook(Book);
        main = std::make_unique<MainWindow>();
        Drive::showActive(main.get());
    }
    ~Program()
    {
        // Whatever a test left pending is dropped without a question.
        messages.answer(QMessageBox::Yes);
        messages.answer(QMessageBox::Yes);
        main->closeAllChildren();
    }
    MaintenanceWindow *open(const char *className)
    {
        auto *w = qobject_cast<MaintenanceWindow *>(main->openWindow(className));
        QTest::qWait(0);
        return w;
    }
    int windows() const { return int(main->mdiArea()->subWindowList().size()); }
};

MaintenanceWindow::Mode mode(QWidget *w)
{
    return static_cast<MaintenanceWindow *>(w)->mode();
}

Money units(const QString &sql, const QVariantList &values = {})
{
    return Money::fromVariant(Db::value(sql, values));
}

} // namespace

void TestDailyUse::maintenanceWindowByKeyboard()
{
    Program p;
    MaintenanceWindow *w = p.open("TfrmA_Manage");
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // Alt+N, then Enter from field to field; Enter in the last one saves. The
    // balance is typed with thousands separators and full-width digits.
    Drive::alt(Qt::Key_N);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::New);
    QCOMPARE(Drive::focusedName(), QString("DBEdit1"));
    Drive::keys("bank");
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::focusedName(), QString("DBEdit2"));
    Drive::setText(w, "DBEdit2", QString::fromUtf8("１，２３４．５"));
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::focusedName(), QString("DBEdit3"));
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::focusedName(), QString("ComboBox1"));
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::focusedName(), QString("DateTimePicker1"));
    Drive::key(Qt::Key_Return);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(units("select AMoney from SAccount where AName='bank'"), *Money::parse("1234.5"));
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // F2 edits the current row, Esc cancels, the focus is back on the grid.
    Drive::key(Qt::Key_F2);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Edit);
    Drive::keys("x");
    Drive::key(Qt::Key_Escape);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // A fifth decimal is refused aloud; Ctrl+S saves once it is right.
    Drive::key(Qt::Key_F2);
    Drive::setText(w, "DBEdit2", "1.23456");
    QCOMPARE(Drive::text(w, "DBEdit2"), QString("1.23456"));
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(p.messages.lastText(), QString("帐户余额最多只能有四位小数！请重新录入！"));
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Edit);
    Drive::setText(w, "DBEdit2", "1.2345");
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Db::count("select count(*) from SAccount where AMoney=12345"), 1);

    // Delete asks as 删除 does; on 现金 it says why nothing happens.
    Drive::clickRow(w, "DBGrid1", 0);
    QCOMPARE(Drive::text(w, "DBEdit1"), QString("现金"));
    p.messages.clear();
    Drive::key(Qt::Key_Delete);
    QCOMPARE(p.messages.texts(), QStringList{"“现金”不能删除：主页的现金余额取自这个帐户。"});
    Drive::clickRow(w, "DBGrid1", 1);
    p.messages.clear();
    p.messages.answer(QMessageBox::No);
    Drive::key(Qt::Key_Delete);
    QCOMPARE(p.messages.texts(), QStringList{"确认要删除“中行长城卡”吗？删除后可在回收站中恢复。"});
    QCOMPARE(Db::count("select count(*) from SAccount"), 10);
}

void TestDailyUse::entryWindowByKeyboard()
{
    Program p;
    MaintenanceWindow *w = p.open("TfrmOutTable");
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // The date is typed as a whole and Tab moves on; the lists are searched by
    // pinyin initials; Enter walks the fields and saves in the last one.
    Drive::alt(Qt::Key_N);
    QCOMPARE(Drive::focusedName(), QString("DateTimePicker1"));
    Drive::keys("2024-3-5");
    Drive::key(Qt::Key_Tab);
    QCOMPARE(Drive::focusedName(), QString("DBLookupComboBox1"));
    Drive::keys("sp");
    QCOMPARE(Drive::text(w, "DBLookupComboBox1"), QString("食品"));
    Drive::key(Qt::Key_Tab);
    Drive::keys("1,234.5");
    Drive::key(Qt::Key_Return);
    Drive::keys("xj");
    QCOMPARE(Drive::text(w, "DBLookupComboBox2"), QString("现金"));
    Drive::key(Qt::Key_Return);
    Drive::key(Qt::Key_Return);
    QCOMPARE(Drive::focusedName(), QString("DBEdit6"));
    Drive::keys("milk");
    Drive::key(Qt::Key_Return);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Db::value("select ODate||OName||AName||Remark from OutTable").toString(),
             QString("2024-03-05食品现金milk"));
    QCOMPARE(Db::balance(Book, "现金"), -*Money::parse("1234.5"));
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // The next entry starts at once, from today and the choices saved last. Typed
    // at once after the last entry's "sp", a code is searched afresh; one that
    // finds nothing leaves no choice, and the save asks for one.
    Drive::alt(Qt::Key_N);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::New);
    QCOMPARE(Drive::find<QDateEdit>(w, "DateTimePicker1")->date(), QDate::currentDate());
    QCOMPARE(Drive::text(w, "DBLookupComboBox1"), QString("食品"));
    Drive::key(Qt::Key_Tab);
    Drive::keys("dfzzz");
    QCOMPARE(Drive::text(w, "DBLookupComboBox1"), QString());
    Drive::key(Qt::Key_Tab);
    Drive::keys("5");
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(p.messages.lastText(), QString("请选择 支出类别！"));
    Drive::find<QComboBox>(w, "DBLookupComboBox1")->setFocus();
    Drive::keys("df");
    QCOMPARE(Drive::text(w, "DBLookupComboBox1"), QString("电费"));
    Drive::key(Qt::Key_Escape);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);

    // An edit that is cancelled leaves nothing to the next new entry.
    Drive::key(Qt::Key_F2);
    Drive::choose(w, "DBLookupComboBox1", "水费");
    Drive::setDate(w, "DateTimePicker1", QDate(2020, 1, 1));
    Drive::key(Qt::Key_Escape);
    Drive::alt(Qt::Key_N);
    QCOMPARE(Drive::text(w, "DBLookupComboBox1"), QString("食品"));
    QCOMPARE(Drive::find<QDateEdit>(w, "DateTimePicker1")->date(), QDate::currentDate());
    Drive::key(Qt::Key_Escape);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Drive::focusedName(), QString("DBGrid1"));

    // Full-width amounts from a Chinese input method; five decimals are refused.
    Drive::alt(Qt::Key_N);
    Drive::setText(w, "DBEdit3", "0.00001");
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(p.messages.lastText(), QString("金额最多只能有四位小数！请重新录入！"));
    Drive::setText(w, "DBEdit3", QString::fromUtf8("１２。５"));
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Browse);
    QCOMPARE(Db::balance(Book, "现金"), -*Money::parse("1247"));

    // A double-click or F2 starts 修改; Delete asks as 删除 does, naming the row.
    auto *grid = Drive::find<QTableView>(w, "DBGrid1");
    const QRect cell = grid->visualRect(grid->model()->index(0, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Edit);
    QCOMPARE(Drive::focusedName(), QString("DateTimePicker1"));
    Drive::key(Qt::Key_Escape);
    Drive::key(Qt::Key_F2);
    QCOMPARE(mode(w), MaintenanceWindow::Mode::Edit);
    Drive::key(Qt::Key_Escape);
    p.messages.clear();
    p.messages.answer(QMessageBox::Yes);
    Drive::key(Qt::Key_Delete);
    QCOMPARE(
        p.messages.texts(),
        QStringList{QString("确认要删除这条记录（%1，食品，12.50）吗？删除后可在回收站中恢复。")
                        .arg(QDate::currentDate().toString("yyyy-MM-dd"))});
    QCOMPARE(Db::count("select count(*) from OutTable"), 1);
    QCOMPARE(Db::balance(Book, "现金"), -*Money::parse("1234.5"));
}

void TestDailyUse::aDateTypedOverTheSelectedFieldIsThatDate()
{
    Program p;
    MaintenanceWindow *w = p.open("TfrmOutTable");
    Drive::alt(Qt::Key_N);
    auto *picker = Drive::find<QDateEdit>(w, "DateTimePicker1");
    QCOMPARE(Drive::focused(), picker);

    // The cursor in the day, then Ctrl+A: what is typed is the whole date.
    picker->setCurrentSection(QDateTimeEdit::DaySection);
    Drive::key(Qt::Key_A, Qt::ControlModifier);
    Drive::keys("2025-06-15");
    QCOMPARE(picker->date(), QDate(2025, 6, 15));

    // Come back to it with Shift+Tab: the same.
    Drive::key(Qt::Key_Tab);
    QCOMPARE(Drive::focusedName(), QString("DBLookupComboBox1"));
    Drive::key(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Drive::focused(), picker);
    Drive::keys("20230102");
    QCOMPARE(picker->date(), QDate(2023, 1, 2));

    // A date more than a year ahead is saved only once confirmed.
    const QDate later = QDate::currentDate().addYears(1).addDays(1);
    Drive::key(Qt::Key_A, Qt::ControlModifier);
    Drive::keys(later.toString("yyyy-MM-dd"));
    Drive::choose(w, "DBLookupComboBox1", "食品");
    Drive::setText(w, "DBEdit3", "5");
    Drive::choose(w, "DBLookupComboBox2", "现金");
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(
        p.messages.texts(),
        QStringList{
            QString("日期在一年以后：%1。\n确定要保存吗？").arg(later.toString("yyyy-MM-dd"))});
    QCOMPARE(Db::count("select count(*) from OutTable"), 0);
    p.messages.answer(QMessageBox::Yes);
    Drive::key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Db::value("select ODate from OutTable").toString(), later.toString("yyyy-MM-dd"));
}

void TestDailyUse::unsavedInputIsNeverDroppedSilently()
{
    Program p;
    const QString question = QStringLiteral("当前记录尚未保存，要放弃修改吗？");
    // Nothing pending: nothing asked, whichever family.
    for (const char *className : {"TfrmA_Manage", "TfrmInTable"}) {
        MaintenanceWindow *w = p.open(className);
        Drive::click(w, "ButExi");
        QVERIFY(p.messages.messages.isEmpty());
    }
    QCOMPARE(p.windows(), 0);

    // A new row pending in each family: 否 keeps the window as it was, 是 closes it.
    for (const char *className : {"TfrmA_Manage", "TfrmInTable"}) {
        MaintenanceWindow *w = p.open(className);
        Drive::click(w, "ButNew");
        Drive::setText(w, "DBEdit3", "12");
        p.messages.answer(QMessageBox::No);
        Drive::click(w, "ButExi");
        QCOMPARE(p.messages.texts(), QStringList{question});
        QCOMPARE(p.messages.messages.first().defaultButton, QMessageBox::No);
        QCOMPARE(p.windows(), 1);
        QCOMPARE(mode(w), MaintenanceWindow::Mode::New);
        QCOMPARE(Drive::text(w, "DBEdit3"), QString("12"));
        // The frame's close box goes the same way.
        p.messages.clear();
        p.messages.answer(QMessageBox::Yes);
        p.main->mdiArea()->subWindowList().first()->close();
        QCOMPARE(p.messages.texts(), QStringList{question});
        QTest::qWait(0);
        QCOMPARE(p.windows(), 0);
        p.messages.clear();
    }

    // Quitting the program closes the children first, so that they ask; keeping
    // the row keeps the program running.
    MaintenanceWindow *w = p.open("TfrmOutTable");
    Drive::click(w, "ButNew");
    p.messages.answer(QMessageBox::Yes); // 确认退出
    p.messages.answer(QMessageBox::No);  // keep the row
    QVERIFY(!p.main->close());
    QCOMPARE(p.messages.texts(), QStringList({"确认要退出 青禾簿 吗？ ^_^ ", question}));
    QVERIFY(p.main->isVisible());
    QCOMPARE(p.windows(), 1);
    QCOMPARE(Db::count("select count(*) from OutTable"), 0);
}

void TestDailyUse::quickFilterTicksOnTypingAndShowsItself()
{
    Program p;
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    Seed seed(Book);
    for (const auto &[category, remark] :
         {std::pair{"食品", "牛奶"}, {"食品", "面包"}, {"水费", ""}})
        seed.expense(today, category, yuan("1"), "现金", "", remark);
    seed.commit();
    MaintenanceWindow *w = p.open("TfrmOutTable");

    QString from;
    int visibleRows = 0;
    Drive::whenModal([&](QWidget *dialog) {
        from = Drive::find<QDateEdit>(dialog, "DateTimePicker1")->date().toString("yyyy-MM-dd");
        // Typing into the remark box ticks it, as choosing in a list does; the
        // lists are searched by pinyin initials too.
        Drive::setText(dialog, "Edit1", "奶");
        QVERIFY(Drive::find<QCheckBox>(dialog, "CheckBox5")->isChecked());
        auto *categories = Drive::find<QComboBox>(dialog, "DBLookupComboBox1");
        visibleRows = categories->maxVisibleItems();
        categories->setFocus();
        QTest::keyClicks(categories, "sp");
        QCOMPARE(categories->currentText(), QString("食品"));
        QVERIFY(Drive::find<QCheckBox>(dialog, "CheckBox2")->isChecked());
        // Chinese typed through an input method finds a name by any part of it.
        auto *accounts = Drive::find<QComboBox>(dialog, "DBLookupComboBox2");
        QInputMethodEvent typed;
        typed.setCommitString(QString::fromUtf8("付宝"));
        QApplication::sendEvent(accounts, &typed);
        QCOMPARE(accounts->currentText(), QString("支付宝"));
        QVERIFY(Drive::find<QCheckBox>(dialog, "CheckBox3")->isChecked());
        Drive::click(dialog, "CheckBox3");
        Drive::click(dialog, "BitBtn1");
    });
    Drive::click(w, "ButQuery");
    QCOMPARE(visibleRows, 20);
    QCOMPARE(Drive::column(w, "DBGrid1", "备注"), QStringList{"牛奶"});
    QVERIFY(Drive::widget(w, "FilterStatus")->isVisible());
    QCOMPARE(Drive::text(w, "LabFilter"),
             QString("已筛选：支出日期 %1 至 %2，支出类别：食品，备注含“奶”").arg(from, today));

    Drive::click(w, "ButClearFilter");
    QCOMPARE(Drive::column(w, "DBGrid1", "备注").size(), 3);
    QVERIFY(!Drive::widget(w, "FilterStatus")->isVisible());
}

void TestDailyUse::longNamesDoNotWidenTheLists()
{
    Program p;
    const QString longName(25, QChar(0x957F)); // 25 x 长, as long as the field allows
    Db::exec("insert into OutD (OName, thePY, BName, Remark) values (?, 'C', ?, '')",
             {longName, Book});
    MaintenanceWindow *w = p.open("TfrmOutTable");
    auto *categories = Drive::find<QComboBox>(w, "DBLookupComboBox1");
    auto *accounts = Drive::find<QComboBox>(w, "DBLookupComboBox2");
    QVERIFY(categories->findText(longName) >= 0);
    QCOMPARE(categories->sizeHint().width(), accounts->sizeHint().width());
    QVERIFY(w->minimumSizeHint().width() <= p.main->mdiArea()->width());
}

QTEST_MAIN(TestDailyUse)
#include "tst_dailyuse.moc"
