#include "import/ImportWindow.h"

#include "core/bills/BillImport.h"
#include "core/bills/BillReader.h"
#include "core/ledger/Changes.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "import/ImportModel.h"
#include "widgets/ListModel.h"
#include "widgets/ListWindow.h"
#include "widgets/LookupSearch.h"
#include "widgets/MessageBox.h"
#include "widgets/WindowFrame.h"
#include "widgets/WorkProgress.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

// A drop-down of the book's names in a cell of a settings table, the current one
// chosen (none when it is empty), with a blank first choice for "none".
QComboBox *choiceBox(Workspace::Feeder feeder, const QString &current)
{
    auto *box = new QComboBox;
    fillLookup(box, feeder);
    box->insertItem(0, QString());
    box->setCurrentIndex(std::max(0, box->findText(current)));
    makeSearchable(box);
    return box;
}

QTableWidget *settingsTable(const char *name, const QStringList &titles)
{
    auto *table = new QTableWidget(0, int(titles.size()));
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(titles);
    // The columns share the width the table has: its drop-downs are never cut.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setMinimumSectionSize(60);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    return table;
}

// A note that wraps to the width it is given rather than widening the window.
QLabel *note(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QTableWidgetItem *textItem(const QString &text)
{
    return new QTableWidgetItem(text);
}

// Work on a worker while the window waits with its progress, 取消 allowed; a
// failure is said. Empty when it failed or was cancelled.
template <typename Work>
auto aside(QWidget *parent, const QString &label, Work work)
    -> std::optional<std::invoke_result_t<Work &, Background::Context &>>
{
    try {
        return WorkProgress::run(parent, label, std::move(work), WorkProgress::Cancel::Allowed);
    } catch (const Background::Cancelled &) {
    } catch (const DbError &e) {
        Msg::error(parent, e.message());
    }
    return std::nullopt;
}

// What reading one bill file found.
struct Reading
{
    QList<Bills::Document> documents;
    QString error;
    bool needsPassword = false;
};

Reading read(const QString &path, const QString &password)
{
    Reading reading;
    try {
        reading.documents = Bills::readFile(path, password);
    } catch (const Bills::PasswordError &e) {
        reading.error = e.message();
        reading.needsPassword = true;
    } catch (const Bills::Error &e) {
        reading.error = e.message();
    }
    return reading;
}

// A rule now decides for every line it fits: what was chosen there by hand, of what
// the rule gives, gives way.
void forgetOwnChoices(Import::Plan &plan, const Import::Rule &rule)
{
    for (int i = 0; i < plan.lines().size(); ++i) {
        Import::Line &l = plan.line(i);
        const Bills::Row &r = plan.rowOf(l);
        if (!r.counterparty.contains(rule.pattern, Qt::CaseInsensitive) &&
            !r.goods.contains(rule.pattern, Qt::CaseInsensitive))
            continue;
        const QString &category =
            l.kind == Import::Kind::Income ? rule.incomeCategory : rule.expenseCategory;
        l.ownCategory = l.ownCategory && category.isEmpty();
        l.ownMember = l.ownMember && rule.member.isEmpty();
        l.ownAccount = l.ownAccount && rule.account.isEmpty();
    }
}

// Space toggles 导入 of the current line, as a check box is used by keyboard.
class SpaceToggles : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *grid = qobject_cast<QTableView *>(watched);
        if (!grid || event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent *>(event)->key() != Qt::Key_Space)
            return false;
        const QModelIndex chosen = grid->currentIndex().siblingAtColumn(ImportModel::Chosen);
        if (!chosen.isValid())
            return false;
        const bool checked = chosen.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        grid->model()->setData(chosen, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return true;
    }
};

} // namespace

ImportWindow::FileChooser ImportWindow::chooseFiles =
    [](QWidget *parent, const QString &title, const QString &folder, const QString &filter) {
        return QFileDialog::getOpenFileNames(parent, title, folder, filter);
    };

