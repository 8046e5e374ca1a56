#include "core/bills/ImportSettings.h"

#include "core/bills/MerchantTable.h"
#include "core/ledger/Ledger.h"
#include "core/ledger/References.h"
#include "core/ledger/Sharing.h"
#include "data/PinyinCode.h"
#include "data/Rows.h"
#include "data/Sql.h"
#include "data/Transaction.h"

#include <QSqlQuery>

namespace Import {
namespace {

// The apps' categories and the default categories of a new book they mean; used
// where the book has that category and its user chose no other.
struct Default
{
    const char *app;
    const char *expense;
    const char *income;
};

const Default Defaults[] = {
    {"餐饮美食", "外出就餐", nullptr},      {"日用百货", "日常用品", nullptr},
    {"超市购物", "日常用品", nullptr},      {"交通出行", "公共汽车费", nullptr},
    {"充值缴费", "手机费", nullptr},        {"通讯物流", "邮寄费", nullptr},
    {"服饰装扮", "衣服", nullptr},          {"数码电器", "购买数码产品", nullptr},
    {"家居家装", "购买家具", nullptr},      {"医疗健康", "医疗药品费", nullptr},
    {"美容美发", "保健费", nullptr},        {"文化休闲", "娱乐费", nullptr},
    {"运动户外", "娱乐费", nullptr},        {"教育培训", "培训费", nullptr},
    {"住房物业", "房租", nullptr},          {"酒店旅游", "旅游度假", nullptr},
    {"爱车养车", "汽车维护费", nullptr},    {"生活服务", "其他日常杂项", nullptr},
    {"公益捐赠", "慈善捐款", nullptr},      {"保险", "交纳保费", nullptr},
    {"转账红包", "礼品礼金", "亲属赠予金"}, {"微信红包", "礼品礼金", "亲属赠予金"},
    {"投资理财", nullptr, "利息收入"},
};

// Where a kind of move between one's own accounts keeps its account among the
// payment methods' (no bill names a payment method so).
QString transferKey(const QString &kind)
{
    return QStringLiteral("不计收支：") + kind;
}

QSet<QString> lowerNames(const QString &statement, const QVariantList &values)
{
    QSet<QString> names;
    QSqlQuery query = Sql(statement, values).exec();
    while (query.next())
        names.insert(query.value(0).toString().toLower());
    return names;
}

} // namespace

Settings Settings::load(const QString &book)
{
    Settings s;
    s.m_book = book;
    s.m_accounts = lowerNames(QStringLiteral("select AName from SAccount where BName=?"), {book});
    s.m_expenseNames = lowerNames(QStringLiteral("select OName from OutD where BName=?"), {book});
    s.m_incomeNames = lowerNames(QStringLiteral("select IName from InD where BName=?"), {book});
    s.m_members = lowerNames(QStringLiteral("select FName from SFamily"), {});
    QSqlQuery accounts =
        Sql(QStringLiteral("select Method, AName from ImportAccount where BName=? order by ID"),
            {book})
            .exec();
    while (accounts.next())
        s.m_methodAccounts.insert(accounts.value(0).toString(), accounts.value(1).toString());
    QSqlQuery categories = Sql(QStringLiteral("select AppName, OName, IName from ImportCategory "
                                              "where BName=? order by ID"),
                               {book})
                               .exec();
    while (categories.next()) {
        if (!categories.value(1).toString().isEmpty())
            s.m_expenseMap.insert(categories.value(0).toString(), categories.value(1).toString());
        if (!categories.value(2).toString().isEmpty())
            s.m_incomeMap.insert(categories.value(0).toString(), categories.value(2).toString());
    }
    QSqlQuery rules = Sql(QStringLiteral("select ID, Pattern, OName, IName, FName, AName from "
                                         "ImportRule where BName=? order by ID desc"),
                          {book})
                          .exec();
    while (rules.next())
        s.m_rules << Rule{rules.value(0).toLongLong(), rules.value(1).toString(),
                          rules.value(2).toString(),   rules.value(3).toString(),
                          rules.value(4).toString(),   rules.value(5).toString()};
    return s;
}

QString Settings::account(const QString &method) const
{
    const QString account = m_methodAccounts.value(method);
    return hasAccount(account) ? account : QString();
}

bool Settings::hasCategory(const QString &name, bool expense) const
{
    return (expense ? m_expenseNames : m_incomeNames).contains(name.toLower());
}

QString Settings::category(const QString &appCategory, bool expense) const
{
    const QString own = (expense ? m_expenseMap : m_incomeMap).value(appCategory);
    if (!own.isEmpty())
        return hasCategory(own, expense) ? own : QString();
    for (const Default &d : Defaults)
        if (appCategory == QString::fromUtf8(d.app)) {
            const char *name = expense ? d.expense : d.income;
            if (name && hasCategory(QString::fromUtf8(name), expense))
                return QString::fromUtf8(name);
        }
    return {};
}

MerchantCategory Settings::merchantCategory(const QStringList &texts, bool expense) const
{
    const Merchant *merchant = MerchantTable::builtIn().match(texts, expense);
    if (!merchant)
        return {};
    for (const QString &name : expense ? merchant->expense : merchant->income)
        if (hasCategory(name, expense))
            return {merchant->keyword, name};
    return {};
}

QString Settings::transferAccount(const QString &kind) const
{
    return account(transferKey(kind));
}

void Settings::setTransferAccount(const QString &kind, const QString &account)
{
    setAccount(transferKey(kind), account);
}

QStringList Settings::transferKinds() const
{
    QStringList kinds;
    const QString prefix = transferKey(QString());
    for (auto i = m_methodAccounts.cbegin(); i != m_methodAccounts.cend(); ++i)
        if (i.key().startsWith(prefix) && !i.value().isEmpty())
            kinds << i.key().mid(prefix.size());
    kinds.sort();
    return kinds;
}

QStringList Settings::methods() const
{
    QStringList methods;
    const QString prefix = transferKey(QString());
    for (auto i = m_methodAccounts.cbegin(); i != m_methodAccounts.cend(); ++i)
        if (!i.key().startsWith(prefix) && !i.value().isEmpty())
            methods << i.key();
    methods.sort();
    return methods;
}

const Rule *Settings::ruleFor(const QString &counterparty, const QString &goods) const
{
    for (const Rule &rule : m_rules)
        if (counterparty.contains(rule.pattern, Qt::CaseInsensitive) ||
            goods.contains(rule.pattern, Qt::CaseInsensitive))
            return &rule;
    return nullptr;
}

void Settings::setAccount(const QString &method, const QString &account)
{
    Transaction transaction;
    Sql(QStringLiteral("delete from ImportAccount where BName=? and Method=?"), {m_book, method})
        .exec();
    if (!account.isEmpty())
        Rows::insert(QStringLiteral("ImportAccount"), {{QStringLiteral("BName"), m_book},
                                                       {QStringLiteral("Method"), method},
                                                       {QStringLiteral("AName"), account}});
    Sharing::queueSettings(m_book, QStringLiteral("ImportAccount"));
    transaction.commit();
    m_methodAccounts.insert(method, account);
}

void Settings::setCategory(const QString &appCategory, bool expense, const QString &category)
{
    const QString column = expense ? QStringLiteral("OName") : QStringLiteral("IName");
    Transaction transaction;
    const QVariant id =
        Sql(QStringLiteral("select ID from ImportCategory where BName=? and AppName=?"),
            {m_book, appCategory})
            .scalar();
    if (id.isValid())
        Rows::update(QStringLiteral("ImportCategory"), {{column, category}}, id);
    else
        Rows::insert(QStringLiteral("ImportCategory"),
                     {{QStringLiteral("BName"), m_book},
                      {QStringLiteral("AppName"), appCategory},
                      {QStringLiteral("OName"), expense ? category : QString("")},
                      {QStringLiteral("IName"), expense ? QString("") : category}});
    Sharing::queueSettings(m_book, QStringLiteral("ImportCategory"));
    transaction.commit();
    (expense ? m_expenseMap : m_incomeMap).insert(appCategory, category);
}

Rule Settings::addRule(Rule rule)
{
    Transaction transaction;
    rule.id =
        Rows::insert(QStringLiteral("ImportRule"), {{QStringLiteral("BName"), m_book},
                                                    {QStringLiteral("Pattern"), rule.pattern},
                                                    {QStringLiteral("OName"), rule.expenseCategory},
                                                    {QStringLiteral("IName"), rule.incomeCategory},
                                                    {QStringLiteral("FName"), rule.member},
                                                    {QStringLiteral("AName"), rule.account}})
            .toLongLong();
    Sharing::queueSettings(m_book, QStringLiteral("ImportRule"));
    transaction.commit();
    m_rules.prepend(rule);
    return rule;
}

void Settings::updateRule(const Rule &rule)
{
    Transaction transaction;
    Rows::update(QStringLiteral("ImportRule"),
                 {{QStringLiteral("OName"), rule.expenseCategory},
                  {QStringLiteral("IName"), rule.incomeCategory},
                  {QStringLiteral("FName"), rule.member},
                  {QStringLiteral("AName"), rule.account}},
                 rule.id);
    Sharing::queueSettings(m_book, QStringLiteral("ImportRule"));
    transaction.commit();
    for (Rule &kept : m_rules)
        if (kept.id == rule.id)
            kept = rule;
}

void Settings::removeRule(qint64 id)
{
    Transaction transaction;
    Sql(QStringLiteral("delete from ImportRule where ID=? and BName=?"), {id, m_book}).exec();
    Sharing::queueSettings(m_book, QStringLiteral("ImportRule"));
    transaction.commit();
    m_rules.removeIf([id](const Rule &r) { return r.id == id; });
}

QString Settings::fallbackCategory(bool expense)
{
    return expense ? QStringLiteral("其他支出") : QStringLiteral("其他收入");
}

QString Settings::feeCategory() const
{
    const QString fee = QStringLiteral("银行手续费");
    return hasCategory(fee, true) ? fee : fallbackCategory(true);
}

void Settings::ensureCategory(Ledger &ledger, const QString &name, bool expense) const
{
    // Asked of the database: an import that failed may have made it and rolled back.
    if (References::exists(expense ? References::Kind::ExpenseCategory
                                   : References::Kind::IncomeCategory,
                           name, m_book))
        return;
    const QString table = expense ? QStringLiteral("OutD") : QStringLiteral("InD");
    const QString column = expense ? QStringLiteral("OName") : QStringLiteral("IName");
    // Through the import's ledger: undone with the import, made again with its redo.
    ledger.saveReference(table, {{column, name},
                                 {QStringLiteral("thePY"), PinyinCode(name, PinyinMarkUnread, 255)},
                                 {QStringLiteral("Remark"), QStringLiteral("")}});
}

} // namespace Import
