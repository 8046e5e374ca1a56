#include "entries/EntryFilters.h"

#include "core/ledger/Workspace.h"

namespace {

using K = FilterCriterion::Kind;

// Income and expense filter alike; only the date and category differ.
FilterDescriptor incomeOrExpense(const char *className, const char *caption,
                                 const char *dateCaption, const char *dateColumn,
                                 const char *categoryCaption, const char *categoryColumn,
                                 FilterCriterion::Feeder categories)
{
    return {className,
            caption,
            {{dateCaption, K::DateRange, dateColumn, nullptr, true},
             {categoryCaption, K::List, categoryColumn, categories},
             {"帐户名称", K::List, "AName", &Workspace::accounts},
             {"家庭成员", K::List, "FName", &Workspace::members},
             {"备注", K::Text, "Remark"}}};
}

// Debts and credits alike; only the date, the other side and the caption differ.
// Both keep the date caption "借债日期".
FilterDescriptor debtOrCredit(const char *className, const char *caption, const char *dateColumn,
                              const char *partyCaption, const char *partyColumn)
{
    return {className,
            caption,
            {{"借债日期", K::DateRange, dateColumn, nullptr, true},
             {partyCaption, K::Text, partyColumn},
             {"帐户名称", K::List, "AName", &Workspace::accounts},
             {"家庭成员", K::List, "FName", &Workspace::members},
             {"备注", K::Text, "Remark"}}};
}

} // namespace

const FilterDescriptor &DebtFilterDialog::descriptor()
{
    static const FilterDescriptor d =
        debtOrCredit("TfrmBorrow_Q", "债务查询", "BDate", "债权人", "BPro");
    return d;
}

const FilterDescriptor &CreditFilterDialog::descriptor()
{
    static const FilterDescriptor d =
        debtOrCredit("TfrmDebt_Q", "债权查询", "DDate", "债务人", "DPro");
    return d;
}

const FilterDescriptor &InvestmentFilterDialog::descriptor()
{
    static const FilterDescriptor d{
        "TfrmTZ_Q",
        "投资查询",
        {{"投资日期", K::DateRange, "TDate", nullptr, true},
         {"投资类别", K::List, "TName", &Workspace::investmentCategories},
         {"帐户名称", K::List, "AName", &Workspace::accounts},
         {"家庭成员", K::List, "FName", &Workspace::members},
         {"备注", K::Text, "Remark"}},
        false};
    return d;
}

const FilterDescriptor &IncomeFilterDialog::descriptor()
{
    static const FilterDescriptor d =
        incomeOrExpense("TfrmInTable_Q", "收入查询", "收入日期", "IDate", "收入类别", "IName",
                        &Workspace::incomeCategories);
    return d;
}

const FilterDescriptor &ExpenseFilterDialog::descriptor()
{
    static const FilterDescriptor d =
        incomeOrExpense("TfrmOutTable_Q", "支出查询", "支出日期", "ODate", "支出类别", "OName",
                        &Workspace::expenseCategories);
    return d;
}

const FilterDescriptor &TransferFilterDialog::descriptor()
{
    static const FilterDescriptor d{"TfrmChangeT_Q",
                                    "帐户转帐查询",
                                    {{"转帐日期", K::DateRange, "CDate", nullptr, true},
                                     {"家庭成员", K::List, "FName", &Workspace::members},
                                     {"备注", K::Text, "Remark"}}};
    return d;
}

IncomeFilterDialog::IncomeFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}

ExpenseFilterDialog::ExpenseFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}

TransferFilterDialog::TransferFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}

DebtFilterDialog::DebtFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}

CreditFilterDialog::CreditFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}

InvestmentFilterDialog::InvestmentFilterDialog(FilterTarget *target, QWidget *parent)
    : QuickFilterDialog(descriptor(), target, parent)
{
}
