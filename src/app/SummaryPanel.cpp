#include "app/SummaryPanel.h"

#include "core/ledger/AccountKinds.h"
#include "core/ledger/Figures.h"
#include "core/ledger/HouseholdMonth.h"
#include "core/ledger/MonthTotals.h"
#include "core/ledger/Workspace.h"
#include "core/reports/KeptSums.h"
#include "data/Dates.h"
#include "data/Sql.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSqlQuery>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

constexpr int Months = 12;
constexpr int SectionColumns = 3;
const QColor Heading(0x2e, 0x6b, 0x31);
const QColor Note(0x70, 0x70, 0x70);
const QColor Negative(0xc6, 0x28, 0x28);
const QColor IncomeColour(0x4c, 0xaf, 0x50);
const QColor ExpenseColour(0xef, 0x8a, 0x3c);

QLabel *label(const QString &text, int pointSize = 0, bool bold = false,
              const QColor &colour = QColor())
{
    auto *l = new QLabel(text);
    QFont font = l->font();
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setBold(bold);
    l->setFont(font);
    if (colour.isValid())
        l->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
    return l;
}

// The figures of a card: captions left, figures right, on a light card.
QGridLayout *figureGrid(QWidget *content)
{
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(0, 1);
    return grid;
}

// The household months of the twelve ending with today's, "yyyy-MM", oldest first.
QStringList lastMonths(const QDate &today, int startDay)
{
    QStringList months;
    const QString now = HouseholdMonth::containing(today, startDay).label;
    for (int back = Months - 1; back >= 0; --back)
        months << HouseholdMonth::shifted(now, -back);
    return months;
}

// The side's sums of those months, from the kept monthly totals.
QHash<QString, Money> monthSums(const EntryColumns &side, const QString &book,
                                const QStringList &months, int startDay)
{
    const QDate from = HouseholdMonth::named(months.first(), startDay).first;
    const QDate to = HouseholdMonth::named(months.last(), startDay).last;
    EntryFilter filter;
    filter.days = {{from, to}};
    QHash<QString, Money> sums;
    QSqlQuery rows = KeptSums::statement(side, KeptSums::By::Month, book, filter).exec();
    while (rows.next())
        sums[rows.value(0).toString()] = Money::fromVariant(rows.value(1));
    return sums;
}

// A line's part put in its place and shown at once, so that the page's size
// counts it.
void placeShown(QGridLayout *grid, QWidget *widget, int row, int column, int span = 1,
                Qt::Alignment align = {})
{
    grid->addWidget(widget, row, column, 1, span, align);
    widget->show();
}

// At most this many of the entries due are listed; the rest are counted.
constexpr int DueLines = 5;

// How a due entry reads in the list: "支出 房租", "转帐 到 工资卡".
QString dueText(const Recurring::Schedule &schedule)
{
    if (schedule.kind == Recurring::Text::Transfer)
        return QStringLiteral("%1 到 %2").arg(schedule.kind, schedule.name);
    return QStringLiteral("%1 %2").arg(schedule.kind, schedule.name);
}

} // namespace

QString SummaryPanel::percentText(Money expense, Money income)
{
    if (income.isZero())
        return QStringLiteral("—");
    return formatHundredths(percentHundredths(expense, income)) + QLatin1Char('%');
}

std::int64_t SummaryPanel::percentHundredths(Money expense, Money income)
{
    if (income.isZero())
        return 0;
    // expense * 100 / income, in hundredths of a percent, rounded half away from zero.
    const __int128 scaled = static_cast<__int128>(expense.units()) * 10000 * 2;
    __int128 q = scaled / income.units();
    q = q >= 0 ? (q + 1) / 2 : (q - 1) / 2;
    return static_cast<std::int64_t>(q);
}

