#include "app/MainWindow.h"

#include "app/ProjectLinks.h"
#include "app/SideBarIcons.h"
#include "app/SummaryPanel.h"
#include "app/WindowCatalog.h"
#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/Changes.h"
#include "core/ledger/History.h"
#include "core/ledger/TotalsCheck.h"
#include "core/ledger/Workspace.h"
#include "core/planning/Budget.h"
#include "data/Dates.h"
#include "data/Sql.h"
#include "import/ImportWindow.h"
#include "planning/ScheduleWindows.h"
#include "widgets/ColumnMemory.h"
#include "widgets/ListWindow.h"
#include "widgets/MaintenanceWindow.h"
#include "widgets/MessageBox.h"
#include "widgets/Resources.h"
#include "widgets/WorkProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

MainWindow *g_mainWindow = nullptr;

// How long a note that needs no answer stays in the status bar.
constexpr int NoteSeconds = 15;
// How long deleted rows and books wait in the recycle bin.
constexpr int RecycleBinDays = 90;

bool g_startupDialog = true;

// The main window's place and size, kept in the settings between runs.
const QString GeometryKey = QStringLiteral("mainWindow/geometry");

// The desktop's calculators, in the order they are looked for.
const char *const Calculators[] = {"gnome-calculator", "kcalc",        "galculator", "mate-calc",
                                   "qalculate-gtk",    "qalculate-qt", "xcalc"};

// The statistics windows show two grids side by side at equal width.
bool hasHalfWidthPanel(const QString &className)
{
    return className == QLatin1String("TfrmPage1") || className == QLatin1String("TfrmPage2");
}

// The side bar: a light column of flat buttons, icon and caption at one line.
void styleSideBar(QWidget *sideBar)
{
    sideBar->setAutoFillBackground(true);
    sideBar->setStyleSheet(QStringLiteral(
        "QWidget#Panel1 { background: #e9efe7; }"
        "QPushButton { text-align: left; padding: 4px 8px; border: none; border-radius: 4px;"
        " background: transparent; }"
        "QPushButton:hover { background: #d5e3d2; }"
        "QPushButton:pressed { background: #c2d6be; }"
        "QPushButton:disabled { color: #9aa19a; }"
        "QTextBrowser { background: transparent; }"
        "QFrame[frameShape=\"4\"] { color: #c9d3c6; }"));
}

} // namespace

// One item of the main menu: a window to open, or an action of the main window.
// An item without a caption is a separator.
struct MainWindow::MenuItem
{
    const char *name;
    const char *caption = nullptr;
    const char *window = nullptr;
    std::function<void(MainWindow *)> action = {};
    std::vector<MenuItem> submenu = {};
};

