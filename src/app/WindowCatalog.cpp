#include "app/WindowCatalog.h"

#include "reference/CategoryWindows.h"
#include "reference/TfrmA_Manage.h"
#include "reference/TfrmFamily.h"

#include <vector>

namespace WindowCatalog {
using K = Kind;

const std::vector<Entry> &all()
{
    static const std::vector<Entry> all = {
        {"TfrmFamily", K::MdiChild, make<TfrmFamily>},
        {"TfrmA_Manage", K::MdiChild, make<TfrmA_Manage>},
        {"TfrmIn_Manage", K::MdiChild, make<TfrmIn_Manage>},
        {"TfrmOut_Manage", K::MdiChild, make<TfrmOut_Manage>},
        {"TfrmT_Manage", K::MdiChild, make<TfrmT_Manage>},
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
