#pragma once

#include <QObject>

class MainWindow;
class QAction;
class QMenu;

// 编辑 → 撤销 and 重做: each names the action it would undo or redo when the menu
// opens, and steps the open book's history on a worker with its progress (a big
// import taken back or written again), asking first before an undo changes what an
// older reconciliation confirmed.
class UndoRedo : public QObject
{
    Q_OBJECT
public:
    UndoRedo(MainWindow *window, QMenu *editMenu, QAction *undo, QAction *redo);

    void undoLast();
    void redoLast();

private:
    void nameActions();
    void step(bool undo);

    MainWindow *m_window;
    QAction *m_undo;
    QAction *m_redo;
};