namespace {

std::function<void(MainWindow *)> openUrl(QUrl (*url)())
{
    return [url](MainWindow *) { QDesktopServices::openUrl(url()); };
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_printer(std::make_unique<QPrinter>())
{
    g_mainWindow = this;
    initBundledPages();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/qinghebu.png")));
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowTitle(QStringLiteral("青禾簿"));
    resize(1024, 620);
    setAcceptDrops(true); // bill files dropped here are imported
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // Where the user left it last time, and as large.
    restoreGeometry(QSettings().value(GeometryKey).toByteArray());

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    buildSideBar(central);
    m_mdiArea = new QMdiArea(central);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    // The home page: light, behind the child windows.
    m_mdiArea->setBackground(QColor(0xf3, 0xf6, 0xf2));
    m_summary = new SummaryPanel(m_mdiArea->viewport());
    connect(m_summary, &SummaryPanel::dueRequested, this,
            [this] { openWindow(QStringLiteral("TfrmDue")); });
    row->addWidget(m_mdiArea, 1);
    setCentralWidget(central);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    auto *statusText = new QLabel(QStringLiteral("青禾簿 家庭日记帐管理"), status);
    statusText->setObjectName(QStringLiteral("StatusPanel"));
    status->addWidget(statusText, 1);
    // A message takes the status text's place. QStatusBar hides the text itself only
    // when it is already visible, so a message given before the window is shown (the
    // automatic backup's failure at start) would be drawn over it.
    connect(status, &QStatusBar::messageChanged, statusText,
            [statusText](const QString &message) { statusText->setVisible(message.isEmpty()); });
    setStatusBar(status);

    buildMenus();
    if (Workspace *dm = Workspace::instance())
        connectDataModule(dm);
    updateActions();
    startUp();
}

MainWindow::~MainWindow()
{
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

MainWindow *MainWindow::instance()
{
    return g_mainWindow;
}

void MainWindow::setStartupDialog(bool enabled)
{
    g_startupDialog = enabled;
}

void MainWindow::connectDataModule(Workspace *dm)
{
    connect(dm, &Workspace::bookOpened, this, [this](const QString &book) {
        showBook(book);
        backUpAutomatically();
        Recurring::atBookOpening(
            book, [this](const QString &note) { showNote(note, NoteSeconds * 1000); },
            [this] { openWindow(QStringLiteral("TfrmDue")); });
    });
    connect(dm, &Workspace::bookClosed, this, [this] { showBook(QString()); });
    connect(ChangeFeed::instance(), &ChangeFeed::committed, this, &MainWindow::bookChanged);
    // Balances replaced as a whole (a restore, kept totals rebuilt).
    connect(dm, &Workspace::balancesChanged, this, &MainWindow::refreshSummary);
    // Every window belongs to the book that was open when it opened.
    connect(dm, &Workspace::bookWindowsClosing, this, [this](bool *refused) {
        if (!closeAllChildren())
            *refused = true;
    });
}

void MainWindow::startUp()
{
    m_startDate = today();
    Workspace *dm = Workspace::instance();
    dm->setStartDate(m_startDate);
    showBookMenus(false);

    if (!dm->isOpen()) {
        // The main window still comes up, with no book and the book menus hidden.
        Msg::error(this, dm->openError());
        return;
    }
    bool anyBook = false;
    try {
        anyBook = Sql(QStringLiteral("Select * from SBook")).hasRows();
    } catch (const DbError &e) {
        Msg::error(this, e.message());
        return;
    }
    emptyRecycleBin();
    if (g_startupDialog)
        startupDialogs(anyBook);
    m_sideBarPage->setSource(QUrl(QStringLiteral("qrc:/pages/sidebar.html")));
}

void MainWindow::emptyRecycleBin()
{
    try {
        History::expire(RecycleBinDays);
        BookStore::expireBinnedBooks(RecycleBinDays);
    } catch (const DbError &e) {
        showNote(QStringLiteral("回收站没有清理：") + e.message());
    }
}

void MainWindow::nameUndoActions()
{
    const QString book = Workspace::instance()->currentBook();
    const auto name = [this](const char *item, const QString &caption,
                             const std::optional<History::Action> &action) {
        if (auto *a = findChild<QAction *>(QLatin1String(item)))
            a->setText(action ? caption.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ') +
                                    action->description
                              : caption);
    };
    try {
        name("N50", QStringLiteral("撤销 &U"),
             book.isEmpty() ? std::nullopt : History::undoable(book));
        name("N51", QStringLiteral("重做 &R"),
             book.isEmpty() ? std::nullopt : History::redoable(book));
    } catch (const DbError &) {
        // The captions stay as they were; the action itself says what failed.
    }
}

void MainWindow::undoLast()
{
    stepHistory(true);
}

void MainWindow::redoLast()
{
    stepHistory(false);
}

void MainWindow::stepHistory(bool undo)
{
    Workspace *dm = Workspace::instance();
    const QString book = dm->currentBook();
    if (book.isEmpty())
        return;
    try {
        const std::optional<History::Action> action =
            undo ? History::undoable(book) : History::redoable(book);
        if (!action) {
            showNote(undo ? QStringLiteral("没有可以撤销的操作。")
                          : QStringLiteral("没有可以重做的操作。"),
                     NoteSeconds * 1000);
            return;
        }
        // Entries a reconciliation confirmed are not taken away unasked.
        if (const QString question = undo ? History::reconciledQuestion(book) : QString();
            !question.isEmpty() &&
            !Msg::ask(this, QStringLiteral("撤销"), question, QMessageBox::No))
            return;
        // A big import taken back or written again runs on a worker, its progress shown.
        const QString step = undo ? QStringLiteral("正在撤销……") : QStringLiteral("正在重做……");
        WorkProgress::run(
            this, step,
            [book, undo, step](Background::Context &work) {
                const History::Progress progress = WorkProgress::counting(work, step);
                undo ? History::undo(book, progress) : History::redo(book, progress);
            },
            WorkProgress::Cancel::Allowed);
        showNote((undo ? QStringLiteral("已撤销：") : QStringLiteral("已重做：")) +
                     action->description,
                 NoteSeconds * 1000);
    } catch (const Background::Cancelled &) {
        return;
    } catch (const DbError &e) {
        Msg::plain(this, e.message());
    }
}

void MainWindow::bookChanged(const Change &change)
{
    if (change.book != Workspace::instance()->currentBook())
        return;
    refreshSummary();
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
        if (auto *list = qobject_cast<ListWindow *>(sub->widget()))
            list->followChange();
    // An action that takes a budget past 80 % or past all of it says so, once.
    if (change.spending.empty())
        return;
    try {
        for (const QString &note : Budget::warnings(change.book, change.spending))
            showNote(note, NoteSeconds * 1000);
    } catch (const DbError &) {
        // The action itself succeeded; a budget that cannot be read says nothing.
    }
}

void MainWindow::startupDialogs(bool anyBook)
{
    if (anyBook) {
        openWindow(QStringLiteral("TfrmOpenBook"));
        return;
    }
    openWindow(QStringLiteral("TfrmNewBook"));
    // The first book made, opening it follows at once: only its password is asked.
    try {
        if (BookStore::bookCount() > 0)
            openWindow(QStringLiteral("TfrmOpenBook"));
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void MainWindow::buildSideBar(QWidget *central)
{
    auto *panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedWidth(154);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 8, 6, 6);
    column->setSpacing(2);

    // Each button runs the same handler as the menu item it names. They carry no
    // mnemonics: Alt and a letter belong to the child windows' buttons.
    const std::pair<const char *, const char *> buttons[] = {
        {"收入", "N11"},     {"支出", "O2"},      {"帐户转帐", "A1"}, {"债务", "N21"},
        {"债权", "N22"},     {"投资", "N33"},     {"收支统计", "R2"}, {"债务债权统计", "N23"},
        {"家庭成员", "N13"}, {"帐户管理", "N15"}, {"退出", "N8"},
    };
    for (const auto &[caption, item] : buttons) {
        const QString itemName = QLatin1String(item);
        auto *button = new QPushButton(sideBarIcon(itemName), QString::fromUtf8(caption), panel);
        button->setObjectName(QStringLiteral("Side_") + itemName);
        button->setIconSize(QSize(24, 24));
        button->setMinimumHeight(36);
        // The side bar is for the mouse; the keyboard has the same items in the menus.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, itemName] {
            // Hidden menu items still run: the side bar never hides. A button is
            // enabled only while its item is (updateActions).
            if (auto *action = findChild<QAction *>(itemName); action && action->isEnabled())
                emit action->triggered();
        });
        if (itemName == QLatin1String("N8")) {
            // 退出 stands apart, at the foot, under the note.
            column->addStretch(1);
            m_sideBarPage = new QTextBrowser(panel);
            m_sideBarPage->setObjectName(QStringLiteral("WebBrowser1"));
            m_sideBarPage->setFixedHeight(96);
            m_sideBarPage->setFrameShape(QFrame::NoFrame);
            m_sideBarPage->setOpenExternalLinks(true);
            column->addWidget(m_sideBarPage);
            auto *rule = new QFrame(panel);
            rule->setFrameShape(QFrame::HLine);
            column->addWidget(rule);
        }
        column->addWidget(button);
    }
    styleSideBar(panel);
    static_cast<QHBoxLayout *>(central->layout())->addWidget(panel);
}

void MainWindow::buildMenus()
{
    using M = MenuItem;
    const auto handler = [](void (MainWindow::*f)()) { return [f](MainWindow *w) { (w->*f)(); }; };
    const struct
    {
        const char *name;
        const char *caption;
        std::vector<MenuItem> items;
    } menus[] = {
        {"N1",
         "帐簿【&Z】",
         {M{"N2", "新建帐簿 &N", "TfrmNewBook"}, M{"N3", "打开帐簿 &O", "TfrmOpenBook"},
          M{"C2", "关闭帐簿 &C", nullptr, handler(&MainWindow::closeBook)}, M{"N20"},
          M{"B2", "帐簿管理 &B", "TfrmB_Manage"}, M{"N5", "修改密码 &S", "TfrmChangePass"}, M{"N9"},
          M{"P1", "打印设置 &P", nullptr, handler(&MainWindow::setUpPages)}, M{"N4"},
          M{"N7", "备份数据 &D", "TfrmBackup"}, M{"R1", "数据恢复 &R", "TfrmRecover"}, M{"N6"},
          M{"N8", "退出 &X", nullptr, handler(&MainWindow::exitProgram)}}},
        {"E1",
         "编辑【&E】",
         {M{"N50", "撤销 &U", nullptr, handler(&MainWindow::undoLast)},
          M{"N51", "重做 &R", nullptr, handler(&MainWindow::redoLast)}, M{"N52"},
          M{"N53", "操作记录 &H", "TfrmHistory"}, M{"N54", "回收站 &G", "TfrmRecycle"}}},
        {"B1",
         "基础设置【&B】",
         {M{"N13", "家庭成员 &F", "TfrmFamily"}, M{"N15", "帐户管理 &A", "TfrmA_Manage"}, M{"N34"},
          M{"N14", "收入类别 &I", "TfrmIn_Manage"}, M{"O1", "支出类别 &O", "TfrmOut_Manage"},
          M{"N43", "投资分类 &T", "TfrmT_Manage"}}},
        {"N10",
         "记帐【&W】",
         {M{"N11", "收入 &I", "TfrmInTable"}, M{"O2", "支出 &O", "TfrmOutTable"},
          M{"A1", "帐户转帐 &A", "TfrmChangeT"}, M{"N18"}, M{"N21", "债务 &B", "TfrmBorrow"},
          M{"N22", "债权 &D", "TfrmDebt"}, M{"N32"}, M{"N33", "投资 &T", "TfrmTZ"},
          // Household planning.
          M{"N50"}, M{"Schedules", "周期记帐 &R", "TfrmSchedule"},
          M{"DueEntries", "待记帐的周期记帐 &U", "TfrmDue"},
          M{"Reconcile", "对帐 &K", "TfrmReconcile"}, M{"Budgets", "预算 &G", "TfrmBudget"}}},
        {"N12",
         "报表中心【&R】",
         {M{"N36",
            "收支报表 &F",
            nullptr,
            {},
            {M{"N38", "月报表 &M", "TfrmSZ_M"}, M{"N39", "年报表 &Y", "TfrmSZ_Y"}}},
          M{"R2", "收支统计表 &R", "TfrmPage1"},
          M{"N30",
            "收支分析 &E",
            nullptr,
            {},
            {M{"N28", "收入分析 &I", "TfrmE_I"}, M{"N29", "支出分析 &Q", "TfrmE_O"}}},
          M{"N23", "债务债权统计表 &Z", "TfrmPage2"}, M{"N17"}, M{"N24", "收入查询 &I", "TfrmP_In"},
          M{"O3", "支出查询 &O", "TfrmP_Out"}, M{"A3", "帐户转帐查询 &A", "TfrmP_A"}, M{"N25"},
          M{"B4", "债务查询 &B", "TfrmP_B"}, M{"D1", "债权查询 &D", "TfrmP_D"}, M{"N44"},
          M{"T1", "投资查询 &T", "TfrmTZ_Qu"}, M{"N26"},
          M{"N27", "当前帐户金额 &M", "TfrmP_Account"}}},
        {"B3",
         "工具【&T】",
         {M{"N19", "计算器 &P", nullptr, handler(&MainWindow::openCalculator)},
          M{"ImportBills", "导入帐单 &I", "TfrmImport"}}},
        {"H1",
         "帮助【&H】",
         {M{"H2", "帮助 &H", "TfrmFirstUse"}, M{"F1", "第一次使用 &F", "TfrmFirstUse"},
          M{"C1", "联系我们 &C", nullptr, openUrl(ProjectLinks::mail)},
          M{"N31", "留言 建议 &W", nullptr, openUrl(ProjectLinks::page)}, M{"N35"},
          M{"A2", "关于... &A", "TfrmAbout"}}},
    };
    auto *bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const auto &def : menus) {
        QMenu *menu = bar->addMenu(QString::fromUtf8(def.caption));
        menu->setObjectName(QLatin1String(def.name));
        menu->menuAction()->setObjectName(QLatin1String(def.name) + QStringLiteral("_menu"));
        addMenuItems(menu, def.items, isBookMenu(QLatin1String(def.name)));
        if (qstrcmp(def.name, "E1") == 0)
            connect(menu, &QMenu::aboutToShow, this, &MainWindow::nameUndoActions);
    }
    bar->insertMenu(findChild<QMenu *>(QStringLiteral("H1"))->menuAction(), buildWindowMenu());
    setMenuBar(bar);
    findChild<QAction *>(QStringLiteral("N50"))->setShortcut(QKeySequence::Undo);
    findChild<QAction *>(QStringLiteral("N51"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
}

QMenu *MainWindow::buildWindowMenu()
{
    auto *menu = new QMenu(QStringLiteral("窗口【&Y】"), this);
    menu->setObjectName(QStringLiteral("Win1"));
    menu->menuAction()->setObjectName(QStringLiteral("Win1_menu"));
    const struct
    {
        const char *name;
        const char *caption;
        void (QMdiArea::*arrange)();
    } arrangements[] = {{"WinCascade", "层叠 &C", &QMdiArea::cascadeSubWindows},
                        {"WinTile", "平铺 &T", &QMdiArea::tileSubWindows},
                        {"WinCloseAll", "全部关闭 &L", &QMdiArea::closeAllSubWindows}};
    for (const auto &a : arrangements) {
        QAction *action = menu->addAction(QString::fromUtf8(a.caption));
        action->setObjectName(QLatin1String(a.name));
        connect(action, &QAction::triggered, m_mdiArea, a.arrange);
    }
    // The open windows, listed afresh each time the menu opens; the active one ticked.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions) {
            if (action->property("window").toBool())
                delete action;
            else
                action->setEnabled(!windows.isEmpty());
        }
        if (windows.isEmpty())
            return;
        menu->addSeparator()->setProperty("window", true);
        for (qsizetype i = 0; i < windows.size(); ++i) {
            QMdiSubWindow *window = windows[i];
            if (!window->widget())
                continue; // a frame whose window went, about to go
            const QString number = i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QString();
            QAction *action = menu->addAction(number + window->widget()->windowTitle());
            action->setObjectName(QStringLiteral("WinChild"));
            action->setProperty("window", true);
            action->setCheckable(true);
            action->setChecked(window == m_mdiArea->activeSubWindow());
            connect(action, &QAction::triggered, this, [this, window] {
                if (m_mdiArea->subWindowList().contains(window))
                    m_mdiArea->setActiveSubWindow(window);
            });
        }
    });
    return menu;
}

