#include "books/SampleBook.h"

#include "books/BookStore.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "data/TfrmDM.h"
#include "data/Transaction.h"
#include "reference/PinyinCode.h"

#include <QSqlError>
#include <QSqlQuery>
#include <functional>
#include <map>
#include <memory>
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
};
const Opening OwnAccounts[] = {{"工资卡", 2865000}, {"微信钱包", 120000}, {"信用卡", 0}};
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

// One statement prepared once and run for many rows with fresh values.
class Prepared
{
public:
    Prepared(const QSqlDatabase &db, const QString &text) : m_query(db)
    {
        if (!m_query.prepare(text))
            throw DbError(m_query.lastError().text());
    }
    void run(const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        if (!m_query.exec())
            throw DbError(m_query.lastError().text());
    }
    std::int64_t lastId() const { return m_query.lastInsertId().toLongLong(); }

private:
    QSqlQuery m_query;
};

class Writer;

// One kind of entry: the share of entries it makes, its statements and how one
// entry is written with them. Debts, credits and investments become rows here.
struct EntryKind
{
    const char *table; // counted under this name
    int weight;
    std::vector<const char *> statements;
    std::function<void(Writer &)> write;
};

// What the kinds write with: the day, the random numbers, the book's names, the
// prepared statements and the balances, which are kept here and written once.
class Writer
{
public:
    Writer(const QString &book, Random &random, const QMap<QString, Money> &openingBalances)
        : m_book(book), m_random(random), m_balances(openingBalances)
    {
        for (const Member &m : Members)
            m_members.push_back(QString::fromUtf8(m.name));
    }

    const QString &book() const { return m_book; }
    const QString &date() const { return m_date; }
    void setDate(const QString &date) { m_date = date; }
    Random &random() { return m_random; }

    // A member most of the time; some entries name nobody.
    QString member()
    {
        return m_random.percent(80) ? pick(m_random, m_members) : QStringLiteral("");
    }
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

    void move(const QString &account, Money amount) { m_balances[account] += amount; }
    const QMap<QString, Money> &balances() const { return m_balances; }

    void prepare(const EntryKind &kind, const QSqlDatabase &db)
    {
        std::vector<std::unique_ptr<Prepared>> prepared;
        for (const char *text : kind.statements)
            prepared.push_back(std::make_unique<Prepared>(db, QString::fromUtf8(text)));
        m_prepared[&kind] = std::move(prepared);
    }
    void setKind(const EntryKind &kind) { m_kind = &kind; }
    // Runs the current kind's statement number `index`; returns the new row's key.
    std::int64_t insert(std::size_t index, const QVariantList &values)
    {
        Prepared &p = *m_prepared.at(m_kind).at(index);
        p.run(values);
        return p.lastId();
    }

private:
    QString m_book;
    Random &m_random;
    QString m_date;
    std::vector<QString> m_members;
    QMap<QString, Money> m_balances;
    std::map<const EntryKind *, std::vector<std::unique_ptr<Prepared>>> m_prepared;
    const EntryKind *m_kind = nullptr;
};

// Spending that the account chosen cannot cover goes on the credit card.
const QString CreditCard = QStringLiteral("信用卡");

void income(Writer &w)
{
    const Category &c = pickWeighted(w.random(), incomeCategories());
    const Money amount = w.amount(c);
    const QString account = w.account(incomeAccounts());
    w.move(account, amount);
    w.insert(0, {w.book(), w.date(), c.name, amount.toVariant(), account, w.member(), w.remark(c)});
}

void expense(Writer &w)
{
    const Category &c = pickWeighted(w.random(), expenseCategories());
    const Money amount = w.amount(c);
    const QString account = w.payer(expenseAccounts(), amount, CreditCard);
    w.move(account, -amount);
    w.insert(0, {w.book(), w.date(), c.name, amount.toVariant(), account, w.member(), w.remark(c)});
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
    w.move(from, -amount);
    w.move(to, amount);
    const QString remark =
        w.remark(TransferAmounts) + QLatin1Char(' ') + from + QStringLiteral("->") + to;
    w.insert(0, {w.book(), w.date(), from, to, amount.toVariant(), w.member(), remark});
}

const std::vector<EntryKind> &entryKinds()
{
    static const std::vector<EntryKind> kinds = {
        {"InTable",
         20,
         {"insert into InTable (BName,IDate,IName,IMoney,AName,FName,Remark) "
          "values (?,?,?,?,?,?,?)"},
         income},
        {"OutTable",
         70,
         {"insert into OutTable (BName,ODate,OName,OMoney,AName,FName,Remark) "
          "values (?,?,?,?,?,?,?)"},
         expense},
        {"ChangeT",
         10,
         {"insert into ChangeT (BName,CDate,OldN,NewN,CMoney,FName,Remark) "
          "values (?,?,?,?,?,?,?)"},
         transfer},
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
QMap<QString, Money> addAccounts(const QSqlDatabase &db, const QString &book)
{
    for (const Opening &a : OwnAccounts) {
        const QString name = QString::fromUtf8(a.name);
        run(db,
            QStringLiteral(
                "insert into SAccount (AName,thePY,BName,AMoney,Remark) values (?,?,?,0,'')"),
            {name, PinyinCode(name), book});
    }
    QMap<QString, Money> openings;
    QSqlQuery all =
        Sql(QStringLiteral("select AName from SAccount where BName=?"), {book}).exec(db);
    while (all.next())
        openings[all.value(0).toString()] = Money();
    const auto setOpenings = [&openings](const auto &list) {
        for (const Opening &a : list)
            openings[QString::fromUtf8(a.name)] =
                Money::fromUnits(a.openingCents * (Money::Scale / 100));
    };
    setOpenings(OwnAccounts);
    setOpenings(DefaultOpenings);
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

void writeEntries(const QSqlDatabase &db, const Options &options, Summary &summary)
{
    Random random(options.seed);
    Writer writer(options.book, random, summary.openingBalances);
    for (const EntryKind &kind : entryKinds())
        writer.prepare(kind, db);

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
        writer.setKind(kind);
        kind.write(writer);
        ++summary.entriesByTable[QLatin1String(kind.table)];
    }

    const QString update = QStringLiteral("update SAccount set AMoney=? where AName=? and BName=?");
    for (auto it = writer.balances().cbegin(); it != writer.balances().cend(); ++it)
        run(db, update, {it.value().toVariant(), it.key(), options.book});
}

} // namespace

Summary write(const Options &options)
{
    if (options.entries < 0)
        throw DbError(QStringLiteral("笔数不能为负数。"));
    BookStore::createBook(options.book, QStringLiteral("样例帐簿"),
                          isoDate(options.lastDay.addYears(-10).addDays(1)));
    const QSqlDatabase db = TfrmDM::instance()->database();
    try {
        Summary summary;
        Transaction transaction(db);
        addCategories(db, options.book, "InD", "IName", incomeCategories());
        addCategories(db, options.book, "OutD", "OName", expenseCategories());
        summary.openingBalances = addAccounts(db, options.book);
        addMembers(db);
        writeEntries(db, options, summary);
        transaction.commit();
        return summary;
    } catch (const DbError &) {
        BookStore::deleteBook(options.book); // the book row of createBook is not kept either
        throw;
    }
}

} // namespace SampleBook
