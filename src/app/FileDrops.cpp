#include "app/FileDrops.h"

#include "app/MainWindow.h"
#include "core/ledger/Workspace.h"
#include "import/ImportWindow.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

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

bool bookOpen()
{
    return !Workspace::instance()->currentBook().isEmpty();
}

} // namespace

FileDrops::FileDrops(MainWindow *window) : QObject(window), m_window(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDrops::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DragEnter) {
        auto *enter = static_cast<QDragEnterEvent *>(event);
        if (bookOpen() && !droppedFiles(enter->mimeData()).isEmpty())
            enter->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList files = droppedFiles(drop->mimeData());
        if (files.isEmpty() || !bookOpen())
            return true;
        drop->acceptProposedAction();
        if (auto *window =
                qobject_cast<ImportWindow *>(m_window->openWindow(QStringLiteral("TfrmImport"))))
            window->addFiles(files);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
