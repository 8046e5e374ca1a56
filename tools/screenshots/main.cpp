// Opens every window of the program offscreen on a sample book and saves a PNG
// of each into a folder, so that all of them can be looked at at once.
//
//   QT_QPA_PLATFORM=offscreen qinghebu-screenshots [OUTPUT_DIR]
#include "app/ChineseUi.h"
#include "app/TfrmMain.h"
#include "app/WindowCatalog.h"
#include "books/BookStore.h"
#include "books/Password.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"
#include "reports/Report.h"
#include "widgets/DatePicker.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

const QString SampleBook = QStringLiteral("我家帐簿");

void exec(const QString &sql, const QVariantList &values = {})
{
    Sql(sql, values).exec();
}

// A small book with a little of everything, so that lists are not empty.
void makeSampleBook()
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    exec(QStringLiteral("insert into SBook (BName, BPass, BDate, Remark) values (?, ?, ?, ?)"),
         {SampleBook, Password::hash(BookStore::InitialPassword), today,
          QStringLiteral("家庭日常开支")});
    const std::pair<const char *, qlonglong> accounts[] = {
        {"现金", 12345000}, {"工资卡", 85000000}, {"中行长城卡", 0}, {"支付宝", 3250000}};
    for (const auto &[name, units] : accounts)
        exec(QStringLiteral("insert into SAccount (AName, thePY, BName, AMoney, Remark) "
                            "values (?, '', ?, ?, '')"),
             {QString::fromUtf8(name), SampleBook, units});
    for (const char *name : {"工资", "奖金", "利息收入"})
        exec(QStringLiteral("insert into InD (IName, thePY, BName, Remark) values (?, '', ?, '')"),
             {QString::fromUtf8(name), SampleBook});
    for (const char *name : {"餐饮", "交通", "水电费", "银行手续费"})
        exec(QStringLiteral("insert into OutD (OName, thePY, BName, Remark) values (?, '', ?, '')"),
             {QString::fromUtf8(name), SampleBook});
    for (const char *name : {"股票", "基金"})
        exec(QStringLiteral("insert into TD (TName, thePY, BName, Remark) values (?, '', ?, '')"),
             {QString::fromUtf8(name), SampleBook});
    exec(QStringLiteral("insert into SFamily (FName, thePY, theGX, BirDate, Remark) values "
                        "('张伟', 'ZW', '父亲', '1975-03-12', ''), "
                        "('李娜', 'LN', '母亲', '1978-09-30', '')"));
    exec(QStringLiteral("insert into InTable (BName, IDate, IName, IMoney, AName, FName, Remark) "
                        "values (?, ?, '工资', 85000000, '工资卡', '张伟', '十一月工资')"),
         {SampleBook, today});
    exec(QStringLiteral("insert into OutTable (BName, ODate, OName, OMoney, AName, FName, Remark) "
                        "values (?, ?, '餐饮', 1285000, '现金', '李娜', '超市')"),
         {SampleBook, today});
    exec(QStringLiteral("insert into ChangeT (BName, CDate, OldN, NewN, CMoney, FName, Remark) "
                        "values (?, ?, '工资卡', '支付宝', 5000000, '张伟', ' 工资卡->支付宝')"),
         {SampleBook, today});
    // A debt, a credit and an investment, each with a follow-up record.
    exec(QStringLiteral("insert into Borrow (BName, BDate, BPro, BMoney, AName, FName, RMoney, "
                        "Remark) values (?, ?, '王明', 200000000, '工资卡', '张伟', 50000000, "
                        "'装修借款')"),
         {SampleBook, today});
    exec(QStringLiteral("insert into BorrowR (BID, RDate, RMoney, AName, FName, Remark) values "
                        "(1, ?, 50000000, '工资卡', '张伟', '第一次还款')"),
         {today});
    exec(QStringLiteral(
             "insert into Debt (BName, DDate, DPro, DMoney, AName, FName, RMoney, "
             "Remark) values (?, ?, '刘强', 30000000, '现金', '李娜', 10000000, '借给同事')"),
         {SampleBook, today});
    exec(QStringLiteral("insert into DebtR (DID, RDate, RMoney, AName, FName, Remark) values "
                        "(1, ?, 10000000, '现金', '李娜', '收回一部分')"),
         {today});
    exec(QStringLiteral("insert into TTable (BName, TDate, TName, TMoney, RMoney, AName, FName, "
                        "Remark) values (?, ?, '基金', 100000000, 3560000, '工资卡', '张伟', "
                        "'指数基金定投')"),
         {SampleBook, today});
    exec(QStringLiteral("insert into TTableR (TID, RDate, RMoney, SMoney, AName, FName, Remark) "
                        "values (1, ?, 0, 3560000, '工资卡', '张伟', '分红')"),
         {today});
}

void save(QWidget *widget, const QDir &out, const QString &name)
{
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
                         QStringLiteral("确认要删除吗？该删除将不可恢复！"),
                         QMessageBox::Yes | QMessageBox::No);
    question.show();
    QApplication::processEvents();
    save(&question, out, QStringLiteral("qt-question"));
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

    TfrmDM dm;
    makeSampleBook();
    grabNextDialog(out, QStringLiteral("startup-dialog"));
    TfrmMain main;
    main.show();
    dm.setCurrentBook(SampleBook);
    dm.myShow(true);
    main.setWindowTitle(SampleBook);
    main.mySum();
    QApplication::processEvents();
    save(&main, out, QStringLiteral("TfrmMain"));

    for (const WindowCatalog::Entry &entry : WindowCatalog::all()) {
        const QString name = QLatin1String(entry.className);
        if (entry.kind == WindowCatalog::Kind::Modal) {
            grabNextDialog(out, name);
            main.openWindow(name);
            continue;
        }
        QWidget *child = main.openWindow(name);
        QApplication::processEvents();
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
        // Query windows are shown with a result, their first follow-up record and one
        // page of their printed report.
        if (auto *run = child->findChild<QPushButton *>(QStringLiteral("BitBtn1"))) {
            run->click();
            QApplication::processEvents();
            if (auto *grid = child->findChild<QTableView *>(QStringLiteral("DBGrid1"));
                grid && grid->model()->rowCount() > 0)
                emit grid->clicked(grid->model()->index(0, 1));
            QApplication::processEvents();
            save(&main, out, name);
            if (auto *print = child->findChild<QPushButton *>(QStringLiteral("BitBtn4"));
                print && print->isEnabled()) {
                Report::setPresenter([&](QWidget *, const Report::Layout &layout, RowSource rows,
                                         const Report::RowsOpener &) {
                    const QString path = out.filePath(name + QStringLiteral("-report.png"));
                    if (Report::firstPage(layout, rows).save(path))
                        std::printf("%s\n", qPrintable(path));
                });
                print->click();
                Report::setPresenter({});
            }
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
        main.closeAllChildren();
        QApplication::processEvents();
    }
    saveQtDialogs(out);
    return 0;
}
