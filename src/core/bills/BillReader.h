#pragma once

#include "core/bills/Bill.h"

#include <QList>
#include <QString>
#include <QStringList>

// Reads bill files of the kinds the program knows: 支付宝's 交易明细 (the current app
// export, the older app export and the old web export), 微信支付's 账单明细 (CSV and
// both XLSX versions), and the card exports of 工商银行 and 招商银行 (debit and credit).
// A ZIP as the apps mail it is opened with its password and each file in it read.
// The table is found by its header, wherever it starts. A file that is not
// understood throws Bills::Error with the file, the line and what was expected;
// nothing of it is returned.
namespace Bills {

// Reads the file at `path`.
QList<Document> readFile(const QString &path, const QString &zipPassword = {});
// The same for a file's bytes; `shownName` names it in messages.
QList<Document> readBytes(const QByteArray &bytes, const QString &path, const QString &shownName,
                          const QString &zipPassword = {});

// The kinds of bill read, as the window and the manual list them.
QStringList knownKinds();

} // namespace Bills
