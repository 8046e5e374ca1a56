#pragma once

#include "books/BookDialog.h"

class QComboBox;
class QLineEdit;
class QTextBrowser;

// The only way a book becomes the current book: its name and its password.
class OpenBookDialog : public BookDialog
{
    Q_OBJECT
public:
    explicit OpenBookDialog(QWidget *parent = nullptr);

    void bookChosen();
    void openChosenBook();

private:
    void chooseLastBook();

    QTextBrowser *m_page = nullptr;
    QComboBox *DBLookupComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
};
