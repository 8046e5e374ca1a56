// Whole-file work off the screen's thread, on sample books of 10^3 and 10^6 entries:
// the start to the main window with the book open while the day's automatic backup is
// due, how long the worker then takes to write and check the backup, and the longest
// time the screen's thread kept a timer of 5 ms waiting while the automatic backup,
// the count and totals of the income query over all dates, and a restore ran.
// Wall-clock milliseconds, median of the rounds; every round works on a fresh copy
// of the book.
//
//   QT_QPA_PLATFORM=offscreen bench_worker [CACHE_DIR]
//
// The books are written by qinghebu-sample into CACHE_DIR (default
// /tmp/qinghebu-bench-worker); the 10^6 book is kept there for later runs.
#include "app/MainWindow.h"
#include "books/RestoreDialog.h"
#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/books/SampleBook.h"
#include "core/ledger/Workspace.h"
#include "data/Background.h"
#include "data/Schema.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QString Book = QStringLiteral("大帐簿");
constexpr std::uint64_t Seed = 2024;
constexpr int Rounds = 5;
constexpr int TickMs = 5;
constexpr double MaxWaitMs = 100;

// The longest time the screen's thread let a timer due every TickMs wait: between
// two of its ticks, or since the last tick when asked.
class LongestWait
{
public:
    LongestWait()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(TickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { note(); });
        m_clock.start();
        m_timer.start();
    }
    double ms()
    {
        note();
        return m_longest / 1e6;
    }

private:
    void note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0;
};

// Lets the screen's thread run until `done` holds (checked every few milliseconds).
void runUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, TickMs);
}

QString bookFile(const QString &dir)
{
    return dir + QLatin1Char('/') + Workspace::databaseFileName();
}

template <typename T> T *child(QWidget *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s", qPrintable(root->objectName()), name);
    return found;
}

// ---- one round ---------------------------------------------------------------------

struct Round
{
    double start = 0;           // to the main window painted with the book open
    double backupDone = 0;      // since the start: the backup written and checked
    double backupWait = 0;      // the longest wait of the screen's thread meanwhile
    double totalsCheckDone = 0; // since the start: the kept totals compared too
    double saveDuringCheck = 0; // a write of the screen's thread while they are compared
    double queryGrid = 0;       // 查询 until its grid is shown
    double queryTotals = 0;     // ... until the count and totals are shown
    double queryWait = 0;       // the longest wait of the screen's thread meanwhile
    double restore = 0;         // 恢复 until the success is said
    double restoreWait = 0;     // the same
    bool backupChecked = false; // one automatic backup, which passes the restore's check
    bool restored = false;
};

void startAndBackUp(Round &r, std::unique_ptr<Workspace> &dm, std::unique_ptr<MainWindow> &main)
{
    QElapsedTimer clock;
    clock.start();
    dm = std::make_unique<Workspace>();
    if (!dm->isOpen())
        qFatal("%s", qPrintable(dm->openError()));
    main = std::make_unique<MainWindow>();
    main->show();
    // What the open-book dialog does once the password is typed.
    if (!BookStore::checkPassword(Book, BookStore::InitialPassword) || !dm->openBook(Book))
        qFatal("the book did not open");
    QCoreApplication::processEvents();
    main->repaint();
    r.start = clock.nsecsElapsed() / 1e6;

    LongestWait wait;
    runUntil([&] {
        const double now = clock.nsecsElapsed() / 1e6;
        if (r.backupDone == 0 && !AutoBackup::list().isEmpty())
            r.backupDone = now;
        // A save while the worker reads the whole book to compare the totals.
        if (r.backupDone > 0 && r.saveDuringCheck == 0 && now > r.backupDone + 100) {
            QElapsedTimer save;
            save.start();
            Sql(QStringLiteral("update SBook set Remark=Remark where BName=?"), {Book}).exec();
            r.saveDuringCheck = save.nsecsElapsed() / 1e6;
        }
        return !Background::isBusy();
    });
    r.backupWait = wait.ms();
    r.totalsCheckDone = clock.nsecsElapsed() / 1e6;
    const QStringList backups = AutoBackup::list();
    r.backupChecked = backups.size() == 1 && BookStore::checkBackup(backups.first()).isEmpty();
}

