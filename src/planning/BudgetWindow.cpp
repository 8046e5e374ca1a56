#include "planning/BudgetWindow.h"

#include "core/ledger/Figures.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/reports/Report.h"
#include "data/Sql.h"
#include "widgets/AmountValidator.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"
#include "widgets/ReportOutput.h"
#include "widgets/TotalsRow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

const QString Caption = QStringLiteral("预算");
const QString Used = QStringLiteral("已用比例");
constexpr int UsedColumn = 6; // of the status table

List::Descriptor planList()
{
    using K = List::Kind;
    std::vector<List::Column> columns = {{"", "类别", K::Text, 110}, {"", "结转", K::Text, 50}};
    for (int m = 1; m <= 12; ++m)
        columns.push_back({"", QStringLiteral("%1月").arg(m), K::Money, 80});
    columns.push_back({"", "全年", K::Money, 100});
    return {.className = QStringLiteral("TfrmBudget"),
            .caption = Caption,
            .columns = columns,
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 80,
            .gridTitle = QStringLiteral("各类别每月预算"),
            .gridPanel = QStringLiteral("Panel2"),
            .countUnit = QStringLiteral("项")};
}

// The used share drawn as a bar under its percentage, red past the budget.
class UsedBar : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const auto *model = qobject_cast<const ListModel *>(index.model());
        if (!model) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const qint64 units = model->value(index.row(), Used).toLongLong();
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(3, 3, -3, -3);
        bar.minimum = 0;
        bar.maximum = 1000;
        bar.progress = int(std::clamp<qint64>(units / (Money::Scale / 1000), 0, 1000));
        bar.text = index.data().toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.palette = option.palette;
        if (units > Money::Scale)
            bar.palette.setColor(QPalette::Highlight, Figures::negativeColor());
        bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
        QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
    }
};

} // namespace

namespace Budget {

ShownTable statusTable(const Status &status)
{
    using K = ShownTable::Kind;
    using C = ShownTable::Column;
    const auto sum = ShownTable::Total::Sum;
    ShownTable table{{C{"类别", K::Text, 14}, C{"预算", K::Money, 12, sum},
                      C{"结转", K::Money, 12, sum}, C{"可用", K::Money, 12, sum},
                      C{"已用", K::Money, 12, sum}, C{"剩余", K::Money, 12, sum},
                      C{Used, K::Ratio, 10, ShownTable::Total::Share, 4, 3}},
                     {}};
    for (const Line &l : status.lines)
        table.rows.push_back({l.name, l.budget.toVariant(), l.carried.toVariant(),
                              l.available().toVariant(), l.spent.toVariant(), l.left().toVariant(),
                              qlonglong(l.used())});
    return table;
}

} // namespace Budget

BudgetWindow::BudgetWindow(QWidget *parent) : ListWindow(planList(), parent)
{
    addAboveGrid(buildConditions());
    m_statusPane = addList(QStringLiteral("DBGrid2"), Qt::Vertical, {3, 2},
                           QStringLiteral("本月预算执行"), true);
    m_statusPane.grid->setItemDelegateForColumn(UsedColumn, new UsedBar(m_statusPane.grid));
    addButton("ButSet", QStringLiteral("设置（&S）"), [this] {
        setChosenMonth();
    })->setDefault(true);
    addButton("ButSame", QStringLiteral("每月相同（&A）"), [this] {
        setEveryMonth();
    })->setToolTip(QStringLiteral("所选月份到年底，每月都设为这个金额"));
    addButton("ButCopy", QStringLiteral("复制上月（&C）"), [this] {
        copyPreviousMonth();
    })->setToolTip(QStringLiteral("所选月份的各项预算换成上个月的"));
    addButton("BitBtn2", QStringLiteral("Excel（&E）"), [this] { exportWorkbook(); });
    addButton("BitBtn4", QStringLiteral("打印（&P）"), [this] { printReport(); });
    load();
}

