#include "widgets/MaintenanceWindow.h"

#include "app/TfrmMain.h"
#include "data/Rows.h"
#include "data/Schema.h"
#include "data/TfrmDM.h"
#include "data/Transaction.h"
#include "reference/PinyinCode.h"
#include "widgets/DatePicker.h"
#include "widgets/ListModel.h"
#include "widgets/MessageBox.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSqlQuery>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

using namespace Maintenance;

namespace {

// Every list query carries the row key, so that a save or delete always acts on
// the row that was shown, even where two rows carry the same name.
const QString KeyAlias = QStringLiteral("ID");
constexpr int FieldWidth = 280;

// What an amount field lets through: sign, up to 14 digits, up to 4 decimals.
const QRegularExpression AmountKeystrokes(QStringLiteral("^[+-]?\\d{0,14}(\\.\\d{0,4})?$"));

} // namespace

QString Maintenance::emptyMessage(const Field &field)
{
    return field.kind == FieldKind::Combo ? QStringLiteral("请选择 %1！").arg(field.alias)
                                          : field.alias + QStringLiteral("不能为空！请重新录入！");
}

QString Maintenance::duplicateMessage(const Descriptor &d)
{
    return d.nameAlias + QStringLiteral("添加重复！");
}

QString Maintenance::rowGoneMessage()
{
    return QStringLiteral("该记录已不存在，可能已在其他窗口中删除。");
}

namespace {

QString otherBookMessage(const QString &book)
{
    return QStringLiteral("此窗口属于帐簿“%1”，该帐簿已关闭，不能保存！请关闭此窗口。").arg(book);
}

} // namespace

MaintenanceWindow::MaintenanceWindow(Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_d(std::move(descriptor)), m_book(TfrmDM::instance()->currentBook())
{
    setObjectName(m_d.className);
    setWindowTitle(m_d.caption);
    auto *layout = new QVBoxLayout(this);
    buildGrid();
    buildPanel();
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_panel);
    buildButtons();
}

void MaintenanceWindow::buildGrid()
{
    m_model = new ListModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->setDefaultSectionSize(24);
    m_grid->horizontalHeader()->setDefaultSectionSize(160);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        showCurrentRow();
        updateNavigator();
    });
}

void MaintenanceWindow::buildPanel()
{
    m_panel = new QGroupBox(m_d.panelTitle, this);
    m_panel->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(m_panel);
    grid->setColumnStretch(2, 1);
    int row = 0;
    for (const Field &f : m_d.fields) {
        auto *label = new QLabel(f.label, m_panel);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QWidget *view = makeFieldControl(f, m_panel);
        label->setBuddy(view);
        grid->addWidget(label, row, 0);
        grid->addWidget(view, row, 1);
        // The input control stands at the same place as the view and replaces it
        // while entering (myBool).
        if (!f.input.isEmpty())
            grid->addWidget(makeInputControl(f, m_panel), row, 1);
        if (!f.hint.isEmpty()) {
            auto *hint = new QLabel(f.hint, m_panel);
            hint->setObjectName(QStringLiteral("Hint%1").arg(row + 1));
            grid->addWidget(hint, row, 2);
        }
        ++row;
    }
}

QWidget *MaintenanceWindow::makeFieldControl(const Field &f, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(f.name);
    edit->setMinimumWidth(FieldWidth);
    edit->setMaxLength(f.maxLength);
    if (f.kind == FieldKind::Amount)
        edit->setValidator(new QRegularExpressionValidator(AmountKeystrokes, edit));
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
        input = new QComboBox(parent);
    }
    input->setObjectName(f.input);
    input->setMinimumWidth(FieldWidth);
    input->hide();
    return input;
}