ImportWindow::ImportWindow(QWidget *parent)
    : QWidget(parent), m_book(Workspace::instance()->currentBook())
{
    setObjectName(QStringLiteral("TfrmImport"));
    setWindowTitle(QStringLiteral("导入帐单"));
    m_plan = std::make_unique<Import::Plan>(Import::Settings::load(m_book));
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    QPushButton *open = button(this, "ButOpen", QStringLiteral("选择帐单文件（&O）…"));
    connect(open, &QPushButton::clicked, this, &ImportWindow::addChosenFiles);
    top->addWidget(open);
    QPushButton *clear = button(this, "ButClear", QStringLiteral("清空（&C）"));
    connect(clear, &QPushButton::clicked, this, &ImportWindow::clearFiles);
    top->addWidget(clear);
    top->addSpacing(24);
    auto *memberLabel = new QLabel(QStringLiteral("家庭成员："), this);
    top->addWidget(memberLabel);
    m_member = new QComboBox(this);
    m_member->setObjectName(QStringLiteral("ComboMember"));
    m_member->setMinimumWidth(120);
    memberLabel->setBuddy(m_member);
    top->addWidget(m_member);
    top->addStretch();
    layout->addLayout(top);

    m_files = new QLabel(this);
    m_files->setObjectName(QStringLiteral("LabFiles"));
    m_files->setWordWrap(true);
    layout->addWidget(m_files);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("Tabs"));
    m_tabs->addTab(makeRowsPage(), QStringLiteral("帐单明细"));
    m_tabs->addTab(makeSettingsPage(), QStringLiteral("收/付款方式与类别"));
    m_tabs->addTab(makeBatchesPage(), QStringLiteral("导入记录"));
    layout->addWidget(m_tabs, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    QPushButton *import = button(this, "ButImport", QStringLiteral("导入（&I）"));
    connect(import, &QPushButton::clicked, this, &ImportWindow::importChosen);
    bottom->addWidget(import);
    QPushButton *exit = button(this, "ButExi", QStringLiteral("退出（&X）"));
    connect(exit, &QPushButton::clicked, this, [this] { closeWindow(this); });
    bottom->addWidget(exit);
    layout->addLayout(bottom);

    Msg::guarded(this, [this] {
        fillLookup(m_member, &Workspace::members);
        m_member->insertItem(0, QString());
        m_member->setCurrentIndex(0);
        readBatches();
    });
    makeSearchable(m_member);
    // An import undone or redone in 编辑 (or its entries restored from the bin): the
    // imports listed and the rows' statuses follow. This window's own imports it
    // follows itself.
    connect(ChangeFeed::instance(), &ChangeFeed::committed, this, [this](const Change &change) {
        if (change.window == windowTitle())
            return;
        if (m_plan->lines().isEmpty())
            Msg::guarded(this, [this] { readBatches(); });
        else
            replan();
    });
    connect(m_member, &QComboBox::currentTextChanged, this, [this](const QString &member) {
        m_plan->setMember(member);
        m_model->refresh();
    });
    showFiles();
    showSettings();
    showCounts();
    setFocusProxy(m_grid);
}

ImportWindow::~ImportWindow() = default;

QWidget *ImportWindow::makeRowsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("PageRows"));
    auto *layout = new QVBoxLayout(page);
    m_model = new ImportModel(m_plan.get(), this);
    m_grid = new QTableView(page);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    m_grid->setItemDelegate(new ImportChoiceDelegate(m_grid));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    m_grid->verticalHeader()->setDefaultSectionSize(24);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {44, 56, 90, 48, 90, 100, 124, 90, 70, 240, 220, 200};
    for (int c = 0; c < ImportModel::ColumnCount; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_grid->installEventFilter(new SpaceToggles(m_grid));
    layout->addWidget(m_grid, 1);
    m_remember = button(m_grid->viewport(), "ButRemember", QStringLiteral("以后都这样"));
    m_remember->hide();
    connect(m_remember, &QPushButton::clicked, this, &ImportWindow::rememberChoice);
    connect(m_model, &ImportModel::choiceEdited, this, &ImportWindow::offerToRemember);
    // It stands beside its cell, or not at all.
    const auto hideRemember = [this] { m_remember->hide(); };
    connect(m_model, &QAbstractItemModel::modelReset, this, hideRemember);
    connect(m_grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, hideRemember);
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this, hideRemember);

    // Why the current row went where it did, also when its column is scrolled away.
    m_why = note(page, QString());
    m_why->setObjectName(QStringLiteral("LabWhy"));
    layout->addWidget(m_why);
    const auto showWhy = [this] {
        const QModelIndex current = m_grid->currentIndex();
        if (m_model->rowCount() == 0)
            m_why->clear();
        else if (!current.isValid())
            m_why->setText(QStringLiteral("说明：选中一行，这里说它为什么这样归类。"));
        else
            m_why->setText(QStringLiteral("说明：") +
                           m_model->index(current.row(), ImportModel::Why).data().toString());
    };
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, showWhy);
    connect(m_model, &ImportModel::linesEdited, this, showWhy);

    auto *below = new QHBoxLayout;
    m_counts = note(page, QString());
    m_counts->setObjectName(QStringLiteral("LabCounts"));
    below->addWidget(m_counts, 1);
    QPushButton *rule = button(page, "ButRule", QStringLiteral("以后都这样（&R）"));
    rule->setToolTip(
        QStringLiteral("按当前这一行的类别和家庭成员建一条规则：交易对方或商品包含某段文字"
                       "的记录，以后都这样归类。"));
    connect(rule, &QPushButton::clicked, this, &ImportWindow::addRule);
    below->addWidget(rule);
    layout->addLayout(below);
    connect(m_model, &ImportModel::linesEdited, this, &ImportWindow::showCounts);
    return page;
}

