#include "widgets/MaintenanceWindow.h"

#include "core/ledger/Ledger.h"
#include "core/ledger/Workspace.h"
#include "data/PinyinCode.h"
#include "data/Rows.h"
#include "data/Transaction.h"
#include "widgets/AmountValidator.h"
#include "widgets/DatePicker.h"
#include "widgets/EditKeys.h"
#include "widgets/ListModel.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

using namespace Maintenance;

namespace {

// Every list query carries the row key, so that a save or delete always acts on
// the row that was shown, even where two rows carry the same name.
const QString &KeyAlias = List::KeyAlias;
constexpr int FieldWidth = 220;
// A field that takes this many characters (a remark) is given a whole row's width.
constexpr int WideLength = 100;

} // namespace

QString Maintenance::emptyMessage(const Field &field)
{
    if (!field.emptyText.isEmpty())
        return field.emptyText;
    return field.kind == FieldKind::Combo ? QStringLiteral("请选择 %1！").arg(field.alias)
                                          : field.alias + QStringLiteral("不能为空！请重新录入！");
}

QString Maintenance::duplicateMessage(const Descriptor &d)
{
    return d.nameAlias + QStringLiteral("添加重复！");
}

QString Maintenance::protectedMessage(const Descriptor &d)
{
    return QStringLiteral("“%1”不能删除：主页的现金余额取自这个帐户。").arg(d.protectedName);
}

QString Maintenance::unsavedQuestion()
{
    return QStringLiteral("当前记录尚未保存，要放弃修改吗？");
}

QString Maintenance::rowGoneMessage()
{
    return Ledger::rowGoneMessage();
}

namespace {

QString otherBookMessage(const QString &book)
{
    return QStringLiteral("此窗口属于帐簿“%1”，该帐簿已关闭，不能保存！请关闭此窗口。").arg(book);
}

} // namespace

List::Descriptor Maintenance::list(const Descriptor &d)
{
    return {.className = d.className,
            .caption = d.caption,
            .table = d.table,
            .columns = d.columns,
            .perBook = d.perBook,
            .orderBy = d.orderBy,
            .columnWidth = d.columnWidth,
            .countUnit = d.countUnit};
}

MaintenanceWindow::MaintenanceWindow(Descriptor descriptor, QWidget *parent)
    : ListWindow(list(descriptor), parent), m_d(std::move(descriptor))
{
    buildPanel();
    addBelowGrid(m_panel);
    buildButtons();
    new EditKeys(this);
}

void MaintenanceWindow::buildPanel()
{
    m_panel = new QGroupBox(m_d.panelTitle, this);
    m_panel->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(m_panel);
    // Two fields to a row, so that the grid above keeps its height: label and
    // control, a gap, label and control. A long text (a remark) takes what is
    // left of its row.
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    grid->setColumnMinimumWidth(2, 16);
    QStringList hints;
    int place = 0; // row * 2 + half
    for (std::size_t i = 0; i < m_d.fields.size(); ++i) {
        const Field &f = m_d.fields[i];
        const int row = place / 2;
        const int column = place % 2 * 3;
        const bool wide = f.maxLength >= WideLength;
        auto *label = new QLabel(f.label, m_panel);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QWidget *view = makeFieldControl(f, m_panel);
        label->setBuddy(view);
        const int span = wide && column == 0 ? 4 : 1;
        grid->addWidget(label, row, column);
        grid->addWidget(view, row, column + 1, 1, span);
        // The input control stands at the same place as the view and replaces it
        // while entering (showInputs).
        if (!f.input.isEmpty())
            grid->addWidget(makeInputControl(f, m_panel), row, column + 1, 1, span);
        if (!f.hint.isEmpty()) {
            auto *hint = new QLabel(f.hint, m_panel);
            hint->setObjectName(QStringLiteral("Hint%1").arg(i + 1));
            hint->setStyleSheet(QStringLiteral("color: #666666;"));
            hints << hint->objectName();
        }
        place += wide ? 2 - place % 2 : 1;
    }
    // Notes on the fields stand under the form.
    for (const QString &name : std::as_const(hints))
        grid->addWidget(m_panel->findChild<QLabel *>(name), grid->rowCount(), 1, 1, 4);
}

