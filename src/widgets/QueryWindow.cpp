#include "widgets/QueryWindow.h"

#include "core/ledger/Workspace.h"
#include "widgets/ConditionPanel.h"
#include "widgets/DatePicker.h"
#include "widgets/ListModel.h"
#include "widgets/ListWindow.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportPreview.h"
#include "widgets/TotalsRow.h"
#include "widgets/WorkbookExport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString Descending = QStringLiteral("降序");

List::Descriptor listOf(const Query::Descriptor &d)
{
    return {.className = d.className,
            .caption = d.caption,
            .table = d.table,
            .columns = d.columns,
            .keyColumn = false, // the columns list the key themselves
            .columnWidth = 110,
            .exitName = "BitBtn3"};
}

} // namespace

QueryWindow::QueryWindow(Query::Descriptor descriptor, QWidget *parent)
    : ListWindow(listOf(descriptor), parent), m_d(std::move(descriptor))
{
    setAttribute(Qt::WA_DeleteOnClose);
    addAboveGrid(buildConditionPanel());
    if (m_d.detail)
        m_detail =
            addList(QStringLiteral("DBGrid2"), Qt::Vertical, {400, 150}, m_d.detail->title, true);
    // The totals of the rows found are read from them on the worker, whatever the
    // conditions; export and print carry the count and totals of what they write.
    totals()->setShortcut({});
    connect(totals(), &TotalsRow::totalsShown, this, &QueryWindow::totalsShown);
    buildButtons();
    load();
}

QWidget *QueryWindow::buildConditionPanel()
{
    auto *panel = new QWidget(this);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    auto *group = new QGroupBox(QStringLiteral("查询条件"), panel);
    QGridLayout *grid = ConditionGrid::make(group);
    for (int i = 0; i < int(m_d.conditions.size()); ++i)
        m_checks << addCondition(grid, i, m_d.conditions[i]);
    row->addWidget(group, 1);
    if (!m_d.sorts.empty())
        row->addWidget(buildSortPanel(), 0, Qt::AlignTop);
    return panel;
}

// The date range fills the first row; the other conditions follow two to a row.
QCheckBox *QueryWindow::addCondition(QGridLayout *grid, int index, const Query::Criterion &c)
{
    auto *check = new QCheckBox(c.caption, this);
    check->setObjectName(QStringLiteral("CheckBox%1").arg(index + 1));
    QWidget *value = nullptr;
    switch (c.field) {
    case Query::Field::DateRange: {
        QDateEdit *from = makeDatePicker(this, QStringLiteral("DateTimePicker1"));
        m_to = makeDatePicker(this, QStringLiteral("DateTimePicker2"));
        ConditionGrid::addPeriod(grid, check, from, m_to);
        m_values << from;
        return check;
    }
    case Query::Field::List: {
        const int n = int(std::count_if(m_values.begin(), m_values.end(),
                                        [](QWidget *w) { return qobject_cast<QComboBox *>(w); }));
        auto *box = new QComboBox(this);
        box->setObjectName(QStringLiteral("DBLookupComboBox%1").arg(n + 1));
        makeSearchable(box);
        // Picking a name is enough to filter by it.
        connect(box, &QComboBox::activated, check, [check] { check->setChecked(true); });
        value = box;
        break;
    }
    case Query::Field::Text: {
        const int n = int(std::count_if(m_values.begin(), m_values.end(),
                                        [](QWidget *w) { return qobject_cast<QLineEdit *>(w); }));
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(n + 1));
        value = edit;
        break;
    }
    }
    // The period comes first: the others count from the cell after it.
    ConditionGrid::add(grid, index - 1, check, value);
    m_values << value;
    return check;
}

QWidget *QueryWindow::buildSortPanel()
{
    // One above the other: beside the conditions the window still fits a
    // screen 1024 pixels wide.
    auto *group = new QGroupBox(QStringLiteral("排序条件"), this);
    auto *column = new QVBoxLayout(group);
    column->addWidget(new QLabel(QStringLiteral("排序条件："), group));
    m_sortField = new QComboBox(group);
    m_sortField->setObjectName(QStringLiteral("ComboBox1"));
    for (const Query::SortEntry &s : m_d.sorts)
        m_sortField->addItem(s.text);
    m_sortDirection = new QComboBox(group);
    m_sortDirection->setObjectName(QStringLiteral("ComboBox2"));
    m_sortDirection->addItems({QStringLiteral("升序"), Descending});
    column->addWidget(m_sortField);
    column->addWidget(m_sortDirection);
    return group;
}

void QueryWindow::buildButtons()
{
    addButton("BitBtn1", QStringLiteral("查询（&Q）"), [this] { runQuery(); })->setDefault(true);
    m_excel = addButton("BitBtn2", QStringLiteral("Excel（&E）"), [this] { exportWorkbook(); });
    m_print = addButton("BitBtn4", QStringLiteral("打印（&P）"), [this] { printReport(); });
}

void QueryWindow::load()
{
    const QDate today = QDate::currentDate();
    static_cast<QDateEdit *>(m_values.first())->setDate(today.addMonths(-1));
    m_to->setDate(today);
    m_checks.first()->setChecked(true);
    for (int i = 0; i < int(m_d.conditions.size()); ++i)
        if (m_d.conditions[i].feeder)
            Msg::guarded(this, [&] {
                fillLookup(static_cast<QComboBox *>(m_values[i]), m_d.conditions[i].feeder);
            });
    m_excel->setEnabled(false);
    m_print->setEnabled(false);
}