QWidget *ImportWindow::makeSettingsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("PageSettings"));
    auto *layout = new QHBoxLayout(page);
    const auto column = [&](int stretch, const QString &title, QWidget *table,
                            QWidget *extra = nullptr) {
        auto *box = new QVBoxLayout;
        box->addWidget(note(page, title));
        box->addWidget(table, 1);
        // A table below gets its share of the height; a button keeps to the right.
        if (qobject_cast<QPushButton *>(extra))
            box->addWidget(extra, 0, Qt::AlignRight);
        else if (extra)
            box->addWidget(extra, 1);
        layout->addLayout(box, stretch);
    };
    m_methods =
        settingsTable("GridMethods", {QStringLiteral("收/付款方式"), QStringLiteral("帐户")});
    m_transfers = settingsTable("GridTransfers",
                                {QStringLiteral("不计收支的记录"), QStringLiteral("对方帐户")});
    auto *moves = new QWidget(page);
    auto *movesLayout = new QVBoxLayout(moves);
    movesLayout->setContentsMargins(0, 0, 0, 0);
    movesLayout->addWidget(note(moves, QStringLiteral("余额宝转入转出、花呗还款、提现、充值、"
                                                      "取现等记录转到哪个帐户（选择后自动作为"
                                                      "转帐导入）：")));
    movesLayout->addWidget(m_transfers, 1);
    column(3, QStringLiteral("收/付款方式是本帐簿的哪个帐户（选择一次，以后记住）："), m_methods,
           moves);
    m_categories =
        settingsTable("GridCategories", {QStringLiteral("帐单分类"), QStringLiteral("支出类别"),
                                         QStringLiteral("收入类别")});
    column(3, QStringLiteral("帐单分类是哪个类别（没有的记为其他支出、其他收入）："), m_categories);
    m_rules = settingsTable("GridRules", {QStringLiteral("包含文字"), QStringLiteral("支出类别"),
                                          QStringLiteral("收入类别"), QStringLiteral("家庭成员"),
                                          QStringLiteral("帐户")});
    QPushButton *remove = button(page, "ButDeleteRule", QStringLiteral("删除规则（&D）"));
    connect(remove, &QPushButton::clicked, this, &ImportWindow::deleteRule);
    column(3,
           QStringLiteral("规则（先于商户表和帐单分类使用；在帐单明细中改了类别或帐户后单击"
                          "旁边的“以后都这样”添加，在这里可以改）："),
           m_rules, remove);
    return page;
}

QWidget *ImportWindow::makeBatchesPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("PageBatches"));
    auto *layout = new QVBoxLayout(page);
    const List::Pane pane = List::makePane(page, 160, QStringLiteral("GridBatches"));
    m_batches = pane.model;
    m_batchGrid = pane.grid;
    layout->addWidget(pane.panel, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(
        note(page, QStringLiteral("撤销导入会删除那一次导入的全部记录，帐户余额随之恢复；"
                                  "其中有记录导入后改动过时不能撤销。")),
        1);
    QPushButton *undo = button(page, "ButUndo", QStringLiteral("撤销导入（&U）"));
    connect(undo, &QPushButton::clicked, this, &ImportWindow::undoImport);
    row->addWidget(undo);
    layout->addLayout(row);
    return page;
}

