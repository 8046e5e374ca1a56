#pragma once

#include "data/Money.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <cstdint>

// Writes a realistic book for trying the program on many entries: the book with
// its default rows, a few accounts, categories and members of its own, and
// entries spread evenly over the ten years up to a day, each kind of entry with
// its own categories, amounts to the cent, members and remarks. Every account's
// balance is its opening balance plus the effect of its entries. The same seed
// gives the same book.
namespace SampleBook {

// Changes whenever the same options would write a different book, so that books kept
// from an earlier run (by the benchmarks) are made again.
constexpr int Generation = 2;

struct Options
{
    QString book;
    std::int64_t entries = 1000;
    std::uint64_t seed = 1;
    QDate lastDay = QDate::currentDate(); // the newest entries fall on this day
};

struct Summary
{
    // Every account of the book with the balance it had before its first entry.
    QMap<QString, Money> openingBalances;
    // Entries written, by table.
    QMap<QString, std::int64_t> entriesByTable;
};

// Writes the book through the data module's connection in one transaction.
// Throws DbError (nothing is then kept), e.g. when the book name is taken.
Summary write(const Options &options);

} // namespace SampleBook