Conditions::Input QueryWindow::input(int condition) const
{
    QWidget *value = m_values[condition];
    if (auto *from = qobject_cast<QDateEdit *>(value))
        return {from->date(), m_to->date()};
    if (auto *list = qobject_cast<QComboBox *>(value))
        return {{}, {}, list->currentText()};
    return {{}, {}, static_cast<QLineEdit *>(value)->text()};
}

Condition QueryWindow::conditions() const
{
    Condition where;
    for (int i = 0; i < int(m_d.conditions.size()); ++i)
        if (m_checks[i]->isChecked())
            where += Conditions::of(m_d.conditions[i].field, m_d.conditions[i].column, input(i));
    return where;
}

QStringList QueryWindow::conditionsInWords() const
{
    QStringList words;
    if (!m_checks.first()->isChecked())
        words << QStringLiteral("全部日期");
    for (int i = 0; i < int(m_d.conditions.size()); ++i)
        if (m_checks[i]->isChecked())
            words << Conditions::describe(m_d.conditions[i].field, m_checks[i]->text(), input(i));
    return words;
}

bool QueryWindow::datesReversed() const
{
    const Conditions::Input dates = input(0);
    return m_checks.first()->isChecked() && dates.from > dates.to;
}

Sql QueryWindow::bookFilter() const
{
    return Sql(QStringLiteral(" where BName=?"), {book()});
}

// The chosen sort column, then the key, so that equal values keep one order.
QString QueryWindow::order() const
{
    if (m_d.sorts.empty())
        return m_d.fixedOrder;
    const int chosen = m_sortField->findText(m_sortField->currentText());
    if (chosen < 0)
        return QStringLiteral("ID");
    const QString direction =
        m_sortDirection->currentText() == Descending ? QStringLiteral(" desc") : QString();
    return m_d.sorts[chosen].alias + direction + QStringLiteral(", ID") + direction;
}

List::Query QueryWindow::query() const
{
    List::Query list = ListWindow::query();
    list.order = order();
    return list;
}

void QueryWindow::runQuery()
{
    if (datesReversed()) {
        Msg::plain(this, Conditions::dateOrderMessage());
        m_values.first()->setFocus();
        return;
    }
    setFilterCondition(conditions());
    m_shownWords = conditionsInWords();
    // Enabled again once the totals row shows the count and sums of these rows.
    m_excel->setEnabled(false);
    m_print->setEnabled(false);
    reload();
}

void QueryWindow::totalsShown(qint64 rows)
{
    m_count = rows;
    m_excel->setEnabled(true);
    m_print->setEnabled(true);
}

void QueryWindow::currentRowChanged()
{
    showDetails(currentRow());
}

void QueryWindow::showDetails(int row)
{
    if (!m_d.detail || model()->rowCount() == 0 || row < 0)
        return;
    const Query::Detail &d = *m_d.detail;
    List::Query query = List::listing(d.columns, d.table);
    query.select +=
        Sql(QStringLiteral(" where %1=?").arg(d.parentKey), {model()->value(row, List::KeyAlias)});
    query.order = d.order;
    try {
        m_detail.model->setQuery(query);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    List::showColumns(m_detail.grid, m_detail.model, d.columns);
}

// The shown list columns: amounts as numbers, the date column as dates, the count
// of rows under the first and the sum under each amount, as the totals row has them.
Xlsx::Sheet QueryWindow::exportSheet(QList<int> &listColumns) const
{
    Xlsx::Sheet sheet{book() + m_d.exportSuffix, {}};
    for (int c = 0; c < int(m_d.columns.size()); ++c) {
        const List::Column &column = m_d.columns[c];
        if (column.kind == List::Kind::Hidden)
            continue;
        Xlsx::Column exported{column.alias, Xlsx::Kind::Text, m_d.exportWidths[listColumns.size()],
                              Xlsx::Total::None};
        if (column.kind == List::Kind::Money) {
            exported.kind = Xlsx::Kind::Money;
            exported.total = Xlsx::Total::Sum;
        } else if (column.name == m_d.conditions.front().column) {
            exported.kind = Xlsx::Kind::Date;
        }
        if (listColumns.isEmpty())
            exported.total = Xlsx::Total::RowCount;
        sheet.columns << exported;
        listColumns << c;
    }
    return sheet;
}

void QueryWindow::exportWorkbook()
{
    QList<int> columns;
    const Xlsx::Sheet sheet = exportSheet(columns);
    // The rows shown: the last query's statement, read again on the worker as they
    // are written.
    const List::Query &shown = model()->query();
    const Sql statement = shown.select + Sql(QStringLiteral(" order by ") + shown.order);
    Xlsx::exportAndOpen(
        this, m_d.exportSuffix.mid(1), sheet,
        [statement, columns](const QSqlDatabase &db) -> RowSource {
            const RowSource all = queryRows(statement.exec(db));
            return [all, columns, listed = QVariantList()](QVariantList &row) mutable {
                if (!all(listed))
                    return false;
                row.resize(columns.size());
                for (int i = 0; i < columns.size(); ++i)
                    row[i] = listed[columns[i]];
                return true;
            };
        },
        m_count);
}

void QueryWindow::printReport()
{
    Report::Layout layout{book() + m_d.reportName, {}, Report::subtitle(book(), m_shownWords)};
    QStringList fields;
    for (const Query::ReportColumn &r : m_d.printed) {
        layout.columns << r.print;
        fields << r.column;
    }
    // The rows are read when printing, with the conditions of the last query, in
    // the order they were entered (the window's sort is not the report's).
    Report::preview(this, layout,
                    Report::tableRows(m_d.table, fields, bookFilter() + filterCondition()));
}
