#pragma once

#include <QByteArray>
#include <QString>

// Option bits of PinyinCode.
enum PinyinCodeOption
{
    PinyinWholeSyllable = 1, // a Chinese character gives its whole syllable, not its initial
    PinyinMarkUnread = 2,    // a character without reading gives "?" instead of nothing
    PinyinKeepOthers = 4,    // ASCII and full-width characters other than letters and digits
                             // are kept instead of dropped
};

// The pinyin code of GBK-encoded text: one upper-case initial (or whole syllable) per
// Chinese character, ASCII letters upper-cased and digits kept, number forms as digits,
// Greek letters transliterated. A negative options value gives an empty code; the code
// is cut to maxLength characters. The result is always ASCII.
QByteArray PinyinCode(const QByteArray &gbk, int options, int maxLength);

// The same for Unicode text, encoded to GBK first. A character that GBK cannot encode
// counts as a character without reading.
QString PinyinCode(const QString &text, int options = PinyinMarkUnread, int maxLength = 255);

// The GBK bytes that PinyinCode reads for text: every character GBK cannot encode
// becomes the pair 0xFF 0xFF, which has no reading.
QByteArray pinyinGbkBytes(const QString &text);
