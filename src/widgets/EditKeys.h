#pragma once

#include "widgets/MaintenanceWindow.h"

#include <QObject>

class QTableView;
class QWidget;

// The keyboard of a maintenance or entry window, as people expect it:
// - while entering, Enter moves to the next field and saves in the last one,
//   Ctrl+S saves and Esc cancels;
// - after a save or cancel the focus goes back to the grid, so that Alt+N
//   starts the next row at once;
// - on the grid, a double-click or F2 starts 修改 and Delete asks as 删除 does.
// It works through the window's buttons, so each key does exactly what its
// button does in the mode the window is in.
class EditKeys : public QObject
{
    Q_OBJECT
public:
    explicit EditKeys(MaintenanceWindow *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool gridEvent(QEvent *event);
    bool fieldEvent(QObject *watched, QEvent *event);
    using Button = MaintenanceWindow::Button;
    // Presses the button if it is shown and enabled; false otherwise.
    bool press(Button which);
    void save();
    void focusGridWhenBrowsing();
    // The control a field takes input in at the moment (its input control while
    // entering, when it has one).
    QWidget *activeControl(int field) const;

    MaintenanceWindow *m_window;
    QTableView *m_grid;
};
