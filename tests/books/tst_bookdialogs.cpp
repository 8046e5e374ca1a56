#include "app/MainWindow.h"
#include "app/SummaryPanel.h"
#include "books/BackupDialog.h"
#include "books/ChangePasswordDialog.h"
#include "books/NewBookDialog.h"
#include "books/OpenBookDialog.h"
#include "books/RestoreDialog.h"
#include "core/books/BookStore.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "support/Seed.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSqlDatabase>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

class TestBookDialogs : public QObject
{
    Q_OBJECT
private slots:
    void startUpWithoutBooksCreatesOneThatOpensWithItsPassword();
    void startUpWithBooksAsksForOne();
    void newBookChecksInOrder();
    void openBookRefusesWrongPasswordsAndChangesNothing();
    void openBookShowsTheBookOnTheSummaryPanel();
    void closeBookHidesTheMenus();
    void changePasswordChecksInOrder();
    void bookManagementDeletesOnlyOtherBooks();
    void backupDialogWritesTheChosenFile();
    void restoreDialogBringsTheBackupBack();
    void restoreDialogRefusesFilesThatAreNotOurs();
};

namespace {

const QString Book = QStringLiteral("我家帐簿");

bool menusShown(MainWindow &main)
{
    return main.findChild<QMenu *>("N10")->menuAction()->isVisible() &&
           main.findChild<QAction *>("C2")->isVisible();
}

void openThroughMenu(MainWindow &main, const QString &book, const QString &password)
{
    Drive::openBook(&main, book, password);
}

QString focused(QWidget *dialog)
{
    return dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
}

} // namespace

void TestBookDialogs::startUpWithoutBooksCreatesOneThatOpensWithItsPassword()
{
    TestEnvironment env;
    env.withStartupDialog();
    MessageRecorder messages;
    QString shown, caption, preset, count;
    QString followedBy, chosen;
    Drive::whenModal([&](QWidget *dialog) {
        shown = dialog->objectName();
        caption = dialog->windowTitle();
        preset = Drive::text(dialog, "Edit1");
        count = Drive::text(dialog, "LabBookNum");
        Drive::setText(dialog, "Edit3", "Ours'1");
        Drive::setText(dialog, "Edit4", "Ours'1");
        // The open-book dialog follows with the new book chosen; here it is left.
        Drive::whenModal([&](QWidget *next) {
            followedBy = next->objectName();
            chosen = Drive::text(next, "DBLookupComboBox1");
            next->close();
        });
        Drive::click(dialog, "ButSave");
        if (dialog->isVisible())
            dialog->close();
    });
    MainWindow main;
    main.show();
    QCOMPARE(shown, QString("TfrmNewBook"));
    QCOMPARE(caption, QString("新建帐薄"));
    QCOMPARE(preset, Book);
    QCOMPARE(count, QString("0"));
    QCOMPARE(messages.texts(), QStringList{"新增帐簿数据保存成功！"});
    QCOMPARE(followedBy, QString("TfrmOpenBook"));
    QCOMPARE(chosen, Book);

    QCOMPARE(Db::count("select count(*) from SBook where BName=?", {Book}), 1);
    QVERIFY(Db::value("select BPass from SBook").toString().startsWith("pbkdf2-sha256$"));
    QCOMPARE(Db::count("select (select count(*) from InD) + (select count(*) from OutD) + "
                       "(select count(*) from SAccount) + (select count(*) from TD)"),
             91);
    QCOMPARE(Db::value("select BDate from SBook").toString(), main.startDate());

    // Created, not opened: the book becomes current only with its password.
    QVERIFY(env.dm()->currentBook().isEmpty());
    QVERIFY(!menusShown(main));
    openThroughMenu(main, Book, "480726"); // no password is given to every book
    QVERIFY(env.dm()->currentBook().isEmpty());
    openThroughMenu(main, Book, "Ours'1");
    QCOMPARE(env.dm()->currentBook(), Book);
    QVERIFY(menusShown(main));
    QCOMPARE(main.windowTitle(), Book);
    QCOMPARE(Db::value("select thePY from InD where IName='工资'").toString(), QString("GZ"));
}

