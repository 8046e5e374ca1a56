// How the windows keep up with a big book: on sample books of 10^3 and 10^6 entries,
// the time to open the income, expense and transfer windows until their first screen
// is drawn, a save in the income window (list refresh included), the default quick
// filter, the summary panel, the monthly and yearly statements, the statistics and
// the analyses over the whole ten years, each beside the same statements run bare through
// SQLite's C API, and how much the process grows on opening a window. A filter ends
// with a new screen that no statement draws: its baseline is its bare statements
// plus the window, grids included, painted once as the filter leaves it.
//
//   QT_QPA_PLATFORM=offscreen bench_bigbook [CACHE_DIR]
//
// The 10^6 book is made once and kept in CACHE_DIR (default /tmp/qinghebu-bench);
// every run works on a copy of it.
#include "../common/BenchCommon.h"
#include "app/MainWindow.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "entries/EntryFilters.h"
#include "widgets/MessageBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <vector>

namespace {

using namespace Bench;
constexpr int Rounds = 5;

// ---- waiting for the first screen ------------------------------------------------

// Notices the grid being painted: a paint event on the viewport of a list view.
class PaintWatch : public QObject
{
public:
    PaintWatch() { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    void reset() { m_painted = false; }
    bool painted() const { return m_painted; }
    // Processes events until a grid has been painted; false after a minute without.
    bool wait()
    {
        QElapsedTimer guard;
        guard.start();
        while (!m_painted && guard.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return m_painted;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            if (auto *view = qobject_cast<QAbstractItemView *>(watched->parent()))
                m_painted |= view->viewport() == watched;
        return false;
    }

private:
    bool m_painted = false;
};

// ---- the same statements, bare ----------------------------------------------------

sqlite3 *liveHandle()
{
    const QVariant handle = Workspace::instance()->database().driver()->handle();
    return *static_cast<sqlite3 *const *>(handle.constData());
}

void bind(sqlite3_stmt *statement, int index, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(statement, index, value.toDouble());
        break;
    default:
        if (value.isNull()) {
            sqlite3_bind_null(statement, index);
        } else {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(statement, index, text.constData(), int(text.size()),
                              SQLITE_TRANSIENT);
        }
    }
}

// Prepares, binds and steps every statement to its end on the live connection, as
// the statement layer does, without Qt in between; returns the rows stepped.
std::int64_t runBare(const QList<SqlRecording::Statement> &statements)
{
    sqlite3 *db = liveHandle();
    std::int64_t rows = 0;
    for (const SqlRecording::Statement &s : statements) {
        sqlite3_stmt *statement = nullptr;
        const QByteArray text = s.text.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) !=
            SQLITE_OK) {
            std::fprintf(stderr, "bare SQL failed: %s\n", sqlite3_errmsg(db));
            continue;
        }
        for (int i = 0; i < s.values.size(); ++i)
            bind(statement, i + 1, s.values[i]);
        while (sqlite3_step(statement) == SQLITE_ROW)
            ++rows;
        sqlite3_finalize(statement);
    }
    return rows;
}

void execBare(const char *sql)
{
    sqlite3_exec(liveHandle(), sql, nullptr, nullptr, nullptr);
}

// ---- one figure ---------------------------------------------------------------------

struct Figure
{
    QString name;
    Timing window, bare;
    std::int64_t statements = 0, bareRows = 0;
    double growthMb = 0;
    bool painted = true;
    // Painting the window's screen once as it stands after the action, with no
    // statement: what any window must spend to show its result (filters only).
    std::optional<Timing> screen;
    // The baseline of a window action that ends with a new screen: its statements
    // bare plus that screen painted.
    double baseline() const { return bare.cpu + (screen ? screen->cpu : 0); }
};

// Times the bare statements over the rounds; writes are undone after each round.
Timing timeBare(const QList<SqlRecording::Statement> &statements, Figure &figure)
{
    bool writes = false;
    for (const SqlRecording::Statement &s : statements)
        writes |= !s.text.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    Sample sample;
    for (int round = 0; round < Rounds + 1; ++round) {
        if (writes)
            execBare("BEGIN");
        const Timing t = timed([&] { figure.bareRows = runBare(statements); });
        if (writes)
            execBare("ROLLBACK");
        if (round > 0) // the first round warms the cache, as the window's first round did
            sample.add(t);
    }
    return sample.median();
}

