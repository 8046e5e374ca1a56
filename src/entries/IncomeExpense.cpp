#include "entries/IncomeExpense.h"

#include "core/ledger/Workspace.h"
#include "entries/EntryFilters.h"

namespace {

struct Twin
{
    const char *className;
    const char *kind; // "收入": the caption, the group box and the start of its texts
    const char *table;
    char prefix; // of the date, category and amount columns: IDate, IName, IMoney
    Maintenance::Feeder categories;
    const Ledger::EntryKind &ledgerKind;
    Entry::FilterMaker filter;
};

Entry::Descriptor incomeOrExpense(const Twin &t, std::vector<Entry::RowAction> rowActions)
{
    using namespace Entry;
    const QString kind = QString::fromUtf8(t.kind);
    const QString category = kind + QStringLiteral("类别");
    const auto column = [&t](const char *name) { return QLatin1Char(t.prefix) + name; };
    return {
        .className = QLatin1String(t.className),
        .caption = kind,
        .panelTitle = kind,
        .table = QLatin1String(t.table),
        .dateColumn = column("Date"),
        .columns = {{column("Date"), "日期"},
                    {column("Name"), category},
                    {column("Money"), "金额", List::Kind::Money},
                    {"AName", "帐户名称"},
                    {"FName", "家庭成员"},
                    {"Remark", "备注"}},
        .fields = {dateField(kind + QStringLiteral("日期："), "日期"),
                   listField("DBEdit2", category + QStringLiteral("："), category,
                             "DBLookupComboBox1", t.categories),
                   amountField("DBEdit3", "金        额：", "金额"),
                   listField("DBEdit4", "帐户名称：", "帐户名称", "DBLookupComboBox2",
                             &Workspace::accounts),
                   memberField("DBEdit5", "DBLookupComboBox3"), remarkField("DBEdit6")},
        .kind = &t.ledgerKind,
        .filter = t.filter,
        .rowActions = std::move(rowActions),
    };
}

} // namespace

IncomeWindow::IncomeWindow(QWidget *parent, std::vector<Entry::RowAction> rowActions)
    : EntryWindow(
          incomeOrExpense({"TfrmInTable", "收入", "InTable", 'I', &Workspace::incomeCategories,
                           Ledger::income(), Entry::makeFilter<IncomeFilterDialog>},
                          std::move(rowActions)),
          parent)
{
    load();
}

ExpenseWindow::ExpenseWindow(QWidget *parent, std::vector<Entry::RowAction> rowActions)
    : EntryWindow(
          incomeOrExpense({"TfrmOutTable", "支出", "OutTable", 'O', &Workspace::expenseCategories,
                           Ledger::expense(), Entry::makeFilter<ExpenseFilterDialog>},
                          std::move(rowActions)),
          parent)
{
    load();
}
