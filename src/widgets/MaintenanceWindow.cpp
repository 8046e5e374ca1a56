#include "widgets/MaintenanceWindow.h"

#include "app/TfrmMain.h"
#include "data/Schema.h"
#include "data/TfrmDM.h"
#include "data/Transaction.h"
#include "reference/PinyinCode.h"
#include "widgets/AmountValidator.h"
#include "widgets/DatePicker.h"
#include "widgets/EditKeys.h"
#include "widgets/FilterStatus.h"
#include "widgets/ListModel.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"

#include <QCloseEvent>
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
    return QStringLiteral("该记录已不存在，可能已在其他窗口中删除。");
}

MaintenanceWindow::MaintenanceWindow(Descriptor descriptor, QWidget *parent)
    : QWidget(parent), m_d(std::move(descriptor))
{
    setObjectName(m_d.className);
    setWindowTitle(m_d.caption);
    auto *layout = new QVBoxLayout(this);
    buildGrid();
    buildPanel();
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_panel);
    buildButtons();
    new EditKeys(this);
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
        sql.add(QStringLiteral(" where BName=?"), {TfrmDM::instance()->currentBook()});
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

void MaintenanceWindow::showFilter(const QString &description)
{
    if (!m_filterStatus) {
        m_filterStatus = new FilterStatus(this, this);
        layout()->addWidget(m_filterStatus);
    }
    m_filterStatus->showConditions(description);
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
        if (auto *edit = findChild<QLineEdit *>(f.name))
            edit->setText(m_model->text(row, f.alias));
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
            try {
                (dm->*f.feeder)(static_cast<QComboBox *>(control(f.input)));
            } catch (const DbError &e) {
                Msg::error(this, e.message());
            }
        }
}

void MaintenanceWindow::ButNewClick()
{
    if (m_mode != Mode::Browse)
        return;
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
    setMode(Mode::Edit);
    loadInputs();
    if (!m_d.fields.empty())
        focusField(m_d.fields.front());
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

bool MaintenanceWindow::isDuplicate() const
{
    Sql sql(QStringLiteral("select ID from ") + m_d.table + QStringLiteral(" Where ") +
                columnOf(m_d.nameAlias) + QStringLiteral("=?"),
            {fieldText(m_d.nameAlias)});
    if (m_d.perBook)
        sql.add(QStringLiteral(" and BName=?"), {TfrmDM::instance()->currentBook()});
    return sql.hasRows();
}

bool MaintenanceWindow::runChecks(Mode mode)
{
    for (const Field &f : m_d.fields)
        if (!checkField(f))
            return false;
    if (!extraChecks(mode))
        return false;
    if (mode != Mode::New || !m_d.duplicateTest)
        return true;
    try {
        if (!isDuplicate())
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
        row[columnOf(f.alias)] = valueToWrite(f);
    if (m_d.perBook)
        row[QStringLiteral("BName")] = TfrmDM::instance()->currentBook();
    if (m_d.pinyin)
        row[QStringLiteral("thePY")] = PinyinCode(fieldText(m_d.nameAlias), PinyinMarkUnread, 255);
    completeRow(row, mode);
    return row;
}

Sql MaintenanceWindow::writeStatement(const QVariantMap &row, Mode mode) const
{
    const QStringList columns = row.keys();
    if (mode == Mode::New) {
        const QStringList marks(columns.size(), QStringLiteral("?"));
        return Sql(
            QStringLiteral("insert into %1 (%2) values (%3)")
                .arg(m_d.table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
            row.values());
    }
    return Sql(QStringLiteral("update %1 set %2=? where ID=?")
                   .arg(m_d.table, columns.join(QStringLiteral("=?,"))),
               row.values() << currentKey());
}

bool MaintenanceWindow::writeRow(Mode mode)
{
    const QVariantMap row = rowToWrite(mode);
    try {
        Transaction transaction;
        writeAlongside(mode);
        const QSqlQuery written = writeStatement(row, mode).exec();
        // Another window may have deleted the row meanwhile; saying "saved" would be false.
        if (written.numRowsAffected() != 1)
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
    if (!m_d.protectedName.isEmpty() && m_model->text(row, m_d.nameAlias) == m_d.protectedName) {
        Msg::plain(this, protectedMessage(m_d));
        return;
    }
    if (!Msg::confirmDelete(this))
        return;
    try {
        Transaction transaction;
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
    if (!mayDiscardPending()) {
        event->ignore();
        return;
    }
    FormClose();
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

void MaintenanceWindow::FormClose()
{
    if (m_d.refreshSummaryOnClose)
        if (TfrmMain *main = TfrmMain::instance())
            main->mySum();
}