void queryAllDates(Round &r, MainWindow &main)
{
    QWidget *window = main.openWindow(QStringLiteral("TfrmP_In"));
    child<QCheckBox>(window, "CheckBox1")->setChecked(false);
    QCoreApplication::processEvents();
    auto *count = child<QLabel>(window, "Label2");

    QElapsedTimer clock;
    LongestWait wait;
    clock.start();
    child<QPushButton>(window, "BitBtn1")->click();
    window->repaint();
    r.queryGrid = clock.nsecsElapsed() / 1e6;
    runUntil([&] { return !Background::isBusy(); });
    r.queryTotals = clock.nsecsElapsed() / 1e6;
    r.queryWait = wait.ms();
    if (count->text().contains(QStringLiteral("计算中")) ||
        count->text() == QStringLiteral("笔数：0"))
        qFatal("no count shown: %s", qPrintable(count->text()));
    main.closeAllChildren();
}

void restore(Round &r, MainWindow &main, const QString &backup)
{
    QString said;
    Msg::setAnswerer([&said](QMessageBox &box) {
        said = box.text();
        return box.standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                : QMessageBox::Ok;
    });
    RestoreDialog dialog(&main);
    dialog.show();
    child<QLineEdit>(&dialog, "Edit1")->setText(QDir::toNativeSeparators(backup));
    QElapsedTimer clock;
    LongestWait wait;
    clock.start();
    child<QPushButton>(&dialog, "ButRecover")->click();
    r.restore = clock.nsecsElapsed() / 1e6;
    r.restoreWait = wait.ms();
    r.restored = said.startsWith(QStringLiteral("数据恢复成功"));
    if (!r.restored)
        std::fprintf(stderr, "restore: %s\n", qPrintable(said));
}

