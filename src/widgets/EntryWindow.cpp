#include "widgets/EntryWindow.h"

#include "data/TfrmDM.h"
#include "widgets/FollowUpWindows.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QSqlQuery>
#include <QTableView>
#include <memory>

using namespace Entry;

Maintenance::Field Entry::dateField(const QString &label, const QString &alias)
{
    return {.name = QStringLiteral("DBEdit1"),
            .label = label,
            .alias = alias,
            .kind = Maintenance::FieldKind::Date,
            .input = QStringLiteral("DateTimePicker1")};
}

Maintenance::Field Entry::listField(const QString &name, const QString &label, const QString &alias,
                                    const QString &input, Maintenance::Feeder feeder, bool required)
{
    return {.name = name,
            .label = label,
            .alias = alias,
            .kind = Maintenance::FieldKind::Combo,
            .required = required,
            .input = input,
            .feeder = feeder};
}

Maintenance::Field Entry::amountField(const QString &name, const QString &label,
                                      const QString &alias, const QString &emptyText)
{
    return {.name = name,
            .label = label,
            .alias = alias,
            .kind = Maintenance::FieldKind::Amount,
            .required = true,
            .emptyText = emptyText};
}

Maintenance::Field Entry::memberField(const QString &name, const QString &input, bool required)
{
    return listField(name, QStringLiteral("家庭成员："), QStringLiteral("家庭成员"), input,
                     &TfrmDM::DBComFamily, required);
}

Maintenance::Field Entry::remarkField(const QString &name)
{
    return {.name = name,
            .label = QStringLiteral("备        注："),
            .alias = QStringLiteral("备注"),
            .maxLength = 100};
}

void Entry::moveBalance(Money amount, const QString &account, Direction direction)
{
    const TfrmDM *dm = TfrmDM::instance();
    if (direction == Direction::Raises)
        dm->AccountUp(amount, account);
    else
        dm->AccountDown(amount, account);
}

Direction Entry::opposite(Direction direction)
{
    return direction == Direction::Raises ? Direction::Lowers : Direction::Raises;
}

Maintenance::Descriptor Entry::maintenance(const Descriptor &d)
{
    std::vector<Maintenance::Column> columns{{"BName", "帐薄名称", List::Kind::Hidden}};
    columns.insert(columns.end(), d.columns.begin(), d.columns.end());
    QString dateAlias;
    for (const Maintenance::Column &c : d.columns)
        if (c.name == d.dateColumn)
            dateAlias = c.alias;
    return {
        .className = d.className,
        .caption = d.caption,
        .panelTitle = d.panelTitle,
        .table = d.table,
        .columns = std::move(columns),
        .fields = d.fields,
        .pinyin = false,
        .duplicateTest = false,
        .modifyCaption = QStringLiteral("修改（&E）"),
        // Of one date, the latest entered comes first.
        .orderBy = dateAlias + QStringLiteral(" desc, ID desc"),
        // Six columns fit beside each other.
        .columnWidth = 120,
        .rereadAfterEdit = true,
        .queryButton = true,
        .refreshSummaryOnClose = true,
    };
}

EntryWindow::EntryWindow(const Descriptor &descriptor, QWidget *parent)
    : MaintenanceWindow(maintenance(descriptor), parent), m_legs(descriptor.legs),
      m_filter(descriptor.filter), m_followUp(descriptor.followUp)
{
    // Today on opening; afterwards a new entry starts from the previous one's date.
    for (const Maintenance::Field &f : this->descriptor().fields)
        if (f.kind == Maintenance::FieldKind::Date)
            static_cast<QDateEdit *>(control(f.input))->setDate(QDate::currentDate());
    if (m_followUp)
        buildPopupMenu();
}

void EntryWindow::buildPopupMenu()
{
    QTableView *grid = this->grid();
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto addItem = [&](const char *name, const QString &text,
                             void (EntryWindow::*handler)()) {
        auto *item = new QAction(text, grid);
        item->setObjectName(QLatin1String(name));
        connect(item, &QAction::triggered, this, handler);
        grid->addAction(item);
    };
    addItem("R1", m_followUp->recordCaption + QStringLiteral(" &R"), &EntryWindow::R1Click);
    addItem("V1", m_followUp->listCaption + QStringLiteral(" &V"), &EntryWindow::V1Click);
}

EntryWindow::Movements EntryWindow::enteredMovements(Money settled) const
{
    Movements out;
    for (const Leg &leg : m_legs)
        out.push_back(
            {fieldAmount(leg.amountAlias) + settled, fieldText(leg.accountAlias), leg.direction});
    return out;
}

EntryWindow::Movements EntryWindow::storedMovements(Money settled) const
{
    QStringList columns;
    for (const Leg &leg : m_legs)
        columns << columnOf(leg.amountAlias) << columnOf(leg.accountAlias);
    QSqlQuery stored = Sql(QStringLiteral("select %1 from %2 where ID=?")
                               .arg(columns.join(QLatin1Char(',')), descriptor().table),
                           {currentKey()})
                           .exec();
    if (!stored.next())
        throw DbError(Maintenance::rowGoneMessage());
    Movements out;
    int column = 0;
    for (const Leg &leg : m_legs) {
        const Money amount = Money::fromVariant(stored.value(column++)) + settled;
        out.push_back({amount, stored.value(column++).toString(), leg.direction});
    }
    return out;
}

void EntryWindow::apply(const Movements &movements)
{
    for (const Movement &m : movements)
        moveBalance(m.amount, m.account, m.direction);
}

void EntryWindow::undo(const Movements &movements)
{
    for (const Movement &m : movements)
        moveBalance(m.amount, m.account, opposite(m.direction));
}

Money EntryWindow::settled() const
{
    return m_followUp ? FollowUp::settled(*m_followUp, currentKey()) : Money();
}

// An entry with follow-ups moved its whole first amount: what is outstanding and
// what its follow-ups settled. An edit that moves it to another account moves all
// of that, so that the old account keeps nothing no row explains; on the same
// account only the change of the outstanding figure moves.
void EntryWindow::writeAlongside(Mode mode)
{
    Money alreadySettled;
    if (mode == Mode::Edit) {
        alreadySettled = settled();
        undo(storedMovements(alreadySettled));
    }
    apply(enteredMovements(alreadySettled));
}

void EntryWindow::deleteAlongside()
{
    undo(storedMovements(settled()));
}

bool EntryWindow::mayDelete()
{
    if (!m_followUp)
        return true;
    try {
        if (!FollowUp::hasRecords(*m_followUp, currentKey()))
            return true;
        Msg::plain(this, m_followUp->deleteRefused);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    return false;
}

void EntryWindow::R1Click()
{
    const QVariant key = currentKey();
    if (!m_followUp || mode() != Mode::Browse || key.isNull())
        return;
    try {
        // Read by key: another window may have changed or deleted the entry.
        const std::optional<Money> owed = FollowUp::outstanding(*m_followUp, key);
        if (!owed)
            throw DbError(Maintenance::rowGoneMessage());
        if (owed->isZero())
            return; // nothing left to settle
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    FollowUp::execModal(m_followUp->makeRecord(this, key));
}

void EntryWindow::V1Click()
{
    const QVariant key = currentKey();
    if (!m_followUp || mode() != Mode::Browse || key.isNull())
        return;
    FollowUp::execModal(m_followUp->makeList(this, key));
}

void EntryWindow::ButQueryClick()
{
    if (!m_filter)
        return;
    const std::unique_ptr<QDialog> dialog(m_filter(this, this));
    dialog->exec();
}
