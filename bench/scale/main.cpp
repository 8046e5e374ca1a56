// How the reports keep up with a big book, on sample books of 10^3 and 10^6 entries:
// the print preview of every income (first page shown, then the whole report saved
// as PDF), the expense analysis by day over all ten years (grid and shown chart
// painted), and the income and expense queries sorted by a column (first screen
// painted, and the longest the screen's thread went without answering while the
// sort ran). Times are medians in thread CPU time with the wall clock beside, and
// the growth of the process's resident memory; the last lines hold the goals.
//
//   QT_QPA_PLATFORM=offscreen bench_scale [CACHE_DIR [SHOTS_DIR]]
//
// The 10^6 book is kept in CACHE_DIR (default /tmp/qinghebu-bench) for later runs;
// every run works on a copy. SHOTS_DIR, when given, receives a PNG of the preview
// and of the analysis on the big book.
#include "../common/BenchCommon.h"
#include "core/ledger/Workspace.h"
#include "core/reports/Report.h"
#include "reports/AnalysisWindows.h"
#include "reports/DetailQueries.h"
#include "widgets/ChartTabs.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportPreview.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>

namespace {

using namespace Bench;
constexpr int Rounds = 5;

QString g_shots;     // where screenshots go; empty: none
QString g_indexCost; // what the amount indexes add to the big book's file

struct Figure
{
    Timing time;
    double growthMb = 0;
    QString note{}; // what else was found: pages, the longest wait...
    double longestGapMs = 0;
    bool complete = true; // a saved file holds every page
};

// Processes events until `done` says so; false after a minute.
bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer guard;
    guard.start();
    // Wakes the loop below now and then; otherwise it sleeps until an event comes.
    QTimer wake;
    wake.start(20);
    while (!done() && guard.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

double baselineMb()
{
    settle();
    malloc_trim(0);
    return residentMb();
}

void shoot(QWidget *widget, const QString &name)
{
    if (!g_shots.isEmpty() && widget->grab().save(g_shots + QLatin1Char('/') + name))
        std::printf("saved %s/%s\n", qPrintable(g_shots), qPrintable(name));
}

// Notices the longest time the screen's thread went without running a 5 ms timer.
class GapWatch
{
public:
    GapWatch()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_last = wallMs();
        m_timer.start();
    }
    double longest()
    {
        tick();
        return m_longest;
    }

private:
    void tick()
    {
        const double now = wallMs();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    double m_last = 0, m_longest = 0;
};

// ---- the print preview -------------------------------------------------------------

// The income query of every date, its report shown in the preview until the first
// page is drawn.
Figure measurePreview(bool shots)
{
    IncomeQueryWindow window;
    window.resize(1200, 800);
    window.show();
    window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
    window.runQuery();
    settle();
    Figure figure;
    Sample sample;
    for (int round = 0; round < Rounds; ++round) {
        const double before = baselineMb();
        bool shown = false;
        Timing t;
        const double cpu = threadMs(), wall = wallMs();
        Report::setPresenter([&](QWidget *, const Report::Document &document) {
            ReportPreview preview(document);
            preview.resize(1200, 900);
            QObject::connect(preview.view(), &PageView::pageShown, [&] {
                if (!shown)
                    t = {threadMs() - cpu, wallMs() - wall};
                shown = true;
            });
            preview.show();
            waitFor([&] { return shown; });
            figure.growthMb = std::max(figure.growthMb, residentMb() - before);
            figure.note = QStringLiteral("%1 pages").arg(document.pageCount());
            if (shots && round == 0)
                shoot(&preview, QStringLiteral("preview.png"));
        });
        window.printReport();
        sample.add(t);
    }
    Report::setPresenter({});
    figure.time = sample.median();
    return figure;
}

// The pages of a PDF file as a PDF reader finds them (poppler's pdfinfo), or -1.
int pdfPages(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (!info.waitForFinished(120000))
        return -1;
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpressionMatch found =
        pages.match(QString::fromUtf8(info.readAllStandardOutput()));
    return found.hasMatch() ? found.captured(1).toInt() : -1;
}

// The same report saved as PDF from the preview, once.
Figure measurePdf()
{
    IncomeQueryWindow window;
    window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
    window.runQuery();
    settle();
    Figure figure;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("收入报表.pdf"));
    Report::setPresenter([&](QWidget *, const Report::Document &document) {
        ReportPreview preview(document);
        const double before = baselineMb();
        double peak = before;
        int pages = 0;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { peak = std::max(peak, residentMb()); });
        sampler.start(50);
        figure.time = timed([&] { preview.saveAsPdf(path); });
        peak = std::max(peak, residentMb());
        pages = pdfPages(path);
        figure.growthMb = peak - before;
        figure.note = QStringLiteral("%1 of %2 pages, %3 MB")
                          .arg(pages)
                          .arg(document.pageCount())
                          .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1);
        figure.complete = pages == document.pageCount();
    });
    window.printReport();
    Report::setPresenter({});
    return figure;
}