void MaintenanceWindow::buildButtons()
{
    auto *bar = new QHBoxLayout;
    auto *navigator = new QWidget(this);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    auto *navRow = new QHBoxLayout(navigator);
    navRow->setContentsMargins(0, 0, 0, 0);
    navRow->setSpacing(0);
    const struct
    {
        const char *name;
        QString hint;
        QStyle::StandardPixmap icon;
    } moves[] = {
        {"NavFirst", QStringLiteral("第一条"), QStyle::SP_MediaSkipBackward},
        {"NavPrior", QStringLiteral("上一条"), QStyle::SP_MediaSeekBackward},
        {"NavNext", QStringLiteral("下一条"), QStyle::SP_MediaSeekForward},
        {"NavLast", QStringLiteral("最后一条"), QStyle::SP_MediaSkipForward},
    };
    for (const auto &move : moves) {
        auto *button = new QToolButton(navigator);
        button->setObjectName(QLatin1String(move.name));
        button->setToolTip(move.hint);
        button->setIcon(style()->standardIcon(move.icon));
        button->setFixedSize(30, 28);
        navRow->addWidget(button);
        m_navigator << button;
    }
    const auto targets = [this] {
        const int last = m_model->rowCount() - 1;
        const int here = currentRow();
        return std::array<int, 4>{0, here - 1, here + 1, last};
    };
    for (int i = 0; i < 4; ++i)
        connect(m_navigator[i], &QToolButton::clicked, this,
                [this, i, targets] { goToRow(targets()[i]); });
    bar->addWidget(navigator);
    bar->addSpacing(12);

    const auto addButton = [&](const char *name, const QString &caption,
                               void (MaintenanceWindow::*handler)()) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setMinimumWidth(96);
        connect(button, &QPushButton::clicked, this, handler);
        bar->addWidget(button);
        return button;
    };
    m_butNew = addButton("ButNew", QStringLiteral("新增（&N）"), &MaintenanceWindow::ButNewClick);
    m_butMed = addButton("ButMed", m_d.modifyCaption, &MaintenanceWindow::ButMedClick);
    // Two Save buttons at one place: one for a new row, one for an edited row.
    m_butSave =
        addButton("ButSave", QStringLiteral("保存（&S）"), &MaintenanceWindow::ButSaveClick);
    m_butSaveEdit = addButton("ButSaveEdit", QStringLiteral("保存（&S）"),
                              &MaintenanceWindow::ButSaveEditClick);
    m_butCan = addButton("ButCan", QStringLiteral("取消（&C）"), &MaintenanceWindow::ButCanClick);
    m_butDel = addButton("ButDel", QStringLiteral("删除（&D）"), &MaintenanceWindow::ButDelClick);
    if (m_d.queryButton)
        m_butQuery =
            addButton("ButQuery", QStringLiteral("查询（&Q）"), &MaintenanceWindow::ButQueryClick);
    addButton("ButExi", QStringLiteral("退出（&X）"), &MaintenanceWindow::ButExiClick);
    bar->addStretch(1);
    static_cast<QVBoxLayout *>(layout())->addLayout(bar);
}

void MaintenanceWindow::FormCreate()
{
    fillLists();
    Ref();
    setMode(Mode::Browse);
}

Sql MaintenanceWindow::listQuery() const
{
    QStringList columns;
    for (const Column &c : m_d.columns)
        columns << c.name + QStringLiteral(" as ") + c.alias;
    columns << KeyAlias;
    Sql sql(QStringLiteral("select ") + columns.join(QLatin1Char(',')) + QStringLiteral(" from ") +
            m_d.table + QLatin1Char(' '));
    if (m_d.perBook)
        sql.add(QStringLiteral(" where BName=?"), {m_book});
    else if (!m_labWhere.isEmpty())
        sql.add(QStringLiteral(" where 1=1"));
    sql += m_labWhere;
    sql.add(m_d.orderBy);
    return sql;
}