void TestBookDialogs::startUpWithBooksAsksForOne()
{
    TestEnvironment env;
    env.withStartupDialog();
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    MessageRecorder messages;
    QString shown;
    QStringList names;
    QString page;
    Drive::whenModal([&](QWidget *dialog) {
        shown = dialog->objectName();
        auto *list = Drive::find<QComboBox>(dialog, "DBLookupComboBox1");
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i);
        page = Drive::find<QTextBrowser>(dialog, "WebBrowser1")->toPlainText();
        Drive::choose(dialog, "DBLookupComboBox1", "乙");
        Drive::setText(dialog, "Edit1", "480726");
        Drive::click(dialog, "ButOpen");
        if (dialog->isVisible())
            dialog->close();
    });
    MainWindow main;
    QCOMPARE(shown, QString("TfrmOpenBook"));
    QCOMPARE(names, QStringList({"甲", "乙"}));
    QVERIFY(page.contains("青禾簿")); // the bundled page, no network needed
    QCOMPARE(env.dm()->currentBook(), QString("乙"));
    QCOMPARE(main.windowTitle(), QString("乙"));
    QVERIFY(messages.messages.isEmpty());
}

void TestBookDialogs::newBookChecksInOrder()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("已有");
    NewBookDialog dialog;
    Drive::showActive(&dialog);
    QCOMPARE(Drive::text(&dialog, "LabBookNum"), QString("1"));

    const auto save = [&](const QString &name, const QString &remark,
                          const QString &password = "pw", const QString &again = "pw") {
        messages.clear();
        Drive::setText(&dialog, "Edit1", name);
        Drive::setText(&dialog, "Edit2", remark);
        Drive::setText(&dialog, "Edit3", password);
        Drive::setText(&dialog, "Edit4", again);
        Drive::click(&dialog, "ButSave");
        return messages.lastText();
    };
    QCOMPARE(save("", ""), QString("帐簿名称 不能为空！"));
    QCOMPARE(focused(&dialog), QString("Edit1"));
    QCOMPARE(save(QString(11, QChar(0x5E10)), ""), QString("帐簿名称 长度不能大于20！"));
    QCOMPARE(save(QString(21, 'a'), ""), QString("帐簿名称 长度不能大于20！"));
    QCOMPARE(save("新帐", QString(26, QChar(0x5E10))), QString("备注 长度不能大于50！"));
    QCOMPARE(focused(&dialog), QString("Edit2"));
    // The name check comes first even when both are too long.
    QCOMPARE(save(QString(11, QChar(0x5E10)), QString(26, QChar(0x5E10))),
             QString("帐簿名称 长度不能大于20！"));
    QCOMPARE(save("已有", ""), QString("帐簿名称 重复，请重新录入！"));
    // Blanks around a name are not part of it, full-width ones included.
    QCOMPARE(save(" 已有\u3000", ""), QString("帐簿名称 重复，请重新录入！"));
    QCOMPARE(save("\u3000 ", ""), QString("帐簿名称 不能为空！"));
    QCOMPARE(focused(&dialog), QString("Edit1"));
    // Then the password: given, not too long, typed twice alike.
    QCOMPARE(save("新帐", "", ""), QString("密码 不能为空！"));
    QCOMPARE(focused(&dialog), QString("Edit3"));
    QCOMPARE(save("新帐", "", QString(21, 'x'), QString(21, 'x')),
             QString("密码 长度不能大于20！"));
    QCOMPARE(save("新帐", "", "Pw", "pw"), QString("密码与确认密码不一致！"));
    QCOMPARE(focused(&dialog), QString("Edit4"));
    QCOMPARE(BookStore::bookCount(), 1);
    QVERIFY(dialog.isVisible());

    // Exactly 20 bytes are accepted, in Chinese and in ASCII; quotes are plain text.
    QCOMPARE(save(QString(10, QChar(0x5E10)), "it's ours"), QString("新增帐簿数据保存成功！"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(Drive::text(&dialog, "LabBookNum"), QString("2"));
    NewBookDialog second;
    second.show();
    QCOMPARE(Drive::text(&second, "Edit2"), QString());
    Drive::setText(&second, "Edit1", QString(20, 'a'));
    Drive::setText(&second, "Edit3", "pw");
    Drive::setText(&second, "Edit4", "pw");
    Drive::click(&second, "ButSave");
    NewBookDialog third;
    third.show();
    Drive::setText(&third, "Edit1", " O'Brien's 帐簿 ");
    Drive::setText(&third, "Edit3", "pw");
    Drive::setText(&third, "Edit4", "pw");
    Drive::click(&third, "ButSave");
    QCOMPARE(messages.lastText(), QString("新增帐簿数据保存成功！"));
    QCOMPARE(BookStore::bookCount(), 4);
    QCOMPARE(Db::value("select Remark from SBook where BName=?", {QString(10, QChar(0x5E10))})
                 .toString(),
             QString("it's ours"));
    QCOMPARE(Db::count("select count(*) from InD where BName=?", {"O'Brien's 帐簿"}), 19);
}

void TestBookDialogs::openBookRefusesWrongPasswordsAndChangesNothing()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("O'Neil's");
    BookStore::changePassword("O'Neil's", "Secret'1");
    MainWindow main;
    openThroughMenu(main, "甲", "480726");
    QCOMPARE(env.dm()->currentBook(), QString("甲"));

    OpenBookDialog dialog(&main);
    Drive::showActive(&dialog);
    const auto open = [&](const QString &book, const QString &password) {
        messages.clear();
        if (!book.isEmpty())
            Drive::choose(&dialog, "DBLookupComboBox1", book);
        Drive::setText(&dialog, "Edit1", password);
        Drive::click(&dialog, "ButOpen");
        return messages.lastText();
    };
    // No book chosen: said so, rather than that the password is wrong.
    Drive::find<QComboBox>(&dialog, "DBLookupComboBox1")->setCurrentIndex(-1);
    QCOMPARE(open("", "480726"), QString("请选择 帐簿名称！"));
    QCOMPARE(focused(&dialog), QString("DBLookupComboBox1"));
    QCOMPARE(open("O'Neil's", "Secret'2"), QString("密码错误，请重新录入！"));
    QCOMPARE(focused(&dialog), QString("Edit1"));
    QVERIFY(dialog.isVisible());
    // The book that was open stays open, as it was.
    QCOMPARE(env.dm()->currentBook(), QString("甲"));
    QCOMPARE(main.windowTitle(), QString("甲"));
    QVERIFY(menusShown(main));

    // Choosing a book empties the password field.
    Drive::setText(&dialog, "Edit1", "typed");
    Drive::choose(&dialog, "DBLookupComboBox1", "甲");
    QCOMPARE(Drive::text(&dialog, "Edit1"), QString());
    QCOMPARE(Drive::find<QLineEdit>(&dialog, "Edit1")->echoMode(), QLineEdit::Password);

    // A 21-byte password is refused before the database is asked.
    env.dm()->closeDatabase();
    QCOMPARE(open("O'Neil's", QString(21, 'x')), QString("密码 长度不能大于20！"));
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(env.dm()->reopen());

    // Letter case of the password does not matter; the quote is just a character.
    QCOMPARE(open("O'Neil's", "sECRET'1"), QString());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(env.dm()->currentBook(), QString("O'Neil's"));
    QCOMPARE(main.windowTitle(), QString("O'Neil's"));
    QVERIFY(menusShown(main));
}

