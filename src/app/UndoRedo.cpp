#include "app/UndoRedo.h"

#include "app/MainWindow.h"
#include "core/ledger/History.h"
#include "core/ledger/Workspace.h"
#include "data/Sql.h"
#include "widgets/MessageBox.h"
#include "widgets/WorkProgress.h"

#include <QAction>
#include <QMenu>

UndoRedo::UndoRedo(MainWindow *window, QMenu *editMenu, QAction *undo, QAction *redo)
    : QObject(window), m_window(window), m_undo(undo), m_redo(redo)
{
    connect(editMenu, &QMenu::aboutToShow, this, &UndoRedo::nameActions);
    connect(undo, &QAction::triggered, this, &UndoRedo::undoLast);
    connect(redo, &QAction::triggered, this, &UndoRedo::redoLast);
}

void UndoRedo::nameActions()
{
    const QString book = Workspace::instance()->currentBook();
    const auto name = [](QAction *a, const QString &caption,
                         const std::optional<History::Action> &action) {
        a->setText(action ? caption.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ') +
                                action->description
                          : caption);
    };
    try {
        name(m_undo, QStringLiteral("撤销 &U"),
             book.isEmpty() ? std::nullopt : History::undoable(book));
        name(m_redo, QStringLiteral("重做 &R"),
             book.isEmpty() ? std::nullopt : History::redoable(book));
    } catch (const DbError &) {
        // The captions stay as they were; the action itself says what failed.
    }
}

void UndoRedo::undoLast()
{
    step(true);
}

void UndoRedo::redoLast()
{
    step(false);
}

void UndoRedo::step(bool undo)
{
    const QString book = Workspace::instance()->currentBook();
    if (book.isEmpty())
        return;
    try {
        const std::optional<History::Action> action =
            undo ? History::undoable(book) : History::redoable(book);
        if (!action) {
            m_window->showNote(undo ? QStringLiteral("没有可以撤销的操作。")
                                    : QStringLiteral("没有可以重做的操作。"),
                               MainWindow::NoteTimeout);
            return;
        }
        // Entries a reconciliation confirmed are not taken away unasked.
        if (const QString question = undo ? History::reconciledQuestion(book) : QString();
            !question.isEmpty() &&
            !Msg::ask(m_window, QStringLiteral("撤销"), question, QMessageBox::No))
            return;
        // A big import taken back or written again runs on a worker, its progress shown.
        const QString stepping = undo ? QStringLiteral("正在撤销……") : QStringLiteral("正在重做……");
        WorkProgress::run(
            m_window, stepping,
            [book, undo, stepping](Background::Context &work) {
                const History::Progress progress = WorkProgress::counting(work, stepping);
                undo ? History::undo(book, progress) : History::redo(book, progress);
            },
            WorkProgress::Cancel::Allowed);
        m_window->showNote((undo ? QStringLiteral("已撤销：") : QStringLiteral("已重做：")) +
                               action->description,
                           MainWindow::NoteTimeout);
    } catch (const Background::Cancelled &) {
        return;
    } catch (const DbError &e) {
        Msg::plain(m_window, e.message());
    }
}