// Runs `prepare` (untimed), then `act` until a grid is painted (timed; `untilPainted`
// false: only `act`), `Rounds` times; records the statements of the last round and
// the largest growth of the process.
Figure measure(const QString &name, const std::function<void()> &prepare,
               const std::function<void()> &act, const std::function<void()> &after,
               bool untilPainted = true)
{
    Figure figure;
    figure.name = name;
    Sample sample;
    QList<SqlRecording::Statement> statements;
    for (int round = 0; round < Rounds; ++round) {
        prepare();
        settle();
        malloc_trim(0);
        const double before = residentMb();
        PaintWatch watch;
        SqlRecording::start();
        const Timing t = timed([&] {
            act();
            if (untilPainted)
                figure.painted &= watch.wait();
        });
        statements = SqlRecording::stop();
        figure.growthMb = std::max(figure.growthMb, residentMb() - before);
        sample.add(t);
        after();
    }
    figure.window = sample.median();
    figure.statements = statements.size();
    figure.bare = timeBare(statements, figure);
    return figure;
}

// ---- the actions ----------------------------------------------------------------------

QWidget *openWindow(MainWindow &main, const QString &className)
{
    QWidget *window = main.openWindow(className);
    if (!window)
        qFatal("the catalog has no window %s", qPrintable(className));
    return window;
}

Figure measureOpen(MainWindow &main, const QString &className)
{
    return measure(
        QStringLiteral("open ") + className, [] {}, [&] { openWindow(main, className); },
        [&] { main.closeAllChildren(); });
}

// A new income of 123.45 in the first category and account, saved with 保存.
Figure measureSave(MainWindow &main)
{
    QWidget *window = openWindow(main, QStringLiteral("TfrmInTable"));
    settle();
    const auto child = [window](const char *name) {
        QWidget *w = window->findChild<QWidget *>(QLatin1String(name));
        if (!w)
            qFatal("TfrmInTable has no %s", name);
        return w;
    };
    Figure f = measure(
        QStringLiteral("save TfrmInTable"),
        [&] {
            static_cast<QPushButton *>(child("ButNew"))->click();
            static_cast<QComboBox *>(child("DBLookupComboBox1"))->setCurrentIndex(0);
            static_cast<QLineEdit *>(child("DBEdit3"))->setText(QStringLiteral("123.45"));
            static_cast<QComboBox *>(child("DBLookupComboBox2"))->setCurrentIndex(0);
        },
        [&] { static_cast<QPushButton *>(child("ButSave"))->click(); }, [] {});
    main.closeAllChildren();
    return f;
}

// Paints the window once as it stands. A repaint of the window leaves out the
// viewports of its grids (they paint on their own), so they are painted too.
void paintScreen(QWidget *window)
{
    window->repaint();
    for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>())
        view->viewport()->repaint();
}

// The quick filter's dialog with its default condition (the last month), applied.
template <typename Dialog> Figure measureFilter(MainWindow &main, const QString &className)
{
    QWidget *window = openWindow(main, className);
    settle();
    auto *target = dynamic_cast<FilterTarget *>(window);
    if (!target)
        qFatal("%s takes no quick filter", qPrintable(className));
    std::unique_ptr<Dialog> dialog;
    Figure f = measure(
        QStringLiteral("filter ") + className,
        [&] { dialog = std::make_unique<Dialog>(target, nullptr); }, [&] { dialog->applyChosen(); },
        [&] { target->applyFilter(Condition()); });
    dialog = std::make_unique<Dialog>(target, nullptr);
    dialog->applyChosen();
    settle();
    Sample paint;
    PaintWatch watch;
    for (int round = 0; round < Rounds; ++round)
        paint.add(timed([&] { paintScreen(window); }));
    f.screen = paint.median();
    f.painted &= watch.painted();
    main.closeAllChildren();
    return f;
}

