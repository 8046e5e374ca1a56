#include "widgets/WindowFrame.h"

#include <QMdiSubWindow>

void closeWindow(QWidget *window)
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        frame->close();
    else
        window->close();
}
