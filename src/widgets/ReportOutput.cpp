#include "widgets/ReportOutput.h"

#include "core/reports/Report.h"
#include "core/reports/XlsxExport.h"
#include "widgets/ReportPreview.h"
#include "widgets/WorkbookExport.h"

#include <memory>

namespace ReportOutput {
namespace {

// The table's rows one at a time from the first'th, at most count of them (all
// when negative), with a place in front for the report's row number when asked.
RowSource tableRows(std::shared_ptr<const ShownTable> table, bool numbered, qint64 first = 0,
                    qint64 count = -1)
{
    const qint64 end = count < 0 ? qint64(table->rows.size())
                                 : std::min(first + count, qint64(table->rows.size()));
    auto next = std::make_shared<qint64>(first);
    return [table, next, end, numbered](QVariantList &row) {
        if (*next >= end)
            return false;
        row = table->rows[*next];
        ++*next;
        if (numbered)
            row.prepend(QVariant()); // the report numbers its rows itself
        return true;
    };
}

Xlsx::Kind sheetKind(ShownTable::Kind kind)
{
    switch (kind) {
    case ShownTable::Kind::Money:
        return Xlsx::Kind::Money;
    case ShownTable::Kind::Ratio:
        return Xlsx::Kind::Percent;
    case ShownTable::Kind::Count:
        return Xlsx::Kind::Count;
    case ShownTable::Kind::Text:
    case ShownTable::Kind::Hidden:
        break;
    }
    return Xlsx::Kind::Text;
}

Report::Kind reportKind(ShownTable::Kind kind)
{
    switch (kind) {
    case ShownTable::Kind::Money:
        return Report::Kind::Money;
    case ShownTable::Kind::Ratio:
        return Report::Kind::Ratio;
    case ShownTable::Kind::Count:
        return Report::Kind::Count;
    case ShownTable::Kind::Text:
    case ShownTable::Kind::Hidden:
        break;
    }
    return Report::Kind::Text;
}

Xlsx::Total sheetTotal(ShownTable::Total total)
{
    switch (total) {
    case ShownTable::Total::RowCount:
        return Xlsx::Total::RowCount;
    case ShownTable::Total::Sum:
        return Xlsx::Total::Sum;
    case ShownTable::Total::Share:
        return Xlsx::Total::Share;
    case ShownTable::Total::None:
        break;
    }
    return Xlsx::Total::None;
}

Xlsx::Sheet sheet(const QString &title, const ShownTable &table, Form form)
{
    Xlsx::Sheet s{title, {}, form == Form::Decorated};
    for (const auto &c : table.columns)
        s.columns << Xlsx::Column{c.title, sheetKind(c.kind), c.width, sheetTotal(c.total),
                                  c.share};
    return s;
}

// The report numbers its rows in a first column "序号".
Report::Layout layout(const QString &title, const QString &subtitle, const ShownTable &table)
{
    Report::Layout l{
        title, {Report::Column{QStringLiteral("序号"), Report::Kind::RowNumber}}, subtitle};
    // Its columns come after the row number.
    const auto place = [](int column) { return column < 0 ? -1 : column + 1; };
    for (const auto &c : table.columns)
        l.columns << Report::Column{
            c.title, reportKind(c.kind), c.total == ShownTable::Total::Sum, 0,
            Figures::Share{place(c.share.part), place(c.share.whole), c.share.ofRest}};
    return l;
}

} // namespace

QString exportWorkbook(QWidget *parent, const QString &reportName, const QString &title,
                       const ShownTable &table, Form form)
{
    auto shared = std::make_shared<const ShownTable>(table);
    return Xlsx::exportAndOpen(parent, reportName, sheet(title, table, form),
                               tableRows(shared, false), qint64(table.rows.size()));
}

void print(QWidget *parent, const QString &title, const QString &subtitle, const ShownTable &table)
{
    auto shared = std::make_shared<const ShownTable>(table);
    Report::preview(parent, layout(title, subtitle, table), {[shared](qint64 first, qint64 count) {
                        return tableRows(shared, true, first, count);
                    }});
}

} // namespace ReportOutput