void MaintenanceWindow::Ref()
{
    QSet<QString> moneyAliases;
    for (const Column &c : m_d.columns)
        if (Schema::isMoneyColumn(m_d.table, c.name))
            moneyAliases << c.alias;
    try {
        QSqlQuery query = listQuery().exec();
        m_model->load(query, moneyAliases);
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
    for (const Column &c : m_d.columns)
        m_grid->setColumnHidden(m_model->column(c.alias), c.hidden);
    m_grid->setColumnHidden(m_model->column(KeyAlias), true);
    goToRow(0);
}

void MaintenanceWindow::applyFilter(const Condition &filter)
{
    setLabWhere(filter);
    Ref();
}

int MaintenanceWindow::currentRow() const
{
    return m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
}

QVariant MaintenanceWindow::currentKey() const
{
    return m_model->value(currentRow(), KeyAlias);
}

void MaintenanceWindow::goToRow(int row)
{
    if (row >= 0 && row < m_model->rowCount()) {
        int column = 0;
        while (column < m_model->columnCount() - 1 && m_grid->isColumnHidden(column))
            ++column;
        m_grid->setCurrentIndex(m_model->index(row, column));
    }
    showCurrentRow();
    updateNavigator();
}

void MaintenanceWindow::showCurrentRow()
{
    const int row = currentRow();
    for (const Field &f : m_d.fields)
        if (auto *edit = findChild<QLineEdit *>(f.name)) {
            // The limit is for typing: a longer stored text is shown, and kept, whole.
            const QString stored = m_model->text(row, f.alias);
            edit->setMaxLength(std::max(f.maxLength, int(stored.size())));
            edit->setText(stored);
        }
}

void MaintenanceWindow::updateNavigator()
{
    // While a row is pending the cursor stays on it, so nothing bypasses Save.
    const bool browsing = m_mode == Mode::Browse;
    const int row = currentRow();
    const int last = m_model->rowCount() - 1;
    m_navigator[0]->setEnabled(browsing && row > 0);
    m_navigator[1]->setEnabled(browsing && row > 0);
    m_navigator[2]->setEnabled(browsing && row < last);
    m_navigator[3]->setEnabled(browsing && row < last);
}

bool MaintenanceWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_mode != Mode::Browse && (watched == m_grid || watched == m_grid->viewport())) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            return true;
        case QEvent::KeyPress: {
            // Tab still leaves the grid; every other key would move its cursor.
            const int key = static_cast<QKeyEvent *>(event)->key();
            return key != Qt::Key_Tab && key != Qt::Key_Backtab;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MaintenanceWindow::setMode(Mode mode)
{
    m_mode = mode;
    const bool browsing = mode == Mode::Browse;
    m_panel->setEnabled(!browsing);
    m_butNew->setEnabled(browsing);
    m_butMed->setEnabled(browsing);
    m_butSave->setVisible(mode != Mode::Edit);
    m_butSave->setEnabled(mode == Mode::New);
    m_butSaveEdit->setVisible(mode == Mode::Edit);
    m_butCan->setEnabled(!browsing);
    m_butDel->setEnabled(browsing);
    if (m_butQuery)
        m_butQuery->setEnabled(browsing);
    myBool(!browsing);
    updateNavigator();
}

void MaintenanceWindow::myBool(bool shown)
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
        return static_cast<QDateEdit *>(control(f.input))->date().toString(dateFormat());
    if (f.kind == FieldKind::Combo)
        return static_cast<QComboBox *>(control(f.input))->currentText();
    return static_cast<QLineEdit *>(control(f.name))->text();
}

Money MaintenanceWindow::fieldAmount(const QString &alias) const
{
    return Money::parse(fieldText(alias)).value_or(Money());
}

QVariant MaintenanceWindow::storedValue(const QString &alias) const
{
    return m_model->value(currentRow(), alias);
}

void MaintenanceWindow::focusField(const Field &f)
{
    control(f.input.isEmpty() || m_mode == Mode::Browse ? f.name : f.input)->setFocus();
}

void MaintenanceWindow::fillLists()
{
    TfrmDM *dm = TfrmDM::instance();
    for (const Field &f : m_d.fields)
        if (f.kind == FieldKind::Combo && f.feeder) {
            // Read again on every 新增 and 修改, so that names renamed, added or
            // deleted meanwhile are offered as they are now; a choice still listed stays.
            auto *combo = static_cast<QComboBox *>(control(f.input));
            const QString chosen = combo->currentText();
            Msg::guarded(this, [&] { (dm->*f.feeder)(combo); });
            combo->setCurrentIndex(combo->findText(chosen));
        }
}

void MaintenanceWindow::ButNewClick()
{
    if (m_mode != Mode::Browse)
        return;
    fillLists();
    m_rowBeforeNew = currentRow();
    // The row being entered shows in the grid as an empty row until it is saved.
    goToRow(m_model->appendBlankRow());
    setMode(Mode::New);
    if (!m_d.fields.empty())
        focusField(m_d.fields.front());
}

