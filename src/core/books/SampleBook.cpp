#include "core/books/SampleBook.h"

#include "core/books/BookStore.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Connection.h"
#include "data/Dates.h"
#include "data/PinyinCode.h"
#include "data/Sql.h"

#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <vector>

namespace SampleBook {
namespace {

// A small generator of our own (splitmix64): the same seed gives the same numbers
// with every compiler and library, unlike the standard distributions.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    std::int64_t below(std::int64_t n)
    {
        return static_cast<std::int64_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
    }
    bool percent(int p) { return below(100) < p; }

private:
    std::uint64_t m_state;
};

// Something picked by weight: a category, an account, a kind of entry.
template <typename T> const T &pickWeighted(Random &random, const std::vector<T> &items)
{
    int total = 0;
    for (const T &item : items)
        total += item.weight;
    std::int64_t at = random.below(total);
    for (const T &item : items) {
        if (at < item.weight)
            return item;
        at -= item.weight;
    }
    return items.back();
}

template <typename T> const T &pick(Random &random, const std::vector<T> &items)
{
    return items[static_cast<std::size_t>(random.below(static_cast<std::int64_t>(items.size())))];
}

// A category with how often it is used, its usual amounts in yuan and remarks.
struct Category
{
    QString name;
    int weight;
    int minYuan, maxYuan;
    std::vector<QString> remarks;
};

struct Account
{
    QString name;
    int weight; // how often it is used for the kind of entry it is listed under
};

std::vector<QString> texts(std::initializer_list<const char *> items)
{
    std::vector<QString> out;
    for (const char *item : items)
        out.push_back(QString::fromUtf8(item));
    return out;
}

const std::vector<Category> &incomeCategories()
{
    static const std::vector<Category> list = {
        {"工资", 20, 3000, 25000, texts({"月工资", "基本工资", "绩效工资"})},
        {"奖金", 6, 500, 20000, texts({"季度奖", "年终奖", "项目奖金"})},
        {"补助津贴", 5, 100, 1500, texts({"交通补贴", "餐补", "高温补贴"})},
        {"利息收入", 10, 1, 800, texts({"活期利息", "定期到期", "余额宝收益"})},
        {"分红", 2, 100, 5000, texts({"基金分红", "股票分红"})},
        {"租赁所得", 4, 1500, 4500, texts({"房租收入", "车位出租"})},
        {"稿费版税收入", 1, 300, 6000, texts({"杂志稿费"})},
        {"其他收入", 5, 10, 2000, texts({"退款", "报销", "卖旧物"})},
        {"兼职收入", 12, 200, 3000, texts({"周末兼职", "设计外包", "家教"})},
        {"红包收入", 15, 1, 888, texts({"春节红包", "生日红包", "微信红包"})},
    };
    return list;
}

const std::vector<Category> &expenseCategories()
{
    static const std::vector<Category> list = {
        {"食品", 30, 5, 300, texts({"超市", "菜市场", "水果", "面包房"})},
        {"外出就餐", 15, 15, 600, texts({"午饭", "朋友聚餐", "火锅", "早餐"})},
        {"日常用品", 10, 5, 200, texts({"洗衣液", "纸巾", "牙膏"})},
        {"公共汽车费", 10, 2, 30, texts({"地铁", "公交"})},
        {"汽油费", 5, 150, 500, texts({"加油"})},
        {"水费", 2, 20, 120, texts({"两个月水费"})},
        {"电费", 2, 50, 400, texts({"电费"})},
        {"煤气费", 2, 30, 200, texts({"燃气费"})},
        {"手机费", 3, 30, 200, texts({"话费充值"})},
        {"上网费", 2, 50, 200, texts({"宽带续费"})},
        {"衣服", 5, 50, 1500, texts({"换季衣服", "童装", "羽绒服"})},
        {"鞋帽", 2, 80, 900, texts({"运动鞋", "皮鞋"})},
        {"医疗药品费", 3, 10, 2000, texts({"感冒药", "体检", "牙科"})},
        {"书籍及音像", 2, 20, 300, texts({"小说", "教辅", "电子书"})},
        {"娱乐费", 3, 30, 500, texts({"电影", "KTV", "游乐园"})},
        {"旅游度假", 1, 1000, 20000, texts({"国庆旅游", "春节回老家", "暑假出游"})},
        {"礼品礼金", 3, 100, 2000, texts({"婚礼份子钱", "生日礼物", "看望长辈"})},
        {"房租", 2, 1500, 6000, texts({"季度房租"})},
        {"购买数码产品", 1, 300, 9000, texts({"手机", "耳机", "笔记本电脑"})},
        {"学杂费", 1, 200, 5000, texts({"学费", "兴趣班"})},
        {"停车过路费", 3, 5, 100, texts({"停车费", "高速费"})},
        {"银行手续费", 1, 1, 50, texts({"跨行转帐手续费", "年费"})},
        {"其他支出", 2, 10, 1000, texts({"杂项"})},
        {"宠物用品", 3, 20, 500, texts({"猫粮", "猫砂", "疫苗"})},
        {"快递外卖", 8, 15, 120, texts({"外卖", "快递费"})},
        {"网络会员", 1, 15, 258, texts({"视频会员", "音乐会员", "云盘"})},
    };
    return list;
}

// The book's own accounts beside the default ones, with their opening balances (cents).
struct Opening
{
    const char *name;
    std::int64_t openingCents;
    const char *kind = "储蓄";
};
const Opening OwnAccounts[] = {
    {"工资卡", 2865000, "储蓄"}, {"微信钱包", 120000, "网络支付"}, {"信用卡", 0, "信用卡/花呗"}};
// Opening balances of some default accounts (cents); the others open at 0.
const Opening DefaultOpenings[] = {{"现金", 200000}, {"中行长城卡", 1520050}, {"支付宝", 35680}};

const std::vector<Account> &incomeAccounts()
{
    static const std::vector<Account> list = {
        {"工资卡", 50}, {"中行长城卡", 15}, {"支付宝", 10}, {"微信钱包", 15}, {"现金", 10}};
    return list;
}

const std::vector<Account> &expenseAccounts()
{
    static const std::vector<Account> list = {{"现金", 20},   {"微信钱包", 30}, {"支付宝", 25},
                                              {"信用卡", 15}, {"工资卡", 5},    {"招行一卡通", 5}};
    return list;
}

const std::vector<Account> &transferAccounts()
{
    static const std::vector<Account> list = {{"工资卡", 40},   {"现金", 15},   {"支付宝", 15},
                                              {"微信钱包", 15}, {"信用卡", 10}, {"中行长城卡", 5}};
    return list;
}

struct Member
{
    const char *name, *relation, *birthday;
};
const Member Members[] = {{"张伟", "父亲", "1975-03-12"},
                          {"李娜", "母亲", "1978-09-30"},
                          {"张小雨", "女儿", "2008-06-01"},
                          {"王秀英", "奶奶", "1950-11-18"}};

class Writer;

// One kind of entry: the share of entries it makes and how one entry is written:
// its row, then the rows that follow it (repayments...).
struct EntryKind
{
    const char *table; // counted under this name
    int weight;
    std::function<void(Writer &)> write;
};

// What the kinds write with: the day, the random numbers, the book's names and
// the ledger. The balances the entries leave are followed here too, so that
// spending is paid from an account that holds enough.
class Writer
{
public:
    Writer(Ledger &ledger, Random &random, const QMap<QString, Money> &openingBalances)
        : m_ledger(ledger), m_random(random), m_balances(openingBalances)
    {
        for (const Member &m : Members)
            m_members.push_back(QString::fromUtf8(m.name));
    }

