#include "app/WindowCatalog.h"

#include "app/TfrmAbout.h"
#include "app/TfrmFirstUse.h"
#include "books/TfrmB_Manage.h"
#include "books/TfrmBackup.h"
#include "books/TfrmChangePass.h"
#include "books/TfrmNewBook.h"
#include "books/TfrmOpenBook.h"
#include "books/TfrmRecover.h"
#include "entries/DebtsCredits.h"
#include "entries/IncomeExpense.h"
#include "entries/TfrmChangeT.h"
#include "entries/TfrmTZ.h"
#include "history/HistoryWindows.h"
#include "import/TfrmImport.h"
#include "planning/ScheduleWindows.h"
#include "planning/TfrmBudget.h"
#include "planning/TfrmReconcile.h"
#include "reference/CategoryWindows.h"
#include "reference/TfrmA_Manage.h"
#include "reference/TfrmFamily.h"
#include "reports/AnalysisWindows.h"
#include "reports/DetailQueries.h"
#include "reports/StatementWindows.h"
#include "reports/StatisticsWindows.h"

#include <vector>

namespace WindowCatalog {
using K = Kind;

const std::vector<Entry> &all()
{
    static const std::vector<Entry> all = {
        {"TfrmNewBook", K::Modal, make<TfrmNewBook>},
        {"TfrmOpenBook", K::Modal, make<TfrmOpenBook>},
        {"TfrmB_Manage", K::MdiChild, make<TfrmB_Manage>},
        {"TfrmChangePass", K::Modal, make<TfrmChangePass>},
        {"TfrmBackup", K::Modal, make<TfrmBackup>},
        {"TfrmRecover", K::Modal, make<TfrmRecover>},
        {"TfrmFamily", K::MdiChild, make<TfrmFamily>},
        {"TfrmA_Manage", K::SingleChild, make<TfrmA_Manage>},
        {"TfrmIn_Manage", K::MdiChild, make<TfrmIn_Manage>},
        {"TfrmOut_Manage", K::MdiChild, make<TfrmOut_Manage>},
        {"TfrmT_Manage", K::MdiChild, make<TfrmT_Manage>},
        {"TfrmInTable", K::MdiChild, make<TfrmInTable>},
        {"TfrmOutTable", K::MdiChild, make<TfrmOutTable>},
        {"TfrmChangeT", K::MdiChild, make<TfrmChangeT>},
        {"TfrmBorrow", K::MdiChild, make<TfrmBorrow>},
        {"TfrmDebt", K::MdiChild, make<TfrmDebt>},
        {"TfrmTZ", K::MdiChild, make<TfrmTZ>},
        {"TfrmP_In", K::MdiChild, make<TfrmP_In>},
        {"TfrmP_Out", K::MdiChild, make<TfrmP_Out>},
        {"TfrmP_A", K::MdiChild, make<TfrmP_A>},
        {"TfrmP_B", K::MdiChild, make<TfrmP_B>},
        {"TfrmP_D", K::MdiChild, make<TfrmP_D>},
        {"TfrmTZ_Qu", K::MdiChild, make<TfrmTZ_Qu>},
        {"TfrmSZ_M", K::MdiChild, make<TfrmSZ_M>},
        {"TfrmSZ_Y", K::MdiChild, make<TfrmSZ_Y>},
        {"TfrmE_I", K::MdiChild, make<TfrmE_I>},
        {"TfrmE_O", K::MdiChild, make<TfrmE_O>},
        {"TfrmPage1", K::MdiChild, make<TfrmPage1>},
        {"TfrmPage2", K::MdiChild, make<TfrmPage2>},
        {"TfrmP_Account", K::MdiChild, make<TfrmP_Account>},
        {"TfrmImport", K::SingleChild, make<TfrmImport>},
        {"TfrmSchedule", K::MdiChild, make<TfrmSchedule>},
        {"TfrmDue", K::SingleChild, make<TfrmDue>},
        {"TfrmReconcile", K::MdiChild, make<TfrmReconcile>},
        {"TfrmBudget", K::MdiChild, make<TfrmBudget>},
        {"TfrmFirstUse", K::MdiChild, make<TfrmFirstUse>},
        {"TfrmAbout", K::Modal, make<TfrmAbout>},
        {"TfrmHistory", K::MdiChild, make<TfrmHistory>},
        {"TfrmRecycle", K::MdiChild, make<TfrmRecycle>},
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