void MainWindow::addMenuItems(QMenu *menu, const std::vector<MenuItem> &items, bool bookMenu)
{
    for (const MenuItem &item : items) {
        QAction *action = nullptr;
        const bool needsBook = bookMenu || isBookMenu(QLatin1String(item.name));
        if (!item.caption) {
            action = menu->addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu *sub = menu->addMenu(QString::fromUtf8(item.caption));
            sub->setObjectName(QLatin1String(item.name) + QStringLiteral("_menu"));
            addMenuItems(sub, item.submenu, needsBook);
            m_submenus << sub;
            action = sub->menuAction();
        } else {
            action = menu->addAction(QString::fromUtf8(item.caption));
            // An item whose window is not part of the program yet stays disabled.
            action->setProperty("exists",
                                !item.window || WindowCatalog::find(QLatin1String(item.window)));
            action->setProperty("needsBook", needsBook);
            connect(action, &QAction::triggered, this, [this, item] { runItem(item); });
        }
        action->setObjectName(QLatin1String(item.name));
    }
}

namespace {

// Items of the book menu and the whole menus shown only while a book is open.
const char *const BookMenuItems[] = {"C2", "N20", "B2", "N5", "N9",
                                     "P1", "N4",  "N7", "R1", "ImportBills"};
const char *const BookMenus[] = {"E1", "B1", "N10", "N12"};

} // namespace