// A report window over the whole ten years: its conditions set once (dates from ten
// years back, or the date box unticked; the item to group by), then 统计 until the
// result is painted.
Figure measureReport(MainWindow &main, const QString &name, const QString &className, int item)
{
    QWidget *window = openWindow(main, className);
    settle();
    if (auto *from = window->findChild<QDateEdit *>(QStringLiteral("DateTimePicker1")))
        from->setDate(QDate::currentDate().addYears(-10));
    if (auto *dates = window->findChild<QCheckBox *>(QStringLiteral("CheckDate")))
        dates->setChecked(className.startsWith(QLatin1String("TfrmSZ")));
    if (auto *items = window->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        items && item >= 0)
        items->setCurrentIndex(item);
    auto *run = window->findChild<QPushButton *>(QStringLiteral("BitBtn1"));
    if (!run)
        qFatal("%s has no 统计", qPrintable(className));
    Figure f = measure(
        name, [] {}, [&] { run->click(); }, [] {});
    main.closeAllChildren();
    return f;
}

// The panel has no grid: its statements and labels are what is timed.
Figure measureSummary(MainWindow &main)
{
    return measure(
        QStringLiteral("summary panel"), [] {}, [&] { main.refreshSummary(); }, [] {}, false);
}

// ---- the books ---------------------------------------------------------------------------

// Every figure on one book, working on a copy of `source` in a temporary folder.
std::vector<Figure> measureBook(const QString &source)
{
    const WorkingCopy work(source);
    MainWindow main;
    main.show();
    main.showBookMenus(true);
    settle();

    std::vector<Figure> figures;
    for (const char *window : {"TfrmInTable", "TfrmOutTable", "TfrmChangeT"})
        figures.push_back(measureOpen(main, QLatin1String(window)));
    figures.push_back(measureSave(main));
    figures.push_back(measureFilter<IncomeFilterDialog>(main, QStringLiteral("TfrmInTable")));
    figures.push_back(measureFilter<ExpenseFilterDialog>(main, QStringLiteral("TfrmOutTable")));
    figures.push_back(measureFilter<TransferFilterDialog>(main, QStringLiteral("TfrmChangeT")));
    figures.push_back(measureSummary(main));
    figures.push_back(
        measureReport(main, QStringLiteral("monthly statement"), QStringLiteral("TfrmSZ_M"), -1));
    figures.push_back(
        measureReport(main, QStringLiteral("yearly statement"), QStringLiteral("TfrmSZ_Y"), -1));
    figures.push_back(measureReport(main, QStringLiteral("statistics, all dates"),
                                    QStringLiteral("TfrmPage1"), -1));
    figures.push_back(
        measureReport(main, QStringLiteral("analysis by category"), QStringLiteral("TfrmE_O"), 4));
    figures.push_back(
        measureReport(main, QStringLiteral("analysis by month"), QStringLiteral("TfrmE_O"), 1));
    figures.push_back(
        measureReport(main, QStringLiteral("analysis by day"), QStringLiteral("TfrmE_O"), 0));
    return figures;
}

// The ledger's write of one income (balance, kept totals and, when on, the history
// of the action), median of many, history on and off.
struct LedgerSave
{
    double on = 0, off = 0;
};

