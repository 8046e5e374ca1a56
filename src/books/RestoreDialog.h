#pragma once

#include "books/BookDialog.h"

#include <functional>

class QLineEdit;
class QVBoxLayout;

// Replaces all books with those of a backup file (chosen, or one of the automatic
// backups), after checking that the file is one of this program's databases and
// keeping a copy of the data it replaces.
class RestoreDialog : public BookDialog
{
    Q_OBJECT
public:
    explicit RestoreDialog(QWidget *parent = nullptr);

    // Shows the open-file dialog; returns the chosen file or an empty text.
    // Tests replace it so that no platform dialog opens.
    using FileChooser =
        std::function<QString(QWidget *parent, const QString &title, const QString &filter)>;
    static FileChooser chooseFile;

    void pickFile();
    void restore();

private:
    void addAutomaticBackups(QVBoxLayout *layout);
    bool closeEverything();

    QLineEdit *Edit1 = nullptr;
};
