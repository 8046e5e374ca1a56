#pragma once

#include "core/bills/Bill.h"
#include "core/bills/ImportSettings.h"

#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <tuple>

// What importing the rows of some bill files into a book would do, row by row,
// before anything is written: whether a row is new, a duplicate of one imported
// before (or read twice), skipped (closed, a refund of a closed purchase, a move
// between one's own accounts whose other side is not chosen yet), a refund netted
// against its purchase, a transfer (a move whose kind the book knows), or to be
// confirmed (a bank row that is an app row's payment by card, or the same move
// seen from the other account); and the entry each becomes, with its category,
// account, member and remark from the book's settings, and why.
// The window shows and edits a plan; the window and the command import one.
namespace Import {

enum class Status
{
    New,
    Duplicate,
    Skipped,
    Refund,
    Transfer,
    ToConfirm,
};
constexpr int StatusCount = 6;
QString statusName(Status status); // 新, 重复, 跳过, 退款, 转帐, 待确认

enum class Kind
{
    Expense,
    Income,
    Transfer,
};
QString kindName(Kind kind); // 支出, 收入, 转帐

// The identity of the entry a bill becomes in the table `table` of a book (of
// Sharing::bookIdentity): the same on every computer, so that a bill imported on
// two of them is one entry.
QString entryIdentity(const QString &book, const QString &billKey, const QString &table);

struct Line
{
    int document = 0; // of the plan's documents
    int row = 0;      // of that document's rows
    Status status = Status::New;
    QString why;         // what a status other than 新 rests on
    QString reason;      // where the category or the accounts came from
    bool chosen = false; // written by 导入
    Kind kind = Kind::Expense;
    QString date;
    Money amount; // as the entry holds it: a refund's is negative
    Money fee;    // a transfer's service fee, booked as an expense of its own
    QString category;
    QString account;
    QString toAccount; // a transfer's other account
    QString member;
    QString remark;
    bool categoryFallback = false; // 其他支出 / 其他收入 for want of a mapping
    QString transferKind;          // a move's kind ("余额宝转入"), as the book remembers it
    // What the user set by hand, kept when the settings change.
    bool ownCategory = false, ownAccount = false, ownToAccount = false, ownMember = false,
         ownRemark = false;
    int purchase = -1; // a refund's purchase among the lines
    // A refund's purchase imported before: its category, account and remark.
    QString purchaseCategory, purchaseAccount, purchaseRemark;
};

// Lines counted and their amounts summed by kind; a refund lowers the expenses.
// The fees booked with transfers are summed apart.
struct Tally
{
    int count = 0;
    Money expense, income, transfer, fee;
    void add(const Line &line);
    Tally &operator+=(const Tally &other);
};
// "新 11 条（支出 2,032.66，收入 400.00）", "转帐 1 条（转帐 100.00，服务费 0.10）", or
// "重复 0 条".
QString tallyText(const QString &what, const Tally &tally);
// Every status's tally, in the order of the statuses, as the window and the command
// show them: the counts add up to the rows of the bills.
QString countsText(const std::array<Tally, StatusCount> &tally, const QString &separator);

// The kind of a move between one's own accounts that a row of a bill is: "余额宝转入",
// "余额宝转出", "花呗还款", "零钱提现", "零钱充值", "信用卡还款", "取现", ….
QString transferKind(const Bills::Document &document, const Bills::Row &row);
// What the preview says of a line in one line: why it was left (skipped, a
// duplicate, waiting for confirmation), else where its category or accounts came from.
QString explanation(const Line &line);

class Plan
{
public:
    // Reads what was imported into the book before. Throws DbError.
    explicit Plan(Settings settings);

    // Adds the documents' rows and decides every line afresh; what the user set
    // by hand on lines already there stays.
    void add(const QList<Bills::Document> &documents);
    void clear();

    const QList<Bills::Document> &documents() const { return m_documents; }
    const QList<Line> &lines() const { return m_lines; }
    Line &line(int index) { return m_lines[index]; }
    const Bills::Row &rowOf(const Line &line) const;
    const Bills::Document &documentOf(const Line &line) const;

    // The family member of every line that no rule gives one.
    void setMember(const QString &member);
    const QString &member() const { return m_member; }

    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }
    // Applies the settings again (after the user changed one) to what each line
    // did not get by hand; a move whose kind now has its account becomes a transfer.
    void remap();
    // The kinds of move the lines hold, in the order read.
    QStringList transferKinds() const;

    // Whether the user may choose the line: not a duplicate, not a closed purchase.
    static bool choosable(const Line &line);
    // Lines and their amounts by status; with chosenOnly, what 导入 would write.
    std::array<Tally, StatusCount> tally(bool chosenOnly = false) const;
    int chosenCount() const;

    // The payment methods and app categories the lines name, in the order read.
    QStringList methods() const;
    QStringList appCategories() const;

    // The payment methods of chosen lines that have no account.
    QStringList unmappedMethods() const;
    // Why the chosen lines cannot be imported as they are (a payment method with
    // no account, a transfer with one side missing); empty when they can.
    QString refusal() const;

private:
    struct Imported
    {
        QString table;
        qint64 id = 0;
    };
    struct Payment
    {
        QString method, date;
        Money amount; // signed, as the bill moved it
        bool fromApp;
        int line; // among the lines; -1 for one imported before
    };
    void decide(int fresh);
    void decideRefund(Line &line, const QHash<QString, int> &byKey, const QList<int> &refunded);
    int wechatPurchase(const Line &refund, const QList<int> &refunded) const;
    void matchCardPayments();
    void matchTransfers();
    void decideTransfer(Line &line) const;
    void mapAll();
    void map(Line &line) const;
    void mapCategory(Line &line, const Line *purchase, const Rule *rule) const;
    void mapTransfer(Line &line) const;

    Settings m_settings;
    QString m_member;
    QHash<QString, Imported> m_imported; // by bill key
    // Bills whose entry the book holds though no import keeps its key: imported on
    // another computer, or restored from the recycle bin.
    QSet<QString> m_entered;
    QList<Payment> m_importedPayments;
    // Moves between own accounts an earlier import took from an app's bill: each
    // account as it saw the move (lower case), its day and its signed units.
    QList<std::tuple<QString, QString, std::int64_t>> m_importedMoves;
    QList<Bills::Document> m_documents;
    QList<Line> m_lines;
};

// The same card named by an app and by its bank: "招商银行储蓄卡(1234)" and
// "招商银行(1234)" are; another bank, card kind or last four digits is not.
bool sameCard(const QString &appMethod, const QString &bankMethod);

} // namespace Import