SummaryPanel::SummaryPanel(QWidget *area) : QWidget(nullptr)
{
    setObjectName(QStringLiteral("SummaryPanel"));
    setStyleSheet(QStringLiteral("QFrame[card=\"true\"] { background: white; "
                                 "border: 1px solid #dde4da; border-radius: 6px; }"));
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(16, 12, 16, 12);
    page->setSpacing(10);

    // What the household owns less what it owes, large, and what that includes.
    auto *worth = new QWidget;
    auto *worthLayout = new QGridLayout(worth);
    worthLayout->setContentsMargins(0, 0, 0, 0);
    worthLayout->setHorizontalSpacing(16);
    worthLayout->addWidget(label(QStringLiteral("净资产"), 12, true, Heading), 0, 0,
                           Qt::AlignLeft | Qt::AlignBaseline);
    QLabel *netWorth = label(QStringLiteral("0"), 22, true);
    netWorth->setObjectName(QStringLiteral("LabNetWorth"));
    worthLayout->addWidget(netWorth, 0, 1, Qt::AlignLeft | Qt::AlignBaseline);
    QLabel *includes =
        label(QStringLiteral("总资金（现金、存款、投资、债权）减去负债（债务、信用卡/花呗欠款）"),
              0, false, Note);
    worthLayout->addWidget(includes, 0, 2, Qt::AlignLeft | Qt::AlignBaseline);
    worthLayout->setColumnStretch(2, 1);
    page->addWidget(card(QString(), worth, "CardNetWorth"));

    m_sections = new QGridLayout;
    m_sections->setSpacing(10);
    for (int column = 0; column < SectionColumns; ++column)
        m_sections->setColumnStretch(column, 1);
    page->addLayout(m_sections, 1);
    addSection(QStringLiteral("资金"), fundsTable());
    addSection(QStringLiteral("负债"), debtsTable());
    addSection(QStringLiteral("收支"), incomeTable());
    // This month's budget line by line and the recurring entries due, side by
    // side; each hidden while the book has none, the row while both are.
    m_budget = new QWidget;
    figureGrid(m_budget)->setColumnStretch(0, 0);
    m_due = new QWidget;
    QGridLayout *dueGrid = figureGrid(m_due);
    dueGrid->setColumnStretch(0, 0);
    dueGrid->setColumnStretch(1, 1);
    m_plans = new QWidget;
    auto *plans = new QHBoxLayout(m_plans);
    plans->setContentsMargins(0, 0, 0, 0);
    plans->setSpacing(m_sections->horizontalSpacing());
    plans->addWidget(card(QStringLiteral("本月预算"), m_budget, "GroupBudget"), 2);
    plans->addWidget(card(QStringLiteral("待记帐"), m_due, "GroupDue"), 1);
    placeSection(m_plans, SectionColumns);
    m_budget->parentWidget()->hide();
    m_due->parentWidget()->hide();
    m_plans->hide();
    addSection(QStringLiteral("近12个月收支"), monthsChart(), SectionColumns);

    // The page fills the area it stands in, behind the windows, and scrolls when
    // the area is smaller than it.
    m_scroll = new QScrollArea(area);
    m_scroll->setObjectName(QStringLiteral("SummaryScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(this);
    m_scroll->viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    m_scroll->lower();
    if (area)
        area->installEventFilter(this);
}

bool SummaryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->parentWidget() && event->type() == QEvent::Resize)
        m_scroll->setGeometry(m_scroll->parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

QWidget *SummaryPanel::card(const QString &heading, QWidget *content, const char *name)
{
    auto *frame = new QFrame;
    frame->setObjectName(QLatin1String(name));
    frame->setProperty("card", true);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(8);
    if (!heading.isEmpty())
        layout->addWidget(label(heading, 11, true, Heading));
    layout->addWidget(content, 1);
    if (!(content->sizePolicy().verticalPolicy() & QSizePolicy::ExpandFlag))
        layout->addStretch(1);
    return frame;
}

void SummaryPanel::addSection(const QString &heading, QWidget *content, int columns)
{
    placeSection(card(heading, content, "Card"), columns);
    // Charts and lists that grow take the height there is; tables keep theirs.
    const bool grows = content->sizePolicy().verticalPolicy() & QSizePolicy::ExpandFlag;
    m_sections->setRowStretch(m_sections->rowCount() - 1, grows ? 1 : 0);
}

void SummaryPanel::placeSection(QWidget *section, int columns)
{
    // In the order added, three columns to a row; a wide one starts a row.
    int row = m_sections->rowCount() - 1, column = 0;
    if (m_sections->count() > 0) {
        while (column < SectionColumns && m_sections->itemAtPosition(row, column))
            ++column;
        if (column + columns > SectionColumns) {
            ++row;
            column = 0;
        }
    }
    m_sections->addWidget(section, row, column, 1, columns);
}

QLabel *SummaryPanel::addFigure(QGridLayout *grid, const QString &caption, const char *name,
                                const QString &note)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(caption), row, 0);
    QLabel *figure = label(QStringLiteral("0"), 0, true);
    figure->setObjectName(QLatin1String(name));
    figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(figure, row, 1);
    if (!note.isEmpty())
        grid->addWidget(label(note, 0, false, Note), row + 1, 0, 1, grid->columnCount());
    return figure;
}