// ---- the analysis by day -------------------------------------------------------------

// Paints the window as it stands: the window, and the viewports of its grids and
// charts, which paint on their own.
void paintAll(QWidget *window)
{
    window->repaint();
    for (QAbstractScrollArea *area : window->findChildren<QAbstractScrollArea *>())
        area->viewport()->repaint();
}

// 统计 of the expense analysis by day over every date, until the sums and the
// shown chart are painted.
Figure measureAnalysis(bool shots)
{
    ExpenseAnalysisWindow window;
    window.resize(1400, 900);
    window.show();
    auto *item = window.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    item->setCurrentIndex(item->findText(QStringLiteral("日支出")));
    window.findChild<QCheckBox *>(QStringLiteral("CheckDate"))->setChecked(false);
    settle();
    Figure figure;
    Sample sample;
    for (int round = 0; round < Rounds; ++round) {
        const double before = baselineMb();
        sample.add(timed([&] {
            window.compute();
            settle(); // the chart lays its series and axes out
            paintAll(&window);
        }));
        figure.growthMb = std::max(figure.growthMb, residentMb() - before);
    }
    figure.time = sample.median();
    figure.note = QStringLiteral("%1 days").arg(window.shown().rows.size());
    if (shots)
        for (int tab = 0; tab < 3; ++tab) {
            window.charts()->tabs()->setCurrentIndex(tab);
            settle();
            shoot(&window, QStringLiteral("analysis-%1.png").arg(tab + 1));
        }
    return figure;
}

// ---- the sorted queries -----------------------------------------------------------

// The query window's list over every date sorted by `field` descending, read again
// (the list part of 查询; the count and totals are left out): until the first
// screen is painted, and when the list is sorted aside, until its rows are. The
// longest the screen's thread went without answering is kept beside.
Figure measureSort(QueryWindow &&window, const QString &field, bool shots)
{
    window.resize(1200, 800);
    window.show();
    window.findChild<QCheckBox *>(QStringLiteral("CheckBox1"))->setChecked(false);
    auto *sort = window.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    sort->setCurrentIndex(sort->findText(field));
    auto *direction = window.findChild<QComboBox *>(QStringLiteral("ComboBox2"));
    direction->setCurrentIndex(direction->findText(QStringLiteral("降序")));
    window.runQuery();
    auto *model = window.model();
    waitFor([model] { return !model->isSorting(); });
    settle();
    Figure figure;
    Sample sample;
    bool aside = false;
    for (int round = 0; round < Rounds; ++round) {
        const double before = baselineMb();
        GapWatch gaps;
        sample.add(timed([&] {
            window.reload();
            aside |= model->isSorting();
            if (shots && round == 0 && model->isSorting()) {
                window.repaint();
                shoot(&window, QStringLiteral("sorting.png"));
            }
            waitFor([model] { return !model->isSorting(); });
            window.grid()->viewport()->repaint();
        }));
        figure.longestGapMs = std::max(figure.longestGapMs, gaps.longest());
        figure.growthMb = std::max(figure.growthMb, residentMb() - before);
    }
    figure.time = sample.median();
    figure.note = QStringLiteral("%1 rows%2, longest wait of the screen %3 ms")
                      .arg(model->totalRows())
                      .arg(aside ? QStringLiteral(", sorted aside") : QString())
                      .arg(figure.longestGapMs, 0, 'f', 0);
    return figure;
}

// What the amount indexes add to the data file, by SQLite's page statistics.
QString indexCost(const QString &path)
{
    QSqlQuery query(Workspace::instance()->database());
    if (!query.exec(QStringLiteral("select sum(pgsize) from dbstat where name like "
                                   "'idx_%_book_money'")) ||
        !query.next())
        return QStringLiteral("amount indexes: their size is not known (no dbstat)");
    const double fileMb = QFileInfo(path).size() / 1e6;
    const double indexMb = query.value(0).toDouble() / 1e6;
    return QStringLiteral("amount indexes of the 10^6 book: %1 MB of a %2 MB file (+%3% over "
                          "the file without them)")
        .arg(indexMb, 0, 'f', 1)
        .arg(fileMb, 0, 'f', 1)
        .arg(100 * indexMb / (fileMb - indexMb), 0, 'f', 0);
}

// ---- one book ----------------------------------------------------------------------

using Measures = std::map<QString, Figure>;

Measures measureBook(const QString &source, bool big)
{
    const WorkingCopy work(source);
    if (big)
        g_indexCost = indexCost(work.file());
    const std::pair<const char *, std::function<Figure()>> measures[] = {
        {"preview, first page", [big] { return measurePreview(big); }},
        {"preview, saved as PDF", measurePdf},
        {"expense analysis by day", [big] { return measureAnalysis(big); }},
        {"incomes sorted by 金额",
         [] { return measureSort(IncomeQueryWindow(), QStringLiteral("金额"), false); }},
        {"expenses sorted by 金额",
         [] { return measureSort(ExpenseQueryWindow(), QStringLiteral("金额"), false); }},
        {"expenses sorted by 支出类别",
         [big] { return measureSort(ExpenseQueryWindow(), QStringLiteral("支出类别"), big); }},
    };
    const QString only = qEnvironmentVariable("QINGHEBU_BENCH_ONLY");
    Measures figures;
    for (const auto &[name, measure] : measures)
        if (QString::fromUtf8(name).contains(only))
            figures[QString::fromUtf8(name)] = measure();
    return figures;
}

