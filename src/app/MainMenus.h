#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class MainWindow;
class QAction;
class QMdiArea;
class QMenu;
class QMenuBar;
class QPushButton;
class QTextBrowser;
class QWidget;

// The main window's menu bar and side bar: every item opens a window of the
// catalog or runs an action of the main window; a side-bar button runs the item it
// names. Items that work on a book show only while one is open, and items whose
// window is missing stay disabled. The menus keep their actions; nothing is looked
// up by its objectName.
class MainMenus : public QObject
{
    Q_OBJECT
public:
    // Builds the menu bar into `window` and the side bar into `central`'s layout.
    MainMenus(MainWindow *window, QWidget *central, QMdiArea *area);

    QMenu *editMenu() const { return m_editMenu; }
    QAction *undoAction() const { return m_undo; }
    QAction *redoAction() const { return m_redo; }
    // The page at the side bar's foot.
    QTextBrowser *sideBarPage() const { return m_sideBarPage; }

    // Shows or hides the book menus: those that work on the open book.
    void showBookMenus(bool show);
    // Whether showBookMenus shows and hides the menu or menu item of that name.
    static bool isBookMenu(const QString &name);
    // Enables what can run now: items whose window exists, those that work on a
    // book only while one is open, submenus with an enabled item, and the side-bar
    // buttons as the items they run.
    void updateActions(bool bookOpen);

private:
    struct Item;
    struct Runnable
    {
        QAction *action;
        bool exists;
        bool needsBook;
    };
    void buildMenuBar();
    // 窗口: cascade, tile or close the child windows, or bring one forward.
    QMenu *buildWindowMenu();
    void addItems(QMenu *menu, const std::vector<Item> &items, bool bookMenu);
    void buildSideBar(QWidget *central);
    void openCalculator();

    MainWindow *m_window;
    QMdiArea *m_area;
    QMenu *m_editMenu = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QTextBrowser *m_sideBarPage = nullptr;
    std::vector<Runnable> m_runnables;
    std::vector<QAction *> m_bookOnly; // shown only while a book is open
    std::vector<QMenu *> m_submenus;   // inner ones before those that hold them
    std::vector<std::pair<QPushButton *, QAction *>> m_sideBar;
};
