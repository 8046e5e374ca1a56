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

List::Descriptor balances()
{
    return {.className = "TfrmP_Account",
            .caption = "当前帐户金额",
            .table = "SAccount",
            .columns = {{"AName", "帐户名称"},
                        {"AMoney", "帐户余额", List::Kind::Money},
                        {"Remark", "备注"}},
            .orderBy = "帐户余额 desc,ID"};
}

} // namespace

StatisticsWindow::StatisticsWindow(StatisticsWindowSides::Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_d(std::move(descriptor))
{
    setObjectName(m_d.className);
    setWindowTitle(m_d.caption);
    auto *layout = new QVBoxLayout(this);

    Conditions::Choices choices;
    choices.title = QStringLiteral("统计条件");
    choices.dateBox = m_d.dateBox;
    choices.from = QDate::currentDate().addMonths(-1);
    m_conditions = new ConditionPanel(choices, this);
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
    QTableView *view = makeReportGrid(group, gridName);
    view->setModel(model);
    layout->addWidget(view);
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
            grid.model->setQuery(Statistics::statement(grid.side, book, m_conditions->filter()));
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

TfrmP_Account::TfrmP_Account(QWidget *parent) : ListWindow(balances(), parent)
{
    // Accounts that hold nothing are left out.
    setLabWhere(Condition(QStringLiteral(" AND AMoney<>0")));
    const LabelBar bar = makeLabelBar(this, {"Label1"});
    m_summary = bar.labels.front();
    addBelowGrid(bar.bar);
    FormCreate();
}

void TfrmP_Account::FormCreate()
{
    ListWindow::FormCreate();
    try {
        m_summary->setText(Balances::read(TfrmDM::instance()->currentBook()).line());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}
