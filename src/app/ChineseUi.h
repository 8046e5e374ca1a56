#pragma once

class QCoreApplication;

// Makes the whole program Chinese, whatever the system's language.

// The system locale Qt reports (dates in file dialogs, number formats) becomes
// Chinese. Call it before the application object is made.
void chooseChineseLocale();

// The default locale (calendars, day and month names, numbers) and Qt's own
// texts (buttons of message boxes, file dialogs, context menus) from Qt's zh_CN
// translation, with the few texts it lacks. Returns false when the translation
// was not found; the locale is set anyway.
bool useChineseUi(QCoreApplication &app);
