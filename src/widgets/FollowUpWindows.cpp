#include "widgets/FollowUpWindows.h"

#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "widgets/AmountValidator.h"
#include "widgets/DatePicker.h"
#include "widgets/DialogTitleBar.h"
#include "widgets/ListModel.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

using namespace FollowUp;

namespace {

QLabel *hiddenLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->hide();
    return label;
}

} // namespace

std::optional<Money> FollowUp::outstanding(const Descriptor &d, const QVariant &entryKey)
{
    const QVariant stored =
        Sql(QStringLiteral("select %1 from %2 where ID=?")
                .arg(QLatin1String(d.kind->outstanding), QLatin1String(d.kind->entry->table)),
            {entryKey})
            .scalar();
    if (!stored.isValid())
        return std::nullopt;
    return Money::fromVariant(stored);
}

bool FollowUp::hasRecords(const Descriptor &d, const QVariant &entryKey)
{
    return Sql(QStringLiteral("select ID from %1 where %2=? limit 1")
                   .arg(QLatin1String(d.kind->table), QLatin1String(d.kind->entryKey)),
               {entryKey})
        .hasRows();
}

FollowUpDialog::FollowUpDialog(const Descriptor &d, EntryWindow *owner, const QVariant &entryKey)
    : QDialog(owner), m_d(d), m_owner(owner), m_entryKey(entryKey)
{
    setObjectName(d.recordClass);
    setWindowTitle(d.recordCaption);
    setDialogTitleBar(this, d.closeBoxOnly);

    auto *group = new QGroupBox(d.recordCaption, this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    const auto addRow = [grid](const QString &label, QWidget *input) {
        const int row = grid->rowCount();
        auto *caption = new QLabel(label);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setBuddy(input);
        grid->addWidget(caption, row, 0);
        grid->addWidget(input, row, 1);
    };

    m_date = makeDatePicker(this, QStringLiteral("DateTimePicker1"));
    addRow(d.dateLabel, m_date);
    std::optional<Money> owed;
    try {
        owed = outstanding(d, entryKey);
    } catch (const DbError &) {
        // Said when the follow-up is recorded.
    }
    const Money shown = owed.value_or(Money());
    for (const Amount &a : d.amounts) {
        auto *box = new QLineEdit(a.initial.isEmpty() ? shown.toEditable() : a.initial, this);
        box->setObjectName(QStringLiteral("Edit%1").arg(m_amounts.size() + 1));
        box->setValidator(new AmountValidator(box));
        addRow(a.name + QStringLiteral("："), box);
        m_amounts.push_back(box);
    }
    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("DBLookupComboBox1"));
    makeSearchable(m_account);
    addRow(QStringLiteral("帐户名称："), m_account);
    m_member = new QComboBox(this);
    m_member->setObjectName(QStringLiteral("DBLookupComboBox2"));
    makeSearchable(m_member);
    addRow(QStringLiteral("家庭成员："), m_member);
    m_remark = new QLineEdit(this);
    m_remark->setObjectName(QStringLiteral("Edit%1").arg(m_amounts.size() + 1));
    m_remark->setMaxLength(100);
    addRow(QStringLiteral("备        注："), m_remark);
    try {
        fillLookup(m_account, &Workspace::accounts);
        fillLookup(m_member, &Workspace::members);
        chooseEntrysNames();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    hiddenLabel(this, "LabID", entryKey.toString());
    hiddenLabel(this, "LabOld", shown.toEditable());

    auto *record = new QPushButton(d.recordCaption + QStringLiteral("（&G）"), this);
    record->setObjectName(QStringLiteral("BitBtn1"));
    record->setDefault(true);
    auto *exit = new QPushButton(QStringLiteral("退出（&X）"), this);
    exit->setObjectName(QStringLiteral("BitBtn2"));
    connect(record, &QPushButton::clicked, this, &FollowUpDialog::saveRecord);
    connect(exit, &QPushButton::clicked, this, &FollowUpDialog::closeDialog);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(record);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumWidth(400);
    // What the user types first is the amount; it offers all that is outstanding.
    m_amounts.front()->setFocus();
    m_amounts.front()->selectAll();
}

void FollowUpDialog::chooseEntrysNames()
{
    // Most often the money goes through the account, and the hands, of the entry.
    QSqlQuery entry = Sql(QStringLiteral("select AName,FName from %1 where ID=?")
                              .arg(QLatin1String(m_d.kind->entry->table)),
                          {m_entryKey})
                          .exec();
    if (!entry.next())
        return;
    m_account->setCurrentIndex(m_account->findText(entry.value(0).toString()));
    m_member->setCurrentIndex(m_member->findText(entry.value(1).toString()));
}

bool FollowUpDialog::checkAmount(const Amount &a, QLineEdit *box, Money outstanding)
{
    const QString text = box->text().trimmed();
    const std::optional<Money> amount = Money::parse(text);
    QString message;
    for (Check check : a.checks) {
        if (check == Check::Empty && text.isEmpty())
            message = a.name + QStringLiteral(" 不能为空！");
        else if (!text.isEmpty() && !amount)
            message = Money::refusal(text, a.name);
        else if (check == Check::NotAboveOutstanding && amount && *amount > outstanding)
            message =
                a.name + QStringLiteral(" 不能大于") + m_d.outstandingName + QStringLiteral("！");
        else if (check == Check::AboveZero && amount && *amount <= Money())
            message = a.name + QStringLiteral(" 不能小于或等于零！");
        if (!message.isEmpty())
            break;
    }
    if (message.isEmpty())
        return true;
    Msg::plain(this, message);
    box->setFocus();
    return false;
}

bool FollowUpDialog::runChecks(Money outstanding)
{
    for (std::size_t i = 0; i < m_amounts.size(); ++i)
        if (!checkAmount(m_d.amounts[i], m_amounts[i], outstanding))
            return false;
    for (const auto &[list, name] :
         {std::pair{m_account, "帐户名称"}, std::pair{m_member, "家庭成员"}}) {
        if (list->currentText().isEmpty()) {
            Msg::plain(this, QStringLiteral("请选择 %1！").arg(QString::fromUtf8(name)));
            list->setFocus();
            return false;
        }
    }
    return true;
}

void FollowUpDialog::write() const
{
    QVariantMap record{{QStringLiteral("RDate"), isoDate(m_date->date())},
                       {QStringLiteral("AName"), m_account->currentText()},
                       {QStringLiteral("FName"), m_member->currentText()},
                       {QStringLiteral("Remark"), m_remark->text()}};
    for (std::size_t i = 0; i < m_amounts.size(); ++i)
        record[QLatin1String(m_d.kind->amounts[i])] =
            Money::parse(m_amounts[i]->text()).value_or(Money()).toVariant();
    Ledger ledger(m_owner ? m_owner->book() : QString());
    ledger.setWindow(m_d.recordCaption);
    ledger.recordFollowUp(*m_d.kind, m_entryKey, record);
    ledger.commit();
}

void FollowUpDialog::saveRecord()
{
    try {
        // The figure to compare with is the stored one: another window may have
        // recorded a follow-up or deleted the entry since this dialog opened.
        const std::optional<Money> owed = outstanding(m_d, m_entryKey);
        if (!owed)
            throw DbError(Maintenance::rowGoneMessage());
        if (!runChecks(*owed))
            return;
        write();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    accept();
}

void FollowUpDialog::closeDialog()
{
    reject();
}

namespace {

List::Descriptor recordsList(const Descriptor &d)
{
    std::vector<List::Column> columns{{"RDate", d.dateTitle}};
    for (std::size_t i = 0; i < d.amounts.size(); ++i)
        columns.push_back(
            {QLatin1String(d.kind->amounts[i]), d.amounts[i].name, List::Kind::Money});
    for (const auto &[name, alias] : {std::pair{"AName", "帐户名称"},
                                      std::pair{"FName", "家庭成员"}, std::pair{"Remark", "备注"}})
        columns.push_back({QLatin1String(name), QString::fromUtf8(alias)});
    return {.className = d.listClass,
            .caption = d.listCaption,
            .table = QLatin1String(d.kind->table),
            .columns = std::move(columns),
            .perBook = false,
            .orderBy = d.dateTitle + QStringLiteral(" desc, ID desc"),
            .columnWidth = 100};
}

} // namespace

void FollowUp::execModal(QWidget *window)
{
    const std::unique_ptr<QWidget> owned(window);
    if (auto *dialog = qobject_cast<QDialog *>(window)) {
        dialog->exec();
        return;
    }
    auto *list = qobject_cast<FollowUpListWindow *>(window);
    Q_ASSERT(list);
    QEventLoop loop;
    QObject::connect(list, &FollowUpListWindow::closed, &loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    if (QWidget *over = window->parentWidget())
        window->move(over->window()->geometry().center() - window->rect().center());
    window->show();
    loop.exec();
}

FollowUpListWindow::FollowUpListWindow(const Descriptor &d, EntryWindow *owner,
                                       const QVariant &entryKey)
    : ListWindow(recordsList(d), owner), m_d(d), m_owner(owner), m_entryKey(entryKey)
{
    // A window of its own over the entry window, not a part of it.
    setDialogTitleBar(this, d.closeBoxOnly);
    hiddenLabel(this, "LabID", entryKey.toString());
    // Only this entry's records.
    setFilterCondition(
        Condition(QStringLiteral(" and %1=?").arg(QLatin1String(d.kind->entryKey)), {entryKey}));
    grid()->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *remove = new QAction(QStringLiteral("删除 &D"), grid());
    remove->setObjectName(QStringLiteral("D1"));
    connect(remove, &QAction::triggered, this, &FollowUpListWindow::deleteRecord);
    grid()->addAction(remove);
    // The menu's item as a button too, where it is seen.
    m_butDel = addButton("ButDel", QStringLiteral("删除（&D）"), [this] { deleteRecord(); });
    resize(720, 320);
    readRecords();
}

void FollowUpListWindow::readRecords()
{
    if (!m_entryKey.isNull())
        reload();
}

void FollowUpListWindow::currentRowChanged()
{
    if (m_butDel)
        m_butDel->setEnabled(!currentKey().isNull());
}

void FollowUpListWindow::closeEvent(QCloseEvent *event)
{
    ListWindow::closeEvent(event);
    emit closed();
}

void FollowUpListWindow::deleteRecord()
{
    const QVariant recordKey = currentKey();
    if (recordKey.isNull())
        return; // no records: nothing to delete
    const int row = currentRow();
    const QString named = QStringLiteral("这条%1（%2，%3）")
                              .arg(m_d.listCaption, model()->text(row, m_d.dateTitle),
                                   model()->text(row, m_d.amounts.front().name));
    if (!Msg::confirmDelete(this, named))
        return;
    try {
        Ledger ledger(m_owner ? m_owner->book() : QString());
        ledger.setWindow(m_d.listCaption);
        ledger.removeFollowUp(*m_d.kind, m_entryKey, recordKey);
        ledger.commit();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    readRecords();
}