QPushButton *MaintenanceWindow::addPanelButton(const char *name, const QString &caption,
                                               std::function<void()> clicked)
{
    if (!m_panelButtons) {
        auto *grid = static_cast<QGridLayout *>(m_panel->layout());
        m_panelButtons = new QVBoxLayout;
        m_panelButtons->addStretch(1);
        grid->setColumnMinimumWidth(5, 8);
        grid->addLayout(m_panelButtons, 0, 6, grid->rowCount(), 1);
    }
    auto *button = new QPushButton(caption, m_panel);
    button->setObjectName(QLatin1String(name));
    button->setMinimumWidth(110);
    connect(button, &QPushButton::clicked, this, std::move(clicked));
    m_panelButtons->insertWidget(m_panelButtons->count() - 1, button);
    return button;
}

QWidget *MaintenanceWindow::makeFieldControl(const Field &f, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(f.name);
    edit->setMinimumWidth(FieldWidth);
    edit->setMaxLength(f.maxLength);
    if (f.kind == FieldKind::Amount)
        edit->setValidator(new AmountValidator(edit));
    // A field with an input control only shows the row's value.
    edit->setReadOnly(!f.input.isEmpty());
    return edit;
}

QWidget *MaintenanceWindow::makeInputControl(const Field &f, QWidget *parent)
{
    QWidget *input = nullptr;
    if (f.kind == FieldKind::Date) {
        input = makeDatePicker(parent, f.input, QDate(2000, 1, 1));
    } else {
        auto *box = new QComboBox(parent);
        makeSearchable(box);
        input = box;
    }
    input->setObjectName(f.input);
    input->setMinimumWidth(FieldWidth);
    input->hide();
    return input;
}

void MaintenanceWindow::buildButtons()
{
    const auto add = [this](const char *name, const QString &caption,
                            void (MaintenanceWindow::*handler)()) {
        return addButton(name, caption, [this, handler] { (this->*handler)(); });
    };
    m_butNew = add("ButNew", QStringLiteral("新增（&N）"), &MaintenanceWindow::startNew);
    m_butMed = add("ButMed", m_d.modifyCaption, &MaintenanceWindow::startEdit);
    // Two Save buttons at one place: one for a new row, one for an edited row.
    m_butSave = add("ButSave", QStringLiteral("保存（&S）"), &MaintenanceWindow::saveNew);
    m_butSaveEdit = add("ButSaveEdit", QStringLiteral("保存（&S）"), &MaintenanceWindow::saveEdit);
    m_butCan = add("ButCan", QStringLiteral("取消（&C）"), &MaintenanceWindow::cancelEntry);
    m_butDel = add("ButDel", QStringLiteral("删除（&D）"), &MaintenanceWindow::deleteCurrent);
    if (m_d.queryButton)
        m_butQuery = add("ButQuery", QStringLiteral("查询（&Q）"), &MaintenanceWindow::openFilter);
}

void MaintenanceWindow::load()
{
    fillLists();
    reload();
    setMode(Mode::Browse);
}

void MaintenanceWindow::currentRowChanged()
{
    showCurrentRow(m_mode != Mode::Browse);
    updateButtons();
}

void MaintenanceWindow::showCurrentRow(bool asTyped)
{
    const int row = currentRow();
    for (const Field &f : m_d.fields)
        if (auto *edit = findChild<QLineEdit *>(f.name)) {
            // Browsing, an amount reads as the grid shows it; entering, as it is typed.
            const QString stored = !asTyped && f.kind == FieldKind::Amount
                                       ? model()->text(row, f.alias)
                                       : model()->editText(row, f.alias);
            // The limit is for typing: a longer stored text is shown, and kept, whole.
            edit->setMaxLength(std::max(f.maxLength, int(stored.size())));
            edit->setText(stored);
        }
}