LedgerSave measureLedgerSave(const QString &source)
{
    const WorkingCopy work(source);
    QSqlQuery names = Sql(QStringLiteral("select (select IName from InD where BName=? limit 1), "
                                         "(select AName from SAccount where BName=? limit 1)"),
                          {Book, Book})
                          .exec();
    names.next();
    const QVariantMap row = {{QStringLiteral("IDate"), QStringLiteral("2026-12-01")},
                             {QStringLiteral("IName"), names.value(0)},
                             {QStringLiteral("IMoney"), 1234500},
                             {QStringLiteral("AName"), names.value(1)},
                             {QStringLiteral("FName"), QString()},
                             {QStringLiteral("Remark"), QString()}};
    const auto median = [&](bool recording) {
        std::vector<double> times;
        for (int i = 0; i < 41; ++i) {
            QElapsedTimer timer;
            timer.start();
            Ledger ledger(Book);
            ledger.setRecording(recording);
            ledger.save(*Ledger::entryKind(QStringLiteral("InTable")), row);
            ledger.commit();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::nth_element(times.begin(), times.begin() + 20, times.end());
        return times[20];
    };
    median(true); // warms the caches
    return {median(true), median(false)};
}

// ---- the report -------------------------------------------------------------------------

void printTable(const char *book, const std::vector<Figure> &figures)
{
    std::printf("\n%s book (median of %d rounds; ms of thread CPU time, wall clock beside)\n", book,
                Rounds);
    std::printf("%-22s %10s %10s %10s %10s %8s %8s %6s %9s %9s\n", "figure", "window", "(wall)",
                "bare SQL", "(wall)", "x bare", "screen", "stmts", "rows", "+RSS MB");
    for (const Figure &f : figures)
        std::printf("%-22s %10.2f %10.2f %10.2f %10.2f %8.2f %8s %6lld %9lld %9.1f%s\n",
                    qPrintable(f.name), f.window.cpu, f.window.wall, f.bare.cpu, f.bare.wall,
                    f.window.cpu / std::max(f.bare.cpu, 1e-3),
                    f.screen ? qPrintable(QString::number(f.screen->cpu, 'f', 2)) : "-",
                    static_cast<long long>(f.statements), static_cast<long long>(f.bareRows),
                    f.growthMb, f.painted ? "" : "  (grid never painted)");
}

const char *verdict(bool ok)
{
    return ok ? "ok" : "MISSED";
}

void printSummary(const std::vector<Figure> &small, const std::vector<Figure> &big)
{
    std::printf("\nsummary (10^6 against 10^3 entries; goals in brackets)\n");
    for (std::size_t i = 0; i < big.size(); ++i) {
        const Figure &s = small[i], &b = big[i];
        const double growth = b.window.cpu / std::max(s.window.cpu, 1e-3);
        const double overBare = b.window.cpu / std::max(b.bare.cpu, 1e-3);
        const double overBaseline = b.window.cpu / std::max(b.baseline(), 1e-3);
        if (b.name.startsWith(QLatin1String("open")))
            std::printf("%-22s %.2fx the time on 10^3 [<=1.5x: %s], +%.1f MB [<=60 MB: %s], "
                        "%.2fx bare SQL\n",
                        qPrintable(b.name), growth, verdict(growth <= 1.5), b.growthMb,
                        verdict(b.growthMb <= 60), overBare);
        else if (b.name.startsWith(QLatin1String("save")))
            std::printf("%-22s %.2fx the time on 10^3 [<=1.5x: %s], %.2fx bare SQL\n",
                        qPrintable(b.name), growth, verdict(growth <= 1.5), overBare);
        else if (b.screen)
            std::printf("%-22s %.2fx bare SQL with its screen painted [<=1.5x: %s], "
                        "%.2fx bare SQL alone, %.2fx the time on 10^3\n",
                        qPrintable(b.name), overBaseline, verdict(overBaseline <= 1.5), overBare,
                        growth);
        else if (b.name == QLatin1String("analysis by day"))
            // A point a day: read from the rows, with a goal of its own.
            std::printf("%-22s %.1f ms [<=300 ms: %s], +%.1f MB [<=30 MB: %s], %.2fx the time on "
                        "10^3, %.2fx bare SQL\n",
                        qPrintable(b.name), b.window.cpu, verdict(b.window.cpu <= 300), b.growthMb,
                        verdict(b.growthMb <= 30), growth, overBare);
        else
            // Whole-book figures: the measure is the time on 10^3 entries.
            std::printf("%-22s %.2fx the time on 10^3 or %.1f ms [<=1.5x or <30 ms: %s], "
                        "+%.1f MB, %.2fx bare SQL\n",
                        qPrintable(b.name), growth, b.window.cpu,
                        verdict(growth <= 1.5 || b.window.cpu < 30), b.growthMb, overBare);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    useOffscreenPlatform();
    qputenv("QINGHEBU_UNATTENDED", "1");
    QApplication app(argc, argv);
    MainWindow::setStartupDialog(false);
    Msg::setAnswerer([](QMessageBox &box) {
        std::fprintf(stderr, "message: %s\n", qPrintable(box.text()));
        return QMessageBox::Ok;
    });
    const Books books(argc, argv);
    const std::vector<Figure> small = measureBook(books.small);
    const std::vector<Figure> big = measureBook(books.big);
    printTable("10^3-entry", small);
    printTable("10^6-entry", big);
    printSummary(small, big);
    const LedgerSave save = measureLedgerSave(books.big);
    std::printf("%-22s %.2f ms with the history, %.2f ms without: %.2fx [<=1.2x: %s]\n",
                "ledger save (10^6)", save.on, save.off, save.on / std::max(save.off, 1e-3),
                verdict(save.on <= 1.2 * save.off));
    return 0;
}
