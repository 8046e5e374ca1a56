#include "app/BookChores.h"

#include "app/MainWindow.h"
#include "core/books/AutoBackup.h"
#include "core/books/BookStore.h"
#include "core/ledger/History.h"
#include "core/ledger/TotalsCheck.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "planning/ScheduleWindows.h"

#include <QFileInfo>

namespace {

// How long deleted rows and books wait in the recycle bin.
constexpr int RecycleBinDays = 90;

} // namespace

BookChores::BookChores(MainWindow *window) : QObject(window), m_window(window)
{
}

void BookChores::atStart()
{
    try {
        History::expire(RecycleBinDays);
        BookStore::expireBinnedBooks(RecycleBinDays);
    } catch (const DbError &e) {
        m_window->showNote(QStringLiteral("回收站没有清理：") + e.message());
    }
}

void BookChores::atBookOpening(const QString &book)
{
    backUpAutomatically();
    Recurring::atBookOpening(
        book, [this](const QString &note) { m_window->showNote(note, MainWindow::NoteTimeout); },
        [this] { m_window->openWindow(QStringLiteral("TfrmDue")); });
}

void BookChores::backUpAutomatically()
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
            m_window->showNote(QStringLiteral("今天的自动备份已完成：") +
                                   QFileInfo(file).fileName(),
                               MainWindow::NoteTimeout);
        },
        [this](const QString &message) { autoBackupFailed(message); });
    connect(m_autoBackup, &Background::Job::ended, this, &BookChores::checkKeptTotals);
}

void BookChores::autoBackupFailed(const QString &reason)
{
    // Working on goes first: the reason is shown once, and only in the status bar.
    if (m_autoBackupFailureShown)
        return;
    m_autoBackupFailureShown = true;
    m_window->showNote(QStringLiteral("自动备份失败：") + reason);
}

void BookChores::checkKeptTotals()
{
    if (m_totalsChecked)
        return;
    m_totalsChecked = true;
    Background::run(
        this, [](Background::Context &work) { return TotalsCheck::repair(work); },
        [this](bool repaired) {
            if (!repaired)
                return;
            m_window->showNote(QStringLiteral("各月合计与明细不符，已重新计算。"));
            Workspace::instance()->notifyBalancesChanged();
        },
        [this](const QString &message) {
            m_window->showNote(QStringLiteral("各月合计没有检查完：") + message);
        });
}
