#include "core/bills/BillReader.h"

#include "core/bills/BillText.h"
#include "core/bills/XlsxSheet.h"
#include "core/bills/ZipArchive.h"
#include "core/ledger/Ledger.h"
#include "data/Dates.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace Bills {

Error::Error(const QString &message) : std::runtime_error(message.toStdString())
{
}

QString tooLargeMessage(const QString &what, qint64 bytes)
{
    return QStringLiteral("%1有 %2 MB，太大了：帐单文件不会超过 %3 MB。请选择从支付宝、微信或银行"
                          "导出的帐单文件。")
        .arg(what)
        .arg(bytes >> 20)
        .arg(MaxFileBytes >> 20);
}

QString sourceName(Source source)
{
    switch (source) {
    case Source::Alipay:
        return QStringLiteral("支付宝");
    case Source::WeChat:
        return QStringLiteral("微信支付");
    case Source::Bank:
        return QStringLiteral("银行");
    }
    return {};
}

namespace {

// What a column means, whatever a bill calls it.
enum class Col
{
    Time,
    Category,
    Counterparty,
    Goods,
    Direction,
    Amount,
    Method,
    Status,
    Key,
    MerchantKey,
    Note,
    Modified,      // the old web export: when a refund changed the trade last
    Refunded,      // the old web export: what was refunded of the trade
    Summary,       // a bank's 摘要
    Detail,        // 工商银行: 交易详情
    Place,         // 工商银行: 交易场所
    IncomeAmount,  // 工商银行: 记账金额(收入)
    ExpenseAmount, // 工商银行: 记账金额(支出)
    Currency,
    Balance,
    BookDate,   // 招商银行 credit card: 记账日
    CardDigits, // 招商银行 credit card: 卡号末四位
    Count
};

struct Context;
struct Fields;

struct Format
{
    const char *title;
    Source source;
    const char *encoding; // what the app writes ("GBK", "UTF-8"); nullptr: either
    const char *empty;    // what a cell holds for "nothing" besides blanks
    std::vector<std::pair<Col, const char *>> columns;
    std::function<void(const Fields &, Context &)> read;
    const char *footer = nullptr; // a first cell beginning so ends the table
    bool countInFooter = false;   // "共N笔记录" is said below the table, not above it
};

// The preamble and the place of the row being read, for messages and for what
// the preamble says (a card's last digits, a statement's month).
struct Context
{
    const Format *format;
    QString file;
    int line = 0;
    QString cardDigits;    // from the preamble
    int statementYear = 0; // 招商银行 credit card statement
    int statementMonth = 0;
    QList<Row> *rows;
    QString keyPrefix = {}; // "支付宝:": keys are told apart by their source
    int count = -1;         // the rows the bill says it holds ("共N笔记录"), and where
    int countLine = 0;
    // The texts read so far of columns whose few values repeat row after row, so
    // that a row of 10^5 does not make a string of each.
    std::array<QStringList, int(Col::Count)> repeated = {};

    [[noreturn]] void fail(const QString &what) const
    {
        throw Error(QStringLiteral("文件“%1”第 %2 行：%3").arg(file).arg(line).arg(what));
    }
};

// Columns whose values repeat: a category, a payment method, a status.
bool repeats(Col col)
{
    switch (col) {
    case Col::Category:
    case Col::Counterparty:
    case Col::Direction:
    case Col::Method:
    case Col::Status:
    case Col::Summary:
    case Col::Currency:
        return true;
    default:
        return false;
    }
}

struct Fields
{
    const Cells cells;
    const std::array<int, int(Col::Count)> &index;
    const Format &format;
    Context &ctx;

