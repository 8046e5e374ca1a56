#include "reports/DetailQueries.h"

#include "core/ledger/Workspace.h"

namespace {

using namespace Query;
using List::Column;
using K = List::Kind;
using R = Report::Kind;

const Column Book{"BName", "帐薄名称", K::Hidden};
const Column Key{"ID", "ID", K::Hidden};
const Column Account{"AName", "帐户名称"};
const Column Member{"FName", "家庭成员"};
const Column Remark{"Remark", "备注"};

Criterion dates(const QString &caption, const QString &column)
{
    return {caption, Field::DateRange, column};
}
Criterion list(const QString &caption, const QString &column, Feeder feeder)
{
    return {caption, Field::List, column, feeder};
}
Criterion text(const QString &caption, const QString &column)
{
    return {caption, Field::Text, column};
}
const Criterion AccountIs = list("帐户名称", "AName", &Workspace::accounts);
const Criterion MemberIs = list("家庭成员", "FName", &Workspace::members);
const Criterion RemarkHas = text("备注", "Remark");

// Sorting by a shown column, the entry named as the column.
SortEntry by(const QString &alias, const QString &entry = {})
{
    return {entry.isEmpty() ? alias : entry, alias};
}

ReportColumn printed(const QString &column, const QString &title, R kind = R::Text)
{
    return {column, {title, kind, kind == R::Money}};
}
// The report numbers its rows 1, 2, 3...: the key read there is not printed.
const ReportColumn Number = printed("ID", "序号", R::RowNumber);

// Income and expense: one entry table with a category.
Descriptor incomeOrExpense(const char *className, const QString &kind, const QString &table,
                           QChar prefix, Feeder categories, const QString &suffix)
{
    const auto c = [prefix](const char *name) { return prefix + QLatin1String(name); };
    const QString category = kind + QStringLiteral("类别");
    return {
        .className = QLatin1String(className),
        .caption = kind + QStringLiteral("查询"),
        .table = table,
        .columns = {Book,
                    {c("Date"), "日期"},
                    {c("Name"), category},
                    {c("Money"), "金额", K::Money},
                    Account,
                    Member,
                    Remark,
                    Key},
        .conditions = {dates(kind + QStringLiteral("日期"), c("Date")),
                       list(category, c("Name"), categories), AccountIs, MemberIs, RemarkHas},
        .sorts = {by("日期"), by(category), by("金额"), by("帐户名称"), by("家庭成员")},
        .exportSuffix = QStringLiteral("-") + suffix,
        .exportWidths = {10, 12, 10, 12, 12, 14},
        .reportName = kind + QStringLiteral("报表"),
        .printed = {Number, printed(c("Date"), kind + QStringLiteral("日期")),
                    printed(c("Name"), category),
                    printed(c("Money"), kind + QStringLiteral("金额"), R::Money),
                    printed("AName", "帐户名称"), printed("FName", "家庭成员"),
                    printed("Remark", "备注")},
    };
}

// Debts and credits: an amount owed to or by a counterpart, with its follow-up records.
struct Owed
{
    const char *className;
    const char *caption;      // "债务查询"
    const char *table;        // "Borrow"
    char prefix;              // of BDate, BPro, BMoney
    const char *party;        // "债权人"
    const char *amount;       // "债务金额"
    const char *settled;      // "已还金额"
    const char *records;      // "BorrowR"
    const char *recordsKey;   // "BID"
    const char *paid;         // "还债金额"
    const char *name;         // "债务": the export and report names
    const char *recordsTitle; // over the lower list: "还债记录"
};

Descriptor debtOrCredit(const Owed &o)
{
    const auto c = [&o](const char *name) { return QLatin1Char(o.prefix) + QLatin1String(name); };
    const QString party = QString::fromUtf8(o.party), amount = QString::fromUtf8(o.amount);
    const QString name = QString::fromUtf8(o.name);
    return {
        .className = QLatin1String(o.className),
        .caption = QString::fromUtf8(o.caption),
        .table = QLatin1String(o.table),
        .columns = {Book,
                    {c("Date"), "日期"},
                    {c("Pro"), party},
                    {c("Money"), amount, K::Money},
                    Account,
                    Member,
                    {"RMoney", QString::fromUtf8(o.settled), K::Money},
                    Remark,
                    Key},
        .conditions = {dates("日期", c("Date")), text(party, c("Pro")), AccountIs, MemberIs,
                       RemarkHas},
        .sorts = {by("日期"), by(party), by(amount, "金额"), by("帐户名称"), by("家庭成员")},
        .detail = Detail{QLatin1String(o.records),
                         QLatin1String(o.recordsKey),
                         {{"RDate", "日期"},
                          {"RMoney", QString::fromUtf8(o.paid), K::Money},
                          Account,
                          Member,
                          Remark,
                          Key},
                         "日期 desc, ID desc",
                         QString::fromUtf8(o.recordsTitle)},
        .exportSuffix = QStringLiteral("-%1表").arg(name),
        .exportWidths = {10, 10, 10, 10, 10, 10, 10},
        .reportName = name + QStringLiteral("报表"),
        .printed = {Number, printed(c("Date"), "日期"),
                    printed(c("Pro"), party + QStringLiteral("名")),
                    printed(c("Money"), amount, R::Money), printed("AName", "帐户名称"),
                    printed("FName", "家庭成员"),
                    printed("RMoney", QString::fromUtf8(o.settled), R::Money),
                    printed("Remark", "备注")},
    };
}

Descriptor transfers()
{
    return {
        .className = "TfrmP_A",
        .caption = "帐户转帐查询",
        .table = "ChangeT",
        .columns = {Book,
                    {"CDate", "转帐日期"},
                    {"OldN", "原帐户"},
                    {"NewN", "到帐帐户"},
                    {"CMoney", "转帐余额", K::Money},
                    Member,
                    Remark,
                    Key},
        .conditions = {dates("转帐日期", "CDate"), MemberIs, RemarkHas},
        .fixedOrder = "转帐日期 desc, ID desc",
        .exportSuffix = "-帐户转帐表",
        .exportWidths = {10, 10, 10, 10, 10, 22},
        .reportName = "转帐报表",
        .printed = {Number, printed("CDate", "转帐日期"), printed("OldN", "原始帐户"),
                    printed("NewN", "到帐帐户"), printed("CMoney", "转帐金额", R::Money),
                    printed("FName", "家庭成员"), printed("Remark", "备注")},
    };
}

Descriptor investments()
{
    return {
        .className = "TfrmTZ_Qu",
        .caption = "投资查询",
        .table = "TTable",
        .columns = {Book,
                    {"TDate", "投资日期"},
                    {"TName", "投资类别"},
                    {"TMoney", "投资金额", K::Money},
                    {"RMoney", "收益金额", K::Money},
                    Account,
                    Member,
                    Remark,
                    Key},
        .conditions = {dates("日期", "TDate"),
                       list("投资类别", "TName", &Workspace::investmentCategories), AccountIs,
                       MemberIs, RemarkHas},
        .sorts = {by("投资日期"), by("投资类别"), by("投资金额"), by("收益金额"), by("帐户名称"),
                  by("家庭成员")},
        .detail = Detail{"TTableR",
                         "TID",
                         {{"RDate", "收益日期"},
                          {"RMoney", "收回本金", K::Money},
                          {"SMoney", "收益金额", K::Money},
                          Account,
                          Member,
                          Remark,
                          Key},
                         "收益日期 desc, ID desc",
                         "收益记录"},
        .exportSuffix = "-投资表",
        .exportWidths = {10, 10, 10, 10, 10, 10, 10},
        .reportName = "投资报表",
        .printed = {Number, printed("TDate", "投资日期"), printed("TName", "投资类别"),
                    printed("TMoney", "投资金额", R::Money),
                    printed("RMoney", "收益金额", R::Money), printed("AName", "帐户名称"),
                    printed("FName", "家庭成员"), printed("Remark", "备注")},
    };
}

} // namespace