// ---- the report --------------------------------------------------------------------

const char *verdict(bool ok)
{
    return ok ? "ok" : "FAIL";
}

void printTable(const Measures &small, const Measures &big)
{
    std::printf("\n%-34s %10s %10s %8s %10s %10s %8s  %s\n", "figure (median of rounds)", "10^3 ms",
                "(wall)", "+MB", "10^6 ms", "(wall)", "+MB", "10^6 notes");
    for (const auto &[name, b] : big) {
        const Figure &s = small.at(name);
        std::printf("%-34s %10.1f %10.1f %8.1f %10.1f %10.1f %8.1f  %s\n", qPrintable(name),
                    s.time.cpu, s.time.wall, s.growthMb, b.time.cpu, b.time.wall, b.growthMb,
                    qPrintable(b.note));
    }
}

// "120 ms [<= 300: ok], +2.0 MB [<= 30: ok]"; no time goal when it is huge.
QString withinGoals(double ms, double msGoal, double mb, double mbGoal)
{
    const QString time = QStringLiteral("%1 ms").arg(ms, 0, 'f', 0);
    return (msGoal < 1e9
                ? time + QStringLiteral(" [<= %1: %2]").arg(msGoal).arg(verdict(ms <= msGoal))
                : time) +
           QStringLiteral(", +%1 MB [<= %2: %3]")
               .arg(mb, 0, 'f', 1)
               .arg(mbGoal)
               .arg(verdict(mb <= mbGoal));
}

// The line of each goal: the figure on 10^6 entries against it, ok or FAIL.
void printGoals(const Measures &small, const Measures &big)
{
    using Judge = std::function<QString(const Figure &small, const Figure &big)>;
    const Judge likeSmall = [](const Figure &s, const Figure &b) {
        const double ratio = b.time.cpu / std::max(s.time.cpu, 1e-3);
        return QStringLiteral("%1 ms, %2x the time on 10^3 [<= 1.5x or <= 30 ms: %3]")
            .arg(b.time.cpu, 0, 'f', 1)
            .arg(ratio, 0, 'f', 2)
            .arg(verdict(ratio <= 1.5 || b.time.cpu <= 30));
    };
    const std::pair<const char *, Judge> goals[] = {
        {"preview, first page",
         [](const Figure &, const Figure &b) {
             return QStringLiteral("wall ") + withinGoals(b.time.wall, 500, b.growthMb, 60);
         }},
        {"preview, saved as PDF",
         [](const Figure &, const Figure &b) {
             return QStringLiteral("%1 [complete: %2], ").arg(b.note, verdict(b.complete)) +
                    withinGoals(b.time.cpu, 1e9, b.growthMb, 60);
         }},
        {"expense analysis by day",
         [](const Figure &, const Figure &b) {
             return withinGoals(b.time.cpu, 300, b.growthMb, 30);
         }},
        {"incomes sorted by 金额", likeSmall},
        {"expenses sorted by 金额", likeSmall},
        {"expenses sorted by 支出类别",
         [](const Figure &, const Figure &b) {
             return QStringLiteral("longest wait of the screen %1 ms [<= 100: %2], rows shown "
                                   "after %3 ms wall")
                 .arg(b.longestGapMs, 0, 'f', 0)
                 .arg(verdict(b.longestGapMs <= 100))
                 .arg(b.time.wall, 0, 'f', 0);
         }},
    };
    std::printf("\ngoals on 10^6 entries\n");
    for (const auto &[name, judge] : goals) {
        const QString key = QString::fromUtf8(name);
        if (big.count(key))
            std::printf("%-34s %s\n", name, qPrintable(judge(small.at(key), big.at(key))));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    useOffscreenPlatform();
    QApplication app(argc, argv);
    // The question before a report of many pages is answered yes.
    Msg::setAnswerer([](QMessageBox &box) {
        if (box.standardButtons() & QMessageBox::Yes)
            return QMessageBox::Yes;
        std::fprintf(stderr, "message: %s\n", qPrintable(box.text()));
        return QMessageBox::Ok;
    });
    if (argc > 2) {
        g_shots = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
        QDir().mkpath(g_shots);
    }
    const Books books(argc, argv);
    const Measures small = measureBook(books.small, false);
    const Measures big = measureBook(books.big, true);
    printTable(small, big);
    printGoals(small, big);
    std::printf("%s\n", qPrintable(g_indexCost));
    return 0;
}