void MaintenanceWindow::setMode(Mode mode)
{
    m_mode = mode;
    const bool browsing = mode == Mode::Browse;
    // Browsing, the fields show the current row readably and take no typing.
    for (const Field &f : m_d.fields)
        if (f.input.isEmpty())
            static_cast<QLineEdit *>(control(f.name))->setReadOnly(browsing);
    m_butNew->setEnabled(browsing);
    m_butSave->setVisible(mode != Mode::Edit);
    m_butSave->setEnabled(mode == Mode::New);
    m_butSaveEdit->setVisible(mode == Mode::Edit);
    m_butCan->setEnabled(!browsing);
    if (m_butQuery)
        m_butQuery->setEnabled(browsing);
    showInputs(!browsing);
    updateButtons();
    updateNavigator();
}

void MaintenanceWindow::updateButtons()
{
    // 修改 and 删除 act on a listed row: none on an empty list.
    const bool onRow = m_mode == Mode::Browse && !currentKey().isNull();
    m_butMed->setEnabled(onRow);
    m_butDel->setEnabled(onRow);
    rowActionsChanged(onRow);
}

void MaintenanceWindow::showInputs(bool shown)
{
    for (const Field &f : m_d.fields) {
        if (f.input.isEmpty())
            continue;
        control(f.name)->setVisible(!shown);
        control(f.input)->setVisible(shown);
    }
}

QWidget *MaintenanceWindow::control(const QString &objectName) const
{
    auto *w = findChild<QWidget *>(objectName);
    Q_ASSERT_X(w, "MaintenanceWindow::control", qPrintable(objectName));
    return w;
}

const Field &MaintenanceWindow::field(const QString &alias) const
{
    for (const Field &f : m_d.fields)
        if (f.alias == alias)
            return f;
    qFatal("%s has no field %s", qPrintable(m_d.className), qPrintable(alias));
}

QString MaintenanceWindow::fieldText(const QString &alias) const
{
    const Field &f = field(alias);
    if (f.kind == FieldKind::Date)
        return static_cast<DatePicker *>(control(f.input))->dateText();
    if (f.kind == FieldKind::Combo)
        return static_cast<QComboBox *>(control(f.input))->currentText();
    const QString text = static_cast<QLineEdit *>(control(f.name))->text();
    // "Bank " and "Bank" are one name.
    return alias == m_d.nameAlias ? text.trimmed() : text;
}

Money MaintenanceWindow::fieldAmount(const QString &alias) const
{
    return Money::parse(fieldText(alias)).value_or(Money());
}

QVariant MaintenanceWindow::storedValue(const QString &alias) const
{
    return model()->value(currentRow(), alias);
}

void MaintenanceWindow::focusField(const Field &f)
{
    control(f.input.isEmpty() || m_mode == Mode::Browse ? f.name : f.input)->setFocus();
}

void MaintenanceWindow::fillLists()
{
    for (const Field &f : m_d.fields)
        if (f.kind == FieldKind::Combo && f.feeder) {
            // Read again on every 新增 and 修改, so that names renamed, added or
            // deleted meanwhile are offered as they are now; a choice still listed stays.
            auto *combo = static_cast<QComboBox *>(control(f.input));
            const QString chosen = combo->currentText();
            Msg::guarded(this, [&] { fillLookup(combo, f.feeder); });
            combo->setCurrentIndex(combo->findText(chosen));
        }
}

void MaintenanceWindow::startNew()
{
    if (m_mode != Mode::Browse)
        return;
    fillLists();
    prepareNewRow();
    m_rowBeforeNew = currentRow();
    // The row being entered shows in the grid as an empty row until it is saved.
    goToRow(model()->appendBlankRow());
    setMode(Mode::New);
    if (!m_d.fields.empty())
        focusField(m_d.fields.front());
}