bool MainWindow::isBookMenu(const QString &name)
{
    for (const char *item : BookMenuItems)
        if (name == QLatin1String(item))
            return true;
    for (const char *menu : BookMenus)
        if (name == QLatin1String(menu))
            return true;
    return false;
}

void MainWindow::showBookMenus(bool show)
{
    for (const char *name : BookMenuItems)
        if (auto *action = findChild<QAction *>(QLatin1String(name)))
            action->setVisible(show);
    for (const char *name : BookMenus)
        if (auto *menu = findChild<QMenu *>(QLatin1String(name)))
            menu->menuAction()->setVisible(show);
}

void MainWindow::updateActions()
{
    const bool bookOpen = !Workspace::instance()->currentBook().isEmpty();
    for (QAction *action : findChildren<QAction *>())
        if (action->property("exists").isValid())
            action->setEnabled(action->property("exists").toBool() &&
                               (bookOpen || !action->property("needsBook").toBool()));
    // Inner submenus come before the submenus that hold them.
    for (QMenu *submenu : std::as_const(m_submenus)) {
        const QList<QAction *> actions = submenu->actions();
        submenu->menuAction()->setEnabled(
            std::any_of(actions.begin(), actions.end(),
                        [](QAction *a) { return !a->isSeparator() && a->isEnabled(); }));
    }
    for (QPushButton *button :
         findChild<QWidget *>(QStringLiteral("Panel1"))->findChildren<QPushButton *>())
        if (auto *action = findChild<QAction *>(button->objectName().mid(5)))
            button->setEnabled(action->isEnabled());
}