    const QString &date() const { return m_date; }
    void setDate(const QString &date) { m_date = date; }
    void setLastDay(const QDate &day) { m_lastDay = day; }
    // A day after the current one, within a year and not after the last day.
    QString laterDate()
    {
        const QDate later =
            QDate::fromString(m_date, dateFormat()).addDays(1 + m_random.below(365));
        return isoDate(std::min(later, m_lastDay));
    }
    Random &random() { return m_random; }

    // A member most of the time; some entries name nobody.
    QString member() { return m_random.percent(80) ? anyMember() : QStringLiteral(""); }
    // For the rows that must name a member: debts, credits and follow-ups.
    QString anyMember() { return pick(m_random, m_members); }
    QString remark(const Category &c)
    {
        return m_random.percent(40) ? QStringLiteral("") : pick(m_random, c.remarks);
    }
    // An amount to the cent in the category's range, small amounts more often.
    Money amount(const Category &c)
    {
        const std::int64_t lo = std::int64_t(c.minYuan) * 100, hi = std::int64_t(c.maxYuan) * 100;
        const std::int64_t span = hi - lo + 1;
        const std::int64_t a = m_random.below(span), b = m_random.below(span);
        return Money::fromUnits((lo + std::min(a, b)) * (Money::Scale / 100));
    }
    QString account(const std::vector<Account> &accounts)
    {
        return pickWeighted(m_random, accounts).name;
    }
    // An account to pay `amount` from: one of `accounts` when it holds enough, else
    // `otherwise`, or the account holding the most when `otherwise` is empty.
    QString payer(const std::vector<Account> &accounts, Money amount, const QString &otherwise)
    {
        const QString chosen = account(accounts);
        if (m_balances.value(chosen) >= amount)
            return chosen;
        if (!otherwise.isEmpty())
            return otherwise;
        QString richest = chosen;
        for (auto it = m_balances.cbegin(); it != m_balances.cend(); ++it)
            if (it.value() > m_balances.value(richest))
                richest = it.key();
        return richest;
    }

