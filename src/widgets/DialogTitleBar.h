#pragma once

#include <QWidget>

// The small dialogs of the entry windows (windows with the Qt::Dialog flag) show either only a
// close box in their title bar, or the title bar's ordinary buttons.
inline void setDialogTitleBar(QWidget *dialog, bool closeBoxOnly)
{
    if (closeBoxOnly)
        dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint);
    else
        dialog->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint |
                               Qt::WindowCloseButtonHint);
}
