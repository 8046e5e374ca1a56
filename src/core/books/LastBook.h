#pragma once

#include <QString>

// The book last opened on this machine, kept in the user's settings, so
// that the open-book dialog can offer it first.
namespace LastBook {
QString name();
void remember(const QString &book);
} // namespace LastBook
