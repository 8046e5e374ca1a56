#pragma once

#include "books/BookDialog.h"

#include <functional>

class QLineEdit;

// Writes a copy of all books to a file named after the start-up date in a folder
// the user picks.
class BackupDialog : public BookDialog
{
    Q_OBJECT
public:
    explicit BackupDialog(QWidget *parent = nullptr);

    // Shows the folder chooser; returns the chosen folder or an empty text.
    // Tests replace it so that no platform dialog opens.
    using FolderChooser = std::function<QString(QWidget *parent, const QString &title)>;
    static FolderChooser chooseFolder;

    void pickFolder();
    void backUp();

private:
    QLineEdit *Edit1 = nullptr;
};
