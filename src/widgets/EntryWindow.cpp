#include "widgets/EntryWindow.h"

#include "core/ledger/Workspace.h"
#include "data/Dates.h"
#include "widgets/FollowUpWindows.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QPushButton>
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
                     &Workspace::members, required);
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
        // Columns fit their titles and first rows (amounts 100 px), 备注 takes the rest.
        .columnWidth = 100,
        .rereadAfterEdit = true,
        .queryButton = true,
    };
}

EntryWindow::EntryWindow(const Descriptor &descriptor, QWidget *parent)
    : MaintenanceWindow(maintenance(descriptor), parent), m_kind(*descriptor.kind),
      m_filter(descriptor.filter), m_followUp(descriptor.followUp)
{
    prepareNewRow();
    buildPopupMenu(descriptor.rowActions);
    if (m_followUp)
        buildFollowUpButtons();
}

void EntryWindow::buildFollowUpButtons()
{
    // The pop-up menu's two items as buttons too, where they are seen. Alt+R is
    // the main menu's 报表中心: the record button takes G.
    m_butRecord = addPanelButton("ButRecord", m_followUp->recordCaption + QStringLiteral("（&G）"),
                                 [this] { recordFollowUp(); });
    m_butRecords = addPanelButton("ButRecords", m_followUp->listCaption + QStringLiteral("（&V）"),
                                  [this] { listFollowUps(); });
}

void EntryWindow::rowActionsChanged(bool onRow)
{
    if (!m_butRecord)
        return;
    // Nothing is left to record on an entry whose outstanding figure is 0.
    const Money outstanding =
        Money::fromVariant(model()->value(currentRow(), m_followUp->outstandingName));
    m_butRecord->setEnabled(onRow && !outstanding.isZero());
    m_butRecords->setEnabled(onRow);
}

void EntryWindow::buildPopupMenu(const std::vector<Entry::RowAction> &actions)
{
    if (!m_followUp && actions.empty())
        return;
    QTableView *grid = this->grid();
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto addItem = [&](const char *name, const QString &text,
                             void (EntryWindow::*handler)()) {
        auto *item = new QAction(text, grid);
        item->setObjectName(QLatin1String(name));
        connect(item, &QAction::triggered, this, handler);
        grid->addAction(item);
    };
    if (m_followUp) {
        addItem("R1", m_followUp->recordCaption + QStringLiteral(" &R"),
                &EntryWindow::recordFollowUp);
        addItem("V1", m_followUp->listCaption + QStringLiteral(" &V"), &EntryWindow::listFollowUps);
    }
    for (const Entry::RowAction &action : actions) {
        auto *item = new QAction(action.text, grid);
        item->setObjectName(QLatin1String(action.name));
        connect(item, &QAction::triggered, this, [this, act = action.act] {
            if (mode() == Mode::Browse && !currentKey().isNull())
                act(this, descriptor().table, currentKey());
        });
        grid->addAction(item);
    }
}

void EntryWindow::prepareNewRow()
{
    for (const Maintenance::Field &f : descriptor().fields) {
        if (f.kind == Maintenance::FieldKind::Date) {
            static_cast<QDateEdit *>(control(f.input))->setDate(QDate::currentDate());
        } else if (f.kind == Maintenance::FieldKind::Combo) {
            auto *list = static_cast<QComboBox *>(control(f.input));
            list->setCurrentIndex(list->findText(m_savedChoices.value(f.input)));
        }
    }
}

QVariant EntryWindow::storeRow(Mode mode, const QVariantMap &row)
{
    Ledger ledger(book());
    ledger.setWindow(descriptor().caption);
    const QVariant key = mode == Mode::New ? ledger.save(m_kind, row) : currentKey();
    if (mode == Mode::Edit)
        ledger.saveEdit(m_kind, key, row);
    ledger.commit();
    for (const Maintenance::Field &f : descriptor().fields)
        if (f.kind == Maintenance::FieldKind::Combo)
            m_savedChoices[f.input] = static_cast<QComboBox *>(control(f.input))->currentText();
    return key;
}

bool EntryWindow::extraChecks(Mode mode)
{
    // A negative amount or a date more than a year ahead is more often a slip of
    // the keyboard than meant: asked once, unless an edit keeps what was stored.
    const QDate aYearAhead = QDate::currentDate().addYears(1);
    QStringList doubts;
    const Maintenance::Field *first = nullptr;
    for (const Maintenance::Field &f : descriptor().fields) {
        const QString text = fieldText(f.alias);
        const QString stored =
            mode == Mode::Edit ? model()->editText(currentRow(), f.alias) : QString();
        QString doubt;
        if (f.kind == Maintenance::FieldKind::Amount && fieldAmount(f.alias) < Money() &&
            Money::parse(stored) != fieldAmount(f.alias))
            doubt = QStringLiteral("%1是负数：%2").arg(f.alias, fieldAmount(f.alias).toShown());
        else if (f.kind == Maintenance::FieldKind::Date && text != stored &&
                 QDate::fromString(text, dateFormat()) > aYearAhead)
            doubt = QStringLiteral("%1在一年以后：%2").arg(f.alias, text);
        if (doubt.isEmpty())
            continue;
        doubts << doubt;
        if (!first)
            first = &f;
    }
    if (!first)
        return true;
    if (Msg::ask(this, Msg::programTitle(),
                 doubts.join(QStringLiteral("；\n")) + QStringLiteral("。\n确定要保存吗？"),
                 QMessageBox::No))
        return true;
    focusField(*first);
    return false;
}

void EntryWindow::removeRow(const QVariant &key)
{
    Ledger ledger(book());
    ledger.setWindow(descriptor().caption);
    ledger.remove(m_kind, key);
    ledger.commit();
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

void EntryWindow::recordFollowUp()
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

void EntryWindow::listFollowUps()
{
    const QVariant key = currentKey();
    if (!m_followUp || mode() != Mode::Browse || key.isNull())
        return;
    FollowUp::execModal(m_followUp->makeList(this, key));
}

void EntryWindow::openFilter()
{
    if (!m_filter)
        return;
    const std::unique_ptr<QDialog> dialog(m_filter(this, this));
    dialog->exec();
}
