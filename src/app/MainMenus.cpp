#include "app/MainMenus.h"

#include "app/MainWindow.h"
#include "app/ProjectLinks.h"
#include "app/SideBarIcons.h"
#include "app/WindowCatalog.h"
#include "widgets/MessageBox.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

// One item of the main menu: a window to open, or an action of the main window.
// An item without a caption is a separator; one with neither a window nor an action
// is connected by whoever owns what it does (undo and redo).
struct MainMenus::Item
{
    const char *name;
    const char *caption = nullptr;
    const char *window = nullptr;
    std::function<void()> action = {};
    std::vector<Item> submenu = {};
};

namespace {

// Items of the book menu and the whole menus shown only while a book is open.
const char *const BookMenuItems[] = {"C2", "N20", "B2", "N5", "N9",
                                     "P1", "N4",  "N7", "R1", "ImportBills"};
const char *const BookMenus[] = {"E1", "B1", "N10", "N12"};

// The desktop's calculators, in the order they are looked for.
const char *const Calculators[] = {"gnome-calculator", "kcalc",        "galculator", "mate-calc",
                                   "qalculate-gtk",    "qalculate-qt", "xcalc"};

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

std::function<void()> openUrl(QUrl (*url)())
{
    return [url] { QDesktopServices::openUrl(url()); };
}

bool listed(const QString &name, const auto &names)
{
    return std::any_of(std::begin(names), std::end(names),
                       [&name](const char *n) { return name == QLatin1String(n); });
}

} // namespace

MainMenus::MainMenus(MainWindow *window, QWidget *central, QMdiArea *area)
    : QObject(window), m_window(window), m_area(area)
{
    buildSideBar(central);
    buildMenuBar();
}

bool MainMenus::isBookMenu(const QString &name)
{
    return listed(name, BookMenuItems) || listed(name, BookMenus);
}

void MainMenus::buildMenuBar()
{
    using M = Item;
    MainWindow *w = m_window;
    const struct
    {
        const char *name;
        const char *caption;
        std::vector<Item> items;
    } menus[] = {
        {"N1",
         "帐簿【&Z】",
         {M{"N2", "新建帐簿 &N", "TfrmNewBook"}, M{"N3", "打开帐簿 &O", "TfrmOpenBook"},
          M{"C2", "关闭帐簿 &C", nullptr, [w] { w->closeBook(); }}, M{"N20"},
          M{"B2", "帐簿管理 &B", "TfrmB_Manage"}, M{"N5", "修改密码 &S", "TfrmChangePass"}, M{"N9"},
          M{"P1", "打印设置 &P", nullptr, [w] { w->setUpPages(); }}, M{"N4"},
          M{"N7", "备份数据 &D", "TfrmBackup"}, M{"R1", "数据恢复 &R", "TfrmRecover"}, M{"N6"},
          M{"N8", "退出 &X", nullptr, [w] { w->exitProgram(); }}}},
        {"E1",
         "编辑【&E】",
         {M{"N50", "撤销 &U"}, M{"N51", "重做 &R"}, M{"N52"},
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
         {M{"N19", "计算器 &P", nullptr, [this] { openCalculator(); }},
          M{"ImportBills", "导入帐单 &I", "TfrmImport"}, M{"SyncLine"},
          M{"HouseholdSync", "家庭同步 &S", "TfrmSyncSetup"},
          M{"SyncState", "同步情况 &Y", "TfrmSync"}}},
        {"H1",
         "帮助【&H】",
         {M{"H2", "帮助 &H", "TfrmFirstUse"}, M{"F1", "第一次使用 &F", "TfrmFirstUse"},
          M{"C1", "联系我们 &C", nullptr, openUrl(ProjectLinks::mail)},
          M{"N31", "留言 建议 &W", nullptr, openUrl(ProjectLinks::page)}, M{"N35"},
          M{"A2", "关于... &A", "TfrmAbout"}}},
    };
    auto *bar = new QMenuBar(m_window);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *help = nullptr;
    for (const auto &def : menus) {
        QMenu *menu = bar->addMenu(QString::fromUtf8(def.caption));
        menu->setObjectName(QLatin1String(def.name));
        menu->menuAction()->setObjectName(QLatin1String(def.name) + QStringLiteral("_menu"));
        const bool bookMenu = isBookMenu(QLatin1String(def.name));
        if (bookMenu)
            m_bookOnly.push_back(menu->menuAction());
        addItems(menu, def.items, bookMenu);
        if (qstrcmp(def.name, "E1") == 0) {
            m_editMenu = menu;
            m_undo = menu->actions().at(0);
            m_redo = menu->actions().at(1);
        }
        help = menu;
    }
    bar->insertMenu(help->menuAction(), buildWindowMenu());
    m_window->setMenuBar(bar);
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
}

QMenu *MainMenus::buildWindowMenu()
{
    auto *menu = new QMenu(QStringLiteral("窗口【&Y】"), m_window);
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
        connect(action, &QAction::triggered, m_area, a.arrange);
    }
    // The open windows, listed afresh each time the menu opens; the active one ticked.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        const QList<QMdiSubWindow *> windows = m_area->subWindowList();
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
            action->setChecked(window == m_area->activeSubWindow());
            connect(action, &QAction::triggered, this, [this, window] {
                if (m_area->subWindowList().contains(window))
                    m_area->setActiveSubWindow(window);
            });
        }
    });
    return menu;
}

