#include "planning/ScheduleWindows.h"

#include "core/ledger/Workspace.h"
#include "data/Dates.h"
#include "widgets/AmountValidator.h"
#include "widgets/DatePicker.h"
#include "widgets/ListModel.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVBoxLayout>

using namespace Recurring;

namespace {

const QString Caption = QStringLiteral("周期记帐");
const QString NameAlias = QStringLiteral("类别");
// The category of an income or expense, the account a transfer goes to.
const QString NameColumn = QStringLiteral("coalesce(nullif(IName,''),nullif(OName,''),NewN)");

Maintenance::Field combo(const char *view, const char *label, const char *alias, const char *input,
                         Maintenance::Feeder feeder = nullptr, bool required = true)
{
    return {.name = QLatin1String(view),
            .label = QString::fromUtf8(label),
            .alias = QString::fromUtf8(alias),
            .kind = Maintenance::FieldKind::Combo,
            .required = required,
            .input = QLatin1String(input),
            .feeder = feeder};
}

Maintenance::Descriptor schedules()
{
    using namespace Maintenance;
    using K = List::Kind;
    Field name = combo("DBEdit2", "类别/转入帐户：", "类别", "DBLookupComboBox1");
    name.emptyText = QStringLiteral("请选择 类别（转帐时选转入帐户）！");
    Field date = {.name = "DBEdit7",
                  .label = "开始日期：",
                  .alias = "开始日期",
                  .kind = FieldKind::Date,
                  .input = "DateTimePicker1"};
    Field end = date;
    end.name = "DBEdit12";
    end.label = "结束日期：";
    end.alias = "结束日期";
    end.input = "DateTimePicker2";
    return {
        .className = QStringLiteral("TfrmSchedule"),
        .caption = Caption,
        .panelTitle = QStringLiteral("周期记帐"),
        .table = QStringLiteral("Schedule"),
        .columns = {{"Kind", "类型", K::Text, 60},
                    {NameColumn, "类别", K::Text, 110},
                    {"AName", "帐户名称", K::Text, 110},
                    {"SMoney", "金额", K::Money, 100},
                    {"SDate", "开始日期", K::Text, 100},
                    {"'每 '||Every||' '||Unit", "周期", K::Text, 80},
                    {"PostMode", "记帐方式", K::Text, 110},
                    {"Remark", "备注"},
                    {"FName", "家庭成员", K::Hidden},
                    {"Every", "每隔", K::Hidden},
                    {"Unit", "单位", K::Hidden},
                    {"MonthDay", "每月的日子", K::Hidden},
                    {"Ending", "结束", K::Hidden},
                    {"EndDate", "结束日期", K::Hidden},
                    {"Times", "次数", K::Hidden},
                    {"Weekend", "遇周末", K::Hidden},
                    {"AmountMode", "金额方式", K::Hidden}},
        .fields =
            {combo("DBEdit1", "类        型：", "类型", "ComboBox1"),
             name,
             combo("DBEdit3", "帐户名称：", "帐户名称", "DBLookupComboBox2", &Workspace::accounts),
             {.name = "DBEdit4",
              .label = "金        额：",
              .alias = "金额",
              .kind = FieldKind::Amount,
              .required = true},
             combo("DBEdit5", "家庭成员：", "家庭成员", "DBLookupComboBox3", &Workspace::members,
                   false),
             {.name = "DBEdit6", .label = "备        注：", .alias = "备注", .maxLength = 100},
             date,
             combo("DBEdit8", "每        隔：", "每隔", "ComboBox2"),
             combo("DBEdit9", "单        位：", "单位", "ComboBox3"),
             combo("DBEdit10", "按月时在：", "每月的日子", "ComboBox4"),
             combo("DBEdit11", "结        束：", "结束", "ComboBox5"),
             end,
             {.name = "DBEdit13", .label = "重复次数：", .alias = "次数", .maxLength = 5},
             combo("DBEdit14", "遇到周末：", "遇周末", "ComboBox6"),
             combo("DBEdit15", "金额方式：", "金额方式", "ComboBox7"),
             combo("DBEdit16", "记帐方式：", "记帐方式", "ComboBox8")},
        .nameAlias = NameAlias,
        .pinyin = false,
        .duplicateTest = false,
        .columnWidth = 120,
    };
}

// The fixed choices of the drop-down lists, by alias.
const std::vector<std::pair<QString, QStringList>> &fixedChoices()
{
    static const std::vector<std::pair<QString, QStringList>> all = [] {
        QStringList every;
        for (int n = 1; n <= 31; ++n)
            every << QString::number(n);
        return std::vector<std::pair<QString, QStringList>>{
            {QStringLiteral("类型"), Text::kinds()},
            {QStringLiteral("每隔"), every},
            {QStringLiteral("单位"), Text::units()},
            {QStringLiteral("每月的日子"), Text::monthDays()},
            {QStringLiteral("结束"), Text::endings()},
            {QStringLiteral("遇周末"), Text::weekends()},
            {QStringLiteral("金额方式"), Text::amountModes()},
            {QStringLiteral("记帐方式"), Text::postingModes()},
        };
    }();
    return all;
}

void choose(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text));
}

} // namespace