void ImportWindow::readBatches()
{
    const std::vector<List::Column> columns = {
        {QStringLiteral("Made"), QStringLiteral("导入时间"), List::Kind::Text, 150},
        {QStringLiteral("Entries"), QStringLiteral("记录数"), List::Kind::Count, 70},
        {QStringLiteral("Files"), QStringLiteral("帐单文件"), List::Kind::Text, 600},
        {QStringLiteral("ID"), QStringLiteral("ID"), List::Kind::Hidden},
    };
    List::Query query = List::listing(columns, QStringLiteral("ImportBatch"));
    query.select.add(QStringLiteral(" where BName=? and Undone=0"), {m_book});
    query.order = QStringLiteral("ID desc");
    m_batches->setQuery(query);
    List::showColumns(m_batchGrid, m_batches, columns);
}

QList<Bills::Document> ImportWindow::readFile(const QString &path)
{
    QString password = m_zipPassword;
    const QString label = QStringLiteral("正在读取“%1”……").arg(QFileInfo(path).fileName());
    for (;;) {
        const std::optional<Reading> reading = aside(
            this, label, [path, password](Background::Context &) { return read(path, password); });
        if (!reading)
            return {};
        if (reading->error.isEmpty()) {
            m_zipPassword = password;
            return reading->documents;
        }
        if (!reading->needsPassword) {
            Msg::plain(this, reading->error);
            return {};
        }
        QInputDialog dialog(this);
        dialog.setObjectName(QStringLiteral("ZipPassword"));
        dialog.setWindowTitle(QStringLiteral("解压密码"));
        dialog.setLabelText(reading->error);
        dialog.setTextEchoMode(QLineEdit::Password);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        password = dialog.textValue();
    }
}

void ImportWindow::addFiles(const QStringList &paths)
{
    QList<Bills::Document> documents;
    for (const QString &path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (m_paths.contains(absolute)) {
            Msg::plain(this,
                       QStringLiteral("文件“%1”已经选择过了。").arg(QFileInfo(path).fileName()));
            continue;
        }
        const QList<Bills::Document> read = readFile(path);
        if (read.isEmpty())
            continue;
        m_paths << absolute;
        documents << read;
    }
    if (documents.isEmpty())
        return;
    // The lines there keep what the user set on them.
    const bool added = showPlan([plan = *m_plan, documents](Background::Context &) {
        Import::Plan more = plan;
        more.add(documents);
        return more;
    });
    if (!added)
        return;
    m_tabs->setCurrentIndex(0);
    m_grid->setFocus();
    if (m_model->rowCount() > 0 && !m_grid->currentIndex().isValid())
        m_grid->setCurrentIndex(m_model->index(0, ImportModel::Chosen));
}

void ImportWindow::addChosenFiles()
{
    const QString folder = m_paths.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)
                               : QFileInfo(m_paths.last()).absolutePath();
    const QStringList paths =
        chooseFiles(this, QStringLiteral("选择帐单文件"), folder,
                    QStringLiteral("帐单文件 (*.csv *.xlsx *.zip);;所有文件 (*)"));
    if (!paths.isEmpty())
        addFiles(paths);
}

void ImportWindow::clearFiles()
{
    m_plan->clear();
    m_paths.clear();
    m_model->refresh();
    showFiles();
    showSettings();
}

void ImportWindow::showFiles()
{
    QStringList files;
    for (const Bills::Document &d : m_plan->documents())
        files << QStringLiteral("%1（%2，%3 行）").arg(d.name, d.title).arg(d.rows.size());
    m_files->setText(
        files.isEmpty()
            ? QStringLiteral("请选择从支付宝、微信或银行导出的帐单文件（CSV、XLSX，或邮件"
                             "中的 ZIP 压缩包），可以一次选择几个，也可以把文件拖到主窗口上。")
            : QStringLiteral("帐单：") + files.join(QStringLiteral("；")));
}

