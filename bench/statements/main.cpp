// Times the monthly income-expense statement over ten years and each analysis run
// on a sample book of a million entries, against hand-written grouped queries of the same
// sums run through SQLite's own interface on the same file.
//
//   bench_statements [DATA_DIR]   (a fresh temporary book is made when none is given)

#include "core/books/SampleBook.h"
#include "core/ledger/Workspace.h"
#include "core/reports/Analysis.h"
#include "core/reports/PeriodStatement.h"
#include "data/Sql.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <time.h>
#include <vector>

namespace {

const QString Book = QStringLiteral("大帐簿");
constexpr int Entries = 1'000'000;
constexpr int Rounds = 7;
const QDate First(2015, 1, 1);
const QDate Last(2024, 12, 31);

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The best time of each of two pieces of work, taking turns so a busy machine slows both.
std::pair<double, double> bestOfRounds(const std::function<void()> &ours,
                                       const std::function<void()> &bare)
{
    ours();
    bare();
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < Rounds; ++round) {
        int k = 0;
        for (const auto *work : {&ours, &bare}) {
            const double start = threadSeconds();
            (*work)();
            best[k] = std::min(best[k], threadSeconds() - start);
            ++k;
        }
    }
    return {best[0], best[1]};
}

// Steps through every row of a statement with bound texts, as a bare program would.
struct BareDatabase
{
    sqlite3 *db = nullptr;
    explicit BareDatabase(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    }
    ~BareDatabase() { sqlite3_close(db); }

    long long run(const char *sql, const std::vector<QByteArray> &texts) const
    {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
            return 0;
        }
        for (std::size_t i = 0; i < texts.size(); ++i)
            sqlite3_bind_text(stmt, int(i + 1), texts[i].constData(), int(texts[i].size()),
                              SQLITE_STATIC);
        long long sum = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            sum += sqlite3_column_int64(stmt, 1);
        sqlite3_finalize(stmt);
        return sum;
    }
};

void report(const char *what, std::pair<double, double> seconds, double goal)
{
    const double ratio = seconds.first / seconds.second;
    std::printf("%-28s %8.1f ms  bare %8.1f ms  %.2fx (goal <= %.1fx) %s\n", what,
                seconds.first * 1e3, seconds.second * 1e3, ratio, goal,
                ratio <= goal ? "ok" : "OVER");
}

} // namespace

int main(int argc, char *argv[])
{
#ifndef __OPTIMIZE__
    std::printf("note: built without optimisation; configure with -DCMAKE_BUILD_TYPE=Release\n");
#endif
    QCoreApplication app(argc, argv);
    QTemporaryDir fresh;
    const bool given = argc > 1;
    qputenv("QINGHEBU_DATA_DIR", given ? QByteArray(argv[1]) : fresh.path().toUtf8());
    Workspace dm;
    if (!dm.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(dm.openError()));
        return 1;
    }
    if (!given ||
        !Sql(QStringLiteral("select 1 from InTable where BName=? limit 1"), {Book}).hasRows()) {
        std::printf("making a book of %d entries...\n", Entries);
        SampleBook::write({.book = Book, .entries = Entries, .seed = 1, .lastDay = Last});
        Sql(QStringLiteral("ANALYZE")).exec();
    }
    const BareDatabase bare(dm.databasePath());
    const QByteArray book = Book.toUtf8();
    volatile long long sink = 0;

    using PeriodStatement::Period;
    const auto statement = [&] {
        const auto result = PeriodStatement::compute(Book, Period::Month, First, Last, {});
        sink = sink + result.totals().income.units();
    };
    // The same sums of both sides in one hand-written grouped query.
    const auto bareStatement = [&] {
        sink =
            sink + bare.run("select p,sum(i),sum(ic),sum(o),sum(oc) from ("
                            "select substr(IDate,1,7) as p,IMoney as i,1 as ic,0 as o,0 as oc"
                            " from InTable where BName=? and IDate>=? and IDate<?"
                            " union all select substr(ODate,1,7),0,0,OMoney,1"
                            " from OutTable where BName=? and ODate>=? and ODate<?)"
                            " group by p",
                            {book, "2015-01-01", "2025-01-01", book, "2015-01-01", "2025-01-01"});
    };
    std::printf("book of %d entries (%d income, %d expense), best of %d rounds, thread CPU "
                "time\n",
                Entries, Sql(QStringLiteral("select count(*) from InTable")).scalar().toInt(),
                Sql(QStringLiteral("select count(*) from OutTable")).scalar().toInt(), Rounds);
    report("monthly statement, 10 years", bestOfRounds(statement, bareStatement), 2.0);

    for (const auto &[kind, side] :
         {std::pair{"收入", EntryTables::Income}, std::pair{"支出", EntryTables::Expense}}) {
        for (const Analysis::Item &item : Analysis::items(QString::fromUtf8(kind), side)) {
            const auto ours = [&] {
                sink = sink + Analysis::run(side, item, Book, {}).rows.size();
            };
            const Sql statement = Analysis::resultStatement(side, item, Book, {});
            const QByteArray text = statement.text().toUtf8();
            std::vector<QByteArray> values;
            for (const QVariant &v : statement.values())
                values.push_back(v.toString().toUtf8());
            const auto bareRun = [&] { sink = sink + bare.run(text.constData(), values); };
            report(qPrintable(QStringLiteral("analysis ") + item.text), bestOfRounds(ours, bareRun),
                   1.5);
        }
    }
    return 0;
}