void MainWindow::showBook(const QString &book)
{
    setWindowTitle(book.isEmpty() ? Msg::programTitle() : book);
    showBookMenus(!book.isEmpty());
    refreshSummary();
    updateActions();
}

void MainWindow::runItem(const MenuItem &item)
{
    if (item.window)
        openWindow(QLatin1String(item.window));
    else if (item.action)
        item.action(this);
}

QWidget *MainWindow::openWindow(const QString &className)
{
    const WindowCatalog::Entry *entry = WindowCatalog::find(className);
    if (!entry)
        return nullptr;
    if (entry->kind == WindowCatalog::Kind::Modal) {
        std::unique_ptr<QWidget> dialog(entry->create(this));
        dialog->setWindowModality(Qt::ApplicationModal);
        if (auto *d = qobject_cast<QDialog *>(dialog.get()))
            d->exec();
        return nullptr;
    }
    if (entry->kind == WindowCatalog::Kind::SingleChild)
        for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
            if (sub->widget() && sub->widget()->objectName() == className) {
                m_mdiArea->setActiveSubWindow(sub);
                return sub->widget();
            }
    QWidget *child = entry->create(nullptr);
    child->setAttribute(Qt::WA_DeleteOnClose);
    ColumnMemory::install(child);
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window closed by itself takes its frame along.
    connect(child, &QObject::destroyed, sub, &QObject::deleteLater);
    sub->showMaximized();
    // The keyboard goes to the new window (its grid), however it was opened.
    child->setFocus();
    if (hasHalfWidthPanel(className))
        if (auto *panel = child->findChild<QWidget *>(QStringLiteral("Panel3")))
            panel->setFixedWidth(child->width() / 2);
    return child;
}

