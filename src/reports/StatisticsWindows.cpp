#include "reports/StatisticsWindows.h"

#include "data/TfrmDM.h"
#include "reports/ConditionPanel.h"
#include "reports/ShownTable.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Runs a statement into a grid's model; the named column holds amounts.
void load(ListModel *model, const Sql &statement, const QString &moneyAlias)
{
    QSqlQuery query = statement.exec();
    model->load(query, {moneyAlias});
}

QTableView *gridOver(QWidget *parent, const QString &objectName, ListModel *model)
{
    QTableView *grid = makeReportGrid(parent, objectName);
    grid->setModel(model);
    return grid;
}

} // namespace

StatisticsWindow::StatisticsWindow(StatisticsWindowSides::Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_d(std::move(descriptor))
{
    setObjectName(m_d.className);
    setWindowTitle(m_d.caption);
    auto *layout = new QVBoxLayout(this);

    Conditions::Spec spec;
    spec.title = QStringLiteral("统计条件");
    spec.dateBox = m_d.dateBox;
    spec.from = QDate::currentDate().addMonths(-1);
    m_conditions = new ConditionPanel(spec, this);
    auto *run = m_conditions->addButton("BitBtn1", "统计");
    auto *exit = m_conditions->addButton("BitBtn2", "退出");
    run->setDefault(true);
    layout->addWidget(m_conditions);

    auto *centre = new QHBoxLayout;
    auto *left = new QWidget(this);
    left->setObjectName("Panel3");
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(makeGridGroup(m_d.left, "DBGrid1"));
    centre->addWidget(left, 1);
    centre->addWidget(makeGridGroup(m_d.right, "DBGrid2"), 1);
    layout->addLayout(centre, 1);

    connect(run, &QPushButton::clicked, this, &StatisticsWindow::BitBtn1Click);
    connect(exit, &QPushButton::clicked, this, &StatisticsWindow::BitBtn2Click);
}

QWidget *StatisticsWindow::makeGridGroup(const StatisticsWindowSides::Grid &grid,
                                         const QString &gridName)
{
    auto *group = new QGroupBox(grid.title, this);
    auto *layout = new QVBoxLayout(group);
    auto *model = new ListModel(this);
    layout->addWidget(gridOver(group, gridName, model));
    m_grids.push_back({grid.side, model});
    return group;
}

void StatisticsWindow::BitBtn1Click()
{
    if (!m_conditions->checkChoices())
        return;
    const QString book = TfrmDM::instance()->currentBook();
    try {
        for (const Shown &grid : m_grids)
            load(grid.model, Statistics::statement(grid.side, book, m_conditions->filter()),
                 QString::fromUtf8(grid.side.amountAlias));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

TfrmPage1::TfrmPage1(QWidget *parent)
    : StatisticsWindow({"TfrmPage1",
                        "收支统计表",
                        "收支日期",
                        {"收入", Statistics::Income},
                        {"支出", Statistics::Expense}},
                       parent)
{
}

TfrmPage2::TfrmPage2(QWidget *parent)
    : StatisticsWindow({"TfrmPage2",
                        "债务债权统计表",
                        "日期",
                        {"债务", Statistics::Debts},
                        {"债权", Statistics::Credits}},
                       parent)
{
}

TfrmP_Account::TfrmP_Account(QWidget *parent) : QWidget(parent)
{
    setObjectName("TfrmP_Account");
    setWindowTitle("当前帐户金额");
    auto *layout = new QVBoxLayout(this);
    m_model = new ListModel(this);
    layout->addWidget(gridOver(this, "DBGrid1", m_model), 1);
    const LabelBar bar = makeLabelBar(this, {"Label1"});
    m_summary = bar.labels.front();
    layout->addWidget(bar.bar);
    FormCreate();
}

void TfrmP_Account::FormCreate()
{
    const QString book = TfrmDM::instance()->currentBook();
    try {
        load(m_model, Balances::listStatement(book), QStringLiteral("帐户余额"));
        m_summary->setText(Balances::read(book).line());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}