void ImportWindow::showCounts()
{
    Import::Tally chosen;
    for (const Import::Tally &t : m_plan->tally(true))
        chosen += t;
    m_counts->setText(Import::countsText(m_plan->tally(), QStringLiteral("　　")) +
                      QLatin1Char('\n') + Import::tallyText(QStringLiteral("选中导入"), chosen));
}

void ImportWindow::showSettings()
{
    const Import::Settings &settings = m_plan->settings();
    Msg::guarded(this, [&] {
        const QStringList methods = m_plan->methods();
        m_methods->setRowCount(int(methods.size()));
        for (int r = 0; r < methods.size(); ++r) {
            m_methods->setItem(r, 0, textItem(methods.at(r)));
            QComboBox *box = choiceBox(&Workspace::accounts, settings.account(methods.at(r)));
            box->setObjectName(QStringLiteral("Method_") + methods.at(r));
            connect(box, &QComboBox::activated, this, [this, box, method = methods.at(r)] {
                Msg::guarded(this,
                             [&] { m_plan->settings().setAccount(method, box->currentText()); });
                settingsChanged();
            });
            m_methods->setCellWidget(r, 1, box);
        }
        const QStringList categories = m_plan->appCategories();
        m_categories->setRowCount(int(categories.size()));
        for (int r = 0; r < categories.size(); ++r) {
            const QString app = categories.at(r);
            m_categories->setItem(r, 0, textItem(app));
            for (const bool expense : {true, false}) {
                QComboBox *box = choiceBox(expense ? &Workspace::expenseCategories
                                                   : &Workspace::incomeCategories,
                                           settings.category(app, expense));
                box->setObjectName(
                    (expense ? QStringLiteral("Expense_") : QStringLiteral("Income_")) + app);
                connect(box, &QComboBox::activated, this, [this, box, app, expense] {
                    Msg::guarded(this, [&] {
                        m_plan->settings().setCategory(app, expense, box->currentText());
                    });
                    settingsChanged();
                });
                m_categories->setCellWidget(r, expense ? 1 : 2, box);
            }
        }
    });
    showTransfers();
    showRules();
}

void ImportWindow::showTransfers()
{
    Msg::guarded(this, [&] {
        QStringList kinds = m_plan->transferKinds();
        for (const QString &kind : m_plan->settings().transferKinds())
            if (!kinds.contains(kind))
                kinds << kind;
        m_transfers->setRowCount(int(kinds.size()));
        for (int r = 0; r < kinds.size(); ++r) {
            const QString kind = kinds.at(r);
            m_transfers->setItem(r, 0, textItem(kind));
            QComboBox *box =
                choiceBox(&Workspace::accounts, m_plan->settings().transferAccount(kind));
            box->setObjectName(QStringLiteral("Transfer_") + kind);
            connect(box, &QComboBox::activated, this, [this, box, kind] {
                Msg::guarded(
                    this, [&] { m_plan->settings().setTransferAccount(kind, box->currentText()); });
                settingsChanged();
            });
            m_transfers->setCellWidget(r, 1, box);
        }
    });
}

// The rules with drop-downs of what each gives: a change is saved at once.
void ImportWindow::showRules()
{
    const QList<Import::Rule> rules = m_plan->settings().rules();
    m_rules->setRowCount(int(rules.size()));
    Msg::guarded(this, [&] {
        for (int r = 0; r < rules.size(); ++r) {
            const Import::Rule &rule = rules.at(r);
            m_rules->setItem(r, 0, textItem(rule.pattern));
            m_rules->item(r, 0)->setData(Qt::UserRole, rule.id);
            const std::pair<Workspace::Feeder, QString Import::Rule::*> cells[] = {
                {&Workspace::expenseCategories, &Import::Rule::expenseCategory},
                {&Workspace::incomeCategories, &Import::Rule::incomeCategory},
                {&Workspace::members, &Import::Rule::member},
                {&Workspace::accounts, &Import::Rule::account}};
            for (int c = 0; c < 4; ++c) {
                const auto [feeder, field] = cells[c];
                QComboBox *box = choiceBox(feeder, rule.*field);
                box->setObjectName(QStringLiteral("Rule%1_%2").arg(c + 1).arg(rule.pattern));
                connect(box, &QComboBox::activated, this, [this, box, rule, field] {
                    Import::Rule changed = rule;
                    changed.*field = box->currentText();
                    Msg::guarded(this, [&] { m_plan->settings().updateRule(changed); });
                    forgetOwnChoices(*m_plan, changed);
                    settingsChanged();
                });
                m_rules->setCellWidget(r, c + 1, box);
            }
        }
    });
}

