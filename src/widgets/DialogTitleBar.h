#pragma once

#include <QDialog>

// The small dialogs of the entry windows show either only a close box in their
// title bar, or the title bar's ordinary buttons.
inline void setDialogTitleBar(QDialog *dialog, bool closeBoxOnly)
{
    if (closeBoxOnly)
        dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint);
    else
        dialog->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint |
                               Qt::WindowCloseButtonHint);
}
