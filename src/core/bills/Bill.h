#pragma once

#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <stdexcept>

// What a payment app's or a bank's bill file says, one row at a time, before any
// book is involved: the readers (BillReader.h) make these, the import plan
// (ImportPlan.h) decides what each becomes in a book.
namespace Bills {

enum class Source
{
    Alipay,
    WeChat,
    Bank,
};

// Which way the money went, as the bill says: spent, received, or neither (top-ups,
// withdrawals, moves between one's own accounts).
enum class Direction
{
    Expense,
    Income,
    Neutral,
};

struct Row
{
    int line = 0; // of the file (a sheet's row), counted from 1
    QDate date;
    int seconds = -1; // the time of day where the bill gives one
    Direction direction = Direction::Expense;
    Money amount;         // never negative
    QString counterparty; // 交易对方, or the bank's counterparty or summary
    QString goods;        // 商品说明 / 商品
    QString method;       // 收/付款方式: the account the money came from or went to
    QString category;     // the app's own category (交易分类 / 交易类型)
    QString status;       // 交易状态 / 当前状态
    QString key;          // unique within the bill's source: order number, or bank fields
    QString merchantKey;  // 商家订单号 / 商户单号, empty when none
    QString note;         // 备注
    Money fee;            // a withdrawal's service fee
    bool closed = false;  // a purchase never paid, or wholly refunded and closed
    bool refund = false;  // money given back for an earlier purchase
    QString refundOf;     // the purchase's key where the bill names it
};

// One bill file as read: where it came from, what kind it is, its rows.
struct Document
{
    QString path;  // the file chosen
    QString name;  // as messages and the window name it ("帐单.zip 中的 xxx.csv")
    QString title; // the kind of bill: "支付宝交易明细"
    Source source = Source::Alipay;
    QString from, to; // the period the bill says it covers, "yyyy-MM-dd" (may be empty)
    QList<Row> rows;
};

// A file not understood: which file, which line, what was expected. Nothing of the
// file is imported.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// An encrypted archive opened without its password, or with a wrong one: the window
// asks for it (again), the command says so.
class PasswordError : public Error
{
public:
    PasswordError(const QString &message, bool wrongPassword)
        : Error(message), m_wrong(wrongPassword)
    {
    }
    bool wrongPassword() const { return m_wrong; }

private:
    bool m_wrong;
};

QString sourceName(Source source); // 支付宝, 微信支付, 银行

// The most a bill file may hold, and what an archive's files may inflate to
// together: a year of a busy household's bill is some tens of MB.
constexpr qint64 MaxFileBytes = qint64(256) << 20;
// "<what>有 N MB，太大了：帐单文件不会超过 256 MB。……"; `what` names the file.
QString tooLargeMessage(const QString &what, qint64 bytes);

} // namespace Bills