    bool has(Col col) const { return index[int(col)] >= 0; }
    // The cell trimmed, empty where the bill writes "nothing".
    QStringView view(Col col) const
    {
        const int i = index[int(col)];
        if (i < 0 || i >= cells.size())
            return {};
        const QStringView cell = trimmedCell(cells.at(i));
        return cell == QLatin1String(format.empty) ? QStringView() : cell;
    }
    QString operator()(Col col) const
    {
        const QStringView cell = view(col);
        if (cell.isEmpty())
            return {};
        if (!repeats(col))
            return cell.toString();
        QStringList &seen = ctx.repeated[int(col)];
        for (const QString &text : std::as_const(seen))
            if (text == cell)
                return text;
        const QString text = cell.toString();
        if (seen.size() < 16)
            seen << text;
        return text;
    }
};

// A key of the bill with its source's prefix, made at once.
QString prefixed(const QString &prefix, QStringView key)
{
    QString text;
    text.reserve(prefix.size() + key.size());
    text += prefix;
    text += key;
    return text;
}

QString headerName(const Format &format, Col col)
{
    for (const auto &[c, name] : format.columns)
        if (c == col)
            return QString::fromUtf8(name);
    return {};
}

// ---- cells ------------------------------------------------------------------

int digitsAt(QStringView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text.at(at + i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// "yyyy-MM-dd HH:mm:ss", or with no time when `withTime` is false ("yyyy-MM-dd",
// also "yyyyMMdd"). Read by hand: a hundred thousand rows are read at once.
bool parseDateTime(QStringView text, bool withTime, QDate *date, int *seconds)
{
    const qsizetype size = text.size();
    int y = -1, m = -1, d = -1;
    qsizetype rest = 0;
    if (size >= 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        y = digitsAt(text, 0, 4), m = digitsAt(text, 5, 2), d = digitsAt(text, 8, 2);
        rest = 10;
    } else if (!withTime && size >= 8) {
        y = digitsAt(text, 0, 4), m = digitsAt(text, 4, 2), d = digitsAt(text, 6, 2);
        rest = 8;
    }
    if (y < 0 || m < 0 || d < 0)
        return false;
    *date = QDate(y, m, d);
    if (!date->isValid())
        return false;
    if (!withTime)
        return rest == size || (size == rest + 9 && text.at(rest) == QLatin1Char(' ')) ||
               (size == rest + 8 && text.at(rest) == QLatin1Char(' ')); // a date with a time
    if (size != 19 || text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':') ||
        text.at(16) != QLatin1Char(':'))
        return false;
    const int h = digitsAt(text, 11, 2), mi = digitsAt(text, 14, 2), s = digitsAt(text, 17, 2);
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    *seconds = (h * 60 + mi) * 60 + s;
    return true;
}

// A spreadsheet program that opened a bill and saved it again wrote its times its
// own way: "2024/3/5 12:30", "2024-03-05 12:30" — the seconds gone.
bool looksResaved(const QString &time)
{
    static const QRegularExpression shortened(
        QStringLiteral("^\\d{4}[-/]\\d{1,2}[-/]\\d{1,2} \\d{1,2}:\\d{2}$"));
    static const QRegularExpression slashes(
        QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2}( \\d{1,2}:\\d{2}(:\\d{2})?)?$"));
    return shortened.match(time).hasMatch() || slashes.match(time).hasMatch();
}

QString resavedMessage(const QString &file, const QString &why)
{
    return QStringLiteral(
               "文件“%1”被电子表格程序（如 Excel、WPS）打开后重新保存过：%2。"
               "这样的文件会丢失信息，不能导入。请使用从支付宝、微信或银行直接导出的原文件。")
        .arg(file, why);
}

void readTime(const Fields &f, Context &ctx, Row &row)
{
    if (parseDateTime(f.view(Col::Time), true, &row.date, &row.seconds))
        return;
    const QString text = f(Col::Time);
    if (looksResaved(text))
        throw Error(resavedMessage(ctx.file, QStringLiteral("第 %1 行的%2“%3”少了秒")
                                                 .arg(ctx.line)
                                                 .arg(headerName(*ctx.format, Col::Time), text)));
    ctx.fail(QStringLiteral("%1“%2”应为“年-月-日 时:分:秒”，例如“2024-03-05 12:30:45”。")
                 .arg(headerName(*ctx.format, Col::Time), text));
}

// An amount as a bill writes it: "28.16", "¥4.50", "￥1,257.80", "-12.00". The
// shortest decimals of a workbook's number cell come here as text too.
std::optional<Money> parseAmount(QStringView text)
{
    if (text.startsWith(QChar(0x00A5)) || text.startsWith(QChar(0xFFE5)))
        text = text.mid(1);
    // The common case without a separator or sign, read directly: twelve integer
    // digits at most, so that the units never overflow.
    std::int64_t units = 0;
    int decimals = -1, digits = 0;
    bool plain = !text.isEmpty();
    for (const QChar c : text) {
        if (c == QLatin1Char('.') && decimals < 0) {
            decimals = 0;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && decimals < 4 &&
                   (decimals >= 0 || ++digits <= 12)) {
            units = units * 10 + (c.unicode() - '0');
            if (decimals >= 0)
                ++decimals;
        } else {
            plain = false;
            break;
        }
    }
    if (plain && text != QLatin1String(".")) {
        for (int i = std::max(decimals, 0); i < 4; ++i)
            units *= 10;
        return Money::fromUnits(units);
    }
    return Money::parse(text.toString());
}

// A number with more integer digits than a row may hold: "1234567890123.45".
bool hasTooManyDigits(QStringView text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[¥￥]?([\\d,]+)(?:\\.\\d*)?$"));
    const auto match = number.match(text);
    return match.hasMatch() && match.captured(1).remove(QLatin1Char(',')).size() > 12;
}

// `text` as an amount that a row may hold (as the ledger keeps it: twelve integer
// digits); `what` names it in the refusal.
Money checkedAmount(const Context &ctx, const QString &what, QStringView text)
{
    const std::optional<Money> amount = parseAmount(text);
    const std::int64_t units = amount ? amount->units() : 0;
    if (amount && units <= Ledger::MaxAmountUnits && units >= -Ledger::MaxAmountUnits)
        return *amount;
    if (amount || hasTooManyDigits(text))
        ctx.fail(QStringLiteral("%1“%2”超出范围：一笔金额最多只能有 12 位整数。")
                     .arg(what, text.toString()));
    ctx.fail(QStringLiteral("%1“%2”不是金额。").arg(what, text.toString()));
}

Money amountOf(const Fields &f, const Context &ctx, Col col)
{
    return checkedAmount(ctx, headerName(*ctx.format, col), f.view(col));
}

Money positiveAmount(const Fields &f, const Context &ctx, Col col)
{
    const Money amount = amountOf(f, ctx, col);
    if (amount < Money())
        ctx.fail(QStringLiteral("%1“%2”应为正数。").arg(headerName(*ctx.format, col), f(col)));
    return amount;
}

Direction directionOf(const Fields &f, const Context &ctx, const QString &neutral)
{
    const QStringView text = f.view(Col::Direction);
    if (text == u"支出")
        return Direction::Expense;
    if (text == u"收入")
        return Direction::Income;
    if (text.isEmpty() || text == neutral)
        return Direction::Neutral;
    ctx.fail(QStringLiteral("收/支“%1”应为“支出”“收入”或“%2”。").arg(text.toString(), neutral));
}

// The row's order number with its source's prefix. Refused when empty, or when a
// spreadsheet program turned it into a number ("2.02403E+27").
QString keyOf(const Fields &f, const Context &ctx)
{
    const QStringView key = f.view(Col::Key);
    static const QRegularExpression scientific(QStringLiteral("^\\d(\\.\\d+)?E\\+\\d+$"));
    if (key.contains(QLatin1Char('E')) && scientific.match(key).hasMatch())
        throw Error(
            resavedMessage(ctx.file, QStringLiteral("第 %1 行的%2变成了“%3”")
                                         .arg(ctx.line)
                                         .arg(headerName(*ctx.format, Col::Key), key.toString())));
    if (key.isEmpty())
        ctx.fail(QStringLiteral("%1为空。").arg(headerName(*ctx.format, Col::Key)));
    return prefixed(ctx.keyPrefix, key);
}

bool isClosed(const QString &status)
{
    return status == u"交易关闭" || status == u"已关闭" || status == u"支付失败";
}

// ---- the apps ---------------------------------------------------------------

// Rows that name no account took or gave the app's own balance.
void readAlipay(const Fields &f, Context &ctx)
{
    Row row;
    readTime(f, ctx, row);
    row.direction = directionOf(f, ctx, QStringLiteral("不计收支"));
    row.amount = positiveAmount(f, ctx, Col::Amount);
    row.category = f(Col::Category);
    row.counterparty = f(Col::Counterparty);
    row.goods = f(Col::Goods);
    row.method = f(Col::Method);
    if (row.method.isEmpty())
        row.method = QStringLiteral("余额");
    row.status = f(Col::Status);
    row.key = keyOf(f, ctx);
    row.merchantKey = f(Col::MerchantKey);
    row.note = f(Col::Note);
    row.closed = row.status == u"交易关闭";
    row.refund = row.status == u"退款成功";
    // A refund's order number is the purchase's with a suffix.
    if (row.refund && row.key.contains(QLatin1Char('_')))
        row.refundOf = row.key.section(QLatin1Char('_'), 0, 0);
    ctx.rows->append(std::move(row));
}

// The old web export: no payment method (the money moved through the 支付宝
// balance), no category, and a refund shown on its purchase's row only.
void readAlipayWeb(const Fields &f, Context &ctx)
{
    Row row;
    readTime(f, ctx, row);
    row.direction = directionOf(f, ctx, QString());
    row.amount = positiveAmount(f, ctx, Col::Amount);
    row.counterparty = f(Col::Counterparty);
    row.goods = f(Col::Goods);
    row.method = QStringLiteral("余额");
    row.status = f(Col::Status);
    row.key = keyOf(f, ctx);
    row.merchantKey = f(Col::MerchantKey);
    row.note = f(Col::Note);
    row.closed = isClosed(row.status);
    ctx.rows->append(row);
    const QString refundedText = f(Col::Refunded);
    const Money refunded = refundedText.isEmpty() ? Money() : amountOf(f, ctx, Col::Refunded);
    if (refunded <= Money() || row.direction != Direction::Expense)
        return;
    Row refund = row;
    refund.refund = true;
    refund.closed = false;
    refund.refundOf = row.key;
    refund.key = row.key + QStringLiteral("_退款");
    refund.amount = refunded;
    refund.direction = Direction::Neutral;
    refund.goods = QStringLiteral("退款-") + row.goods;
    QDate modified;
    int modifiedTime = -1;
    if (parseDateTime(f.view(Col::Modified), true, &modified, &modifiedTime))
        refund.date = modified, refund.seconds = modifiedTime;
    ctx.rows->append(std::move(refund));
}

// "服务费¥0.20" in a withdrawal's 备注.
Money feeIn(const QString &note, const Context &ctx)
{
    static const QRegularExpression fee(
        QStringLiteral("服务费\\s*[¥￥]?\\s*([\\d,]+(?:\\.\\d+)?)"));
    const auto match = fee.match(note);
    return match.hasMatch()
               ? checkedAmount(ctx, QStringLiteral("备注中的服务费"), match.capturedView(1))
               : Money();
}

void readWeChat(const Fields &f, Context &ctx)
{
    Row row;
    readTime(f, ctx, row);
    row.direction = directionOf(f, ctx, QStringLiteral("/"));
    row.amount = positiveAmount(f, ctx, Col::Amount);
    row.category = f(Col::Category);
    row.counterparty = f(Col::Counterparty);
    row.goods = f(Col::Goods);
    row.method = f(Col::Method);
    if (row.method.isEmpty())
        row.method = QStringLiteral("零钱");
    row.status = f(Col::Status);
    row.key = keyOf(f, ctx);
    row.merchantKey = f(Col::MerchantKey);
    row.note = f(Col::Note);
    row.fee = feeIn(row.note, ctx);
    row.closed = isClosed(row.status);
    // "商户消费-退款": its own row, the purchase keeps its 支出.
    const QString refundSuffix = QStringLiteral("-退款");
    if (row.category.endsWith(refundSuffix)) {
        row.refund = true;
        row.category.chop(refundSuffix.size());
    }
    ctx.rows->append(std::move(row));
}

// ---- the banks --------------------------------------------------------------

// Banks give no order number: the day, the amount, the balance after it and the
// other side tell a row apart (a repeated one gets its count in readTable).
void finishBankRow(Row &row, Context &ctx, const QString &method, Money signedAmount,
                   const QString &balance, const QString &summary)
{
    if (signedAmount.isZero())
        ctx.fail(QStringLiteral("金额为 0。"));
    row.method = method;
    row.amount = signedAmount < Money() ? -signedAmount : signedAmount;
    const bool repayment = summary.contains(u"还款");
    // Cash taken from the card is moved to one's 现金, not spent.
    const bool withdrawal =
        signedAmount < Money() && (summary.contains(u"取现") || summary.contains(u"取款") ||
                                   summary.contains(u"ATM", Qt::CaseInsensitive));
    row.direction = repayment || withdrawal  ? Direction::Neutral
                    : signedAmount < Money() ? Direction::Expense
                                             : Direction::Income;
    row.key =
        QStringLiteral("%1:%2|%3|%4|%5")
            .arg(method, isoDate(row.date), signedAmount.toPlain(), balance, row.counterparty);
    ctx.rows->append(std::move(row));
}

QString card(const char *kind, const QString &digits)
{
    const QString name = QString::fromUtf8(kind);
    return digits.isEmpty() ? name : QStringLiteral("%1(%2)").arg(name, digits);
}

void readBankDate(const Fields &f, Context &ctx, Col col, Row &row)
{
    int seconds = -1;
    if (!parseDateTime(f.view(col), false, &row.date, &seconds))
        ctx.fail(QStringLiteral("%1“%2”应为“年-月-日”，例如“2024-03-05”。")
                     .arg(headerName(*ctx.format, col), f(col)));
}

void readIcbc(const Fields &f, Context &ctx)
{
    Row row;
    readBankDate(f, ctx, Col::Time, row);
    const QString currency = f(Col::Currency);
    if (!currency.isEmpty() && currency != u"人民币")
        ctx.fail(QStringLiteral("记帐币种是“%1”：只能导入人民币的记录。").arg(currency));
    const bool income = !f(Col::IncomeAmount).isEmpty();
    const bool expense = !f(Col::ExpenseAmount).isEmpty();
    if (income == expense)
        ctx.fail(QStringLiteral("记账金额(收入)和记账金额(支出)应有且只有一个。"));
    const Money amount = positiveAmount(f, ctx, income ? Col::IncomeAmount : Col::ExpenseAmount);
    const QString summary = f(Col::Summary);
    row.counterparty = f(Col::Counterparty);
    if (row.counterparty.isEmpty())
        row.counterparty = f(Col::Place);
    row.goods = f(Col::Detail).isEmpty() ? summary : f(Col::Detail);
    row.category = summary;
    finishBankRow(row, ctx, card("工商银行储蓄卡", ctx.cardDigits), income ? amount : -amount,
                  f(Col::Balance), summary);
}

void readCmbDebit(const Fields &f, Context &ctx)
{
    Row row;
    readBankDate(f, ctx, Col::Time, row);
    const QString currency = f(Col::Currency);
    if (!currency.isEmpty() && currency != u"人民币")
        ctx.fail(QStringLiteral("货币是“%1”：只能导入人民币的记录。").arg(currency));
    const QString summary = f(Col::Summary);
    row.counterparty = f(Col::Counterparty);
    row.goods = f(Col::Note).isEmpty() ? summary : f(Col::Note);
    row.category = summary;
    finishBankRow(row, ctx, card("招商银行储蓄卡", ctx.cardDigits), amountOf(f, ctx, Col::Amount),
                  f(Col::Balance), summary);
}

// Dates are "MM/DD" of the statement's year; a statement early in a year holds
// days of December before it.
void readCmbCredit(const Fields &f, Context &ctx)
{
    if (!ctx.statementYear)
        ctx.fail(QStringLiteral("没有找到对账单的年月：文件开头应有“招商银行信用卡对账单（…… "
                                "YYYY年MM月）”一行。"));
    Row row;
    const Col dateCol = f(Col::Time).isEmpty() ? Col::BookDate : Col::Time;
    const QString text = f(dateCol);
    static const QRegularExpression monthDay(QStringLiteral("^(\\d{1,2})/(\\d{1,2})$"));
    const auto match = monthDay.match(text);
    const int month = match.hasMatch() ? match.captured(1).toInt() : 0;
    const int year = month > ctx.statementMonth ? ctx.statementYear - 1 : ctx.statementYear;
    row.date = QDate(year, month, match.hasMatch() ? match.captured(2).toInt() : 0);
    if (!row.date.isValid())
        ctx.fail(QStringLiteral("%1“%2”应为“月/日”，例如“03/05”。")
                     .arg(headerName(*ctx.format, dateCol), text));
    const QString summary = f(Col::Summary);
    row.counterparty = summary;
    row.goods = summary;
    // What was spent is positive here; a negative amount gave money back.
    const Money spent = amountOf(f, ctx, Col::Amount);
    row.refund = spent < Money() && !summary.contains(u"还款");
    const QString digits = f(Col::CardDigits).isEmpty() ? ctx.cardDigits : f(Col::CardDigits);
    finishBankRow(row, ctx, card("招商银行信用卡", digits), -spent, QString(), summary);
    if (ctx.rows->last().refund)
        ctx.rows->last().direction = Direction::Neutral;
}

// ---- the table of kinds -------------------------------------------------------

const std::vector<Format> &formats()
{
    using C = Col;
    static const std::vector<Format> all = {
        // The current app export; the older app export has the same names in another
        // order, which finding the columns by name reads alike.
        {"支付宝交易明细",
         Source::Alipay,
         "GBK",
         "/",
         {{C::Time, "交易时间"},
          {C::Category, "交易分类"},
          {C::Counterparty, "交易对方"},
          {C::Goods, "商品说明"},
          {C::Direction, "收/支"},
          {C::Amount, "金额"},
          {C::Method, "收/付款方式"},
          {C::Status, "交易状态"},
          {C::Key, "交易订单号"},
          {C::MerchantKey, "商家订单号"},
          {C::Note, "备注"}},
         readAlipay},
        {"支付宝交易记录（网页版）",
         Source::Alipay,
         "GBK",
         "/",
         {{C::Key, "交易号"},
          {C::MerchantKey, "商家订单号"},
          {C::Time, "交易创建时间"},
          {C::Modified, "最近修改时间"},
          {C::Counterparty, "交易对方"},
          {C::Goods, "商品名称"},
          {C::Amount, "金额（元）"},
          {C::Direction, "收/支"},
          {C::Status, "交易状态"},
          {C::Refunded, "成功退款（元）"},
          {C::Note, "备注"}},
         readAlipayWeb,
         "---",
         true},
        {"微信支付账单明细",
         Source::WeChat,
         "UTF-8",
         "/",
         {{C::Time, "交易时间"},
          {C::Category, "交易类型"},
          {C::Counterparty, "交易对方"},
          {C::Goods, "商品"},
          {C::Direction, "收/支"},
          {C::Amount, "金额(元)"},
          {C::Method, "支付方式"},
          {C::Status, "当前状态"},
          {C::Key, "交易单号"},
          {C::MerchantKey, "商户单号"},
          {C::Note, "备注"}},
         readWeChat},
        {"工商银行借记卡明细",
         Source::Bank,
         nullptr,
         "-",
         {{C::Time, "交易日期"},
          {C::Summary, "摘要"},
          {C::Detail, "交易详情"},
          {C::Place, "交易场所"},
          {C::IncomeAmount, "记账金额(收入)"},
          {C::ExpenseAmount, "记账金额(支出)"},
          {C::Currency, "记账币种"},
          {C::Balance, "余额"},
          {C::Counterparty, "对方户名"}},
         readIcbc,
         "人民币合计"},
        {"招商银行储蓄卡交易明细",
         Source::Bank,
         nullptr,
         "-",
         {{C::Time, "记账日期"},
          {C::Currency, "货币"},
          {C::Amount, "交易金额"},
          {C::Balance, "联机余额"},
          {C::Summary, "交易摘要"},
          {C::Counterparty, "对手信息"},
          {C::Note, "客户摘要"}},
         readCmbDebit,
         "#"},
        {"招商银行信用卡对账单",
         Source::Bank,
         nullptr,
         "-",
         {{C::Time, "交易日"},
          {C::BookDate, "记账日"},
          {C::Summary, "交易摘要"},
          {C::Amount, "人民币金额"},
          {C::CardDigits, "卡号末四位"}},
         readCmbCredit},
    };
    return all;
}

// Columns a bill may leave out: what they hold is read as empty.
bool isOptional(Col col)
{
    return col == Col::MerchantKey || col == Col::Note || col == Col::Detail || col == Col::Place;
}

int requiredCount(const Format &format)
{
    return int(std::count_if(format.columns.begin(), format.columns.end(),
                             [](const auto &column) { return !isOptional(column.first); }));
}

using ColumnIndex = std::array<int, int(Col::Count)>;

// What a row names of each format's columns: the index of each column (its first
// cell of that name) and how many of the required ones there are.
struct HeaderMatch
{
    std::vector<ColumnIndex> index;
    std::vector<int> found;
};

// Every format's column names, with where each belongs: a row is matched against
// all in one pass over its cells, however many (a line of 10^6 commas).
struct HeaderName
{
    std::size_t format;
    Col col;
};
const QHash<QString, QList<HeaderName>> &headerNames()
{
    static const QHash<QString, QList<HeaderName>> names = [] {
        QHash<QString, QList<HeaderName>> all;
        for (std::size_t f = 0; f < formats().size(); ++f)
            for (const auto &[col, name] : formats()[f].columns)
                all[QString::fromUtf8(name)] << HeaderName{f, col};
        return all;
    }();
    return names;
}

void matchHeaders(Cells row, HeaderMatch &match)
{
    const std::size_t count = formats().size();
    match.index.resize(count);
    match.found.assign(count, 0);
    for (ColumnIndex &index : match.index)
        index.fill(-1);
    static const qsizetype Longest = [] {
        qsizetype longest = 0;
        for (auto name = headerNames().keyBegin(); name != headerNames().keyEnd(); ++name)
            longest = std::max(longest, name->size());
        return longest;
    }();
    for (int i = 0; i < row.size(); ++i) {
        const QStringView cell = trimmedCell(row.at(i));
        if (cell.isEmpty() || cell.size() > Longest)
            continue;
        const auto named = headerNames().constFind(cell.toString());
        if (named == headerNames().constEnd())
            continue;
        for (const HeaderName &name : *named) {
            int &at = match.index[name.format][int(name.col)];
            if (at < 0) {
                at = i;
                match.found[name.format] += !isOptional(name.col);
            }
        }
    }
}

QStringList missingColumns(const Format &format, const ColumnIndex &index)
{
    QStringList missing;
    for (const auto &[col, name] : format.columns)
        if (index[int(col)] < 0 && !isOptional(col))
            missing << QStringLiteral("“%1”").arg(QString::fromUtf8(name));
    return missing;
}

// What the lines before the table say: the card's last digits, a credit card
// statement's month, the period the bill covers.
void readPreamble(const QString &line, Context &ctx, Document &doc)
{
    static const QRegularExpression statement(QStringLiteral("(\\d{4})年(\\d{1,2})月"));
    static const QRegularExpression cardNumber(
        QStringLiteral("(?:卡号|账号|帐号)[^0-9*]*[0-9* ]*?(\\d{4})\\D*$"));
    static const QRegularExpression period(
        QStringLiteral("起始时间：\\[(\\d{4}-\\d{2}-\\d{2}).*终止时间：\\[(\\d{4}-\\d{2}-\\d{2})"));
    if (line.contains(u"对账单")) {
        const auto m = statement.match(line);
        if (m.hasMatch())
            ctx.statementYear = m.captured(1).toInt(), ctx.statementMonth = m.captured(2).toInt();
    }
    if (line.contains(u"号"))
        if (const auto m = cardNumber.match(line); m.hasMatch())
            ctx.cardDigits = m.captured(1);
    if (line.contains(u"起始时间"))
        if (const auto m = period.match(line); m.hasMatch())
            doc.from = m.captured(1), doc.to = m.captured(2);
}

// "共10笔记录": how many rows the apps' bills say they hold, above or below the table.
void readCount(const QString &line, int lineNumber, Context &ctx)
{
    static const QRegularExpression count(QStringLiteral("共\\s*(\\d{1,9})\\s*笔记录"));
    if (line.contains(u"笔记录"))
        if (const auto m = count.match(line); m.hasMatch())
            ctx.count = m.captured(1).toInt(), ctx.countLine = lineNumber;
}

QString cutShort()
{
    return QStringLiteral("文件可能没有下载完整或被截断了，请重新导出帐单。");
}

// A file cut short is refused: its last row has fewer cells than its header (a CSV
// file writes every cell of a row), or it holds fewer rows than it says it has.
void checkWhole(const Format &format, const Context &ctx, int rows)
{
    if (format.source == Source::Bank)
        return;
    if (ctx.count >= 0 && ctx.count != rows)
        throw Error(QStringLiteral("文件“%1”第 %2 行说共有 %3 笔记录，表中却有 %4 笔：")
                        .arg(ctx.file)
                        .arg(ctx.countLine)
                        .arg(ctx.count)
                        .arg(rows) +
                    cutShort());
    if (ctx.count < 0 && format.countInFooter)
        throw Error(QStringLiteral("文件“%1”的末尾没有“共N笔记录”的汇总：").arg(ctx.file) +
                    cutShort());
}

bool isBlank(Cells row)
{
    for (const QStringView cell : row)
        if (!trimmedCell(cell).isEmpty())
            return false;
    return true;
}

QString joined(Cells row)
{
    QString text;
    qsizetype size = row.size();
    for (const QStringView cell : row)
        size += cell.size();
    text.reserve(size);
    for (const QStringView cell : row) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += cell;
    }
    return text;
}

QString notUnderstood(const QString &file)
{
    return QStringLiteral("文件“%1”不是本程序能读的帐单：没有找到%2的表头。"
                          "请选择从支付宝、微信或银行导出的帐单文件（CSV、XLSX 或 ZIP）。")
        .arg(file, knownKinds().join(QStringLiteral("、")));
}

// A bill of 10^5 rows fills some 25 MB of fresh memory with its rows at once: in
// huge pages, where the system offers them, it is mapped in 512 times fewer steps.
void preferHugePages(const void *begin, std::size_t size)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t Huge = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t from = (start + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t to = (start + size) & ~(Huge - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(size);
#endif
}

Document readTable(const TextTable &table, const QString &path, const QString &name)
{
    Document doc;
    doc.path = path;
    doc.name = name;
    Context ctx{nullptr, name, 0, {}, 0, 0, &doc.rows};
    ColumnIndex index{};
    int headerAt = -1;
    // The header, and the nearest miss for the message when there is none.
    const Format *nearest = nullptr;
    int nearestFound = 0, nearestLine = 0;
    ColumnIndex nearestIndex{};
    HeaderMatch match;
    for (int r = 0; r < table.rowCount() && headerAt < 0; ++r) {
        const Cells row = table.row(r);
        if (isBlank(row))
            continue;
        matchHeaders(row, match);
        for (std::size_t f = 0; f < formats().size(); ++f) {
            const Format &format = formats()[f];
            const int found = match.found[f];
            if (found == requiredCount(format)) {
                ctx.format = &format;
                index = match.index[f];
                headerAt = r;
                break;
            }
            if (found > nearestFound && found * 2 > requiredCount(format))
                nearest = &format, nearestFound = found, nearestLine = table.line(r),
                nearestIndex = match.index[f];
        }
        if (headerAt < 0) {
            const QString line = joined(row);
            readPreamble(line, ctx, doc);
            readCount(line, table.line(r), ctx);
        }
    }
    if (headerAt < 0 && nearest)
        throw Error(
            QStringLiteral("文件“%1”第 %2 行像是%3的表头，但缺少%4列：这种格式本程序还不认识。")
                .arg(name)
                .arg(nearestLine)
                .arg(QString::fromUtf8(nearest->title),
                     missingColumns(*nearest, nearestIndex).join(QStringLiteral("、"))));
    if (headerAt < 0)
        throw Error(notUnderstood(name));
    const Format &format = *ctx.format;
    doc.title = QString::fromUtf8(format.title);
    doc.source = format.source;
    // The apps write one encoding; a file in another was converted, as a spreadsheet
    // program does when it saves.
    const bool workbook = table.encoding.isEmpty();
    if (!workbook && format.encoding && !table.encoding.startsWith(QLatin1String(format.encoding)))
        throw Error(
            resavedMessage(name, QStringLiteral("%1导出的是 %2 编码，这个文件却是 %3 编码")
                                     .arg(sourceName(format.source), QLatin1String(format.encoding),
                                          table.encoding.section(QLatin1Char(' '), 0, 0))));
    const QString footer = format.footer ? QString::fromUtf8(format.footer) : QString();
    if (format.source != Source::Bank)
        ctx.keyPrefix = sourceName(format.source) + QLatin1Char(':');
    doc.rows.reserve(table.rowCount() - headerAt);
    preferHugePages(doc.rows.constData(), doc.rows.capacity() * sizeof(Row));
    const qsizetype headerCells = table.row(headerAt).size();
    int rows = 0;
    int r = headerAt + 1;
    for (; r < table.rowCount(); ++r) {
        const Cells cells = table.row(r);
        if (isBlank(cells))
            continue;
        if (!footer.isEmpty() && trimmedCell(cells.value(0)).startsWith(footer))
            break;
        ctx.line = table.line(r);
        if (!workbook && cells.size() < headerCells)
            throw Error(QStringLiteral("文件“%1”第 %2 行只有 %3 列，表头有 %4 列：")
                            .arg(name)
                            .arg(ctx.line)
                            .arg(cells.size())
                            .arg(headerCells) +
                        cutShort());
        const qsizetype before = doc.rows.size();
        format.read(Fields{cells, index, format, ctx}, ctx);
        ++rows;
        for (qsizetype i = before; i < doc.rows.size(); ++i)
            doc.rows[i].line = ctx.line;
    }
    for (++r; r < table.rowCount(); ++r)
        readCount(joined(table.row(r)), table.line(r), ctx);
    checkWhole(format, ctx, rows);
    // Banks: a row repeated on one day (the same amount, balance and other side) is
    // told apart by its count.
    if (format.source == Source::Bank) {
        QHash<QString, int> seen;
        for (Row &row : doc.rows)
            if (const int n = ++seen[row.key]; n > 1)
                row.key += QStringLiteral("#%1").arg(n);
    }
    return doc;
}

} // namespace

QStringList knownKinds()
{
    QStringList kinds;
    for (const Format &format : formats())
        kinds << QString::fromUtf8(format.title);
    return kinds;
}

namespace {

Document readText(const QByteArray &bytes, const QString &path, const QString &name)
{
    QString encoding;
    int badLine = 0;
    TextTable table = splitCsv(decodeText(bytes, &encoding, &badLine));
    // Never "�" in a remark: bytes that are no GBK say the file is damaged.
    if (badLine > 0)
        throw Error(QStringLiteral("文件“%1”第 %2 行有不是 GBK 编码的字节，读不出来：文件可能已"
                                   "损坏，请重新导出帐单。")
                        .arg(name)
                        .arg(badLine));
    table.encoding = encoding;
    return readTable(table, path, name);
}

} // namespace

QList<Document> readBytes(const QByteArray &bytes, const QString &path, const QString &shownName,
                          const QString &zipPassword)
{
    if (!ZipArchive::looksLikeZip(bytes))
        return {readText(bytes, path, shownName)};
    ZipArchive zip(bytes, shownName);
    if (Xlsx::isWorkbook(zip))
        return {readTable(Xlsx::readSheet(zip, shownName), path, shownName)};
    QList<Document> documents;
    for (const QString &member : zip.names()) {
        if (member.isEmpty())
            continue;
        const QString fileName = QFileInfo(member).fileName();
        const QString inner = QStringLiteral("%1 中的 %2").arg(shownName, fileName);
        const QByteArray read = zip.read(member, zipPassword);
        if (!ZipArchive::looksLikeZip(read)) {
            documents << readText(read, path, inner);
            continue;
        }
        // A bill ZIP holds bills: a workbook, never another archive to open in turn.
        const ZipArchive workbook(read, inner);
        if (!Xlsx::isWorkbook(workbook))
            throw Error(QStringLiteral("压缩包“%1”里的“%2”又是一个压缩包：帐单压缩包里应是帐单"
                                       "文件（CSV 或 XLSX）。请先把它解压出来，再导入里面的帐单。")
                            .arg(shownName, fileName));
        documents << readTable(Xlsx::readSheet(workbook, inner), path, inner);
    }
    if (documents.isEmpty())
        throw Error(QStringLiteral("压缩包“%1”里没有帐单文件。").arg(shownName));
    return documents;
}

QList<Document> readFile(const QString &path, const QString &zipPassword)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("文件“%1”打不开：%2").arg(name, file.errorString()));
    if (file.size() > MaxFileBytes)
        throw Error(tooLargeMessage(QStringLiteral("文件“%1”").arg(name), file.size()));
    return readBytes(file.readAll(), path, name, zipPassword);
}

} // namespace Bills
