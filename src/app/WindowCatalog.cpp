#include "app/WindowCatalog.h"

#include "app/TfrmAbout.h"
#include "app/TfrmFirstUse.h"
#include "books/TfrmB_Manage.h"
#include "books/TfrmBackup.h"
#include "books/TfrmChangePass.h"
#include "books/TfrmNewBook.h"
#include "books/TfrmOpenBook.h"
#include "books/TfrmRecover.h"
#include "entries/IncomeExpense.h"
#include "entries/TfrmChangeT.h"
#include "reference/CategoryWindows.h"
#include "reference/TfrmA_Manage.h"
#include "reference/TfrmFamily.h"

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
        {"TfrmA_Manage", K::MdiChild, make<TfrmA_Manage>},
        {"TfrmIn_Manage", K::MdiChild, make<TfrmIn_Manage>},
        {"TfrmOut_Manage", K::MdiChild, make<TfrmOut_Manage>},
        {"TfrmT_Manage", K::MdiChild, make<TfrmT_Manage>},
        {"TfrmInTable", K::MdiChild, make<TfrmInTable>},
        {"TfrmOutTable", K::MdiChild, make<TfrmOutTable>},
        {"TfrmChangeT", K::MdiChild, make<TfrmChangeT>},
        {"TfrmFirstUse", K::MdiChild, make<TfrmFirstUse>},
        {"TfrmAbout", K::Modal, make<TfrmAbout>},
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