QWidget *SummaryPanel::fundsTable()
{
    auto *content = new QWidget;
    QGridLayout *grid = figureGrid(content);
    addFigure(grid, QStringLiteral("现金："), "LabCash");
    addFigure(grid, QStringLiteral("存款："), "LabDeposit");
    addFigure(grid, QStringLiteral("投资："), "LabInvest");
    addFigure(grid, QStringLiteral("债权："), "LabCredit");
    auto *rule = new QFrame;
    rule->setFrameShape(QFrame::HLine);
    rule->setStyleSheet(QStringLiteral("color: #dde4da;"));
    grid->addWidget(rule, grid->rowCount(), 0, 1, 2);
    addFigure(grid, QStringLiteral("总资金："), "LabTotalFunds",
              QStringLiteral("现金＋存款＋投资＋债权"));
    addFigure(grid, QStringLiteral("净资金："), "LabNetFunds",
              QStringLiteral("现金＋存款＋债权－负债，不含投资"));
    return content;
}

QWidget *SummaryPanel::debtsTable()
{
    auto *content = new QWidget;
    QGridLayout *grid = figureGrid(content);
    addFigure(grid, QStringLiteral("债务："), "LabDebt");
    addFigure(grid, QStringLiteral("信用卡/花呗欠款："), "LabCardDebt");
    addFigure(grid, QStringLiteral("负债总计："), "LabTotalDebt",
              QStringLiteral("尚未还清的债务和欠款"));
    return content;
}

QWidget *SummaryPanel::incomeTable()
{
    auto *content = new QWidget;
    QGridLayout *grid = figureGrid(content);
    // This month beside all-time: one row a figure, two columns of figures.
    for (const auto &[column, text] :
         {std::pair{1, QStringLiteral("本月")}, std::pair{2, QStringLiteral("累计")}}) {
        QLabel *title = label(text, 0, false, Note);
        title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(title, 0, column);
    }
    const struct
    {
        QString caption;
        const char *month;
        const char *all;
    } rows[] = {{QStringLiteral("收入："), "LabMonthIncome", "LabIncome"},
                {QStringLiteral("支出："), "LabMonthExpense", "LabExpense"},
                {QStringLiteral("支出占收入百分之："), "LabMonthPercent", "LabPercent"}};
    for (const auto &r : rows) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(r.caption), row, 0);
        for (const auto &[column, name] : {std::pair{1, r.month}, std::pair{2, r.all}}) {
            QLabel *figure = label(QStringLiteral("0"), 0, true);
            figure->setObjectName(QLatin1String(name));
            figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(figure, row, column);
        }
    }
    return content;
}