// Starts the program on a copy of `source` with no automatic backup yet, then times
// the backup, a query's totals and a restore of `source` itself.
Round runRound(const QString &source)
{
    QTemporaryDir data;
    if (!QFile::copy(source, bookFile(data.path())))
        qFatal("cannot copy %s", qPrintable(source));
    qputenv("QINGHEBU_DATA_DIR", data.path().toUtf8());
    Round r;
    std::unique_ptr<Workspace> dm;
    std::unique_ptr<MainWindow> main;
    startAndBackUp(r, dm, main);
    queryAllDates(r, *main);
    restore(r, *main, source);
    main.reset();
    dm.reset();
    return r;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of each figure over the rounds.
Round medianOf(const std::vector<Round> &rounds)
{
    const auto of = [&rounds](double Round::*figure) {
        std::vector<double> values;
        for (const Round &r : rounds)
            values.push_back(r.*figure);
        return median(values);
    };
    Round m;
    for (double Round::*f :
         {&Round::start, &Round::backupDone, &Round::backupWait, &Round::totalsCheckDone,
          &Round::saveDuringCheck, &Round::queryGrid, &Round::queryTotals, &Round::queryWait,
          &Round::restore, &Round::restoreWait})
        m.*f = of(f);
    m.backupChecked =
        std::all_of(rounds.begin(), rounds.end(), [](const Round &r) { return r.backupChecked; });
    m.restored =
        std::all_of(rounds.begin(), rounds.end(), [](const Round &r) { return r.restored; });
    return m;
}

Round measure(const QString &source)
{
    std::vector<Round> rounds;
    for (int i = 0; i < Rounds; ++i)
        rounds.push_back(runRound(source));
    return medianOf(rounds);
}

// ---- the books and the report ----------------------------------------------------------

// The data file of a book of `entries` written by qinghebu-sample into `folder`, which
// is made anew unless `keep` and the file is there from an earlier run.
QString sampleBook(const QString &folder, std::int64_t entries, bool keep)
{
    const QString file = bookFile(folder);
    if (keep && QFile::exists(file))
        return file;
    // Written aside and renamed, so that a run cut off leaves no half book.
    const QString part = folder + QStringLiteral(".part");
    QDir(part).removeRecursively();
    std::printf("writing a sample book of %lld entries\n", static_cast<long long>(entries));
    std::fflush(stdout);
    const int status =
        QProcess::execute(QStringLiteral(QINGHEBU_SAMPLE_TOOL),
                          {QStringLiteral("--data-dir"), part, QStringLiteral("--book"), Book,
                           QStringLiteral("--entries"), QString::number(entries),
                           QStringLiteral("--seed"), QString::number(Seed)});
    if (status != 0)
        qFatal("qinghebu-sample failed (%d)", status);
    QDir(folder).removeRecursively();
    if (!QDir().rename(part, folder))
        qFatal("cannot rename %s", qPrintable(part));
    return file;
}

const char *verdict(bool ok)
{
    return ok ? "ok" : "MISSED";
}

void printTable(const Round &small, const Round &big)
{
#ifndef __OPTIMIZE__
    std::printf("\n(an unoptimised build: configure with -DCMAKE_BUILD_TYPE=Release)");
#endif
    std::printf("\nmedian of %d rounds, wall-clock ms; \"wait\": the longest time the screen's "
                "thread kept a %d ms timer waiting\n",
                Rounds, TickMs);
    std::printf("%-44s %10s %10s %8s\n", "figure", "10^3", "10^6", "x 10^3");
    const auto line = [](const char *name, double s, double b) {
        if (s > 0)
            std::printf("%-44s %10.1f %10.1f %8.2f\n", name, s, b, b / s);
        else // over before it could be measured
            std::printf("%-44s %10s %10.1f %8s\n", name, "-", b, "-");
    };
    line("start to the main window, backup due", small.start, big.start);
    line("  automatic backup written and checked", small.backupDone, big.backupDone);
    line("  kept totals checked as well", small.totalsCheckDone, big.totalsCheckDone);
    line("  wait during the backup and the check", small.backupWait, big.backupWait);
    line("  a save meanwhile (if still checking)", small.saveDuringCheck, big.saveDuringCheck);
    line("query over all dates: grid shown", small.queryGrid, big.queryGrid);
    line("  count and totals shown", small.queryTotals, big.queryTotals);
    line("  wait", small.queryWait, big.queryWait);
    line("restore (check, copy kept, copy in)", small.restore, big.restore);
    line("  wait", small.restoreWait, big.restoreWait);

    const double startRatio = big.start / std::max(small.start, 1e-3);
    std::printf("\nsummary (10^6 entries; goals in brackets)\n");
    std::printf("start with the backup due    %.2fx the time on 10^3 [<=1.5x: %s]; backup "
                "written and checked: %s\n",
                startRatio, verdict(startRatio <= 1.5), verdict(big.backupChecked));
    for (const auto &[name, waited] :
         {std::pair{"automatic backup", big.backupWait}, std::pair{"query totals", big.queryWait},
          std::pair{"restore", big.restoreWait}})
        std::printf("%-28s longest wait of the screen's thread %.1f ms [<=%.0f ms: %s]\n", name,
                    waited, MaxWaitMs, verdict(waited <= MaxWaitMs));
    std::printf("restores said success: %s\n", verdict(small.restored && big.restored));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MainWindow::setStartupDialog(false);
    const QDir cache(argc > 1 ? QString::fromLocal8Bit(argv[1])
                              : QStringLiteral("/tmp/qinghebu-bench-worker"));
    const QString generation = QStringLiteral("-seed%1-generation%2-layout%3")
                                   .arg(Seed)
                                   .arg(SampleBook::Generation)
                                   .arg(Schema::UserVersion);
    const QString small = sampleBook(cache.filePath(QStringLiteral("small")), 1000, false);
    const QString big =
        sampleBook(cache.filePath(QStringLiteral("million") + generation), 1000000, true);
    printTable(measure(small), measure(big));
    return 0;
}
