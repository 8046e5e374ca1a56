#include "core/reports/Report.h"

#include <memory>
#include <vector>

namespace Report {
namespace {

// The key each page begins with, and the last key: a page's rows are then the
// keys from its own first up to the next page's first.
struct PageKeys
{
    bool read = false;
    std::vector<qint64> starts;
    qint64 last = 0;
};

void readPageKeys(PageKeys &keys, const QString &table, const Sql &where)
{
    QSqlQuery query = (Sql(QStringLiteral("select ID from ") + table) + where +
                       Sql(QStringLiteral(" order by ID")))
                          .exec();
    for (qint64 n = 0; query.next(); ++n) {
        keys.last = query.value(0).toLongLong();
        if (n % RowsPerPage == 0)
            keys.starts.push_back(keys.last);
    }
    keys.read = true;
}

// Skips the first `skip` rows, then hands out at most `count` (all when negative).
RowSource window(RowSource rows, qint64 skip, qint64 count)
{
    return [rows = std::move(rows), skip, count, given = qint64(0)](QVariantList &row) mutable {
        for (; skip > 0; --skip)
            if (!rows(row))
                return false;
        if (count >= 0 && given >= count)
            return false;
        ++given;
        return rows(row);
    };
}

} // namespace

Source tableRows(const QString &table, const QStringList &fields, const Sql &where)
{
    const Sql condition = where.isEmpty() ? Sql(QStringLiteral(" where 1=1")) : where;
    const QString select = QStringLiteral("select %1 from %2").arg(fields.join(u','), table);
    auto keys = std::make_shared<PageKeys>();
    Source source;
    source.totals = [=](const Layout &layout) {
        Sql sums(QStringLiteral("select count(*)"));
        for (int c = 0; c < layout.columns.size(); ++c)
            sums.add(layout.columns[c].summed && c < fields.size()
                         ? QStringLiteral(", coalesce(sum(%1), 0)").arg(fields[c])
                         : QStringLiteral(", 0"));
        sums.add(QStringLiteral(" from ") + table).add(condition);
        QSqlQuery result = sums.exec();
        Totals totals;
        if (result.next()) {
            totals.rows = result.value(0).toLongLong();
            for (int c = 0; c < layout.columns.size(); ++c)
                totals.sums << result.value(c + 1).toLongLong();
        }
        return totals;
    };
    source.rows = [=](qint64 first, qint64 count) -> RowSource {
        if (!keys->read)
            readPageKeys(*keys, table, condition);
        const qint64 page = first / RowsPerPage;
        if (page >= qint64(keys->starts.size()) || count == 0)
            return [](QVariantList &) { return false; };
        const qint64 from = keys->starts[page];
        Sql statement;
        if (count < 0) {
            // Every row to the end, read in one pass.
            statement =
                Sql(select) + condition +
                Sql(QStringLiteral(" and ID between ? and ? order by ID"), {from, keys->last});
        } else {
            // The rows between two page keys, found by the key alone: no index over
            // the whole book is walked for a page.
            const qint64 endPage = (first + count + RowsPerPage - 1) / RowsPerPage;
            const Sql upTo = endPage < qint64(keys->starts.size())
                                 ? Sql(QStringLiteral(" and ID<?"), {keys->starts[endPage]})
                                 : Sql(QStringLiteral(" and ID<=?"), {keys->last});
            statement = Sql(select + QStringLiteral(" not indexed")) + condition +
                        Sql(QStringLiteral(" and ID>=?"), {from}) + upTo +
                        Sql(QStringLiteral(" order by ID"));
        }
        return window(queryRows(statement.exec()), first % RowsPerPage, count);
    };
    return source;
}

} // namespace Report
