#pragma once

#include "data/Background.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QFileSystemWatcher;
class QTimer;
class QWidget;
struct Change;

namespace Sync {
struct Report;
}

// Runs the household sync by itself once this computer takes part: an exchange on
// a worker when the sync folder changes, every minute, and a moment after an
// action of a shared book, never two at once. A long catch-up shows its progress
// over `window` and can be stopped. Each exchange ends with one line for the
// status bar: "已同步 14:03：应用 3 个文件（12 项）" or "同步失败：…".
class SyncRunner : public QObject
{
    Q_OBJECT
public:
    explicit SyncRunner(QWidget *window);
    ~SyncRunner() override;

    // The runner of the program, while one lives.
    static SyncRunner *instance();

    // Starts watching and runs a first exchange, when this computer is set up;
    // nothing otherwise. Called again after the set-up.
    void start();
    // Runs an exchange now, or once more after the one running.
    void runNow();
    // The line of the last exchange; empty before the first.
    QString lastLine() const { return m_lastLine; }

    // A catch-up of more files than this shows its progress.
    static constexpr int LongCatchUp = 50;
    // How long after an action its file is written: actions typed one after the
    // other go out together.
    static constexpr int ActionDelayMs = 2000;
    static constexpr int EveryMs = 60000;

    // The status bar's line for an exchange that ended at `hhmm`.
    static QString describe(const Sync::Report &report, const QString &hhmm);

signals:
    // An exchange ended: ok false when it failed (the line says why) or was stopped.
    void ran(bool ok, const QString &line);

private:
    void watchFolder();
    void actionCommitted(const Change &change);
    void ended(bool ok, const QString &line);
    // The first word of a long catch-up: the progress dialog, until it ends.
    void showCatchUp(const QString &step);

    QWidget *m_window;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_every = nullptr;
    QTimer *m_afterAction = nullptr;
    QPointer<Background::Job> m_job;
    bool m_again = false;
    bool m_showingProgress = false;
    QString m_lastLine;
};