void MaintenanceWindow::ButMedClick()
{
    if (m_mode != Mode::Browse || currentKey().isNull())
        return;
    fillLists();
    if (!Msg::guarded(this, [this] { refreshMovedFields(); }))
        return;
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
            f.kind == FieldKind::Amount ? Money::fromVariant(value).toPlain() : value.toString();
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
        const QString stored = m_model->text(row, f.alias);
        if (f.kind == FieldKind::Date) {
            // A stored text that is no date leaves the picker at what it showed.
            const QDate date = QDate::fromString(stored, dateFormat());
            if (date.isValid())
                static_cast<QDateEdit *>(control(f.input))->setDate(date);
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
    else if (f.kind == FieldKind::Amount && !text.isEmpty() && !Money::parse(text))
        message = Money::invalidMessage(f.alias);
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
        sql.add(QStringLiteral(" and BName=?"), {m_book});
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

void MaintenanceWindow::writeAlongside(Mode)
{
}

void MaintenanceWindow::deleteAlongside()
{
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
        row[QStringLiteral("BName")] = m_book;
    if (m_d.pinyin)
        row[QStringLiteral("thePY")] = PinyinCode(fieldText(m_d.nameAlias), PinyinMarkUnread, 255);
    completeRow(row, mode);
    return row;
}

void MaintenanceWindow::checkOwnBook() const
{
    if (m_d.perBook && m_book != TfrmDM::instance()->currentBook())
        throw DbError(m_book.isEmpty() ? Rows::noBookMessage() : otherBookMessage(m_book));
}

void MaintenanceWindow::carryRename()
{
    if (!m_d.referencedAs)
        return;
    const QString column = columnOf(m_d.nameAlias);
    const QVariant stored =
        Sql(QStringLiteral("select %1 from %2 where ID=?").arg(column, m_d.table), {currentKey()})
            .scalar();
    const QString renamed = fieldText(m_d.nameAlias);
    if (stored.isValid() && stored.toString() != renamed)
        References::rename(*m_d.referencedAs, stored.toString(), renamed, m_book);
}

bool MaintenanceWindow::writeRow(Mode mode)
{
    const QVariantMap row = rowToWrite(mode);
    try {
        Transaction transaction;
        checkOwnBook();
        writeAlongside(mode);
        if (mode == Mode::Edit)
            carryRename();
        const int written = mode == Mode::New ? Rows::insert(m_d.table, row)
                                              : Rows::update(m_d.table, row, currentKey());
        // Another window may have deleted the row meanwhile; saying "saved" would be false.
        if (written != 1)
            throw DbError(rowGoneMessage());
        transaction.commit();
        return true;
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return false;
    }
}

void MaintenanceWindow::ButSaveClick()
{
    if (m_mode != Mode::New || !runChecks(Mode::New) || !writeRow(Mode::New))
        return;
    Ref();
    setMode(Mode::Browse);
}

void MaintenanceWindow::ButSaveEditClick()
{
    if (m_mode != Mode::Edit || !runChecks(Mode::Edit))
        return;
    const QVariant key = currentKey();
    if (!writeRow(Mode::Edit))
        return;
    Ref();
    if (!m_d.rereadAfterEdit)
        goToRow(m_model->rowOf(KeyAlias, key));
    setMode(Mode::Browse);
}

void MaintenanceWindow::ButCanClick()
{
    if (m_mode == Mode::New) {
        m_model->removeRowAt(m_model->rowCount() - 1);
        goToRow(m_rowBeforeNew);
    } else {
        showCurrentRow(); // the edited row shows its stored values again
    }
    setMode(Mode::Browse);
}

void MaintenanceWindow::ButDelClick()
{
    const int row = currentRow();
    const QVariant key = currentKey();
    if (m_mode != Mode::Browse || key.isNull())
        return;
    if (!m_d.protectedName.isEmpty() && m_model->text(row, m_d.nameAlias) == m_d.protectedName)
        return;
    if (!Msg::confirmDelete(this))
        return;
    try {
        Transaction transaction;
        checkOwnBook();
        deleteAlongside();
        Sql(QStringLiteral("delete from ") + m_d.table + QStringLiteral(" where ID=?"), {key})
            .exec();
        transaction.commit();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    m_model->removeRowAt(row);
    goToRow(std::min(row, m_model->rowCount() - 1));
}

void MaintenanceWindow::ButExiClick()
{
    // An MDI child closes its frame, which closes the window with it.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

void MaintenanceWindow::closeEvent(QCloseEvent *event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void MaintenanceWindow::FormClose()
{
    if (m_d.refreshSummaryOnClose)
        if (TfrmMain *main = TfrmMain::instance())
            main->mySum();
}