QWidget *BudgetWindow::buildConditions()
{
    auto *box = new QGroupBox(QStringLiteral("预算设置"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    auto *row = new QHBoxLayout(box);
    int startDay = HouseholdMonth::FirstDay;
    Msg::guarded(this, [&] { startDay = HouseholdMonth::startDay(book()); });
    const QDate now = HouseholdMonth::containing(QDate::currentDate(), startDay).first;
    m_year = new QSpinBox(box);
    m_year->setObjectName(QStringLiteral("SpinYear"));
    m_year->setRange(1900, 2999);
    m_year->setValue(now.year());
    m_year->setSuffix(QStringLiteral(" 年"));
    m_month = new QComboBox(box);
    m_month->setObjectName(QStringLiteral("ComboMonth"));
    for (int m = 1; m <= 12; ++m)
        m_month->addItem(QStringLiteral("%1月").arg(m));
    m_month->setCurrentIndex(now.month() - 1);
    m_amount = new QLineEdit(box);
    m_amount->setObjectName(QStringLiteral("Edit1"));
    m_amount->setValidator(new AmountValidator(m_amount));
    m_amount->setMinimumWidth(120);
    m_rollover = new QCheckBox(QStringLiteral("结转（剩余或超支转入下月）"), box);
    m_rollover->setObjectName(QStringLiteral("CheckRollover"));
    connect(m_rollover, &QCheckBox::clicked, this, &BudgetWindow::toggleRollover);
    connect(m_year, &QSpinBox::valueChanged, this, &BudgetWindow::readAll);
    connect(m_month, &QComboBox::currentIndexChanged, this, &BudgetWindow::readAll);
    row->addWidget(new QLabel(QStringLiteral("年份："), box));
    row->addWidget(m_year);
    row->addWidget(new QLabel(QStringLiteral("月份："), box));
    row->addWidget(m_month);
    row->addWidget(new QLabel(QStringLiteral("金额："), box));
    row->addWidget(m_amount);
    row->addWidget(m_rollover);
    row->addStretch(1);
    // The household month of the book: budgets, statements and presets cut it.
    m_startDay = new QSpinBox(box);
    m_startDay->setObjectName(QStringLiteral("SpinStartDay"));
    m_startDay->setRange(HouseholdMonth::FirstDay, HouseholdMonth::LastStartDay);
    m_startDay->setValue(startDay);
    m_startDay->setPrefix(QStringLiteral("每月从 "));
    m_startDay->setSuffix(QStringLiteral(" 日开始"));
    auto *save = new QPushButton(QStringLiteral("保存（&D）"), box);
    save->setObjectName(QStringLiteral("ButStartDay"));
    connect(save, &QPushButton::clicked, this, &BudgetWindow::setStartDay);
    row->addWidget(m_startDay);
    row->addWidget(save);
    return box;
}

QString BudgetWindow::month() const
{
    return Budget::months(m_year->value()).at(m_month->currentIndex());
}

void BudgetWindow::load()
{
    readAll();
}

void BudgetWindow::readAll()
{
    const int row = currentRow();
    const QStringList months = Budget::months(m_year->value());
    QList<QVariantList> rows;
    Budget::Status status;
    const bool read = Msg::guarded(this, [&] {
        m_lines.clear();
        QSqlQuery categories =
            Sql(QStringLiteral("select OName from OutD where BName=? order by ID"), {book()})
                .exec();
        while (categories.next())
            m_lines << categories.value(0).toString();
        m_lines << QString();
        const Budget::Plan plan = Budget::plan(book(), m_year->value());
        for (const QString &line : m_lines) {
            const QHash<QString, Money> amounts = plan.value(line.toLower());
            QVariantList values{line.isEmpty() ? Budget::otherTitle() : line,
                                !line.isEmpty() && Budget::rollover(book(), line)
                                    ? QStringLiteral("是")
                                    : QString()};
            Money year;
            for (const QString &m : months) {
                const Money amount = amounts.value(m);
                values << (amount.isZero() ? QVariant() : amount.toVariant());
                year += amount;
            }
            values << year.toVariant();
            rows << values;
        }
        status = Budget::status(book(), month());
    });
    if (!read)
        return;
    showRows(rows);
    goToRow(std::max(row, 0));
    m_status = Budget::statusTable(status);
    const std::vector<List::Column> columns = m_status.listColumns();
    m_statusPane.model->setRows(columns, m_status.listRows());
    List::showColumns(m_statusPane.grid, m_statusPane.model, columns);
    m_statusPane.totals->setFigure(Used, qlonglong(status.total().used()));
    if (auto *box = qobject_cast<QGroupBox *>(m_statusPane.panel))
        box->setTitle(QStringLiteral("%1 预算执行").arg(month()));
}

std::optional<QString> BudgetWindow::currentLine() const
{
    const int row = currentRow();
    if (row < 0 || row >= m_lines.size())
        return std::nullopt;
    return m_lines.at(row);
}

void BudgetWindow::currentRowChanged()
{
    const std::optional<QString> line = currentLine();
    m_rollover->setEnabled(line && !line->isEmpty());
    m_rollover->setChecked(line && !line->isEmpty() &&
                           model()->text(currentRow(), QStringLiteral("结转")) ==
                               QStringLiteral("是"));
    const QVariant amount =
        line ? model()->value(currentRow(), QStringLiteral("%1月").arg(m_month->currentIndex() + 1))
             : QVariant();
    m_amount->setText(amount.isNull() ? QString() : Money::fromVariant(amount).toEditable());
}

bool BudgetWindow::setAmount(const QStringList &months)
{
    const std::optional<QString> line = currentLine();
    if (!line)
        return false;
    const QString text = m_amount->text().trimmed();
    const QString refusal =
        text.isEmpty() ? QString() : Money::refusal(text, QStringLiteral("金额"));
    if (!refusal.isEmpty()) {
        Msg::plain(this, refusal);
        m_amount->setFocus();
        return false;
    }
    // Nothing typed clears the budget.
    const Money amount = text.isEmpty() ? Money() : *Money::parse(text);
    if (amount < Money()) {
        Msg::plain(this, Budget::negativeRefusal());
        m_amount->setFocus();
        return false;
    }
    const bool done = Msg::guarded(this, [&] { Budget::setAmount(book(), *line, months, amount); });
    readAll();
    return done;
}

void BudgetWindow::setChosenMonth()
{
    setAmount({month()});
}

void BudgetWindow::setEveryMonth()
{
    setAmount(Budget::months(m_year->value()).mid(m_month->currentIndex()));
}

void BudgetWindow::copyPreviousMonth()
{
    const QString previous = HouseholdMonth::shifted(month(), -1);
    if (!Msg::ask(this, Caption,
                  QStringLiteral("把 %1 的各项预算复制到 %2 吗？\n%2 已有的预算将被替换。")
                      .arg(previous, month())))
        return;
    Msg::guarded(this, [&] { Budget::copyPrevious(book(), month()); });
    readAll();
}

void BudgetWindow::toggleRollover()
{
    const std::optional<QString> line = currentLine();
    if (line && !line->isEmpty())
        Msg::guarded(this, [&] { Budget::setRollover(book(), *line, m_rollover->isChecked()); });
    readAll();
}

void BudgetWindow::setStartDay()
{
    if (!Msg::guarded(this, [&] { HouseholdMonth::setStartDay(book(), m_startDay->value()); }))
        return;
    readAll();
}

void BudgetWindow::exportWorkbook()
{
    ReportOutput::exportWorkbook(this, QStringLiteral("预算执行"),
                                 book() + QStringLiteral("-预算执行-") + month(), m_status);
}

void BudgetWindow::printReport()
{
    ReportOutput::print(this, QStringLiteral("预算执行表"),
                        Report::subtitle(book(), {QStringLiteral("月份：") + month()}), m_status);
}
