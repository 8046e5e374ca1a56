#pragma once

#include <QIcon>
#include <QString>

// The side bar's icons, drawn here: a white sign on a coloured tile for each
// menu item the side bar runs ("N11" 收入 ... "N8" 退出); a null icon for another.
QIcon sideBarIcon(const QString &item);