void MaintenanceWindow::startEdit()
{
    if (m_mode != Mode::Browse || currentKey().isNull())
        return;
    fillLists();
    showCurrentRow(true);
    if (!Msg::guarded(this, [this] { refreshMovedFields(); })) {
        showCurrentRow(false);
        return;
    }
    setMode(Mode::Edit);
    loadInputs();
    if (!m_d.fields.empty())
        focusField(m_d.fields.front());
}

void MaintenanceWindow::refreshMovedFields()
{
    m_editStart.clear();
    for (const Field &f : m_d.fields) {
        if (!f.movedElsewhere)
            continue;
        QSqlQuery stored =
            Sql(QStringLiteral("select %1 from %2 where ID=?").arg(columnOf(f.alias), m_d.table),
                {currentKey()})
                .exec();
        if (!stored.next())
            throw DbError(rowGoneMessage());
        const QVariant value = stored.value(0);
        const QString text =
            f.kind == FieldKind::Amount ? Money::fromVariant(value).toEditable() : value.toString();
        static_cast<QLineEdit *>(control(f.name))->setText(text);
        m_editStart[f.alias] = text;
    }
}

bool MaintenanceWindow::keepsStoredValue(const Field &f) const
{
    if (!f.movedElsewhere || m_mode != Mode::Edit)
        return false;
    const QString start = m_editStart.value(f.alias);
    if (f.kind == FieldKind::Amount)
        return Money::parse(fieldText(f.alias)) == Money::parse(start);
    return fieldText(f.alias) == start;
}

void MaintenanceWindow::loadInputs()
{
    const int row = currentRow();
    for (const Field &f : m_d.fields) {
        const QString stored = model()->editText(row, f.alias);
        if (f.kind == FieldKind::Date) {
            // A stored text that is no date leaves the picker at what it showed
            // (empty, where it may be).
            static_cast<DatePicker *>(control(f.input))->setDateText(stored);
        } else if (f.kind == FieldKind::Combo) {
            // A name the list no longer holds leaves it with no choice.
            auto *combo = static_cast<QComboBox *>(control(f.input));
            combo->setCurrentIndex(combo->findText(stored));
        }
    }
}

bool MaintenanceWindow::checkField(const Field &f)
{
    const QString text = fieldText(f.alias);
    QString message;
    if (f.required && text.trimmed().isEmpty())
        message = emptyMessage(f);
    else if (f.kind == FieldKind::Amount && !text.isEmpty())
        message = Money::refusal(text, f.alias);
    if (message.isEmpty())
        return true;
    Msg::plain(this, message);
    focusField(f);
    return false;
}

bool MaintenanceWindow::extraChecks(Mode)
{
    return true;
}

QString MaintenanceWindow::columnOf(const QString &alias) const
{
    for (const Column &c : m_d.columns)
        if (c.alias == alias)
            return c.name;
    qFatal("%s lists no column %s", qPrintable(m_d.className), qPrintable(alias));
}

bool MaintenanceWindow::isDuplicate(Mode mode) const
{
    // Text columns compare without regard to letter case.
    Sql sql(QStringLiteral("select ID from ") + m_d.table + QStringLiteral(" Where ") +
                columnOf(m_d.nameAlias) + QStringLiteral("=?"),
            {fieldText(m_d.nameAlias)});
    if (m_d.perBook)
        sql.add(QStringLiteral(" and BName=?"), {book()});
    if (mode == Mode::Edit)
        sql.add(QStringLiteral(" and ID<>?"), {currentKey()});
    return sql.hasRows();
}

