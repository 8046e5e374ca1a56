#pragma once

#include "widgets/ListWindow.h"

class QLabel;
class QPushButton;
class SyncRunner;

// 同步: how the household sync stands on this computer. The other computers, each
// with when it was last heard from and how many of its files are applied here or
// wait; the files refused or waiting for a newer version, with why; and the
// versions that lost a conflict (in the recycle bin). 立即同步 runs an exchange.
class SyncWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit SyncWindow(QWidget *parent = nullptr);

    void load() override;
    // 立即同步: an exchange now; a failure is said in a message too.
    void syncNow();
    void openSetUp();

private:
    // The runner of the program, or one of this window's own when none runs.
    SyncRunner *runner();
    void showRun(bool ok, const QString &line);

    QLabel *m_about = nullptr; // this computer, its folder, what waits to be written
    QLabel *m_last = nullptr;  // the last exchange
    List::Pane m_files{};
    List::Pane m_conflicts{};
    QPushButton *m_syncNow = nullptr;
    SyncRunner *m_ownRunner = nullptr;
    bool m_asked = false; // the exchange running was asked for here
};
