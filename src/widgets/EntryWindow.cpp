#include "widgets/EntryWindow.h"

#include "data/TfrmDM.h"

#include <QDateEdit>
#include <QDialog>
#include <QSqlQuery>
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
                                      const QString &alias)
{
    return {.name = name,
            .label = label,
            .alias = alias,
            .kind = Maintenance::FieldKind::Amount,
            .required = true};
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
      m_filter(descriptor.filter)
{
    // Today on opening; afterwards a new entry starts from the previous one's date.
    for (const Maintenance::Field &f : this->descriptor().fields)
        if (f.kind == Maintenance::FieldKind::Date)
            static_cast<QDateEdit *>(control(f.input))->setDate(QDate::currentDate());
}

EntryWindow::Movements EntryWindow::enteredMovements() const
{
    Movements out;
    for (const Leg &leg : m_legs)
        out.push_back({fieldAmount(leg.amountAlias), fieldText(leg.accountAlias), leg.direction});
    return out;
}

EntryWindow::Movements EntryWindow::storedMovements() const
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
        const Money amount = Money::fromVariant(stored.value(column++));
        out.push_back({amount, stored.value(column++).toString(), leg.direction});
    }
    return out;
}

void EntryWindow::apply(const Movements &movements)
{
    const TfrmDM *dm = TfrmDM::instance();
    for (const Movement &m : movements) {
        if (m.direction == Direction::Raises)
            dm->AccountUp(m.amount, m.account);
        else
            dm->AccountDown(m.amount, m.account);
    }
}

void EntryWindow::undo(const Movements &movements)
{
    Movements reversed = movements;
    for (Movement &m : reversed)
        m.direction = m.direction == Direction::Raises ? Direction::Lowers : Direction::Raises;
    apply(reversed);
}

void EntryWindow::writeAlongside(Mode mode)
{
    if (mode == Mode::Edit)
        undo(storedMovements());
    apply(enteredMovements());
}

void EntryWindow::deleteAlongside()
{
    undo(storedMovements());
}

void EntryWindow::ButQueryClick()
{
    if (!m_filter)
        return;
    const std::unique_ptr<QDialog> dialog(m_filter(this, this));
    dialog->exec();
}
