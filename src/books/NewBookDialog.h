#pragma once

#include "books/BookDialog.h"

class QLabel;
class QLineEdit;

// Creates a book with its default categories and accounts and the password typed
// for it. The new book is not opened: a book only becomes current through the
// open-book dialog.
class NewBookDialog : public BookDialog
{
    Q_OBJECT
public:
    explicit NewBookDialog(QWidget *parent = nullptr);

    void myBookNum();
    void createBook();

private:
    bool checkFields();

    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr; // the password
    QLineEdit *Edit4 = nullptr; // the password again
    QLabel *m_bookCount = nullptr;
};
