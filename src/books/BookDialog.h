#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QVBoxLayout;

// What the modal book dialogs share: a title bar with only a close box, labelled
// fields, buttons, and the failed-check message that puts the focus on its field.
class BookDialog : public QDialog
{
    Q_OBJECT
protected:
    BookDialog(QWidget *parent, const char *className, const QString &caption);

    // A caption in column 0 and a line edit in column 1 of the next row of `grid`.
    QLineEdit *addField(QGridLayout *grid, const QString &caption, const char *name,
                        bool masked = false);
    struct Button
    {
        const char *name;
        QString caption;
        std::function<void()> clicked;
        bool isDefault = false;
    };
    // Ends the dialog with a right-aligned row of these buttons and "退出", which
    // closes it; what `row` already holds stays at its left. The size is then fixed.
    void addButtonRow(QVBoxLayout *layout, const std::vector<Button> &buttons,
                      QHBoxLayout *row = nullptr);

    // Shows a failed check, focuses its field and returns false.
    bool refuse(QWidget *field, const QString &message);
    // The field holds at most maxBytes GBK bytes, else "<name> 长度不能大于<n>！".
    bool fitsIn(QLineEdit *field, int maxBytes, const QString &fieldName);
    // A failure the user should see with its reason on a second line.
    void failure(const QString &headline, const QString &reason);

    // The date the program was started, "yyyy-MM-dd".
    static QString startDate();
};

// Asks the password of a book before something is done to it (deleting it): accepted
// only once the password typed opens the book; a wrong one is said and may be typed
// again.
class BookPasswordDialog : public BookDialog
{
    Q_OBJECT
public:
    BookPasswordDialog(QWidget *parent, const QString &book, const QString &caption);

    void confirm();

private:
    QString m_book;
    QLineEdit *Edit1 = nullptr;
};