bool MaintenanceWindow::runChecks(Mode mode)
{
    for (const Field &f : m_d.fields)
        if (!checkField(f))
            return false;
    if (!extraChecks(mode))
        return false;
    // An edit that keeps the row's name makes no new duplicate, also where older
    // data holds two rows of one name.
    if (!m_d.duplicateTest ||
        (mode == Mode::Edit && fieldText(m_d.nameAlias) == storedValue(m_d.nameAlias).toString()))
        return true;
    try {
        if (!isDuplicate(mode))
            return true;
        Msg::plain(this, duplicateMessage(m_d));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    focusField(field(m_d.nameAlias));
    return false;
}

void MaintenanceWindow::completeRow(QVariantMap &, Mode)
{
}

void MaintenanceWindow::prepareNewRow()
{
}

QVariant MaintenanceWindow::storeRow(Mode mode, const QVariantMap &row)
{
    // Through the ledger, which keeps the change in the history and announces it.
    // Names the entries give: it carries a rename into them and sets a balance typed.
    // Another window may have deleted the row meanwhile: refused, not said saved.
    Ledger ledger(m_d.perBook ? book() : Workspace::instance()->currentBook());
    ledger.setWindow(m_d.caption);
    prepareLedger(ledger, mode);
    QVariant key = currentKey();
    if (m_d.referencedAs)
        mode == Mode::New ? void(key = ledger.saveReference(m_d.table, row))
                          : ledger.saveReferenceEdit(m_d.table, key, row);
    else
        mode == Mode::New ? void(key = ledger.insertRow(m_d.table, row))
                          : ledger.updateRow(m_d.table, key, row);
    ledger.commit();
    return key;
}

QString MaintenanceWindow::deletionRefusal() const
{
    if (!m_d.referencedAs)
        return {};
    // The name as stored now: another window may have renamed it.
    const QVariant name =
        Sql(QStringLiteral("select %1 from %2 where ID=?").arg(columnOf(m_d.nameAlias), m_d.table),
            {currentKey()})
            .scalar();
    if (!name.isValid())
        return {};
    return References::deletionRefusal(*m_d.referencedAs, name.toString(), book());
}

void MaintenanceWindow::removeRow(const QVariant &key)
{
    // The ledger refuses a name that rows have come to give since 删除 was pressed.
    Ledger ledger(m_d.perBook ? book() : Workspace::instance()->currentBook());
    ledger.setWindow(m_d.caption);
    m_d.referencedAs ? ledger.removeReference(m_d.table, key) : ledger.removeRow(m_d.table, key);
    ledger.commit();
}

bool MaintenanceWindow::mayDelete()
{
    // A name that entries or follow-ups give cannot go: they would name nothing.
    QString refusal;
    if (!Msg::guarded(this, [&] { refusal = deletionRefusal(); }))
        return false;
    if (refusal.isEmpty())
        return true;
    Msg::plain(this, refusal);
    return false;
}

QVariant MaintenanceWindow::valueToWrite(const Field &f) const
{
    const QString text = fieldText(f.alias);
    if (f.kind == FieldKind::Amount)
        return Money::parse(text).value_or(Money()).toVariant();
    // An empty field is stored as empty text, not NULL, so that conditions on it match.
    return text.isNull() ? QStringLiteral("") : text;
}

QVariantMap MaintenanceWindow::rowToWrite(Mode mode)
{
    QVariantMap row;
    for (const Field &f : m_d.fields)
        if (!keepsStoredValue(f))
            row[columnOf(f.alias)] = valueToWrite(f);
    if (m_d.perBook)
        row[QStringLiteral("BName")] = book();
    if (m_d.pinyin)
        row[QStringLiteral("thePY")] = PinyinCode(fieldText(m_d.nameAlias), PinyinMarkUnread, 255);
    completeRow(row, mode);
    return row;
}

void MaintenanceWindow::checkOwnBook() const
{
    if (m_d.perBook && book() != Workspace::instance()->currentBook())
        throw DbError(book().isEmpty() ? Rows::noBookMessage() : otherBookMessage(book()));
}

QVariant MaintenanceWindow::writeRow(Mode mode)
{
    const QVariantMap row = rowToWrite(mode);
    const OwnWrite own(this);
    try {
        checkOwnBook();
        return storeRow(mode, row);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return QVariant();
    }
}

void MaintenanceWindow::listWritten(const QVariant &key, bool wasListed, bool wasUpToDate)
{
    try {
        model()->rowWritten(KeyAlias, key, wasListed, wasUpToDate);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void MaintenanceWindow::saveNew()
{
    if (m_mode != Mode::New || !runChecks(Mode::New))
        return;
    const bool upToDate = model()->isUpToDate();
    const QVariant key = writeRow(Mode::New);
    if (key.isNull())
        return;
    listWritten(key, false, upToDate);
    setMode(Mode::Browse);
    goToRow(0);
}

void MaintenanceWindow::saveEdit()
{
    if (m_mode != Mode::Edit || !runChecks(Mode::Edit))
        return;
    const bool upToDate = model()->isUpToDate();
    const QVariant key = writeRow(Mode::Edit);
    if (key.isNull())
        return;
    listWritten(key, true, upToDate);
    // The edited row stays current, wherever the order now puts it.
    const int row = m_d.rereadAfterEdit ? 0 : model()->rowOf(KeyAlias, key);
    setMode(Mode::Browse);
    goToRow(std::max(row, 0));
}

void MaintenanceWindow::cancelEntry()
{
    if (m_mode == Mode::New) {
        model()->removeRowAt(model()->rowCount() - 1);
        setMode(Mode::Browse);
        goToRow(m_rowBeforeNew);
    } else {
        setMode(Mode::Browse);
        showCurrentRow(false); // the edited row shows its stored values again
    }
}

void MaintenanceWindow::deleteCurrent()
{
    const int row = currentRow();
    const QVariant key = currentKey();
    if (m_mode != Mode::Browse || key.isNull())
        return;
    if (!m_d.protectedName.isEmpty() && model()->text(row, m_d.nameAlias) == m_d.protectedName) {
        Msg::plain(this, protectedMessage(m_d));
        return;
    }
    if (!mayDelete() || !Msg::confirmDelete(this, rowNamed(row)))
        return;
    const bool upToDate = model()->isUpToDate();
    const OwnWrite own(this);
    try {
        checkOwnBook();
        removeRow(key);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    listWritten(key, true, upToDate);
    goToNearestRow(row);
}

void MaintenanceWindow::closeEvent(QCloseEvent *event)
{
    if (!mayDiscardPending()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool MaintenanceWindow::mayDiscardPending()
{
    // However the window is closed (退出, its close box, quitting, a book switch),
    // a new or edited row is never dropped without the user's word.
    if (m_mode == Mode::Browse)
        return true;
    return Msg::ask(this, Msg::programTitle(), unsavedQuestion(), QMessageBox::No);
}

QString MaintenanceWindow::rowNamed(int row) const
{
    if (!m_d.nameAlias.isEmpty())
        return QStringLiteral("“%1”").arg(model()->text(row, m_d.nameAlias));
    // An entry: its date, what it names first (category, party, account) and its
    // amount, as the grid shows them.
    const auto first = [this](auto matches) -> const Field * {
        for (const Field &f : m_d.fields)
            if (matches(f.kind))
                return &f;
        return nullptr;
    };
    QStringList parts;
    for (const Field *f :
         {first([](FieldKind k) { return k == FieldKind::Date; }),
          first([](FieldKind k) { return k == FieldKind::Text || k == FieldKind::Combo; }),
          first([](FieldKind k) { return k == FieldKind::Amount; })})
        if (f)
            parts << model()->text(row, f->alias);
    return QStringLiteral("这条记录（%1）").arg(parts.join(QStringLiteral("，")));
}
