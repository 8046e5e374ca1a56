#pragma once

#include "core/ledger/Conditions.h"
#include "core/reports/Report.h"
#include "core/reports/XlsxExport.h"
#include "data/ListQuery.h"
#include "data/Sql.h"
#include "widgets/ListWindow.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Query {

using Feeder = Workspace::Feeder;

using Field = Conditions::Kind;

// One condition of the panel, in the order the conditions are appended.
struct Criterion
{
    QString caption; // of its check box
    Field field;
    QString column;
    Feeder feeder = nullptr; // fills the drop-down list of a List condition
};

// A sort-field entry and the result column it sorts by.
struct SortEntry
{
    QString text;
    QString alias;
};

// The follow-up records of the clicked row, shown in the lower list.
struct Detail
{
    QString table;     // "BorrowR"
    QString parentKey; // "BID"
    std::vector<List::Column> columns;
    QString order; // by result names, ending with the key
    QString title; // over the list: "还债记录"
};

// How a report column is printed: the table column it reads.
struct ReportColumn
{
    QString column;
    Report::Column print;
};

struct Descriptor
{
    QString className{};
    QString caption{};
    QString table{};
    std::vector<List::Column> columns{}; // the list statement's columns, in order
    std::vector<Criterion> conditions{}; // the first is the date range
    std::vector<SortEntry> sorts{};      // empty: no sort boxes, fixedOrder always
    QString fixedOrder{};
    std::optional<Detail> detail{};
    QString exportSuffix{}; // "-收入表"
    // Of the shown list columns, in the spreadsheet's character units.
    std::vector<double> exportWidths{};
    QString reportName{}; // "收入报表"
    std::vector<ReportColumn> printed{};
};

} // namespace Query

// The detail query window: ticked conditions over one entry table of the current
// book, the matching rows sorted as chosen, their count and totals in the totals
// row (computed on a worker thread), the export to a spreadsheet and the printed
// report of the last query's conditions. Debts, credits and investments add a
// lower list of the current row's follow-up records.
class QueryWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit QueryWindow(Query::Descriptor descriptor, QWidget *parent = nullptr);

    // Sets the conditions to their defaults; nothing is listed before 查询.
    void load() override;
    void runQuery();
    void exportWorkbook();
    void printReport();
    void showDetails(int row);

protected:
    // The entry table's columns under the conditions of the last query, in the
    // chosen order.
    List::Query query() const override;
    void currentRowChanged() override;

private:
    QWidget *buildConditionPanel();
    QWidget *buildSortPanel();
    void buildButtons();
    QCheckBox *addCondition(QGridLayout *grid, int index, const Query::Criterion &c);

    // The ticked conditions as they stand now, each beginning with " and ".
    Condition conditions() const;
    // The same in words, the period first ("全部日期" when it is not ticked).
    QStringList conditionsInWords() const;
    Conditions::Input input(int condition) const;
    // True when the ticked date range's first day is after its last.
    bool datesReversed() const;
    Sql bookFilter() const;
    QString order() const;
    void totalsShown(qint64 rows);
    // The sheet of the shown columns; listColumns gets their places in the list.
    Xlsx::Sheet exportSheet(QList<int> &listColumns) const;

    const Query::Descriptor m_d;
    qint64 m_count = 0;       // of the rows shown
    QStringList m_shownWords; // the conditions of the rows shown, in words
    List::Pane m_detail{};
    QList<QCheckBox *> m_checks;
    QList<QWidget *> m_values; // per condition: its list, text box or first picker
    QDateEdit *m_to = nullptr;
    QComboBox *m_sortField = nullptr;
    QComboBox *m_sortDirection = nullptr;
    QPushButton *m_excel = nullptr;
    QPushButton *m_print = nullptr;
};
