#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// Bill files made for tests from the fixtures: the ZIP archives the apps mail and
// the 微信 workbooks, written with libzip and libxlsxwriter as the apps' own tools
// write them.
namespace BillFiles {

enum class Encryption
{
    None,
    Traditional,
    Aes256,
    // AES-256 as 7-Zip and WinZip write it: AE-2, whose CRC is stored as 0.
    Aes256CrcZero,
};

// A ZIP archive of the members (name, bytes) at `path`, each encrypted so.
void writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members,
              Encryption encryption = Encryption::None, const QString &password = {});

// A 支付宝 bill of these rows (their cells after 交易时间), as the app writes it: GBK.
QByteArray alipayBill(const QStringList &rows);

// The same archive as bytes.
QByteArray zipBytes(const QList<std::pair<QString, QByteArray>> &members);

// A ZIP archive of one member that inflates to `mib` MiB of zeros while it says it
// holds `declared` bytes: a block of zeros compressed once and repeated, some 1 KB
// for each MiB.
QByteArray zerosZip(const QString &member, int mib, qint64 declared);

// The 微信 CSV bill at `csvPath` as the workbook the app writes since mid-2025:
// Sheet1, the preamble merged across A:K, the amounts as text ("¥12.00"); with
// `since2026`, one more note row and the amounts as numbers in a ¥ format.
void writeWeChatWorkbook(const QString &csvPath, const QString &path, bool since2026);

// The rows of the data file as Db::dump gives them, without what records the
// actions (the history, the imports), the kept totals' lines by what they hold,
// not by their row numbers: what an undone import must give back exactly.
QStringList bookRows();

} // namespace BillFiles

namespace BillFiles {

// A month of one household's bills, as 支付宝, 微信 and 招商银行 (its debit card 1234
// and credit card 5678) give them: the same kinds of rows every month, with other
// merchants, amounts and days in the second. The household's accounts: 支付宝 (余额),
// 余额宝, 花呗, 微信零钱 (零钱), 招行一卡通, 招行信用卡, 现金; the debit card holds
// 10,000.00 before the first month, every other account nothing.
struct HouseholdMonth
{
    QStringList files; // 支付宝 CSV, 微信 CSV, the debit card's and the credit card's statements
    // What a careful person books for the month, one entry a line:
    // "2024-04-03 支出 外出就餐 35.50 花呗", "… 转帐 1,000.00 支付宝→余额宝".
    QStringList entries;
    // Each account's balance at the month's end, as the bills leave it.
    QList<std::pair<QString, QString>> closing;
    int rows = 0; // of all the files
};

// Writes month 1 (April 2024) or 2 (May 2024) into `dir`; the closing balances
// carry on from the month before.
HouseholdMonth householdMonth(const QString &dir, int month);

} // namespace BillFiles