bool MainWindow::closeAllChildren()
{
    m_mdiArea->closeAllSubWindows();
    // Closed children free themselves later; free them now, so that nothing of
    // theirs still reads the database.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return m_mdiArea->subWindowList().isEmpty();
}

void MainWindow::refreshSummary()
{
    try {
        m_summary->show(SummaryPanel::read(QDate::currentDate()));
        m_summary->showBudget(SummaryPanel::readBudget());
        m_summary->showDue(SummaryPanel::readDue());
    } catch (const DbError &e) {
        Msg::error(this, e.message());
    }
}

void MainWindow::closeBook()
{
    Workspace::instance()->closeBook();
}

void MainWindow::setUpPages()
{
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::openCalculator()
{
    for (const char *program : Calculators) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(program));
        if (!path.isEmpty() && QProcess::startDetached(path, {}))
            return;
    }
    Msg::plain(this, QStringLiteral("没有找到计算器程序。\n请先安装一个计算器（例如 "
                                    "gnome-calculator、kcalc 或 galculator），再使用本功能。"));
}

void MainWindow::backUpAutomatically()
{
    if (m_autoBackup)
        return; // the backup running covers today
    QString file;
    try {
        file = AutoBackup::dueFile();
    } catch (const DbError &e) {
        autoBackupFailed(e.message());
        return;
    }
    if (file.isEmpty()) {
        checkKeptTotals();
        return;
    }
    // The book opens at once; the copy and its check run on the worker, which the
    // program cancels when it ends first (the copy is then removed).
    m_autoBackup = Background::run(
        this, [file](Background::Context &work) { AutoBackup::write(file, &work); },
        [this, file] {
            showNote(QStringLiteral("今天的自动备份已完成：") + QFileInfo(file).fileName(),
                     NoteSeconds * 1000);
        },
        [this](const QString &message) { autoBackupFailed(message); });
    connect(m_autoBackup, &Background::Job::ended, this, &MainWindow::checkKeptTotals);
}

