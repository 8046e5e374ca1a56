#pragma once

#include "data/Background.h"

#include <QObject>
#include <QPointer>

class MainWindow;

// What is done when the program starts and when a book opens, besides opening
// it: rows deleted long ago leave the recycle bin; the day's automatic backup is
// written on a worker and the kept monthly totals are checked there once a start;
// recurring entries that post by themselves are posted and the ones waiting for the
// user are listed. The status bar says how each went.
class BookChores : public QObject
{
    Q_OBJECT
public:
    explicit BookChores(MainWindow *window);

    // At start: the recycle bin's old rows go.
    void atStart();
    // Once a book is open.
    void atBookOpening(const QString &book);
    // Starts the day's automatic backup when none ran today, then the totals check.
    void backUpAutomatically();

private:
    void checkKeptTotals();
    void autoBackupFailed(const QString &reason);

    MainWindow *m_window;
    bool m_autoBackupFailureShown = false;
    QPointer<Background::Job> m_autoBackup;
    bool m_totalsChecked = false;
};
