// Converts four million GBK characters with PinyinCode and compares the rate with a loop
// that only walks the same bytes and indexes the reading table.

#include "data/PinyinCode.h"
#include "data/PinyinTable.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <random>
#include <time.h>
#include <vector>

namespace {

// 4,000 texts of 1,000 characters: each result stays small and in the cache, as a name's
// code does, so that the comparison is not about fresh pages for one huge result.
constexpr int kTexts = 4'000;
constexpr int kTextLength = 1'000;
constexpr int kRounds = 21;

// Random characters: nine in ten Chinese characters with a reading, the rest ASCII.
std::vector<QByteArray> sampleTexts()
{
    std::vector<int> readable;
    for (int cell = 0; cell < PinyinTable::kGridCells; ++cell) {
        if (PinyinTable::kGrid[cell] != 0)
            readable.push_back(cell);
    }
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::size_t> pick(0, readable.size() - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> letter(0, 25);

    std::vector<QByteArray> texts(kTexts);
    for (QByteArray &text : texts) {
        text.reserve(kTextLength * 2);
        for (int i = 0; i < kTextLength; ++i) {
            if (percent(random) < 10) {
                text.append(static_cast<char>('a' + letter(random)));
                continue;
            }
            const int cell = readable[pick(random)];
            text.append(
                static_cast<char>(PinyinTable::kLeadFirst + cell / PinyinTable::kTrailCount));
            text.append(
                static_cast<char>(PinyinTable::kTrailFirst + cell % PinyinTable::kTrailCount));
        }
    }
    return texts;
}

// The floor: the same walk over the bytes with one table lookup per character.
unsigned long bareLoop(const QByteArray &text)
{
    const auto *in = reinterpret_cast<const unsigned char *>(text.constData());
    const qsizetype size = text.size();
    unsigned long sum = 0;
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = in[i];
        const unsigned char n = i + 1 < size ? in[i + 1] : 0;
        if (c < 0x81 || n < 0x40) {
            sum += c;
            ++i;
        } else {
            sum += PinyinTable::kGrid[PinyinTable::cellOf(c, n)];
            i += 2;
        }
    }
    return sum;
}

// CPU time of this thread: unlike the wall clock, it does not count the time the thread
// waits while other processes use the cores.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Times each piece of work over kRounds rounds; the pieces take turns within a round, so
// that a busy machine slows them alike. Returns the times, [piece][round].
std::vector<std::vector<double>> timeRounds(const std::vector<std::function<void()>> &work)
{
    for (const auto &piece : work) // warm up caches and the allocator
        piece();
    std::vector<std::vector<double>> seconds(work.size());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < work.size(); ++k) {
            const double start = threadSeconds();
            work[k]();
            seconds[k].push_back(threadSeconds() - start);
        }
    }
    return seconds;
}

double best(const std::vector<double> &seconds)
{
    return *std::min_element(seconds.begin(), seconds.end());
}

// Median over the rounds of the time of a piece against the bare loop's in the same round.
double medianRatio(const std::vector<double> &seconds, const std::vector<double> &bare)
{
    std::vector<double> ratios;
    for (std::size_t round = 0; round < seconds.size(); ++round)
        ratios.push_back(seconds[round] / bare[round]);
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

} // namespace

int main()
{
#ifndef __OPTIMIZE__
    std::printf("note: built without optimisation; configure with -DCMAKE_BUILD_TYPE=Release\n");
#endif
    const std::vector<QByteArray> texts = sampleTexts();
    const double characters = double(kTexts) * kTextLength;

    volatile unsigned long sink = 0;
    auto convertAll = [&](int options) {
        for (const QByteArray &text : texts)
            sink = sink + PinyinCode(text, options, INT_MAX).size();
    };
    const auto seconds = timeRounds({
        [&] {
            for (const QByteArray &text : texts)
                sink = sink + bareLoop(text);
        },
        [&] { convertAll(2); },
        [&] { convertAll(3); },
    });

    // Names as the program converts them: short Unicode strings, GBK encoding included.
    const QString name = QString::fromUtf8("中行长城卡");
    const int names = 100'000;
    const auto nameSeconds = timeRounds({[&] {
        for (int i = 0; i < names; ++i)
            sink = sink + PinyinCode(name).size();
    }});

    auto rate = [characters](const std::vector<double> &s) { return characters / best(s) / 1e6; };
    std::printf("%d texts of %d GBK characters, %d rounds, thread CPU time\n", kTexts, kTextLength,
                kRounds);
    std::printf("bare table indexing    %7.1f M characters/s\n", rate(seconds[0]));
    std::printf("PinyinCode, options 2  %7.1f M characters/s, %.2fx the bare loop's time\n",
                rate(seconds[1]), medianRatio(seconds[1], seconds[0]));
    std::printf("PinyinCode, options 3  %7.1f M characters/s, %.2fx the bare loop's time\n",
                rate(seconds[2]), medianRatio(seconds[2], seconds[0]));
    std::printf("PinyinCode(QString) on a 5-character name: %.2f us per name\n",
                best(nameSeconds[0]) / names * 1e6);
    std::printf("(rates are the best round; ratios the median of the rounds' ratios)\n");
    return 0;
}