void TestBookDialogs::openBookShowsTheBookOnTheSummaryPanel()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    // 现金 opens with 500.00 and the debt brings 500.00 in.
    Seed seed(Book);
    seed.account("现金", yuan("500"));
    seed.debt("2024-01-01", "借", yuan("500"), "现金");
    seed.commit();
    MainWindow main;
    main.show();
    SummaryPanel *panel = main.summaryPanel();
    QCOMPARE(panel->figureText("LabCash"), QString("0.00"));
    QCOMPARE(panel->figureText("LabPercent"), QString("—"));

    openThroughMenu(main, Book, "480726");
    QCOMPARE(panel->figureText("LabCash"), QString("1,000.00"));
    QCOMPARE(panel->figureText("LabDeposit"), QString("0.00"));
    QCOMPARE(panel->figureText("LabDebt"), QString("500.00"));
    QCOMPARE(panel->figureText("LabTotalDebt"), QString("500.00"));
    QCOMPARE(panel->figureText("LabTotalFunds"), QString("1,000.00"));
    QCOMPARE(panel->figureText("LabNetFunds"), QString("500.00"));
    QCOMPARE(panel->figureText("LabPercent"), QString("—"));
}

void TestBookDialogs::closeBookHidesTheMenus()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    MainWindow main;
    openThroughMenu(main, Book, "480726");
    QVERIFY(menusShown(main));
    main.findChild<QAction *>("C2")->trigger();
    QVERIFY(env.dm()->currentBook().isEmpty());
    QVERIFY(!menusShown(main));
    // The other books can still be opened or made.
    QVERIFY(main.findChild<QAction *>("N3")->isVisible());
    QVERIFY(main.findChild<QAction *>("N2")->isVisible());
}