IncomeQueryWindow::IncomeQueryWindow(QWidget *parent)
    : QueryWindow(incomeOrExpense("TfrmP_In", "收入", "InTable", 'I', &Workspace::incomeCategories,
                                  "收入表"),
                  parent)
{
}

ExpenseQueryWindow::ExpenseQueryWindow(QWidget *parent)
    : QueryWindow(incomeOrExpense("TfrmP_Out", "支出", "OutTable", 'O',
                                  &Workspace::expenseCategories, "支出表"),
                  parent)
{
}

TransferQueryWindow::TransferQueryWindow(QWidget *parent) : QueryWindow(transfers(), parent)
{
}

DebtQueryWindow::DebtQueryWindow(QWidget *parent)
    : QueryWindow(debtOrCredit({"TfrmP_B", "债务查询", "Borrow", 'B', "债权人", "债务金额",
                                "已还金额", "BorrowR", "BID", "还债金额", "债务", "还债记录"}),
                  parent)
{
}

CreditQueryWindow::CreditQueryWindow(QWidget *parent)
    : QueryWindow(debtOrCredit({"TfrmP_D", "债权查询", "Debt", 'D', "债务人", "债权金额",
                                "已收金额", "DebtR", "DID", "收债金额", "债权", "收债记录"}),
                  parent)
{
}

InvestmentQueryWindow::InvestmentQueryWindow(QWidget *parent) : QueryWindow(investments(), parent)
{
}