// The drop-downs of the settings stay as they are: the one changed shows its choice.
void ImportWindow::settingsChanged()
{
    m_plan->remap();
    m_model->refresh();
}

void ImportWindow::addRule()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid()) {
        Msg::plain(this, QStringLiteral("请先在帐单明细中选择一行。"));
        return;
    }
    const Import::Line &line = m_plan->lines().at(current.row());
    if (line.kind == Import::Kind::Transfer) {
        Msg::plain(this, QStringLiteral("转帐没有类别，不能按它建规则。"));
        return;
    }
    const Bills::Row &row = m_plan->rowOf(line);
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("RuleText"));
    dialog.setWindowTitle(QStringLiteral("以后都这样"));
    dialog.setLabelText(
        QStringLiteral("交易对方或商品包含这段文字的记录，以后都记为“%1”%2：")
            .arg(line.category, line.member.isEmpty()
                                    ? QString()
                                    : QStringLiteral("、家庭成员“%1”").arg(line.member)));
    dialog.setTextValue(row.counterparty.isEmpty() ? row.goods : row.counterparty);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString pattern = dialog.textValue().trimmed();
    if (pattern.isEmpty()) {
        Msg::plain(this, QStringLiteral("规则的文字不能为空！"));
        return;
    }
    const bool expense = line.kind == Import::Kind::Expense;
    Import::Rule rule{0,
                      pattern,
                      expense ? line.category : QString(),
                      expense ? QString() : line.category,
                      line.member,
                      QString()};
    if (!Msg::guarded(this, [&] { m_plan->settings().addRule(rule); }))
        return;
    forgetOwnChoices(*m_plan, rule);
    settingsChanged();
    showRules();
    m_grid->setCurrentIndex(current);
}

void ImportWindow::offerToRemember(const QModelIndex &index)
{
    const Import::Line &line = m_plan->lines().at(index.row());
    const Bills::Row &row = m_plan->rowOf(line);
    const bool move = line.kind == Import::Kind::Transfer;
    if (!move && row.counterparty.isEmpty() && row.goods.isEmpty())
        return;
    m_edited = index;
    m_remember->setToolTip(
        move ? QStringLiteral("以后“%1”的记录都转到这个帐户，自动作为转帐导入。")
                   .arg(line.transferKind)
             : QStringLiteral("以后交易对方为“%1”的记录都这样记。")
                   .arg(row.counterparty.isEmpty() ? row.goods : row.counterparty));
    const QRect cell = m_grid->visualRect(index);
    m_remember->adjustSize();
    m_remember->resize(m_remember->width(), std::max(cell.height(), 22));
    m_remember->move(cell.right() + 2, cell.top());
    m_remember->show();
    m_remember->raise();
}

void ImportWindow::rememberChoice()
{
    m_remember->hide();
    if (!m_edited.isValid())
        return;
    const int index = m_edited.row();
    const int column = m_edited.column();
    Import::Line &line = m_plan->line(index);
    const Bills::Row &row = m_plan->rowOf(line);
    Import::Settings &settings = m_plan->settings();
    if (line.kind == Import::Kind::Transfer) {
        // The side that is not the payment method's own account.
        const QString own = settings.account(row.method);
        const QString other =
            line.account.compare(own, Qt::CaseInsensitive) == 0 ? line.toAccount : line.account;
        if (!Msg::guarded(this, [&] { settings.setTransferAccount(line.transferKind, other); }))
            return;
        line.ownAccount = line.ownToAccount = false;
    } else {
        const QString pattern = row.counterparty.isEmpty() ? row.goods : row.counterparty;
        Import::Rule rule{0, pattern, {}, {}, {}, {}};
        for (const Import::Rule &kept : settings.rules())
            if (kept.pattern.compare(pattern, Qt::CaseInsensitive) == 0)
                rule = kept;
        const bool expense = line.kind == Import::Kind::Expense;
        if (column == ImportModel::Account)
            rule.account = line.account;
        else
            (expense ? rule.expenseCategory : rule.incomeCategory) = line.category;
        if (!Msg::guarded(this, [&] {
                rule.id == 0 ? void(settings.addRule(rule)) : settings.updateRule(rule);
            }))
            return;
        forgetOwnChoices(*m_plan, rule);
        showRules();
    }
    settingsChanged();
    m_grid->setCurrentIndex(m_model->index(index, column));
}