void TestBookDialogs::changePasswordChecksInOrder()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    env.dm()->setCurrentBook(Book);
    ChangePasswordDialog dialog;
    Drive::showActive(&dialog);
    QCOMPARE(dialog.windowTitle(), QString("修改密码"));
    const auto save = [&](const QString &old, const QString &fresh, const QString &again) {
        messages.clear();
        Drive::setText(&dialog, "Edit1", old);
        Drive::setText(&dialog, "Edit2", fresh);
        Drive::setText(&dialog, "Edit3", again);
        Drive::click(&dialog, "ButSave");
        return messages.lastText();
    };
    const QString tooLong(21, 'x');
    QCOMPARE(save(tooLong, tooLong, tooLong), QString("原密码 长度不能大于20！"));
    QCOMPARE(focused(&dialog), QString("Edit1"));
    QCOMPARE(save("480726", tooLong, tooLong), QString("新密码 长度不能大于20！"));
    QCOMPARE(focused(&dialog), QString("Edit2"));
    QCOMPARE(save("480726", "ab", tooLong), QString("确认密码 长度不能大于20！"));
    QCOMPARE(focused(&dialog), QString("Edit3"));
    QCOMPARE(save("480725", "ab", "ab"), QString("原密码错误！"));
    QCOMPARE(focused(&dialog), QString("Edit1"));
    // New password and confirmation must match exactly, capitals included.
    QCOMPARE(save("480726", "New'Pass", "new'pass"), QString("新密码与确认密码不一致！"));
    QCOMPARE(focused(&dialog), QString("Edit3"));
    QVERIFY(BookStore::checkPassword(Book, "480726"));

    // Once said, the dialog's work is done: it closes.
    QCOMPARE(save("480726", "New'Pass", "New'Pass"), QString("密码修改成功！"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!BookStore::checkPassword(Book, "480726"));
    QVERIFY(BookStore::checkPassword(Book, "new'pass"));

    // An empty new password is accepted.
    Drive::showActive(&dialog);
    QCOMPARE(save("NEW'PASS", "", ""), QString("密码修改成功！"));
    QVERIFY(BookStore::checkPassword(Book, ""));
}

void TestBookDialogs::bookManagementDeletesOnlyOtherBooks()
{
    TestEnvironment env;
    MessageRecorder messages;
    for (const char *book : {"甲", "乙", "丙"})
        BookStore::createBook(QString::fromUtf8(book));
    Seed seed("甲");
    seed.income("2024-01-01", "工资", Money::fromUnits(1), "现金");
    seed.commit();
    MainWindow main;
    main.show();
    openThroughMenu(main, "乙", "480726");
    main.findChild<QAction *>("B2")->trigger();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QMdiSubWindow *sub = main.mdiArea()->subWindowList().first();
    QVERIFY(sub->isMaximized());
    QWidget *window = sub->widget();
    QCOMPARE(window->objectName(), QString("TfrmB_Manage"));
    QCOMPARE(window->windowTitle(), QString("帐簿管理"));
    auto *grid = Drive::find<QTableView>(window, "DBGrid1");
    const auto column = [grid](int c) {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, c).data().toString();
        return out;
    };
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QString("创建日期"));
    QCOMPARE(column(0), QStringList({"丙", "乙", "甲"})); // newest first
    QVERIFY(!Drive::widget(window, "DBEdit1")->isVisible());
    QCOMPARE(Drive::text(window, "DBEdit1"), QString("丙"));
    QCOMPARE(Drive::find<QToolButton>(window, "NavFirst")->toolTip(), QString("第一条"));
    QCOMPARE(Drive::find<QToolButton>(window, "NavLast")->toolTip(), QString("最后一条"));

    // The open book cannot be deleted.
    Drive::click(window, "NavNext");
    QCOMPARE(Drive::text(window, "DBEdit1"), QString("乙"));
    Drive::click(window, "ButDel");
    QCOMPARE(messages.texts(), QStringList{"不能删除当前打开帐簿！"});
    QCOMPARE(BookStore::bookCount(), 3);

    // No at the question deletes nothing.
    Drive::click(window, "NavLast");
    QCOMPARE(Drive::text(window, "DBEdit1"), QString("甲"));
    messages.clear();
    messages.answer(QMessageBox::No);
    Drive::click(window, "ButDel");
    QCOMPARE(messages.lastText(),
             QString("确认要删除帐簿“甲”及其全部记录吗？删除后可在回收站中恢复。"));
    QCOMPARE(messages.messages.last().defaultButton, QMessageBox::No);
    QCOMPARE(BookStore::bookCount(), 3);

    // Yes, then that book's password: a wrong one is refused, 退出 deletes nothing.
    const auto deleteWith = [&](const QString &password) {
        messages.answer(QMessageBox::Yes);
        Drive::withModal([&] { Drive::click(window, "ButDel"); },
                         [&](QWidget *dialog) {
                             QCOMPARE(dialog->objectName(), QString("BookPasswordDialog"));
                             Drive::setText(dialog, "Edit1", password);
                             Drive::click(dialog, "ButOk");
                             if (dialog->isVisible())
                                 Drive::click(dialog, "ButExit");
                         });
    };
    deleteWith("wrong");
    QCOMPARE(messages.lastText(), QString("密码错误，请重新录入！"));
    QCOMPARE(BookStore::bookCount(), 3);
    deleteWith("480726");
    QCOMPARE(column(0), QStringList({"丙", "乙"}));
    QVERIFY(!BookStore::bookExists("甲"));
    // Its rows wait in the recycle bin, under no book's name.
    QCOMPARE(Db::count("select count(*) from InTable where BName='甲'"), 0);
    QCOMPARE(Db::count("select count(*) from BinnedBook where BName='甲'"), 1);
    QCOMPARE(Db::count("select count(*) from InD where BName='乙'"), 19);
    QCOMPARE(env.dm()->currentBook(), QString("乙"));

    Drive::click(window, "ButExi");
    QApplication::processEvents();
    QVERIFY(main.mdiArea()->subWindowList().isEmpty());
}