QWidget *SummaryPanel::monthsChart()
{
    m_chart = new QChart;
    m_chart->setBackgroundVisible(false);
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    auto *series = new QBarSeries;
    m_incomeBars = new QBarSet(QStringLiteral("收入"));
    m_incomeBars->setColor(IncomeColour);
    m_incomeBars->setBorderColor(IncomeColour);
    m_expenseBars = new QBarSet(QStringLiteral("支出"));
    m_expenseBars->setColor(ExpenseColour);
    m_expenseBars->setBorderColor(ExpenseColour);
    series->append(m_incomeBars);
    series->append(m_expenseBars);
    m_chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    auto *y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTickCount(5);
    QFont small = x->labelsFont();
    small.setPointSize(8);
    x->setLabelsFont(small);
    x->setTitleFont(small);
    y->setLabelsFont(small);
    m_chart->addAxis(x, Qt::AlignBottom);
    m_chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    auto *view = new QChartView(m_chart);
    view->setObjectName(QStringLiteral("ChartMonths"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(160);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    view->setStyleSheet(QStringLiteral("background: transparent;"));
    return view;
}

SummaryPanel::Figures SummaryPanel::read(const QDate &today)
{
    Figures f;
    Workspace *dm = Workspace::instance();
    if (!dm || !dm->isOpen())
        return f;
    const QString book = dm->currentBook();
    // Cash and deposits by the accounts' kinds; what cards owe is a liability.
    const AccountKinds::Holdings held = AccountKinds::holdings(book);
    f.cash = held.cash;
    f.deposits = held.deposits;
    f.owed = held.owed;
    // What is outstanding of debts, credits and investments, and all income and
    // expense: from the kept totals, whatever the size of the book.
    const QHash<QString, Money> totals = MonthTotals::byKind(book);
    f.credits = totals.value(QStringLiteral("Debt"));
    f.debts = totals.value(QStringLiteral("Borrow"));
    f.investments = totals.value(QStringLiteral("TTable"));
    f.income = totals.value(QStringLiteral("InTable"));
    f.expense = totals.value(QStringLiteral("OutTable"));
    if (book.isEmpty())
        return f;
    const int startDay = HouseholdMonth::startDay(book);
    const QStringList months = lastMonths(today, startDay);
    const QHash<QString, Money> income = monthSums(EntryTables::Income, book, months, startDay);
    const QHash<QString, Money> expense = monthSums(EntryTables::Expense, book, months, startDay);
    for (const QString &month : months)
        f.months << Month{month, income.value(month), expense.value(month)};
    return f;
}

void SummaryPanel::show(const Figures &f)
{
    // Every figure as "1,234.50"; a negative one in red, as debts always are.
    const auto set = [this](const char *name, Money amount, bool red = false) {
        auto *figure = findChild<QLabel *>(QLatin1String(name));
        figure->setText(amount.toGrouped());
        figure->setStyleSheet(red || amount < Money()
                                  ? QStringLiteral("color: %1;").arg(Negative.name())
                                  : QString());
    };
    set("LabNetWorth", f.netWorth());
    set("LabCash", f.cash);
    set("LabDeposit", f.deposits);
    set("LabInvest", f.investments);
    set("LabCredit", f.credits);
    set("LabTotalFunds", f.totalFunds());
    set("LabNetFunds", f.netFunds());
    set("LabDebt", f.debts, true);
    set("LabCardDebt", f.owed, true);
    set("LabTotalDebt", f.liabilities(), true);
    set("LabIncome", f.income);
    set("LabExpense", f.expense);
    const Month month = f.thisMonth();
    set("LabMonthIncome", month.income);
    set("LabMonthExpense", month.expense);
    findChild<QLabel *>(QStringLiteral("LabPercent"))->setText(percentText(f.expense, f.income));
    findChild<QLabel *>(QStringLiteral("LabMonthPercent"))
        ->setText(percentText(month.expense, month.income));
    showMonths(f.months);
}

void SummaryPanel::showMonths(const QList<Month> &months)
{
    QStringList labels;
    QList<qreal> income, expense;
    double highest = 0, lowest = 0;
    for (const Month &m : months) {
        // "7月"; the heading gives the years.
        labels << QStringLiteral("%1月").arg(m.month.mid(5).toInt());
        income << double(m.income.units()) / Money::Scale;
        expense << double(m.expense.units()) / Money::Scale;
        highest = std::max({highest, income.last(), expense.last()});
        lowest = std::min({lowest, income.last(), expense.last()});
    }
    auto *x = static_cast<QBarCategoryAxis *>(m_chart->axes(Qt::Horizontal).first());
    x->setCategories(labels);
    x->setTitleText(
        months.isEmpty()
            ? QString()
            : QStringLiteral("%1 至 %2").arg(months.first().month, months.last().month));
    auto *y = static_cast<QValueAxis *>(m_chart->axes(Qt::Vertical).first());
    y->setRange(lowest * 1.1, highest > 0 ? highest * 1.1 : 100);
    y->applyNiceNumbers();
    m_incomeBars->remove(0, m_incomeBars->count());
    m_incomeBars->append(income);
    m_expenseBars->remove(0, m_expenseBars->count());
    m_expenseBars->append(expense);
}

QString SummaryPanel::figureText(const QString &objectName) const
{
    const auto *label = findChild<QLabel *>(objectName);
    return label ? label->text() : QString();
}

Budget::Status SummaryPanel::readBudget()
{
    Workspace *dm = Workspace::instance();
    if (!dm || !dm->isOpen() || dm->currentBook().isEmpty() || !Budget::any(dm->currentBook()))
        return {};
    const QString book = dm->currentBook();
    return Budget::status(
        book,
        HouseholdMonth::containing(QDate::currentDate(), HouseholdMonth::startDay(book)).label);
}

void SummaryPanel::showBudget(const Budget::Status &status)
{
    QGridLayout *grid = refill(m_budget, !status.lines.empty());
    if (status.lines.empty())
        return;
    const auto place = [grid](QWidget *widget, int row, int column) {
        placeShown(grid, widget, row, column);
    };
    place(label(status.month, 0, false, Note), 0, 0);
    std::vector<Budget::Line> lines = status.lines;
    lines.push_back(status.total());
    for (int i = 0; i < int(lines.size()); ++i) {
        const Budget::Line &line = lines[std::size_t(i)];
        const bool over = line.left() < Money();
        place(label(line.name, 0, i + 1 == int(lines.size())), i + 1, 0);
        auto *bar = new QProgressBar;
        bar->setObjectName(QStringLiteral("BarBudget%1").arg(i));
        bar->setRange(0, 1000);
        bar->setValue(int(std::clamp<std::int64_t>(line.used() / (Money::Scale / 1000), 0, 1000)));
        bar->setFormat(::Figures::percent(line.used()));
        bar->setFixedWidth(160);
        if (over)
            bar->setStyleSheet(QStringLiteral("QProgressBar { text-align: center; } "
                                              "QProgressBar::chunk { background: %1; }")
                                   .arg(Negative.name()));
        place(bar, i + 1, 1);
        QLabel *figures =
            label(QStringLiteral("已用 %1 / %2　剩余 %3")
                      .arg(::Figures::money(line.spent), ::Figures::money(line.available()),
                           ::Figures::money(line.left())),
                  0, false, over ? Negative : QColor());
        figures->setObjectName(QStringLiteral("LabBudget%1").arg(i));
        place(figures, i + 1, 2);
    }
    grid->setColumnStretch(3, 1);
}

SummaryPanel::Dues SummaryPanel::readDue()
{
    Workspace *dm = Workspace::instance();
    if (!dm || !dm->isOpen() || dm->currentBook().isEmpty())
        return {};
    const QString book = dm->currentBook();
    Dues dues;
    dues.anySchedule = !Recurring::schedules(book).empty();
    if (dues.anySchedule)
        dues.due = Recurring::due(book, QDate::currentDate());
    return dues;
}

void SummaryPanel::showDue(const Dues &dues)
{
    QGridLayout *grid = refill(m_due, dues.anySchedule);
    if (!dues.anySchedule)
        return;
    const auto place = [grid](QWidget *widget, int row, int column, int span = 1) {
        placeShown(grid, widget, row, column, span);
    };
    const int count = int(dues.due.size());
    if (count == 0) {
        place(label(QStringLiteral("今天没有待记帐的周期记帐。"), 0, false, Note), 0, 0, 3);
        return;
    }
    const QDate today = QDate::currentDate();
    for (int i = 0; i < std::min(count, DueLines); ++i) {
        const Recurring::Due &due = dues.due[std::size_t(i)];
        // Days already past are red: they were missed.
        place(label(isoDate(due.occurrence.date), 0, false,
                    due.occurrence.date < today ? Negative : Note),
              i, 0);
        place(new QLabel(dueText(due.schedule)), i, 1);
        QLabel *amount = label((due.schedule.estimate ? QStringLiteral("约 ") : QString()) +
                               ::Figures::money(due.schedule.amount));
        amount->setObjectName(QStringLiteral("LabDue%1").arg(i));
        amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        place(amount, i, 2);
    }
    int row = std::min(count, DueLines);
    if (count > DueLines)
        place(label(QStringLiteral("还有 %1 笔").arg(count - DueLines), 0, false, Note), row++, 0,
              3);
    auto *go = new QPushButton(QStringLiteral("去记帐(&J)…"));
    go->setObjectName(QStringLiteral("ButDue"));
    connect(go, &QPushButton::clicked, this, &SummaryPanel::dueRequested);
    placeShown(grid, go, row, 0, 3, Qt::AlignRight);
}

QGridLayout *SummaryPanel::refill(QWidget *lines, bool shown)
{
    qDeleteAll(lines->findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
    lines->parentWidget()->setVisible(shown);
    m_plans->setVisible(!m_budget->parentWidget()->isHidden() ||
                        !m_due->parentWidget()->isHidden());
    return static_cast<QGridLayout *>(lines->layout());
}
