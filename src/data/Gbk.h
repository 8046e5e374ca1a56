#pragma once

#include <QByteArray>
#include <QString>

// Length limits count bytes of the GBK encoding: a Chinese character takes 2.
// A character GBK cannot encode counts as 2 bytes, as its replacement would.
qsizetype gbkByteLength(const QString &text);
QByteArray toGbk(const QString &text);
