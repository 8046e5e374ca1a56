#pragma once

#include "books/BookDialog.h"

class QLineEdit;

// Changes the password of the current book; the current one must be typed first.
class ChangePasswordDialog : public BookDialog
{
    Q_OBJECT
public:
    explicit ChangePasswordDialog(QWidget *parent = nullptr);

    void changePassword();

private:
    bool checkFields(const QString &book);

    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
};
