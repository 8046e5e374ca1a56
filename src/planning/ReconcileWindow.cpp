#include "planning/ReconcileWindow.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/Dates.h"
#include "widgets/AmountValidator.h"
#include "widgets/DatePicker.h"
#include "widgets/ListModel.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Reconciliation;

namespace {

const QString Caption = QStringLiteral("对帐");
const QString Ticked = QStringLiteral("✓");

List::Descriptor reconcileList()
{
    using K = List::Kind;
    return {.className = QStringLiteral("TfrmReconcile"),
            .caption = Caption,
            .columns = {{"", "勾选", K::Text, 50},
                        {"", "日期", K::Text, 100},
                        {"", "类型", K::Text, 70},
                        {"", "类别/对方", K::Text, 130},
                        {"", "金额", K::Money, 110},
                        {"", "备注"}},
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 120,
            .gridTitle = QStringLiteral("上次对帐以来的记录（已在银行出现的打勾）"),
            .gridPanel = QStringLiteral("Panel2")};
}

std::vector<List::Column> historyColumns()
{
    using K = List::Kind;
    return {{"RDate", "对帐日期", K::Text, 100},
            {"Bank", "银行余额", K::Money, 120},
            {"Own", "本帐余额", K::Money, 120},
            {"Bank-Own", "差额", K::Money, 120},
            {"ID", "ID", K::Hidden}};
}

} // namespace

ReconcileWindow::ReconcileWindow(QWidget *parent) : ListWindow(reconcileList(), parent)
{
    addAboveGrid(buildConditions());
    m_history =
        addList(QStringLiteral("DBGrid2"), Qt::Vertical, {3, 2}, QStringLiteral("对帐记录"));
    m_tick = addButton("ButTick", QStringLiteral("勾选/取消（&T）"), [this] { toggleTick(); });
    m_book = addButton("ButBook", QStringLiteral("平帐并记录（&B）"),
                       [this] { recordReconciliation(); });
    connect(grid(), &QTableView::doubleClicked, this, &ReconcileWindow::toggleTick);
    connect(m_account, &QComboBox::currentTextChanged, this, &ReconcileWindow::readHistory);
    load();
}