void TestBookDialogs::backupDialogWritesTheChosenFile()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    MainWindow main;
    QTemporaryDir folder;
    QString chosen = folder.path();
    QString askedTitle;
    const BackupDialog::FolderChooser platformChooser = BackupDialog::chooseFolder;
    BackupDialog::chooseFolder = [&](QWidget *, const QString &title) {
        askedTitle = title;
        return chosen;
    };
    const QString expected = QDir::toNativeSeparators(folder.filePath(main.startDate() + ".db"));

    BackupDialog dialog(&main);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("数据备份"));
    Drive::click(&dialog, "ButPath");
    QCOMPARE(askedTitle, QString("选择备份路径："));
    QCOMPARE(Drive::text(&dialog, "Edit1"), expected);
    // Cancelling the chooser empties the path.
    chosen.clear();
    Drive::click(&dialog, "ButPath");
    QCOMPARE(Drive::text(&dialog, "Edit1"), QString());
    Drive::click(&dialog, "ButBackup");
    QCOMPARE(messages.texts(), QStringList{"路径不能为空！"});

    dialog.show();
    chosen = folder.path();
    Drive::click(&dialog, "ButPath");
    Drive::click(&dialog, "ButBackup");
    QCOMPARE(messages.lastText(), QString("数据备份成功！"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(Db::dumpFile(expected), Db::dump());

    // A folder that does not exist: the failure says why, nothing is written.
    BackupDialog failing(&main);
    failing.show();
    Drive::setText(&failing, "Edit1", folder.filePath("gone/backup.db"));
    Drive::click(&failing, "ButBackup");
    QVERIFY(messages.lastText().startsWith("数据备份失败！\n"));
    QVERIFY(!QFile::exists(folder.filePath("gone/backup.db")));

    BackupDialog::chooseFolder = platformChooser;
}

void TestBookDialogs::restoreDialogBringsTheBackupBack()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook("甲");
    BookStore::createBook("乙");
    QTemporaryDir folder;
    const QString backup = folder.filePath("backup.db");
    BookStore::backupTo(backup);
    const QStringList atBackup = Db::dump();
    BookStore::deleteBook("乙");
    BookStore::changePassword("甲", "later");

    MainWindow main;
    openThroughMenu(main, "甲", "later");
    main.findChild<QAction *>("B2")->trigger();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);

    QString askedTitle, askedFilter;
    const RestoreDialog::FileChooser platformChooser = RestoreDialog::chooseFile;
    RestoreDialog::chooseFile = [&](QWidget *, const QString &title, const QString &filter) {
        askedTitle = title;
        askedFilter = filter;
        return backup;
    };
    RestoreDialog dialog(&main);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("数据恢复"));
    QVERIFY(!Drive::widget(&dialog, "Edit1")->isEnabled());
    Drive::click(&dialog, "ButRecover");
    QCOMPARE(messages.texts(), QStringList{"请选择备份文件"});
    Drive::click(&dialog, "ButPath");
    QCOMPARE(askedTitle, QString("打开数据备份文件"));
    QVERIFY(askedFilter.contains("*.db"));
    QCOMPARE(Drive::text(&dialog, "Edit1"), QDir::toNativeSeparators(backup));

    // No at the question changes nothing.
    messages.clear();
    messages.answer(QMessageBox::No);
    Drive::click(&dialog, "ButRecover");
    QCOMPARE(messages.messages.first().caption, QString("恢复数据"));
    QCOMPARE(messages.messages.first().text, QString("确认要恢复数据吗?"));
    QCOMPARE(messages.messages.first().defaultButton, QMessageBox::No);
    QVERIFY(!BookStore::bookExists("乙"));
    QCOMPARE(env.dm()->currentBook(), QString("甲"));

    messages.clear();
    messages.answer(QMessageBox::Yes);
    SqlRecording::start();
    Drive::click(&dialog, "ButRecover");
    // The backup is read whole once; the data it replaces is copied, not checked again.
    const QList<SqlRecording::Statement> ran = SqlRecording::stop();
    QCOMPARE(std::count_if(ran.begin(), ran.end(),
                           [](const auto &s) { return s.text.contains("integrity_check"); }),
             1);
    // The user learns that the book was closed and must be opened again.
    QCOMPARE(messages.lastText(),
             QString("数据恢复成功！\n当前帐簿已关闭，请通过“打开帐簿”重新打开。"));
    QCOMPARE(Db::dump(), atBackup);
    // Windows and the book are closed; the user opens a book of the restored data.
    QVERIFY(main.mdiArea()->subWindowList().isEmpty());
    QVERIFY(env.dm()->currentBook().isEmpty());
    QVERIFY(!menusShown(main));
    QCOMPARE(main.summaryPanel()->figureText("LabCash"), QString("0.00"));
    openThroughMenu(main, "乙", "480726");
    QCOMPARE(env.dm()->currentBook(), QString("乙"));
    openThroughMenu(main, "甲", "480726");
    QCOMPARE(env.dm()->currentBook(), QString("甲"));

    RestoreDialog::chooseFile = platformChooser;
}

