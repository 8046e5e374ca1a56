#include "data/PinyinCode.h"

#include "data/PinyinTable.h"

#include <QStringEncoder>
#include <algorithm>
#include <array>

namespace {

// Number forms of row 0xA2 by trail byte - 0xA1: the number each stands for, 0 where the
// code is unassigned (which gives nothing, not "?").
constexpr auto kNumberForms = [] {
    std::array<unsigned char, 94> table{};
    auto fill = [&table](int firstTrail, int count) {
        for (int i = 0; i < count; ++i)
            table[firstTrail - 0xA1 + i] = static_cast<unsigned char>(i + 1);
    };
    fill(0xA1, 10); // ⅰ to ⅹ
    fill(0xB1, 20); // ⒈ to ⒛
    fill(0xC5, 20); // ⑴ to ⒇
    fill(0xD9, 10); // ① to ⑩
    fill(0xE5, 10); // ㈠ to ㈩
    fill(0xF1, 12); // Ⅰ to Ⅻ
    return table;
}();

// Latin transliteration of the 24 Greek letters of row 0xA6, in alphabet order.
constexpr const char *kGreek[24] = {"A", "B", "G", "D", "E", "Z", "E", "TH", "I",  "K",  "L",  "M",
                                    "N", "X", "O", "P", "R", "S", "T", "U",  "PH", "KH", "PS", "O"};

constexpr bool isAsciiAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char toUpper(unsigned char c)
{
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

// The pair that stands for a character GBK cannot encode: lead 0xFF lies outside the grid.
constexpr char kUnencodable[2] = {'\xFF', '\xFF'};

// Lead bytes whose pairs are looked up in the grid: 0x81 to 0xFE but the symbol rows
// 0xA2 to 0xA6, which have rules of their own (rows 0xA4 and 0xA5 have no reading).
constexpr auto kGridLead = [] {
    std::array<bool, 256> table{};
    for (int c = 0x81; c <= 0xFE; ++c)
        table[c] = c < 0xA2 || c > 0xA6;
    return table;
}();

// Writes the part of a single byte at out and returns the end of what it wrote. Only
// ASCII is ever kept, so the code stays ASCII.
inline char *appendSingle(unsigned char c, bool keepOthers, char *out)
{
    if (isAsciiAlnum(c) || (keepOthers && c < 0x80))
        *out++ = toUpper(c);
    return out;
}

// Writes the part of a character of the symbol rows 0xA2 to 0xA6, or of a pair with a
// byte 0xFF, at out and returns the end of what it wrote.
char *appendSymbol(unsigned char c, unsigned char n, bool markUnread, bool keepOthers, char *out)
{
    switch (c) {
    case 0xA2: { // number forms, always as digits
        if (n < 0xA1)
            break;
        const int value = n <= 0xFE ? kNumberForms[n - 0xA1] : 0;
        if (value >= 10)
            *out++ = static_cast<char>('0' + value / 10);
        if (value > 0)
            *out++ = static_cast<char>('0' + value % 10);
        return out;
    }
    case 0xA3: // full-width ASCII, case kept
        // Trail bytes below 0xA1 (and 0xFF) are no full-width characters: nothing.
        if (n >= 0xA1 && n <= 0xFE) {
            const auto ascii = static_cast<unsigned char>(n - 0x80);
            if (isAsciiAlnum(ascii) || keepOthers)
                *out++ = static_cast<char>(ascii);
        }
        return out;
    case 0xA6: { // Greek letters, transliterated whatever the options
        int letter = -1;
        if (n >= 0xA1 && n <= 0xB8)
            letter = n - 0xA1;
        else if (n >= 0xC1 && n <= 0xD8)
            letter = n - 0xC1;
        if (letter < 0)
            break;
        for (const char *p = kGreek[letter]; *p; ++p)
            *out++ = *p;
        return out;
    }
    default: // rows 0xA4 and 0xA5 (kana), and pairs with a byte 0xFF
        break;
    }
    // A character without reading.
    if (markUnread)
        *out++ = '?';
    return out;
}

// The conversion loop. It is compiled once per form of output, and once with and once
// without the check against the maximum length, which a short enough text cannot reach.
template <bool WholeSyllable, bool CheckLimit>
char *convert(const unsigned char *in, qsizetype size, char *out, const char *limit,
              bool markUnread, bool keepOthers)
{
    // The loop reads two bytes at a time; a last byte left over is a single byte.
    qsizetype i = 0;
    while (i + 1 < size && (!CheckLimit || out < limit)) {
        const unsigned char c = in[i];
        const unsigned char n = in[i + 1];

        if (kGridLead[c] && n >= 0x40 && n != 0xFF) [[likely]] {
            // A pair looked up in the grid.
            i += 2;
            const std::uint16_t number = PinyinTable::kGrid[PinyinTable::cellOf(c, n)];
            if (number != 0) [[likely]] {
                if constexpr (WholeSyllable) {
                    // Clearing bit 5 upper-cases the letters and keeps the padding 0s;
                    // the buffer always has room for all six bytes.
                    const PinyinTable::Syllable &syllable = PinyinTable::kSyllables[number];
                    for (int k = 0; k < 6; ++k)
                        out[k] = static_cast<char>(syllable.letters[k] & ~0x20);
                    out += syllable.length;
                } else {
                    *out++ = PinyinTable::kInitials[number];
                }
            } else if (markUnread) {
                *out++ = '?';
            }
        } else if (c < 0x81 || n < 0x40) {
            // A lead byte followed by a byte below 0x40 is consumed alone too.
            out = appendSingle(c, keepOthers, out);
            ++i;
        } else {
            i += 2;
            out = appendSymbol(c, n, markUnread, keepOthers, out);
        }
    }
    if (i < size && (!CheckLimit || out < limit))
        out = appendSingle(in[i], keepOthers, out);
    return out;
}

} // namespace

QByteArray PinyinCode(const QByteArray &gbk, int options, int maxLength)
{
    if (options < 0 || maxLength <= 0)
        return {};
    const bool wholeSyllable = options & PinyinWholeSyllable;
    const bool markUnread = options & PinyinMarkUnread;
    const bool keepOthers = options & PinyinKeepOthers;

    const auto *in = reinterpret_cast<const unsigned char *>(gbk.constData());
    const qsizetype size = gbk.size();

    // A single byte gives at most one character, a pair at most two ("TH", "20") or six
    // with whole syllables: the code needs at most room bytes. Conversion stops once
    // maxLength is reached, so the buffer needs room for at most one part beyond it.
    const qsizetype room = size * (wholeSyllable ? 3 : 1);
    const qsizetype bound = std::min(room, static_cast<qsizetype>(maxLength) + 6);
    QByteArray result(bound, Qt::Uninitialized);
    char *const begin = result.data();
    char *const limit = begin + std::min(bound, static_cast<qsizetype>(maxLength));
    const bool checkLimit = room > maxLength;

    char *end;
    if (wholeSyllable) {
        end = checkLimit ? convert<true, true>(in, size, begin, limit, markUnread, keepOthers)
                         : convert<true, false>(in, size, begin, limit, markUnread, keepOthers);
    } else {
        end = checkLimit ? convert<false, true>(in, size, begin, limit, markUnread, keepOthers)
                         : convert<false, false>(in, size, begin, limit, markUnread, keepOthers);
    }
    result.truncate(std::min(end, limit) - begin);
    return result;
}

QByteArray pinyinGbkBytes(const QString &text)
{
    QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return bytes;
    }

    // Some character did not encode: encode one code point at a time, so that each
    // failure stands alone and cannot be taken together with its neighbours.
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        const QStringView piece = QStringView(text).sliced(i, length);
        i += length;

        QByteArray encoded;
        if (encoder.isValid()) {
            // A fresh encoder each time: one that has met an error keeps reporting it.
            QStringEncoder single("GBK", QStringEncoder::Flag::Stateless);
            encoded = single.encode(piece);
            if (single.hasError())
                encoded.clear();
        } else if (piece.size() == 1 && piece.at(0).unicode() < 0x80) {
            encoded = QByteArray(1, static_cast<char>(piece.at(0).unicode()));
        }
        if (encoded.isEmpty())
            bytes.append(kUnencodable, 2);
        else
            bytes.append(encoded);
    }
    return bytes;
}

QString PinyinCode(const QString &text, int options, int maxLength)
{
    return QString::fromLatin1(PinyinCode(pinyinGbkBytes(text), options, maxLength));
}
