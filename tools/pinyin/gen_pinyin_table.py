#!/usr/bin/env python3
"""Generates src/data/PinyinTable.cpp, the static reading table behind PinyinCode.

Every double-byte GBK code (lead 0x81-0xFE, trail 0x40-0xFE) gets the number of a
toneless Mandarin syllable, or 0 when the character has no reading. Readings come
from the Unihan database (kMandarin first, then the other reading fields); the GBK
codec maps each code to its Unicode character.

The GB2312 level-1 characters are ordered by pinyin, so each one takes the reading
that starts with its section's letter; a fixed list of polyphonic characters is read
otherwise, and a few characters deliberately have no reading at all.

Usage: gen_pinyin_table.py [--unihan Unihan_Readings.txt(.bz2|.zip)] [--output FILE]
"""

import argparse
import bz2
import collections
import io
import os
import re
import sys
import unicodedata
import zipfile

LEAD_FIRST, LEAD_LAST = 0x81, 0xFE
TRAIL_FIRST, TRAIL_LAST = 0x40, 0xFE
TRAIL_COUNT = TRAIL_LAST - TRAIL_FIRST + 1  # 191, trail 0x7F included as an empty column

# Reading fields in order of preference: the customary reading first, then the
# frequency list, then the dictionaries.
FIELDS = ("kMandarin", "kHanyuPinlu", "kXHC1983", "kTGHZ2013", "kHanyuPinyin")

# First code of each pinyin section of GB2312 level 1 (0xB0A1-0xD7F9).
LEVEL1_SECTIONS = [
    (0xB0A1, "a"), (0xB0C5, "b"), (0xB2C1, "c"), (0xB4EE, "d"), (0xB6EA, "e"),
    (0xB7A2, "f"), (0xB8C1, "g"), (0xB9FE, "h"), (0xBBF7, "j"), (0xBFA6, "k"),
    (0xC0AC, "l"), (0xC2E8, "m"), (0xC4C3, "n"), (0xC5B6, "o"), (0xC5BE, "p"),
    (0xC6DA, "q"), (0xC8BB, "r"), (0xC8F6, "s"), (0xCBFA, "t"), (0xCDDA, "w"),
    (0xCEF4, "x"), (0xD1B9, "y"), (0xD4D1, "z"),
]
LEVEL1_FIRST, LEVEL1_LAST = 0xB0A1, 0xD7F9

# Level-1 characters that do not take their section's letter: polyphonic characters
# read by another reading, and two without any reading (None).
LEVEL1_EXCEPTIONS = {
    0xB0D2: "pa", 0xB1D9: "pi", 0xB3A4: "zhang", 0xB3D7: "shi", 0xB4B1: "zhuang",
    0xB5D4: "zhai", 0xB5F7: "tiao", 0xB6DA: "tun", 0xB7F0: None, 0xB8AC: "pu",
    0xB8F2: "ha", 0xB8F8: None, 0xBABB: "ben", 0xBAD1: "mo", 0xBCF7: "kan",
    0xBDC4: "yao", 0xBFA9: "ge", 0xC6D9: "bao", 0xC9B2: "cha", 0xCBDE: "xiu",
    0xCFC3: "sha", 0xD0AE: "jia", 0xD0D0: "hang", 0xD0F3: "chu", 0xD3F5: "xu",
    0xD4F8: "ceng", 0xD5A4: "shan",
}

# Codes that stay without reading although they hold a character.
NO_READING = {0xF7D4}  # 髟


def area_of(lead, trail):
    """Names the GBK area of a code; None for cells that never hold a reading."""
    if trail == 0x7F:
        return None
    if 0x81 <= lead <= 0xA0:
        return "GBK/3"
    if 0xA1 <= lead <= 0xA9:
        return None  # symbol rows and their extensions
    if trail <= 0xA0:
        return "GBK/4"
    if 0xAA <= lead <= 0xAF or lead >= 0xF8:
        return None  # user-defined areas
    return "GB2312 level 1" if lead <= 0xD7 else "GB2312 level 2"


def toneless(reading):
    """Turns a pinyin reading with tone marks into lower-case ASCII (ü as v)."""
    decomposed = unicodedata.normalize("NFD", reading.lower())
    decomposed = decomposed.replace("u\u0308", "v")
    plain = "".join(ch for ch in decomposed if not unicodedata.combining(ch))
    if plain in ("lve", "nve"):
        plain = plain[0] + "ue"
    if not re.fullmatch(r"[a-z]{1,6}", plain):
        raise ValueError(f"unexpected reading {reading!r}")
    return plain


def field_readings(field, value):
    """Splits one Unihan reading field into its readings, most preferred first."""
    if field == "kMandarin":
        return value.split()
    if field == "kHanyuPinlu":
        return [re.sub(r"\(\d+\)$", "", item) for item in value.split()]
    readings = []
    for item in value.split():  # "location:reading,reading"
        readings.extend(item.split(":", 1)[1].split(","))
    return readings


def open_unihan(path):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            data = archive.read("Unihan_Readings.txt")
        return io.StringIO(data.decode("utf-8"))
    if path.endswith(".bz2"):
        return bz2.open(path, "rt", encoding="utf-8")
    return open(path, encoding="utf-8")


