#pragma once

#include "widgets/ListWindow.h"

class QLineEdit;

// Lists every book, newest first, and deletes the selected one with all its rows.
// The open book cannot be deleted.
class BooksWindow : public ListWindow
{
    Q_OBJECT
public:
    explicit BooksWindow(QWidget *parent = nullptr);

    void deleteBook();

protected:
    void currentRowChanged() override;

private:
    QLineEdit *DBEdit1 = nullptr;
};
