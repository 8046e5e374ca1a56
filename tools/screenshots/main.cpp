// Opens every window of the program offscreen on a sample book and saves a PNG
// of each into a folder, so that all of them can be looked at at once.
//
//   QT_QPA_PLATFORM=offscreen qinghebu-screenshots [OUTPUT_DIR]
#include "app/ChineseUi.h"
#include "app/MainWindow.h"
#include "app/WindowCatalog.h"
#include "books/BookDialog.h"
#include "core/books/SampleBook.h"
#include "core/ledger/History.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "core/reports/Report.h"
#include "core/sync/ChangeFiles.h"
#include "core/sync/Exchange.h"
#include "core/sync/SyncActions.h"
#include "data/Background.h"
#include "data/Dates.h"
#include "data/Rows.h"
#include "data/Sql.h"
#include "import/ImportWindow.h"
#include "reference/BalanceCorrection.h"
#include "sync/SyncRunner.h"
#include "widgets/DatePicker.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportPreview.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

const QString BookName = QStringLiteral("我家帐簿");

QVariant units(const char *amount)
{
    return Money::parse(QLatin1String(amount))->toVariant();
}

// A debt, a credit or an investment of today with one follow-up record, both
// through the same account and member.
struct FollowedEntry
{
    const Ledger::EntryKind &kind;
    char prefix; // of the entry's columns: B, D or T
    const char *nameColumn, *name, *amount, *remark;
    const Ledger::FollowUpKind &followUp;
    const char *paid, *earned, *followUpRemark;
    const char *account, *member;
};

// A small book with a little of everything, so that lists are not empty.
bool makeSampleBook()
{
    try {
        SampleBook::write({.book = BookName, .entries = 200, .seed = 1});
        const QString today = isoDate(QDate::currentDate());
        const FollowedEntry followed[] = {
            {Ledger::debt(), 'B', "BPro", "王明", "20000", "装修借款", Ledger::repayment(), "5000",
             nullptr, "第一次还款", "工资卡", "张伟"},
            {Ledger::credit(), 'D', "DPro", "刘强", "3000", "借给同事", Ledger::collection(),
             "1000", nullptr, "收回一部分", "现金", "李娜"},
            {Ledger::investment(), 'T', "TName", "基金", "10000", "指数基金定投",
             Ledger::investmentReturn(), "0", "356", "分红", "工资卡", "张伟"},
        };
        // Written as the windows write them: balances and kept totals move too.
        for (const FollowedEntry &f : followed) {
            Ledger ledger(BookName);
            ledger.setWindow(QString::fromUtf8(f.kind.title));
            const QString prefix(QLatin1Char(f.prefix));
            const QVariantMap common = {{QStringLiteral("AName"), QString::fromUtf8(f.account)},
                                        {QStringLiteral("FName"), QString::fromUtf8(f.member)}};
            QVariantMap entry = common;
            entry[prefix + QStringLiteral("Date")] = today;
            entry[QLatin1String(f.nameColumn)] = QString::fromUtf8(f.name);
            entry[prefix + QStringLiteral("Money")] = units(f.amount);
            entry[QStringLiteral("Remark")] = QString::fromUtf8(f.remark);
            QVariantMap record = common;
            record[QStringLiteral("RDate")] = today;
            record[QStringLiteral("RMoney")] = units(f.paid);
            if (f.earned)
                record[QStringLiteral("SMoney")] = units(f.earned);
            record[QStringLiteral("Remark")] = QString::fromUtf8(f.followUpRemark);
            ledger.recordFollowUp(f.followUp, ledger.save(f.kind, entry), record);
            ledger.commit();
        }
        // The last expenses deleted in the expense window: the history and the
        // recycle bin have something to show.
        QList<QVariant> keys;
        QSqlQuery last =
            Sql(QStringLiteral("select ID from OutTable where BName=? order by ID desc limit 3"),
                {BookName})
                .exec();
        while (last.next())
            keys << last.value(0);
        for (const QVariant &key : keys) {
            Ledger ledger(BookName);
            ledger.setWindow(QStringLiteral("支出"));
            ledger.remove(*Ledger::entryKind(QStringLiteral("OutTable")), key);
            ledger.commit();
        }
        return true;
    } catch (const DbError &e) {
        std::fprintf(stderr, "could not write the sample book: %s\n", qPrintable(e.message()));
        return false;
    }
}