    // Saves an entry of the kind, dated the current day; returns its key.
    QVariant save(const Ledger::EntryKind &kind, QVariantMap row)
    {
        row[QLatin1String(kind.dateColumn)] = m_date;
        follow(Ledger::effectOf(kind, row));
        return m_ledger.save(kind, row);
    }
    void recordFollowUp(const Ledger::FollowUpKind &kind, const QVariant &entry,
                        const QVariantMap &record)
    {
        follow(Ledger::effectOf(kind, record));
        m_ledger.recordFollowUp(kind, entry, record);
    }

private:
    void follow(const Ledger::Movements &movements)
    {
        for (const auto &[account, amount] : movements)
            m_balances[account] += amount;
    }

    Ledger &m_ledger;
    Random &m_random;
    QString m_date;
    std::vector<QString> m_members;
    QDate m_lastDay;
    QMap<QString, Money> m_balances;
};

QVariantMap row(std::initializer_list<std::pair<const char *, QVariant>> values)
{
    QVariantMap out;
    for (const auto &[name, value] : values)
        out.insert(QLatin1String(name), value);
    return out;
}

// Spending that the account chosen cannot cover goes on the credit card.
const QString CreditCard = QStringLiteral("信用卡");

void income(Writer &w)
{
    const Category &c = pickWeighted(w.random(), incomeCategories());
    const Money amount = w.amount(c);
    const QString account = w.account(incomeAccounts());
    w.save(Ledger::income(), row({{"IName", c.name},
                                  {"IMoney", amount.toVariant()},
                                  {"AName", account},
                                  {"FName", w.member()},
                                  {"Remark", w.remark(c)}}));
}

void expense(Writer &w)
{
    const Category &c = pickWeighted(w.random(), expenseCategories());
    const Money amount = w.amount(c);
    const QString account = w.payer(expenseAccounts(), amount, CreditCard);
    w.save(Ledger::expense(), row({{"OName", c.name},
                                   {"OMoney", amount.toVariant()},
                                   {"AName", account},
                                   {"FName", w.member()},
                                   {"Remark", w.remark(c)}}));
}

const Category TransferAmounts{"", 1, 100, 5000, texts({"取现", "还信用卡", "充值", "存钱"})};

// A transfer between two different accounts, from one that holds the amount; its
// remark ends with "from->to", as the transfer window writes it.
void transfer(Writer &w)
{
    const Money amount = w.amount(TransferAmounts);
    const QString from = w.payer(transferAccounts(), amount, QString());
    QString to = from;
    while (to == from)
        to = w.account(transferAccounts());
    const QString remark =
        w.remark(TransferAmounts) + QLatin1Char(' ') + from + QStringLiteral("->") + to;
    w.save(Ledger::transfer(), row({{"OldN", from},
                                    {"NewN", to},
                                    {"CMoney", amount.toVariant()},
                                    {"FName", w.member()},
                                    {"Remark", remark}}));
}

const Category LoanAmounts{"", 1, 1000, 50000, texts({"装修", "周转", "买车", "看病", "孩子学费"})};
const std::vector<QString> OtherSides =
    texts({"王建国", "刘洋", "陈静", "赵磊", "表哥", "公司同事"});

const std::vector<Category> &investmentCategories()
{
    static const std::vector<Category> list = {
        {"基金", 5, 1000, 30000, texts({"指数基金定投", "债券基金"})},
        {"股票", 3, 2000, 50000, texts({"蓝筹股", "新股申购"})},
        {"国债", 2, 5000, 50000, texts({"三年期国债"})},
        {"保险", 1, 2000, 10000, texts({"分红险"})},
    };
    return list;
}

// The parts of `outstanding` that follow-ups settle, in whole yuan: none, some,
// or all of it, the last sometimes what is left.
std::vector<Money> settlements(Writer &w, Money outstanding)
{
    std::vector<Money> parts;
    const int count = int(w.random().below(4));
    for (int i = 0; i < count && outstanding > Money(); ++i) {
        const std::int64_t yuan = outstanding.units() / Money::Scale;
        const bool rest = yuan < 2 || (i == count - 1 && w.random().percent(40));
        const Money part =
            rest ? outstanding : Money::fromUnits((1 + w.random().below(yuan / 2)) * Money::Scale);
        parts.push_back(part);
        outstanding -= part;
    }
    return parts;
}

// A debt (the money borrowed comes in) or a credit (the money lent goes out)
// with its repayments or collections, each moving its own account the other way.
std::function<void(Writer &)> debtOrCredit(const Ledger::EntryKind &(*kindOf)())
{
    return [kindOf](Writer &w) {
        const Ledger::EntryKind &kind = kindOf();
        const bool borrowed = kind.legs.front().sign > 0;
        const Money amount = w.amount(LoanAmounts);
        const QString account = borrowed ? w.account(transferAccounts())
                                         : w.payer(transferAccounts(), amount, QString());
        const QString member = w.anyMember();
        const QString prefix = QLatin1String(kind.table).left(1);
        const QVariant id =
            w.save(kind, {{prefix + QStringLiteral("Pro"), pick(w.random(), OtherSides)},
                          {prefix + QStringLiteral("Money"), amount.toVariant()},
                          {QStringLiteral("AName"), account},
                          {QStringLiteral("FName"), member},
                          {QStringLiteral("Remark"), w.remark(LoanAmounts)}});
        for (const Money &part : settlements(w, amount)) {
            const QString other = borrowed ? w.payer(transferAccounts(), part, QString())
                                           : w.account(transferAccounts());
            w.recordFollowUp(*kind.followUps, id,
                             row({{"RDate", w.laterDate()},
                                  {"RMoney", part.toVariant()},
                                  {"AName", other},
                                  {"FName", member},
                                  {"Remark", QStringLiteral("")}}));
        }
    };
}

// An investment with its returns: principal back with an income, now and then a loss.
void investment(Writer &w)
{
    const Category &c = pickWeighted(w.random(), investmentCategories());
    const Money amount = w.amount(c);
    const QString from = w.payer(transferAccounts(), amount, QString());
    const QVariant id = w.save(Ledger::investment(), row({{"TName", c.name},
                                                          {"TMoney", amount.toVariant()},
                                                          {"AName", from},
                                                          {"FName", w.member()},
                                                          {"Remark", w.remark(c)}}));
    for (const Money &part : settlements(w, amount)) {
        // From 5% lost to 15% earned, to the cent.
        const std::int64_t cents = part.units() / 100;
        const Money income =
            Money::fromUnits((w.random().below(cents / 5 + 1) - cents / 20) * (Money::Scale / 100));
        w.recordFollowUp(Ledger::investmentReturn(), id,
                         row({{"RDate", w.laterDate()},
                              {"RMoney", part.toVariant()},
                              {"SMoney", income.toVariant()},
                              {"AName", w.account(incomeAccounts())},
                              {"FName", w.anyMember()},
                              {"Remark", QStringLiteral("")}}));
    }
}

const std::vector<EntryKind> &entryKinds()
{
    static const std::vector<EntryKind> kinds = {
        {"InTable", 20, income},
        {"OutTable", 70, expense},
        {"ChangeT", 10, transfer},
        {"Borrow", 1, debtOrCredit(Ledger::debt)},
        {"Debt", 1, debtOrCredit(Ledger::credit)},
        {"TTable", 1, investment},
    };
    return kinds;
}

// ---- the book's own reference rows -------------------------------------------

void run(const QSqlDatabase &db, const QString &text, const QVariantList &values)
{
    Sql(text, values).exec(db);
}

void addCategories(const QSqlDatabase &db, const QString &book, const char *table,
                   const char *nameColumn, const std::vector<Category> &categories)
{
    const QString exists = QStringLiteral("select ID from %1 where %2=? and BName=?")
                               .arg(QLatin1String(table), QLatin1String(nameColumn));
    const QString insert =
        QStringLiteral("insert into %1 (%2,thePY,BName,Remark) values (?,?,?,'')")
            .arg(QLatin1String(table), QLatin1String(nameColumn));
    for (const Category &c : categories)
        if (!Sql(exists, {c.name, book}).exec(db).next())
            run(db, insert, {c.name, PinyinCode(c.name), book});
}

// Adds the own accounts and sets every opening balance; returns all of them.
QMap<QString, Money> addAccounts(const QSqlDatabase &db, const QString &book, Ledger &ledger)
{
    for (const Opening &a : OwnAccounts) {
        const QString name = QString::fromUtf8(a.name);
        run(db,
            QStringLiteral("insert into SAccount (AName,thePY,BName,AMoney,Remark,AKind,OpenDate) "
                           "values (?,?,?,0,'',?,(select BDate from SBook where BName=?))"),
            {name, PinyinCode(name), book, QString::fromUtf8(a.kind), book});
    }
    QMap<QString, Money> openings;
    const auto openingOf = [](const QString &name) {
        for (const auto *list : {&OwnAccounts, &DefaultOpenings})
            for (const Opening &a : *list)
                if (name == QString::fromUtf8(a.name))
                    return Money::fromUnits(a.openingCents * (Money::Scale / 100));
        return Money();
    };
    QSqlQuery all =
        Sql(QStringLiteral("select ID, AName from SAccount where BName=?"), {book}).exec(db);
    while (all.next()) {
        const QString name = all.value(1).toString();
        openings[name] = openingOf(name);
        ledger.setBalance(all.value(0), openings[name]);
        run(db, QStringLiteral("update SAccount set OpenMoney=? where ID=?"),
            {openings[name].toVariant(), all.value(0)});
    }
    return openings;
}

// Members are shared by all books: only those not there yet are added.
void addMembers(const QSqlDatabase &db)
{
    for (const Member &m : Members) {
        const QString name = QString::fromUtf8(m.name);
        if (!Sql(QStringLiteral("select ID from SFamily where FName=?"), {name}).exec(db).next())
            run(db,
                QStringLiteral("insert into SFamily (FName,thePY,theGX,BirDate,Remark) "
                               "values (?,?,?,?,'')"),
                {name, PinyinCode(name), QString::fromUtf8(m.relation),
                 QString::fromUtf8(m.birthday)});
    }
}

void writeEntries(Ledger &ledger, const Options &options, Summary &summary)
{
    Random random(options.seed);
    Writer writer(ledger, random, summary.openingBalances);
    writer.setLastDay(options.lastDay);

    // Entries in date order, evenly over the ten years, as they would be entered.
    const QDate first = options.lastDay.addYears(-10).addDays(1);
    const std::int64_t days = first.daysTo(options.lastDay) + 1;
    std::int64_t shownDay = -1;
    for (std::int64_t i = 0; i < options.entries; ++i) {
        const std::int64_t day = i * days / options.entries;
        if (day != shownDay) {
            writer.setDate(isoDate(first.addDays(day)));
            shownDay = day;
        }
        const EntryKind &kind = pickWeighted(random, entryKinds());
        kind.write(writer);
        ++summary.entriesByTable[QLatin1String(kind.table)];
    }
}

} // namespace

Summary write(const Options &options)
{
    if (options.entries < 0)
        throw DbError(QStringLiteral("笔数不能为负数。"));
    BookStore::createBook(options.book, QStringLiteral("样例帐簿"),
                          isoDate(options.lastDay.addYears(-10).addDays(1)));
    const QSqlDatabase db = Connection::current();
    try {
        Summary summary;
        Ledger ledger(options.book);
        ledger.setRecording(false); // a made-up book has no history to undo
        addCategories(db, options.book, "InD", "IName", incomeCategories());
        addCategories(db, options.book, "OutD", "OName", expenseCategories());
        addCategories(db, options.book, "TD", "TName", investmentCategories());
        summary.openingBalances = addAccounts(db, options.book, ledger);
        addMembers(db);
        writeEntries(ledger, options, summary);
        ledger.commit();
        return summary;
    } catch (const DbError &) {
        BookStore::deleteBook(options.book); // the book row of createBook is not kept either
        throw;
    }
}

} // namespace SampleBook
