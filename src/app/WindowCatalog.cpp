#include "app/WindowCatalog.h"

#include "app/AboutDialog.h"
#include "app/ManualWindow.h"
#include "books/BackupDialog.h"
#include "books/BooksWindow.h"
#include "books/ChangePasswordDialog.h"
#include "books/NewBookDialog.h"
#include "books/OpenBookDialog.h"
#include "books/RestoreDialog.h"
#include "entries/DebtsCredits.h"
#include "entries/IncomeExpense.h"
#include "entries/InvestmentWindows.h"
#include "entries/TransferWindow.h"
#include "history/HistoryWindows.h"
#include "import/ImportWindow.h"
#include "planning/BudgetWindow.h"
#include "planning/ReconcileWindow.h"
#include "planning/ScheduleWindows.h"
#include "reference/AccountsWindow.h"
#include "reference/CategoryWindows.h"
#include "reference/MembersWindow.h"
#include "reports/AnalysisWindows.h"
#include "reports/DetailQueries.h"
#include "reports/StatementWindows.h"
#include "reports/StatisticsWindows.h"
#include "sync/SyncSetupDialog.h"
#include "sync/SyncWindow.h"

#include <vector>

namespace WindowCatalog {
using K = Kind;

// An entry window whose rows can be made recurring from their pop-up menu.
template <typename Window> QWidget *makeRepeatable(QWidget *parent)
{
    return new Window(parent, {Recurring::rowAction()});
}

const std::vector<Entry> &all()
{
    static const std::vector<Entry> all = {
        {"TfrmNewBook", K::Modal, make<NewBookDialog>},
        {"TfrmOpenBook", K::Modal, make<OpenBookDialog>},
        {"TfrmB_Manage", K::MdiChild, make<BooksWindow>},
        {"TfrmChangePass", K::Modal, make<ChangePasswordDialog>},
        {"TfrmBackup", K::Modal, make<BackupDialog>},
        {"TfrmRecover", K::Modal, make<RestoreDialog>},
        {"TfrmFamily", K::MdiChild, make<MembersWindow>},
        {"TfrmA_Manage", K::SingleChild, make<AccountsWindow>},
        {"TfrmIn_Manage", K::MdiChild, make<IncomeCategoriesWindow>},
        {"TfrmOut_Manage", K::MdiChild, make<ExpenseCategoriesWindow>},
        {"TfrmT_Manage", K::MdiChild, make<InvestmentCategoriesWindow>},
        {"TfrmInTable", K::MdiChild, makeRepeatable<IncomeWindow>},
        {"TfrmOutTable", K::MdiChild, makeRepeatable<ExpenseWindow>},
        {"TfrmChangeT", K::MdiChild, makeRepeatable<TransferWindow>},
        {"TfrmBorrow", K::MdiChild, make<DebtWindow>},
        {"TfrmDebt", K::MdiChild, make<CreditWindow>},
        {"TfrmTZ", K::MdiChild, make<InvestmentWindow>},
        {"TfrmP_In", K::MdiChild, make<IncomeQueryWindow>},
        {"TfrmP_Out", K::MdiChild, make<ExpenseQueryWindow>},
        {"TfrmP_A", K::MdiChild, make<TransferQueryWindow>},
        {"TfrmP_B", K::MdiChild, make<DebtQueryWindow>},
        {"TfrmP_D", K::MdiChild, make<CreditQueryWindow>},
        {"TfrmTZ_Qu", K::MdiChild, make<InvestmentQueryWindow>},
        {"TfrmSZ_M", K::MdiChild, make<MonthlyStatementWindow>},
        {"TfrmSZ_Y", K::MdiChild, make<YearlyStatementWindow>},
        {"TfrmE_I", K::MdiChild, make<IncomeAnalysisWindow>},
        {"TfrmE_O", K::MdiChild, make<ExpenseAnalysisWindow>},
        {"TfrmPage1", K::MdiChild, make<IncomeExpenseStatisticsWindow>},
        {"TfrmPage2", K::MdiChild, make<DebtCreditStatisticsWindow>},
        {"TfrmP_Account", K::MdiChild, make<BalancesWindow>},
        {"TfrmImport", K::SingleChild, make<ImportWindow>},
        {"TfrmSchedule", K::MdiChild, make<SchedulesWindow>},
        {"TfrmDue", K::SingleChild, make<DueEntriesWindow>},
        {"TfrmReconcile", K::MdiChild, make<ReconcileWindow>},
        {"TfrmBudget", K::MdiChild, make<BudgetWindow>},
        {"TfrmFirstUse", K::MdiChild, make<ManualWindow>},
        {"TfrmAbout", K::Modal, make<AboutDialog>},
        {"TfrmHistory", K::MdiChild, make<HistoryWindow>},
        {"TfrmRecycle", K::MdiChild, make<RecycleBinWindow>},
        {"TfrmSyncSetup", K::Modal, make<SyncSetupDialog>},
        {"TfrmSync", K::SingleChild, make<SyncWindow>},
    };
    return all;
}

const Entry *find(const QString &className)
{
    for (const Entry &e : all())
        if (className == QLatin1String(e.className))
            return &e;
    return nullptr;
}

} // namespace WindowCatalog