void MainWindow::autoBackupFailed(const QString &reason)
{
    // Working on goes first: the reason is shown once, and only in the status bar.
    if (m_autoBackupFailureShown)
        return;
    m_autoBackupFailureShown = true;
    showNote(QStringLiteral("自动备份失败：") + reason);
}

void MainWindow::checkKeptTotals()
{
    if (m_totalsChecked)
        return;
    m_totalsChecked = true;
    Background::run(
        this, [](Background::Context &work) { return TotalsCheck::repair(work); },
        [this](bool repaired) {
            if (!repaired)
                return;
            showNote(QStringLiteral("各月合计与明细不符，已重新计算。"));
            Workspace::instance()->notifyBalancesChanged();
        },
        [this](const QString &message) {
            showNote(QStringLiteral("各月合计没有检查完：") + message);
        });
}

void MainWindow::showNote(const QString &note, int timeout)
{
    // One line; a notice shown without a time limit stays readable before the note.
    const QString line = note.simplified();
    const QString shown = statusBar()->currentMessage();
    if (shown.isEmpty() || m_noteTimeout > 0) {
        statusBar()->showMessage(line, timeout);
        m_noteTimeout = timeout;
        return;
    }
    statusBar()->showMessage(shown + QStringLiteral("　　") + line);
    m_noteTimeout = 0;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        refreshSummary();
}

namespace {

QStringList droppedFiles(const QMimeData *mime)
{
    QStringList files;
    if (mime)
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!Workspace::instance()->currentBook().isEmpty() &&
        !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty() || Workspace::instance()->currentBook().isEmpty())
        return;
    event->acceptProposedAction();
    importFiles(files);
}

void MainWindow::importFiles(const QStringList &paths)
{
    // The import window that is open takes them, else a new one.
    if (auto *window = qobject_cast<ImportWindow *>(openWindow(QStringLiteral("TfrmImport"))))
        window->addFiles(paths);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_exitConfirmed && !Msg::ask(this, QStringLiteral("确认退出"),
                                      QStringLiteral("确认要退出 青禾簿 吗？ ^_^ "))) {
        event->ignore();
        return;
    }
    // The children close first, so that one holding unsaved input can ask; if
    // the user keeps it, the program keeps running.
    if (!closeAllChildren()) {
        event->ignore();
        return;
    }
    m_exitConfirmed = true;
    QSettings().setValue(GeometryKey, saveGeometry());
    event->accept();
    QCoreApplication::quit();
}