void TestBookDialogs::restoreDialogRefusesFilesThatAreNotOurs()
{
    TestEnvironment env;
    MessageRecorder messages;
    BookStore::createBook(Book);
    MainWindow main;
    openThroughMenu(main, Book, "480726");
    QTemporaryDir folder;
    const QString text = folder.filePath("notes.db");
    const QString empty = folder.filePath("empty.db");
    const QString foreign = folder.filePath("foreign.db");
    {
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("这不是数据库\n");
        QFile e(empty);
        QVERIFY(e.open(QIODevice::WriteOnly));
    }
    Db::makeForeignDatabase(foreign, {"create table SBook (BName text, BPass text)",
                                      "insert into SBook values ('外人', '')"});

    const QStringList before = Db::dump();
    const QStringList dataFiles = QDir(env.dataDir()).entryList(QDir::Files);
    const RestoreDialog::FileChooser platformChooser = RestoreDialog::chooseFile;
    for (const QString &file : {text, empty, foreign}) {
        RestoreDialog::chooseFile = [file](QWidget *, const QString &, const QString &) {
            return file;
        };
        RestoreDialog dialog(&main);
        dialog.show();
        Drive::click(&dialog, "ButPath");
        messages.clear();
        messages.answer(QMessageBox::Yes);
        Drive::click(&dialog, "ButRecover");
        QVERIFY2(messages.lastText().startsWith("数据恢复失败！\n"), qPrintable(file));
        QCOMPARE(Db::dump(), before);
        QCOMPARE(QDir(env.dataDir()).entryList(QDir::Files), dataFiles);
        // Nothing was replaced, so the open book stays open.
        QCOMPARE(env.dm()->currentBook(), Book);
    }
    RestoreDialog::chooseFile = platformChooser;
}

QTEST_MAIN(TestBookDialogs)
#include "tst_bookdialogs.moc"