SchedulesWindow::SchedulesWindow(QWidget *parent) : MaintenanceWindow(schedules(), parent)
{
    for (const auto &[alias, texts] : fixedChoices())
        combo(alias)->addItems(texts);
    connect(combo(QStringLiteral("类型")), &QComboBox::currentTextChanged, this,
            &SchedulesWindow::kindChosen);
    load();
}

QComboBox *SchedulesWindow::combo(const QString &alias) const
{
    return static_cast<QComboBox *>(control(field(alias).input));
}

void SchedulesWindow::kindChosen()
{
    // An income takes income categories, an expense expense categories, a
    // transfer the account it goes to.
    const QString kind = combo(QStringLiteral("类型"))->currentText();
    const Workspace::Feeder feeder = kind == Text::Income    ? &Workspace::incomeCategories
                                     : kind == Text::Expense ? &Workspace::expenseCategories
                                                             : &Workspace::accounts;
    QComboBox *names = combo(NameAlias);
    const QString chosen = names->currentText();
    Msg::guarded(this, [&] { fillLookup(names, feeder); });
    choose(names, chosen);
}

void SchedulesWindow::fillLists()
{
    MaintenanceWindow::fillLists();
    kindChosen();
}

void SchedulesWindow::prepareNewRow()
{
    const auto set = [this](const char *alias, const QString &text) {
        choose(combo(QString::fromUtf8(alias)), text);
    };
    set("类型", Text::Expense);
    set("每隔", QStringLiteral("1"));
    set("单位", Text::units().at(2));
    set("每月的日子", Text::monthDays().at(0));
    set("结束", Text::endings().at(0));
    set("遇周末", Text::weekends().at(0));
    set("金额方式", Text::amountModes().at(0));
    set("记帐方式", Text::postingModes().at(0));
    for (const char *input : {"DateTimePicker1", "DateTimePicker2"})
        static_cast<QDateEdit *>(control(QLatin1String(input)))->setDate(QDate::currentDate());
}

void SchedulesWindow::loadInputs()
{
    // The kind first: it decides which names the category list offers.
    choose(combo(QStringLiteral("类型")), storedValue(QStringLiteral("类型")).toString());
    MaintenanceWindow::loadInputs();
}

void SchedulesWindow::startFrom(const QString &kind, const QVariantMap &entry, const QDate &date)
{
    startNew();
    choose(combo(QStringLiteral("类型")), kind);
    const Ledger::EntryKind &k = kind == Text::Income    ? Ledger::income()
                                 : kind == Text::Expense ? Ledger::expense()
                                                         : Ledger::transfer();
    const auto value = [&entry](const char *column) {
        return entry.value(QLatin1String(column)).toString();
    };
    choose(combo(NameAlias), value(k.nameColumn ? k.nameColumn : k.legs.back().account));
    choose(combo(QStringLiteral("帐户名称")), value(k.legs.front().account));
    choose(combo(QStringLiteral("家庭成员")), value("FName"));
    static_cast<QLineEdit *>(control(QStringLiteral("DBEdit4")))
        ->setText(
            Money::fromVariant(entry.value(QLatin1String(k.legs.front().amount))).toEditable());
    static_cast<QLineEdit *>(control(QStringLiteral("DBEdit6")))->setText(value("Remark"));
    static_cast<QDateEdit *>(control(QStringLiteral("DateTimePicker1")))
        ->setDate(date.addMonths(1));
}

