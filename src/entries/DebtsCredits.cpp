#include "entries/DebtsCredits.h"

#include "core/ledger/Workspace.h"
#include "entries/EntryFilters.h"

namespace {

struct Twin
{
    const char *className; // of the entry window; its follow-ups add "_R" and "_V"
    const char *kind;      // "债务": the caption, and the start of the amount's title
    const char *party;     // "债权人": who the other side is
    const char *partyLabel;
    const char *table;
    char prefix;          // of the date, party and amount columns: BDate, BPro, BMoney
    const char *running;  // the title of what the follow-ups settled so far
    const char *followUp; // "还债": the follow-up's caption
    const Ledger::EntryKind &(*ledgerKind)();
    Entry::FilterMaker filter;
    FollowUp::DialogMaker makeRecord;
    FollowUp::DialogMaker makeList;
};

const Twin Debts{"TfrmBorrow",
                 "债务",
                 "债权人",
                 "债  权  人：",
                 "Borrow",
                 'B',
                 "已还金额",
                 "还债",
                 Ledger::debt,
                 Entry::makeFilter<DebtFilterDialog>,
                 FollowUp::make<RepaymentDialog>,
                 FollowUp::make<RepaymentsWindow>};

const Twin Credits{"TfrmDebt",
                   "债权",
                   "债务人",
                   "债  务  人：",
                   "Debt",
                   'D',
                   "已收金额",
                   "收债",
                   Ledger::credit,
                   Entry::makeFilter<CreditFilterDialog>,
                   FollowUp::make<CollectionDialog>,
                   FollowUp::make<CollectionsWindow>};

QString amountTitle(const Twin &t)
{
    return QString::fromUtf8(t.kind) + QStringLiteral("金额");
}

QString column(const Twin &t, const char *name)
{
    return QLatin1Char(t.prefix) + QLatin1String(name);
}

FollowUp::Descriptor followUps(const Twin &t)
{
    using namespace FollowUp;
    const QString caption = QString::fromUtf8(t.followUp);
    const QString className = QLatin1String(t.className);
    return {
        .kind = t.ledgerKind().followUps,
        .outstandingName = amountTitle(t),
        .dateTitle = "日期",
        .dateLabel = "日        期：",
        .amounts = {{caption + QStringLiteral("金额"),
                     {},
                     {Check::Empty, Check::NotAboveOutstanding, Check::AboveZero}}},
        .recordClass = className + QStringLiteral("_R"),
        .recordCaption = caption,
        .listClass = className + QStringLiteral("_V"),
        .listCaption = caption + QStringLiteral("记录"),
        .closeBoxOnly = true,
        .deleteRefused = QStringLiteral("该%1有 %2，不能删除；如要删除，请先删除 还债记录。")
                             .arg(QString::fromUtf8(t.kind), QString::fromUtf8(t.running)),
        .makeRecord = t.makeRecord,
        .makeList = t.makeList,
    };
}

const FollowUp::Descriptor &followUpsOf(const Twin &t)
{
    static const FollowUp::Descriptor debts = followUps(Debts);
    static const FollowUp::Descriptor credits = followUps(Credits);
    return &t == &Debts ? debts : credits;
}

Entry::Descriptor debtOrCredit(const Twin &t)
{
    using namespace Entry;
    const QString kind = QString::fromUtf8(t.kind);
    const QString party = QString::fromUtf8(t.party);
    const QString amount = amountTitle(t);
    return {
        .className = QLatin1String(t.className),
        .caption = kind,
        .panelTitle = kind + QStringLiteral("信息"),
        .table = QLatin1String(t.table),
        .dateColumn = column(t, "Date"),
        .columns = {{column(t, "Date"), "日期"},
                    {column(t, "Pro"), party},
                    {column(t, "Money"), amount, List::Kind::Money},
                    {"AName", "帐户名称"},
                    {"FName", "家庭成员"},
                    {"RMoney", QString::fromUtf8(t.running), List::Kind::Money},
                    {"Remark", "备注"}},
        .fields = {dateField("日        期：", "日期"),
                   {.name = "DBEdit2",
                    .label = QString::fromUtf8(t.partyLabel),
                    .alias = party,
                    .required = true,
                    .emptyText = party + QStringLiteral(" 不能为空！请重新录入！")},
                   amountField("DBEdit3", amount + QStringLiteral("："), amount,
                               QStringLiteral("余额不能为空！请重新录入！")),
                   listField("DBEdit4", "帐户名称：", "帐户名称", "DBLookupComboBox1",
                             &Workspace::accounts),
                   memberField("DBEdit5", "DBLookupComboBox2", true),
                   remarkField("DBEdit6")},
        .kind = &t.ledgerKind(),
        .filter = t.filter,
        .followUp = &followUpsOf(t),
    };
}

} // namespace

DebtWindow::DebtWindow(QWidget *parent) : EntryWindow(debtOrCredit(Debts), parent)
{
    load();
}

CreditWindow::CreditWindow(QWidget *parent) : EntryWindow(debtOrCredit(Credits), parent)
{
    load();
}

RepaymentDialog::RepaymentDialog(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpDialog(followUpsOf(Debts), owner, entryKey)
{
}

CollectionDialog::CollectionDialog(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpDialog(followUpsOf(Credits), owner, entryKey)
{
}

RepaymentsWindow::RepaymentsWindow(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpListWindow(followUpsOf(Debts), owner, entryKey)
{
}

CollectionsWindow::CollectionsWindow(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpListWindow(followUpsOf(Credits), owner, entryKey)
{
}
