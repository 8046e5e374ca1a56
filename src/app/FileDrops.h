#pragma once

#include <QObject>

class MainWindow;

// Bill files dropped on the main window while a book is open: the import window
// reads them (the one open, else a new one).
class FileDrops : public QObject
{
    Q_OBJECT
public:
    explicit FileDrops(MainWindow *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindow *m_window;
};