void ImportWindow::deleteRule()
{
    const int row = m_rules->currentRow();
    if (row < 0 || !m_rules->item(row, 0)) {
        Msg::plain(this, QStringLiteral("请先选择要删除的规则。"));
        return;
    }
    // Rules are settings, not book rows: they do not go to the recycle bin.
    if (!Msg::ask(this, QStringLiteral("删除"),
                  QStringLiteral("确认要删除规则“%1”吗？").arg(m_rules->item(row, 0)->text()),
                  QMessageBox::No))
        return;
    const qint64 id = m_rules->item(row, 0)->data(Qt::UserRole).toLongLong();
    if (Msg::guarded(this, [&] { m_plan->settings().removeRule(id); }))
        settingsChanged();
}

void ImportWindow::importChosen()
{
    if (m_plan->chosenCount() == 0) {
        Msg::plain(this, m_plan->lines().isEmpty() ? QStringLiteral("请先选择帐单文件。")
                                                   : QStringLiteral("没有选中要导入的记录。"));
        return;
    }
    if (const QString refusal = m_plan->refusal(); !refusal.isEmpty()) {
        Msg::plain(this, refusal);
        // Where the payment methods are given their accounts.
        if (!m_plan->unmappedMethods().isEmpty())
            m_tabs->setCurrentIndex(1);
        return;
    }
    const std::optional<Import::Result> result =
        aside(this, QStringLiteral("正在导入……"), [plan = *m_plan](Background::Context &work) {
            return Import::write(plan, WorkProgress::counting(work, QStringLiteral("正在导入……")));
        });
    if (!result)
        return;
    replan();
    Msg::show(this, QMessageBox::Information, QStringLiteral("导入帐单"),
              Import::resultText(*result) +
                  QStringLiteral("\n如要全部撤销，请在“导入记录”中选择这次导入，单击“撤销导入”。"));
}

void ImportWindow::undoImport()
{
    const QModelIndex current = m_batchGrid->currentIndex();
    if (!current.isValid()) {
        Msg::plain(this, QStringLiteral("请先在列表中选择要撤销的一次导入。"));
        return;
    }
    const int row = current.row();
    const qint64 batch = m_batches->value(row, QStringLiteral("ID")).toLongLong();
    if (!Msg::ask(
            this, QStringLiteral("撤销导入"),
            QStringLiteral("要撤销 %1 导入的 %2 条记录吗？这些记录将被删除，帐户余额随之恢复。")
                .arg(m_batches->text(row, QStringLiteral("导入时间")),
                     m_batches->text(row, QStringLiteral("记录数"))),
            QMessageBox::No))
        return;
    const QString step = QStringLiteral("正在撤销导入……");
    const auto undone = aside(this, step, [book = m_book, batch, step](Background::Context &work) {
        Import::undo(book, batch, WorkProgress::counting(work, step));
        return true;
    });
    if (!undone)
        return;
    replan();
    Msg::show(this, QMessageBox::Information, QStringLiteral("撤销导入"),
              QStringLiteral("这次导入已撤销。"));
}

void ImportWindow::replan()
{
    showPlan([book = m_book, member = m_plan->member(),
              documents = m_plan->documents()](Background::Context &) {
        Import::Plan plan(Import::Settings::load(book));
        plan.setMember(member);
        plan.add(documents);
        return plan;
    });
    Msg::guarded(this, [this] { readBatches(); });
}

bool ImportWindow::showPlan(const std::function<Import::Plan(Background::Context &)> &make)
{
    std::optional<Import::Plan> plan = aside(this, QStringLiteral("正在比对帐单……"), make);
    if (!plan)
        return false;
    m_model->replacePlan(std::move(*plan));
    showFiles();
    showSettings();
    return true;
}