void MainMenus::addItems(QMenu *menu, const std::vector<Item> &items, bool bookMenu)
{
    for (const Item &item : items) {
        QAction *action = nullptr;
        const QString name = QLatin1String(item.name);
        const bool needsBook = bookMenu || isBookMenu(name);
        if (!item.caption) {
            action = menu->addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu *sub = menu->addMenu(QString::fromUtf8(item.caption));
            sub->setObjectName(name + QStringLiteral("_menu"));
            addItems(sub, item.submenu, needsBook);
            m_submenus.push_back(sub);
            action = sub->menuAction();
        } else {
            action = menu->addAction(QString::fromUtf8(item.caption));
            // An item whose window is not part of the program yet stays disabled.
            m_runnables.push_back({action,
                                   !item.window || WindowCatalog::find(QLatin1String(item.window)),
                                   needsBook});
            if (item.window)
                connect(
                    action, &QAction::triggered, m_window,
                    [this, window = QLatin1String(item.window)] { m_window->openWindow(window); });
            else if (item.action)
                connect(action, &QAction::triggered, m_window, item.action);
        }
        action->setObjectName(name);
        if (!bookMenu && listed(name, BookMenuItems))
            m_bookOnly.push_back(action);
        for (auto &[button, ran] : m_sideBar)
            if (button->objectName() == QStringLiteral("Side_") + name)
                ran = action;
    }
}

void MainMenus::showBookMenus(bool show)
{
    for (QAction *action : m_bookOnly)
        action->setVisible(show);
}

void MainMenus::updateActions(bool bookOpen)
{
    for (const Runnable &r : m_runnables)
        r.action->setEnabled(r.exists && (bookOpen || !r.needsBook));
    for (QMenu *submenu : m_submenus) {
        const QList<QAction *> actions = submenu->actions();
        submenu->menuAction()->setEnabled(
            std::any_of(actions.begin(), actions.end(),
                        [](QAction *a) { return !a->isSeparator() && a->isEnabled(); }));
    }
    for (const auto &[button, action] : m_sideBar)
        button->setEnabled(action && action->isEnabled());
}

void MainMenus::buildSideBar(QWidget *central)
{
    auto *panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedWidth(154);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 8, 6, 6);
    column->setSpacing(2);

    // Each button runs the same handler as the menu item it names (paired with it
    // when the menus are built). They carry no mnemonics: Alt and a letter belong
    // to the child windows' buttons.
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
        const std::size_t place = m_sideBar.size();
        m_sideBar.emplace_back(button, nullptr);
        connect(button, &QPushButton::clicked, this, [this, place] {
            // Hidden menu items still run: the side bar never hides. A button is
            // enabled only while its item is (updateActions).
            if (QAction *action = m_sideBar[place].second; action && action->isEnabled())
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

void MainMenus::openCalculator()
{
    for (const char *program : Calculators) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(program));
        if (!path.isEmpty() && QProcess::startDetached(path, {}))
            return;
    }
    Msg::plain(m_window, QStringLiteral("没有找到计算器程序。\n请先安装一个计算器（例如 "
                                        "gnome-calculator、kcalc 或 galculator），再使用本功能。"));
}