bool SchedulesWindow::extraChecks(Mode)
{
    const auto refuse = [this](const QString &alias, const QString &message) {
        Msg::plain(this, message);
        focusField(field(alias));
        return false;
    };
    const QString kind = fieldText(QStringLiteral("类型"));
    if (kind == Text::Transfer && fieldText(NameAlias) == fieldText(QStringLiteral("帐户名称")))
        return refuse(NameAlias, QStringLiteral("转出帐户和转入帐户不能相同！"));
    if (fieldAmount(QStringLiteral("金额")) <= Money())
        return refuse(QStringLiteral("金额"), QStringLiteral("金额必须大于零！"));
    const QString ending = fieldText(QStringLiteral("结束"));
    if (ending == Text::endings().at(1) &&
        fieldText(QStringLiteral("结束日期")) < fieldText(QStringLiteral("开始日期")))
        return refuse(QStringLiteral("结束日期"), QStringLiteral("结束日期不能早于开始日期！"));
    bool number = false;
    const int times = fieldText(QStringLiteral("次数")).trimmed().toInt(&number);
    if (ending == Text::endings().at(2) && (!number || times < 1))
        return refuse(QStringLiteral("次数"), QStringLiteral("重复次数必须是大于零的整数！"));
    return true;
}

void SchedulesWindow::completeRow(QVariantMap &row, Mode)
{
    // The name goes to the column of its kind; the others are left empty.
    const QString name = row.take(NameColumn).toString();
    const QString kind = row.value(QStringLiteral("Kind")).toString();
    row[QStringLiteral("IName")] = kind == Text::Income ? name : QString();
    row[QStringLiteral("OName")] = kind == Text::Expense ? name : QString();
    row[QStringLiteral("NewN")] = kind == Text::Transfer ? name : QString();
    row[QStringLiteral("Times")] = row.value(QStringLiteral("Times")).toString().trimmed().toInt();
}

QVariant SchedulesWindow::storeRow(Mode mode, const QVariantMap &row)
{
    const QVariant key = MaintenanceWindow::storeRow(mode, row);
    if (mode == Mode::New)
        offerMissed(key);
    return key;
}

void SchedulesWindow::offerMissed(const QVariant &key)
{
    // The schedule is saved whatever happens here. What fell before today was
    // missed; today's occurrence is due as any other and waits in 待记帐.
    Msg::guarded(this, [&] {
        std::vector<Due> missed;
        for (const Due &d : due(book(), QDate::currentDate().addDays(-1)))
            if (d.schedule.id == key.toLongLong())
                missed.push_back(d);
        if (missed.empty())
            return;
        const bool estimate = missed.front().schedule.estimate;
        const QString text =
            QStringLiteral("开始日期在今天之前：从 %1 到 %2 已有 %3 次到期。\n%4")
                .arg(isoDate(missed.front().occurrence.date),
                     isoDate(missed.back().occurrence.date))
                .arg(missed.size())
                .arg(estimate ? QStringLiteral("金额是估计的：要现在逐笔确认金额后补记吗？"
                                               "（选“否”则跳过这几次）")
                              : QStringLiteral("要现在把它们补记上吗？（选“否”则跳过这几次）"));
        if (!Msg::ask(this, Caption, text, QMessageBox::Yes)) {
            skip(book(), missed, Caption);
            return;
        }
        if (!estimate) {
            post(book(), missed, Caption);
            return;
        }
        // An estimate is booked only with its amount confirmed; one not confirmed
        // stays in 待记帐.
        for (const Due &d : missed) {
            DuePostDialog dialog(d, this);
            if (dialog.exec() == QDialog::Accepted)
                post(book(), d, dialog.changes(), Caption);
        }
    });
}

void SchedulesWindow::removeRow(const QVariant &key)
{
    remove(book(), key.toLongLong(), Caption);
}

// ---------------------------------------------------------------------------