QWidget *ReconcileWindow::buildConditions()
{
    auto *box = new QGroupBox(QStringLiteral("对帐条件"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    auto *row = new QHBoxLayout;
    m_account = new QComboBox(box);
    m_account->setObjectName(QStringLiteral("DBLookupComboBox1"));
    m_account->setMinimumWidth(150);
    makeSearchable(m_account);
    Msg::guarded(this, [this] { fillLookup(m_account, &Workspace::accounts); });
    m_date = makeDatePicker(box, QStringLiteral("DateTimePicker1"));
    m_bank = new QLineEdit(box);
    m_bank->setObjectName(QStringLiteral("Edit1"));
    m_bank->setValidator(new AmountValidator(m_bank));
    m_bank->setMinimumWidth(130);
    auto *compare = new QPushButton(QStringLiteral("对照（&R）"), box);
    compare->setObjectName(QStringLiteral("BitBtn1"));
    compare->setDefault(true);
    connect(compare, &QPushButton::clicked, this, &ReconcileWindow::compare);
    row->addWidget(new QLabel(QStringLiteral("帐户："), box));
    row->addWidget(m_account);
    row->addWidget(new QLabel(QStringLiteral("日期："), box));
    row->addWidget(m_date);
    row->addWidget(new QLabel(QStringLiteral("银行（或支付软件）显示的余额："), box));
    row->addWidget(m_bank);
    row->addWidget(compare);
    row->addStretch(1);
    m_figures = new QLabel(QStringLiteral("选择帐户和日期，填入银行显示的余额，再按“对照”。"), box);
    m_figures->setObjectName(QStringLiteral("LabFigures"));
    m_figures->setWordWrap(true);
    auto *column = new QVBoxLayout(box);
    column->addLayout(row);
    column->addWidget(m_figures);
    return box;
}

void ReconcileWindow::load()
{
    showMovements();
    readHistory();
}

std::optional<Money> ReconcileWindow::bankBalance()
{
    const QString text = m_bank->text();
    QString refusal = text.trimmed().isEmpty() ? QStringLiteral("银行余额不能为空！请重新录入！")
                                               : Money::refusal(text, QStringLiteral("银行余额"));
    if (refusal.isEmpty())
        return Money::parse(text);
    Msg::plain(this, refusal);
    m_bank->setFocus();
    return std::nullopt;
}

void ReconcileWindow::compare()
{
    if (m_account->currentText().isEmpty()) {
        Msg::plain(this, QStringLiteral("请选择 帐户！"));
        m_account->setFocus();
        return;
    }
    const std::optional<Money> bank = bankBalance();
    if (!bank)
        return;
    const QString account = m_account->currentText();
    const QDate day = m_date->date();
    const bool read = Msg::guarded(this, [&] {
        m_own = balanceAt(book(), account, day);
        m_movements = movements(book(), account, lastReconciled(book(), account), day);
    });
    if (!read)
        return;
    m_shownAccount = account;
    m_shownDate = day;
    m_shownBank = *bank;
    m_unticked.clear();
    showMovements();
    readHistory();
}

void ReconcileWindow::showMovements()
{
    QList<QVariantList> rows;
    for (int i = 0; i < int(m_movements.size()); ++i) {
        const Movement &m = m_movements[std::size_t(i)];
        rows << QVariantList{m_unticked.contains(i) ? QString() : Ticked,
                             m.date,
                             m.kind,
                             m.name,
                             m.amount.toVariant(),
                             m.remark};
    }
    const int row = currentRow();
    showRows(rows);
    goToRow(std::max(row, 0));
    showFigures();
}

Money ReconcileWindow::unticked() const
{
    Money sum;
    for (const int i : m_unticked)
        sum += m_movements[std::size_t(i)].amount;
    return sum;
}

void ReconcileWindow::showFigures()
{
    const bool compared = !m_shownAccount.isEmpty();
    m_tick->setEnabled(compared && !m_movements.empty());
    m_book->setEnabled(compared);
    if (!compared)
        return;
    const QDate last = lastReconciled(book(), m_shownAccount);
    m_figures->setText(
        QStringLiteral("%1 在 %2 的余额：本帐 %3，银行 %4，相差 %5。　未勾选合计 %6，需平帐 %7。"
                       "　上次对帐：%8")
            .arg(m_shownAccount, isoDate(m_shownDate), m_own.toGrouped(), m_shownBank.toGrouped(),
                 (m_shownBank - m_own).toGrouped(), unticked().toGrouped(),
                 remaining(m_shownBank, m_own, unticked()).toGrouped(),
                 last.isValid() ? isoDate(last) : QStringLiteral("从未对帐")));
}

void ReconcileWindow::readHistory()
{
    std::vector<List::Column> columns = historyColumns();
    List::Query query = List::listing(columns, QStringLiteral("Reconcile"));
    query.select.add(QStringLiteral(" where BName=? and AName=?"),
                     {book(), m_account->currentText()});
    query.order = QStringLiteral("对帐日期 desc, ID desc");
    Msg::guarded(this, [&] { m_history.model->setQuery(query); });
    List::showColumns(m_history.grid, m_history.model, columns);
}

void ReconcileWindow::toggleTick()
{
    const int row = currentRow();
    if (row < 0 || row >= int(m_movements.size()))
        return;
    if (!m_unticked.remove(row))
        m_unticked.insert(row);
    showMovements();
}

void ReconcileWindow::recordReconciliation()
{
    if (m_shownAccount.isEmpty())
        return;
    const Money left = remaining(m_shownBank, m_own, unticked());
    if (!left.isZero()) {
        const QString text =
            QStringLiteral("%1 在 %2 还差 %3。\n要记一笔“%4”%5 %6 吗？")
                .arg(m_shownAccount, isoDate(m_shownDate), left.toGrouped(),
                     Ledger::adjustmentName(),
                     left > Money() ? QStringLiteral("收入") : QStringLiteral("支出"),
                     (left > Money() ? left : -left).toGrouped());
        if (!Msg::ask(this, Caption, text, QMessageBox::Yes))
            return;
    }
    if (!Msg::guarded(this, [&] {
            record(book(), m_shownAccount, m_shownDate, m_shownBank, m_own, left, Caption);
        }))
        return;
    Msg::plain(this, left.isZero() ? QStringLiteral("余额相符，已记录这次对帐。")
                                   : QStringLiteral("已记平帐，并记录这次对帐。"));
    m_shownAccount.clear();
    m_movements.clear();
    m_unticked.clear();
    m_figures->setText(QStringLiteral("这次对帐已记录。"));
    showMovements();
    readHistory();
}