// Household planning of the sample book, added once the main window is shown (a
// recurring entry due at opening would open its list over the home page).
void addPlanningSamples()
{
    const QDate today = QDate::currentDate();
    const auto schedule = [](const QString &kind, const QString &name, const QString &account,
                             qint64 yuan, const QDate &start, const QString &unit,
                             const QString &amountMode, const QString &remark) {
        const QString column = kind == QStringLiteral("收入")   ? QStringLiteral("IName")
                               : kind == QStringLiteral("支出") ? QStringLiteral("OName")
                                                                : QStringLiteral("NewN");
        Sql(QStringLiteral("insert into Schedule (BName,Kind,%1,AName,SMoney,SDate,Every,Unit,"
                           "MonthDay,Ending,EndDate,Times,Weekend,AmountMode,PostMode,Remark) "
                           "values (?,?,?,?,?,?,1,?,'同开始日','一直重复',?,0,'推后到周一',?,"
                           "'列出待我确认',?)")
                .arg(column),
            {BookName, kind, name, account, yuan * 10000, isoDate(start), unit, isoDate(start),
             amountMode, remark})
            .exec();
    };
    try {
        schedule(QStringLiteral("支出"), QStringLiteral("上网费"), QStringLiteral("工资卡"), 100,
                 today.addMonths(-1), QStringLiteral("月"), QStringLiteral("固定金额"),
                 QStringLiteral("宽带包月"));
        schedule(QStringLiteral("收入"), QStringLiteral("工资"), QStringLiteral("工资卡"), 8500,
                 today.addDays(-20), QStringLiteral("月"), QStringLiteral("固定金额"),
                 QStringLiteral("工资"));
        schedule(QStringLiteral("支出"), QStringLiteral("电费"), QStringLiteral("现金"), 120,
                 today.addDays(-3), QStringLiteral("周"), QStringLiteral("估计金额（记帐前确认）"),
                 QStringLiteral("电费预估"));
        // Budgets from this month to the year's end, one of them rolling over,
        // and some of this month's spending against them.
        const QStringList months = Budget::months(today.year()).mid(today.month() - 1);
        Budget::setAmount(BookName, QStringLiteral("食品"), months, *Money::parse("1500"));
        Budget::setAmount(BookName, QStringLiteral("外出就餐"), months, *Money::parse("600"));
        Budget::setAmount(BookName, QStringLiteral("日常用品"), months, *Money::parse("400"));
        Budget::setAmount(BookName, QString(), months, *Money::parse("3000"));
        Budget::setRollover(BookName, QStringLiteral("食品"), true);
        Ledger ledger(BookName);
        ledger.setWindow(QStringLiteral("支出"));
        for (const auto &[name, yuan] :
             {std::pair{"食品", 1280}, {"外出就餐", 650}, {"日常用品", 90}})
            ledger.save(Ledger::expense(), {{QStringLiteral("ODate"), isoDate(today)},
                                            {QStringLiteral("OName"), QString::fromUtf8(name)},
                                            {QStringLiteral("OMoney"), qlonglong(yuan) * 10000},
                                            {QStringLiteral("AName"), QStringLiteral("现金")}});
        ledger.commit();
    } catch (const DbError &e) {
        std::fprintf(stderr, "could not write the planning samples: %s\n", qPrintable(e.message()));
    }
}

void save(QWidget *widget, const QDir &out, const QString &name)
{
    // Totals computed on a worker thread are shown first.
    Background::waitForIdle();
    const QString path = out.filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
}