namespace {

const QString DueCaption = QStringLiteral("待记帐的周期记帐");

List::Descriptor dueList()
{
    using K = List::Kind;
    return {.className = QStringLiteral("TfrmDue"),
            .caption = DueCaption,
            .columns = {{"", "日期", K::Text, 100},
                        {"", "类型", K::Text, 60},
                        {"", "类别", K::Text, 110},
                        {"", "金额", K::Money, 100},
                        {"", "帐户名称", K::Text, 110},
                        {"", "金额方式", K::Text, 150},
                        {"", "备注"}},
            .perBook = false,
            .keyColumn = false,
            .columnWidth = 120};
}

QVariantList rowOf(const Due &d)
{
    const Schedule &s = d.schedule;
    return {isoDate(d.occurrence.date),
            s.kind,
            s.name,
            s.amount.toVariant(),
            s.account,
            s.estimate ? Text::amountModes().at(1) : Text::amountModes().at(0),
            s.remark};
}

} // namespace

DueEntriesWindow::DueEntriesWindow(QWidget *parent) : ListWindow(dueList(), parent)
{
    addButton("ButPost", QStringLiteral("记帐（&P）"), [this] { postDue(); })->setDefault(true);
    addButton("ButEditPost", QStringLiteral("修改后记帐（&E）"), [this] { postChanged(); });
    addButton("ButSkip", QStringLiteral("跳过（&K）"), [this] { skipDue(); });
    addButton("ButPostAll", QStringLiteral("全部记帐（&A）"), [this] { postAllDue(); });
    load();
}

void DueEntriesWindow::load()
{
    m_dues.clear();
    Msg::guarded(this, [this] { m_dues = due(book(), QDate::currentDate()); });
    QList<QVariantList> rows;
    for (const Due &d : m_dues)
        rows << rowOf(d);
    showRows(rows);
}

const Due *DueEntriesWindow::currentDue() const
{
    const int row = currentRow();
    return row >= 0 && row < int(m_dues.size()) ? &m_dues[std::size_t(row)] : nullptr;
}

void DueEntriesWindow::act(const std::function<void()> &write)
{
    const int row = currentRow();
    Msg::guarded(this, write);
    load();
    goToNearestRow(std::max(row, 0));
}

void DueEntriesWindow::postDue()
{
    const Due *d = currentDue();
    if (!d)
        return;
    // An estimate is posted only with the amount confirmed.
    if (d->schedule.estimate) {
        postChanged();
        return;
    }
    const Due chosen = *d;
    act([&] { post(book(), {chosen}, DueCaption); });
}