def load_readings(path):
    """Maps each code point to its toneless readings, most preferred first."""
    fields = collections.defaultdict(dict)
    version = "unknown"
    with open_unihan(path) as f:
        for line in f:
            if line.startswith("# Unicode version:"):
                version = line.split(":", 1)[1].strip()
            if line.startswith("#") or not line.strip():
                continue
            cp, field, value = line.rstrip("\n").split("\t", 2)
            if field in FIELDS:
                fields[int(cp[2:], 16)][field] = value
    readings = {}
    for cp, values in fields.items():
        ordered = []
        for field in FIELDS:
            for reading in field_readings(field, values.get(field, "")):
                syllable = toneless(reading)
                if syllable not in ordered:
                    ordered.append(syllable)
        readings[cp] = ordered
    return readings, version


def character_of(code):
    """The Unicode character of a GBK code, or None. Codes that Windows' GBK maps to
    private-use points are taken with their GB18030 meaning."""
    raw = bytes([code >> 8, code & 0xFF])
    for codec in ("gbk", "gb18030"):
        try:
            text = raw.decode(codec)
        except UnicodeDecodeError:
            continue
        if len(text) == 1 and not 0xE000 <= ord(text) <= 0xF8FF:
            return text
    return None


def candidates(ch, readings):
    if ch is None:
        return []
    found = readings.get(ord(ch))
    if not found:  # compatibility ideographs read as their unified form
        found = readings.get(ord(unicodedata.normalize("NFC", ch)), [])
    return found


def level1_letter(code):
    letter = None
    for first, section_letter in LEVEL1_SECTIONS:
        if code >= first:
            letter = section_letter
    return letter


def reading_of(code, readings):
    """The syllable of one GBK code, or None."""
    area = area_of(code >> 8, code & 0xFF)
    if area is None or code in NO_READING or LEVEL1_LAST < code <= 0xD7FE:
        return None
    if code in LEVEL1_EXCEPTIONS:
        return LEVEL1_EXCEPTIONS[code]
    found = candidates(character_of(code), readings)
    if area == "GB2312 level 1":
        letter = level1_letter(code)
        matching = [s for s in found if s[0] == letter]
        if not matching:
            raise SystemExit(f"no reading with {letter} for {code:04X} {character_of(code)}")
        return matching[0]
    return found[0] if found else None


def build(readings):
    grid = {}
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        for trail in range(TRAIL_FIRST, TRAIL_LAST + 1):
            syllable = reading_of(lead << 8 | trail, readings)
            if syllable is not None:
                grid[lead << 8 | trail] = syllable
    syllables = sorted(set(grid.values()))
    return grid, syllables


def write_source(path, grid, syllables, version):
    number = {s: i + 1 for i, s in enumerate(syllables)}
    out = []
    out.append("// Generated by tools/pinyin/gen_pinyin_table.py from the Unihan database")
    out.append(f"// (Unicode {version}). Do not edit; run the script again instead.")
    out.append("")
    out.append('#include "data/PinyinTable.h"')
    out.append("")
    out.append("namespace PinyinTable {")
    out.append("")
    out.append(f"const int kSyllableCount = {len(syllables)};")
    out.append("")
    out.append("// clang-format off")
    out.append(f"const Syllable kSyllables[{len(syllables) + 1}] = {{")
    out.append("    {0, {}},")
    for i, s in enumerate(syllables, 1):
        letters = ", ".join(f"'{ch}'" for ch in s)
        out.append(f"    {{{len(s)}, {{{letters}}}}}, // {i}")
    out.append("};")
    out.append("")
    out.append(f"const char kInitials[{len(syllables) + 1}] = {{")
    out.append("    0,")
    for start in range(0, len(syllables), 16):
        out.append("    " + " ".join(f"'{s[0].upper()}'," for s in syllables[start:start + 16]))
    out.append("};")
    out.append("")
    out.append("const std::uint16_t kGrid[kGridCells] = {")
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        row = [number.get(grid.get(lead << 8 | t), 0) for t in range(TRAIL_FIRST, TRAIL_LAST + 1)]
        out.append(f"    // lead 0x{lead:02X}, trail 0x40 onwards")
        for start in range(0, TRAIL_COUNT, 16):
            out.append("    " + " ".join(f"{n}," for n in row[start:start + 16]))
    out.append("};")
    out.append("// clang-format on")
    out.append("")
    out.append("} // namespace PinyinTable")
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def print_counts(grid, syllables):
    per_area = collections.Counter()
    for code in grid:
        per_area[area_of(code >> 8, code & 0xFF)] += 1
    print(f"cells with a reading: {len(grid)} of {126 * TRAIL_COUNT}")
    for name in ("GB2312 level 1", "GB2312 level 2", "GBK/3", "GBK/4"):
        print(f"  {name}: {per_area[name]}")
    print(f"syllables used: {len(syllables)}")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--unihan", default="/usr/share/unicode/Unihan_Readings.txt.bz2")
    parser.add_argument("--output",
                        default=os.path.join(here, "..", "..", "src", "data", "PinyinTable.cpp"))
    args = parser.parse_args()
    readings, version = load_readings(args.unihan)
    grid, syllables = build(readings)
    write_source(args.output, grid, syllables, version)
    print_counts(grid, syllables)
    print(f"written to {os.path.normpath(args.output)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
