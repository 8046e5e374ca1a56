#pragma once

// What the benchmarks share: clocks, the process's memory, medians and the sample
// books they measure on (made once and kept for later runs).

#include "core/books/SampleBook.h"
#include "core/ledger/Workspace.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace Bench {

inline const QString Book = QStringLiteral("大帐簿");
constexpr std::uint64_t Seed = 2024;

// ---- clocks and memory ---------------------------------------------------------

// CPU time of this thread: unlike the wall clock, it does not count the time the
// thread waits while other processes use the cores.
inline double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

inline double wallMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

// Resident memory of the process in MB, from /proc/self/status.
inline double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing
{
    double cpu = 0, wall = 0;
};

struct Sample
{
    std::vector<double> cpu, wall;
    void add(const Timing &t)
    {
        cpu.push_back(t.cpu);
        wall.push_back(t.wall);
    }
    Timing median() const { return {Bench::median(cpu), Bench::median(wall)}; }
};

template <typename F> Timing timed(F &&work)
{
    const double cpu = threadMs(), wall = wallMs();
    work();
    return {threadMs() - cpu, wallMs() - wall};
}

// Says so when the benchmark was built without optimisation.
inline void noteUnoptimised()
{
#ifndef __OPTIMIZE__
    std::printf("note: built without optimisation; configure with -DCMAKE_BUILD_TYPE=Release\n");
#endif
}

inline void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// ---- the books ---------------------------------------------------------------------

inline QString bookFile(const QString &dir)
{
    return dir + QLatin1Char('/') + Workspace::databaseFileName();
}

// Writes a sample book of `entries` into a fresh data folder `dir`.
inline void makeBook(const QString &dir, std::int64_t entries)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    qputenv("QINGHEBU_DATA_DIR", dir.toUtf8());
    Workspace dm;
    if (!dm.isOpen())
        qFatal("%s", qPrintable(dm.openError()));
    const double start = wallMs();
    SampleBook::write({.book = Book, .entries = entries, .seed = Seed});
    std::printf("made a book of %lld entries in %.1f s: %s\n", static_cast<long long>(entries),
                (wallMs() - start) / 1e3, qPrintable(bookFile(dir)));
}

// The data file of a sample book of `entries` kept in `cache`, made there first
// when it is not (aside and renamed, so that an interrupted run leaves no half book).
inline QString keptBook(const QString &cache, std::int64_t entries)
{
    // A book of an older layout would be upgraded on every copy: keyed by layout too.
    const QString dir = cache + QStringLiteral("/book-%1-seed%2-generation%3-layout%4")
                                    .arg(entries)
                                    .arg(Seed)
                                    .arg(SampleBook::Generation)
                                    .arg(Schema::UserVersion);
    if (QFile::exists(bookFile(dir))) {
        std::printf("using the book of %lld entries kept in %s\n", static_cast<long long>(entries),
                    qPrintable(dir));
    } else {
        const QString part = dir + QStringLiteral(".part");
        makeBook(part, entries);
        QDir().rename(part, dir);
    }
    return bookFile(dir);
}

// The two books a benchmark compares: a new one of 10^3 entries in a temporary
// folder, and the one of 10^6 kept in the folder named by the program's first
// argument (/tmp/qinghebu-bench by default). Also says when the benchmark was
// built without optimisation.
class Books
{
public:
    Books(int argc, char *argv[])
    {
        noteUnoptimised();
        const QString cache =
            QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/qinghebu-bench"))
                .absolutePath();
        makeBook(m_smallDir.path(), 1000);
        small = bookFile(m_smallDir.path());
        big = keptBook(cache, 1000000);
    }

    QString small, big; // their data files

private:
    QTemporaryDir m_smallDir;
};

// A copy of a book's data file in a temporary folder, opened by a data module with
// the book current, while it lives.
class WorkingCopy
{
public:
    explicit WorkingCopy(const QString &source)
    {
        QFile::copy(source, file());
        qputenv("QINGHEBU_DATA_DIR", m_dir.path().toUtf8());
        m_dm = std::make_unique<Workspace>();
        if (!m_dm->isOpen())
            qFatal("%s", qPrintable(m_dm->openError()));
        m_dm->setCurrentBook(Book);
    }
    QString file() const { return bookFile(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Workspace> m_dm;
};

// Runs the windows on the offscreen platform unless another is named; call it
// before the application object is made.
inline void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace Bench