void DueEntriesWindow::postChanged()
{
    const Due *d = currentDue();
    if (!d)
        return;
    const Due chosen = *d;
    DuePostDialog dialog(chosen, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    act([&] { post(book(), chosen, dialog.changes(), DueCaption); });
}

void DueEntriesWindow::skipDue()
{
    const Due *d = currentDue();
    if (!d)
        return;
    const Due chosen = *d;
    act([&] { skip(book(), {chosen}, DueCaption); });
}

void DueEntriesWindow::postAllDue()
{
    std::vector<Due> fixed;
    int estimates = 0;
    for (const Due &d : m_dues)
        d.schedule.estimate ? void(++estimates) : fixed.push_back(d);
    if (!fixed.empty())
        act([&] { post(book(), fixed, DueCaption); });
    if (estimates > 0)
        Msg::plain(this,
                   QStringLiteral("还有 %1 笔是估计金额，请逐笔用“修改后记帐”确认金额后再记帐。")
                       .arg(estimates));
}

// ---------------------------------------------------------------------------

DuePostDialog::DuePostDialog(const Due &due, QWidget *parent) : QDialog(parent), m_due(due)
{
    setObjectName(QStringLiteral("TfrmDuePost"));
    setWindowTitle(QStringLiteral("修改后记帐"));
    const Schedule &s = due.schedule;
    auto *form = new QFormLayout;
    m_date = makeDatePicker(this, QStringLiteral("DateTimePicker1"), due.occurrence.date);
    m_amount = new QLineEdit(s.amount.toEditable(), this);
    m_amount->setObjectName(QStringLiteral("Edit1"));
    m_amount->setValidator(new AmountValidator(m_amount));
    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("DBLookupComboBox1"));
    makeSearchable(m_account);
    Msg::guarded(this, [this] { fillLookup(m_account, &Workspace::accounts); });
    choose(m_account, s.account);
    m_remark = new QLineEdit(s.remark, this);
    m_remark->setObjectName(QStringLiteral("Edit2"));
    m_remark->setMaxLength(100);
    form->addRow(QStringLiteral("%1：").arg(s.kind), new QLineEdit(s.name, this));
    form->itemAt(0, QFormLayout::FieldRole)->widget()->setEnabled(false);
    form->addRow(QStringLiteral("日期："), m_date);
    form->addRow(s.estimate ? QStringLiteral("实际金额：") : QStringLiteral("金额："), m_amount);
    form->addRow(QStringLiteral("帐户名称："), m_account);
    form->addRow(QStringLiteral("备注："), m_remark);
    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("记帐（&P）"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto *cancel = buttons->addButton(QStringLiteral("取消（&C）"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    connect(ok, &QPushButton::clicked, this, &DuePostDialog::confirmPost);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    m_amount->setFocus();
    m_amount->selectAll();
}

void DuePostDialog::confirmPost()
{
    if (const QString refusal = Money::refusal(m_amount->text(), QStringLiteral("金额"));
        !refusal.isEmpty() || m_amount->text().trimmed().isEmpty()) {
        Msg::plain(this,
                   refusal.isEmpty() ? QStringLiteral("金额不能为空！请重新录入！") : refusal);
        m_amount->setFocus();
        return;
    }
    if (m_account->currentText().isEmpty()) {
        Msg::plain(this, QStringLiteral("请选择 帐户名称！"));
        m_account->setFocus();
        return;
    }
    accept();
}

Changes DuePostDialog::changes() const
{
    return {m_date->date(), Money::parse(m_amount->text()), m_account->currentText(),
            m_remark->text()};
}

// ---------------------------------------------------------------------------

void Recurring::atBookOpening(const QString &book, const std::function<void(const QString &)> &note,
                              const std::function<void()> &listDue)
{
    try {
        const std::vector<Due> dues = due(book, QDate::currentDate());
        std::vector<Due> automatic;
        for (const Due &d : dues)
            if (d.schedule.automatic && !d.schedule.estimate)
                automatic.push_back(d);
        if (!automatic.empty()) {
            post(book, automatic, QStringLiteral("自动周期记帐"));
            note(QStringLiteral("已自动记帐 %1 笔周期记帐。").arg(automatic.size()));
        }
        if (dues.size() > automatic.size())
            listDue();
    } catch (const DbError &e) {
        note(QStringLiteral("周期记帐没有完成：") + e.message());
    }
}

void Recurring::makeRecurring(QWidget *entryWindow, const QString &table, const QVariant &key)
{
    const Ledger::EntryKind *kind = Ledger::entryKind(table);
    if (!kind || key.isNull())
        return;
    QVariantMap entry;
    if (!Msg::guarded(entryWindow, [&] {
            QSqlQuery row =
                Sql(QStringLiteral("select * from %1 where ID=?").arg(table), {key}).exec();
            if (!row.next())
                throw DbError(Ledger::rowGoneMessage());
            for (int i = 0; i < row.record().count(); ++i)
                entry[row.record().fieldName(i)] = row.value(i);
        }))
        return;
    const QString kindText = kind == &Ledger::income()    ? Text::Income
                             : kind == &Ledger::expense() ? Text::Expense
                                                          : Text::Transfer;
    auto *window = new SchedulesWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Beside the entry window in the main window when it stands in one.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(entryWindow->parentWidget());
        frame && frame->mdiArea()) {
        QMdiSubWindow *sub = frame->mdiArea()->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->showMaximized();
    } else {
        window->show();
    }
    window->startFrom(
        kindText, entry,
        QDate::fromString(entry.value(QLatin1String(kind->dateColumn)).toString(), dateFormat()));
}

Entry::RowAction Recurring::rowAction()
{
    return {"Z1", QStringLiteral("设为周期记帐 &Z"), &makeRecurring};
}
