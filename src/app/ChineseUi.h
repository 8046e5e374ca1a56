#pragma once

class QCoreApplication;

// Makes the whole program Chinese, whatever the system's language: the default
// locale (calendars, day and month names, numbers) and Qt's own texts (buttons of
// message boxes, file dialogs, context menus) from Qt's zh_CN translation.
// Returns false when the translation was not found; the locale is set anyway.
bool useChineseUi(QCoreApplication &app);
