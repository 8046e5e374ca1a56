#pragma once

class QWidget;

// Closes a window that may stand in a frame of the main window's MDI area: the
// frame closes, and the window with it. Closing only the window would leave its
// empty frame standing over the home page.
void closeWindow(QWidget *window);
