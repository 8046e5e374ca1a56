#include "entries/InvestmentWindows.h"

#include "core/ledger/Workspace.h"
#include "entries/EntryFilters.h"

namespace {

const QString Invested = QStringLiteral("投资金额");

const FollowUp::Descriptor &returns()
{
    using namespace FollowUp;
    static const Descriptor d{
        .kind = &Ledger::investmentReturn(),
        .outstandingName = Invested,
        .dateTitle = "收益日期",
        .dateLabel = "收益日期：",
        // A return takes principal back and may bring income, a loss too; the
        // principal never exceeds what is still invested.
        .amounts = {{"收回本金", {}, {Check::Empty, Check::AboveZero, Check::NotAboveOutstanding}},
                    {"收益金额", "0", {Check::Empty}}},
        .recordClass = "TfrmTZ_R",
        .recordCaption = "收益",
        .listClass = "TfrmTZ_V",
        .listCaption = "收益记录",
        .closeBoxOnly = false,
        .deleteRefused = "该投资有 收益记录，不能删除；如要删除，请先删除 收益记录。",
        .makeRecord = make<ReturnDialog>,
        .makeList = make<ReturnsWindow>,
    };
    return d;
}

Entry::Descriptor investments()
{
    using namespace Entry;
    return {
        .className = "TfrmTZ",
        .caption = "投资",
        .panelTitle = "投资",
        .table = "TTable",
        .dateColumn = "TDate",
        .columns = {{"TDate", "日期"},
                    {"TName", "投资类别"},
                    {"TMoney", Invested, List::Kind::Money},
                    {"RMoney", "收益金额", List::Kind::Money},
                    {"AName", "帐户名称"},
                    {"FName", "家庭成员"},
                    {"Remark", "备注"}},
        .fields = {dateField("投资日期：", "日期"),
                   listField("DBEdit2", "投资类别：", "投资类别", "DBLookupComboBox1",
                             &Workspace::investmentCategories),
                   amountField("DBEdit3", "金        额：", Invested,
                               QStringLiteral("金额不能为空！请重新录入！")),
                   listField("DBEdit4", "帐户名称：", "帐户名称", "DBLookupComboBox2",
                             &Workspace::accounts),
                   memberField("DBEdit5", "DBLookupComboBox3"), remarkField("DBEdit6")},
        .kind = &Ledger::investment(),
        .filter = makeFilter<InvestmentFilterDialog>,
        .followUp = &returns(),
    };
}

} // namespace

InvestmentWindow::InvestmentWindow(QWidget *parent) : EntryWindow(investments(), parent)
{
    load();
}

ReturnDialog::ReturnDialog(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpDialog(returns(), owner, entryKey)
{
}

ReturnsWindow::ReturnsWindow(EntryWindow *owner, const QVariant &entryKey)
    : FollowUpListWindow(returns(), owner, entryKey)
{
}
