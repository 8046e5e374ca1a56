#pragma once

#include <cstdint>

// Static reading table of the double-byte GBK codes, generated into PinyinTable.cpp by
// tools/pinyin/gen_pinyin_table.py.
namespace PinyinTable {

inline constexpr int kLeadFirst = 0x81;
inline constexpr int kLeadLast = 0xFE;
inline constexpr int kTrailFirst = 0x40;
inline constexpr int kTrailLast = 0xFE;
inline constexpr int kLeadCount = kLeadLast - kLeadFirst + 1;    // 126
inline constexpr int kTrailCount = kTrailLast - kTrailFirst + 1; // 191
inline constexpr int kGridCells = kLeadCount * kTrailCount;      // 24,066

// A toneless syllable in lower-case ASCII, ü written v; not NUL-terminated.
struct Syllable
{
    std::uint8_t length;
    char letters[6];
};
static_assert(sizeof(Syllable) == 7);

// Syllables 1 to kSyllableCount; entry 0 is the empty record of "no reading".
extern const int kSyllableCount;
extern const Syllable kSyllables[];

// Upper-case first letter of each syllable (0 for entry 0), for the common case of
// initials only: one lookup instead of reading the record and upper-casing.
extern const char kInitials[];

// Syllable number of every (lead, trail) cell, row-major; 0 means no reading.
extern const std::uint16_t kGrid[kGridCells];

// Index into kGrid of a lead and trail byte inside the grid's ranges.
inline constexpr int cellOf(int lead, int trail)
{
    return (lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst);
}

} // namespace PinyinTable
