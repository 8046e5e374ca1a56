#include "data/Gbk.h"

#include <QStringEncoder>

QByteArray toGbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

qsizetype gbkByteLength(const QString &text)
{
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            length += 1;
        } else if (c.isHighSurrogate() && i + 1 < text.size()) {
            length += 4; // GB18030 four-byte forms; plain GBK has none
            ++i;
        } else {
            length += 2;
        }
    }
    return length;
}