// Runs `act` on the next modal dialog once it is up.
void whenNextDialog(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

// Grabs the next modal dialog once it is up, then closes it.
void grabNextDialog(const QDir &out, const QString &name)
{
    whenNextDialog([out, name](QWidget *dialog) {
        save(dialog, out, name);
        dialog->close();
    });
}

// Presses a button of the next modal dialog once it is up.
void pressInNextDialog(const QString &button)
{
    whenNextDialog([button](QWidget *dialog) {
        if (auto *b = dialog->findChild<QPushButton *>(button))
            b->click();
        else
            dialog->close();
    });
}

// The import window with bills of 支付宝 and 微信 read, some payment methods without
// an account yet; its settings page; and the list of imports once they are imported.
void saveImportWindow(QWidget *main, ImportWindow *window, const QDir &out)
{
    const QString bills = QStringLiteral(QINGHEBU_BILL_FIXTURES "/");
    window->addFiles({bills + QStringLiteral("alipay.csv"), bills + QStringLiteral("wechat.csv")});
    const auto tab = [&](int index, const QString &name) {
        window->findChild<QTabWidget *>(QStringLiteral("Tabs"))->setCurrentIndex(index);
        QApplication::processEvents();
        save(main, out, name);
    };
    // Two payment methods given an account, the others still to choose.
    for (const char *method : {"余额", "花呗"})
        if (auto *box = window->findChild<QComboBox *>(QStringLiteral("Method_") +
                                                       QString::fromUtf8(method))) {
            box->setCurrentIndex(1);
            emit box->activated(1);
        }
    tab(0, QStringLiteral("TfrmImport"));
    tab(1, QStringLiteral("TfrmImport-settings"));
    const QStringList methods = window->plan().methods();
    for (const QString &method : methods)
        if (auto *box = window->findChild<QComboBox *>(QStringLiteral("Method_") + method);
            box && box->currentIndex() <= 0) {
            box->setCurrentIndex(1);
            emit box->activated(1);
        }
    window->importChosen();
    tab(0, QStringLiteral("TfrmImport-imported"));
    tab(2, QStringLiteral("TfrmImport-batches"));
}

// Qt's own windows, which must speak Chinese whatever the system's language: a
// date picker's calendar, a file dialog and a Yes/No question.
void saveQtDialogs(const QDir &out)
{
    QDateEdit *picker = makeDatePicker(nullptr, QStringLiteral("DateTimePicker1"));
    QCalendarWidget *calendar = picker->calendarWidget();
    calendar->setParent(nullptr, Qt::Window);
    calendar->show();
    QApplication::processEvents();
    save(calendar, out, QStringLiteral("qt-calendar"));
    delete calendar;
    delete picker;

    QFileDialog files(nullptr, QStringLiteral("打开数据备份文件"), QDir::tempPath(),
                      QStringLiteral("DB文件 (*.db)"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.show();
    QApplication::processEvents();
    save(&files, out, QStringLiteral("qt-filedialog"));

    QMessageBox question(QMessageBox::Question, QStringLiteral("删除"),
                         Msg::deleteQuestion(QStringLiteral("这条记录（2026-06-15，食品，80.00）")),
                         QMessageBox::Yes | QMessageBox::No);
    question.show();
    QApplication::processEvents();
    save(&question, out, QStringLiteral("qt-question"));
}

// The 窗口 menu with two windows open, and the password a book's deletion asks.
void saveWindowMenuAndBookPassword(MainWindow &main, const QDir &out)
{
    main.openWindow(QStringLiteral("TfrmInTable"));
    main.openWindow(QStringLiteral("TfrmOutTable"));
    auto *menu = main.findChild<QMenu *>(QStringLiteral("Win1"));
    menu->popup(main.mapToGlobal(QPoint(400, 20)));
    QApplication::processEvents();
    save(menu, out, QStringLiteral("menu-window"));
    menu->close();
    main.closeAllChildren();

    BookPasswordDialog password(&main, BookName, QStringLiteral("删除帐簿"));
    password.show();
    QApplication::processEvents();
    save(&password, out, QStringLiteral("BookPasswordDialog"));

    CorrectionCategoryDialog correction(
        QStringLiteral("帐户“工资卡”的余额从 32,576.68 改为 32,600.00，多出 23.32。\n"
                       "记为哪一类收入："),
        true, &main);
    correction.show();
    QApplication::processEvents();
    save(&correction, out, QStringLiteral("TfrmBalanceCorrection"));
}

// The household sync set up on the sample book in a folder of its own: 书房笔记本
// has written a file there (one of this computer's own actions, sent under its
// name), a sync service left a conflicted copy, and an edit lost to one made on
// 书房笔记本 waits in the recycle bin. The set-up dialog's 加入 form comes first.
void saveHouseholdSync(MainWindow &main, const QDir &out, const QString &folder)
{
    whenNextDialog([out](QWidget *dialog) {
        dialog->findChild<QRadioButton *>(QStringLiteral("RadioJoin"))->setChecked(true);
        QApplication::processEvents();
        save(dialog, out, QStringLiteral("TfrmSyncSetup-join"));
        dialog->close();
    });
    main.openWindow(QStringLiteral("TfrmSyncSetup"));
    const QString other = QStringLiteral("书房笔记本");
    try {
        Sync::setUpFirst(folder, QStringLiteral("我们全家的密码"), QStringLiteral("客厅台式机"),
                         {BookName});
        Ledger ledger(BookName);
        ledger.setWindow(QStringLiteral("支出"));
        ledger.save(Ledger::expense(), {{QStringLiteral("ODate"), isoDate(QDate::currentDate())},
                                        {QStringLiteral("OName"), QStringLiteral("食品")},
                                        {QStringLiteral("OMoney"), units("36.8")},
                                        {QStringLiteral("AName"), QStringLiteral("现金")},
                                        {QStringLiteral("Remark"), QStringLiteral("书房记的")}});
        ledger.commit();
        const Sync::Folder opened = Sync::Folder::open(folder, QStringLiteral("我们全家的密码"));
        opened.write(other, 1, Sync::encode(Sync::outgoing(1)));
        QFile copy(folder + QLatin1Char('/') + other + QStringLiteral("/0000000001 (冲突副本)"));
        if (copy.open(QIODevice::WriteOnly))
            copy.write("a copy a sync service made");
        QSqlQuery row =
            Sql(QStringLiteral("select * from OutTable where BName=? limit 1"), {BookName}).exec();
        if (row.next())
            History::binConflict(BookName, QStringLiteral("OutTable"), Rows::current(row), other);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "could not set up the household sync: %s\n", e.what());
        return;
    }
    main.openWindow(QStringLiteral("TfrmSync"));
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmSync-set-up"));
    main.closeAllChildren();
    grabNextDialog(out, QStringLiteral("TfrmSyncSetup-set-up"));
    main.openWindow(QStringLiteral("TfrmSyncSetup"));
    // An exchange: the status bar says how it went.
    SyncRunner::instance()->runNow();
    Background::waitForIdle();
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmMain-sync"));
    main.openWindow(QStringLiteral("TfrmSync"));
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmSync-synced"));
    main.closeAllChildren();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QINGHEBU_UNATTENDED", "1");
    chooseChineseLocale();
    QApplication app(argc, argv);
    useChineseUi(app);

    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    QDir().mkpath(out.path());
    QTemporaryDir data;
    qputenv("QINGHEBU_DATA_DIR", data.path().toUtf8());

    Workspace dm;
    if (!makeSampleBook())
        return 1;
    grabNextDialog(out, QStringLiteral("startup-dialog"));
    MainWindow main;
    main.show();
    dm.openBook(BookName);
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmMain"));
    saveWindowMenuAndBookPassword(main, out);
    addPlanningSamples();
    // The home page with this month's budget.
    dm.notifyBalancesChanged();
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmMain-budget"));

    for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
        const QString name = QLatin1String(entry.className);
        if (entry.kind == WindowCatalog::Kind::Modal) {
            grabNextDialog(out, name);
            main.openWindow(name);
            continue;
        }
        QWidget *child = main.openWindow(name);
        QApplication::processEvents();
        if (auto *import = qobject_cast<ImportWindow *>(child)) {
            saveImportWindow(&main, import, out);
            main.closeAllChildren();
            continue;
        }
        save(&main, out, name);
        // Windows with a quick filter show it too, under the filter dialog's name.
        if (auto *query = child->findChild<QPushButton *>(QStringLiteral("ButQuery"))) {
            grabNextDialog(out, name + QStringLiteral("_Q"));
            query->click();
            // ...and the window once filtered by the dialog's defaults.
            pressInNextDialog(QStringLiteral("BitBtn1"));
            query->click();
            QApplication::processEvents();
            save(&main, out, name + QStringLiteral("-filtered"));
        }
        // The reconciliation compares an account with a balance the bank showed.
        if (name == QLatin1String("TfrmReconcile")) {
            if (auto *account = child->findChild<QComboBox *>(QStringLiteral("DBLookupComboBox1")))
                account->setCurrentText(QStringLiteral("工资卡"));
            if (auto *bank = child->findChild<QLineEdit *>(QStringLiteral("Edit1")))
                bank->setText(QStringLiteral("28000"));
        }
        // Query windows are shown with a result, their first follow-up record and one
        // page of their printed report.
        auto *run = child->findChild<QPushButton *>(QStringLiteral("BitBtn1"));
        if (run) {
            // A query of the whole book, so that its grid, totals and report have rows.
            if (auto *dates = child->findChild<QCheckBox *>(QStringLiteral("CheckBox1")))
                dates->setChecked(false);
            run->click();
            QApplication::processEvents();
            if (auto *grid = child->findChild<QTableView *>(QStringLiteral("DBGrid1"));
                grid && grid->model()->rowCount() > 0)
                emit grid->clicked(grid->model()->index(0, 1));
            QApplication::processEvents();
            save(&main, out, name);
            if (auto *print = child->findChild<QPushButton *>(QStringLiteral("BitBtn4"));
                print && print->isEnabled()) {
                // The first page alone, and the print preview that shows it.
                Report::setPresenter([&](QWidget *, const Report::Document &document) {
                    const QString path = out.filePath(name + QStringLiteral("-report.png"));
                    if (document.pageImage(0, 120).save(path))
                        std::printf("%s\n", qPrintable(path));
                    ReportPreview preview(document);
                    preview.resize(1100, 800);
                    preview.show();
                    QApplication::processEvents();
                    save(&preview, out, name + QStringLiteral("-preview"));
                });
                print->click();
                Report::setPresenter({});
            }
        }
        // A list of what is due shows the dialog that changes one before posting it.
        if (auto *edit = child->findChild<QPushButton *>(QStringLiteral("ButEditPost"))) {
            grabNextDialog(out, name + QStringLiteral("_Post"));
            edit->click();
        }
        // Entries with follow-ups show the dialog that records one and the list of them.
        for (const char *item : {"R1", "V1"})
            if (auto *action = child->findChild<QAction *>(QLatin1String(item))) {
                grabNextDialog(
                    out, name + (item[0] == 'R' ? QStringLiteral("_R") : QStringLiteral("_V")));
                action->trigger();
            }
        // Windows that enter rows are shown once more while entering a new one.
        if (auto *button = child->findChild<QPushButton *>(QStringLiteral("ButNew"));
            button && button->isEnabled()) {
            button->click();
            QApplication::processEvents();
            save(&main, out, name + QStringLiteral("-new"));
            // Dropped, so that closing the window asks nothing.
            if (auto *cancel = child->findChild<QPushButton *>(QStringLiteral("ButCan")))
                cancel->click();
        }
        // Chart windows show each chart tab of their result too.
        if (auto *tabs = child->findChild<QTabWidget *>(); tabs && run) {
            for (int tab = 1; tab < tabs->count(); ++tab) {
                tabs->setCurrentIndex(tab);
                QApplication::processEvents();
                save(&main, out, name + QStringLiteral("-chart-%1").arg(tab));
            }
        }
        main.closeAllChildren();
        QApplication::processEvents();
    }
    QTemporaryDir syncFolder;
    saveHouseholdSync(main, out, syncFolder.path());
    saveQtDialogs(out);
    return 0;
}
